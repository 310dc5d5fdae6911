#include "ConnectionTestRig.h"
#include "support/ModalGuard.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace connectiontest;
using platform::RunLoop;
using testsupport::LoopbackServer;
using testsupport::spinFor;
using testsupport::spinUntil;

namespace {

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { RunLoop::current()->resetForTesting(); }
    void TearDown() override { RunLoop::current()->resetForTesting(); }
};

// Starts the server and connects the rig to it, its socket served under a
// modal panel too, as the trade connection's is.
bool connectInEveryMode(Rig& rig, LoopbackServer& server)
{
    return server.start() && rig->setRunLoopModes(platform::RunLoopModes::common())
        && rig->connectToHost("127.0.0.1", server.port(), 5.0);
}

} // namespace

TEST_F(ConnectionTest, WritesInOrderOneAtATimeAndMatchesReplies)
{
    LoopbackServer server;
    ASSERT_TRUE(server.start());
    Rig rig;
    for (quint64 id = 1; id <= 6; ++id)
        rig->sendRequest(request("body=" + QByteArray::number(id)), id, 30, 0);
    EXPECT_EQ(rig->writeQueueCount(), 6);
    EXPECT_FALSE(rig->isConnected());
    // Sending never writes inside the caller.
    EXPECT_TRUE(rig.recorder.written.isEmpty());

    ASSERT_TRUE(rig->connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return framesIn(server.received()).size() == 6; }));
    const std::vector<TCFrame> frames = framesIn(server.received());
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].packetId, i + 1);
        EXPECT_EQ(frames[i].payload, "body=" + QByteArray::number(qulonglong(i + 1)));
    }
    EXPECT_EQ(rig.recorder.events.value(0), QStringLiteral("connected 127.0.0.1:%1").arg(server.port()));
    EXPECT_EQ(rig.recorder.events.value(1), "ready 1");
    ASSERT_EQ(rig.recorder.written.size(), 6);
    EXPECT_EQ(rig.recorder.writesInFlightAtWrite, QList<int>(6, 1)); // never two handed over at once
    EXPECT_TRUE(rig->isConnected());
    EXPECT_EQ(rig->connectedHost(), "127.0.0.1");
    EXPECT_EQ(rig->connectedPort(), server.port());
    EXPECT_FALSE(rig->connectToHost("127.0.0.1", server.port(), 5.0));
    EXPECT_EQ(rig->writeQueueCount(), 0);
    EXPECT_EQ(rig->readQueueCount(), 6);

    // A reply finds its packet by id, even split across reads.
    const QByteArray reply = replyTo(4, "four");
    server.send(reply.left(20));
    spinFor(30ms);
    server.send(reply.mid(20));
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.responses.size() == 1; }));
    EXPECT_EQ(rig.recorder.responses[0].packetid(), 4u);
    EXPECT_EQ(rig.recorder.responses[0].data(), "four");
    EXPECT_EQ(rig->readQueueCount(), 5);

    // A reply that matches nothing, and two in one read, all reach the delegate.
    server.send(replyTo(99, "stray") + replyTo(1, "one", 7));
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.responses.size() == 3; }));
    EXPECT_EQ(rig.recorder.responses[1].packetid(), 99u);
    EXPECT_EQ(rig.recorder.responses[2].packetid(), 1u);
    EXPECT_EQ(rig.recorder.responses[2].status(), 7u);
    EXPECT_EQ(rig->readQueueCount(), 4);

    // A request sent while connected goes out after the others.
    rig->sendNoCaheRequest(request("late"), 7, 30);
    ASSERT_TRUE(spinUntil([&] { return framesIn(server.received()).size() == 7; }));
    EXPECT_EQ(framesIn(server.received()).back().payload, "late");

    // disconnect() is silent and forgets everything.
    EXPECT_TRUE(rig->disconnect());
    EXPECT_FALSE(rig->isConnected());
    EXPECT_EQ(rig->readQueueCount(), 0);
    spinFor(50ms);
    EXPECT_FALSE(rig.recorder.disconnected);
}

TEST_F(ConnectionTest, TimeoutBatchAndReplyWithinTheWindow)
{
    LoopbackServer server;
    ASSERT_TRUE(server.start());
    Rig rig(0.3);
    ASSERT_TRUE(rig->connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.ready.has_value(); }));

    // Two packets timing out close together: one report.
    rig->sendRequest(request("a"), 1, 0.05, 0);
    rig->sendRequest(request("b"), 2, 0.12, 0);
    ASSERT_TRUE(spinUntil([&] { return !rig.recorder.timeouts.empty(); }));
    spinFor(100ms);
    ASSERT_EQ(rig.recorder.timeouts.size(), 1u);
    EXPECT_EQ(rig.recorder.timeouts[0], (std::set<quint64> { 1, 2 }));
    EXPECT_EQ(rig->readQueueCount(), 0);
    EXPECT_FALSE(rig->hasTimeoutBatch());

    // A reply inside the window wins; the other packet of the batch is reported alone.
    rig->sendRequest(request("c"), 3, 0.05, 0);
    rig->sendRequest(request("d"), 4, 0.05, 0);
    ASSERT_TRUE(spinUntil([&] { return rig->hasTimeoutBatch(); }));
    server.send(replyTo(3, "late but in time"));
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.timeouts.size() == 2; }));
    EXPECT_EQ(rig.recorder.timeouts[1], (std::set<quint64> { 4 }));
    ASSERT_EQ(rig.recorder.responses.size(), 1u);
    EXPECT_EQ(rig.recorder.responses[0].packetid(), 3u);

    // A batch whose packets all got replies reports nothing.
    rig->sendRequest(request("e"), 5, 0.05, 0);
    ASSERT_TRUE(spinUntil([&] { return rig->hasTimeoutBatch(); }));
    server.send(replyTo(5, "e"));
    ASSERT_TRUE(spinUntil([&] { return !rig->hasTimeoutBatch(); }));
    EXPECT_EQ(rig.recorder.timeouts.size(), 2u);

    // A packet the request layer gives no bytes for is never written and still times out.
    const qsizetype before = server.received().size();
    rig->sendRequest(request("skip"), 6, 0.05, 0);
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.timeouts.size() == 3; }));
    EXPECT_EQ(rig.recorder.timeouts[2], (std::set<quint64> { 6 }));
    EXPECT_EQ(server.received().size(), before);

    // Packets still waiting to be written time out too (here: never connected).
    Rig idle(0.05);
    idle->sendRequest(request("x"), 9, 0.05, 0);
    ASSERT_TRUE(spinUntil([&] { return idle.recorder.timeouts.size() == 1; }));
    EXPECT_EQ(idle->writeQueueCount(), 0);
}

