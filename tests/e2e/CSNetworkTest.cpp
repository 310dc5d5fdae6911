#include "CSNetworkTestRig.h"
#include "comm/crypto/VEKCoder.h"
#include "comm/transport/VEKTCConnectionContext.h"
#include "support/ModalGuard.h"

#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QtEndian>

using namespace csnetworktest;
using brokersim::BrokerSimulator;
using brokersim::Front;
using brokersim::kLogon;
using brokersim::kSessionFunction;
using brokersim::Reply;
using brokersim::Table;
using testsupport::spinFor;
using testsupport::spinUntil;

namespace {

brokersim::Handler issuingSessions()
{
    return [](const brokersim::Request& r, brokersim::BrokerState& state) {
        return Reply::withTable(Table()
                                    .column(QStringLiteral("session"))
                                    .row({ state.issueSession(r.valueOr(QStringLiteral("utid"))) }));
    };
}

} // namespace

TEST_F(CSNetworkE2E, TcRequestWaitsForTheLogonAndKeepsItsClock)
{
    sim.withholdNext(kLogon);
    net->connectTo(tcServer());
    Observer observer;
    const quint64 id = echo(observer, QStringLiteral("hello"));
    EXPECT_EQ(id, 1u); // the first request of a new network
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    spinFor(50ms);
    EXPECT_FALSE(net->isLoggedOn());
    EXPECT_EQ(delegate.connected, 1);
    EXPECT_EQ(delegate.loggedOn, 0); // connected is not served
    ASSERT_TRUE(net->requestWithTag(id));
    EXPECT_EQ(net->requestWithTag(id)->status(), CSRequest::WaitsForLogon);
    EXPECT_TRUE(receivedOf(kEcho).isEmpty());
    EXPECT_EQ(observer.calls(), 0u);

    // Waiting does not stop the clock: this one times out before the logon comes.
    Observer late;
    QElapsedTimer clock;
    clock.start();
    const quint64 waiting = echo(late, QStringLiteral("late"), false, 1);
    EXPECT_EQ(waiting, 3u); // the logon took id 2
    ASSERT_TRUE(waitCalls(late, 1, 3s));
    EXPECT_GE(clock.elapsed(), 950);
    EXPECT_LT(clock.elapsed(), 2100);
    ASSERT_EQ(late.errors.size(), 1u);
    EXPECT_EQ(late.errors[0].first, QStringLiteral("echo"));
    EXPECT_EQ(late.errors[0].second.domain, QStringLiteral("request timeout！"));
    EXPECT_EQ(late.errors[0].second.code, 6);
    EXPECT_FALSE(net->requestWithTag(waiting));

    EXPECT_EQ(sim.releaseWithheld(), 1);
    ASSERT_TRUE(waitCalls(observer, 1));
    ASSERT_EQ(observer.replies.size(), 1u);
    EXPECT_EQ(observer.replies[0].identifier, QStringLiteral("echo"));
    EXPECT_EQ(observer.echoed(0), QStringLiteral("hello"));
    EXPECT_EQ(observer.stars, QStringList { QStringLiteral("echo") });
    EXPECT_EQ(observer.stops, QStringList { QStringLiteral("echo") });
    EXPECT_TRUE(net->isLoggedOn());

    const QList<brokersim::Request> received = sim.received();
    ASSERT_EQ(received.size(), 2);
    EXPECT_TRUE(received[0].logon);
    EXPECT_EQ(received[0].packetId, 2);
    EXPECT_EQ(received[1].function, kEcho);
    EXPECT_EQ(received[1].packetId, 1);
    EXPECT_FALSE(received[1].hasSession);
    EXPECT_EQ(received[1].rawBody, QByteArray("text=hello"));
    EXPECT_EQ(delegate.connected, 1);
    EXPECT_EQ(delegate.loggedOn, 1);
    EXPECT_EQ(net->requestCount(), 0);
}

TEST_F(CSNetworkE2E, HttpRequestGoesOutAtOnceAndCarriesTheSessionOnceStored)
{
    net->connectTo(httpServer());
    EXPECT_TRUE(net->isLoggedOn());
    Observer observer;
    const quint64 first = echo(observer, QStringLiteral("plain"));
    EXPECT_EQ(first, 1u);
    ASSERT_TRUE(net->requestWithTag(first));
    EXPECT_EQ(net->requestWithTag(first)->status(), 0); // handed to the connection at once
    EXPECT_EQ(delegate.loggedOn, 0); // nothing answered yet
    ASSERT_TRUE(waitCalls(observer, 1));
    EXPECT_EQ(observer.echoed(0), QStringLiteral("plain"));
    EXPECT_EQ(delegate.loggedOn, 1);

    // A request that needs the session fetches it first.
    EXPECT_EQ(echo(observer, QStringLiteral("with"), true), 3u);
    ASSERT_TRUE(waitCalls(observer, 2));
    EXPECT_EQ(observer.echoed(1), QStringLiteral("with"));
    ASSERT_TRUE(CSSession::session());
    // Once stored, every form carries it, with or without the session flag.
    echo(observer, QStringLiteral("after"));
    ASSERT_TRUE(waitCalls(observer, 3));
    EXPECT_TRUE(observer.errors.empty());

    const auto sessions = receivedOf(kSessionFunction);
    ASSERT_EQ(sessions.size(), 1);
    EXPECT_EQ(sessions[0].front, Front::HTTP);
    EXPECT_EQ(sessions[0].packetId, 2);
    EXPECT_EQ(sessions[0].encoding, 1);
    EXPECT_EQ(sessions[0].service, 300u);
    EXPECT_EQ(sessions[0].rawBody, QByteArray("utid=T0001&soft_name=lumora&soft_version=1.0"));
    EXPECT_FALSE(sessions[0].hasSession);

    const auto echoes = receivedOf(kEcho);
    ASSERT_EQ(echoes.size(), 3);
    EXPECT_EQ(echoes[0].packetId, 1);
    EXPECT_FALSE(echoes[0].hasSession);
    EXPECT_EQ(echoes[1].packetId, 3);
    EXPECT_TRUE(echoes[1].hasSession);
    EXPECT_EQ(echoes[1].session, *CSSession::session());
    EXPECT_TRUE(sim.state().isIssuedSession(echoes[1].session));
    EXPECT_EQ(echoes[1].encoding, 2);
    EXPECT_TRUE(echoes[2].hasSession);
    EXPECT_EQ(echoes[2].session, *CSSession::session());
    EXPECT_EQ(delegate.connected, 1);
    EXPECT_EQ(delegate.loggedOn, 1); // once per connection
}

