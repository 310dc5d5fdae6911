// The server-list window's logic, without widgets.
#include "comm/crypto/AesEncryption.h"
#include "comm/request/CSNetwork.h"
#include "core/DMNotificationCenter.h"
#include "core/NotificationCenter.h"
#include "core/ServerListController.h"
#include "platform/PropertyList.h"
#include "platform/Reachability.h"
#include "support/LoopbackServer.h"
#include "support/Spin.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/LoginFunctions.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace std::chrono_literals;
using testsupport::spinFor;
using testsupport::spinUntil;

namespace {

QVariantMap serverList(const std::vector<std::pair<QString, quint16>>& servers)
{
    const QString key = QString::fromLatin1(DMServerManager::kStoredDataKey);
    QVariantList infos;
    for (const auto& [name, port] : servers) {
        infos << QVariantMap { { "name", name },
            { "ip_address", *AesEncryption::encodeStringWithAES("127.0.0.1", key) },
            { "port", *AesEncryption::encodeStringWithAES(QString::number(port), key) } };
    }
    return { { "info_list", infos } };
}

class Networks : public INetworkFactory {
public:
    std::map<int32_t, std::shared_ptr<CSNetwork>> made;
    std::shared_ptr<CSNetwork> getNetwork(int32_t kind) override
    {
        auto& network = made[kind];
        if (!network)
            network = std::make_shared<CSNetwork>();
        return network;
    }
    void setRetryFlag(bool) override { }
};

class ServerListControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(up.start());
        DMNotificationCenter::resetForTesting();
        platform::Reachability::setOverride([] { return true; });
        const quint16 dead = testsupport::unusedLoopbackPort();
        options.shippedPath = dir.filePath("shipped.plist");
        options.userPath = dir.filePath("user.plist");
        ASSERT_TRUE(platform::PropertyList::writeFileAtomic(options.shippedPath,
            QVariantMap { { "hq_servlist", serverList({ { "行情甲", up.port() }, { "行情乙", dead } }) },
                { "jy_servlist",
                    serverList(
                        { { "交易甲", up.port() }, { "同名", up.port() }, { "同名", up.port() } }) } }));
        makeManager();
    }
    // A manager with the lists as shipped.
    void makeManager()
    {
        manager.reset();
        QFile::remove(options.userPath);
        networks.made.clear();
        manager
            = std::make_unique<DMServerManager>([this] { return static_cast<INetworkFactory*>(&networks); },
                DMNotificationCenter::getInstance(), options);
    }
    void TearDown() override
    {
        manager.reset();
        DMNotificationCenter::resetForTesting();
        platform::Reachability::setOverride({});
    }

    static QString cell(const ServerListController& c, const char* column, int row)
    {
        return c.objectValue(QString::fromLatin1(column), row).toString();
    }
    // What the application login does to the lists.
    void rebuild(const QString& quotes, const QString& trades)
    {
        manager->updateServerInfo(*brokersim::serverListsReply(QStringLiteral("电信"), quotes, trades));
    }
    QStringList names(int32_t kind) const
    {
        QStringList out;
        for (const auto& server : manager->serverInfos(kind))
            out << server->getServerName();
        return out;
    }

    QTemporaryDir dir;
    testsupport::LoopbackServer up;
    DMServerManager::Options options;
    Networks networks;
    std::unique_ptr<DMServerManager> manager;
};

} // namespace

