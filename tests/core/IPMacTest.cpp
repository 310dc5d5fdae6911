#include "FakeDeviceQueries.h"
#include "core/IPMacAddressInfo.h"
#include "support/LoopbackServer.h"
#include "support/Spin.h"

#include <QHostAddress>
#include <gtest/gtest.h>
#include <memory>

using namespace std::chrono_literals;

namespace {

class RecordingDelegate : public PublicIPDelegate {
public:
    void ipMacAddressInfo(IPMacAddressInfo&, const QString& publicIP) override
    {
        ++answers;
        address = publicIP;
    }
    void ipMacAddressInfo(IPMacAddressInfo&, const IPMacAddressError& e) override
    {
        ++answers;
        error = e;
    }
    int answers = 0;
    std::optional<QString> address;
    std::optional<IPMacAddressError> error;
};

class IPMacTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake = std::make_shared<FakeDeviceQueries>();
        platform::setDeviceQueries(fake);
        IPMacAddressInfo::resetSharedInstance();
    }
    void TearDown() override
    {
        IPMacAddressInfo::resetSharedInstance();
        platform::setDeviceQueries(nullptr);
    }
    // Answers the request on connection `index` with an HTTP reply carrying `body`.
    static bool serve(testsupport::LoopbackServer& server, int index, const QByteArray& body)
    {
        if (!server.waitForConnections(index + 1))
            return false;
        if (!testsupport::spinUntil([&] { return server.received(index).contains("\r\n\r\n"); }))
            return false;
        server.send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: "
                + QByteArray::number(body.size()) + "\r\n\r\n" + body,
            index);
        server.closeConnection(index);
        return true;
    }
    static QUrl base(quint16 port) { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)); }

    std::shared_ptr<FakeDeviceQueries> fake;
};

} // namespace

TEST_F(IPMacTest, InterfaceScanAndTheActiveInterface)
{
    fake->link("lo", QByteArray(6, '\0'));
    fake->link("en0", QByteArray::fromHex("a1b2c3d4e5f6"));
    fake->link("wlan0", QByteArray::fromHex("020000000001"));
    fake->link("tun0", QByteArray()); // no hardware address
    fake->ipv4("lo", 0x7F000001);
    fake->ipv4("eth9", 0x0A000009, false); // down
    fake->ipv4("en0", 0xC0A80102);
    fake->ipv4("en0:1", 0xC0A80103); // second address right after the first
    fake->ipv4("wlan0", 0xC0A80205);
    fake->ipv4("tun0", 0x0A080001);

    auto* info = IPMacAddressInfo::sharedInstance();
    EXPECT_EQ(info, IPMacAddressInfo::sharedInstance());
    const auto entries = info->ipMacInfos();
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0].value("ifname").toString(), "lo");
    EXPECT_EQ(entries[0].value("mac").toString(), "00:00:00:00:00:00");
    EXPECT_EQ(entries[1].value("ifname").toString(), "en0");
    EXPECT_EQ(entries[1].value("ipname").toString(), "192.168.1.2");
    EXPECT_EQ(entries[1].value("ipaddress").toLongLong(), qint64(qToBigEndian(quint32(0xC0A80102))));
    EXPECT_EQ(entries[1].value("mac").toString(), "A1:B2:C3:D4:E5:F6");
    EXPECT_EQ(entries[2].value("ifname").toString(), "wlan0");
    EXPECT_EQ(entries[3].value("ifname").toString(), "tun0");
    EXPECT_FALSE(entries[3].contains("mac"));

    // No default route: the first interface named "en...".
    EXPECT_EQ(info->activeIP(), QString("192.168.1.2"));
    EXPECT_EQ(info->activeMac(), QString("A1:B2:C3:D4:E5:F6"));
    // The interface of the default route wins when it has a hardware address.
    fake->route = "wlan0";
    info->reset();
    EXPECT_EQ(info->activeIP(), QString("192.168.2.5"));
    EXPECT_EQ(info->activeMac(), QString("02:00:00:00:00:01"));
    EXPECT_EQ(info->ipMacInfos().size(), 4); // scanned anew, not appended
    fake->route = "tun0";
    info->reset();
    EXPECT_EQ(info->activeIP(), QString("192.168.1.2"));

    // Only the loopback and a tunnel: no active address at all.
    fake->records.clear();
    fake->route.reset();
    fake->ipv4("lo", 0x7F000001);
    fake->ipv4("utun2", 0x0A080001);
    info->reset();
    EXPECT_FALSE(info->activeIP());
    EXPECT_FALSE(info->activeMac());

    // 0.0.0.0 ends the walk; letters of "en" in any case; an "en" without hardware entry.
    fake->records.clear();
    fake->ipv4("EN5", 0x0A000001);
    info->reset();
    EXPECT_EQ(info->activeIP(), QString("10.0.0.1"));
    EXPECT_FALSE(info->activeMac());
    fake->records.clear();
    fake->ipv4("eth0", 0);
    fake->ipv4("en0", 0x0A000001);
    info->reset();
    EXPECT_FALSE(info->activeIP());
    // No web server known: the public address stays unknown.
    EXPECT_FALSE(info->publicIP());
    EXPECT_FALSE(info->isLookingUp());
}

