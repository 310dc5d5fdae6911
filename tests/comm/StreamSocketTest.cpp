#include "comm/transport/StreamSocket.h"

#include "support/LoopbackServer.h"
#include "support/LoopbackSocketRecorder.h"
#include "support/ModalGuard.h"
#include "support/Spin.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <gtest/gtest.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;
using platform::ModalSession;
using platform::RunLoop;
using testsupport::LoopbackServer;
using testsupport::LoopbackSocketRecorder;
using testsupport::spinFor;
using testsupport::spinUntil;

namespace {

class StreamSocketTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RunLoop::current()->resetForTesting();
        ASSERT_TRUE(server.start());
    }
    void TearDown() override { RunLoop::current()->resetForTesting(); }

    // A socket connected to `server`, with the server's side accepted.
    std::unique_ptr<StreamSocket> connected(LoopbackSocketRecorder& rec)
    {
        const int count = server.connectionCount();
        auto sock = std::make_unique<StreamSocket>(&rec);
        EXPECT_TRUE(sock->connectToHost("127.0.0.1", server.port(), 5.0));
        EXPECT_TRUE(spinUntil([&] { return rec.events.contains("connect"); }));
        EXPECT_TRUE(server.waitForConnections(count + 1));
        return sock;
    }

    LoopbackServer server;
};

QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

} // namespace

TEST_F(StreamSocketTest, ConnectsAndWritesInOrderWithTags)
{
    LoopbackSocketRecorder rec;
    StreamSocket sock(&rec, 42);
    EXPECT_EQ(sock.userData(), 42);
    EXPECT_FALSE(sock.isConnected());
    EXPECT_EQ(sock.connectedPort(), 0);
    EXPECT_TRUE(sock.connectedHost().isEmpty());
    EXPECT_EQ(sock.getCFSocket(), -1);

    // Writes queued before the connection opens go out once it does, in order.
    sock.writeData("first ", -1, 1);
    sock.writeData("second", -1, 2);
    sock.writeData(QByteArray(), -1, 3); // nothing to write: nothing queued
    ASSERT_TRUE(sock.connectToHost("127.0.0.1", server.port(), 5.0));
    EXPECT_TRUE(rec.events.isEmpty() || rec.events == QStringList { "willConnect" });
    ASSERT_TRUE(spinUntil([&] { return rec.writeTags.size() == 2; }));
    EXPECT_EQ(rec.events, (QStringList { "willConnect", "connect", "write 1", "write 2" }));
    EXPECT_EQ(rec.host, "127.0.0.1");
    EXPECT_EQ(rec.port, server.port());
    EXPECT_TRUE(sock.isConnected());
    EXPECT_TRUE(sock.isIPv4());
    EXPECT_FALSE(sock.isIPv6());
    EXPECT_EQ(sock.connectedHost(), "127.0.0.1");
    EXPECT_EQ(sock.connectedPort(), server.port());
    EXPECT_EQ(sock.localHost(), "127.0.0.1");
    EXPECT_NE(sock.localPort(), 0);
    EXPECT_GE(sock.getCFSocket(), 0);
    EXPECT_NE(sock.getCFReadStream(), nullptr);
    ASSERT_TRUE(server.waitForReceived(12));
    EXPECT_EQ(server.received(), "first second");

    // A large write goes out whole and completes once.
    const QByteArray big = pattern(3 * 1024 * 1024 + 17);
    sock.writeData(big, 10.0, 3);
    sock.writeData(StreamSocket::ZeroData(), -1, 4);
    ASSERT_TRUE(spinUntil([&] { return rec.writeTags.size() == 4; }, 20s));
    EXPECT_EQ(rec.writeTags, (QList<qint64> { 1, 2, 3, 4 }));
    ASSERT_TRUE(server.waitForReceived(12 + big.size() + 1));
    EXPECT_EQ(server.received().mid(12, big.size()), big);
    EXPECT_EQ(server.received().back(), '\0');

    const QString text = sock.description();
    EXPECT_TRUE(text.startsWith("<StreamSocket ")) << text.toStdString();
    EXPECT_TRUE(text.contains("has queued 0 reads 0 writes, no current read, no current write"))
        << text.toStdString();
    EXPECT_FALSE(text.contains("not connected"));

    // A plain disconnect announces itself on a later pass, without an error.
    sock.disconnect();
    EXPECT_FALSE(sock.isConnected());
    EXPECT_FALSE(rec.didDisconnect);
    ASSERT_TRUE(spinUntil([&] { return rec.didDisconnect; }));
    EXPECT_FALSE(rec.willDisconnect);
    EXPECT_TRUE(sock.description().contains("not connected"));
    ASSERT_TRUE(spinUntil([&] { return server.connection()->state() == QAbstractSocket::UnconnectedState; }));

    // A closed socket can connect again.
    rec.events.clear();
    ASSERT_TRUE(sock.connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return rec.events.contains("connect"); }));
}

