#include "comm/request/CSNetwork.h"
#include "comm/servertest/CSServerTestManager.h"
#include "comm/request/CSSession.h"
#include "comm/transport/Reachability.h"
#include "comm/servertest/VEKServerManager.h"
#include "comm/servertest/VEKTCServer.h"
#include "platform/NotificationCenter.h"
#include "platform/Reachability.h"
#include "platform/TlsTrust.h"
#include "support/LoopbackServer.h"
#include "support/ProxyServer.h"
#include "support/Spin.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/testpki/TestPki.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using testsupport::spinFor;
using testsupport::spinUntil;

namespace {

using ServerInfoPtr = CSServerTestManager::ServerInfoPtr;

struct Report {
    ServerInfoPtr server;
    bool reachable = false;
    double trafficTime = 0;
    bool onMainThread = false;
};

class Recorder : public CSServerTestManagerDelegate {
public:
    std::vector<ServerInfoPtr> started;
    std::vector<Report> finished;
    bool startedOffMain = false;
    std::function<void(CSServerTestManager&)> onFinish;

    void serverManagerWillStartTest(CSServerTestManager&, const ServerInfoPtr& server) override
    {
        startedOffMain |= QThread::currentThread() != QCoreApplication::instance()->thread();
        started.push_back(server);
    }
    void serverManagerDidFinishedTest(
        CSServerTestManager& manager, const ServerInfoPtr& server, bool reachable, double time) override
    {
        finished.push_back(
            { server, reachable, time, QThread::currentThread() == QCoreApplication::instance()->thread() });
        if (onFinish)
            onFinish(manager);
    }
    const Report* reportOf(const ServerInfoPtr& server) const
    {
        for (const Report& r : finished) {
            if (r.server == server)
                return &r;
        }
        return nullptr;
    }
};

ServerInfoPtr server(quint16 port, bool tls = false, qint64 timeout = 5)
{
    CSServerInfo info = *CSServerInfo::initWithAddress(QStringLiteral("127.0.0.1"), port);
    info.setNeedSSL(tls);
    info.setTimeout(timeout);
    return std::make_shared<const CSServerInfo>(info);
}

class ServerTestManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Reachability::setOverride([] { return true; });
        platform::TlsTrust::reset();
    }
    void TearDown() override
    {
        platform::Reachability::setOverride({});
        Reachability::setFlagsOverride({});
        platform::TlsTrust::reset();
    }
};

// A probe's own delegate, for the proxy paths (the server info has no proxy port to give).
class ProbeDelegate : public VEKServerDelegate {
public:
    quint16 proxyPort = 0;
    QString user;
    QString password;
    int started = 0;
    int finished = 0;
    void serverWillStartTest(VEKServer&) override { ++started; }
    void serverDidFinishedTest(VEKServer&) override { ++finished; }
    std::optional<QString> serverConnectProxyAddress(VEKServer&) override
    {
        return QStringLiteral("127.0.0.1");
    }
    std::optional<quint16> serverConnectProxyPort(VEKServer&) override { return proxyPort; }
    std::optional<QString> serverConnectProxyUser(VEKServer&) override { return user; }
    std::optional<QString> serverConnectProxyPassword(VEKServer&) override { return password; }
};

} // namespace