TEST_F(IPMacTest, ReplyBodiesGiveAnAddressOnlyWhenItIsAnIPLiteral)
{
    auto parse = &IPMacAddressInfo::parsePublicIP;
    EXPECT_EQ(parse("clientIP: 203.0.113.9\r\nother"), QString("203.0.113.9"));
    EXPECT_EQ(parse("x\nclientIP:203.0.113.9"), QString("203.0.113.9"));
    EXPECT_EQ(parse("clientIP: 203. 0.113.9\n"), QString("203.0.113.9"));
    EXPECT_EQ(parse("Proxy-Client-IP: 198.51.100.1\r\n"), QString("198.51.100.1"));
    EXPECT_EQ(parse("X-Forwarded-For: 198.51.100.7, 10.0.0.1\r\n"), QString("198.51.100.7"));
    // The markers are tried in order, wherever they stand.
    EXPECT_EQ(parse("X-Forwarded-For: 1.1.1.1\r\nclientIP: 2.2.2.2\r\n"), QString("2.2.2.2"));
    EXPECT_EQ(parse("clientIP: 2001:db8::1\r\n"), QString("2001:db8::1"));
    EXPECT_FALSE(parse(""));
    EXPECT_FALSE(parse("<html>no marker</html>"));
    EXPECT_FALSE(parse("clientIP: <script>alert(1)</script>\r\n"));
    EXPECT_FALSE(parse("clientIP: 999.1.1.1"));
    EXPECT_FALSE(parse("clientIP: 1"));
    EXPECT_FALSE(parse("clientIP: 127.1"));
    EXPECT_FALSE(parse("clientIP: \r\nX-Forwarded-For: 1.2.3.4"));
    EXPECT_FALSE(parse(QByteArray("clientIP: \xff\xfe\x00", 13)));
}