TEST_F(CSNetworkE2E, OneSessionRequestServesEveryWaitingRequestInIdOrder)
{
    ASSERT_TRUE(connectAndLogOn());
    Observer a, b;
    EXPECT_EQ(echo(a, QStringLiteral("a"), true), 3u);
    EXPECT_EQ(echo(b, QStringLiteral("b"), true), 4u);
    EXPECT_TRUE(net->isSessionRequestInFlight());
    EXPECT_EQ(net->requestWithTag(3)->status(), CSRequest::WaitsForSession);
    EXPECT_EQ(net->requestWithTag(4)->status(), CSRequest::WaitsForSession);
    ASSERT_TRUE(waitCalls(a, 1));
    ASSERT_TRUE(waitCalls(b, 1));
    EXPECT_EQ(a.echoed(0), QStringLiteral("a"));
    EXPECT_EQ(b.echoed(0), QStringLiteral("b"));
    EXPECT_FALSE(net->isSessionRequestInFlight());

    const QList<brokersim::Request> received = sim.received();
    ASSERT_EQ(received.size(), 4);
    EXPECT_TRUE(received[0].logon);
    EXPECT_EQ(received[0].packetId, 1);
    EXPECT_EQ(received[0].logonUser, received[0].logonPassword);
    EXPECT_EQ(received[1].function, kSessionFunction);
    EXPECT_EQ(received[1].packetId, 2);
    EXPECT_FALSE(received[1].hasSession);
    for (int i : { 2, 3 }) {
        EXPECT_EQ(received[i].function, kEcho);
        EXPECT_EQ(received[i].packetId, i + 1);
        EXPECT_TRUE(received[i].hasSession);
        EXPECT_EQ(received[i].session, *CSSession::session());
    }
    EXPECT_TRUE(sim.state().isIssuedSession(*CSSession::session()));

    // With a session stored nothing waits and no new session request is made.
    Observer c;
    EXPECT_EQ(echo(c, QStringLiteral("c"), true), 5u);
    EXPECT_EQ(net->requestWithTag(5)->status(), 0);
    ASSERT_TRUE(waitCalls(c, 1));
    EXPECT_EQ(sim.receivedCount(kSessionFunction), 1);
}

TEST_F(CSNetworkE2E, SessionReplyWithoutSessionFailsOnlyThoseWaitingForItAlone)
{
    sim.registerFunction(kSessionFunction.main, kSessionFunction.sub, [](const auto&, auto&) {
        return Reply::withTable(Table().column(QStringLiteral("other")).row({ QStringLiteral("x") }));
    });

    // HTTP: logged on from the start, so the request waits for the session alone.
    net->connectTo(httpServer());
    Observer alone;
    echo(alone, QStringLiteral("alone"), true);
    ASSERT_TRUE(waitCalls(alone, 1));
    ASSERT_EQ(alone.errors.size(), 1u);
    EXPECT_EQ(alone.errors[0].second, CSErrors::sessionParam());
    EXPECT_EQ(alone.errors[0].second.domain, QStringLiteral("session param error"));
    EXPECT_EQ(alone.errors[0].second.code, 101);
    EXPECT_FALSE(CSSession::hasSession());
    EXPECT_TRUE(receivedOf(kEcho).isEmpty());

    // TC with the logon held back: the request waits for both and survives the reply.
    net = std::make_unique<CSNetwork>();
    sim.withholdNext(kLogon);
    net->connectTo(tcServer());
    Observer both;
    const quint64 id = echo(both, QStringLiteral("both"), true);
    ASSERT_TRUE(
        spinUntil([&] { return sim.receivedCount(kSessionFunction) == 2 && sim.withheldCount() == 1; }));
    ASSERT_TRUE(spinUntil([&] { return !net->isSessionRequestInFlight(); }));
    spinFor(50ms);
    EXPECT_EQ(both.calls(), 0u);
    ASSERT_TRUE(net->requestWithTag(id));
    EXPECT_EQ(net->requestWithTag(id)->status(), CSRequest::WaitsForLogon | CSRequest::WaitsForSession);

    // Once logged on it asks again and goes out.
    sim.registerFunction(kSessionFunction.main, kSessionFunction.sub, issuingSessions());
    sim.releaseWithheld();
    ASSERT_TRUE(waitCalls(both, 1));
    EXPECT_EQ(both.echoed(0), QStringLiteral("both"));
    EXPECT_EQ(sim.receivedCount(kSessionFunction), 3);
}

