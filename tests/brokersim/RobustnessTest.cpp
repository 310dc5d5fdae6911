#include "SimClient.h"
#include "support/Spin.h"
#include "tools/broker-sim/BrokerSimulator.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>
#include <random>

using namespace brokersim;
using namespace simtest;

namespace {

QByteArray randomBytes(qsizetype count, unsigned seed)
{
    std::mt19937 generator(seed);
    QByteArray bytes(count, '\0');
    for (char& b : bytes)
        b = char(generator() & 0xFF);
    return bytes;
}

// A logon followed by the session request; true when both are answered.
bool logonAndSession(SimClient& client)
{
    VEKTCConnectionContext context;
    client.send(context.sendLoginWithPacketId(1));
    client.send(tcRequest(2, 1001, 2, "utid=&soft_name=&soft_version=", 1));
    const auto logon = client.nextFrame();
    const auto session = client.nextFrame();
    return logon && logon->packetId == 1 && logon->status == 0 && session && session->packetId == 2
        && session->status == 0 && !recordSets(session->payload, 1).empty();
}

bool httpSession(SimClient& client, qint64 packetId)
{
    client.send(httpRequest(packetId, 1001, 2, QStringLiteral("utid=&soft_name=&soft_version="), 1));
    const auto reply = client.nextHttpReply();
    return reply && reply->etag == QByteArray::number(packetId).prepend("0,") + ",0,0,0,0"
        && !recordSets(reply->body, 1).empty();
}

} // namespace

TEST(BrokerSimRobustness, BadFramesAreDroppedAndTheConnectionKeepsServing)
{
    BrokerSimulator sim;
    ASSERT_TRUE(sim.start());
    SimClient client;
    ASSERT_TRUE(client.connectTls(sim.tcPort(), sim.trustedCertificates()));

    const QByteArray good = tcRequest(5, 1001, 2, "utid=a", 2);
    QByteArray badChecksum = tcRequest(1, 1001, 2, "utid=b", 2);
    badChecksum[94] = char(badChecksum[94] ^ 0x01);
    QByteArray badMagic = tcRequest(2, 1001, 2, "utid=c", 2);
    badMagic[6] = 'X';
    QByteArray badVersion = tcRequest(3, 1001, 2, "utid=d", 2);
    badVersion[9] = 0x23;
    QByteArray overCap = tcRequest(4, 1001, 2, "utid=e", 2);
    const quint32 huge = quint32(59 + VEKTCConnectionContext::kMaxPayload + 1);
    overCap[17] = char(huge & 0xFF);
    overCap[18] = char((huge >> 8) & 0xFF);
    overCap[19] = char((huge >> 16) & 0xFF);
    overCap[20] = char((huge >> 24) & 0xFF);
    TCFrame unknownType;
    unknownType.type = 7;
    unknownType.packetId = 6;
    unknownType.payload = "x=1";
    TCFrame shortLogon;
    shortLogon.type = TCFrame::kTypeLogon;
    shortLogon.packetId = 7;
    shortLogon.payload = "v";

    client.send(randomBytes(4096, 1) + badChecksum + badMagic + badVersion + overCap + randomBytes(777, 2)
        + *VEKTCConnectionContext::frameBytes(unknownType) + *VEKTCConnectionContext::frameBytes(shortLogon)
        + QByteArray(3, '\xFF') + QByteArray(1, '\0'));
    // A good frame split in two reads still comes through, and only it is answered.
    client.send(good.first(40));
    testsupport::spinFor(std::chrono::milliseconds(20));
    client.send(good.sliced(40));
    const auto reply = client.nextFrame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->packetId, 5u);
    EXPECT_FALSE(client.nextFrame(std::chrono::milliseconds(50)));
    ASSERT_EQ(sim.receivedCount(), 1);
    EXPECT_EQ(sim.received()[0].rawBody, "utid=a");
    EXPECT_FALSE(client.isDisconnected());
}