// The real time-out batch (3 s) with a frame in progress, or bytes that are
// no frame's. The batch fails the requests that timed out, and cuts only a
// frame whose head names no packet sent (an id never sent, an HTTP head
// without an etag, a packet written after the frame began) that was in
// progress the whole batch: every later reply would only feed its body. The
// reply to a request still waiting is kept however its bytes pause, and so
// are bytes that are no frame's head (a stray 0xFF, a start of a status
// line) and a head begun before the request that timed out was written;
// the requests after them get their answers. A reply that begins once its
// request's time has run out is cut at its own limit, batch or not. Rows run
// side by side, as each waits for the batch.
TEST_F(ConnectionTest, ATimeOutBatchCutsOnlyAFrameNamingNoPacketSent)
{
    // Request 1 waits (or times out at once, ownTimedOut); request 2 times
    // out and starts the batch; request 3 is asked once the batch is over.
    enum Stream { Reply1, Reply2, NoPacket, NoEtag, Stray, Text };
    struct Piece {
        Stream stream;
        qsizetype from = 0;
        qsizetype to = -1; // -1: to its end
        const char* text = nullptr;
    };
    using Pieces = std::vector<Piece>;
    const Piece ff { Text, 0, -1, "\xFF" };
    const Piece syncAndMagic { Text, 0, -1,
        "\xFF\xFF\xFF\xFF\xFF"
        "VEK " };
    const struct Row {
        const char* name;
        Framing framing;
        Pieces before; // after request 1 is written, before request 2 is
        Pieces during; // once the batch has begun
        bool cut;
        Pieces after = {}; // once the batch is over, before request 3's reply
        std::vector<quint64> answered = {}; // before request 3's
        bool ownTimedOut = false;
    } rows[] = {
        { "reply to a waiting request, bytes coming", Framing::TC, { { Reply1, 0, 8000 } },
            { { Reply1, 8000, 16000 } }, false, { { Reply1, 16000 } }, { 1 } },
        { "reply to a waiting request, bytes stopped", Framing::TC, { { Reply1, 0, 8000 } }, {}, false,
            { { Reply1, 8000 } }, { 1 } },
        { "HTTP: reply to a waiting request, bytes stopped", Framing::HTTP, { { Reply1, 0, 8000 } }, {},
            false, { { Reply1, 8000 } }, { 1 } },
        { "reply to a waiting request, paused in its head", Framing::TC, {}, { { Reply1, 0, 20 } }, false,
            { { Reply1, 20 } }, { 1 } },
        { "HTTP: reply to a waiting request, paused in its head", Framing::HTTP, {}, { { Reply1, 0, 20 } },
            false, { { Reply1, 20 } }, { 1 } },
        { "a stray 0xFF after a reply", Framing::TC, { { Reply1 }, ff }, {}, false, {}, { 1 } },
        { "a stray 0xFF once the timed-out request was written", Framing::TC, { { Reply1 } }, { ff }, false,
            {}, { 1 } },
        { "HTTP: a start of a status line after a reply", Framing::HTTP,
            { { Reply1 }, { Text, 0, -1, "HTTP" } }, {}, false, {}, { 1 } },
        { "a sync and magic before the timed-out request was written", Framing::TC,
            { { Reply1 }, syncAndMagic }, {}, false, {}, { 1 } },
        { "silent server, no frame begun", Framing::TC, {}, {}, false },
        { "HTTP: silent server, no frame begun", Framing::HTTP, {}, {}, false },
        { "a frame for no packet begun during the batch", Framing::TC, {}, { { Stray, 0, 200 } }, false,
            { { Stray, 200 } }, { 98 } },
        { "a reply through, then a frame for no packet begun", Framing::TC, { { Reply1, 0, 8000 } },
            { { Reply1, 8000 }, { Stray, 0, 200 } }, false, { { Stray, 200 } }, { 1, 98 } },
        { "frame for no packet sent, bytes coming", Framing::TC, { { NoPacket, 0, 8000 } },
            { { NoPacket, 8000, 16000 } }, true },
        { "frame for no packet sent, bytes stopped", Framing::TC, { { NoPacket, 0, 8000 } }, {}, true },
        { "HTTP: reply naming no packet sent, bytes coming", Framing::HTTP, { { NoPacket, 0, 8000 } },
            { { NoPacket, 8000, 16000 } }, true },
        { "HTTP: reply with no etag, bytes coming", Framing::HTTP, { { NoEtag, 0, 8000 } },
            { { NoEtag, 8000, 16000 } }, true },
        { "a reply naming a packet written after it began", Framing::TC, { { Reply2, 0, 8000 } }, {}, true },
        { "a reply begun once its request's time ran out", Framing::TC, { { Reply1, 0, 8000 } }, {}, true, {},
            {}, true },
        { "HTTP: a reply begun once its request's time ran out", Framing::HTTP, { { Reply1, 0, 8000 } }, {},
            true, {}, {}, true },
    };
    struct Scene {
        LoopbackServer server;
        Rig rig;
        Script script;
        qsizetype sent = 0; // bytes the server sent
        explicit Scene(const Row& row)
            : rig(VEKConnection::kTimeoutBatchInterval, 30, row.framing)
            , script(row.name)
        {
        }
    };
    std::vector<std::unique_ptr<Scene>> scenes;
    std::vector<Script*> scripts;
    for (const Row& row : rows) {
        scenes.push_back(std::make_unique<Scene>(row));
        Scene& scene = *scenes.back();
        Rig& rig = scene.rig;
        const auto bytes = [framing = row.framing](const Piece& piece) {
            if (piece.stream == Text)
                return QByteArray(piece.text);
            // The stray frame's head is whole in its first 200 bytes.
            constexpr quint64 ids[] = { 1, 2, 99, 0, 98 };
            const QByteArray all = piece.stream == NoEtag
                ? "HTTP/1.1 200 OK\r\nContent-Length: 20000\r\n\r\n" + QByteArray(20000, 'n')
                : replyTo(framing, ids[piece.stream], QByteArray(piece.stream == Stray ? 500 : 20000, 'r'));
            return all.mid(piece.from, piece.to < 0 ? -1 : piece.to - piece.from);
        };
        const auto send = [&scene, bytes](const Pieces& pieces) {
            for (const Piece& piece : pieces) {
                scene.server.send(bytes(piece));
                scene.sent += bytes(piece).size();
            }
        };
        const auto sent
            = [&scene, framing = row.framing] { return requestsIn(framing, scene.server.received()); };
        const auto answered = [&rig] {
            std::vector<quint64> ids;
            for (const VEKResponse& response : rig.recorder.responses)
                ids.push_back(response.packetid());
            return ids;
        };
        // Waits until the connection has read what was sent, or was cut.
        const auto readAll = [&scene] {
            return scene.rig.recorder.bytesRead == scene.sent || scene.rig.recorder.disconnected;
        };
        Script& script = scene.script;
        script
            .then([&scene, &rig, &row] {
                ASSERT_TRUE(scene.server.start());
                rig->connectToHost("127.0.0.1", scene.server.port(), 5.0);
                rig->sendRequest(request("long"), 1, row.ownTimedOut ? 0.05 : 30, 0);
            })
            .await("request 1", [sent] { return sent() == 1; });
        if (row.ownTimedOut)
            script.await("request 1's time-out", [&rig] { return rig.recorder.timeouts.size() == 1; });
        script.then([send, &row] { send(row.before); }).await("the bytes before", readAll);
        if (row.ownTimedOut) {
            // Begun once its one more time-out ran out, it is cut when its
            // own time-out passes with it still incomplete.
            scripts.push_back(
                &script.await("the cut", [&rig] { return rig.recorder.disconnected; }).then([&rig] {
                    EXPECT_TRUE(rig.recorder.responses.empty());
                }));
            continue;
        }
        script.then([&rig] { rig->sendRequest(request("short"), 2, 0.05, 0); })
            .await("request 2", [sent] { return sent() == 2; })
            .await("the batch", [&rig] { return rig->hasTimeoutBatch(); })
            .then([send, &row] { send(row.during); })
            .await("the bytes during the batch", readAll)
            .await("the batch's end", [&rig] { return !rig->hasTimeoutBatch(); })
            .then([&rig] {
                ASSERT_FALSE(rig.recorder.timeouts.empty());
                EXPECT_EQ(rig.recorder.timeouts.back(), (std::set<quint64> { 2 }));
            });
        if (row.cut) {
            script.await("the cut", [&rig] { return rig.recorder.disconnected; }).then([&row, answered] {
                EXPECT_EQ(answered(), row.answered);
            });
        } else {
            // Kept: what is still coming arrives, and a later request gets its answer.
            script
                .then([send, &rig, &row] {
                    EXPECT_FALSE(rig.recorder.disconnected);
                    send(row.after);
                    rig->sendRequest(request("after"), 3, 30, 0);
                })
                .await("request 3", [sent, &rig] { return sent() == 3 || rig.recorder.disconnected; })
                .then([&scene, &row] { scene.server.send(replyTo(row.framing, 3, "after")); })
                .await("the answer to request 3",
                    [&rig] {
                        const auto& got = rig.recorder.responses;
                        return rig.recorder.disconnected || (!got.empty() && got.back().packetid() == 3);
                    })
                .then([&rig, &row, answered] {
                    std::vector<quint64> want = row.answered;
                    want.push_back(3);
                    EXPECT_EQ(answered(), want);
                    EXPECT_FALSE(rig.recorder.disconnected);
                    EXPECT_TRUE(rig->isConnected());
                });
        }
        scripts.push_back(&script);
    }
    runSideBySide(scripts, 30s);
}

