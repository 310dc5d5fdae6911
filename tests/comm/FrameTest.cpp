#include "support/EchoContextDelegate.h"
#include "comm/recordset/CSHex.h"
#include "comm/transport/VEKTCConnectionContext.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

// Hands every payload back as a response and builds nothing.
class EchoDelegate : public testsupport::EchoContextDelegate {
public:
    std::optional<VEKResponse> contextParseRespone(
        VEKConnectionContext& c, const QByteArray& p, const VEKPacketFlag& f) override
    {
        flags.push_back(f);
        return EchoContextDelegate::contextParseRespone(c, p, f);
    }
    std::vector<VEKPacketFlag> flags;
};

QByteArray reply(qint64 packetId, const QByteArray& payload, qint64 status = 0)
{
    return *VEKTCConnectionContext::replyFrame({ status, packetId, false, false }, payload);
}

std::vector<VEKResponse> readAll(const QByteArray& stream, qsizetype chunk)
{
    return testsupport::readAllResponses<VEKTCConnectionContext>(stream, chunk);
}

using testsupport::packetIds;

QByteArray header(quint32 length, const char* magic = "VEK ", quint16 version = 0x0122)
{
    QByteArray h = TCProPackage::makeHeader(0, 0);
    memcpy(h.data() + 5, magic, 4);
    h[9] = char(version & 0xFF);
    h[10] = char(version >> 8);
    h[17] = char(length & 0xFF);
    h[18] = char((length >> 8) & 0xFF);
    h[19] = char((length >> 16) & 0xFF);
    h[20] = char(length >> 24);
    return h;
}

} // namespace

TEST(Frame, LogonAndRequestFramesAreWrittenByteForByte)
{
    VEKTCConnectionContext context;

    const QByteArray logon = context.sendLoginWithPacketId(1);
    QByteArray expected = QByteArray::fromHex("FFFFFFFFFF"
                                              "56454B20"
                                              "2201"
                                              "0000"
                                              "01000000"
                                              "6B000000"
                                              "00000000"
                                              "00000000"
                                              "0000000000000000" // through offset 36
                                              "0100"
                                              "0000"
                                              "0000"
                                              "00"
                                              "00"
                                              "00")
        + QByteArray(32, '\0') // session
        + QByteArray::fromHex("0000"
                              "0000"
                              "00"
                              "00"
                              "000000000000"
                              "30000000"
                              "EC00");
    expected += QByteArray("v") + QByteArray(15, '\0') + QByteArray("v") + QByteArray(31, '\0');
    EXPECT_EQ(logon.size(), 144);
    EXPECT_EQ(logon.toHex(), expected.toHex());

    // The session request under packet id 2.
    const QByteArray body = "utid=0123456789ABCDEF&soft_name=lumora&soft_version=1.0.0.12";
    ASSERT_EQ(body.size(), 60);
    context.sendBufferCreatWithSericeID(300, 1);
    const auto frame
        = context.requestDataWithMainFunction(1001, 2, std::nullopt, body, 60, { 0, 2, false, false });
    ASSERT_TRUE(frame);
    expected = QByteArray::fromHex("FFFFFFFFFF"
                                   "56454B20"
                                   "2201"
                                   "0000"
                                   "02000000"
                                   "77000000"
                                   "00000000"
                                   "00000000"
                                   "0000000000000000"
                                   "1200"
                                   "2C01"
                                   "0000"
                                   "00"
                                   "00"
                                   "00")
        + QByteArray(32, '\0')
        + QByteArray::fromHex("E903"
                              "0200"
                              "01"
                              "00"
                              "000000000000"
                              "3C000000"
                              "C38C")
        + body;
    EXPECT_EQ(frame->size(), 156);
    EXPECT_EQ(frame->toHex(), expected.toHex());

    // The send buffer is reused: a second request with session, encryption and
    // compression on writes over the first.
    const QByteArray session = CSHex::decode(
        QStringLiteral("00112233445566778899aabbccddeeff00112233445566778899AABBCCDDEEFF0102"));
    ASSERT_EQ(session.size(), 34);
    context.sendBufferCreatWithSericeID(7, 2);
    const auto second = context.requestDataWithMainFunction(
        0x1234, 0x5678, session, "abc", 99, { 0, 0x0A0B0C0D, true, true });
    ASSERT_TRUE(second);
    EXPECT_EQ(second->size(), 99);
    EXPECT_EQ(second->mid(13, 4).toHex(), "0d0c0b0a");
    EXPECT_EQ(second->mid(17, 4).toHex(), "3e000000");
    EXPECT_EQ(second->mid(37, 9).toHex(), "120007000000122400");
    EXPECT_EQ(second->mid(46, 32), session.left(32));
    EXPECT_EQ(second->mid(78, 6).toHex(), "341278560200");
    EXPECT_EQ(second->mid(90, 4).toHex(), "63000000");
    EXPECT_EQ(second->mid(94, 2).toHex(), "61c5"); // 0x6261 + 0x6300
    EXPECT_EQ(second->mid(96), "abc");
    // Too large a payload or a packet id beyond 32 bits is refused.
    EXPECT_FALSE(context.requestDataWithMainFunction(
        1, 1, std::nullopt, QByteArray(VEKTCConnectionContext::kMaxPayload + 1, 'x'), 0, {}));
    EXPECT_FALSE(
        context.requestDataWithMainFunction(1, 1, std::nullopt, "a", 1, { 0, 0x100000000LL, false, false }));

    // Checksum: little-endian words, an odd last byte is a high byte.
    const uchar three[] = { 0x01, 0x02, 0x03 };
    EXPECT_EQ(VEKTCConnectionContext::getChecksumWithByte(three, 3), 0x0501);
    EXPECT_EQ(VEKTCConnectionContext::getChecksumWithByte(three, 0), 0);
    const QByteArray ones(70000, '\xFF');
    EXPECT_EQ(
        VEKTCConnectionContext::getChecksumWithByte(ones.data(), ones.size()), quint16(35000u * 0xFFFFu));

    // Hexadecimal session text.
    EXPECT_EQ(CSHex::hexTo('7'), 7);
    EXPECT_EQ(CSHex::hexTo('b'), 11);
    EXPECT_EQ(CSHex::hexTo('F'), 15);
    EXPECT_EQ(CSHex::hexTo('g'), 0);
    EXPECT_EQ(CSHex::decode(QByteArrayView("0aFf1")).toHex(), "0aff");
    EXPECT_EQ(CSHex::decode(QByteArrayView("zz")).toHex(), "00");
    EXPECT_TRUE(CSHex::decode(QByteArrayView("a")).isEmpty());
    EXPECT_EQ(CSHex::decode(QString::fromUtf8("中1")).toHex(), "01");
}

