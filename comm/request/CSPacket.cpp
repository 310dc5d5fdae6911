#include "comm/request/CSPacket.h"

#include <atomic>

namespace {
std::atomic<qint32> classEncoding { 0 };
}

CSPacket::CSPacket(quint64 mFunc, quint64 sFunc, const QString& data)
    : mFunc_(mFunc)
    , sFunc_(sFunc)
    , data_(data)
    , encoding_(classEncoding.load())
{
}

void CSPacket::setPacketEncoding(qint32 encoding)
{
    classEncoding.store(encoding);
}

qint32 CSPacket::packetEncoding()
{
    return classEncoding.load();
}