TEST_F(ServerListControllerTest, Verdicts)
{
    using V = ServerTestVerdict;
    EXPECT_EQ(serverTestVerdict(true, 0.25), (V { "250毫秒", "连接通畅", "推荐" }));
    EXPECT_EQ(serverTestVerdict(true, 0.0), (V { "0毫秒", "连接通畅", "推荐" }));
    EXPECT_EQ(serverTestVerdict(true, 0.9), (V { "900毫秒", "连接缓慢", "" }));
    EXPECT_EQ(serverTestVerdict(true, 1.0), (V { "1秒", "连接缓慢", "" }));
    EXPECT_EQ(serverTestVerdict(true, 2.4), (V { "2秒", "连接缓慢", "" }));
    EXPECT_EQ(serverTestVerdict(true, 59.0), (V { "59秒", "连接缓慢", "" }));
    EXPECT_EQ(serverTestVerdict(true, 60.0), (V { "1分钟", "严重拥堵", "" }));
    EXPECT_EQ(serverTestVerdict(true, 90.0), (V { "2分钟", "严重拥堵", "" })); // 1.5 rounded by the format
    // The boundaries: 300 ms is still recommended, a second is the first "秒",
    // a minute the first "分钟".
    EXPECT_EQ(serverTestVerdict(true, 0.3), (V { "300毫秒", "连接通畅", "推荐" }));
    EXPECT_EQ(serverTestVerdict(true, 0.3004), (V { "300毫秒", "连接缓慢", "" }));
    EXPECT_EQ(serverTestVerdict(true, 0.999), (V { "999毫秒", "连接缓慢", "" }));
    EXPECT_EQ(serverTestVerdict(true, 59.999), (V { "60秒", "连接缓慢", "" }));
    EXPECT_EQ(serverTestVerdict(false, 0.1), (V { "超时", "网络不通", "" }));
    EXPECT_EQ(serverTestVerdict(false, -1.0), (V { "超时", "网络不通", "" }));
}

TEST_F(ServerListControllerTest, TestRunRowsAndSegments)
{
    ServerListController c(manager.get());
    int reloads = 0;
    QObject::connect(&c, &ServerListController::rowsChanged, [&] { ++reloads; });
    c.windowDidLoad();
    EXPECT_EQ(c.tradeServerNames(), (QStringList { "交易甲", "同名", "同名" }));
    EXPECT_EQ(c.quoteServerNames(), (QStringList { "行情甲", "行情乙" }));
    EXPECT_EQ(c.tradeSelectedItem(), 0);
    EXPECT_EQ(c.quoteSelectedItem(), 0);
    EXPECT_EQ(c.numberOfRowsInTableView(), 0);
    EXPECT_FALSE(c.objectValue("ServerName", 0).isValid());

    // Segment 0 tests the trade list; rows appear as tests start.
    ASSERT_TRUE(c.testSpeedButtonClick(0));
    EXPECT_EQ(manager->delegate(), &c);
    EXPECT_FALSE(c.testSpeedButtonClick(0)); // while it runs: nothing changes
    ASSERT_TRUE(spinUntil([&] { return !manager->isTesting(); }));
    ASSERT_EQ(c.numberOfRowsInTableView(), 3);
    EXPECT_GE(reloads, 7); // start, 3 starts, 3 finishes
    int finished = 0;
    int pending = 0;
    for (int row = 0; row < 3; ++row) {
        if (cell(c, "TrafficTime", row) == "测试中") {
            ++pending;
            EXPECT_EQ(cell(c, "ServerName", row), "同名");
            EXPECT_TRUE(cell(c, "tag", row).isEmpty());
            continue;
        }
        ++finished;
        EXPECT_TRUE(cell(c, "TrafficTime", row).endsWith("毫秒"));
        EXPECT_EQ(cell(c, "NetworkStatus", row), "连接通畅");
        EXPECT_EQ(cell(c, "Suggest", row), "推荐");
        EXPECT_TRUE(cell(c, "tag", row).startsWith("200"));
    }
    // Of the two servers named alike, the first row took both results.
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(pending, 1);

    // A row whose test never finished has no tag: double-clicking it connects nothing.
    for (int row = 0; row < 3; ++row) {
        if (cell(c, "tag", row).isEmpty())
            c.tableItemDoubleClicked(0, row);
    }
    c.tableItemDoubleClicked(0, -1);
    c.tableItemDoubleClicked(0, 7);
    EXPECT_TRUE(networks.made.empty());

    // Switching the segment cancels a running test and empties the table;
    // the same segment again does nothing.
    ASSERT_TRUE(c.testSpeedButtonClick(0));
    c.testSpeedTypeSegmentedControlSelected(1);
    EXPECT_FALSE(manager->isTesting());
    EXPECT_EQ(c.numberOfRowsInTableView(), 0);
    EXPECT_EQ(c.testSelectedSegment(), 1);
    spinFor(100ms);
    EXPECT_EQ(c.numberOfRowsInTableView(), 0); // the cancelled test reports nothing
    ASSERT_TRUE(c.testSpeedButtonClick(1));
    ASSERT_TRUE(spinUntil([&] { return !manager->isTesting(); }));
    ASSERT_EQ(c.numberOfRowsInTableView(), 2);
    const int rowsBefore = c.numberOfRowsInTableView();
    c.testSpeedTypeSegmentedControlSelected(1);
    EXPECT_EQ(c.numberOfRowsInTableView(), rowsBefore);

    // The unreachable quote server's verdict.
    for (int row = 0; row < 2; ++row) {
        if (cell(c, "ServerName", row) == "行情乙") {
            EXPECT_EQ(cell(c, "TrafficTime", row), "超时");
            EXPECT_EQ(cell(c, "NetworkStatus", row), "网络不通");
        }
    }

    // Double-clicking a finished quote row connects the quote network to it and
    // selects it in the pop-up.
    int second = cell(c, "ServerName", 0) == "行情乙" ? 0 : 1;
    c.tableItemDoubleClicked(1, second);
    ASSERT_TRUE(networks.made.count(0));
    EXPECT_EQ(networks.made[0]->serverInfo()->protocolMode(), 1);
    EXPECT_EQ(manager->indexOfSelectedByType(0), 1);
    EXPECT_EQ(c.quoteSelectedItem(), 1);
}

