#include "ConnectionTestRig.h"
#include "platform/TlsTrust.h"
#include "tools/testpki/TestPki.h"

#include <QSslSocket>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace connectiontest;
using platform::RunLoop;
using platform::TlsTrust;
using testsupport::LoopbackServer;
using testsupport::spinFor;
using testsupport::spinUntil;

namespace {

class ConnectionTlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { pki = new testpki::TestPki(testpki::makeTestPki()); }
    static void TearDownTestSuite()
    {
        delete pki;
        pki = nullptr;
    }
    void SetUp() override
    {
        if (!QSslSocket::supportsSsl())
            GTEST_SKIP() << "no TLS backend";
        RunLoop::current()->resetForTesting();
        TlsTrust::reset();
        TlsTrust::addCaCertificates({ pki->ca.certificate() });
    }
    void TearDown() override
    {
        TlsTrust::reset();
        RunLoop::current()->resetForTesting();
    }

    static void startTlsServer(LoopbackServer& server, const testpki::Identity& identity)
    {
        server.setIdentity(identity.certificate(), identity.privateKey());
        server.setImmediateTls(true);
        ASSERT_TRUE(server.start());
    }

    static testpki::TestPki* pki;
};

testpki::TestPki* ConnectionTlsTest::pki = nullptr;

// What the server got, decrypted.
std::vector<TCFrame> framesAt(const LoopbackServer& server, int index = 0)
{
    return framesIn(server.received(index));
}

} // namespace

TEST_F(ConnectionTlsTest, SecuresThenReportsReadyAndTalks)
{
    LoopbackServer server;
    startTlsServer(server, pki->server);
    Rig rig;
    rig->setNeedSSL(true);
    EXPECT_TRUE(rig->needSSL());
    rig.recorder.sslSettings = lenientTls();
    rig->sendRequest(request("over tls"), 1, 30, 0);
    ASSERT_TRUE(rig->connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.ready.has_value(); }));
    EXPECT_EQ(rig.recorder.events,
        (QStringList { QStringLiteral("connected 127.0.0.1:%1").arg(server.port()), "secure 1", "ready 1" }));
    ASSERT_TRUE(spinUntil([&] { return framesAt(server).size() == 1; }));
    EXPECT_TRUE(server.isEncrypted());
    EXPECT_EQ(framesAt(server)[0].payload, "over tls");
    server.send(replyTo(1, "secret reply"));
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.responses.size() == 1; }));
    EXPECT_EQ(rig.recorder.responses[0].data(), "secret reply");
}

TEST_F(ConnectionTlsTest, RefusesAnUntrustedCertificate)
{
    LoopbackServer server;
    startTlsServer(server, pki->untrusted);
    Rig rig;
    rig->setNeedSSL(true);
    // Lenient settings do not switch verification off.
    rig.recorder.sslSettings = lenientTls();
    rig->sendRequest(request("must not leak"), 1, 30, 0);
    ASSERT_TRUE(rig->connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.disconnected; }));
    ASSERT_TRUE(rig.recorder.disconnectError.has_value());
    EXPECT_EQ(rig.recorder.disconnectError->domain, kCFStreamErrorDomainSSL);
    EXPECT_FALSE(rig.recorder.disconnectError->localizedDescription.isEmpty());
    EXPECT_FALSE(rig.recorder.ready.value_or(false));
    EXPECT_TRUE(rig.recorder.events.contains("willDisconnect"));
    EXPECT_TRUE(rig.recorder.written.isEmpty());
    EXPECT_FALSE(rig->isConnected());
    EXPECT_FALSE(server.received().contains("must not leak"));
}

TEST_F(ConnectionTlsTest, NoSettingsMeansNoTlsAndNothingWritten)
{
    LoopbackServer server;
    startTlsServer(server, pki->server);
    Rig rig(0.05);
    rig->setNeedSSL(true);
    rig->sendRequest(request("plain?"), 1, 0.1, 0);
    ASSERT_TRUE(rig->connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.secured.has_value(); }));
    EXPECT_FALSE(*rig.recorder.secured);
    EXPECT_FALSE(rig.recorder.ready.has_value());
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.timeouts.size() == 1; }));
    EXPECT_TRUE(rig.recorder.written.isEmpty());
    EXPECT_FALSE(server.received().contains("plain?"));
}