TEST(FrameReader, ReassemblesRepliesSplitAtEveryByte)
{
    const QByteArray stream = reply(5, "odd") + reply(6, QByteArray(300, 'r'), 100);
    const qsizetype end5 = reply(5, "odd").size();
    for (qsizetype cut = 1; cut < stream.size(); ++cut) {
        EchoDelegate delegate;
        VEKTCConnectionContext context(&delegate);
        context.receiveData(stream.left(cut));
        std::vector<VEKResponse> got;
        while (auto r = context.readPacketAvailable())
            got.push_back(*r);
        // A frame has begun once its whole sync is in; a part of one is no frame yet.
        EXPECT_EQ(context.frameBegun(), (cut >= 5 && cut < end5) || cut >= end5 + 5) << "cut at " << cut;
        context.receiveData(stream.mid(cut));
        while (auto r = context.readPacketAvailable())
            got.push_back(*r);
        ASSERT_EQ(got.size(), 2u) << "cut at " << cut;
        EXPECT_EQ(got[0].data(), "odd");
        EXPECT_EQ(got[0].packetid(), 5u);
        EXPECT_EQ(got[1].status(), 100u);
        EXPECT_EQ(got[1].data().size(), 300);
        EXPECT_EQ(context.bufferedLength(), 0);
    }
    // Byte by byte, and both frames in one read give both replies in one pass.
    EXPECT_EQ(packetIds(readAll(stream, 1)), (std::vector<qint64> { 5, 6 }));
    EXPECT_EQ(packetIds(readAll(stream, stream.size())), (std::vector<qint64> { 5, 6 }));

    // Flags come from the frame.
    EchoDelegate delegate;
    VEKTCConnectionContext context(&delegate);
    context.receiveData(*VEKTCConnectionContext::replyFrame({ 3, 9, true, true }, "x"));
    ASSERT_TRUE(context.readPacketAvailable());
    ASSERT_EQ(delegate.flags.size(), 1u);
    EXPECT_EQ(delegate.flags[0], (VEKPacketFlag { 3, 9, true, true }));
    VEKContextError error;
    EXPECT_FALSE(context.checkResponse(&error, nullptr));
    EXPECT_EQ(error.domain, "Less data");
    EXPECT_EQ(error.code, 500);
}

