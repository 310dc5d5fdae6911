#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

// One address record of a network interface, in the order the system lists them.
struct InterfaceRecord {
    enum class Family { IPv4, Link };
    QString name;
    Family family = Family::IPv4;
    // IPv4: the address as the system stores it (network byte order in memory).
    quint32 ipv4 = 0;
    // Link: the hardware address bytes.
    QByteArray hardwareAddress;
    bool up = false;
};

// The facts about the machine that identify it to the broker. The default
// implementation asks Linux; tests install their own through setDeviceQueries().
class DeviceQueries {
public:
    // `root` prefixes every system file read (tests point it at a fake tree).
    explicit DeviceQueries(QString root = QStringLiteral("/"));
    virtual ~DeviceQueries() = default;

    // The operating system's version text.
    virtual QString osVersion() const;
    // The product or board serial, else the machine id; nullopt when none is readable.
    virtual std::optional<QString> machineSerial() const;
    // The disks of the first family that has any (SATA/SCSI "sd*", then NVMe),
    // in order, each with its serial or nullopt when it exposes none.
    virtual std::vector<std::optional<QString>> diskSerials() const;
    // IPv4 and link-layer records of every interface.
    virtual std::vector<InterfaceRecord> interfaces() const;
    // The interface that carries the default IPv4 route.
    virtual std::optional<QString> defaultRouteInterface() const;

protected:
    QString systemPath(const QString& path) const;

private:
    QString root_;
};

// The interface of the default route in a /proc/net/route table (lowest metric wins).
std::optional<QString> parseDefaultRoute(const QByteArray& table);

std::shared_ptr<DeviceQueries> deviceQueries();
// A null pointer restores the system's queries.
void setDeviceQueries(std::shared_ptr<DeviceQueries> queries);

} // namespace platform