// A reply still coming in for a request that timed out may take one more of
// that request's time-outs, then the connection is cut, whatever bytes still
// feed it; what that time frees is the reader for the next frame. A reply
// that begins only once that has run out has one time-out of its own from its
// first byte: whole by then, it is read and the connection stays; not whole,
// it is cut, even while the next reply's bytes feed it. The time-out batch,
// the real one, cuts none of them: only the reply's own time counts. A modal
// panel holds the time-outs while the bytes named by the row go in.
TEST_F(ConnectionTest, AReplyToATimedOutRequestGetsOneMoreTimeOut)
{
    testsupport::ExpectModalDialogs ownSessions;
    enum Behind { Nothing, Waiting, AlsoLate }; // request 2, whose reply follows reply 1
    const struct {
        const char* name;
        Framing framing;
        Behind behind;
        qsizetype rest; // bytes of reply 1 sent after its first 8000; -1 all
        bool cut;
        bool begunLate = false; // reply 1 begins only once its one more time-out has run out
        bool heldPastIt = false; // the panel stays up until reply 1's time has run out
    } rows[] = {
        { "the rest comes within the time-out", Framing::TC, Nothing, -1, false },
        { "bytes keep coming past it", Framing::TC, Nothing, 8000, true },
        { "the reply came, the next frame's request still waits", Framing::TC, Waiting, -1, false },
        { "HTTP: the rest comes within the time-out", Framing::HTTP, Nothing, -1, false },
        { "HTTP: bytes keep coming past it", Framing::HTTP, Nothing, 8000, true },
        { "it begins past its time, whole over two reads", Framing::TC, Waiting, -1, false, true },
        { "HTTP: it begins past its time, whole over two reads", Framing::HTTP, Waiting, -1, false, true },
        { "two begin past their time, each whole over two reads", Framing::TC, AlsoLate, -1, false, true },
        { "it begins past its time, the next reply feeding it", Framing::TC, Waiting, 0, true, true },
        { "HTTP: it begins past its time, the next reply feeding it", Framing::HTTP, Waiting, 0, true, true },
        { "a modal panel outlasts its time: cut once the panel ends", Framing::TC, Nothing, 8000, true, false,
            true },
        { "it begins past its time, a modal panel outlasting it", Framing::TC, Waiting, 0, true, true, true },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        LoopbackServer server;
        Rig rig(VEKConnection::kTimeoutBatchInterval, 30, row.framing);
        ASSERT_TRUE(connectInEveryMode(rig, server));
        const auto sent = [&] { return requestsIn(row.framing, server.received()); };
        const size_t requests = row.behind == Nothing ? 1 : 2;
        const QByteArray first = replyTo(row.framing, 1, QByteArray(20000, 'r'));
        const QByteArray second = replyTo(row.framing, 2, QByteArray(20000, 's'));
        {
            platform::ModalSession modal; // request 1's time-out waits until its reply has begun
            rig->sendRequest(request("long"), 1, 0.2, 0);
            if (row.behind != Nothing)
                rig->sendRequest(request("next"), 2, row.behind == AlsoLate ? 0.2 : 30, 0);
            ASSERT_TRUE(spinUntil([&] { return sent() == requests; }));
            if (!row.begunLate) {
                server.send(first.left(8000));
                ASSERT_TRUE(spinUntil([&] { return rig->context()->bufferedLength() == 8000; }));
            }
        }
        ASSERT_TRUE(spinUntil([&] { return rig->hasGraceTimer(); })); // request 1 timed out
        if (row.begunLate) {
            // Its time runs out with no frame begun: nothing to cut.
            ASSERT_TRUE(spinUntil([&] { return !rig->hasGraceTimer(); }));
            EXPECT_FALSE(rig.recorder.disconnected);
        }
        {
            platform::ModalSession hold; // the bytes go in before its time runs out
            if (row.begunLate) {
                server.send(first.left(8000));
                ASSERT_TRUE(spinUntil([&] { return rig->context()->bufferedLength() == 8000; }));
            }
            const QByteArray more = row.rest < 0 ? first.mid(8000) : first.mid(8000, row.rest);
            server.send(row.behind != Nothing ? more + second.left(8000) : more);
            const qsizetype buffered
                = (row.rest < 0 ? 0 : 8000 + row.rest) + (row.behind != Nothing ? 8000 : 0);
            ASSERT_TRUE(spinUntil([&] {
                return rig.recorder.responses.size() == (row.rest < 0 ? 1u : 0u)
                    && rig->context()->bufferedLength() == buffered;
            }));
            if (row.behind == AlsoLate) { // begun past its time too, it comes whole in its own
                server.send(second.mid(8000));
                ASSERT_TRUE(spinUntil([&] { return rig.recorder.responses.size() == 2; }));
            }
            if (row.heldPastIt) { // a clock that runs under the panel: no limit cuts meanwhile
                bool rang = false;
                platform::RunLoopTimer panelClock(
                    0.6, false, platform::RunLoopModes::common(), [&] { rang = true; });
                panelClock.start();
                ASSERT_TRUE(spinUntil([&] { return rang; }));
                EXPECT_FALSE(rig.recorder.disconnected);
            }
        }
        ASSERT_TRUE(spinUntil([&] { return !rig->hasGraceTimer(); }));
        if (row.cut) {
            ASSERT_TRUE(spinUntil([&] { return rig.recorder.disconnected; }));
            EXPECT_TRUE(rig.recorder.responses.empty());
            continue;
        }
        EXPECT_EQ(rig.recorder.responses[0].data(), QByteArray(20000, 'r'));
        if (row.behind == Waiting)
            server.send(second.mid(8000));
        ASSERT_TRUE(spinUntil([&] { return rig.recorder.responses.size() == requests; }));
        EXPECT_EQ(rig.recorder.responses.back().packetid(), quint64(requests));
        rig->sendRequest(request("after"), 3, 30, 0);
        ASSERT_TRUE(spinUntil([&] { return sent() == requests + 1; }));
        server.send(replyTo(row.framing, 3, "after"));
        ASSERT_TRUE(spinUntil([&] { return rig.recorder.responses.back().data() == "after"; }));
        EXPECT_FALSE(rig.recorder.disconnected);
    }
}