TEST(FrameReader, SkipsGarbageAndBadFramesWithoutStalling)
{
    const QByteArray good = reply(42, "payload");
    QByteArray badChecksum = reply(7, "tampered");
    badChecksum[96] = 'T';
    const QByteArray empty = reply(8, QByteArray());
    const QByteArray lengthCap = header(
        quint32(VEKTCConnectionContext::kBodyHeaderLength + VEKTCConnectionContext::kMaxPayload + 1));
    const QByteArray atCap
        = header(quint32(VEKTCConnectionContext::kBodyHeaderLength + VEKTCConnectionContext::kMaxPayload));

    struct Case {
        const char* name;
        QByteArray before;
    };
    const std::vector<Case> cases = {
        { "garbage with stray 0xFF",
            QByteArray("abc\xFFxyz\xFF\xFF\xFF\xFF"
                       "0\xFF",
                12) },
        { "sync run longer than five", QByteArray(9, '\xFF') },
        { "heartbeat zero bytes", QByteArray(3, '\0') },
        { "bad checksum", badChecksum },
        { "empty payload", empty },
        { "bad magic", header(59, "VEX ") + QByteArray(20, 'a') },
        { "bad version", header(59, "VEK ", 0x0123) },
        { "length below 59", header(58) + QByteArray(10, 'a') },
        { "zero length", header(0) },
        { "length over the cap", lengthCap },
        { "length 0xFFFFFFFF", header(0xFFFFFFFFu) },
        { "truncated sync before frame", QByteArray(4, '\xFF') },
        { "false start then frame", header(59, "VEK?") + reply(41, "inner") },
    };
    for (const Case& c : cases) {
        // A head not whole yet starts at its own sync, whatever came before:
        // bytes read before it are no part of it.
        {
            EchoDelegate delegate;
            VEKTCConnectionContext context(&delegate);
            context.receiveData(c.before + good.left(20));
            while (context.readPacketAvailable()) { }
            EXPECT_TRUE(context.frameBegun()) << c.name;
            EXPECT_EQ(context.bufferedLength(), 20) << c.name;
        }
        const QByteArray stream = c.before + good + QByteArray(1, '\0') + good;
        for (qsizetype chunk : { qsizetype(1), qsizetype(7), stream.size() }) {
            auto got = readAll(stream, chunk);
            std::vector<qint64> want { 42, 42 };
            if (QByteArray(c.name) == "false start then frame")
                want.insert(want.begin(), 41);
            EXPECT_EQ(packetIds(got), want) << c.name << ", chunk " << chunk;
        }
    }

    // A header at the cap is believed and waited for, within the bound.
    {
        EchoDelegate delegate;
        VEKTCConnectionContext context(&delegate);
        context.receiveData(atCap + good);
        EXPECT_FALSE(context.readPacketAvailable());
        EXPECT_EQ(context.step(), 2);
    }
    // Garbage is not kept: only a possible sync start stays buffered.
    {
        VEKTCConnectionContext context;
        context.receiveData(QByteArray(100000, 'g'));
        EXPECT_FALSE(context.checkResponse(nullptr, nullptr));
        EXPECT_EQ(context.bufferedLength(), 0);
        context.receiveData(QByteArray("zz\xFF\xFF\xFF", 5));
        EXPECT_FALSE(context.checkResponse(nullptr, nullptr));
        EXPECT_EQ(context.bufferedLength(), 3);
        // resetData forgets a half-read frame.
        context.receiveData(good.left(50));
        EXPECT_FALSE(context.checkResponse(nullptr, nullptr));
        context.resetData();
        EXPECT_EQ(context.bufferedLength(), 0);
        EXPECT_EQ(context.step(), 0);
        EchoDelegate delegate;
        context.setDelegate(&delegate);
        context.receiveData(good);
        EXPECT_TRUE(context.readPacketAvailable());
    }
}

