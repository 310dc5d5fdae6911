#include "comm/transport/StreamSocket.h"
#include "platform/TlsTrust.h"
#include "support/LoopbackServer.h"
#include "support/LoopbackSocketRecorder.h"
#include "support/Spin.h"
#include "tools/testpki/TestPki.h"

#include <QSslSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using platform::RunLoop;
using platform::TlsTrust;
using testsupport::LoopbackServer;
using testsupport::LoopbackSocketRecorder;
using testsupport::spinFor;
using testsupport::spinUntil;

namespace {

// The settings the connection layer passes: they ask for no verification,
// and get it all the same.
QVariantMap lenientSettings()
{
    return { { kCFStreamSSLAllowsExpiredCertificates, true }, { kCFStreamSSLAllowsAnyRoot, true },
        { kCFStreamSSLValidatesCertificateChain, false } };
}

class StreamSocketTlsTest : public ::testing::Test {
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
        ASSERT_FALSE(pki->ca.isNull());
        ASSERT_FALSE(pki->server.isNull());
        RunLoop::current()->resetForTesting();
        TlsTrust::reset();
        TlsTrust::addCaCertificates({ pki->ca.certificate() });
    }
    void TearDown() override
    {
        TlsTrust::reset();
        RunLoop::current()->resetForTesting();
    }

    // Connects to a server that starts TLS at once with `identity`, and starts TLS.
    void connectTls(LoopbackServer& server, const testpki::Identity& identity, LoopbackSocketRecorder& rec,
        StreamSocket& sock, const QString& host, const QVariantMap& settings = lenientSettings())
    {
        server.setIdentity(identity.certificate(), identity.privateKey());
        server.setImmediateTls(true);
        ASSERT_TRUE(server.start());
        ASSERT_TRUE(sock.connectToHost(host, server.port(), 5.0));
        sock.startTLS(settings);
        sock.readDataWithTimeout(5.0, 1);
        ASSERT_TRUE(spinUntil([&] { return rec.secured.has_value() || rec.didDisconnect; }));
    }

    static testpki::TestPki* pki;
};

testpki::TestPki* StreamSocketTlsTest::pki = nullptr;

} // namespace