// How long a reply to a timed-out request may take, told apart from a third
// or three times of it by the order of events, the time-outs of requests on
// an idle connection being the clock. Begun before its request's one more
// time-out has run out, the reply is cut when that runs out, its head whole or
// not yet, however long its bytes pause (a time-out batch ending meanwhile
// cuts nothing); begun after, one time-out after its first byte, however long
// after and however its bytes keep coming. A head not whole yet may be the
// reply to any request written before it began: the last of their limits
// holds it.
TEST_F(ConnectionTest, ALateReplyIsCutWhenItsTimeRunsOut)
{
    constexpr double kTimeout = 0.5;
    enum Begun { BeforeItsTimeOut, Within, RightAfter, ATimeOutAfter };
    const struct {
        const char* name;
        Framing framing;
        Begun begun;
        bool headWhole;
        bool fed = false; // one more byte comes whenever the last one was read
        bool secondTimedOut = false; // request 2 times out too, once the head began, with a later limit
        double timeout = kTimeout; // request 1's
    } rows[] = {
        { "begun within, head whole", Framing::TC, Within, true },
        { "begun within, head trickling", Framing::TC, Within, false },
        { "begun late, head whole", Framing::TC, RightAfter, true },
        { "begun late, head trickling", Framing::TC, RightAfter, false },
        { "HTTP: begun within, head trickling", Framing::HTTP, Within, false },
        { "HTTP: begun late, head whole", Framing::HTTP, RightAfter, true },
        { "begun before its request timed out, head whole", Framing::TC, BeforeItsTimeOut, true },
        { "begun a time-out after its time ran out, head whole", Framing::TC, ATimeOutAfter, true },
        { "begun late, bytes keep coming", Framing::TC, RightAfter, true, true },
        { "HTTP: begun late, bytes keep coming", Framing::HTTP, RightAfter, true, true },
        { "begun within, head trickling, two requests timed out", Framing::TC, Within, false, false, true },
        // Its one more time-out outlasts the batch that reports it.
        { "begun before its request timed out, paused past the batch", Framing::TC, BeforeItsTimeOut, true,
            false, false, 8 * kTimeout },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        LoopbackServer server;
        ASSERT_TRUE(server.start());
        Rig rig(VEKConnection::kTimeoutBatchInterval, 30, row.framing);
        Rig clock(0.01);
        ASSERT_TRUE(rig->connectToHost("127.0.0.1", server.port(), 5.0));
        rig->sendRequest(request("one"), 1, row.timeout, 0);
        const double second = 1.75 * row.timeout;
        if (row.secondTimedOut)
            rig->sendRequest(request("two"), 2, second, 0);
        // Within: the limit ends two time-outs after the request was sent (of
        // the request timed out last, when two may be answered). Late: it
        // ends one time-out after the reply's first byte.
        const auto startClock = [&](double limit) {
            clock->sendRequest(request("before"), 1, limit - kTimeout / 2, 0);
            clock->sendRequest(request("after"), 2, limit + kTimeout, 0);
        };
        if (row.begun <= Within)
            startClock(2 * (row.secondTimedOut ? second : row.timeout));
        ASSERT_TRUE(spinUntil(
            [&] { return requestsIn(row.framing, server.received()) == (row.secondTimedOut ? 2u : 1u); }));
        const QByteArray reply = replyTo(row.framing, 1, QByteArray(100000, 'r'));
        qsizetype fed = row.headWhole ? 8000 : 20;
        if (row.begun == BeforeItsTimeOut)
            server.send(reply.left(fed));
        ASSERT_TRUE(spinUntil([&] { return rig->hasGraceTimer(); }));
        if (row.begun >= RightAfter)
            ASSERT_TRUE(spinUntil([&] { return !rig->hasGraceTimer(); }));
        if (row.begun == ATimeOutAfter) {
            clock->sendRequest(request("wait"), 3, kTimeout, 0);
            ASSERT_TRUE(spinUntil([&] { return reported(clock.recorder).count(3) == 1; }));
        }
        if (row.begun >= RightAfter)
            startClock(row.timeout);
        if (row.begun != BeforeItsTimeOut)
            server.send(reply.left(fed));
        const auto feed = [&] {
            if (row.fed && !rig.recorder.disconnected && rig->context()->bufferedLength() == fed)
                server.send(reply.mid(fed++, 1));
        };
        ASSERT_TRUE(spinUntil(
            [&] {
                feed();
                return reported(clock.recorder).count(1) == 1;
            },
            15s));
        EXPECT_FALSE(rig.recorder.disconnected);
        ASSERT_TRUE(spinUntil([&] {
            feed();
            return rig.recorder.disconnected || reported(clock.recorder).count(2) == 1;
        }));
        EXPECT_TRUE(rig.recorder.disconnected);
        EXPECT_EQ(reported(clock.recorder).count(2), 0u);
        EXPECT_TRUE(rig.recorder.responses.empty());
    }
}