TEST_F(ServerTestManagerTest, ProbesSimulatorFrontsAndRefusedPort)
{
    brokersim::BrokerSimulator sim;
    ASSERT_TRUE(sim.start());
    platform::TlsTrust::addCaCertificates(sim.trustedCertificates());
    const quint16 refused = testsupport::unusedLoopbackPort();

    CSServerTestManager manager;
    Recorder recorder;
    manager.setDelegate(&recorder);
    EXPECT_FALSE(manager.startTesting()); // no list

    const ServerInfoPtr tls = server(sim.tcPort(), true);
    const ServerInfoPtr http = server(sim.httpPort());
    const ServerInfoPtr dead = server(refused);
    const ServerInfoPtr tcpOnly = server(sim.tcPort()); // leaves before the TLS handshake
    manager.setServerList({ tls, http, dead, tcpOnly });
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(manager.startTesting());
    EXPECT_TRUE(manager.isRunning());
    EXPECT_FALSE(manager.startTesting()); // one test at a time

    const auto map = manager.serverMap();
    ASSERT_EQ(map.size(), 4u);
    EXPECT_EQ(map.at(100), tls);
    EXPECT_EQ(map.at(101), http);
    EXPECT_EQ(map.at(102), dead);
    EXPECT_EQ(map.at(103), tcpOnly);
    ASSERT_EQ(manager.manager()->serverList().size(), 4u);
    EXPECT_EQ(manager.manager()->serverList()[0]->tag(), 100u);
    EXPECT_TRUE(manager.manager()->serverList()[0]->needSSL());
    EXPECT_EQ(manager.manager()->serverList()[2]->tag(), 102u);

    ASSERT_TRUE(spinUntil([&] { return recorder.finished.size() == 4; }));
    EXPECT_LT(clock.elapsed(), 4000); // the refused port answers at once, not at its time-out
    EXPECT_EQ(recorder.started.size(), 4u);
    EXPECT_FALSE(recorder.startedOffMain);
    for (const Report& r : recorder.finished)
        EXPECT_TRUE(r.onMainThread);
    ASSERT_TRUE(recorder.reportOf(tls) && recorder.reportOf(http) && recorder.reportOf(dead));
    EXPECT_TRUE(recorder.reportOf(tls)->reachable);
    EXPECT_GE(recorder.reportOf(tls)->trafficTime, 0.0);
    EXPECT_LT(recorder.reportOf(tls)->trafficTime, 4.0);
    EXPECT_TRUE(recorder.reportOf(http)->reachable);
    EXPECT_GE(recorder.reportOf(http)->trafficTime, 0.0);
    EXPECT_FALSE(recorder.reportOf(dead)->reachable);
    EXPECT_EQ(recorder.reportOf(dead)->trafficTime, -1.0);
    EXPECT_TRUE(recorder.reportOf(tcpOnly)->reachable);
    EXPECT_FALSE(manager.isRunning());
    EXPECT_TRUE(manager.serverMap().empty());

    // Probes that connected, finished TLS and left have not upset the
    // simulator: both fronts still serve requests.
    ASSERT_TRUE(spinUntil([&] { return sim.connectionCount() == 0; }));
    sim.registerFunction(900, 1, [](const brokersim::Request& r, brokersim::BrokerState&) {
        return brokersim::Reply::withTable(
            brokersim::Table().column(QStringLiteral("echo")).row({ r.valueOr(QStringLiteral("text")) }));
    });
    CSSession::releaseAll();
    ASSERT_TRUE(
        CSNetwork::setConfigUtid(QStringLiteral("T0001"), QStringLiteral("lumora"), QStringLiteral("1.0")));
    struct Echo : CSNetworkObserver {
        QStringList texts;
        bool respondWithRecordSet(const std::vector<VEKTCRS>& sets, const QString&) override
        {
            VEKTCRS set = sets.front();
            texts << (set.fetchFirst() ? set.toStringWithName(QStringLiteral("echo")) : QString());
            return true;
        }
    } echo;
    CSNetwork tc;
    CSNetwork web;
    CSServerInfo webInfo = *CSServerInfo::initWithAddress(QStringLiteral("127.0.0.1"), sim.httpPort());
    webInfo.setProtocolMode(1);
    tc.connectTo(*tls);
    web.connectTo(webInfo);
    CSPacket packet(900, 1, QStringLiteral("text=after"));
    packet.setEncoding(2);
    EXPECT_NE(tc.sendRequestWithObserver(&echo, QStringLiteral("tc"), &packet, 5), 0u);
    EXPECT_NE(web.sendRequestWithObserver(&echo, QStringLiteral("web"), &packet, 5), 0u);
    ASSERT_TRUE(spinUntil([&] { return echo.texts.size() == 2; }));
    EXPECT_EQ(echo.texts, (QStringList { "after", "after" }));
    CSSession::releaseAll();
}

