#include "comm/transport/VEKDataBuffer.h"
#include "comm/transport/VEKHTTPConnectionContext.h"
#include "comm/transport/VEKTCConnectionContext.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

// Records what it is asked and answers as told.
class RecordingDelegate : public VEKConnectionContextDelegate {
public:
    std::optional<QByteArray> contextBuildRequest(
        VEKConnectionContext&, const QByteArray& r, const VEKPacketFlag& f) override
    {
        built.push_back({ r, f });
        if (!build)
            return std::nullopt;
        return "[" + r + "]";
    }
    std::optional<VEKResponse> contextParseRespone(
        VEKConnectionContext&, const QByteArray& p, const VEKPacketFlag& f) override
    {
        ++parsed;
        if (p == "refuse")
            return std::nullopt;
        return VEKResponse(p, quint64(f.status), quint64(f.packetid));
    }
    bool build = true;
    std::vector<std::pair<QByteArray, VEKPacketFlag>> built;
    int parsed = 0;
};

struct FakePacket {
    QByteArray data() const { return bytes; }
    quint64 packetid() const { return 12; }
    bool encrypt() const { return true; }
    bool compressResponse() const { return false; }
    quint64 cacheAge() const { return age; }
    QByteArray bytes;
    quint64 age = 0;
};

QByteArray reply(qint64 packetId, const QByteArray& payload)
{
    return *VEKTCConnectionContext::replyFrame({ 0, packetId, false, false }, payload);
}

} // namespace

TEST(ContextBuffer, DataBufferGrowsDetachesAndResets)
{
    VEKDataBuffer buffer(4);
    EXPECT_EQ(buffer.length(), 0);
    EXPECT_EQ(buffer.capacity(), 4);
    EXPECT_TRUE(buffer.appendData("abcdef"));
    EXPECT_EQ(buffer.capacity(), 10); // grown by length + n
    EXPECT_TRUE(buffer.appendBytes(buffer.base(), 6)); // from itself, across a growth
    EXPECT_EQ(buffer.capacity(), 22);
    EXPECT_EQ(buffer.bytes(), "abcdefabcdef");

    EXPECT_EQ(buffer.detachmentByteInRange(2, 3), QByteArray("cde"));
    EXPECT_EQ(buffer.bytes(), "abfabcdef");
    EXPECT_EQ(buffer.detachmentByteInRange(4, 100), QByteArray("bcdef")); // only what is there
    EXPECT_EQ(buffer.bytes(), "abfa");
    EXPECT_FALSE(buffer.detachmentByteInRange(4, 1)); // at the end
    EXPECT_FALSE(buffer.detachmentByteInRange(-1, 1));
    EXPECT_EQ(buffer.detachmentByteInRange(0, 0), QByteArray());

    buffer.removeFront(1);
    EXPECT_EQ(buffer.bytes(), "bfa");
    buffer.removeFront(10);
    EXPECT_EQ(buffer.length(), 0);

    EXPECT_NE(buffer.resetLength(96), nullptr);
    EXPECT_EQ(buffer.length(), 96);
    EXPECT_EQ(buffer.reset(), buffer.base());
    EXPECT_EQ(buffer.length(), 0);
    EXPECT_EQ(buffer.resetLength(-1), nullptr);
    EXPECT_EQ(buffer.resetLength(VEKDataBuffer::kMaxLength + 1), nullptr);
    EXPECT_FALSE(buffer.appendBytes("x", -1));
    EXPECT_EQ(buffer.length(), 0);
}

