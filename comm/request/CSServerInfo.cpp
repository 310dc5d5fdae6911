#include "comm/request/CSServerInfo.h"

std::optional<CSServerInfo> CSServerInfo::initWithAddress(const QString& address, quint16 port)
{
    if (address.isEmpty())
        return std::nullopt;
    CSServerInfo info;
    info.address_ = address;
    info.port_ = port;
    return info;
}