TEST_F(StreamSocketTest, ReadsToLengthTerminatorAndAvailableAcrossSplitArrivals)
{
    LoopbackSocketRecorder rec;
    auto sock = connected(rec);

    // "ab\r\ncd": a CRLF read takes four bytes and keeps two for the next read.
    sock->readDataToData(StreamSocket::CRLFData(), -1, 1);
    server.send("ab\r\ncd");
    ASSERT_TRUE(spinUntil([&] { return rec.reads.size() == 1; }));
    EXPECT_EQ(rec.reads[0], "ab\r\n");
    sock->readDataToLength(2, -1, 2);
    ASSERT_TRUE(spinUntil([&] { return rec.reads.size() == 2; }));
    EXPECT_EQ(rec.reads[1], "cd");

    // A terminator split across arrivals, with partial reports on the way.
    sock->readDataToData("\r\n", 5.0, 3);
    server.send("hello\r");
    ASSERT_TRUE(spinUntil([&] { return rec.partialLengths.size() == 1; }));
    EXPECT_EQ(rec.partialLengths[0], 6u);
    qint64 tag = 0;
    quint64 done = 0;
    quint64 total = 99;
    sock->progressOfReadReturningTag(&tag, &done, &total);
    EXPECT_EQ(tag, 3);
    EXPECT_EQ(done, 6u);
    EXPECT_EQ(total, 0u);
    server.send("\nrest");
    ASSERT_TRUE(spinUntil([&] { return rec.reads.size() == 3; }));
    EXPECT_EQ(rec.reads[2], "hello\r\n");

    // A fixed-length read completes across three arrivals.
    sock->readDataToLength(10, 5.0, 4);
    ASSERT_TRUE(spinUntil([&] { return rec.partialLengths.size() == 2; }));
    EXPECT_EQ(rec.partialLengths[1], 4u); // "rest", left over from before
    EXPECT_FLOAT_EQ(sock->progressOfReadReturningTag(nullptr, &done, &total), 0.4f);
    EXPECT_EQ(total, 10u);
    server.send("012");
    ASSERT_TRUE(spinUntil([&] { return rec.partialLengths.size() == 3; }));
    server.send("abc");
    ASSERT_TRUE(spinUntil([&] { return rec.reads.size() == 4; }));
    EXPECT_EQ(rec.reads[3], "rest012abc");
    EXPECT_TRUE(std::isnan(sock->progressOfReadReturningTag(nullptr, nullptr, nullptr)));

    // A multi-byte terminator whose first byte also ends the data before it.
    sock->readDataToData("ab", -1, 5);
    server.send("xaaab");
    ASSERT_TRUE(spinUntil([&] { return rec.reads.size() == 5; }));
    EXPECT_EQ(rec.reads[4], "xaaab");

    // 10,000 bytes that are all there are delivered by one read-all read.
    const QByteArray block = pattern(10000);
    server.send(block);
    ASSERT_TRUE(spinUntil([&] { return sock->getCFReadStream()->bytesAvailable() == 10000; }));
    sock->readDataWithTimeout(-1, 6);
    ASSERT_TRUE(spinUntil([&] { return rec.reads.size() == 6; }));
    EXPECT_EQ(rec.reads[5], block);

    // Arriving in parts, they come in several reads that add up.
    QByteArray collected;
    rec.onRead = [&](StreamSocket* s, const QByteArray& data, qint64 t) {
        if (t == 7) {
            collected += data;
            if (collected.size() < 10000)
                s->readDataWithTimeout(-1, 7);
        }
    };
    sock->readDataWithTimeout(-1, 7);
    server.send(block.left(3000));
    ASSERT_TRUE(spinUntil([&] { return collected.size() >= 3000; }));
    server.send(block.mid(3000));
    ASSERT_TRUE(spinUntil([&] { return collected.size() == 10000; }));
    EXPECT_EQ(collected, block);
    EXPECT_GE(rec.readTags.count(7), 2);
    EXPECT_FALSE(rec.willDisconnect);
}

