#include "platform/DeviceInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void put(const QTemporaryDir& root, const QString& path, const QByteArray& bytes)
{
    const QString full = root.path() + path;
    QDir().mkpath(QFileInfo(full).path());
    QFile f(full);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(DeviceInfo, DefaultRouteIsTheUpZeroRouteWithTheLowestMetric)
{
    const QByteArray table
        = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
          "wlp2s0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
          "tun0\t00000000\t00000000\t0000\t0\t0\t1\t00000000\t0\t0\t0\n" // not up
          "enp3s0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
          "enp3s0\t0000000A\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
          "broken line\n";
    EXPECT_EQ(platform::parseDefaultRoute(table), QString("enp3s0"));
    EXPECT_FALSE(platform::parseDefaultRoute("Iface\tDestination\n"));
    EXPECT_FALSE(platform::parseDefaultRoute(QByteArray()));
    EXPECT_FALSE(platform::parseDefaultRoute("header\nx\t00000000\tzz\tQQ\t0\t0\t1\t00000000\n"));
}

TEST(DeviceInfo, SerialsFromAFakeSystemTree)
{
    QTemporaryDir root;
    {
        platform::DeviceQueries q(root.path());
        EXPECT_FALSE(q.machineSerial());
        EXPECT_TRUE(q.diskSerials().empty());
        EXPECT_FALSE(q.defaultRouteInterface());
    }
    // Filler texts are skipped for the next source.
    put(root, "/sys/class/dmi/id/product_serial", "To be filled by O.E.M.\n");
    put(root, "/etc/machine-id", "0123456789abcdef0123456789abcdef\n");
    EXPECT_EQ(
        platform::DeviceQueries(root.path()).machineSerial(), QString("0123456789abcdef0123456789abcdef"));
    put(root, "/sys/class/dmi/id/board_serial", "BOARD 42\n");
    EXPECT_EQ(platform::DeviceQueries(root.path()).machineSerial(), QString("BOARD 42"));

    // NVMe only counts when there is no SATA/SCSI disk.
    put(root, "/sys/block/nvme0n1/device/serial", "  S4EWNX0 \n");
    put(root, "/sys/block/loop0/dev", "7:0\n");
    auto disks = platform::DeviceQueries(root.path()).diskSerials();
    ASSERT_EQ(disks.size(), 1u);
    EXPECT_EQ(disks[0], QString("S4EWNX0"));

    put(root, "/sys/block/sda/dev", "8:0\n");
    put(root, "/run/udev/data/b8:0", "S:disk/by-id/x\nE:ID_SERIAL_SHORT=WD-123 456\nE:OTHER=1\n");
    put(root, "/sys/block/sdb/dev", "8:16\n"); // no serial anywhere
    QByteArray page80("\x00\x80\x00\x05 ABC9", 9);
    put(root, "/sys/block/sdaa/device/vpd_pg80", page80);
    disks = platform::DeviceQueries(root.path()).diskSerials();
    ASSERT_EQ(disks.size(), 3u);
    EXPECT_EQ(disks[0], QString("WD-123 456"));
    EXPECT_FALSE(disks[1]);
    EXPECT_EQ(disks[2], QString("ABC9"));

    // A page whose length runs past the file gives what is there.
    put(root, "/sys/block/sdaa/device/vpd_pg80",
        QByteArray("\x00\x80\xff\xff"
                   "Z",
            5));
    EXPECT_EQ(platform::DeviceQueries(root.path()).diskSerials()[2], QString("Z"));
}

TEST(DeviceInfo, TheMachineAnswersWithoutCrashing)
{
    auto q = platform::deviceQueries();
    EXPECT_FALSE(q->osVersion().isEmpty());
    for (const auto& r : q->interfaces()) {
        EXPECT_FALSE(r.name.isEmpty());
        if (r.family == platform::InterfaceRecord::Family::Link) {
            EXPECT_LE(r.hardwareAddress.size(), 8);
        }
    }
    (void)q->machineSerial();
    (void)q->diskSerials();
    (void)q->defaultRouteInterface();

    struct Fake : platform::DeviceQueries {
        QString osVersion() const override { return "fake"; }
    };
    platform::setDeviceQueries(std::make_shared<Fake>());
    EXPECT_EQ(platform::deviceQueries()->osVersion(), "fake");
    platform::setDeviceQueries(nullptr);
    EXPECT_NE(platform::deviceQueries()->osVersion(), "fake");
}
