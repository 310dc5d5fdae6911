#include "platform/DeviceInfo.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>
#include <algorithm>
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <mutex>
#include <net/if.h>
#include <netinet/in.h>

namespace platform {

namespace {

std::mutex queriesMutex;
std::shared_ptr<DeviceQueries> installed;

// System files here are tiny; anything longer is not what we look for.
constexpr qint64 kMaxFileBytes = 4096;

std::optional<QByteArray> readSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.read(kMaxFileBytes);
}

// Firmware often fills serial fields with such texts instead of leaving them empty.
bool isFiller(const QString& s)
{
    static const QStringList fillers { QStringLiteral("To be filled by O.E.M."),
        QStringLiteral("Not Specified"), QStringLiteral("Default string"),
        QStringLiteral("System Serial Number"), QStringLiteral("None"), QStringLiteral("0"),
        QStringLiteral("Not Applicable"), QStringLiteral("N/A") };
    return s.isEmpty() || fillers.contains(s, Qt::CaseInsensitive);
}

std::optional<QString> readText(const QString& path)
{
    const auto bytes = readSmallFile(path);
    if (!bytes)
        return std::nullopt;
    const QString text = QString::fromUtf8(*bytes).trimmed();
    if (isFiller(text))
        return std::nullopt;
    return text;
}

// Unit serial number page: 4-byte header, then the serial's length in byte 3.
std::optional<QString> readVpdPage80(const QString& path)
{
    const auto bytes = readSmallFile(path);
    if (!bytes || bytes->size() < 4 || static_cast<quint8>(bytes->at(1)) != 0x80)
        return std::nullopt;
    const qsizetype length = (static_cast<quint8>(bytes->at(2)) << 8) | static_cast<quint8>(bytes->at(3));
    const QString text = QString::fromLatin1(bytes->mid(4, length)).trimmed();
    if (isFiller(text))
        return std::nullopt;
    return text;
}

std::optional<QString> readUdevSerial(const QString& path)
{
    const auto bytes = readSmallFile(path);
    if (!bytes)
        return std::nullopt;
    for (const QByteArray& line : bytes->split('\n')) {
        if (line.startsWith("E:ID_SERIAL_SHORT=")) {
            const QString text = QString::fromUtf8(line.mid(18)).trimmed();
            if (!isFiller(text))
                return text;
        }
    }
    return std::nullopt;
}

// "sdb" before "sdaa", as the kernel names them.
bool diskOrder(const QString& a, const QString& b)
{
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

} // namespace

DeviceQueries::DeviceQueries(QString root)
    : root_(std::move(root))
{
    if (!root_.endsWith(QLatin1Char('/')))
        root_ += QLatin1Char('/');
}

QString DeviceQueries::systemPath(const QString& path) const
{
    return root_ + (path.startsWith(QLatin1Char('/')) ? path.mid(1) : path);
}

QString DeviceQueries::osVersion() const
{
    return QSysInfo::productVersion();
}

std::optional<QString> DeviceQueries::machineSerial() const
{
    for (const char* path : { "/sys/class/dmi/id/product_serial", "/sys/class/dmi/id/board_serial",
             "/etc/machine-id", "/var/lib/dbus/machine-id" }) {
        if (auto serial = readText(systemPath(QString::fromLatin1(path))))
            return serial;
    }
    return std::nullopt;
}

std::vector<std::optional<QString>> DeviceQueries::diskSerials() const
{
    const QStringList entries
        = QDir(systemPath(QStringLiteral("/sys/block"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    static const QRegularExpression sata(QStringLiteral("^sd[a-z]+$"));
    static const QRegularExpression nvme(QStringLiteral("^nvme[0-9]+n[0-9]+$"));
    for (const QRegularExpression* family : { &sata, &nvme }) {
        QStringList disks;
        for (const QString& e : entries) {
            if (family->match(e).hasMatch())
                disks.append(e);
        }
        if (disks.isEmpty())
            continue;
        std::sort(disks.begin(), disks.end(), diskOrder);
        std::vector<std::optional<QString>> serials;
        for (const QString& disk : disks) {
            const QString base = systemPath(QStringLiteral("/sys/block/") + disk);
            std::optional<QString> serial = readText(base + QStringLiteral("/device/serial"));
            if (!serial) {
                if (auto dev = readText(base + QStringLiteral("/dev")))
                    serial = readUdevSerial(systemPath(QStringLiteral("/run/udev/data/b") + *dev));
            }
            if (!serial)
                serial = readVpdPage80(base + QStringLiteral("/device/vpd_pg80"));
            serials.push_back(serial);
        }
        return serials;
    }
    return {};
}

std::vector<InterfaceRecord> DeviceQueries::interfaces() const
{
    std::vector<InterfaceRecord> records;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        qWarning("getifaddrs failed");
        return records;
    }
    for (const ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || !a->ifa_name)
            continue;
        InterfaceRecord r;
        r.name = QString::fromLocal8Bit(a->ifa_name);
        r.up = (a->ifa_flags & IFF_UP) != 0;
        if (a->ifa_addr->sa_family == AF_INET) {
            r.family = InterfaceRecord::Family::IPv4;
            r.ipv4 = reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr;
        } else if (a->ifa_addr->sa_family == AF_PACKET) {
            const auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
            const int length = std::min<int>(ll->sll_halen, sizeof(ll->sll_addr));
            r.family = InterfaceRecord::Family::Link;
            r.hardwareAddress = QByteArray(reinterpret_cast<const char*>(ll->sll_addr), length);
        } else {
            continue;
        }
        records.push_back(std::move(r));
    }
    freeifaddrs(list);
    return records;
}

std::optional<QString> DeviceQueries::defaultRouteInterface() const
{
    const QString path = systemPath(QStringLiteral("/proc/net/route"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The table has one short line per route; a bound keeps a strange file harmless.
    return parseDefaultRoute(file.read(1024 * 1024));
}

std::optional<QString> parseDefaultRoute(const QByteArray& table)
{
    constexpr unsigned kRouteUp = 0x1;
    std::optional<QString> best;
    qint64 bestMetric = 0;
    const QList<QByteArray> lines = table.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].simplified().split(' ');
        if (f.size() < 8)
            continue;
        bool okFlags = false;
        bool okMetric = false;
        const unsigned flags = f[3].toUInt(&okFlags, 16);
        const qint64 metric = f[6].toLongLong(&okMetric);
        if (!okFlags || !okMetric || f[1] != "00000000" || f[7] != "00000000" || !(flags & kRouteUp))
            continue;
        if (!best || metric < bestMetric) {
            best = QString::fromLocal8Bit(f[0]);
            bestMetric = metric;
        }
    }
    return best;
}

std::shared_ptr<DeviceQueries> deviceQueries()
{
    std::lock_guard lock(queriesMutex);
    if (!installed)
        installed = std::make_shared<DeviceQueries>();
    return installed;
}

void setDeviceQueries(std::shared_ptr<DeviceQueries> queries)
{
    std::lock_guard lock(queriesMutex);
    installed = std::move(queries);
}

} // namespace platform