// What a session reply leaves of a session stored before: an error row keeps
// it; a row's "session" field, even an empty one, replaces it.
TEST_F(CSNetworkE2E, ASessionReplyReplacesTheStoredSessionUnlessItIsAnError)
{
    const struct {
        const char* name;
        Table reply;
        std::optional<QString> after;
    } cases[] = {
        { "error row", Table::errorRow(-1, QStringLiteral("busy")), QStringLiteral("0A0B") },
        { "empty field", Table().column(QStringLiteral("session")).row({ QString() }), std::nullopt },
        { "new session", Table().column(QStringLiteral("session")).row({ QStringLiteral("0C0D") }),
            QStringLiteral("0C0D") },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CSSession::setSession(QStringLiteral("0A0B"));
        const std::optional<VEKTCRS> reply = brokersim::toRecordSet(c.reply, 2);
        ASSERT_TRUE(reply);
        EXPECT_TRUE(net->respondWithRecordSet({ *reply }, QStringLiteral("CSSessionRequestKey")));
        EXPECT_EQ(CSSession::session(), c.after);
    }
}

// A logon or session reply with status 0 whose payload holds no record set:
// the logon is done all the same, and the session reply stores no session.
TEST_F(CSNetworkE2E, LogonAndSessionRepliesThatHoldNoRecordSet)
{
    sim.answerNotRecordSetNext(kLogon);
    net->connectTo(tcServer());
    Observer observer;
    echo(observer, QStringLiteral("after"));
    ASSERT_TRUE(waitCalls(observer, 1));
    EXPECT_EQ(observer.echoed(0), QStringLiteral("after"));
    EXPECT_TRUE(net->isLoggedOn());
    EXPECT_EQ(delegate.loggedOn, 1);
    EXPECT_EQ(sim.receivedCount(kLogon), 1);

    // Those waiting for the session alone fail at once with 101, and the
    // session request is not sent again by itself.
    sim.answerNotRecordSetNext(kSessionFunction);
    Observer waiting;
    echo(waiting, QStringLiteral("session"), true, 30);
    ASSERT_TRUE(waitCalls(waiting, 1));
    ASSERT_EQ(waiting.errors.size(), 1u);
    EXPECT_EQ(waiting.errors[0].second, CSErrors::sessionParam());
    EXPECT_FALSE(net->isSessionRequestInFlight());
    spinFor(100ms);
    EXPECT_EQ(sim.receivedCount(kSessionFunction), 1);
    EXPECT_TRUE(receivedOf(kEcho).size() == 1);
    EXPECT_EQ(net->requestCount(), 0);

    // Over HTTP alike.
    net = std::make_unique<CSNetwork>();
    net->connectTo(httpServer());
    sim.answerNotRecordSetNext(kSessionFunction);
    Observer overHttp;
    echo(overHttp, QStringLiteral("http"), true, 30);
    ASSERT_TRUE(waitCalls(overHttp, 1));
    ASSERT_EQ(overHttp.errors.size(), 1u);
    EXPECT_EQ(overHttp.errors[0].second, CSErrors::sessionParam());
    spinFor(100ms);
    EXPECT_EQ(sim.receivedCount(kSessionFunction), 2);
    EXPECT_EQ(net->requestCount(), 0);
}

TEST_F(CSNetworkE2E, Status100FetchesANewSessionAndResendsUnderTheSameId)
{
    ASSERT_TRUE(connectAndLogOn());
    Observer observer;
    echo(observer, QStringLiteral("one"), true);
    ASSERT_TRUE(waitCalls(observer, 1));
    const QString firstSession = CSSession::session().value_or(QString());
    ASSERT_FALSE(firstSession.isEmpty());

    sim.answerStatus100Once(kEcho);
    const quint64 id = echo(observer, QStringLiteral("two"), true);
    ASSERT_TRUE(waitCalls(observer, 2));
    ASSERT_EQ(observer.replies.size(), 2u);
    EXPECT_EQ(observer.echoed(1), QStringLiteral("two"));
    EXPECT_TRUE(observer.errors.empty());

    const auto echoes = receivedOf(kEcho);
    ASSERT_EQ(echoes.size(), 3);
    EXPECT_EQ(echoes[1].packetId, qint64(id));
    EXPECT_EQ(echoes[2].packetId, qint64(id));
    EXPECT_EQ(echoes[1].session, firstSession);
    EXPECT_NE(echoes[2].session, firstSession);
    EXPECT_EQ(echoes[2].session, *CSSession::session());
    const auto sessions = receivedOf(kSessionFunction);
    ASSERT_EQ(sessions.size(), 2);
    EXPECT_GT(sessions[1].packetId, qint64(id));
}

