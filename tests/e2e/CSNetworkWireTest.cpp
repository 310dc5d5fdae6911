#include "CSNetworkTestRig.h"
#include "comm/recordset/CSHex.h"
#include "comm/recordset/VEKBase64.h"
#include "comm/transport/VEKHTTPConnectionContext.h"
#include "comm/transport/VEKTCConnectionContext.h"
#include "support/ModalGuard.h"

#include <QtEndian>

using namespace csnetworktest;
using brokersim::kSessionFunction;
using testsupport::spinUntil;

namespace {

quint16 u16(const QByteArray& frame, int offset)
{
    return qFromLittleEndian<quint16>(frame.constData() + offset);
}

quint32 u32(const QByteArray& frame, int offset)
{
    return qFromLittleEndian<quint32>(frame.constData() + offset);
}

const QString kSession = QStringLiteral("00112233445566778899aabbccddeeff");

} // namespace

TEST(CSNetworkValues, PacketsServerInfoAndRequests)
{
    CSPacket packet(7, 8, QStringLiteral("a=1"));
    EXPECT_EQ(packet.mFunc(), 7u);
    EXPECT_EQ(packet.sFunc(), 8u);
    EXPECT_EQ(packet.data(), QStringLiteral("a=1"));
    EXPECT_FALSE(packet.session());
    EXPECT_FALSE(packet.encrypt());
    EXPECT_FALSE(packet.compressed());
    EXPECT_EQ(packet.service(), 300u);
    EXPECT_EQ(packet.encoding(), 0);
    CSPacket::setPacketEncoding(2);
    EXPECT_EQ(CSPacket(1, 1, QString()).encoding(), 2);
    EXPECT_EQ(packet.encoding(), 0); // taken at creation
    CSPacket::setPacketEncoding(0);

    EXPECT_FALSE(CSServerInfo::initWithAddress(QString(), 80));
    EXPECT_FALSE(CSServerInfo::initWithAddress(QStringLiteral(""), 80));
    const auto info = CSServerInfo::initWithAddress(QStringLiteral("10.0.0.1"), 9000);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->address(), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(info->port(), 9000);
    EXPECT_EQ(info->protocolMode(), 0);
    EXPECT_EQ(info->proxyMode(), 0);
    EXPECT_EQ(info->proxyPort(), 0);
    EXPECT_FALSE(info->needSSL());
    EXPECT_EQ(info->timeout(), 30);
    EXPECT_TRUE(info->proxyAddress().isEmpty());

    for (const auto& [mode, expected] :
        { std::pair { 0, 0 }, { 1, 1 }, { 2, 2 }, { 3, 3 }, { 4, 0 }, { -1, 0 } })
        EXPECT_EQ(CSNetwork::proxyModeTransfer(mode), expected) << mode;

    CSRequest request(QStringLiteral("r"), "x", nullptr);
    EXPECT_EQ(request.encoding(), 1);
    EXPECT_EQ(request.status(), 0);
    for (const auto& [encoding, expected] : { std::pair { 0, 0 }, { 1, 1 }, { 2, 2 }, { 3, 1 }, { -1, 1 } }) {
        request.setEncoding(encoding);
        EXPECT_EQ(request.encodingToVEKTCRS(), expected) << encoding;
    }

    // The session configuration is all or nothing, and never unsafe in a body.
    CSSession::releaseAll();
    EXPECT_FALSE(CSNetwork::setConfigUtid(QString(), QStringLiteral("n"), QStringLiteral("v")));
    EXPECT_FALSE(CSNetwork::setConfigUtid(QStringLiteral("u"), QStringLiteral("n"), QString()));
    EXPECT_FALSE(CSNetwork::setConfigUtid(QStringLiteral("u&x=1"), QStringLiteral("n"), QStringLiteral("v")));
    EXPECT_FALSE(CSNetwork::setConfigUtid(QStringLiteral("终端"), QStringLiteral("n"), QStringLiteral("v")));
    EXPECT_FALSE(CSSession::utid());
    EXPECT_TRUE(CSNetwork::setConfigUtid(QStringLiteral("u"), QStringLiteral("n"), QStringLiteral("v")));
    EXPECT_EQ(CSSession::utid(), QStringLiteral("u"));
    EXPECT_FALSE(CSNetwork::setConfigUtid(QStringLiteral("w"), QString(), QStringLiteral("v")));
    EXPECT_EQ(CSSession::utid(), QStringLiteral("u"));

    // The session key: 16 characters made once.
    const auto key = CSSession::sessionKey();
    ASSERT_TRUE(key);
    EXPECT_EQ(key->count, 16u);
    EXPECT_EQ(QByteArray(key->characters, 16), QByteArray(CSSession::sessionKey()->characters, 16));
    CSSession::setSession(QString());
    EXPECT_FALSE(CSSession::session());
    CSSession::releaseAll();
}