TEST_F(StreamSocketTest, RequestsThatQueueNothing)
{
    LoopbackSocketRecorder rec;
    StreamSocket sock(&rec);
    sock.readDataToLength(0, -1, 1);
    sock.readDataToData(QByteArray(), -1, 1);
    sock.readDataToData("\r\n", -1, 1, 1); // maximum shorter than the terminator
    sock.writeData(QByteArray(), -1, 1);
    sock.startTLS({});
    EXPECT_TRUE(sock.canSafelySetDelegate());
    sock.readDataToData("\r\n", -1, 2, 1);
    EXPECT_FALSE(sock.canSafelySetDelegate());

    EXPECT_FALSE(sock.setRunLoopModes(QStringList {}));
    EXPECT_FALSE(sock.setRunLoopModes(QStringList { "NoSuchMode" }));
    EXPECT_TRUE(sock.setRunLoopModes(QStringList { "kCFRunLoopDefaultMode" }));
    EXPECT_TRUE(sock.setRunLoopModes(QStringList { "NSDefaultRunLoopMode", "NSModalPanelRunLoopMode" }));
    EXPECT_EQ(sock.runLoopModes(), platform::RunLoopModes::common());
    EXPECT_FALSE(sock.moveToRunLoop(nullptr));
    EXPECT_TRUE(sock.moveToRunLoop(RunLoop::current()));

    EXPECT_EQ(StreamSocket::CRLFData(), "\r\n");
    EXPECT_EQ(StreamSocket::CRData(), "\r");
    EXPECT_EQ(StreamSocket::LFData(), "\n");
    EXPECT_EQ(StreamSocket::ZeroData(), QByteArray(1, '\0'));
    EXPECT_EQ(StreamSocketError::make(StreamSocketReadTimeoutError).localizedDescription,
        "Read operation timed out");
    EXPECT_EQ(StreamSocketError::make(StreamSocketCFSocketError).domain, "StreamSocketErrorDomain");

    // Programming errors raise the named exception.
    StreamSocket orphan;
    EXPECT_EQ(orphan.delegate(), nullptr);
    try {
        orphan.connectToHost("127.0.0.1", server.port());
        ADD_FAILURE() << "no exception";
    } catch (const StreamSocketException& e) {
        EXPECT_STREQ(e.what(), "Attempting to connect without a delegate. Set a delegate first.");
        EXPECT_STREQ(StreamSocketException::name(), "StreamSocketException");
    }
    EXPECT_THROW(orphan.acceptOnPort(0), StreamSocketException);
    ASSERT_TRUE(sock.connectToHost("127.0.0.1", server.port(), 5.0));
    try {
        sock.connectToHost("127.0.0.1", server.port());
        ADD_FAILURE() << "no exception";
    } catch (const StreamSocketException& e) {
        EXPECT_STREQ(
            e.what(), "Attempting to connect while connected or accepting connections. Disconnect first.");
    }
    EXPECT_THROW(sock.acceptOnPort(0), StreamSocketException);

    // A delegate that refuses the connection: failure returned, no callback.
    LoopbackSocketRecorder refusing;
    refusing.allowConnect = false;
    StreamSocket refused(&refusing);
    StreamSocketError error;
    EXPECT_FALSE(refused.connectToHost("127.0.0.1", server.port(), 5.0, &error));
    EXPECT_EQ(error.code, StreamSocketCanceledError);
    EXPECT_EQ(error.localizedDescription, "Connection canceled");
    spinFor(30ms);
    EXPECT_EQ(refusing.events, QStringList { "willConnect" });

    // Addresses that are not IPv4 or IPv6 socket addresses.
    StreamSocket byAddress(&refusing);
    EXPECT_FALSE(byAddress.connectToAddress(QByteArray(3, '\0'), &error));
    EXPECT_EQ(error.code, StreamSocketCFSocketError);
    sockaddr_in truncated {};
    truncated.sin_family = AF_INET;
    EXPECT_FALSE(byAddress.connectToAddress(
        QByteArray(reinterpret_cast<const char*>(&truncated), sizeof truncated - 4), &error));
}