TEST_F(CSNetworkE2E, FailedStatusesTimeOutsAndLateReplies)
{
    ASSERT_TRUE(connectAndLogOn());
    // Any status but 0 and 100 fails, whatever record set comes with it.
    for (const int status : { 1, 5 }) {
        Observer failed;
        sim.answerStatusNext(kEcho, quint8(status));
        echo(failed, QStringLiteral("status"));
        ASSERT_TRUE(waitCalls(failed, 1));
        ASSERT_EQ(failed.errors.size(), 1u) << status;
        EXPECT_EQ(failed.errors[0].second.domain, QStringLiteral("server no data"));
        EXPECT_EQ(failed.errors[0].second.code, 200);
    }

    // A payload that holds no record set is no success either.
    Observer observer;
    sim.answerNotRecordSetNext(kEcho);
    echo(observer, QStringLiteral("garbled"));
    ASSERT_TRUE(waitCalls(observer, 1));
    ASSERT_EQ(observer.errors.size(), 1u);
    EXPECT_EQ(observer.errors[0].second, CSErrors::serverNoData());

    // A withheld reply ends by time-out, within the time-out and the batch.
    sim.withholdNext(kEcho);
    QElapsedTimer clock;
    clock.start();
    const quint64 id = echo(observer, QStringLiteral("slow"), false, 1);
    ASSERT_TRUE(waitCalls(observer, 2, 3s));
    EXPECT_GE(clock.elapsed(), 950);
    EXPECT_LT(clock.elapsed(), 1000 + 100 + 1000);
    ASSERT_EQ(observer.errors.size(), 2u);
    EXPECT_EQ(observer.errors[1].second, CSErrors::requestTimeout());
    EXPECT_FALSE(net->requestWithTag(id));

    // Its late reply reaches nobody; the connection goes on serving.
    EXPECT_EQ(sim.releaseWithheld(), 1);
    spinFor(100ms);
    EXPECT_EQ(observer.calls(), 2u);
    echo(observer, QStringLiteral("next"));
    ASSERT_TRUE(waitCalls(observer, 3));
    ASSERT_EQ(observer.replies.size(), 1u);
    EXPECT_EQ(observer.echoed(0), QStringLiteral("next"));
}

TEST_F(CSNetworkE2E, DroppedConnectionAndServerSwitchFailPendingRequests)
{
    ASSERT_TRUE(connectAndLogOn());
    Observer sent;
    sim.withholdNext(kEcho, 2);
    echo(sent, QStringLiteral("a"));
    echo(sent, QStringLiteral("b"));
    Observer waiting; // waits for a session whose reply is withheld
    sim.withholdNext(kSessionFunction);
    echo(waiting, QStringLiteral("w"), true);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 3; }));

    sim.dropConnections();
    ASSERT_TRUE(waitCalls(sent, 2));
    ASSERT_TRUE(waitCalls(waiting, 1));
    for (const auto& [identifier, error] : sent.errors) {
        EXPECT_EQ(error.domain, QStringLiteral("requests clear when network disconnect！"));
        EXPECT_EQ(error.code, 300);
    }
    EXPECT_EQ(waiting.errors[0].second, CSErrors::networkDisconnect());
    EXPECT_EQ(delegate.didDisconnect, 1);
    EXPECT_EQ(net->connection(), nullptr);
    EXPECT_EQ(net->requestCount(), 0);
    EXPECT_FALSE(net->isSessionRequestInFlight());

    // The next request opens a new connection, which logs on afresh and gets a session.
    Observer again;
    echo(again, QStringLiteral("again"), true);
    ASSERT_TRUE(waitCalls(again, 1));
    EXPECT_EQ(again.echoed(0), QStringLiteral("again"));
    int logons = 0;
    for (const auto& r : sim.received())
        logons += r.logon ? 1 : 0;
    EXPECT_EQ(logons, 2);
    EXPECT_EQ(sim.receivedCount(kSessionFunction), 2);

    // A server switch drops the old connection's requests with 300 too, on the next pass.
    const int withheld = sim.withheldCount();
    sim.withholdNext(kEcho);
    Observer switched;
    echo(switched, QStringLiteral("s"));
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == withheld + 1; }));
    EXPECT_TRUE(net->connectTo(tcServer()));
    EXPECT_EQ(switched.calls(), 0u);
    ASSERT_TRUE(waitCalls(switched, 1));
    EXPECT_EQ(switched.errors[0].second, CSErrors::networkDisconnect());
    echo(switched, QStringLiteral("new server"));
    ASSERT_TRUE(waitCalls(switched, 2));
    EXPECT_EQ(switched.echoed(0), QStringLiteral("new server"));
}