TEST(ContextBase, WritesPacketsThroughTheDelegateAndTheFraming)
{
    RecordingDelegate delegate;
    VEKHTTPConnectionContext http(&delegate);
    std::optional<QByteArray> cached = QByteArray("stale");
    const auto bytes = http.doWritePacket("body", 7, true, true, 0, &cached);
    EXPECT_FALSE(cached);
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(bytes->startsWith("POST / HTTP/1.1\r\n"));
    EXPECT_TRUE(bytes->endsWith("Content-Length:6\r\n\r\n[body]"));
    ASSERT_EQ(delegate.built.size(), 1u);
    EXPECT_EQ(delegate.built[0].first, "body");
    EXPECT_EQ(delegate.built[0].second, (VEKPacketFlag { 0, 7, true, true }));

    // No data, or nothing built: nothing to write.
    EXPECT_FALSE(http.doWritePacket(QByteArray(), 8, false, false, 0, &cached));
    EXPECT_EQ(delegate.built.size(), 1u);
    delegate.build = false;
    EXPECT_FALSE(http.doWritePacket("x", 9, false, false, 0, nullptr));
    delegate.build = true;

    // Any packet type with the write packet's accessors; the TC framing adds nothing.
    VEKTCConnectionContext tc(&delegate);
    const FakePacket packet { "p", 0 };
    EXPECT_EQ(tc.doWritePacket(&packet, &cached), QByteArray("[p]"));
    EXPECT_EQ(delegate.built.back().second, (VEKPacketFlag { 0, 12, true, false }));
    EXPECT_FALSE(tc.doWritePacket(static_cast<const FakePacket*>(nullptr), &cached));
    EXPECT_FALSE(cached);
}

TEST(ContextBase, ADestroyedDelegateIsNeverCalled)
{
    auto delegate = std::make_unique<RecordingDelegate>();
    VEKTCConnectionContext context(delegate.get());
    EXPECT_EQ(context.delegate(), delegate.get());
    delegate.reset();
    EXPECT_EQ(context.delegate(), nullptr);
    EXPECT_FALSE(context.doWritePacket("x", 1, false, false, 0, nullptr));
    context.receiveData(reply(1, "late"));
    EXPECT_FALSE(context.readPacketAvailable());

    // A copy of a delegate has a lifetime of its own.
    RecordingDelegate original;
    auto copy = std::make_unique<RecordingDelegate>(original);
    context.setDelegate(copy.get());
    copy.reset();
    EXPECT_EQ(context.delegate(), nullptr);
    context.setDelegate(&original);
    EXPECT_EQ(context.delegate(), &original);
}

TEST(ContextBase, ReadsPastRepliesThatCannotBeUsed)
{
    RecordingDelegate delegate;
    VEKTCConnectionContext context(&delegate);
    // An empty payload, a payload the delegate refuses, then a good one, all in one read.
    context.receiveData(reply(1, "") + reply(2, "refuse") + reply(3, "good"));
    const auto r = context.readPacketAvailable();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->packetid(), 3u);
    EXPECT_EQ(r->data(), "good");
    EXPECT_EQ(delegate.parsed, 2);
    EXPECT_FALSE(context.readPacketAvailable());

    // The base context frames nothing and reads nothing.
    VEKConnectionContext base(&delegate);
    EXPECT_EQ(base.construcData("raw"), "raw");
    base.receiveData("abc");
    EXPECT_FALSE(base.readPacketAvailable());
    base.resetData();
    EXPECT_EQ(base.bufferedLength(), 3);
}

TEST(ContextBase, AnswersFromTheCacheWithoutWriting)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    RecordingDelegate delegate;
    VEKTCConnectionContext context(&delegate);
    context.setStoragePath(dir.path());
    context.storeResponse("cached reply", "request", 3600);

    std::optional<QByteArray> cached;
    const FakePacket uses { "request", 86400 };
    EXPECT_FALSE(context.doWritePacket(&uses, &cached));
    EXPECT_EQ(cached, QByteArray("cached reply"));
    EXPECT_TRUE(delegate.built.empty());

    // Without a cache age, or for other bytes, the packet is written.
    const FakePacket fresh { "request", 0 };
    EXPECT_EQ(context.doWritePacket(&fresh, &cached), QByteArray("[request]"));
    EXPECT_FALSE(cached);
    const FakePacket other { "other", 86400 };
    EXPECT_EQ(context.doWritePacket(&other, &cached), QByteArray("[other]"));
    EXPECT_FALSE(cached);
}