TEST_F(StreamSocketTest, ConnectsToSocketAddress)
{
    LoopbackSocketRecorder rec;
    StreamSocket sock(&rec);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(server.port());
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_TRUE(sock.connectToAddress(QByteArray(reinterpret_cast<const char*>(&addr), sizeof addr), 5.0));
    ASSERT_TRUE(spinUntil([&] { return rec.events.contains("connect"); }));
    EXPECT_EQ(rec.host, "127.0.0.1");
    EXPECT_EQ(rec.port, server.port());
}

TEST_F(StreamSocketTest, ConnectFailures)
{
    // Refused: reported through the delegate, error first, notice after.
    LoopbackSocketRecorder rec;
    StreamSocket sock(&rec);
    ASSERT_TRUE(sock.connectToHost("127.0.0.1", testsupport::unusedLoopbackPort(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return rec.didDisconnect; }));
    EXPECT_EQ(rec.events, (QStringList { "willConnect", "willDisconnect", "didDisconnect" }));
    ASSERT_TRUE(rec.error.has_value());
    EXPECT_EQ(rec.error->domain, "NSPOSIXErrorDomain");
    EXPECT_EQ(rec.error->code, ECONNREFUSED);
    EXPECT_FALSE(sock.isConnected());

    // No answer: the connect time-out ends it.
    testsupport::LoopbackBlackhole blackhole;
    ASSERT_TRUE(blackhole.isValid());
    LoopbackSocketRecorder slow;
    StreamSocket waiting(&slow);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(waiting.connectToHost("127.0.0.1", blackhole.port(), 0.2));
    ASSERT_TRUE(spinUntil([&] { return slow.didDisconnect; }));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 190ms);
    ASSERT_TRUE(slow.error.has_value());
    EXPECT_EQ(slow.error->domain, "StreamSocketErrorDomain");
    EXPECT_EQ(slow.error->code, StreamSocketConnectTimeoutError);
    EXPECT_EQ(slow.error->localizedDescription, "Attempt to connect to host timed out");
    EXPECT_FALSE(slow.events.contains("connect"));
}

TEST_F(StreamSocketTest, ReadAndWriteTimeouts)
{
    // No data for a read with a time-out: error 4, and the notice comes later.
    LoopbackSocketRecorder rec;
    bool noticeDuringWill = true;
    rec.onWillDisconnect = [&](StreamSocket*) { noticeDuringWill = rec.didDisconnect; };
    auto sock = connected(rec);
    sock->readDataToLength(4, 0.2, 9);
    server.send("ab");
    ASSERT_TRUE(spinUntil([&] { return rec.didDisconnect; }));
    EXPECT_FALSE(noticeDuringWill);
    ASSERT_TRUE(rec.error.has_value());
    EXPECT_EQ(rec.error->code, StreamSocketReadTimeoutError);
    EXPECT_EQ(rec.events.mid(rec.events.size() - 3),
        (QStringList { "partial 9", "willDisconnect", "didDisconnect" }));
    EXPECT_TRUE(rec.reads.isEmpty());

    // A peer that reads nothing: the write cannot finish before its time-out.
    server.setPaused(true);
    LoopbackSocketRecorder writer;
    auto blocked = connected(writer);
    blocked->writeData(pattern(64 * 1024 * 1024), 0.3, 5);
    blocked->writeData("never", -1, 6);
    ASSERT_TRUE(spinUntil([&] { return writer.didDisconnect; }, 10s));
    ASSERT_TRUE(writer.error.has_value());
    EXPECT_EQ(writer.error->code, StreamSocketWriteTimeoutError);
    EXPECT_TRUE(writer.writeTags.isEmpty());
}