// 测速 pressed without a network route ends, each server told unreachable;
// pressed again and the window closed before its verdicts, a window opened
// once the network is back tests at once.
TEST_F(ServerListControllerTest, ASpeedTestWithoutANetworkEndsAndTheButtonWorksAgain)
{
    const auto online = [](bool route) { platform::Reachability::setOverride([route] { return route; }); };
    const auto verdicts = [](const ServerListController& c) {
        QStringList out;
        for (int row = 0; row < c.numberOfRowsInTableView(); ++row)
            out << cell(c, "ServerName", row) + " " + cell(c, "NetworkStatus", row);
        out.sort();
        return out;
    };
    const int quotes = ServerListController::kQuoteSegment;
    online(false);
    auto c = std::make_unique<ServerListController>(manager.get());
    ASSERT_TRUE(c->testSpeedButtonClick(quotes));
    ASSERT_TRUE(spinUntil([&] { return !manager->isTesting(); }));
    EXPECT_EQ(verdicts(*c), (QStringList { "行情乙 网络不通", "行情甲 网络不通" }));
    EXPECT_EQ(cell(*c, "TrafficTime", 0), "超时");
    ASSERT_TRUE(c->testSpeedButtonClick(quotes));
    c.reset();
    ASSERT_TRUE(spinUntil([&] { return !manager->isTesting(); }));
    online(true);
    ServerListController again(manager.get());
    ASSERT_TRUE(again.testSpeedButtonClick(quotes));
    ASSERT_TRUE(spinUntil([&] { return !manager->isTesting(); }));
    EXPECT_EQ(verdicts(again), (QStringList { "行情乙 网络不通", "行情甲 连接通畅" }));
}