TEST_F(CSNetworkE2E, HttpFormsByteForByte)
{
    CSSession::releaseAll(); // the session request then carries its keys with empty values
    EXPECT_FALSE(CSNetwork::setConfigUtid(QString(), QString(), QString()));
    net->connectTo(httpServer());
    Observer observer;
    EXPECT_EQ(echo(observer, QStringLiteral("a b&c"), true), 2u);
    ASSERT_TRUE(net->requestWithTag(1));
    EXPECT_EQ(net->requestWithTag(1)->name(), QStringLiteral("CSSessionRequestKey"));

    VEKHTTPConnectionContext context;
    EXPECT_EQ(net->contextBuildRequest(context, {}, { 0, 1, false, false }),
        QByteArray("TC_MFUNCNO=1001&TC_SFUNCNO=2&tc_packageid=1&tc_service=300&tc_isunicode=1&TC_ENCRYPT=0"
                   "&utid=&soft_name=&soft_version=&supportCompress=0"));
    // A waiting request has nothing to build yet; an unknown id neither.
    EXPECT_FALSE(net->contextBuildRequest(context, {}, { 0, 2, false, false }));
    EXPECT_FALSE(net->contextBuildRequest(context, {}, { 0, 99, false, false }));

    ASSERT_TRUE(waitCalls(observer, 1));
    const QString session = CSSession::session().value_or(QString());
    ASSERT_EQ(session.size(), 32);
    // The body's own "&" and "=" are the caller's; values are escaped pair by pair.
    EXPECT_EQ(observer.echoed(0), QStringLiteral("a b"));

    CSPacket packet(900, 1, QStringLiteral("text=x"));
    packet.setCompressed(true);
    packet.setEncoding(2);
    packet.setService(301);
    const quint64 id = net->sendRequestWithObserver(&observer, QStringLiteral("e"), &packet, 5);
    EXPECT_EQ(net->contextBuildRequest(context, {}, { 0, qint64(id), false, true }),
        QByteArray("TC_MFUNCNO=900&TC_SFUNCNO=1&tc_packageid=3&tc_service=301&tc_isunicode=2&TC_ENCRYPT=0"
                   "&TC_SESSION={")
            + session.toLatin1() + "}&text=x&supportCompress=18");

    // Enciphered: the body and its supportCompress pair travel sealed under the session key.
    const auto sealed = net->contextBuildRequest(context, {}, { 0, qint64(id), true, true });
    ASSERT_TRUE(sealed);
    const auto pairs = TCHttpForm::decode(*sealed);
    ASSERT_TRUE(pairs);
    EXPECT_EQ(TCHttpForm::value(*pairs, u"TC_ENCRYPT"), QStringLiteral("36"));
    EXPECT_EQ(TCHttpForm::value(*pairs, u"TC_REQLENGTH"), QStringLiteral("6"));
    const auto data = VEKBase64::decodeString(TCHttpForm::value(*pairs, u"TC_REQDATA").value_or(QString()));
    ASSERT_TRUE(data);
    EXPECT_EQ(VEKCoder::dataByDecryptData(*data, *CSSession::sessionKey()),
        QByteArray("text=x&supportCompress=18"));
    ASSERT_TRUE(waitCalls(observer, 2));
}

TEST_F(CSNetworkE2E, TcFramesByteForByte)
{
    net->connectTo(tcServer());
    Observer observer;
    echo(observer, QStringLiteral("x"), true); // the session request goes out before the logon
    VEKTCConnectionContext context;
    const auto frame = net->contextBuildRequest(context, {}, { 0, 1, false, false });
    ASSERT_TRUE(frame);
    const QByteArray body("utid=T0001&soft_name=lumora&soft_version=1.0");
    ASSERT_EQ(frame->size(), 96 + body.size());
    EXPECT_EQ(frame->first(9), QByteArray("\xFF\xFF\xFF\xFF\xFFVEK "));
    EXPECT_EQ(u16(*frame, 9), 0x0122);
    EXPECT_EQ(u32(*frame, 13), 1u);
    EXPECT_EQ(u32(*frame, 17), quint32(59 + body.size()));
    EXPECT_EQ(u16(*frame, 37), 18);
    EXPECT_EQ(u16(*frame, 39), 300);
    EXPECT_EQ(frame->at(43), 0);
    EXPECT_EQ(frame->at(44), 0);
    EXPECT_EQ(frame->mid(46, 32), QByteArray(32, '\0'));
    EXPECT_EQ(u16(*frame, 78), 1001);
    EXPECT_EQ(u16(*frame, 80), 2);
    EXPECT_EQ(frame->at(82), 1);
    EXPECT_EQ(u32(*frame, 90), quint32(body.size()));
    EXPECT_EQ(u16(*frame, 94), VEKTCConnectionContext::getChecksumWithByte(body.constData(), body.size()));
    EXPECT_EQ(frame->mid(96), body);
    ASSERT_TRUE(waitCalls(observer, 1));

    // A request with the session flag carries the session's bytes, zero-padded.
    CSSession::setSession(kSession);
    CSPacket packet(900, 1, QStringLiteral("text=yz"));
    packet.setSession(true);
    packet.setEncoding(2);
    packet.setCompressed(true);
    const quint64 id = net->sendRequestWithObserver(&observer, QStringLiteral("e"), &packet, 5);
    const auto request = net->contextBuildRequest(context, {}, { 0, qint64(id), false, true });
    ASSERT_TRUE(request);
    EXPECT_EQ(u32(*request, 13), quint32(id));
    EXPECT_EQ(quint8(request->at(43)), 18);
    EXPECT_EQ(request->mid(46, 32), CSHex::decode(kSession) + QByteArray(16, '\0'));
    EXPECT_EQ(u16(*request, 78), 900);
    EXPECT_EQ(request->at(82), 2);
    EXPECT_EQ(request->mid(96), QByteArray("text=yz"));

    // Enciphered: the payload is the Base64 of the sealed body; originLength the plain length.
    const auto sealed = net->contextBuildRequest(context, {}, { 0, qint64(id), true, false });
    ASSERT_TRUE(sealed);
    EXPECT_EQ(quint8(sealed->at(44)), 36);
    EXPECT_EQ(u32(*sealed, 90), 7u);
    const auto data = VEKBase64::decodeData(sealed->mid(96));
    ASSERT_TRUE(data);
    EXPECT_EQ(VEKCoder::dataByDecryptData(*data, *CSSession::sessionKey()), QByteArray("text=yz"));
    EXPECT_FALSE(net->contextBuildRequest(context, {}, { 0, 99, false, false }));
}