TEST_F(StreamSocketTest, RemoteCloseInTheMiddleOfARead)
{
    LoopbackSocketRecorder rec;
    auto sock = connected(rec);
    sock->readDataToLength(10, -1, 1);
    sock->readDataWithTimeout(-1, 2); // dropped with the close, no callback
    server.send("1234");
    ASSERT_TRUE(spinUntil([&] { return rec.partialLengths.size() == 1; }));
    server.closeConnection();
    ASSERT_TRUE(spinUntil([&] { return rec.didDisconnect; }));
    EXPECT_EQ(rec.events.mid(2), (QStringList { "partial 1", "willDisconnect", "didDisconnect" }));
    EXPECT_FALSE(rec.error.has_value()); // a clean close by the peer
    ASSERT_TRUE(rec.unreadAtDisconnect.has_value());
    EXPECT_EQ(*rec.unreadAtDisconnect, "1234");
    EXPECT_FALSE(sock->unreadData().has_value()); // valid only while closing
    EXPECT_FALSE(sock->isConnected());

    // Bytes and the close arriving together: the read that can finish does.
    LoopbackSocketRecorder rec2;
    auto sock2 = connected(rec2);
    sock2->readDataToData("\n", -1, 1);
    server.send("line\ntail", 1);
    server.closeConnection(1);
    ASSERT_TRUE(spinUntil([&] { return rec2.didDisconnect; }));
    EXPECT_EQ(rec2.reads, QList<QByteArray> { "line\n" });
    EXPECT_EQ(rec2.unreadAtDisconnect.value_or("?"), "tail");
}

TEST_F(StreamSocketTest, MaximumLengths)
{
    // A terminator read with maximum 4 that receives "abcdef".
    LoopbackSocketRecorder rec;
    auto sock = connected(rec);
    sock->readDataToData("\r\n", -1, 4, 1);
    server.send("abcdef");
    ASSERT_TRUE(spinUntil([&] { return rec.didDisconnect; }));
    ASSERT_TRUE(rec.error.has_value());
    EXPECT_EQ(rec.error->code, StreamSocketReadMaxedOutError);
    EXPECT_EQ(rec.error->localizedDescription, "Read operation reached set maximum length");
    EXPECT_TRUE(rec.reads.isEmpty());

    // Without a maximum, a terminator that never comes stops at the cap.
    LoopbackSocketRecorder rec2;
    auto sock2 = connected(rec2);
    sock2->readDataToData("\r\n", -1, 1);
    server.send(QByteArray(StreamSocket::kMaxReadLength + 1024, 'x'), 1);
    ASSERT_TRUE(spinUntil([&] { return rec2.didDisconnect; }, 20s));
    ASSERT_TRUE(rec2.error.has_value());
    EXPECT_EQ(rec2.error->code, StreamSocketReadMaxedOutError);
    ASSERT_TRUE(rec2.unreadAtDisconnect.has_value());
    EXPECT_LE(rec2.unreadAtDisconnect->size(), StreamSocket::kMaxReadLength);

    // A fixed-length read beyond the cap fails instead of allocating.
    LoopbackSocketRecorder rec3;
    auto sock3 = connected(rec3);
    sock3->readDataToLength(quint64(1) << 40, -1, 1);
    server.send("x", 2);
    ASSERT_TRUE(spinUntil([&] { return rec3.didDisconnect; }));
    EXPECT_EQ(rec3.error.value_or(StreamSocketError {}).code, StreamSocketReadMaxedOutError);
}

