#include "SimClient.h"
#include "support/Spin.h"
#include "tools/broker-sim/BrokerSimulator.h"

#include <gtest/gtest.h>

using namespace brokersim;
using namespace simtest;

namespace {

constexpr Function kEcho { 900, 1 };
constexpr Function kOther { 900, 2 };

Reply echo(const Request& request, BrokerState&)
{
    return Reply::withTable(
        Table().column(QStringLiteral("echo")).row({ request.valueOr(QStringLiteral("text")) }));
}

class BrokerSimControls : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.start());
        sim.registerFunction(kEcho.main, kEcho.sub, echo);
        sim.registerFunction(kOther.main, kOther.sub, echo);
        ASSERT_TRUE(client.connectTls(sim.tcPort(), sim.trustedCertificates()));
    }

    void request(quint32 id, Function f = kEcho, const QByteArray& text = "hi")
    {
        client.send(tcRequest(id, quint16(f.main), quint16(f.sub), "text=" + text, 2));
    }

    // The echo text of a normal reply; "" when it is something else.
    static QString echoed(const TCFrame& frame)
    {
        auto sets = recordSets(frame.payload, 2);
        if (sets.empty() || !sets[0].fetchFirst())
            return {};
        return sets[0].toStringWithName(QStringLiteral("echo"));
    }

    BrokerSimulator sim;
    SimClient client;
};

} // namespace

TEST_F(BrokerSimControls, ErrorRowsAndStatuses)
{
    sim.answerErrorNext(kEcho, 321, QStringLiteral("资金不足"));
    sim.answerErrorNext(kEcho, 322);
    sim.answerStatus100Once(kEcho);
    sim.answerStatusNext(kEcho, 5, "five");
    sim.answerStatusNext(kEcho, 7);
    request(1, kOther); // other functions are not touched
    for (quint32 id = 2; id <= 7; ++id)
        request(id);

    auto frame = client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->packetId, 1u);
    EXPECT_EQ(echoed(*frame), QStringLiteral("hi"));

    frame = client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->packetId, 2u);
    EXPECT_EQ(frame->status, 0);
    auto sets = recordSets(frame->payload, 2);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_TRUE(sets[0].isErrorInfo());
    ASSERT_TRUE(sets[0].fetchFirst());
    EXPECT_EQ(sets[0].toStringWithName(QStringLiteral("ER_String")), QStringLiteral("资金不足"));
    EXPECT_EQ(sets[0].toIntWithName(QStringLiteral("errcode")), 321);

    frame = client.nextFrame();
    ASSERT_TRUE(frame);
    sets = recordSets(frame->payload, 2);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_TRUE(sets[0].isErrorInfo());
    ASSERT_TRUE(sets[0].fetchFirst());
    EXPECT_EQ(sets[0].indexOfFieldWithName(QStringLiteral("ER_String")), -1);
    EXPECT_EQ(sets[0].toIntWithName(QStringLiteral("errcode")), 322);

    // Status 100 carries a payload, or the client's reader would drop the frame.
    frame = client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->packetId, 4u);
    EXPECT_EQ(frame->status, 100);
    EXPECT_FALSE(frame->payload.isEmpty());

    frame = client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->status, 5);
    EXPECT_EQ(frame->payload, "five");

    frame = client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->status, 7);
    sets = recordSets(frame->payload, 2);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_TRUE(sets[0].isOkInfo());

    // Every behaviour was used once: the next request is answered normally.
    frame = client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->packetId, 7u);
    EXPECT_EQ(frame->status, 0);
    EXPECT_EQ(echoed(*frame), QStringLiteral("hi"));

    // A behaviour for any function takes the next request, whatever it is;
    // clearControls forgets what is still armed.
    sim.answerErrorNext(std::nullopt, 1, std::nullopt, 2);
    request(8, kOther);
    frame = client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_TRUE(recordSets(frame->payload, 2)[0].isErrorInfo());
    sim.clearControls();
    request(9);
    frame = client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(echoed(*frame), QStringLiteral("hi"));
    EXPECT_EQ(sim.receivedCount(kEcho), 7);
    EXPECT_EQ(sim.receivedCount(kOther), 2);
}