TEST_F(ServerTestManagerTest, ListEntriesAndCancel)
{
    testsupport::LoopbackServer plain;
    ASSERT_TRUE(plain.start());

    // Entries that are no server infos are skipped, their position still counts.
    CSServerTestManager manager;
    Recorder recorder;
    manager.setDelegate(&recorder);
    manager.setServerList({ nullptr, nullptr });
    EXPECT_FALSE(manager.startTesting());
    EXPECT_FALSE(manager.isRunning());
    const ServerInfoPtr one = server(plain.port());
    manager.setServerList({ nullptr, one });
    ASSERT_TRUE(manager.startTesting());
    EXPECT_EQ(manager.serverMap().begin()->first, 101u);
    ASSERT_TRUE(spinUntil([&] { return recorder.finished.size() == 1; }));
    EXPECT_TRUE(recorder.finished[0].reachable);
    EXPECT_FALSE(manager.isRunning());

    // A test cancelled right after it started reports nothing, not even the start.
    Recorder quiet;
    CSServerTestManager cancelled;
    cancelled.setDelegate(&quiet);
    cancelled.setServerList({ one, server(plain.port()) });
    ASSERT_TRUE(cancelled.startTesting());
    cancelled.cancel();
    EXPECT_FALSE(cancelled.isRunning());
    EXPECT_TRUE(cancelled.serverMap().empty());
    EXPECT_EQ(cancelled.manager(), nullptr);
    spinFor(200ms);
    EXPECT_TRUE(quiet.started.empty());
    EXPECT_TRUE(quiet.finished.empty());

    // A delegate that cancels from inside a report ends the test there.
    Recorder stopper;
    stopper.onFinish = [](CSServerTestManager& m) { m.cancel(); };
    CSServerTestManager third;
    third.setDelegate(&stopper);
    third.setServerList({ one, server(plain.port()), server(plain.port()) });
    ASSERT_TRUE(third.startTesting());
    ASSERT_TRUE(spinUntil([&] { return !stopper.finished.empty(); }));
    spinFor(200ms);
    EXPECT_EQ(stopper.finished.size(), 1u);
    EXPECT_FALSE(third.isRunning());
}

TEST_F(ServerTestManagerTest, TlsVerifiedAndEveryProbeBoundedByItsTimeout)
{
    const testpki::TestPki pki = testpki::makeTestPki();
    platform::TlsTrust::addCaCertificates({ pki.ca.certificate() });
    testpki::Identity untrusted = pki.untrusted;

    testsupport::LoopbackServer trusted;
    trusted.setIdentity(pki.server.certificate(), pki.server.privateKey());
    trusted.setImmediateTls(true);
    ASSERT_TRUE(trusted.start());
    testsupport::LoopbackServer stranger;
    stranger.setIdentity(untrusted.certificate(), untrusted.privateKey());
    stranger.setImmediateTls(true);
    ASSERT_TRUE(stranger.start());
    // Accepts TCP and never answers the TLS handshake.
    testsupport::LoopbackServer mute;
    ASSERT_TRUE(mute.start());
    testsupport::LoopbackBlackhole hole;
    ASSERT_TRUE(hole.isValid());

    const ServerInfoPtr good = server(trusted.port(), true);
    const ServerInfoPtr bad = server(stranger.port(), true);
    const ServerInfoPtr silent = server(mute.port(), true, 1);
    const ServerInfoPtr unanswered = server(hole.port(), false, 1);
    CSServerTestManager manager;
    Recorder recorder;
    manager.setDelegate(&recorder);
    manager.setServerList({ good, bad, silent, unanswered });
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(manager.startTesting());
    ASSERT_TRUE(spinUntil([&] { return recorder.finished.size() == 4; }, 6s));
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_TRUE(recorder.reportOf(good)->reachable);
    EXPECT_GT(recorder.reportOf(good)->trafficTime, 0.0);
    // Verification stays on whatever the settings ask for.
    EXPECT_FALSE(recorder.reportOf(bad)->reachable);
    EXPECT_EQ(recorder.reportOf(bad)->trafficTime, -1.0);
    EXPECT_FALSE(recorder.reportOf(silent)->reachable);
    EXPECT_EQ(recorder.reportOf(silent)->trafficTime, -1.0);
    EXPECT_FALSE(recorder.reportOf(unanswered)->reachable);
    EXPECT_EQ(recorder.reportOf(unanswered)->trafficTime, -1.0);
    EXPECT_FALSE(manager.isRunning());

    const std::optional<QVariantMap> settings = manager.serverSSLSetting(*manager.manager()->serverList()[0]);
    ASSERT_TRUE(settings);
    EXPECT_TRUE(settings->value(kCFStreamSSLAllowsAnyRoot).toBool());
    EXPECT_FALSE(settings->value(kCFStreamSSLValidatesCertificateChain).toBool());
    EXPECT_EQ(manager.serverBase64EncodeString(*manager.manager()->serverList()[0], "a:b"), "YTpi");
}