TEST_F(StreamSocketTest, DisconnectAfterWritingAndDestroy)
{
    LoopbackSocketRecorder rec;
    auto sock = connected(rec);
    sock->writeData("goodbye", -1, 1);
    sock->disconnectAfterWriting();
    sock->writeData("refused", -1, 2); // no more writes accepted
    EXPECT_TRUE(sock->description().contains("will disconnect after writes"));
    ASSERT_TRUE(spinUntil([&] { return rec.didDisconnect; }));
    EXPECT_EQ(rec.writeTags, QList<qint64> { 1 });
    ASSERT_TRUE(server.waitForReceived(7));
    EXPECT_EQ(server.received(), "goodbye");

    // After destroy() nothing reaches the delegate, though the socket finishes its read.
    LoopbackSocketRecorder silent;
    auto quiet = connected(silent);
    quiet->readDataToLength(3, -1, 1);
    const QStringList before = silent.events;
    quiet->destroy();
    EXPECT_TRUE(quiet->isDestroyed());
    server.send("abc", 1);
    ASSERT_TRUE(
        spinUntil([&] { return server.connection(1)->state() == QAbstractSocket::UnconnectedState; }));
    spinFor(30ms);
    EXPECT_EQ(silent.events, before);
    EXPECT_FALSE(quiet->isConnected());

    // Freeing a socket withdraws its pending disconnect notice.
    LoopbackSocketRecorder freed;
    auto gone = connected(freed);
    gone->disconnect();
    gone.reset();
    spinFor(30ms);
    EXPECT_FALSE(freed.didDisconnect);
}

TEST_F(StreamSocketTest, DelegateGoneOrSocketDeletedInCallback)
{
    // The delegate is destroyed while a read waits: the events reach nobody.
    auto rec = std::make_unique<LoopbackSocketRecorder>();
    auto sock = connected(*rec);
    sock->readDataToLength(3, 0.5, 1);
    rec.reset();
    EXPECT_EQ(sock->delegate(), nullptr);
    server.send("abc");
    server.closeConnection();
    spinFor(50ms);
    EXPECT_FALSE(sock->isConnected());

    // The delegate deletes the socket from inside a callback.
    LoopbackSocketRecorder owner;
    std::unique_ptr<StreamSocket> owned = connected(owner);
    owner.onRead = [&](StreamSocket*, const QByteArray&, qint64) { owned.reset(); };
    owned->readDataToData("\n", -1, 1);
    owned->readDataToData("\n", -1, 2);
    server.send("one\ntwo\n", 1);
    ASSERT_TRUE(spinUntil([&] { return !owned; }));
    spinFor(30ms);
    EXPECT_EQ(owner.reads, QList<QByteArray> { "one\n" });
    EXPECT_FALSE(owner.didDisconnect);

    // ...and from inside the will-disconnect notice.
    LoopbackSocketRecorder closer;
    std::unique_ptr<StreamSocket> doomed = connected(closer);
    closer.onWillDisconnect = [&](StreamSocket*) { doomed.reset(); };
    doomed->readDataWithTimeout(0.05, 1);
    ASSERT_TRUE(spinUntil([&] { return !doomed; }));
    spinFor(30ms);
    EXPECT_FALSE(closer.didDisconnect);
}

TEST_F(StreamSocketTest, EventsWaitForTheSocketsModes)
{
    testsupport::ExpectModalDialogs ownSession;
    // Default mode only: a read is served after the modal session.
    LoopbackSocketRecorder plain;
    auto defaultOnly = connected(plain);
    // Common modes: served during it, as the trade connection is.
    LoopbackSocketRecorder modal;
    auto common = connected(modal);
    ASSERT_TRUE(common->setRunLoopModes(QStringList { "kCFRunLoopCommonModes" }));

    {
        ModalSession session;
        defaultOnly->readDataToData("\n", -1, 1);
        common->readDataToData("\n", -1, 1);
        server.send("for default\n", 0);
        server.send("for common\n", 1);
        ASSERT_TRUE(spinUntil([&] { return modal.reads.size() == 1; }));
        spinFor(50ms);
        EXPECT_TRUE(plain.reads.isEmpty());
        EXPECT_EQ(modal.reads[0], "for common\n");

        // Held events follow the socket when its modes change.
        ASSERT_TRUE(common->setRunLoopModes(QStringList { "kCFRunLoopDefaultMode" }));
        common->readDataToData("\n", -1, 2);
        server.send("later\n", 1);
        server.closeConnection(0);
        spinFor(50ms);
        EXPECT_EQ(modal.reads.size(), 1);
        EXPECT_FALSE(plain.willDisconnect);
    }
    ASSERT_TRUE(spinUntil([&] { return plain.didDisconnect && modal.reads.size() == 2; }));
    EXPECT_EQ(plain.reads, QList<QByteArray> { "for default\n" });
    EXPECT_EQ(modal.reads[1], "later\n");
    EXPECT_EQ(plain.events.mid(2), (QStringList { "read 1", "willDisconnect", "didDisconnect" }));
}