// What a switch drops is what the old connection may have written; a request
// that never reached the wire goes out once on the connection that follows.
TEST_F(CSNetworkE2E, ASwitchKeepsTheRequestsThatWereNeverWritten)
{
    ASSERT_TRUE(connectAndLogOn());
    Observer written;
    sim.withholdNext(kEcho);
    echo(written, QStringLiteral("written"));
    Observer waiting; // waits for a session whose reply is withheld
    sim.withholdNext(kSessionFunction);
    const quint64 kept = echo(waiting, QStringLiteral("waiting"), true);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 2; }));
    sim.withholdNext(kLogon);
    EXPECT_TRUE(net->connectTo(tcServer()));
    ASSERT_TRUE(waitCalls(written, 1));
    EXPECT_EQ(written.errors[0].second, CSErrors::networkDisconnect());
    // The new server's session reply does not let it out before the new logon's.
    ASSERT_TRUE(spinUntil([&] {
        return sim.receivedCount(kSessionFunction) == 2 && !net->isSessionRequestInFlight()
            && sim.withheldCount() == 3;
    }));
    ASSERT_TRUE(net->requestWithTag(kept));
    EXPECT_EQ(net->requestWithTag(kept)->status(), CSRequest::WaitsForLogon);
    sim.releaseWithheld();
    ASSERT_TRUE(waitCalls(waiting, 1));
    EXPECT_EQ(waiting.echoed(0), QStringLiteral("waiting"));
    EXPECT_EQ(sim.receivedCount(kSessionFunction), 2);

    // A request answered with status 100 was written: it waits for a new
    // session, yet the switch fails it rather than sending it again.
    Observer resent;
    sim.answerStatus100Once(kEcho);
    sim.withholdNext(kSessionFunction);
    echo(resent, QStringLiteral("status 100"), true);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    EXPECT_TRUE(net->connectTo(tcServer()));
    ASSERT_TRUE(waitCalls(resent, 1));
    ASSERT_EQ(resent.errors.size(), 1u);
    EXPECT_EQ(resent.errors[0].second, CSErrors::networkDisconnect());
    Observer after;
    echo(after, QStringLiteral("after"), true);
    ASSERT_TRUE(waitCalls(after, 1));
    EXPECT_EQ(resent.calls(), 1u);
    EXPECT_EQ(receivedOf(kEcho).size(), 4); // written, waiting, status 100, after
    sim.releaseWithheld(); // nothing: its connection is gone

    // A drop whose report asks again, on a connection that the owner replaces
    // at once by a switch: the new request goes out after the switch.
    Observer dropped;
    Observer asked;
    sim.withholdNext(kEcho);
    echo(dropped, QStringLiteral("dropped"));
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    dropped.onCall = [&] { echo(asked, QStringLiteral("asked while dropped")); };
    delegate.onDisconnected = [&](CSNetwork& network) { network.connectTo(tcServer()); };
    sim.clearReceived();
    sim.dropConnections();
    ASSERT_TRUE(waitCalls(asked, 1));
    ASSERT_EQ(dropped.errors.size(), 1u);
    EXPECT_EQ(dropped.errors[0].second, CSErrors::networkDisconnect());
    EXPECT_EQ(asked.echoed(0), QStringLiteral("asked while dropped"));
    const QList<brokersim::Request> sent = receivedOf(kEcho);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].valueOr(QStringLiteral("text")), QStringLiteral("asked while dropped"));
}

// A request asked while its caller hears of a lost connection, with an owner
// that moves nowhere: it waits for the connection the network opens again to
// its server, in either protocol, and fails at once when there is no server.
TEST_F(CSNetworkE2E, ARequestAskedWhileHearingOfALossWithNoMoveByTheOwner)
{
    struct Case {
        const char* name;
        bool http;
        bool serverKept;
    };
    for (const Case c : { Case { "TC", false, true }, Case { "HTTP", true, true },
             Case { "TC, no server", false, false }, Case { "HTTP, no server", true, false } }) {
        SCOPED_TRACE(c.name);
        net = std::make_unique<CSNetwork>();
        net->setConnectionDelegate(&delegate);
        delegate.onDisconnected = [&](CSNetwork& network) {
            if (!c.serverKept)
                network.setServerInfo(std::nullopt);
        };
        net->connectTo(c.http ? httpServer() : tcServer());
        Observer dropped;
        Observer asked;
        sim.withholdNext(kEcho);
        echo(dropped, QStringLiteral("dropped"));
        ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
        dropped.onCall = [&] { echo(asked, QStringLiteral("asked while dropped"), false, 30); };
        sim.dropConnections();
        ASSERT_TRUE(waitCalls(asked, 1));
        ASSERT_EQ(dropped.errors.size(), 1u);
        EXPECT_EQ(dropped.errors[0].second, CSErrors::networkDisconnect());
        if (c.serverKept) {
            ASSERT_EQ(asked.replies.size(), 1u);
            EXPECT_EQ(asked.echoed(0), QStringLiteral("asked while dropped"));
        } else {
            ASSERT_EQ(asked.errors.size(), 1u);
            EXPECT_EQ(asked.errors[0].second, CSErrors::networkDisconnect());
            EXPECT_EQ(net->connection(), nullptr);
        }
        EXPECT_EQ(net->requestCount(), 0);
        sim.clearControls();
        sim.releaseWithheld();
    }
    delegate.onDisconnected = nullptr;
}

TEST_F(CSNetworkE2E, AConnectThatCannotStartIsReportedAsLost)
{
    // A proxy without an address cannot even be dialled: the owner must still
    // hear that the connection is gone, and pending requests fail with 300.
    CSServerInfo info = tcServer();
    info.setProxyMode(1);
    net->setServerInfo(info);
    Observer pending;
    echo(pending, QStringLiteral("p"));
    ASSERT_TRUE(waitCalls(pending, 1));
    EXPECT_EQ(pending.errors[0].second, CSErrors::networkDisconnect());
    EXPECT_TRUE(spinUntil([&] { return delegate.didDisconnect == 1; }));
    EXPECT_EQ(net->connection(), nullptr);
}