TEST_F(StreamSocketTlsTest, UpgradesAtAPointOfTheStream)
{
    LoopbackServer server;
    server.setIdentity(pki->server.certificate(), pki->server.privateKey());
    server.setStartTlsAfter("STARTTLS\r\n");
    ASSERT_TRUE(server.start());

    LoopbackSocketRecorder rec;
    StreamSocket sock(&rec);
    ASSERT_TRUE(sock.connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(server.waitForConnections());
    server.send("220 ready\r\n");

    // Plain in both directions, then TLS from the marker on, then more bytes.
    sock.readDataToData(StreamSocket::CRLFData(), 5.0, 1);
    sock.writeData("STARTTLS\r\n", 5.0, 2);
    sock.startTLS(lenientSettings());
    sock.writeData("secret", 5.0, 3);
    sock.readDataToLength(5, 5.0, 4);
    ASSERT_TRUE(spinUntil([&] { return rec.secured.has_value() || rec.willDisconnect; }));
    ASSERT_EQ(rec.secured, std::optional<bool>(true))
        << (rec.error ? rec.error->localizedDescription.toStdString() : "");
    EXPECT_TRUE(spinUntil([&] { return server.isEncrypted(); }));
    ASSERT_TRUE(server.waitForReceived(16));
    EXPECT_EQ(server.received(), "STARTTLS\r\nsecret");
    server.send("reply");
    ASSERT_TRUE(spinUntil([&] { return rec.reads.size() == 2; }));
    EXPECT_EQ(rec.reads, (QList<QByteArray> { "220 ready\r\n", "reply" }));
    // The plain read and write run in queues of their own and may end in either
    // order; TLS starts only once both have.
    ASSERT_EQ(rec.events.size(), 7);
    QStringList plain = rec.events.mid(2, 2);
    plain.sort();
    EXPECT_EQ(rec.events.mid(0, 2), (QStringList { "willConnect", "connect" }));
    EXPECT_EQ(plain, (QStringList { "read 1", "write 2" }));
    EXPECT_EQ(rec.events.mid(4), (QStringList { "secure 1", "write 3", "read 4" }));
    EXPECT_TRUE(server.tlsErrors().isEmpty());

    // A large write over TLS completes once every byte is out.
    QByteArray big(1024 * 1024 + 3, 'z');
    sock.writeData(big, 10.0, 5);
    ASSERT_TRUE(spinUntil([&] { return rec.writeTags.contains(5); }, 20s));
    ASSERT_TRUE(server.waitForReceived(16 + big.size()));
    EXPECT_EQ(server.received().mid(16), big);

    // A second upgrade of the same connection is refused.
    sock.startTLS(lenientSettings());
    ASSERT_TRUE(spinUntil([&] { return rec.events.last() == "secure 0"; }));
    EXPECT_TRUE(sock.isConnected());
}

TEST_F(StreamSocketTlsTest, VerifiesByHostNameAndPeerNameSetting)
{
    {
        LoopbackServer server;
        LoopbackSocketRecorder rec;
        StreamSocket sock(&rec);
        connectTls(server, pki->server, rec, sock, "localhost");
        EXPECT_EQ(rec.secured, std::optional<bool>(true))
            << (rec.error ? rec.error->localizedDescription.toStdString() : "");
    }
    {
        // The certificate names another host; a peer-name setting says so.
        const testpki::Identity other = testpki::makeServerCertificate(pki->ca, { "trade.example" }, {});
        LoopbackServer server;
        LoopbackSocketRecorder rec;
        StreamSocket sock(&rec);
        QVariantMap settings = lenientSettings();
        settings.insert(kCFStreamSSLPeerName, "trade.example");
        connectTls(server, other, rec, sock, "127.0.0.1", settings);
        EXPECT_EQ(rec.secured, std::optional<bool>(true))
            << (rec.error ? rec.error->localizedDescription.toStdString() : "");
    }
}

TEST_F(StreamSocketTlsTest, RefusesUntrustedCertificateAndWrongHost)
{
    {
        LoopbackServer server;
        LoopbackSocketRecorder rec;
        StreamSocket sock(&rec);
        connectTls(server, pki->untrusted, rec, sock, "127.0.0.1");
        ASSERT_TRUE(spinUntil([&] { return rec.didDisconnect; }));
        EXPECT_FALSE(rec.secured.has_value());
        EXPECT_EQ(rec.events.mid(1), (QStringList { "connect", "willDisconnect", "didDisconnect" }));
        ASSERT_TRUE(rec.error.has_value());
        EXPECT_EQ(rec.error->domain, "kCFStreamErrorDomainSSL");
        EXPECT_EQ(rec.error->code, -9807);
        EXPECT_TRUE(rec.error->localizedDescription.startsWith("TLS certificate verification failed"))
            << rec.error->localizedDescription.toStdString();
        EXPECT_TRUE(rec.reads.isEmpty());
    }
    {
        // Signed by the trusted CA, but for another name.
        const testpki::Identity other = testpki::makeServerCertificate(pki->ca, { "trade.example" }, {});
        LoopbackServer server;
        LoopbackSocketRecorder rec;
        StreamSocket sock(&rec);
        connectTls(server, other, rec, sock, "127.0.0.1");
        ASSERT_TRUE(spinUntil([&] { return rec.didDisconnect; }));
        EXPECT_FALSE(rec.secured.has_value());
        ASSERT_TRUE(rec.error.has_value());
        EXPECT_EQ(rec.error->code, -9807);
    }
    {
        // The right certificate, once the CA is no longer trusted.
        TlsTrust::reset();
        LoopbackServer server;
        LoopbackSocketRecorder rec;
        StreamSocket sock(&rec);
        connectTls(server, pki->server, rec, sock, "127.0.0.1");
        ASSERT_TRUE(spinUntil([&] { return rec.didDisconnect; }));
        EXPECT_FALSE(rec.secured.has_value());
    }
}

TEST_F(StreamSocketTlsTest, ServerSideUpgradeOnAnAcceptedSocket)
{
    QVariantMap serverSettings { { kCFStreamSSLIsServer, true },
        { kCFStreamSSLCertificates, pki->server.certificatePem },
        { StreamSocketSSLPrivateKey, pki->server.privateKeyPem } };
    LoopbackSocketRecorder listenerRec;
    LoopbackSocketRecorder acceptedRec;
    listenerRec.onAccept = [&](StreamSocket* s) {
        s->setDelegate(&acceptedRec);
        s->startTLS(serverSettings);
        s->readDataToData("\n", 5.0, 1);
    };
    StreamSocket listener(&listenerRec);
    ASSERT_TRUE(listener.acceptOnAddress("127.0.0.1", 0));

    LoopbackSocketRecorder clientRec;
    StreamSocket client(&clientRec);
    ASSERT_TRUE(client.connectToHost("127.0.0.1", listener.localPort(), 5.0));
    client.startTLS(lenientSettings());
    client.writeData("over tls\n", 5.0, 2);
    ASSERT_TRUE(spinUntil([&] { return acceptedRec.reads.size() == 1 || acceptedRec.willDisconnect; }));
    EXPECT_EQ(acceptedRec.secured, std::optional<bool>(true));
    EXPECT_EQ(clientRec.secured, std::optional<bool>(true));
    ASSERT_EQ(acceptedRec.reads.size(), 1);
    EXPECT_EQ(acceptedRec.reads[0], "over tls\n");

    // Server-side settings without an identity are refused at once.
    LoopbackSocketRecorder refusedRec;
    listenerRec.onAccept = [&](StreamSocket* s) {
        s->setDelegate(&refusedRec);
        s->startTLS({ { kCFStreamSSLIsServer, true } });
    };
    StreamSocket client2(&clientRec);
    ASSERT_TRUE(client2.connectToHost("127.0.0.1", listener.localPort(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return refusedRec.secured.has_value(); }));
    EXPECT_EQ(refusedRec.secured, std::optional<bool>(false));
}

TEST_F(StreamSocketTlsTest, TrustListAndTestPki)
{
    TlsTrust::reset();
    EXPECT_TRUE(TlsTrust::extraCaCertificates().isEmpty());
    const qsizetype system = TlsTrust::caCertificates().size();
    EXPECT_EQ(TlsTrust::addCaCertificatesFromPem(pki->ca.certificatePem + pki->untrusted.certificatePem), 2);
    TlsTrust::addCaCertificates({ pki->ca.certificate() }); // already there
    EXPECT_EQ(TlsTrust::extraCaCertificates().size(), 2);
    EXPECT_EQ(TlsTrust::caCertificates().size(), system + 2);
    EXPECT_EQ(TlsTrust::addCaCertificatesFromPem("not a certificate"), 0);
    TlsTrust::reset();

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;
    ASSERT_TRUE(testpki::writePemFiles(pki->ca, dir.filePath("Config"), "ca", &error)) << error.toStdString();
    EXPECT_EQ(TlsTrust::addCaCertificatesFromFile(dir.filePath("Config/ca.crt")), 1);
    EXPECT_EQ(TlsTrust::addCaCertificatesFromFile(dir.filePath("Config/missing.crt")), 0);
    EXPECT_EQ(QFile(dir.filePath("Config/ca.key")).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
    EXPECT_FALSE(testpki::writePemFiles(testpki::Identity {}, dir.path(), "none", &error));

    // The server certificate names 127.0.0.1 and localhost and chains to the CA.
    const QSslCertificate cert = pki->server.certificate();
    const auto names = cert.subjectAlternativeNames();
    EXPECT_TRUE(names.values(QSsl::DnsEntry).contains("localhost"));
    EXPECT_TRUE(names.values(QSsl::IpAddressEntry).contains("127.0.0.1"));
    EXPECT_EQ(cert.issuerDisplayName(), pki->ca.certificate().subjectDisplayName());
    EXPECT_TRUE(pki->ca.certificate().isSelfSigned());
    const QSslCertificate untrusted = pki->untrusted.certificate();
    EXPECT_EQ(untrusted.issuerDisplayName(), untrusted.subjectDisplayName());
    EXPECT_FALSE(pki->server.privateKey().isNull());
}