// Without a network route no probe dials, and each server is told as a probe
// that could not connect is: the test ends, and the next one may start.
TEST_F(ServerTestManagerTest, NoNetworkRouteEndsTheTestWithEveryServerUnreachable)
{
    platform::Reachability::setOverride([] { return false; });
    testsupport::LoopbackServer plain;
    ASSERT_TRUE(plain.start());
    CSServerTestManager manager;
    Recorder recorder;
    manager.setDelegate(&recorder);
    const ServerInfoPtr first = server(plain.port());
    const ServerInfoPtr second = server(plain.port(), true);
    manager.setServerList({ first, nullptr, second });
    EXPECT_TRUE(manager.startTesting());
    EXPECT_TRUE(manager.isRunning());
    EXPECT_TRUE(recorder.started.empty()); // told on the main thread, as probes tell
    ASSERT_TRUE(spinUntil([&] { return !manager.isRunning(); }));
    EXPECT_EQ(recorder.started, (std::vector<ServerInfoPtr> { first, second }));
    ASSERT_EQ(recorder.finished.size(), 2u);
    for (const Report& r : recorder.finished) {
        EXPECT_FALSE(r.reachable);
        EXPECT_EQ(r.trafficTime, -1.0);
        EXPECT_TRUE(r.onMainThread);
    }
    EXPECT_TRUE(manager.serverMap().empty());
    EXPECT_EQ(plain.connectionCount(), 0);

    // A test cancelled before it was told reports nothing: the one started
    // after it reports its own servers alone.
    Recorder again;
    manager.setDelegate(&again);
    ASSERT_TRUE(manager.startTesting());
    manager.cancel();
    ASSERT_TRUE(manager.startTesting());
    ASSERT_TRUE(spinUntil([&] { return !manager.isRunning(); }));
    EXPECT_EQ(again.started.size(), 2u);
    EXPECT_EQ(again.finished.size(), 2u);

    VEKServerManager probes;
    EXPECT_FALSE(probes.starTesting()); // empty list
    probes.setServerList({ VEKTCServer::serverWithHost(QStringLiteral("127.0.0.1"), plain.port()) });
    EXPECT_FALSE(probes.starTesting()); // no route
}

TEST_F(ServerTestManagerTest, ProbeLifeAndProxies)
{
    testsupport::LoopbackServer target;
    ASSERT_TRUE(target.start());

    // The base operation: defaults, notices, a cancelled probe only finishes.
    VEKServer base(QStringLiteral("example"), 80);
    EXPECT_EQ(base.trafficTime(), -1.0);
    EXPECT_EQ(base.timeout(), 30);
    EXPECT_TRUE(base.isConcurrent());
    base.setProxyMode(0xB);
    EXPECT_EQ(base.proxyMode(), 3);
    QStringList notices;
    base.setKeyValueObserver([&](VEKServer&, const char* key) { notices << key; });
    ProbeDelegate told;
    base.setDelegate(&told);
    base.cancel();
    base.start();
    EXPECT_TRUE(base.isFinished());
    EXPECT_FALSE(base.isExecuting());
    EXPECT_EQ(notices, QStringList { "isFinished" });
    spinFor(50ms);
    EXPECT_EQ(told.started + told.finished, 0);

    // HTTP CONNECT with credentials, SOCKS5, and a proxy that refuses.
    struct Case {
        testsupport::ProxyServer::Kind kind;
        qint32 mode;
        bool refuse;
    };
    for (const Case c : { Case { testsupport::ProxyServer::HttpConnect, 1, false },
             Case { testsupport::ProxyServer::Socks5, 3, false },
             Case { testsupport::ProxyServer::Socks4, 2, true } }) {
        testsupport::ProxyServer proxy(c.kind);
        if (c.kind != testsupport::ProxyServer::Socks4)
            proxy.setCredentials("alice", "s3cret");
        proxy.setRefuse(c.refuse);
        ASSERT_TRUE(proxy.start());
        ProbeDelegate delegate;
        delegate.proxyPort = proxy.port();
        delegate.user = QStringLiteral("alice");
        delegate.password = QStringLiteral("s3cret");
        auto probe = VEKTCServer::serverWithHost(QStringLiteral("127.0.0.1"), target.port());
        probe->setProxyMode(c.mode);
        probe->setTimeout(5);
        probe->setDelegate(&delegate);
        probe->start();
        ASSERT_TRUE(spinUntil([&] { return delegate.finished == 1; })) << c.mode;
        EXPECT_EQ(delegate.started, 1);
        EXPECT_EQ(probe->reachable(), !c.refuse) << c.mode;
        EXPECT_EQ(probe->proxyStatus(), c.refuse ? 8 : 9) << c.mode;
        if (c.refuse) {
            EXPECT_EQ(probe->trafficTime(), -1.0);
        } else {
            EXPECT_GE(probe->trafficTime(), 0.0);
            EXPECT_EQ(proxy.targetPort(), target.port());
        }
        EXPECT_TRUE(probe->waitForThread(2000));
    }

    // A probe destroyed while it waits cancels and joins its thread; nothing is reported.
    testsupport::LoopbackServer mute;
    ASSERT_TRUE(mute.start());
    ProbeDelegate waiting;
    {
        auto probe = VEKTCServer::serverWithHost(QStringLiteral("127.0.0.1"), mute.port());
        probe->setNeedSSL(true);
        probe->setDelegate(&waiting);
        probe->start();
        ASSERT_TRUE(mute.waitForConnections(1));
        QElapsedTimer clock;
        clock.start();
        probe.reset();
        // Cancelled, not left to its own time-out (which a loaded machine
        // may stretch the join towards, but never reach).
        EXPECT_LT(clock.elapsed(), VEKServer::kDefaultTimeout * 1000 / 2);
    }
    spinFor(50ms);
    EXPECT_EQ(waiting.finished, 0);
}