TEST_F(CSNetworkE2E, BadBodiesFailOnTheNextPass)
{
    net->connectTo(httpServer());
    Observer observer;
    CSPacket packet(kEcho.main, kEcho.sub, QStringLiteral("text=中文"));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(net->sendRequestWithObserver(&observer, QStringLiteral("bad"), &packet, 30), 0u);
    EXPECT_EQ(observer.calls(), 0u); // never inside the caller's call
    ASSERT_TRUE(waitCalls(observer, 1));
    EXPECT_LT(clock.elapsed(), 1000);
    ASSERT_EQ(observer.errors.size(), 1u);
    EXPECT_EQ(observer.errors[0].first, QStringLiteral("bad"));
    EXPECT_EQ(observer.errors[0].second.domain, QStringLiteral("构包异常"));
    EXPECT_EQ(observer.errors[0].second.code, 400);

    // A function number the TC frame cannot carry fails the same way.
    net->connectTo(tcServer());
    CSPacket wide(70000, 1, QStringLiteral("text=x"));
    net->sendRequestWithObserver(&observer, QStringLiteral("wide"), &wide, 30);
    ASSERT_TRUE(waitCalls(observer, 2));
    EXPECT_EQ(observer.errors[1].second, CSErrors::buildPacket());

    // A failure not yet reported is forgotten with its observer's requests.
    net->sendRequestWithObserver(&observer, QStringLiteral("bad"), &packet, 30);
    net->removeRequestWithObserver(&observer);
    spinFor(50ms);
    EXPECT_EQ(observer.calls(), 2u);

    // Missing observer, identifier or packet: nothing happens.
    EXPECT_EQ(net->sendRequestWithObserver(nullptr, QStringLiteral("x"), &packet, 30), 0u);
    EXPECT_EQ(net->sendRequestWithObserver(&observer, QString(), &packet, 30), 0u);
    EXPECT_EQ(net->sendRequestWithObserver(&observer, QStringLiteral("x"), nullptr, 30), 0u);
    EXPECT_EQ(net->requestCount(), 0);
    EXPECT_TRUE(receivedOf(kEcho).isEmpty());
}

TEST_F(CSNetworkE2E, ObserversThatGoAwayAreNeverCalled)
{
    ASSERT_TRUE(connectAndLogOn());
    sim.withholdNext(kEcho, 4);
    auto gone = std::make_unique<Observer>();
    echo(*gone, QStringLiteral("gone"));
    Observer removed;
    echo(removed, QStringLiteral("removed"));
    Observer keep;
    echo(keep, QStringLiteral("k1"), false, 5, QStringLiteral("one"));
    echo(keep, QStringLiteral("k2"), false, 5, QStringLiteral("two"));
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 4; }));

    gone.reset();
    net->removeRequestWithObserver(&removed);
    net->removeRequestWithObserver(&keep, QStringLiteral("one"));
    EXPECT_EQ(net->requestCount(), 2); // the destroyed observer's request and "two"
    EXPECT_EQ(sim.releaseWithheld(), 4);
    ASSERT_TRUE(waitCalls(keep, 1));
    spinFor(50ms);
    EXPECT_EQ(removed.calls(), 0u);
    ASSERT_EQ(keep.calls(), 1u);
    EXPECT_EQ(keep.replies[0].identifier, QStringLiteral("two"));
    EXPECT_EQ(net->requestCount(), 0);

    // Nor does a time-out or a disconnect reach a destroyed observer.
    gone = std::make_unique<Observer>();
    sim.withholdNext(kEcho);
    echo(*gone, QStringLiteral("gone again"), false, 1);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    gone.reset();
    sim.dropConnections();
    ASSERT_TRUE(spinUntil([&] { return delegate.didDisconnect == 1; }));
    EXPECT_EQ(net->requestCount(), 0);

    // An observer may destroy the network from inside its callback.
    Observer killer;
    killer.onCall = [&] { net.reset(); };
    echo(killer, QStringLiteral("last"));
    ASSERT_TRUE(waitCalls(killer, 1));
    EXPECT_FALSE(net);
    spinFor(50ms);
}

TEST_F(CSNetworkE2E, FailedLogonAndSessionAreRetriedWithABoundedBackOff)
{
    net->setRetryDelays(0.05, 0.2);
    QElapsedTimer clock;
    clock.start();
    QList<qint64> logons, sessions;
    QObject::connect(&sim, &BrokerSimulator::requestReceived, &sim, [&] {
        const brokersim::Request last = sim.received().last();
        if (last.logon)
            logons << clock.elapsed();
        else if (last.function == kSessionFunction)
            sessions << clock.elapsed();
    });
    for (int i = 0; i < 5; ++i)
        sim.answerStatusNext(kLogon, 5);
    net->connectTo(tcServer());
    Observer observer;
    echo(observer, QStringLiteral("after"));
    ASSERT_TRUE(waitCalls(observer, 1));
    EXPECT_EQ(observer.echoed(0), QStringLiteral("after"));
    ASSERT_EQ(logons.size(), 6);
    const qint64 expected[] = { 50, 100, 200, 200, 200 };
    for (int i = 0; i < 5; ++i) {
        const qint64 gap = logons[i + 1] - logons[i];
        EXPECT_GE(gap, expected[i] - 5) << i;
        EXPECT_LT(gap, expected[i] + 700) << i;
    }

    // The same for the session request; a stored session resets nothing for others.
    sim.answerStatusNext(kSessionFunction, 5);
    sim.answerStatus100Once(kSessionFunction);
    echo(observer, QStringLiteral("session"), true);
    ASSERT_TRUE(waitCalls(observer, 2));
    EXPECT_EQ(observer.echoed(1), QStringLiteral("session"));
    ASSERT_EQ(sessions.size(), 3);
    EXPECT_GE(sessions[1] - sessions[0], 45);
    EXPECT_GE(sessions[2] - sessions[1], 95);
    EXPECT_LT(sessions[2] - sessions[0], 2000);
}