TEST_F(BrokerSimControls, WithholdEmptyAndNotRecordSet)
{
    sim.withholdNext(kEcho);
    request(1, kEcho, "late");
    request(2, kOther, "first");
    auto frame = client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->packetId, 2u);
    EXPECT_FALSE(client.nextFrame(std::chrono::milliseconds(100)));
    EXPECT_EQ(sim.withheldCount(), 1);
    EXPECT_EQ(sim.releaseWithheld(), 1);
    frame = client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->packetId, 1u);
    EXPECT_EQ(echoed(*frame), QStringLiteral("late"));
    EXPECT_EQ(sim.withheldCount(), 0);

    sim.answerEmptyNext(kEcho);
    sim.answerNotRecordSetNext(kEcho);
    request(3);
    request(4);
    frame = client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->packetId, 3u);
    EXPECT_EQ(frame->status, 0);
    EXPECT_TRUE(frame->payload.isEmpty());
    frame = client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->packetId, 4u);
    EXPECT_FALSE(frame->payload.isEmpty());
    EXPECT_TRUE(recordSets(frame->payload, 2).empty());

    // Garbage straight to the client.
    const quint64 id = sim.received().last().connectionId;
    ASSERT_EQ(sim.connectionIds(), QList<quint64> { id });
    const qsizetype before = client.allReceived().size();
    const QByteArray garbage("\xFF\xFF\x00garbage\xFF", 11);
    EXPECT_TRUE(sim.sendRaw(id, garbage));
    ASSERT_TRUE(client.waitForBytes(before + garbage.size()));
    EXPECT_EQ(client.allReceived().sliced(before), garbage);
    EXPECT_FALSE(sim.sendRaw(id + 100, garbage));
}

TEST_F(BrokerSimControls, GivenRecordSetsReplaceTheHandlersAnswer)
{
    // Two requests get the test's set, in the reply's encoding; then the handler again.
    const Table hostile = Table().column(QStringLiteral("maxstkqty")).row({ QStringLiteral("-1股") });
    sim.answerTablesNext(kEcho, { hostile, Table::infoOnly(QStringLiteral("etc")) }, 2);
    sim.answerTablesNext(kOther, {});
    for (quint32 id = 1; id <= 3; ++id)
        request(id);
    request(4, kOther);
    for (quint32 id = 1; id <= 2; ++id) {
        auto frame = client.nextFrame();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->packetId, id);
        auto sets = recordSets(frame->payload, 2);
        ASSERT_EQ(sets.size(), 2u);
        ASSERT_TRUE(sets[0].fetchFirst());
        EXPECT_EQ(sets[0].toStringWithName(QStringLiteral("maxstkqty")), QStringLiteral("-1股"));
        EXPECT_TRUE(sets[1].isETCInfo());
    }
    auto frame = client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(echoed(*frame), QStringLiteral("hi"));
    // No tables: a reply without any record set.
    frame = client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->packetId, 4u);
    EXPECT_EQ(frame->status, 0);
    EXPECT_TRUE(frame->payload.isEmpty());
}

TEST_F(BrokerSimControls, DropAfterBytes)
{
    // Part of the reply, then the connection closes.
    sim.dropAfterBytesNext(kEcho, 50);
    request(1);
    ASSERT_TRUE(client.waitForDisconnect());
    EXPECT_EQ(client.allReceived().size(), 50);
    EXPECT_TRUE(client.allReceived().startsWith("\xFF\xFF\xFF\xFF\xFFVEK "));
    EXPECT_TRUE(testsupport::spinUntil([&] { return sim.connectionCount() == 0; }));

    // The logon can be withheld or cut too: it is function 0 / 0.
    SimClient second;
    ASSERT_TRUE(second.connectTls(sim.tcPort(), sim.trustedCertificates()));
    sim.dropAfterBytesNext(kLogon, 0);
    VEKTCConnectionContext context;
    second.send(context.sendLoginWithPacketId(1));
    ASSERT_TRUE(second.waitForDisconnect());
    EXPECT_TRUE(second.allReceived().isEmpty());

    // Over HTTP as well; the simulator itself closes a connection on request.
    SimClient http;
    ASSERT_TRUE(http.connectPlain(sim.httpPort()));
    sim.dropAfterBytesNext(kEcho, 20);
    http.send(httpRequest(1, kEcho.main, kEcho.sub, QStringLiteral("text=a"), 2));
    ASSERT_TRUE(http.waitForDisconnect());
    EXPECT_EQ(http.allReceived(), "HTTP/1.1 200 OK\r\neta");

    SimClient third;
    ASSERT_TRUE(third.connectPlain(sim.httpPort()));
    ASSERT_TRUE(testsupport::spinUntil([&] { return sim.connectionCount() == 1; }));
    sim.dropConnections();
    EXPECT_TRUE(third.waitForDisconnect());
}