TEST(BrokerSimRobustness, GarbageClosesThatConnectionOnly)
{
    BrokerSimulator sim;
    ASSERT_TRUE(sim.start());
    SimClient bystander;
    ASSERT_TRUE(bystander.connectTls(sim.tcPort(), sim.trustedCertificates()));

    // Plain bytes on the TLS front fail the handshake.
    SimClient notTls;
    ASSERT_TRUE(notTls.connectPlain(sim.tcPort()));
    notTls.send(randomBytes(2048, 3));
    EXPECT_TRUE(notTls.waitForDisconnect());

    // HTTP: a huge Content-Length, a head that never ends, a request that is not
    // a POST, a form without function numbers, a bad escape, random bytes.
    const QList<QByteArray> bad {
        "POST / HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\n",
        "POST / HTTP/1.1\r\nContent-Length:" + QByteArray::number(16 * 1024 * 1024 + 1) + "\r\n\r\n",
        "POST / HTTP/1.1\r\nX-Filler: " + QByteArray(70 * 1024, 'x'),
        "GET / HTTP/1.1\r\nContent-Length: 0\r\n\r\n",
        "POST / HTTP/1.1\r\nContent-Length: 13\r\n\r\ntc_packageid=",
        "POST / HTTP/1.1\r\nContent-Length: 44\r\n\r\nTC_MFUNCNO=1001&TC_SFUNCNO=2&tc_packageid=%G",
        "POST / HTTP/1.1\r\nContent-Length: 45\r\n\r\nTC_MFUNCNO=99999999999&TC_SFUNCNO=2&tc_packag",
        randomBytes(3000, 4).replace("\r\n\r\n", "xxxx") + "\r\n\r\n",
    };
    for (const QByteArray& bytes : bad) {
        SimClient http;
        ASSERT_TRUE(http.connectPlain(sim.httpPort()));
        http.send(bytes);
        EXPECT_TRUE(http.waitForDisconnect())
            << bytes.first(std::min<qsizetype>(bytes.size(), 60)).toStdString();
        EXPECT_TRUE(http.allReceived().isEmpty());
    }
    EXPECT_EQ(sim.receivedCount(), 0);

    // Everyone else is still served, and new connections too.
    EXPECT_TRUE(sim.isListening());
    EXPECT_TRUE(logonAndSession(bystander));
    SimClient freshTc;
    ASSERT_TRUE(freshTc.connectTls(sim.tcPort(), sim.trustedCertificates()));
    EXPECT_TRUE(logonAndSession(freshTc));
    SimClient freshHttp;
    ASSERT_TRUE(freshHttp.connectPlain(sim.httpPort()));
    EXPECT_TRUE(httpSession(freshHttp, 1));
    EXPECT_TRUE(httpSession(freshHttp, 2));
}

TEST(BrokerSimRobustness, PlainTcFrontAndOwnCertificate)
{
    BrokerSimulator plain;
    BrokerSimulator::Options options;
    options.tcTls = false;
    ASSERT_TRUE(plain.start(options));
    SimClient client;
    ASSERT_TRUE(client.connectPlain(plain.tcPort()));
    EXPECT_TRUE(logonAndSession(client));

    // A certificate of the caller's: clients trust the caller's CA.
    const testpki::TestPki pki = testpki::makeTestPki();
    BrokerSimulator own;
    options = {};
    options.certificate = pki.server.certificate();
    options.privateKey = pki.server.privateKey();
    ASSERT_TRUE(own.start(options));
    EXPECT_TRUE(own.trustedCertificates().isEmpty());
    SimClient trusted;
    ASSERT_TRUE(trusted.connectTls(own.tcPort(), { pki.ca.certificate() }));
    EXPECT_TRUE(logonAndSession(trusted));
    // A client that trusts another CA refuses the connection.
    SimClient refused;
    EXPECT_FALSE(refused.connectTls(own.tcPort(), plain.trustedCertificates()));

    // A port in use is reported, not ignored.
    BrokerSimulator clash;
    options = {};
    options.httpPort = own.httpPort();
    EXPECT_FALSE(clash.start(options));
    EXPECT_FALSE(clash.errorString().isEmpty());
    EXPECT_FALSE(clash.isListening());
}

TEST(BrokerSimExecutable, StartsWithoutArgumentsAndServesBothFronts)
{
    QProcess process;
    process.start(QStringLiteral(BROKER_SIM_EXE), {});
    ASSERT_TRUE(process.waitForStarted(10000));
    QMap<QByteArray, QByteArray> lines;
    testsupport::spinUntil(
        [&] {
            while (process.canReadLine()) {
                const QByteArray line = process.readLine().trimmed();
                const qsizetype space = line.indexOf(' ');
                if (space > 0)
                    lines.insert(line.first(space), line.sliced(space + 1));
            }
            return lines.contains("data") || process.state() == QProcess::NotRunning;
        },
        std::chrono::seconds(20));
    ASSERT_TRUE(lines.contains("tc") && lines.contains("http") && lines.contains("data"))
        << process.readAllStandardError().toStdString();
    const quint16 tcPort = quint16(lines["tc"].toUInt());
    const quint16 httpPort = quint16(lines["http"].toUInt());
    const QString data = QString::fromLocal8Bit(lines["data"]);
    EXPECT_NE(tcPort, 0);
    EXPECT_NE(httpPort, 0);
    EXPECT_TRUE(QFileInfo::exists(data + QStringLiteral("/server.crt")));
    EXPECT_TRUE(QFileInfo::exists(data + QStringLiteral("/server.key")));
    const QList<QSslCertificate> ca = QSslCertificate::fromPath(data + QStringLiteral("/ca.crt"));
    ASSERT_EQ(ca.size(), 1);

    SimClient tc;
    ASSERT_TRUE(tc.connectTls(tcPort, ca));
    EXPECT_TRUE(logonAndSession(tc));
    SimClient http;
    ASSERT_TRUE(http.connectPlain(httpPort));
    EXPECT_TRUE(httpSession(http, 1));

    process.terminate();
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(data)); // the temporary folder goes with it
}
