#pragma once

#include "platform/DeviceInfo.h"

#include <QtEndian>
#include <vector>

// Device queries that answer what a test sets.
struct FakeDeviceQueries : platform::DeviceQueries {
    QString os = "14.2";
    std::optional<QString> serial;
    std::vector<std::optional<QString>> disks;
    std::vector<platform::InterfaceRecord> records;
    std::optional<QString> route;

    QString osVersion() const override { return os; }
    std::optional<QString> machineSerial() const override { return serial; }
    std::vector<std::optional<QString>> diskSerials() const override { return disks; }
    std::vector<platform::InterfaceRecord> interfaces() const override { return records; }
    std::optional<QString> defaultRouteInterface() const override { return route; }

    void ipv4(const QString& name, quint32 hostOrder, bool up = true)
    {
        platform::InterfaceRecord r;
        r.name = name;
        r.family = platform::InterfaceRecord::Family::IPv4;
        r.ipv4 = qToBigEndian(hostOrder);
        r.up = up;
        records.push_back(r);
    }
    void link(const QString& name, const QByteArray& mac)
    {
        platform::InterfaceRecord r;
        r.name = name;
        r.family = platform::InterfaceRecord::Family::Link;
        r.hardwareAddress = mac;
        r.up = true;
        records.push_back(r);
    }
};