TEST_F(ServerTestManagerTest, ReachabilityRules)
{
    using R = Reachability;
    EXPECT_EQ(R::networkStatusForFlags(0), NotReachable);
    EXPECT_EQ(R::networkStatusForFlags(R::kFlagReachable), ReachableViaNetwork);
    EXPECT_EQ(R::networkStatusForFlags(R::kFlagReachable | R::kFlagConnectionRequired), NotReachable);
    EXPECT_EQ(R::networkStatusForFlags(
                  R::kFlagReachable | R::kFlagConnectionRequired | R::kFlagConnectionOnTraffic),
        ReachableViaNetwork);
    EXPECT_EQ(R::networkStatusForFlags(R::kFlagReachable | R::kFlagConnectionRequired
                  | R::kFlagConnectionOnDemand | R::kFlagInterventionRequired),
        NotReachable);
    EXPECT_EQ(R::networkStatusForFlags(R::kFlagConnectionOnTraffic), NotReachable);
    EXPECT_EQ(R::localWiFiStatusForFlags(R::kFlagReachable), NotReachable);
    EXPECT_EQ(R::localWiFiStatusForFlags(R::kFlagReachable | R::kFlagIsDirect), ReachableViaNetwork);
    EXPECT_EQ(R::localWiFiStatusForFlags(R::kFlagIsDirect), NotReachable);

    EXPECT_EQ(R::reachabilityWithHostName(QString()), nullptr);
    EXPECT_EQ(R::reachabilityWithAddress(QByteArray("xx")), nullptr);
    EXPECT_TRUE(R::reachabilityForLocalWiFi()->isLocalWiFi());
    EXPECT_FALSE(R::reachabilityForInternetConnection()->isLocalWiFi());
    // The loopback is always there; the internet follows the platform's answer.
    EXPECT_EQ(R::reachabilityWithHostName(QStringLiteral("localhost"))->currentReachabilityStatus(),
        ReachableViaNetwork);
    platform::Reachability::setOverride([] { return false; });
    EXPECT_EQ(R::reachabilityForInternetConnection()->currentReachabilityStatus(), NotReachable);
    EXPECT_EQ(R::reachabilityWithHostName(QStringLiteral("trade.example"))->currentReachabilityStatus(),
        NotReachable);

    // Unreadable flags: not reachable, no connection required.
    std::optional<quint32> flags;
    R::setFlagsOverride([&](const R&) { return flags; });
    auto internet = R::reachabilityForInternetConnection();
    EXPECT_EQ(internet->currentReachabilityStatus(), NotReachable);
    EXPECT_FALSE(internet->connectionRequired());
    flags = R::kFlagReachable | R::kFlagConnectionRequired;
    EXPECT_TRUE(internet->connectionRequired());

    // A started notifier posts each change, with the object.
    int posts = 0;
    QVariant object;
    platform::NotificationToken token = platform::observeNotification(
        QString::fromLatin1(kReachabilityChangedNotification), [&](const platform::Notification& n) {
            ++posts;
            object = n.object;
        });
    internet->setPollInterval(0.01);
    EXPECT_TRUE(internet->startNotifier());
    EXPECT_FALSE(internet->startNotifier());
    spinFor(50ms);
    EXPECT_EQ(posts, 0);
    flags = R::kFlagReachable;
    ASSERT_TRUE(spinUntil([&] { return posts == 1; }));
    EXPECT_EQ(object.value<void*>(), static_cast<void*>(internet.get()));
    internet->stopNotifier();
    flags = 0;
    spinFor(50ms);
    EXPECT_EQ(posts, 1);
}