// A late reply is timed from its own first byte, not from that of the frame
// the reader was in before it: one that begins in the read that ends a reply
// to a waiting request, or on a new socket after a disconnect left a frame
// unread, is read whole within its own time, and the connection stays.
TEST_F(ConnectionTest, ALateReplyIsTimedFromItsOwnFirstByte)
{
    testsupport::ExpectModalDialogs ownSessions;
    enum Before { AReplyEndingInItsRead, AFrameLeftOnTheOldSocket };
    const struct {
        const char* name;
        Framing framing;
        Before before;
    } rows[] = {
        { "it begins in the read that ends a reply", Framing::TC, AReplyEndingInItsRead },
        { "HTTP: it begins in the read that ends a reply", Framing::HTTP, AReplyEndingInItsRead },
        { "it begins on a new socket, a frame left on the old one", Framing::TC, AFrameLeftOnTheOldSocket },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        LoopbackServer server;
        Rig rig(VEKConnection::kTimeoutBatchInterval, 30, row.framing);
        ASSERT_TRUE(connectInEveryMode(rig, server));
        const QByteArray waited = replyTo(row.framing, 1, QByteArray(20000, 'w'));
        rig->sendRequest(request("waiting"), 1, 30, 0);
        ASSERT_TRUE(spinUntil([&] { return requestsIn(row.framing, server.received()) == 1; }));
        server.send(waited.left(8000));
        ASSERT_TRUE(spinUntil([&] { return rig->context()->bufferedLength() == 8000; }));
        int socket = 0;
        if (row.before == AFrameLeftOnTheOldSocket) {
            rig->disconnect();
            ASSERT_TRUE(rig->connectToHost("127.0.0.1", server.port(), 5.0));
            ASSERT_TRUE(server.waitForConnections(2));
            socket = 1;
        }
        rig->sendRequest(request("late"), 2, 0.2, 0);
        ASSERT_TRUE(spinUntil(
            [&] { return requestsIn(row.framing, server.received(socket)) == (socket == 0 ? 2u : 1u); }));
        ASSERT_TRUE(spinUntil([&] { return rig->hasGraceTimer(); })); // request 2 timed out
        ASSERT_TRUE(spinUntil([&] { return !rig->hasGraceTimer(); })); // and so did its one more time-out
        const QByteArray late = replyTo(row.framing, 2, QByteArray(20000, 'l'));
        {
            platform::ModalSession hold; // its own time starts; the time-outs wait
            const bool ending = row.before == AReplyEndingInItsRead;
            server.send((ending ? waited.mid(8000) : QByteArray()) + late.left(8000), socket);
            ASSERT_TRUE(spinUntil([&] {
                return rig.recorder.responses.size() == (ending ? 1u : 0u)
                    && rig->context()->bufferedLength() == 8000;
            }));
            server.send(late.mid(8000), socket);
            ASSERT_TRUE(spinUntil([&] {
                return !rig.recorder.responses.empty() && rig.recorder.responses.back().packetid() == 2;
            }));
        }
        EXPECT_EQ(rig.recorder.responses.size(), row.before == AReplyEndingInItsRead ? 2u : 1u);
        EXPECT_FALSE(rig.recorder.disconnected);
        EXPECT_TRUE(rig->isConnected());
    }
}