TEST_F(StreamSocketTest, ListensAcceptsAndTalks)
{
    LoopbackSocketRecorder listenerRec;
    LoopbackSocketRecorder acceptedRec;
    listenerRec.onAccept = [&](StreamSocket* s) {
        s->setDelegate(&acceptedRec);
        s->readDataToData("\n", -1, 1);
        s->writeData("welcome\n", -1, 2);
    };
    StreamSocket listener(&listenerRec);
    StreamSocketError error;
    ASSERT_TRUE(listener.acceptOnAddress("localhost", 0, &error)) << error.localizedDescription.toStdString();
    const quint16 port = listener.localPort();
    ASSERT_NE(port, 0);
    EXPECT_TRUE(listener.isIPv4());
    EXPECT_FALSE(listener.isConnected());
    EXPECT_TRUE(listener.description().contains("127.0.0.1")) << listener.description().toStdString();
    EXPECT_THROW(listener.connectToHost("127.0.0.1", port), StreamSocketException);

    LoopbackSocketRecorder clientRec;
    StreamSocket client(&clientRec);
    ASSERT_TRUE(client.connectToHost("127.0.0.1", port, 5.0));
    client.readDataToData("\n", 5.0, 3);
    client.writeData("hello\n", -1, 4);
    ASSERT_TRUE(spinUntil([&] { return acceptedRec.reads.size() == 1 && clientRec.reads.size() == 1; }));
    EXPECT_EQ(listenerRec.events, QStringList { "accept" });
    EXPECT_EQ(acceptedRec.events.first(), "connect");
    EXPECT_EQ(acceptedRec.host, "127.0.0.1");
    EXPECT_EQ(acceptedRec.reads[0], "hello\n");
    EXPECT_EQ(clientRec.reads[0], "welcome\n");
    ASSERT_EQ(listenerRec.accepted.size(), 1u);
    EXPECT_TRUE(listenerRec.accepted[0]->isConnected());

    // A listener's close is announced like a connection's.
    listener.disconnect();
    ASSERT_TRUE(spinUntil([&] { return listenerRec.didDisconnect; }));
    EXPECT_TRUE(listenerRec.accepted[0]->isConnected()); // accepted sockets live on

    // An accepted socket the delegate does not keep is closed.
    LoopbackSocketRecorder dropper;
    StreamSocket dropping(&dropper);
    ASSERT_TRUE(dropping.acceptOnAddress("127.0.0.1", 0));
    dropper.onAccept = [&](StreamSocket*) { dropper.accepted.clear(); };
    LoopbackSocketRecorder clientRec2;
    StreamSocket client2(&clientRec2);
    ASSERT_TRUE(client2.connectToHost("127.0.0.1", dropping.localPort(), 5.0));
    client2.readDataWithTimeout(-1, 1);
    ASSERT_TRUE(spinUntil([&] { return clientRec2.didDisconnect; }));
}