TEST_F(CSNetworkE2E, LogonAndSessionRetriesRunInTheNetworksModesWhileAModalPanelRuns)
{
    net->setRetryDelays(0.3, 0.3);
    // The logon fails once in the default mode; the network then moves to the
    // modal-panel mode too, and the pending retry with it.
    sim.answerStatusNext(kLogon, 5);
    net->connectTo(tcServer());
    ASSERT_TRUE(spinUntil([&] { return !sim.received().isEmpty(); }));
    ASSERT_TRUE(sim.received().first().logon);
    spinFor(50ms);
    ASSERT_TRUE(net->setRunLoopModes(platform::RunLoopModes::common()));
    testsupport::ExpectModalDialogs ownSession;
    platform::ModalSession modal;
    Observer observer;
    echo(observer, QStringLiteral("logged on"));
    ASSERT_TRUE(waitCalls(observer, 1, 2s));
    EXPECT_EQ(observer.echoed(0), QStringLiteral("logged on"));

    // Status 100 twice: the second new session comes after the retry delay,
    // not after the panel, and the request goes again under its own id.
    sim.answerStatusNext(kEcho, 100);
    sim.answerStatusNext(kEcho, 100);
    const quint64 id = echo(observer, QStringLiteral("after two sessions"), true, 30);
    ASSERT_TRUE(waitCalls(observer, 2, 2s));
    EXPECT_EQ(observer.echoed(1), QStringLiteral("after two sessions"));
    const QList<brokersim::Request> sent = receivedOf(kEcho);
    ASSERT_EQ(sent.size(), 4);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(sent[i].packetId, qint64(id)) << i;

    // A connection made while the panel runs: its failed logon is retried
    // inside the panel too.
    sim.dropConnections();
    ASSERT_TRUE(spinUntil([&] { return delegate.didDisconnect == 1; }));
    sim.answerStatusNext(kLogon, 5);
    echo(observer, QStringLiteral("logged on again"));
    ASSERT_TRUE(waitCalls(observer, 3, 2s));
    EXPECT_EQ(observer.echoed(2), QStringLiteral("logged on again"));
}

TEST_F(CSNetworkE2E, GarbageAndBadFramesFromEitherSide)
{
    ASSERT_TRUE(connectAndLogOn());
    ASSERT_EQ(sim.connectionIds().size(), 1);
    const quint64 connection = sim.connectionIds().first();

    // Garbage, single sync bytes and a false start before the next reply.
    QByteArray garbage("not a frame at all \xFF\x01\x02 \xFF\xFF\xFF\xFF\xFFXXXX");
    garbage.append(QByteArray(200, 'g'));
    ASSERT_TRUE(sim.sendRaw(connection, garbage));
    Observer observer;
    echo(observer, QStringLiteral("after garbage"));
    ASSERT_TRUE(waitCalls(observer, 1));
    EXPECT_EQ(observer.echoed(0), QStringLiteral("after garbage"));

    // A reply frame with a bad checksum is dropped: its request times out.
    sim.withholdNext(kEcho);
    const quint64 id = echo(observer, QStringLiteral("forged"), false, 1);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    const auto payload = brokersim::encodeTables(
        { Table().column(QStringLiteral("echo")).row({ QStringLiteral("forged") }) }, 2);
    ASSERT_TRUE(payload);
    QByteArray frame = *VEKTCConnectionContext::replyFrame({ 0, qint64(id), false, false }, *payload);
    frame[96] = char(frame[96] ^ 0x01);
    ASSERT_TRUE(sim.sendRaw(connection, frame));
    ASSERT_TRUE(waitCalls(observer, 2, 3s));
    ASSERT_EQ(observer.errors.size(), 1u);
    EXPECT_EQ(observer.errors[0].second, CSErrors::requestTimeout());
    echo(observer, QStringLiteral("next"));
    ASSERT_TRUE(waitCalls(observer, 3));
    EXPECT_EQ(observer.echoed(1), QStringLiteral("next"));

    // The simulator shrugs off a client that sends garbage and bad frames.
    QSslSocket raw;
    QSslConfiguration config = raw.sslConfiguration();
    config.setCaCertificates(sim.trustedCertificates());
    raw.setSslConfiguration(config);
    raw.connectToHostEncrypted(QStringLiteral("127.0.0.1"), sim.tcPort());
    ASSERT_TRUE(spinUntil([&] { return raw.isEncrypted(); }));
    QByteArray bad = VEKTCConnectionContext::replyFrame({ 0, 9, false, false }, "text=x").value();
    bad[96] = char(bad[96] ^ 0x01);
    raw.write(garbage + bad + QByteArray(64, '\xFF'));
    QTcpSocket http;
    http.connectToHost(QStringLiteral("127.0.0.1"), sim.httpPort());
    ASSERT_TRUE(spinUntil([&] { return http.state() == QAbstractSocket::ConnectedState; }));
    http.write("GARBAGE / NOTHING\r\nContent-Length: x\r\n\r\n");
    ASSERT_TRUE(spinUntil([&] { return http.state() == QAbstractSocket::UnconnectedState; }));
    spinFor(50ms);
    EXPECT_TRUE(sim.isListening());
    echo(observer, QStringLiteral("still there"));
    ASSERT_TRUE(waitCalls(observer, 4));
    EXPECT_EQ(observer.echoed(2), QStringLiteral("still there"));
}