TEST_F(ConnectionTest, HeartbeatIsOneZeroByteAfterTheLastWriteAndRepeats)
{
    LoopbackServer server;
    ASSERT_TRUE(server.start());
    Rig rig(0.1, 0.4);
    EXPECT_DOUBLE_EQ(rig->heartbeatInterval(), 0.4);
    EXPECT_DOUBLE_EQ(Rig().connection->heartbeatInterval(), VEKConnection::kHeartbeatInterval);
    EXPECT_DOUBLE_EQ(Rig().connection->timeoutBatchInterval(), 0.1);
    EXPECT_FALSE(rig->hasHeartbeatTimer());
    ASSERT_TRUE(rig->connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.ready.has_value(); }));
    spinFor(100ms);
    EXPECT_FALSE(rig->hasHeartbeatTimer()); // nothing written yet, nothing to keep alive

    rig->sendRequest(request("ping"), 1, 30, 0);
    ASSERT_TRUE(spinUntil([&] { return framesIn(server.received()).size() == 1; }));
    const QByteArray frame = server.received();
    ASSERT_TRUE(spinUntil([&] { return rig->hasHeartbeatTimer(); }));
    spinFor(100ms);
    EXPECT_EQ(server.received(), frame); // not before the interval
    ASSERT_TRUE(spinUntil([&] { return server.received().size() == frame.size() + 1; }));
    EXPECT_EQ(server.received(), frame + QByteArray(1, '\0'));
    ASSERT_TRUE(spinUntil([&] { return server.received().size() == frame.size() + 2; }));
    EXPECT_EQ(server.received(), frame + QByteArray(2, '\0'));
    // Heartbeats are not request writes.
    EXPECT_EQ(rig.recorder.written.size(), 1);

    // A write pushes the heartbeat back.
    rig->sendRequest(request("again"), 2, 30, 0);
    ASSERT_TRUE(spinUntil([&] { return framesIn(server.received()).size() == 2; }));
    const qsizetype afterWrite = server.received().size();
    spinFor(150ms);
    EXPECT_EQ(server.received().size(), afterWrite);
    ASSERT_TRUE(spinUntil([&] { return server.received().size() == afterWrite + 1; }));
    EXPECT_EQ(server.received().back(), '\0');
}

TEST_F(ConnectionTest, DefaultModeTimersWaitWhileAModalSessionRuns)
{
    testsupport::ExpectModalDialogs ownSessions;
    LoopbackServer server;
    ASSERT_TRUE(server.start());
    Rig rig(0.05, 0.1);
    // The trade connection's modes: its socket keeps working under a modal panel.
    EXPECT_TRUE(rig->setRunLoopModes(
        QStringList { platform::kCFRunLoopDefaultMode, platform::NSModalPanelRunLoopMode }));
    EXPECT_TRUE(rig->setRunLoopModes(platform::RunLoopModes::common()));
    EXPECT_FALSE(rig->setRunLoopModes(QStringList {}));
    EXPECT_FALSE(rig->setRunLoopModes(QStringList { "NoSuchMode" }));
    ASSERT_TRUE(rig->connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.ready.has_value(); }));
    rig->sendRequest(request("first"), 1, 0.25, 0);
    ASSERT_TRUE(spinUntil([&] { return framesIn(server.received()).size() == 1; }));

    {
        platform::ModalSession modal;
        spinFor(400ms);
        EXPECT_TRUE(rig.recorder.timeouts.empty());
        // Writes and reads go on in the modal mode; heartbeats and time-outs wait.
        rig->sendRequest(request("second"), 2, 30, 0);
        ASSERT_TRUE(spinUntil([&] { return framesIn(server.received()).size() == 2; }));
        server.send(replyTo(2, "two"));
        ASSERT_TRUE(spinUntil([&] { return rig.recorder.responses.size() == 1; }));
        const QByteArray sofar = server.received();
        spinFor(300ms);
        EXPECT_EQ(server.received(), sofar);
        EXPECT_TRUE(rig.recorder.timeouts.empty());
    }
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.timeouts.size() == 1; }));
    EXPECT_EQ(rig.recorder.timeouts[0], (std::set<quint64> { 1 }));
    ASSERT_TRUE(spinUntil([&] { return server.received().endsWith('\0'); }));

    // A connection in the default mode alone holds its writes during the panel.
    Rig plain;
    ASSERT_TRUE(plain->connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return plain.recorder.ready.has_value(); }));
    ASSERT_TRUE(server.waitForConnections(2));
    {
        platform::ModalSession modal;
        plain->sendRequest(request("held"), 1, 30, 0);
        spinFor(150ms);
        EXPECT_TRUE(server.received(1).isEmpty());
        // Changing modes moves the held write along.
        EXPECT_TRUE(plain->setRunLoopModes(platform::RunLoopModes::common()));
        ASSERT_TRUE(spinUntil([&] { return framesIn(server.received(1)).size() == 1; }));
    }
}

