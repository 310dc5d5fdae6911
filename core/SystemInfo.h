#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

class IPMacAddressInfo;
class PublicIPDelegate;

// The facts about this machine that the login requests send to the broker.
// Nothing here blocks: the device queries are immediate and the public
// address comes from IPMacAddressInfo's asynchronous lookup.
class SystemInfo {
public:
    // Stands for a missing value in systemString() and for a disk without a serial.
    static constexpr char kMissingValue[] = "(null)";

    static SystemInfo* getInstance();
    // Tests: drops the instance and the shared IPMacAddressInfo it holds.
    static void resetInstance();

    // The application's information dictionary: "CFBundleVersion" and
    // "App identifier". Start-up fills it; the version falls back to the
    // application's version.
    static void setInfoDictionary(const QVariantMap& info);

    QString systemVersion() const;
    std::optional<QString> appVersion() const;
    std::optional<QString> softwareName() const;
    QString osName() const;
    std::optional<QString> serialNumber() const;
    // The last disk's serial without spaces; "" when there is no disk.
    QString diskSerialNumber() const;
    std::optional<QString> ipAddress() const;
    std::optional<QString> macAddress() const;
    std::optional<QString> publicIPAddress() const;
    void resetInfo();
    // "SN:%@|SV:%@|MAC:%@|IP:%@"
    QString systemString() const;
    // Makes `delegate` the lookup's delegate and starts the lookup.
    void publicAddress(PublicIPDelegate* delegate);

private:
    SystemInfo();
    IPMacAddressInfo* ipMacAddrInfo;
};
