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