TEST_F(CSNetworkE2E, RepliesAreOpenedAndExpanded)
{
    VEKTCConnectionContext context;
    const QByteArray plain = QByteArray("record sets ").repeated(20);
    auto response = net->contextParseRespone(context, plain, { 0, 4, false, false });
    ASSERT_TRUE(response);
    EXPECT_EQ(response->data(), plain);
    EXPECT_EQ(response->packetid(), 4u);
    EXPECT_EQ(response->status(), 0u);

    const auto compressed = VEKCoder::dataByCompressData(plain);
    ASSERT_TRUE(compressed);
    const QByteArray packed = *compressed;
    response = net->contextParseRespone(context, packed, { 100, 5, false, true });
    EXPECT_EQ(response->data(), plain);
    EXPECT_EQ(response->status(), 100u);

    const QByteArray sealed = *VEKCoder::dataByEncryptData(packed, *CSSession::sessionKey());
    response = net->contextParseRespone(context, sealed, { 0, 6, true, true });
    EXPECT_EQ(response->data(), plain);

    // What cannot be opened or expanded is a failed reply, never a success.
    response = net->contextParseRespone(context, "garbage!", { 0, 7, true, false });
    EXPECT_EQ(response->status(), CSNetwork::kUnreadableReplyStatus);
    EXPECT_TRUE(response->data().isEmpty());
    response = net->contextParseRespone(context, "garbage!", { 0, 8, false, true });
    EXPECT_EQ(response->status(), CSNetwork::kUnreadableReplyStatus);
    EXPECT_EQ(response->packetid(), 8u);
}

TEST_F(CSNetworkE2E, EmptyBodiesRunModesAndQuietLogs)
{
    ASSERT_TRUE(connectAndLogOn());
    Observer observer;
    CSPacket empty(kEcho.main, kEcho.sub, QString());
    net->sendRequestWithObserver(&observer, QStringLiteral("empty"), &empty, 5);
    ASSERT_TRUE(waitCalls(observer, 1));
    ASSERT_EQ(observer.replies.size(), 1u);
    EXPECT_EQ(receivedOf(kEcho).last().rawBody, QByteArray());

    EXPECT_FALSE(net->setRunLoopModes(QStringList()));
    EXPECT_FALSE(net->setRunLoopModes(QStringList { QStringLiteral("NoSuchMode") }));
    EXPECT_TRUE(net->setRunLoopModes(QStringList { QString::fromLatin1(platform::kCFRunLoopDefaultMode) }));
    EXPECT_TRUE(net->setRunLoopModes(QStringList { QString::fromLatin1(platform::kCFRunLoopDefaultMode),
        QString::fromLatin1(platform::NSModalPanelRunLoopMode) }));
    EXPECT_EQ(net->runLoopModes(), platform::RunLoopModes::common());
    EXPECT_EQ(net->connection()->runLoopModes(), platform::RunLoopModes::common());
    {
        // Replies travel while a modal panel runs.
        testsupport::ExpectModalDialogs ownSession;
        platform::ModalSession modal;
        echo(observer, QStringLiteral("modal"));
        ASSERT_TRUE(waitCalls(observer, 2));
    }

    // Diagnostics name functions, ids and lengths, never what a body says.
    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { messages << text; });
    CSNetwork::setLogEnabled(true);
    EXPECT_TRUE(CSNetwork::logEnabled());
    CSPacket secret(kEcho.main, kEcho.sub, QStringLiteral("password=hunter2"));
    net->sendRequestWithObserver(&observer, QStringLiteral("secret"), &secret, 5);
    const bool answered = waitCalls(observer, 3);
    CSNetwork::setLogEnabled(false);
    qInstallMessageHandler(previous);
    ASSERT_TRUE(answered);
    EXPECT_FALSE(messages.isEmpty());
    for (const QString& message : messages)
        EXPECT_FALSE(message.contains(QStringLiteral("hunter2"))) << message.toStdString();
}