TEST_F(ConnectionTest, SuspensionHoldsWritesAndReplies)
{
    LoopbackServer server;
    ASSERT_TRUE(server.start());
    Rig rig(0.05);
    ASSERT_TRUE(rig->connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.ready.has_value(); }));
    rig->sendRequest(request("one"), 1, 30, 0);
    ASSERT_TRUE(spinUntil([&] { return framesIn(server.received()).size() == 1; }));

    // Act 1: written packets go back to be written again; nothing moves while suspended.
    rig->setSuspendedWithAct(VEKConnection::SuspendRestore);
    EXPECT_TRUE(rig->isSuspended());
    EXPECT_EQ(rig->readQueueCount(), 0);
    EXPECT_EQ(rig->writeQueueCount(), 1);
    rig->sendRequest(request("two"), 2, 30, 0);
    server.send(replyTo(9, "ignored"));
    spinFor(100ms);
    EXPECT_EQ(framesIn(server.received()).size(), 1u);
    EXPECT_TRUE(rig.recorder.responses.empty());
    rig->cancelSuspended();
    ASSERT_TRUE(spinUntil([&] { return framesIn(server.received()).size() == 3; }));
    const std::vector<TCFrame> frames = framesIn(server.received());
    EXPECT_EQ(frames[1].packetId, 1u);
    EXPECT_EQ(frames[2].packetId, 2u);

    // Act 2: both queues emptied without reports.
    rig->sendRequest(request("three"), 3, 0.05, 0);
    rig->setSuspendedWithAct(VEKConnection::SuspendEmpty);
    EXPECT_EQ(rig->readQueueCount() + rig->writeQueueCount(), 0);
    spinFor(200ms);
    EXPECT_TRUE(rig.recorder.timeouts.empty());
    rig->cancelSuspended();
    EXPECT_FALSE(rig->isSuspended());
}

TEST_F(ConnectionTest, DisconnectsMidFrameAndANewConnectionReadsCleanly)
{
    LoopbackServer server;
    ASSERT_TRUE(server.start());
    Rig rig(0.05);
    ASSERT_TRUE(rig->connectToHost("127.0.0.1", server.port(), 5.0));
    rig->sendRequest(request("q"), 1, 0.2, 0);
    ASSERT_TRUE(spinUntil([&] { return framesIn(server.received()).size() == 1; }));
    server.send(replyTo(1, "a reply cut short").left(50));
    spinFor(50ms);
    server.closeConnection();
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.disconnected; }));
    EXPECT_TRUE(rig.recorder.responses.empty());
    EXPECT_EQ(rig.recorder.events.mid(rig.recorder.events.size() - 2),
        (QStringList { "willDisconnect", "didDisconnect" }));
    EXPECT_FALSE(rig.recorder.disconnectError.has_value()); // the peer closed cleanly
    EXPECT_FALSE(rig->isConnected());
    EXPECT_EQ(rig->context()->bufferedLength(), 0);
    // Its packets stay queued and still time out.
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.timeouts.size() == 1; }));

    // The same connection can connect again and reads cleanly.
    ASSERT_TRUE(rig->connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(server.waitForConnections(2));
    rig->sendRequest(request("q2"), 2, 30, 0);
    ASSERT_TRUE(spinUntil([&] { return framesIn(server.received(1)).size() == 1; }));
    server.send(replyTo(2, "whole"), 1);
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.responses.size() == 1; }));
    EXPECT_EQ(rig.recorder.responses[0].data(), "whole");

    // So it does after its own disconnect in the middle of a frame.
    rig->sendRequest(request("q3"), 3, 30, 0);
    ASSERT_TRUE(spinUntil([&] { return framesIn(server.received(1)).size() == 2; }));
    server.send(replyTo(3, "a reply we stop reading").left(50), 1);
    ASSERT_TRUE(spinUntil([&] { return rig->context()->bufferedLength() == 50; }));
    rig->disconnect();
    EXPECT_EQ(rig->context()->bufferedLength(), 0);
    ASSERT_TRUE(rig->connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(server.waitForConnections(3));
    rig->sendRequest(request("q4"), 4, 30, 0);
    ASSERT_TRUE(spinUntil([&] { return framesIn(server.received(2)).size() == 1; }));
    server.send(replyTo(4, "clean again"), 2);
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.responses.size() == 2; }));
    EXPECT_EQ(rig.recorder.responses[1].data(), "clean again");

    // As the request layer does: a fresh connection and context per connect.
    LoopbackServer other;
    ASSERT_TRUE(other.start());
    Rig fresh;
    ASSERT_TRUE(fresh->connectToHost("127.0.0.1", other.port(), 5.0));
    fresh->sendRequest(request("q3"), 1, 30, 0);
    ASSERT_TRUE(spinUntil([&] { return framesIn(other.received()).size() == 1; }));
    other.send(replyTo(1, "clean"));
    ASSERT_TRUE(spinUntil([&] { return fresh.recorder.responses.size() == 1; }));
    EXPECT_EQ(fresh.recorder.responses[0].data(), "clean");
}