TEST_F(StreamSocketTest, MovesToAnotherThreadsRunLoop)
{
    // A worker thread with its own event loop and run loop.
    QThread worker;
    worker.start();
    QObject anchor;
    anchor.moveToThread(&worker);
    RunLoop* workerLoop = nullptr;
    QMetaObject::invokeMethod(
        &anchor, [&] { workerLoop = RunLoop::current(); }, Qt::BlockingQueuedConnection);
    ASSERT_NE(workerLoop, nullptr);
    ASSERT_NE(workerLoop, RunLoop::current());

    struct ThreadRecorder : StreamSocketDelegate {
        std::mutex mutex;
        QByteArray data;
        QThread* thread = nullptr;
        void onSocketDidReadData(StreamSocket*, const QByteArray& d, qint64) override
        {
            std::lock_guard lock(mutex);
            data = d;
            thread = QThread::currentThread();
        }
    } rec;
    auto sock = std::make_unique<StreamSocket>(&rec);
    ASSERT_TRUE(sock->connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return sock->isConnected(); }));
    ASSERT_TRUE(server.waitForConnections());
    sock->readDataToData("\n", 5.0, 1);
    ASSERT_TRUE(sock->moveToRunLoop(workerLoop));
    EXPECT_EQ(sock->runLoop(), workerLoop);
    server.send("on the worker\n");
    ASSERT_TRUE(spinUntil([&] {
        std::lock_guard lock(rec.mutex);
        return !rec.data.isEmpty();
    }));
    {
        std::lock_guard lock(rec.mutex);
        EXPECT_EQ(rec.data, "on the worker\n");
        EXPECT_EQ(rec.thread, &worker);
    }
    // From now on the socket belongs to the worker, and ends there.
    QMetaObject::invokeMethod(
        &anchor, [&] { sock.reset(); }, Qt::BlockingQueuedConnection);
    worker.quit();
    ASSERT_TRUE(worker.wait(5000));
}

TEST_F(StreamSocketTest, ADroppedAcceptLeavesTheOthersWaitingAccepted)
{
    LoopbackSocketRecorder rec;
    StreamSocket listener(&rec);
    ASSERT_TRUE(listener.acceptOnAddress("127.0.0.1", 0));
    int seen = 0;
    rec.onAccept = [&](StreamSocket*) {
        if (seen++ == 0)
            rec.accepted.clear(); // the delegate drops the first connection only
    };
    // Three connections wait together before the run loop takes any of them.
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, listener.localPort());
        ASSERT_TRUE(clients.back()->waitForConnected(5000));
    }
    ASSERT_TRUE(spinUntil([&] { return seen == 3; }, 5s)) << seen;
    ASSERT_EQ(rec.accepted.size(), 2u);
    for (const auto& kept : rec.accepted)
        EXPECT_TRUE(kept->isConnected());
}

TEST_F(StreamSocketTest, ConnectsOverIPv6)
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHostIPv6))
        GTEST_SKIP() << "no IPv6 loopback here";
    LoopbackSocketRecorder rec;
    StreamSocket sock(&rec);
    ASSERT_TRUE(sock.connectToHost("::1", server.serverPort(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return rec.events.contains("connect"); }));
    EXPECT_EQ(rec.host, "::1");
    EXPECT_EQ(rec.port, server.serverPort());
    EXPECT_TRUE(sock.isConnected());
}

TEST_F(StreamSocketTest, WriteProgressTellsTagAndBytes)
{
    // A listener that never accepts: the system's buffers fill and the write stays open.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 1), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);

    LoopbackSocketRecorder rec;
    StreamSocket sock(&rec);
    EXPECT_TRUE(std::isnan(sock.progressOfWriteReturningTag(nullptr, nullptr, nullptr)));
    ASSERT_TRUE(sock.connectToHost("127.0.0.1", ntohs(address.sin_port), 5.0));
    ASSERT_TRUE(spinUntil([&] { return rec.events.contains("connect"); }));
    const QByteArray big(32 * 1024 * 1024, 'x');
    sock.writeData(big, -1, 7);
    qint64 tag = 0;
    quint64 done = 0;
    quint64 total = 0;
    ASSERT_TRUE(spinUntil([&] {
        sock.progressOfWriteReturningTag(&tag, &done, &total);
        return done > 0;
    }));
    spinFor(50ms);
    const float fraction = sock.progressOfWriteReturningTag(&tag, &done, &total);
    EXPECT_EQ(tag, 7);
    EXPECT_EQ(total, quint64(big.size()));
    EXPECT_GT(done, 0u);
    EXPECT_LT(done, total);
    EXPECT_NEAR(fraction, double(done) / double(total), 1e-4);
    sock.disconnect();
    ::close(fd);
}