TEST_F(CSNetworkE2E, EndlessStatus100IsResentAFewTimesWithBackOffThenFails)
{
    ASSERT_TRUE(connectAndLogOn());
    // A server that answers this request with status 100 every time.
    for (int i = 0; i < 40; ++i)
        sim.answerStatusNext(kEcho, 100);
    Observer observer;
    QElapsedTimer clock;
    clock.start();
    echo(observer, QStringLiteral("again and again"), true, 30);
    ASSERT_TRUE(waitCalls(observer, 1, 20s));
    ASSERT_EQ(observer.errors.size(), 1u);
    EXPECT_EQ(observer.errors[0].second, CSErrors::sessionParam());
    // The first send and kMaxSessionResends resends, each after a new session.
    EXPECT_EQ(sim.receivedCount(kEcho), 1 + CSNetwork::kMaxSessionResends);
    EXPECT_LE(sim.receivedCount(kSessionFunction), 1 + CSNetwork::kMaxSessionResends);
    // After the first resend they wait for the session back-off (0.5 s here).
    EXPECT_GE(clock.elapsed(), 2 * 450);
    EXPECT_EQ(net->requestCount(), 0);

    // A later request starts its own count.
    sim.clearControls();
    sim.answerStatus100Once(kEcho);
    echo(observer, QStringLiteral("fine"), true);
    ASSERT_TRUE(waitCalls(observer, 2));
    EXPECT_EQ(observer.echoed(0), QStringLiteral("fine"));
}

TEST_F(CSNetworkE2E, AnIncompleteFrameThatWedgesTheReaderDropsTheConnection)
{
    ASSERT_TRUE(connectAndLogOn());
    const quint64 connection = sim.connectionIds().first();
    Observer pending; // waits longer than the wedged one
    sim.withholdNext(kEcho);
    echo(pending, QStringLiteral("pending"), false, 20);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));

    // A header with the right magic and a length under the cap, and only a
    // few bytes behind it: every reply after it would vanish into its body.
    QByteArray frame = *VEKTCConnectionContext::replyFrame({ 0, 99, false, false }, QByteArray(64, 'x'));
    const quint32 claimed = 1024 * 1024;
    qToLittleEndian<quint32>(claimed, frame.data() + 17);
    ASSERT_TRUE(sim.sendRaw(connection, frame.first(120)));
    Observer wedged;
    echo(wedged, QStringLiteral("swallowed"), false, 1);
    ASSERT_TRUE(waitCalls(wedged, 1, 5s));
    EXPECT_EQ(wedged.errors[0].second, CSErrors::requestTimeout());

    // The connection goes: the other request hears 300, neither is sent
    // again by itself, and the next one goes out on a new connection.
    ASSERT_TRUE(waitCalls(pending, 1, 5s));
    EXPECT_EQ(pending.errors[0].second, CSErrors::networkDisconnect());
    EXPECT_EQ(delegate.didDisconnect, 1);
    Observer after;
    echo(after, QStringLiteral("after"));
    ASSERT_TRUE(waitCalls(after, 1));
    EXPECT_EQ(after.echoed(0), QStringLiteral("after"));
    EXPECT_EQ(sim.receivedCount(kEcho), 3);
}

TEST_F(CSNetworkE2E, ACompressedReplyOfZerosIsRefusedAsNoData)
{
    ASSERT_TRUE(connectAndLogOn());
    const quint64 connection = sim.connectionIds().first();
    sim.withholdNext(kEcho);
    Observer observer;
    const quint64 id = echo(observer, QStringLiteral("bomb"));
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    const std::optional<QByteArray> packed = VEKCoder::dataByCompressData(QByteArray(16 * 1024 * 1024, '\0'));
    ASSERT_TRUE(packed);
    const auto frame = VEKTCConnectionContext::replyFrame({ 0, qint64(id), false, true }, *packed);
    ASSERT_TRUE(frame);
    ASSERT_TRUE(sim.sendRaw(connection, *frame));
    ASSERT_TRUE(waitCalls(observer, 1, 20s));
    ASSERT_EQ(observer.errors.size(), 1u);
    EXPECT_EQ(observer.errors[0].second, CSErrors::serverNoData());
}

TEST_F(CSNetworkE2E, RepliesReleasedInReverseOrderReachTheirOwnObservers)
{
    ASSERT_TRUE(connectAndLogOn());
    const quint64 connection = sim.connectionIds().first();
    sim.withholdNext(kEcho, 3);
    Observer first, second, third;
    const quint64 ids[] = { echo(first, QStringLiteral("one")), echo(second, QStringLiteral("two")),
        echo(third, QStringLiteral("three")) };
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 3; }));
    const QString texts[] = { QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three") };
    for (int i = 2; i >= 0; --i) {
        const auto payload
            = brokersim::encodeTables({ Table().column(QStringLiteral("echo")).row({ texts[i] }) }, 2);
        ASSERT_TRUE(payload);
        ASSERT_TRUE(sim.sendRaw(
            connection, *VEKTCConnectionContext::replyFrame({ 0, qint64(ids[i]), false, false }, *payload)));
    }
    ASSERT_TRUE(waitCalls(first, 1));
    ASSERT_TRUE(waitCalls(second, 1));
    ASSERT_TRUE(waitCalls(third, 1));
    EXPECT_EQ(first.echoed(0), QStringLiteral("one"));
    EXPECT_EQ(second.echoed(0), QStringLiteral("two"));
    EXPECT_EQ(third.echoed(0), QStringLiteral("three"));
    EXPECT_EQ(net->requestCount(), 0);
}