TEST_F(ConnectionTest, FailuresAndDelegateLifetimes)
{
    // A refused connect is reported as an error, then the disconnect.
    Rig refused;
    ASSERT_TRUE(refused->connectToHost("127.0.0.1", testsupport::unusedLoopbackPort(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return refused.recorder.disconnected; }));
    ASSERT_TRUE(refused.recorder.disconnectError.has_value());
    EXPECT_EQ(refused.recorder.disconnectError->domain, NSPOSIXErrorDomain);
    EXPECT_EQ(refused.recorder.events, (QStringList { "willDisconnect", "didDisconnect" }));

    // The delegate may drop the connection from inside a callback.
    LoopbackServer server;
    ASSERT_TRUE(server.start());
    auto dropping = std::make_unique<Rig>();
    Rig* d = dropping.get();
    d->recorder.onResponse = [d](VEKConnection&, const VEKResponse&) { d->connection.reset(); };
    ASSERT_TRUE(d->connection->connectToHost("127.0.0.1", server.port(), 5.0));
    d->connection->sendRequest(request("q"), 1, 30, 0);
    ASSERT_TRUE(spinUntil([&] { return framesIn(server.received()).size() == 1; }));
    server.send(replyTo(1, "x") + replyTo(2, "y"));
    ASSERT_TRUE(spinUntil([&] { return !d->connection; }));
    spinFor(50ms);
    EXPECT_EQ(d->recorder.responses.size(), 1u);

    d->recorder.onDisconnected = [d](VEKConnection&) { d->connection.reset(); };
    d->connection = std::make_unique<VEKConnection>(
        std::make_unique<VEKTCConnectionContext>(&d->builder), &d->recorder, 0.05, 0.1);
    ASSERT_TRUE(d->connection->connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(server.waitForConnections(2));
    server.closeConnection(1);
    ASSERT_TRUE(spinUntil([&] { return !d->connection; }));

    // A destroyed delegate hears nothing (the guard), while the connection goes on.
    FrameBuilder builder;
    auto gone = std::make_unique<Recorder>();
    VEKConnection orphan(std::make_unique<VEKTCConnectionContext>(&builder), gone.get(), 0.05, 0.1);
    ASSERT_TRUE(orphan.connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(server.waitForConnections(3));
    gone.reset();
    EXPECT_EQ(orphan.delegate(), nullptr);
    orphan.sendRequest(request("q"), 1, 0.05, 0);
    ASSERT_TRUE(spinUntil([&] { return framesIn(server.received(2)).size() == 1; }));
    spinFor(250ms); // time-out, batch and heartbeat pass by with nobody to tell
    server.closeConnection(2);
    ASSERT_TRUE(spinUntil([&] { return !orphan.isConnected(); }));
    spinFor(50ms);

    // Proxy modes outside 1 to 3 mean none.
    Rig modes;
    modes->setProxyMode(5);
    EXPECT_EQ(modes->proxyMode(), VEKConnection::ProxyNone);
    modes->setProxyMode(VEKConnection::ProxySOCKS5 | 8);
    EXPECT_EQ(modes->proxyMode(), VEKConnection::ProxySOCKS5);
    // A proxy the delegate does not name cannot be dialled.
    EXPECT_FALSE(modes->connectToHost("127.0.0.1", 1, 5.0));
}

TEST_F(ConnectionTest, DiaryRequestsUseTheReplyCache)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    LoopbackServer server;
    ASSERT_TRUE(server.start());
    Rig rig;
    rig->context()->setStoragePath(folder.path());
    rig->context()->storeResponse("from cache", "cached body", 3600);
    ASSERT_TRUE(rig->connectToHost("127.0.0.1", server.port(), 5.0));

    // A current cached reply answers without writing; the next packet goes on at once.
    rig->sendDiaryRequest(request("cached body"), 1, 0.1);
    rig->sendDiaryRequest(request("fresh body"), 2, 30);
    ASSERT_TRUE(spinUntil([&] { return framesIn(server.received()).size() == 1; }));
    ASSERT_EQ(rig.recorder.responses.size(), 1u);
    EXPECT_EQ(rig.recorder.responses[0].packetid(), 1u);
    EXPECT_EQ(rig.recorder.responses[0].status(), 0u);
    EXPECT_EQ(rig.recorder.responses[0].data(), "from cache");
    EXPECT_EQ(framesIn(server.received())[0].payload, "fresh body");
    EXPECT_EQ(rig.recorder.written.size(), 1);

    // A good reply to a diary request is stored; a failed one is not.
    server.send(replyTo(2, "now cached"));
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.responses.size() == 2; }));
    EXPECT_EQ(rig->context()->cachedResponseDataForRequest("fresh body"), QByteArray("now cached"));
    rig->sendDiaryRequest(request("failing body"), 3, 30);
    ASSERT_TRUE(spinUntil([&] { return framesIn(server.received()).size() == 2; }));
    server.send(replyTo(3, "error", 5));
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.responses.size() == 3; }));
    EXPECT_FALSE(rig->context()->cachedResponseDataForRequest("failing body").has_value());
    // The cached answer's own time-out never reports it.
    spinFor(250ms);
    EXPECT_TRUE(rig.recorder.timeouts.empty());
}

TEST_F(ConnectionTest, TheTimeoutBatchWindowIsAnchoredAtItsFirstTimeOut)
{
    // The default window is the Part's 3.0 seconds.
    VEKConnection plain(std::make_unique<VEKTCConnectionContext>(), nullptr);
    EXPECT_DOUBLE_EQ(plain.timeoutBatchInterval(), 3.0);
    EXPECT_DOUBLE_EQ(VEKConnection::kTimeoutBatchInterval, 3.0);

    LoopbackServer server;
    ASSERT_TRUE(server.start());
    Rig rig(0.3);
    ASSERT_TRUE(rig->connectToHost("127.0.0.1", server.port(), 5.0));
    ASSERT_TRUE(spinUntil([&] { return rig.recorder.ready.has_value(); }));
    // The window opens at the first time-out and later ones join it without
    // moving its end: one report, 0.3 s after the first, not after the last.
    QElapsedTimer clock;
    clock.start();
    rig->sendRequest(request("a"), 1, 0.05, 0);
    rig->sendRequest(request("b"), 2, 0.25, 0);
    ASSERT_TRUE(spinUntil([&] { return !rig.recorder.timeouts.empty(); }, 3s));
    const qint64 reported = clock.elapsed();
    EXPECT_GE(reported, 330);
    EXPECT_LT(reported, 50 + 300 + 200); // not 250 + 300
    EXPECT_EQ(rig.recorder.timeouts[0], (std::set<quint64> { 1, 2 }));
}