TEST(FrameReader, ServerSideReadsLogonsAndRequests)
{
    VEKTCConnectionContext client;
    client.sendBufferCreatWithSericeID(300, 2);
    const QByteArray request = *client.requestDataWithMainFunction(
        1001, 2, QByteArray(32, '\x5A'), "k=v", 3, { 0, 2, false, true });
    const QByteArray stream = client.sendLoginWithPacketId(1) + QByteArray(1, '\0') + request;

    VEKTCConnectionContext server;
    server.receiveData(stream);
    const auto logon = server.readFrame();
    ASSERT_TRUE(logon);
    EXPECT_EQ(logon->type, TCFrame::kTypeLogon);
    EXPECT_EQ(logon->packetId, 1u);
    EXPECT_EQ(logon->originLength, 48u);
    const auto texts = VEKTCConnectionContext::parseLogonPayload(logon->payload);
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->first, "v");
    EXPECT_EQ(texts->second, "v");
    EXPECT_FALSE(VEKTCConnectionContext::parseLogonPayload("short"));

    const auto req = server.readFrame();
    ASSERT_TRUE(req);
    EXPECT_EQ(req->type, TCFrame::kTypeRequest);
    EXPECT_EQ(req->packetId, 2u);
    EXPECT_EQ(req->service, 300);
    EXPECT_EQ(req->mainFunction, 1001);
    EXPECT_EQ(req->subFunction, 2);
    EXPECT_EQ(req->encoding, 2);
    EXPECT_EQ(req->session, QByteArray(32, '\x5A'));
    EXPECT_EQ(req->compressFlag, TCFrame::kCompressFlag);
    EXPECT_EQ(req->encryptFlag, 0);
    EXPECT_EQ(req->payload, "k=v");
    EXPECT_FALSE(server.readFrame());

    // A frame laid out field by field reads back the same.
    TCFrame f;
    f.packetId = 77;
    f.reserved11 = 0x1111;
    f.reserved21 = 0x21212121;
    f.reserved41 = 0x4141;
    f.service = 9;
    f.status = 100;
    f.session = "short";
    f.payload = "body";
    const QByteArray bytes = *VEKTCConnectionContext::frameBytes(f);
    const auto back = VEKTCConnectionContext::parseFrame(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->session, QByteArray("short") + QByteArray(27, '\0'));
    EXPECT_EQ(back->payload, "body");
    EXPECT_FALSE(VEKTCConnectionContext::parseFrame(bytes.left(99)));

    // The plain accessors over the same bytes.
    EXPECT_EQ(TCProPackage::frameSize(bytes), 100);
    EXPECT_EQ(TCProPackage::copyFrame(bytes + "tail"), bytes);
    EXPECT_FALSE(TCProPackage::copyFrame(bytes.left(99)));
    EXPECT_EQ(TCProPackage::reserved11(bytes), 0x1111);
    EXPECT_EQ(TCProPackage::packetId(bytes), 77u);
    EXPECT_EQ(TCProPackage::type(bytes), 18);
    EXPECT_EQ(TCProPackage::service(bytes), 9);
    EXPECT_EQ(TCProPackage::status(bytes), 100);
    EXPECT_EQ(TCProPackage::session(bytes).left(5), "short");
    EXPECT_FALSE(TCProPackage::isCompressed(bytes));
    EXPECT_FALSE(TCProPackage::isEncrypted(bytes));
    EXPECT_EQ(TCProPackage::payloadLength(bytes), 4);
    EXPECT_EQ(TCProPackage::payload(bytes), QByteArray("body"));
    EXPECT_FALSE(TCProPackage::payload(bytes.left(98)));
    EXPECT_EQ(TCProPackage::reserved21(bytes), 0x21212121u);
    QByteArray made = TCProPackage::makeHeader(1, 2);
    EXPECT_EQ(made.left(13).toHex(), "ffffffffff56454b2022010100");
    EXPECT_EQ(made.mid(41, 2).toHex(), "0200");
    EXPECT_TRUE(TCProPackage::setReserved21(made, 5));
    EXPECT_EQ(TCProPackage::reserved21(made), 5u);
    QByteArray tiny("abc");
    EXPECT_FALSE(TCProPackage::setReserved21(tiny, 5));
    EXPECT_EQ(TCProPackage::packetId(tiny), 0u);
    EXPECT_EQ(TCProPackage::frameSize(tiny), 0);
}