TEST_F(ServerListControllerTest, PopUpsConnectionsAndClosing)
{
    ServerListController c(manager.get());
    c.windowDidLoad();
    // A pick by hand connects and stores the choice.
    c.currentConnectionSelected(1, 2);
    ASSERT_TRUE(networks.made.count(1));
    EXPECT_TRUE(networks.made[1]->serverInfo()->needSSL());
    EXPECT_EQ(manager->indexOfSelectedByType(1), 2);
    EXPECT_EQ(c.tradeSelectedItem(), 2);
    EXPECT_EQ(DMServerManager([this] { return static_cast<INetworkFactory*>(&networks); },
                  DMNotificationCenter::getInstance(), options)
                  .indexOfSelectedByType(1),
        2);
    c.currentConnectionSelected(1, -1);
    c.currentConnectionSelected(4, 0);
    EXPECT_EQ(manager->indexOfSelectedByType(1), 2);

    // A server that cannot be dialled is refused: the choice stays, and the
    // pop-up is told to show it again.
    ASSERT_TRUE(platform::PropertyList::writeFileAtomic(options.userPath,
        QVariantMap { { "hq_servlist", serverList({ { "行情甲", up.port() } }) },
            { "jy_servlist", serverList({ { "交易甲", up.port() }, { "零", 0 } }) } }));
    DMServerManager zero([this] { return static_cast<INetworkFactory*>(&networks); },
        DMNotificationCenter::getInstance(), options);
    ServerListController refused(&zero);
    refused.windowDidLoad();
    int reloads = 0;
    QObject::connect(&refused, &ServerListController::popUpsChanged, [&] { ++reloads; });
    refused.currentConnectionSelected(1, 1);
    EXPECT_EQ(zero.indexOfSelectedByType(1), 0);
    EXPECT_EQ(refused.tradeSelectedItem(), 0);
    EXPECT_EQ(reloads, 1);

    // A retry to another server after a lost connection moves the pop-up.
    manager->reconnectToServerByType(1, quint64(0));
    EXPECT_EQ(c.tradeSelectedItem(), 0);

    // Closing posts type 10 with no object.
    std::vector<QVariant> closed;
    struct Watch {
        std::vector<QVariant>* out;
        void onClosed(const platform::Notification& n) { out->push_back(n.object); }
    } watch { &closed };
    NotificationCenter::getInstance()->addObserver(&watch, &Watch::onClosed, 10);
    c.windowWillClose();
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_FALSE(closed[0].isValid());
    NotificationCenter::getInstance()->removeObserver(&watch);

    // A controller that goes while it is the delegate leaves none behind.
    {
        ServerListController brief(manager.get());
        brief.testSpeedButtonClick(0);
        EXPECT_EQ(manager->delegate(), &brief);
    }
    EXPECT_EQ(manager->delegate(), nullptr);
    ASSERT_TRUE(spinUntil([&] { return !manager->isTesting(); }));
}

