#include "core/SystemInfo.h"

#include "core/IPMacAddressInfo.h"
#include "platform/DeviceInfo.h"

#include <QCoreApplication>
#include <memory>

namespace {

std::unique_ptr<SystemInfo> instance;
QVariantMap infoDictionary;

std::optional<QString> infoValue(const char* key)
{
    const QString value = infoDictionary.value(QString::fromLatin1(key)).toString();
    if (value.isEmpty())
        return std::nullopt;
    return value;
}

QString orMissing(const std::optional<QString>& value)
{
    return value && !value->isEmpty() ? *value : QString::fromLatin1(SystemInfo::kMissingValue);
}

} // namespace

SystemInfo* SystemInfo::getInstance()
{
    if (!instance)
        instance.reset(new SystemInfo());
    return instance.get();
}

void SystemInfo::resetInstance()
{
    instance.reset();
    IPMacAddressInfo::resetSharedInstance();
}

void SystemInfo::setInfoDictionary(const QVariantMap& info)
{
    infoDictionary = info;
}

SystemInfo::SystemInfo()
    : ipMacAddrInfo(IPMacAddressInfo::sharedInstance())
{
}

QString SystemInfo::systemVersion() const
{
    return platform::deviceQueries()->osVersion().remove(QLatin1Char('\n'));
}

std::optional<QString> SystemInfo::appVersion() const
{
    if (auto version = infoValue("CFBundleVersion"))
        return version;
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? std::nullopt : std::optional(version);
}

std::optional<QString> SystemInfo::softwareName() const
{
    return infoValue("App identifier");
}

QString SystemInfo::osName() const
{
    // The broker's servers know the client by this name.
    return QStringLiteral("MAC OSX");
}

std::optional<QString> SystemInfo::serialNumber() const
{
    return platform::deviceQueries()->machineSerial();
}

QString SystemInfo::diskSerialNumber() const
{
    const auto serials = platform::deviceQueries()->diskSerials();
    if (serials.empty())
        return QString();
    QString serial = orMissing(serials.back());
    return serial.remove(QLatin1Char(' '));
}

std::optional<QString> SystemInfo::ipAddress() const
{
    return ipMacAddrInfo->activeIP();
}

std::optional<QString> SystemInfo::macAddress() const
{
    return ipMacAddrInfo->activeMac();
}

std::optional<QString> SystemInfo::publicIPAddress() const
{
    return ipMacAddrInfo->publicIP();
}

void SystemInfo::resetInfo()
{
    ipMacAddrInfo->reset();
}

QString SystemInfo::systemString() const
{
    return QStringLiteral("SN:%1|SV:%2|MAC:%3|IP:%4")
        .arg(orMissing(serialNumber()), orMissing(systemVersion()), orMissing(macAddress()),
            orMissing(ipAddress()));
}

void SystemInfo::publicAddress(PublicIPDelegate* delegate)
{
    ipMacAddrInfo->setDelegate(delegate);
    ipMacAddrInfo->getPublicIP();
}