TEST_F(IPMacTest, StartUpLookupSetsThePublicAddressWithoutBlocking)
{
    testsupport::LoopbackServer server;
    ASSERT_TRUE(server.start());
    auto* info = IPMacAddressInfo::sharedInstance();
    info->setTimeouts(2000ms, 2000ms);
    info->setWebServer(base(server.port()));
    // setWebServer returned at once; the answer comes through the event loop.
    EXPECT_TRUE(info->isLookingUp());
    EXPECT_FALSE(info->publicIP());
    ASSERT_TRUE(serve(server, 0, "status ok\r\nclientIP: 203.0.113.9\r\n"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return info->publicIP().has_value(); }));
    EXPECT_EQ(info->publicIP(), QString("203.0.113.9"));
    EXPECT_TRUE(server.received(0).startsWith("GET /register/checkok.jsp HTTP/1.1\r\n"));

    // A reset (every trade reconnect makes one) keeps the last good address
    // while the lookup runs, and garbage in the reply does not replace it.
    info->reset();
    EXPECT_TRUE(info->isLookingUp());
    EXPECT_EQ(info->publicIP(), QString("203.0.113.9"));
    ASSERT_TRUE(serve(server, 1, "clientIP: not-an-address\r\n"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return !info->isLookingUp(); }));
    EXPECT_EQ(info->publicIP(), QString("203.0.113.9"));

    // A server that never answers: the time-out keeps it too.
    info->setTimeouts(150ms, 150ms);
    info->reset();
    ASSERT_TRUE(server.waitForConnections(3));
    ASSERT_TRUE(testsupport::spinUntil([&] { return !info->isLookingUp(); }));
    EXPECT_EQ(info->publicIP(), QString("203.0.113.9"));

    // Without any good address before, a failed lookup leaves the empty text.
    IPMacAddressInfo::resetSharedInstance();
    info = IPMacAddressInfo::sharedInstance();
    info->setTimeouts(150ms, 150ms);
    info->setWebServer(base(server.port()));
    ASSERT_TRUE(server.waitForConnections(4));
    ASSERT_TRUE(testsupport::spinUntil([&] { return info->publicIP().has_value(); }));
    EXPECT_EQ(info->publicIP(), QString(""));
    EXPECT_FALSE(info->isLookingUp());
}

TEST_F(IPMacTest, AsynchronousLookupTellsTheDelegate)
{
    testsupport::LoopbackServer server;
    ASSERT_TRUE(server.start());
    auto* info = IPMacAddressInfo::sharedInstance();
    info->setTimeouts(2000ms, 2000ms);
    info->setWebServer(base(server.port()));
    ASSERT_TRUE(serve(server, 0, "clientIP: 203.0.113.9\r\n"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return info->publicIP().has_value(); }));

    RecordingDelegate delegate;
    info->setDelegate(&delegate);
    info->getPublicIP();
    ASSERT_TRUE(serve(server, 1, "X-Forwarded-For: 198.51.100.7\r\n"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return delegate.answers == 1; }));
    EXPECT_EQ(delegate.address, QString("198.51.100.7"));
    EXPECT_EQ(info->publicIP(), QString("203.0.113.9")); // not changed by this lookup

    // Refused: the reply has no address.
    info->getPublicIP();
    ASSERT_TRUE(serve(server, 2, "clientIP: 1.2.3.4.5\r\n"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return delegate.answers == 2; }));
    ASSERT_TRUE(delegate.error);
    EXPECT_EQ(delegate.error->domain, QString::fromUtf8("解析错误"));
    EXPECT_EQ(delegate.error->code, 3000);

    // A body far larger than any address reply is refused too.
    info->getPublicIP();
    ASSERT_TRUE(serve(server, 3, QByteArray(200 * 1024, 'a')));
    ASSERT_TRUE(testsupport::spinUntil([&] { return delegate.answers == 3; }));
    EXPECT_EQ(delegate.error->code, 3000);

    // Time-out.
    delegate.error.reset();
    info->setTimeouts(2000ms, 150ms);
    info->getPublicIP();
    ASSERT_TRUE(testsupport::spinUntil([&] { return delegate.answers == 4; }));
    ASSERT_TRUE(delegate.error);
    EXPECT_EQ(delegate.error->domain, QString::fromUtf8("请求超时"));

    // A new lookup cancels the running one: only the second answers.
    info->setTimeouts(2000ms, 2000ms);
    const int n = server.connectionCount();
    info->getPublicIP();
    ASSERT_TRUE(server.waitForConnections(n + 1));
    ASSERT_TRUE(testsupport::spinUntil([&] { return server.received(n).contains("\r\n\r\n"); }));
    info->getPublicIP();
    ASSERT_TRUE(serve(server, n, "clientIP: 192.0.2.99\r\n")); // too late: cancelled
    ASSERT_TRUE(serve(server, n + 1, "clientIP: 192.0.2.1\r\n"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return delegate.answers == 5; }));
    EXPECT_EQ(delegate.address, QString("192.0.2.1"));
    testsupport::spinFor(50ms);
    EXPECT_EQ(delegate.answers, 5);

    // Nobody listening on the port: a connection error.
    info->setWebServer(base(testsupport::unusedLoopbackPort()));
    info->getPublicIP();
    ASSERT_TRUE(testsupport::spinUntil([&] { return delegate.answers == 6; }));
    ASSERT_TRUE(delegate.error);
    EXPECT_NE(delegate.error->domain, QString::fromUtf8("解析错误"));

    // No usable web server address.
    info->setWebServer(QUrl("ftp://127.0.0.1/"));
    info->getPublicIP();
    ASSERT_TRUE(testsupport::spinUntil([&] { return delegate.answers == 7; }));
    EXPECT_TRUE(delegate.error);
}