// The window shows the lists as they are now, whichever way they changed
// while it was open: the names and the selection follow, a test's rows (names
// and tags of the old lists) go, with the window's own test, and a name picked
// connects to the server that bears it.
TEST_F(ServerListControllerTest, TheWindowFollowsTheListItShows)
{
    const QString trades = QStringLiteral("新甲:127.0.0.2:9001,新乙:127.0.0.3:9002,新丙:127.0.0.4:9003");
    enum Before { Nothing, OwnTestRunning, OwnTestFinished };
    const struct {
        const char* name;
        Before before;
        QString quotes;
        QString trades;
        QStringList tradeNames;
        QStringList quoteNames;
    } rows[] = {
        { "as many servers, other names", Nothing, "", trades.section(',', 0, 2).replace("新丙", "同名"),
            { "新甲", "新乙", "同名" }, { "行情甲", "行情乙" } },
        { "more servers", Nothing, "行:127.0.0.9:80", trades + ",新丁:127.0.0.5:9004",
            { "新甲", "新乙", "新丙", "新丁" }, { "行" } },
        { "only the quote list", Nothing, "行一:127.0.0.8:80,行二:127.0.0.9:80", "坏:999.1.1.1:1",
            { "交易甲", "同名", "同名" }, { "行一", "行二" } },
        { "while the window's test runs", OwnTestRunning, "", trades, { "新甲", "新乙", "新丙" },
            { "行情甲", "行情乙" } },
        { "after the window's test ended", OwnTestFinished, "", trades, { "新甲", "新乙", "新丙" },
            { "行情甲", "行情乙" } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        makeManager();
        ServerListController c(manager.get());
        c.windowDidLoad();
        int popUps = 0;
        QObject::connect(&c, &ServerListController::popUpsChanged, [&] { ++popUps; });
        if (row.before != Nothing) {
            ASSERT_TRUE(c.testSpeedButtonClick(0));
            if (row.before == OwnTestFinished)
                ASSERT_TRUE(spinUntil([&] { return !manager->isTesting(); }));
            ASSERT_GT(c.numberOfRowsInTableView() + int(manager->isTesting()), 0);
        }
        rebuild(row.quotes, row.trades);
        EXPECT_EQ(names(1), row.tradeNames);
        EXPECT_EQ(c.tradeServerNames(), row.tradeNames);
        EXPECT_EQ(c.quoteServerNames(), row.quoteNames);
        EXPECT_EQ(c.tradeSelectedItem(), manager->indexOfSelectedByType(1));
        EXPECT_EQ(c.quoteSelectedItem(), manager->indexOfSelectedByType(0));
        EXPECT_GE(popUps, 1);
        // No row of the old lists stays, and the window's own test is over.
        EXPECT_EQ(c.numberOfRowsInTableView(), 0);
        EXPECT_FALSE(manager->isTesting());
        spinFor(100ms);
        EXPECT_EQ(c.numberOfRowsInTableView(), 0);
        c.tableItemDoubleClicked(0, 0);
        EXPECT_FALSE(networks.made.count(1));
        // The last name shown connects to the server of that name.
        const int last = int(c.tradeServerNames().size()) - 1;
        c.currentConnectionSelected(1, last);
        ASSERT_TRUE(networks.made.count(1));
        EXPECT_EQ(networks.made[1]->serverInfo()->address(),
            manager->DMServerInfoByType(1, quint64(last))->getServerIP());
        EXPECT_EQ(manager->DMServerInfoByType(1, quint64(last))->getServerName(), row.tradeNames.last());
    }
}

// A test the window did not start (the start-up's, or another's) is left to
// its starter, whichever way the window meets it: switching the tab cancels
// nothing, 测速 takes nothing over, a rebuild of the lists stops nothing, and
// the starter hears the results of the servers still listed. The window's
// own test is the window's to cancel.
TEST_F(ServerListControllerTest, ATestTheWindowDidNotStartIsLeftAlone)
{
    enum Way { RunningWhenOpened, StartedAfterTheWindowsEnded, ReplacedTheWindowsOwn, TheWindowsOwn };
    const struct {
        const char* name;
        Way way;
    } rows[] = {
        { "running when the window opened", RunningWhenOpened },
        { "started after the window's own test ended", StartedAfterTheWindowsEnded },
        { "started in place of the window's own", ReplacedTheWindowsOwn },
        { "the window's own", TheWindowsOwn },
    };
    struct Starter : DMServerManagerDelegate {
        int finished = 0;
        void serverManagerDidFinishedTest(DMServerManager&, const RDOServerInfo&, bool, double) override
        {
            ++finished;
        }
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        makeManager();
        Starter starter;
        const auto start = [&] {
            // As the start-up does: a test still running gives way to its own.
            manager->cancelTestingByType(-1);
            manager->setDelegate(&starter);
            ASSERT_TRUE(manager->startTestingByType(-1));
        };
        if (row.way == RunningWhenOpened)
            start();
        ServerListController c(manager.get());
        c.windowDidLoad();
        if (row.way != RunningWhenOpened) {
            ASSERT_TRUE(c.testSpeedButtonClick(0));
            if (row.way == StartedAfterTheWindowsEnded)
                ASSERT_TRUE(spinUntil([&] { return !manager->isTesting(); }));
            if (row.way != TheWindowsOwn)
                start();
        }
        const quint64 test = manager->runningTest();
        ASSERT_NE(test, 0u);
        const bool own = row.way == TheWindowsOwn;
        c.testSpeedTypeSegmentedControlSelected(1);
        EXPECT_EQ(manager->runningTest(), own ? 0 : test);
        if (own)
            continue;
        EXPECT_FALSE(c.testSpeedButtonClick(1));
        EXPECT_EQ(manager->delegate(), &starter);
        rebuild("", "新甲:127.0.0.2:9001");
        EXPECT_EQ(manager->runningTest(), test);
        EXPECT_EQ(manager->delegate(), &starter);
        ASSERT_TRUE(spinUntil([&] { return !manager->isTesting(); }));
        // The two quote servers; the trade list was rebuilt, and a result for
        // its old servers (whose tags name others now) is not passed on.
        EXPECT_EQ(starter.finished, 2);
        EXPECT_EQ(c.numberOfRowsInTableView(), 0);
    }
}
