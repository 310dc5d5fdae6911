#include "core/SystemInfo.h"

#include "FakeDeviceQueries.h"
#include "core/IPMacAddressInfo.h"
#include "support/LoopbackServer.h"
#include "support/Spin.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class SystemInfoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake = std::make_shared<FakeDeviceQueries>();
        platform::setDeviceQueries(fake);
        SystemInfo::resetInstance();
    }
    void TearDown() override
    {
        SystemInfo::resetInstance();
        SystemInfo::setInfoDictionary({});
        platform::setDeviceQueries(nullptr);
    }
    std::shared_ptr<FakeDeviceQueries> fake;
};

struct Delegate : PublicIPDelegate {
    void ipMacAddressInfo(IPMacAddressInfo&, const QString& ip) override { address = ip; }
    void ipMacAddressInfo(IPMacAddressInfo&, const IPMacAddressError& e) override { error = e; }
    std::optional<QString> address;
    std::optional<IPMacAddressError> error;
};

} // namespace

TEST_F(SystemInfoTest, TheDeviceStringAsTheLoginRequestsSendIt)
{
    fake->os = "12\n";
    fake->serial = "C02XK0ABCDEF";
    fake->link("enp3s0", QByteArray::fromHex("0a1b2c3d4e5f"));
    fake->ipv4("lo", 0x7F000001);
    fake->ipv4("enp3s0", 0xC0A80064);
    fake->route = "enp3s0";
    fake->disks = { QString("WD 123"), QString("S4EW NX0 ") };

    auto* info = SystemInfo::getInstance();
    EXPECT_EQ(info, SystemInfo::getInstance());
    EXPECT_EQ(info->systemVersion(), "12");
    EXPECT_EQ(info->osName(), "MAC OSX");
    EXPECT_EQ(info->serialNumber(), QString("C02XK0ABCDEF"));
    EXPECT_EQ(info->diskSerialNumber(), "S4EWNX0"); // the last disk, without spaces
    EXPECT_EQ(info->ipAddress(), QString("192.168.0.100"));
    EXPECT_EQ(info->macAddress(), QString("0A:1B:2C:3D:4E:5F"));
    EXPECT_FALSE(info->publicIPAddress());
    EXPECT_EQ(info->systemString(), "SN:C02XK0ABCDEF|SV:12|MAC:0A:1B:2C:3D:4E:5F|IP:192.168.0.100");

    // Missing facts take the placeholder; a disk without a serial too, no disk gives "".
    fake->os = "";
    fake->serial.reset();
    fake->records.clear();
    fake->disks = { QString("X"), std::nullopt };
    info->resetInfo();
    EXPECT_FALSE(info->macAddress());
    EXPECT_EQ(info->systemString(), "SN:(null)|SV:(null)|MAC:(null)|IP:(null)");
    EXPECT_EQ(info->diskSerialNumber(), "(null)");
    fake->disks.clear();
    EXPECT_EQ(info->diskSerialNumber(), "");

    // Application facts come from the information dictionary.
    QCoreApplication::setApplicationVersion(QString());
    EXPECT_FALSE(info->appVersion());
    EXPECT_FALSE(info->softwareName());
    QCoreApplication::setApplicationVersion("3.1.0");
    EXPECT_EQ(info->appVersion(), QString("3.1.0"));
    SystemInfo::setInfoDictionary({ { "CFBundleVersion", "3.1.7" }, { "App identifier", "LUMORA-MAC" } });
    EXPECT_EQ(info->appVersion(), QString("3.1.7"));
    EXPECT_EQ(info->softwareName(), QString("LUMORA-MAC"));
    QCoreApplication::setApplicationVersion(QString());
}

TEST_F(SystemInfoTest, PublicAddressGoesToTheGivenDelegate)
{
    testsupport::LoopbackServer server;
    ASSERT_TRUE(server.start());
    auto* info = SystemInfo::getInstance();
    IPMacAddressInfo::sharedInstance()->setTimeouts(2000ms, 2000ms);
    IPMacAddressInfo::sharedInstance()->setWebServer(QUrl(QString("http://127.0.0.1:%1").arg(server.port())));
    Delegate delegate;
    info->publicAddress(&delegate);
    EXPECT_EQ(IPMacAddressInfo::sharedInstance()->delegate(), &delegate);
    const QByteArray reply
        = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 22\r\n\r\nclientIP: 203.0.113.5\n";
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(server.waitForConnections(i + 1));
        ASSERT_TRUE(testsupport::spinUntil([&] { return server.received(i).contains("\r\n\r\n"); }));
        server.send(reply, i);
        server.closeConnection(i);
    }
    ASSERT_TRUE(testsupport::spinUntil([&] { return delegate.address && info->publicIPAddress(); }));
    EXPECT_EQ(delegate.address, QString("203.0.113.5"));
    EXPECT_EQ(info->publicIPAddress(), QString("203.0.113.5"));
    EXPECT_FALSE(delegate.error);
}