// The lookup a reset starts tells the delegate of the address it finds, so
// that what was written with the old one can be written again.
TEST_F(IPMacTest, TheAddressAResetFindsReachesTheDelegate)
{
    testsupport::LoopbackServer server;
    ASSERT_TRUE(server.start());
    auto* info = IPMacAddressInfo::sharedInstance();
    info->setTimeouts(2000ms, 2000ms);
    RecordingDelegate delegate;
    info->setDelegate(&delegate);
    info->setWebServer(base(server.port()));
    ASSERT_TRUE(serve(server, 0, "clientIP: 203.0.113.9\r\n"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return !info->isLookingUp(); }));
    EXPECT_EQ(delegate.answers, 0); // the start-up lookup rewrites nothing

    info->reset();
    EXPECT_EQ(delegate.answers, 0);
    ASSERT_TRUE(serve(server, 1, "clientIP: 198.51.100.4\r\n"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return delegate.answers == 1; }));
    EXPECT_EQ(delegate.address, QString("198.51.100.4"));
    EXPECT_EQ(info->publicIP(), QString("198.51.100.4"));

    // Nothing found: nothing to tell.
    info->reset();
    ASSERT_TRUE(serve(server, 2, "clientIP: not-an-address\r\n"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return !info->isLookingUp(); }));
    testsupport::spinFor(20ms);
    EXPECT_EQ(delegate.answers, 1);
    EXPECT_FALSE(delegate.error);

    // A new web server during a reset's lookup still reports what it finds.
    testsupport::LoopbackServer other;
    ASSERT_TRUE(other.start());
    info->reset();
    ASSERT_TRUE(server.waitForConnections(4));
    info->setWebServer(base(other.port()));
    ASSERT_TRUE(serve(other, 0, "clientIP: 192.0.2.5\r\n"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return delegate.answers == 2; }));
    EXPECT_EQ(delegate.address, QString("192.0.2.5"));
}

TEST_F(IPMacTest, ADelegateThatIsGoneHearsNothing)
{
    testsupport::LoopbackServer server;
    ASSERT_TRUE(server.start());
    auto* info = IPMacAddressInfo::sharedInstance();
    info->setTimeouts(2000ms, 2000ms);
    auto delegate = std::make_unique<RecordingDelegate>();
    info->setDelegate(delegate.get());
    info->setWebServer(base(server.port()));
    info->getPublicIP();
    delegate.reset();
    EXPECT_EQ(info->delegate(), nullptr);
    ASSERT_TRUE(serve(server, 0, "clientIP: 192.0.2.1\r\n"));
    ASSERT_TRUE(serve(server, 1, "clientIP: 192.0.2.1\r\n"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return !info->isLookingUp(); }));

    // Dropping the instance with a lookup running is silent as well.
    RecordingDelegate other;
    info->setDelegate(&other);
    info->getPublicIP();
    IPMacAddressInfo::resetSharedInstance();
    testsupport::spinFor(50ms);
    EXPECT_EQ(other.answers, 0);
}
