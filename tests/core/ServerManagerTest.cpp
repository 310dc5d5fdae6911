// Server lists, selection, the rebuild from the application login, connecting
// and reconnect stepping, speed tests through the server manager.
#include "comm/crypto/AesEncryption.h"
#include "comm/request/CSNetwork.h"
#include "comm/request/CSSession.h"
#include "core/DMNotificationCenter.h"
#include "core/DMServerManager.h"
#include "core/NetworkFactory.h"
#include "core/ServerListController.h"
#include "platform/PropertyList.h"
#include "platform/Reachability.h"
#include "platform/TlsTrust.h"
#include "support/LoopbackServer.h"
#include "support/ShortLockWait.h"
#include "support/Spin.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/LoginFunctions.h"
#include "tools/broker-sim/Table.h"

#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace std::chrono_literals;
using testsupport::spinFor;
using testsupport::spinUntil;

namespace {

const QString kKey = QString::fromLatin1(DMServerManager::kStoredDataKey);

QString enc(const QString& text)
{
    return *AesEncryption::encodeStringWithAES(text, kKey);
}

QString dec(const QVariant& text)
{
    return AesEncryption::decodeStringWithAES(text.toString(), kKey).value_or(QStringLiteral("<none>"));
}

struct Entry {
    QString name;
    QString ip;
    QString port;
    QString provider;
};

QVariantMap listDict(
    const std::vector<Entry>& entries, const QString& selectedIp, const QString& selectedPort)
{
    QVariantList infos;
    for (const Entry& e : entries) {
        QVariantMap d;
        d["ip_address"] = e.ip == "<bad>" ? QStringLiteral("bm90IGEgY2lwaGVy") : enc(e.ip);
        d["port"] = enc(e.port);
        if (!e.name.isNull())
            d["name"] = e.name;
        if (!e.provider.isNull())
            d["provider_name"] = e.provider;
        infos << d;
    }
    QVariantMap list;
    list["info_list"] = infos;
    if (!selectedIp.isEmpty()) {
        list["selected_ip"] = enc(selectedIp);
        list["selected_port"] = enc(selectedPort);
    }
    return list;
}

QVariantMap document(const QVariantMap& quote, const QVariantMap& trade)
{
    return { { "hq_servlist", quote }, { "jy_servlist", trade } };
}

// A network per kind that is made but never asked to connect by the factory.
class FakeFactory : public INetworkFactory {
public:
    std::map<int32_t, std::shared_ptr<CSNetwork>> networks;
    std::optional<bool> retryFlag;
    std::shared_ptr<CSNetwork> getNetwork(int32_t kind) override
    {
        auto& network = networks[kind];
        if (!network)
            network = std::make_shared<CSNetwork>();
        return network;
    }
    std::shared_ptr<CSNetwork> existingNetwork(int32_t kind) const override
    {
        const auto found = networks.find(kind);
        return found == networks.end() ? nullptr : found->second;
    }
    void setRetryFlag(bool flag) override { retryFlag = flag; }
};

struct Posts {
    std::vector<QVariant> restarts;
    void onRestart(const platform::Notification& n) { restarts.push_back(n.object); }
};

class Listener : public DMServerManagerDelegate {
public:
    QStringList started;
    std::map<QString, std::pair<bool, double>> finished; // by tag
    std::vector<std::pair<std::optional<QString>, std::optional<QString>>> publicIPs;
    void serverManagerWillStartTest(DMServerManager&, const RDOServerInfo& server) override
    {
        started << server.getTag();
    }
    void serverManagerDidFinishedTest(
        DMServerManager&, const RDOServerInfo& server, bool reachable, double time) override
    {
        finished[server.getTag()] = { reachable, time };
    }
    void serverManager(
        DMServerManager&, const std::optional<QString>& ip, const std::optional<QString>& op) override
    {
        publicIPs.emplace_back(ip, op);
    }
};

class ServerManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        DMNotificationCenter::resetForTesting();
        platform::Reachability::setOverride([] { return true; });
        options.shippedPath = dir.filePath("shipped.plist");
        options.userPath = dir.filePath("Config/ServerInfo.plist");
        options.firstRetryDelay = 0.05;
        options.maxRetryDelay = 0.4;
        // How long a server served is timed on this clock, moved by the tests.
        options.clock = [this] { return clockNow; };
        QDir(dir.path()).mkpath("Config");
        DMNotificationCenter::getInstance()->addObserver(&posts, &Posts::onRestart, 0);
    }
    void TearDown() override
    {
        DMNotificationCenter::resetForTesting();
        platform::Reachability::setOverride({});
        NetworkFactory::resetInstance();
    }

    void writeShipped(const QVariantMap& doc)
    {
        ASSERT_TRUE(platform::PropertyList::writeFileAtomic(options.shippedPath, doc));
    }
    void writeUser(const QVariantMap& doc)
    {
        ASSERT_TRUE(platform::PropertyList::writeFileAtomic(options.userPath, doc));
    }
    QVariantMap userCopy() const
    {
        return platform::PropertyList::readFile(options.userPath).value_or(QVariant()).toMap();
    }
    std::unique_ptr<DMServerManager> make()
    {
        return std::make_unique<DMServerManager>([this] { return static_cast<INetworkFactory*>(&factory); },
            DMNotificationCenter::getInstance(), options);
    }
    static QStringList tags(DMServerManager& m, int32_t type)
    {
        QStringList out;
        for (const auto& s : m.serverInfos(type))
            out << s->getTag();
        return out;
    }
    static QStringList names(DMServerManager& m, int32_t type)
    {
        QStringList out;
        for (const auto& s : m.serverInfos(type))
            out << s->getServerName();
        return out;
    }

    // A server of the kind accepts the logon and serves for `seconds`.
    void serve(INetworkServerManager& m, int32_t type, double seconds)
    {
        m.logonAcceptedByType(type);
        clockNow += std::chrono::round<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(seconds));
    }

    QTemporaryDir dir;
    std::chrono::steady_clock::time_point clockNow = std::chrono::steady_clock::time_point() + 1h;
    DMServerManager::Options options;
    FakeFactory factory;
    Posts posts;
};

const std::vector<Entry> kQuotes
    = { { "行情一", "10.0.0.1", "8001", "电信" }, { "行情二", "10.0.0.2", "8002", {} } };
const std::vector<Entry> kTrades = { { "交易一", "10.0.1.1", "9001", "电信" },
    { "交易二", "10.0.1.2", "9002", "联通" }, { "交易三", "10.0.1.3", "9003", "联通" } };

} // namespace

TEST_F(ServerManagerTest, ShippedListWhenTheUserCopyIsMissingOrDamaged)
{
    writeShipped(document(listDict(kQuotes, "10.0.0.2", "8002"), listDict(kTrades, "10.0.1.2", "9002")));

    // No user copy: the shipped lists, tags counting from 1000 and 2000, the stored selection.
    auto m = make();
    EXPECT_EQ(tags(*m, 0), (QStringList { "1000", "1001" }));
    EXPECT_EQ(tags(*m, 1), (QStringList { "2000", "2001", "2002" }));
    EXPECT_EQ(m->indexOfSelectedByType(0), 1);
    EXPECT_EQ(m->indexOfSelectedByType(1), 1);
    const auto first = m->DMServerInfoByType(0, quint64(0));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->getServerIP(), "10.0.0.1");
    EXPECT_EQ(first->getServerPort(), "8001");
    EXPECT_EQ(first->getProviderName(), QString("电信"));
    EXPECT_FALSE(m->DMServerInfoByType(0, quint64(1))->getProviderName());
    EXPECT_FALSE(QFile::exists(options.userPath)); // loading writes nothing

    // A user copy that does not parse is treated as absent.
    QFile bad(options.userPath);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("<plist><dict><key>hq_servlist</key>");
    bad.close();
    EXPECT_EQ(names(*make(), 1), (QStringList { "交易一", "交易二", "交易三" }));

    // A readable user copy wins; one server whose address does not decrypt
    // abandons both of its lists for the shipped copy.
    writeUser(document(listDict({ { "我的行情", "10.9.0.1", "7001", {} } }, {}, {}),
        listDict({ { "我的交易", "10.9.1.1", "7101", {} } }, "10.9.1.1", "7101")));
    m = make();
    EXPECT_EQ(names(*m, 0), QStringList { "我的行情" });
    EXPECT_EQ(m->indexOfSelectedByType(0), 0); // no stored selection
    writeUser(document(listDict({ { "我的行情", "10.9.0.1", "7001", {} } }, {}, {}),
        listDict({ { "我的交易", "<bad>", "7101", {} } }, {}, {})));
    m = make();
    EXPECT_EQ(names(*m, 0), (QStringList { "行情一", "行情二" }));
    EXPECT_EQ(names(*m, 1), (QStringList { "交易一", "交易二", "交易三" }));
    // The next save mends the damaged copy whole: both lists as shown.
    m->setIndexOfSelectedByType(1, 2);
    m = make();
    EXPECT_EQ(names(*m, 0), (QStringList { "行情一", "行情二" }));
    EXPECT_EQ(m->indexOfSelectedByType(1), 2);

    // A selection matching two entries picks the later; an entry without a
    // name is skipped without shifting tags or the selection.
    writeUser(document(listDict({ { "甲", "10.0.0.7", "1", {} }, { {}, "10.0.0.8", "2", {} },
                                    { "乙", "10.0.0.9", "3", {} }, { "丙", "10.0.0.9", "3", {} } },
                           "10.0.0.9", "3"),
        listDict(kTrades, "10.0.1.3", "9003")));
    m = make();
    EXPECT_EQ(names(*m, 0), (QStringList { "甲", "乙", "丙" }));
    EXPECT_EQ(tags(*m, 0), (QStringList { "1000", "1001", "1002" }));
    EXPECT_EQ(m->indexOfSelectedByType(0), 2);
    EXPECT_EQ(m->DMServerInfoOfSelectedByType(0)->getServerName(), "丙");
    EXPECT_EQ(m->indexOfSelectedByType(1), 2);

    // Nothing readable at all: empty lists, nothing selected.
    QFile::remove(options.userPath);
    QFile::remove(options.shippedPath);
    m = make();
    EXPECT_EQ(m->numberOfServerInfosByType(0), 0u);
    EXPECT_EQ(m->indexOfSelectedByType(0), -1);
    EXPECT_EQ(m->indexOfSelectedByType(1), -1);
    EXPECT_FALSE(m->DMServerInfoOfSelectedByType(1));

    // The copy shipped as a resource with this build: the local simulator's fronts.
    DMServerManager::Options shipped;
    shipped.userPath = dir.filePath("none/ServerInfo.plist");
    DMServerManager real([this] { return static_cast<INetworkFactory*>(&factory); },
        DMNotificationCenter::getInstance(), shipped);
    ASSERT_EQ(real.numberOfServerInfosByType(0), 2u);
    ASSERT_EQ(real.numberOfServerInfosByType(1), 2u);
    EXPECT_EQ(real.DMServerInfoOfSelectedByType(1)->getServerIP(), "127.0.0.1");
    EXPECT_EQ(real.DMServerInfoOfSelectedByType(1)->getServerPort(), "18701");
    EXPECT_EQ(real.DMServerInfoOfSelectedByType(0)->getServerPort(), "18702");
}

TEST_F(ServerManagerTest, ListsAndSelection)
{
    writeShipped(document(listDict(kQuotes, "10.0.0.1", "8001"), listDict(kTrades, "10.0.1.1", "9001")));
    auto m = make();
    EXPECT_EQ(m->numberOfServerInfosByType(0), 2u);
    EXPECT_EQ(m->numberOfServerInfosByType(1), 3u);
    EXPECT_EQ(m->numberOfServerInfosByType(2), 0u);
    EXPECT_EQ(m->numberOfServerInfosByType(-1), 0u);
    EXPECT_FALSE(m->DMServerInfoByType(1, quint64(3)));
    EXPECT_FALSE(m->DMServerInfoByType(7, quint64(0)));
    EXPECT_EQ(m->DMServerInfoByType(1, QStringLiteral("2002"))->getServerName(), "交易三");
    EXPECT_FALSE(m->DMServerInfoByType(0, QStringLiteral("2002"))); // tags belong to one list
    EXPECT_FALSE(m->DMServerInfoByType(1, QString()));
    EXPECT_EQ(m->getIndexWithType(1, QStringLiteral("2001")), 1);
    EXPECT_EQ(m->getIndexWithType(1, QString()), -1);
    EXPECT_EQ(m->getIndexWithType(1, QStringLiteral("9999")), -1);
    EXPECT_EQ(m->getIndexWithType(3, QStringLiteral("2001")), -1);
    EXPECT_EQ(m->indexOfSelectedByType(9), -1);

    // A selection is stored enciphered and saved; out of range changes nothing.
    m->setIndexOfSelectedByType(1, 2);
    EXPECT_EQ(m->indexOfSelectedByType(1), 2);
    QVariantMap trade = userCopy().value("jy_servlist").toMap();
    EXPECT_EQ(dec(trade.value("selected_ip")), "10.0.1.3");
    EXPECT_EQ(dec(trade.value("selected_port")), "9003");
    EXPECT_NE(trade.value("selected_ip").toString(), "10.0.1.3");
    m->setIndexOfSelectedByType(1, 3);
    m->setIndexOfSelectedByType(4, 0);
    EXPECT_EQ(m->indexOfSelectedByType(1), 2);
    EXPECT_EQ(make()->indexOfSelectedByType(1), 2); // read back from the user's copy

    // What the network factory is told about the selected server.
    const std::optional<CSServerInfo> info = m->serverInfoOfSelectedByType(1);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->address(), "10.0.1.3");
    EXPECT_EQ(info->port(), 9003);
    EXPECT_FALSE(m->serverInfoOfSelectedByType(5));
}

TEST_F(ServerManagerTest, RebuildFromTheApplicationLoginReply)
{
    writeShipped(document(listDict(kQuotes, "10.0.0.2", "8002"), listDict(kTrades, "10.0.1.2", "9002")));
    auto m = make();
    const std::optional<VEKTCRS> empty = brokersim::toRecordSet(brokersim::serverListsTable(), 2);
    ASSERT_TRUE(empty);
    m->updateServerInfo(*empty);
    EXPECT_EQ(m->numberOfServerInfosByType(1), 3u); // no rows: nothing changes
    EXPECT_FALSE(QFile::exists(options.userPath));

    const std::optional<VEKTCRS> reply
        = brokersim::toRecordSet(brokersim::serverListsTable()
                                     .row({ "电信", "甲:10.1.0.1:8001,坏的:8002,乙:10.1.0.2:8002",
                                         "交易甲:10.1.1.1:9001,交易乙:10.0.1.2:9002" })
                                     .row({ "联通", "丙:10.1.0.3:80:81,", "交易丙:10.1.1.3:9003" }),
            2);
    ASSERT_TRUE(reply);
    m->updateServerInfo(*reply);
    EXPECT_EQ(names(*m, 0), (QStringList { "甲", "乙", "丙" }));
    EXPECT_EQ(tags(*m, 0), (QStringList { "1000", "1001", "1002" }));
    EXPECT_EQ(tags(*m, 1), (QStringList { "2000", "2001", "2002" }));
    EXPECT_EQ(m->DMServerInfoByType(0, quint64(2))->getServerPort(), "80:81"); // all after the second ":"
    EXPECT_EQ(m->DMServerInfoByType(0, quint64(2))->getProviderName(), QString("联通"));
    EXPECT_EQ(m->DMServerInfoByType(1, quint64(0))->getProviderName(), QString("电信"));

    // The trade selection (10.0.1.2:9002) is still listed: it stays, found on
    // plain text although every encryption of it differs. The quote selection
    // is gone: position 0 becomes the selection and is stored.
    EXPECT_EQ(m->indexOfSelectedByType(1), 1);
    EXPECT_EQ(m->indexOfSelectedByType(0), 0);
    const QVariantMap saved = userCopy();
    const QVariantMap quote = saved.value("hq_servlist").toMap();
    EXPECT_EQ(dec(quote.value("selected_ip")), "10.1.0.1");
    EXPECT_EQ(dec(quote.value("selected_port")), "8001");
    const QVariantList infos = quote.value("info_list").toList();
    ASSERT_EQ(infos.size(), 3);
    EXPECT_EQ(dec(infos[1].toMap().value("ip_address")), "10.1.0.2");
    EXPECT_EQ(infos[1].toMap().value("name").toString(), "乙");
    EXPECT_EQ(infos[1].toMap().value("provider_name").toString(), "电信");
    EXPECT_FALSE(saved.value("jy_servlist").toMap().contains("tag")); // tags are never stored

    // The stored lists read back the same.
    auto again = make();
    EXPECT_EQ(names(*again, 0), (QStringList { "甲", "乙", "丙" }));
    EXPECT_EQ(again->indexOfSelectedByType(1), 1);

    // A kind that comes back with no usable server keeps the list it had and
    // its selection, also on disk; a reply that names none at all changes nothing.
    const auto replyOf = [](const char* quotes, const char* trades) {
        return *brokersim::serverListsReply(QString(), QString::fromUtf8(quotes), QString::fromUtf8(trades));
    };
    m->updateServerInfo(replyOf("丁:10.1.0.4:1", ""));
    EXPECT_EQ(names(*m, 1), (QStringList { "交易甲", "交易乙", "交易丙" }));
    EXPECT_EQ(m->indexOfSelectedByType(1), 1);
    m->updateServerInfo(replyOf("坏的:1", ":10.1.1.9:"));
    auto reread = make();
    EXPECT_EQ(names(*reread, 1), (QStringList { "交易甲", "交易乙", "交易丙" }));
    EXPECT_EQ(reread->indexOfSelectedByType(1), 1);
    EXPECT_EQ(names(*reread, 0), QStringList { "丁" });

    // A network made while its list was empty is on no server: the rebuild
    // that fills the list gives it the selection, and makes no other network.
    writeShipped(document(listDict({}, {}, {}), listDict(kTrades, {}, {})));
    writeUser(document(listDict({}, {}, {}), listDict(kTrades, {}, {})));
    m = make();
    const std::shared_ptr<CSNetwork> network = factory.getNetwork(0);
    ASSERT_FALSE(network->serverInfo());
    m->updateServerInfo(replyOf("丁:10.1.0.4:1", ""));
    ASSERT_TRUE(network->serverInfo());
    EXPECT_EQ(network->serverInfo()->address(), "10.1.0.4");
    EXPECT_EQ(network->serverInfo()->port(), 1);
    EXPECT_FALSE(factory.networks.count(1));
}

// Two clients on one folder, each with the lists it read at its start: a save
// stores what this one changed (a choice of server, a rebuilt list) over the
// copy as the other left it, whichever saves first.
TEST_F(ServerManagerTest, TwoClientsSaveIntoOneServerListFile)
{
    for (const bool rebuildFirst : { false, true }) {
        writeShipped(document(listDict(kQuotes, {}, {}), listDict(kTrades, {}, {})));
        QFile::remove(options.userPath);
        auto choosing = make();
        auto rebuilding = make();
        // Only the quote list: the trade pieces name nothing to dial.
        const auto reply = brokersim::serverListsReply(QString(), QStringLiteral("新行情:10.2.0.1:80"), ":1");
        if (rebuildFirst)
            rebuilding->updateServerInfo(*reply);
        choosing->setIndexOfSelectedByType(1, 2);
        if (!rebuildFirst)
            rebuilding->updateServerInfo(*reply);
        auto next = make();
        EXPECT_EQ(names(*next, 0), QStringList { "新行情" }) << rebuildFirst;
        EXPECT_EQ(next->indexOfSelectedByType(1), 2) << rebuildFirst;
        // A later save stores only what changed since the last (a choice
        // alone, not the list chosen from): the other's later choice stays.
        rebuilding->setIndexOfSelectedByType(1, 0);
        choosing->setIndexOfSelectedByType(0, 1);
        auto after = make();
        EXPECT_EQ(names(*after, 0), QStringList { "新行情" }) << rebuildFirst;
        EXPECT_EQ(after->indexOfSelectedByType(1), 0) << rebuildFirst;
    }
    // A choice saved while another client holds the file goes with the next
    // save, or once the file is free when none comes.
    const testsupport::QuickRetries quickRetries;
    auto choosing = make();
    QLockFile otherWriting(options.userPath + ".lock");
    ASSERT_TRUE(otherWriting.tryLock(0));
    choosing->setIndexOfSelectedByType(1, 1);
    EXPECT_EQ(make()->indexOfSelectedByType(1), 0);
    otherWriting.unlock();
    choosing->setIndexOfSelectedByType(0, 0);
    EXPECT_EQ(make()->indexOfSelectedByType(1), 1);
    ASSERT_TRUE(otherWriting.tryLock(0));
    choosing->setIndexOfSelectedByType(1, 2);
    otherWriting.unlock();
    EXPECT_TRUE(spinUntil([&] { return make()->indexOfSelectedByType(1) == 2; }));
}

// Only a piece a network can be pointed at (an address a socket can dial, a
// port from 1 to 65535) counts: a kind sent with none keeps its list and
// selection, a reply with none at all changes and saves nothing, and in a
// list that mixes them the selection falls on a server that can be dialled.
TEST_F(ServerManagerTest, PiecesNoNetworkCanDialNeverReplaceAList)
{
    const char* kBadQuotes = "坏行情:@@@ ###:xyz,零:127.0.0.1:0";
    const char* kBadTrades = "坏交易:@@@ ###:xyz,大:10.1.1.9:99999,空格:10.1.1.8 x:9008";
    const struct {
        const char* name;
        const char* quotes;
        const char* trades;
        QStringList quoteNames;
        QStringList tradeNames;
        qint64 tradeSelected;
        bool saved;
    } rows[] = {
        { "no piece of either kind can be dialled", kBadQuotes, kBadTrades, { "行情一", "行情二" },
            { "交易一", "交易二", "交易三" }, 1, false },
        { "no trade piece can be dialled", "甲:10.1.0.1:8001", kBadTrades, { "甲" },
            { "交易一", "交易二", "交易三" }, 1, true },
        { "no quote piece can be dialled", kBadQuotes, "交易甲:10.1.1.1:9001", { "行情一", "行情二" },
            { "交易甲" }, 0, true },
        { "a trade list that mixes both", kBadQuotes, "坏交易:@@@ ###:xyz,零:10.1.1.2:0,好:10.1.1.3:9003",
            { "行情一", "行情二" }, { "坏交易", "零", "好" }, 2, true },
        { "only addresses no socket dials", "x:999.1.1.1:80", "y:999.1.1.1:80,z:0.0.0.0:9001,w:1.2.3.4.5:9",
            { "行情一", "行情二" }, { "交易一", "交易二", "交易三" }, 1, false },
        { "white space the socket drops", "甲:10.1.0.1 :8001", "交易甲: 10.1.1.1: 9001", { "甲" },
            { "交易甲" }, 0, true },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(options.userPath);
        writeShipped(document(listDict(kQuotes, "10.0.0.2", "8002"), listDict(kTrades, "10.0.1.2", "9002")));
        auto m = make();
        m->updateServerInfo(*brokersim::serverListsReply(
            QStringLiteral("电信"), QString::fromUtf8(row.quotes), QString::fromUtf8(row.trades)));
        EXPECT_EQ(names(*m, 0), row.quoteNames);
        EXPECT_EQ(names(*m, 1), row.tradeNames);
        EXPECT_EQ(m->indexOfSelectedByType(1), row.tradeSelected);
        ASSERT_EQ(QFile::exists(options.userPath), row.saved);
        // After a restart both kinds still have a server to connect to.
        auto restarted = make();
        EXPECT_EQ(names(*restarted, 1), row.tradeNames);
        for (const int32_t type : { 0, 1 })
            EXPECT_TRUE(restarted->serverInfoOfSelectedByType(type));
        EXPECT_EQ(restarted->indexOfSelectedByType(1), row.tradeSelected);
    }
}

// A kind stored with no server a network can be pointed at (empty, or only
// such entries, as an earlier version could store) comes from the shipped
// copy; the other kind stays as stored. A stored selection that cannot be
// dialled moves to the first entry that can.
TEST_F(ServerManagerTest, AStoredKindWithNoServerToDialFallsBackToTheShippedOne)
{
    writeShipped(document(listDict(kQuotes, "10.0.0.2", "8002"), listDict(kTrades, "10.0.1.2", "9002")));
    const std::vector<Entry> mine = { { "我的交易", "10.9.1.1", "7101", {} } };
    const std::vector<Entry> garbage = { { "坏交易", "@@@ ###", "xyz", {} }, { "零", "127.0.0.1", "0", {} },
        { "大", "10.9.1.2", "99999", {} } };
    const struct {
        const char* name;
        QVariantMap quote;
        QVariantMap trade;
        QStringList quoteNames;
        QStringList tradeNames;
        qint64 tradeSelected;
    } rows[] = {
        { "an empty quote kind", listDict({}, {}, {}), listDict(mine, {}, {}), { "行情一", "行情二" },
            { "我的交易" }, 0 },
        { "a trade kind with no entry to dial", listDict({ kQuotes[0] }, {}, {}),
            listDict(garbage, "127.0.0.1", "0"), { "行情一" }, { "交易一", "交易二", "交易三" }, 1 },
        { "a selection that cannot be dialled", listDict({ kQuotes[0] }, {}, {}),
            listDict({ garbage[0], garbage[1], mine[0] }, "127.0.0.1", "0"), { "行情一" },
            { "坏交易", "零", "我的交易" }, 2 },
        { "no selection, the first entry cannot be dialled", listDict({ kQuotes[0] }, {}, {}),
            listDict({ garbage[0], mine[0] }, {}, {}), { "行情一" }, { "坏交易", "我的交易" }, 1 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        writeUser(document(row.quote, row.trade));
        auto m = make();
        EXPECT_EQ(names(*m, 0), row.quoteNames);
        EXPECT_EQ(names(*m, 1), row.tradeNames);
        EXPECT_EQ(m->indexOfSelectedByType(1), row.tradeSelected);
        for (const int32_t type : { 0, 1 })
            EXPECT_TRUE(m->serverInfoOfSelectedByType(type));
        // What is saved next holds what was loaded.
        m->setIndexOfSelectedByType(0, 0);
        EXPECT_EQ(names(*make(), 1), row.tradeNames);
    }
}

// A control character in one server name from the reply: that name alone is
// cleaned, and the whole list is saved and read back.
TEST_F(ServerManagerTest, AControlCharacterInOneServerNameStillSavesTheList)
{
    writeShipped(document(listDict(kQuotes, "10.0.0.2", "8002"), listDict(kTrades, "10.0.1.2", "9002")));
    auto m = make();
    const std::optional<VEKTCRS> reply = brokersim::serverListsReply(QString::fromUtf8("电信") + QChar(0x02),
        QString::fromUtf8("甲") + QChar(0x01) + QStringLiteral(":10.1.0.1:8001"),
        QStringLiteral("交易甲:10.1.1.1:9001"));
    ASSERT_TRUE(reply);
    m->updateServerInfo(*reply);
    ASSERT_TRUE(QFile::exists(options.userPath));
    auto again = make();
    EXPECT_EQ(names(*again, 0), (QStringList { "甲" }));
    EXPECT_EQ(names(*again, 1), (QStringList { "交易甲" }));
    EXPECT_EQ(again->DMServerInfoByType(0, quint64(0))->getProviderName(), QString("电信"));
    EXPECT_EQ(again->DMServerInfoByType(0, quint64(0))->getServerIP(), QString("10.1.0.1"));
}

// Connecting a network points the public-address lookup at the broker's web
// server: the selected quote server, over plain HTTP.
TEST_F(ServerManagerTest, ConnectingPointsThePublicAddressLookupAtTheQuoteServer)
{
    const QString port = QString::number(testsupport::unusedLoopbackPort());
    writeShipped(document(listDict({ { "行情", "127.0.0.1", port, {} } }, "127.0.0.1", port),
        listDict({ { "甲", "127.0.0.1", port, {} } }, {}, {})));
    IPMacAddressInfo::resetSharedInstance();
    auto m = make();
    ASSERT_TRUE(m->connectToServerByType(1, quint64(0)));
    EXPECT_EQ(IPMacAddressInfo::sharedInstance()->webServer(),
        QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)));
    IPMacAddressInfo::resetSharedInstance();
}

TEST_F(ServerManagerTest, ConnectingAndBackOff)
{
    const quint16 refused = testsupport::unusedLoopbackPort();
    const QString port = QString::number(refused);
    writeShipped(document(listDict({ { "行情", "127.0.0.1", port, {} } }, {}, {}),
        listDict({ { "甲", "127.0.0.1", port, {} }, { "乙", "127.0.0.1", port, {} },
                     { "坏", "127.0.0.1", "99999", {} } },
            {}, {})));
    auto m = make();

    EXPECT_FALSE(m->connectToServerByType(1, quint64(3)));
    EXPECT_FALSE(m->connectToServerByType(8, quint64(0)));
    EXPECT_TRUE(posts.restarts.empty());
    EXPECT_TRUE(factory.networks.empty());

    ASSERT_TRUE(m->connectToServerByType(1, quint64(1)));
    const std::shared_ptr<CSNetwork> trade = factory.networks.at(1);
    ASSERT_TRUE(trade->serverInfo());
    EXPECT_EQ(trade->serverInfo()->port(), refused);
    EXPECT_TRUE(trade->serverInfo()->needSSL());
    EXPECT_EQ(trade->serverInfo()->protocolMode(), 0);
    EXPECT_EQ(trade->serverInfo()->timeout(), 5);
    EXPECT_EQ(m->indexOfSelectedByType(1), 1);
    ASSERT_EQ(posts.restarts.size(), 1u);
    EXPECT_EQ(posts.restarts[0], QVariant(1));
    EXPECT_EQ(dec(userCopy().value("jy_servlist").toMap().value("selected_ip")), "127.0.0.1");

    ASSERT_TRUE(m->connectToServerByType(0, QStringLiteral("1000")));
    const std::shared_ptr<CSNetwork> quote = factory.networks.at(0);
    EXPECT_FALSE(quote->serverInfo()->needSSL());
    EXPECT_EQ(quote->serverInfo()->protocolMode(), 1);
    EXPECT_FALSE(m->connectToServerByType(0, QStringLiteral("2000")));
    EXPECT_FALSE(m->connectToServerByType(0, QString()));
    EXPECT_FALSE(m->connectToServerByTypeInfo(1, nullptr));
    // A port text that is no port is not connected to (no silent cut to 16 bits).
    EXPECT_FALSE(m->connectToServerByType(1, quint64(2)));

    // Moves after a lost connection with no server serving in between wait
    // longer each time; only a server of the kind that served for the
    // longest delay ends the back-off, neither an established connection
    // (type 2) nor an accepted logon alone. The selection and its notice do
    // not wait. A person's choice connects at once, and counts.
    EXPECT_EQ(m->nextConnectDelay(1), 0.05);
    const size_t before = posts.restarts.size();
    ASSERT_TRUE(m->reconnectToServerByType(1, quint64(0)));
    EXPECT_EQ(m->indexOfSelectedByType(1), 0);
    EXPECT_EQ(posts.restarts.size(), before + 1);
    EXPECT_TRUE(m->isConnectWaiting(1));
    auto unlisted = RDOServerInfo::initWithName(
        QStringLiteral("外"), QStringLiteral("127.0.0.1"), QStringLiteral("1"), {}, 2999);
    ASSERT_TRUE(m->connectToServerByTypeInfo(1, unlisted));
    EXPECT_EQ(m->indexOfSelectedByType(1), 0); // neither "坏" nor the unlisted server moved the selection
    EXPECT_EQ(posts.restarts.size(), before + 2);
    EXPECT_FALSE(m->isConnectWaiting(1));
    EXPECT_EQ(trade->serverInfo()->port(), 1);
    EXPECT_EQ(m->nextConnectDelay(1), 0.2);
    ASSERT_TRUE(m->reconnectToServerByType(1, quint64(1)));
    ASSERT_TRUE(spinUntil([&] { return trade->serverInfo()->port() == refused; }, 2s));
    ASSERT_TRUE(m->reconnectToServerByType(1, quint64(0)));
    ASSERT_TRUE(m->reconnectToServerByType(1, quint64(1))); // replaces the waiting one
    EXPECT_EQ(m->indexOfSelectedByType(1), 1);
    EXPECT_EQ(m->nextConnectDelay(1), 0.4);
    EXPECT_TRUE(m->isConnectWaiting(1));
    DMNotificationCenter::getInstance()->postNotification(2, QVariant(1));
    serve(*m, 0, 1.0);
    serve(*m, 7, 1.0);
    EXPECT_EQ(m->nextConnectDelay(1), 0.4);
    serve(*m, 1, 0.39);
    EXPECT_EQ(m->nextConnectDelay(1), 0.4);
    clockNow += 10ms;
    EXPECT_EQ(m->nextConnectDelay(1), 0.0);
    // A connect at once replaces the waiting one, which never fires after it.
    ASSERT_TRUE(m->connectToServerByTypeInfo(1, unlisted));
    EXPECT_FALSE(m->isConnectWaiting(1));
    EXPECT_EQ(m->nextConnectDelay(1), 0.05);

    // A connect waiting for a server that is still listed after a rebuild
    // goes on, neither restarted nor slowed. One whose server is gone moves
    // the network, paced, to the server the selection names. A list that
    // comes back empty keeps its servers, and the network its server. Nor
    // does a connect go on that finds the connection carrying a request.
    testsupport::LoopbackServer listening;
    ASSERT_TRUE(listening.start());
    const QString here = QStringLiteral("丁:127.0.0.1:%1").arg(listening.port());
    const auto rebuild = [&](const QString& servers) {
        m->updateServerInfo(*brokersim::serverListsReply(QString(), servers, servers));
    };
    ASSERT_TRUE(spinUntil([&] { return !trade->connection(); }, 2s));
    rebuild(here);
    ASSERT_TRUE(m->reconnectToServerByType(1, quint64(0)));
    const size_t restarts = posts.restarts.size();
    const double delay = m->nextConnectDelay(1);
    rebuild(here + ",戊:127.0.0.1:9");
    EXPECT_TRUE(m->isConnectWaiting(1));
    EXPECT_EQ(trade->serverInfo()->port(), listening.port());
    EXPECT_EQ(posts.restarts.size(), restarts);
    EXPECT_EQ(m->nextConnectDelay(1), delay);
    rebuild(QStringLiteral("戊:127.0.0.1:9"));
    EXPECT_EQ(m->indexOfSelectedByType(1), 0);
    EXPECT_TRUE(m->isConnectWaiting(1));
    ASSERT_TRUE(trade->serverInfo());
    EXPECT_EQ(trade->serverInfo()->port(), 9);
    EXPECT_EQ(posts.restarts.size(), restarts + 1);
    EXPECT_EQ(posts.restarts.back(), QVariant(1));
    EXPECT_EQ(m->nextConnectDelay(1), std::min(2 * delay, options.maxRetryDelay));
    // A quote list rebuilt with nothing waiting moves nothing.
    EXPECT_FALSE(m->isConnectWaiting(0));
    rebuild(here);
    ASSERT_TRUE(m->reconnectToServerByType(1, quint64(0)));
    for (const QString& servers : { QString(), here }) {
        rebuild(servers);
        EXPECT_TRUE(m->isConnectWaiting(1));
        ASSERT_TRUE(trade->serverInfo());
        EXPECT_EQ(trade->serverInfo()->port(), listening.port());
    }
    ASSERT_TRUE(m->connectToServerByTypeInfo(1, unlisted)); // ends the wait
    spinFor(250ms);
    EXPECT_EQ(listening.connectionCount(), 0);
    EXPECT_FALSE(trade->connection());
    rebuild(here);
    ASSERT_TRUE(m->connectToServerByType(0, quint64(0)));
    ASSERT_TRUE(listening.waitForConnections(1));
    struct : CSNetworkObserver {
    } asking;
    CSPacket packet(900, 1, QStringLiteral("text=x"));
    ASSERT_NE(quote->sendRequestWithObserver(&asking, QStringLiteral("x"), &packet, 30), 0u);
    ASSERT_TRUE(listening.waitForReceived(1));
    rebuild(here + ",戊:127.0.0.1:9");
    ASSERT_TRUE(m->reconnectToServerByType(0, quint64(1)));
    ASSERT_TRUE(spinUntil([&] { return !m->isConnectWaiting(0); }, 2s));
    spinFor(50ms);
    EXPECT_EQ(listening.connectionCount(), 1);
    EXPECT_EQ(quote->serverInfo()->port(), listening.port());
    EXPECT_EQ(quote->requestCount(), 1);

    // Other operations reach the factory's networks.
    m->setNetworkRetryFlag(false);
    EXPECT_EQ(factory.retryFlag, false);
    m->removeQuoteRequestWithObserver(nullptr);
    m->removeTradeRequestWithObserver(nullptr);
    EXPECT_FALSE(m->setNetworkConfigUtid(QStringLiteral("a&b"), QStringLiteral("x"), QStringLiteral("1")));
}

TEST_F(ServerManagerTest, ReconnectSteppingThroughTheNetworkFactory)
{
    const QString port = QString::number(testsupport::unusedLoopbackPort());
    std::vector<Entry> five;
    for (int i = 0; i < 5; ++i)
        five.push_back({ QString::number(i), "127.0.0.1", port, {} });
    writeShipped(document(listDict(five, {}, {}), listDict({ five[0], five[1], five[2] }, {}, {})));
    NetworkFactory::resetInstance();
    NetworkFactory* networks = NetworkFactory::getInstance();
    DMServerManager m([] { return static_cast<INetworkFactory*>(NetworkFactory::getInstance()); },
        DMNotificationCenter::getInstance(), options);
    networks->setServerManager(&m);
    networks->setRetryFlag(false);

    // 5 servers, server 0 selected: 1, 3, 1, 0, 1, 3 (steps 1, 2, 3, 4, 1, 2).
    const std::shared_ptr<CSNetwork> quote = networks->getNetwork(0);
    QList<qint64> tried;
    for (int i = 0; i < 6; ++i) {
        networks->reconnectServer(*quote);
        tried << m.indexOfSelectedByType(0);
    }
    EXPECT_EQ(tried, (QList<qint64> { 1, 3, 1, 0, 1, 3 }));

    // 3 servers, server 2 selected: 0, 2, 0.
    m.setIndexOfSelectedByType(1, 2);
    const std::shared_ptr<CSNetwork> trade = networks->getNetwork(1);
    tried.clear();
    for (int i = 0; i < 3; ++i) {
        networks->reconnectServer(*trade);
        tried << m.indexOfSelectedByType(1);
    }
    EXPECT_EQ(tried, (QList<qint64> { 0, 2, 0 }));

    // Entries no network can be pointed at are stepped over: 4 servers, the
    // middle two no server at all, server 0 selected: 3, 0, 3. With only the
    // selected one to dial, it is tried again.
    m.updateServerInfo(*brokersim::serverListsReply(QString(),
        QStringLiteral("0:127.0.0.1:%1,坏:@@@ ###:xyz,零:127.0.0.1:0,3:127.0.0.1:%1").arg(port),
        QStringLiteral("0:127.0.0.1:%1,大:127.0.0.1:99999").arg(port)));
    ASSERT_EQ(m.numberOfServerInfosByType(0), 4u);
    m.setIndexOfSelectedByType(0, 0);
    tried.clear();
    for (int i = 0; i < 3; ++i) {
        networks->reconnectServer(*quote);
        tried << m.indexOfSelectedByType(0);
        ASSERT_TRUE(quote->serverInfo());
        EXPECT_EQ(quote->serverInfo()->port(), port.toUShort());
    }
    EXPECT_EQ(tried, (QList<qint64> { 3, 0, 3 }));
    const size_t restarts = posts.restarts.size();
    networks->reconnectServer(*trade);
    EXPECT_EQ(m.indexOfSelectedByType(1), 0);
    EXPECT_EQ(posts.restarts.size(), restarts + 1);

    // With retries on, servers that all refuse are not hammered: the attempts
    // slow down instead of following each refusal at once.
    // A connection lost before it served counts as not having served, also
    // when nothing reconnects it and time passes.
    EXPECT_GT(m.nextConnectDelay(1), 0.0);
    serve(m, 1, 0.1);
    networks->networkDidDisConnected(*trade);
    clockNow += 1s;
    EXPECT_GT(m.nextConnectDelay(1), 0.0);

    networks->setRetryFlag(true);
    serve(m, 1, 1.0); // start the back-off afresh
    m.connectionLostByType(1);
    const size_t before = posts.restarts.size();
    m.connectToServerByType(1, quint64(0));
    spinFor(700ms);
    const size_t attempts = posts.restarts.size() - before;
    EXPECT_GE(attempts, 2u);
    EXPECT_LE(attempts, 8u);
    networks->setRetryFlag(false);
    networks->setServerManager(nullptr);
}

// Servers that close during the logon, right after it, or (HTTP, which has
// no logon) right after answering are tried on the back-off schedule, not at
// once after every close; only a server that served for the longest delay
// ends the back-off, and the next loss then moves on at once.
TEST_F(ServerManagerTest, ServersThatCloseEarlyAreTriedOnTheBackOffSchedule)
{
    const brokersim::Function kEcho { 900, 1 };
    constexpr qsizetype kWholeReply = 1 << 20;
    struct Row {
        const char* what;
        int32_t kind;
        brokersim::Function fault; // the reply after which the server closes
        qsizetype bytes; // written of it before closing
    };
    const Row rows[] = {
        { "TC, closed during the logon", 1, brokersim::kLogon, 0 },
        { "TC, closed right after the logon", 1, brokersim::kLogon, kWholeReply },
        { "HTTP, closed right after a reply", 0, kEcho, kWholeReply },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        brokersim::BrokerSimulator sim;
        ASSERT_TRUE(sim.start());
        platform::TlsTrust::reset();
        platform::TlsTrust::addCaCertificates(sim.trustedCertificates());
        CSSession::releaseAll();
        sim.registerFunction(kEcho.main, kEcho.sub, [](const brokersim::Request& r, brokersim::BrokerState&) {
            return brokersim::Reply::withTable(
                brokersim::Table().column(QStringLiteral("echo")).row({ r.valueOr(QStringLiteral("text")) }));
        });
        const QString tc = QString::number(sim.tcPort());
        const QString http = QString::number(sim.httpPort());
        QFile::remove(options.userPath); // the row before stored its selection
        writeShipped(document(
            listDict({ { "行情一", "127.0.0.1", http, {} }, { "行情二", "127.0.0.1", http, {} } }, {}, {}),
            listDict({ { "甲", "127.0.0.1", tc, {} }, { "乙", "127.0.0.1", tc, {} } }, {}, {})));
        NetworkFactory::resetInstance();
        NetworkFactory* networks = NetworkFactory::getInstance();
        DMServerManager m([] { return static_cast<INetworkFactory*>(NetworkFactory::getInstance()); },
            DMNotificationCenter::getInstance(), options);
        networks->setServerManager(&m);
        const int32_t kind = row.kind;

        struct : CSNetworkObserver {
            int replies = 0;
            bool respondWithRecordSet(const std::vector<VEKTCRS>&, const QString&) override
            {
                ++replies;
                return true;
            }
        } observer;
        CSPacket packet(kEcho.main, kEcho.sub, QStringLiteral("text=hello"));
        // Each move to another server: the server, whether the connect waits
        // for its delay, and the delay the next one will wait.
        using Try = std::tuple<qint64, bool, double>;
        std::vector<Try> tries;
        std::shared_ptr<CSNetwork> network;
        DMNotificationCenter::getInstance()->addObserver(&tries,
            TypedNotificationCenter::Handler([&](const platform::Notification& n) {
                if (n.object == QVariant(kind))
                    tries.emplace_back(
                        m.indexOfSelectedByType(kind), !network->connection(), m.nextConnectDelay(kind));
            }),
            DMServerManager::kConnectionRestart);
        // The quote side asks on every new connection, as the status bar does.
        DMNotificationCenter::getInstance()->addObserver(&observer,
            TypedNotificationCenter::Handler([&](const platform::Notification& n) {
                if (kind == 0 && n.object == QVariant(0))
                    networks->getNetwork(0)->sendRequestWithObserver(
                        &observer, QStringLiteral("echo"), &packet, 30);
            }),
            NetworkFactory::kConnectionEstablished);

        constexpr int kCloses = 5;
        for (int i = 0; i < kCloses; ++i)
            sim.dropAfterBytesNext(row.fault, row.bytes);
        sim.withholdNext(row.fault);
        network = networks->getNetwork(kind);
        ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
        EXPECT_EQ(sim.receivedCount(row.fault), kCloses + 1);
        // Alternating, the first move at once, every later one after its delay.
        EXPECT_EQ(tries,
            (std::vector<Try> { { 1, false, 0.05 }, { 0, true, 0.1 }, { 1, true, 0.2 }, { 0, true, 0.4 },
                { 1, true, 0.4 } }));

        // The server answers, and serves: only after the longest delay does
        // the back-off end.
        const int replies = observer.replies;
        EXPECT_EQ(sim.releaseWithheld(), 1);
        ASSERT_TRUE(
            spinUntil([&] { return kind == 0 ? observer.replies == replies + 1 : network->isLoggedOn(); }));
        EXPECT_EQ(m.nextConnectDelay(kind), 0.4);
        clockNow += 400ms;
        EXPECT_EQ(m.nextConnectDelay(kind), 0.0);
        // The next loss moves on at once.
        sim.dropConnections();
        ASSERT_TRUE(spinUntil([&] { return tries.size() == kCloses + 1; }));
        EXPECT_EQ(tries.back(), (Try { 0, false, 0.05 }));

        networks->setRetryFlag(false);
        DMNotificationCenter::getInstance()->removeObserver(&tries);
        DMNotificationCenter::getInstance()->removeObserver(&observer);
        NetworkFactory::resetInstance();
        platform::TlsTrust::reset();
        CSSession::releaseAll();
    }
}

// Two brokers answering an echo, listed as the trade servers 甲 (a) and 乙
// (b), 乙 selected, with the shared network factory moving between them.
class TwoBrokersTest : public ServerManagerTest {
protected:
    static constexpr brokersim::Function kEcho { 900, 1 };

    struct Observer : CSNetworkObserver {
        int replies = 0;
        int errors = 0;
        std::function<void()> afterError; // once
        bool respondWithRecordSet(const std::vector<VEKTCRS>&, const QString&) override
        {
            ++replies;
            return true;
        }
        bool respondWithError(const CSError&, const QString&) override
        {
            ++errors;
            if (afterError)
                std::exchange(afterError, {})();
            return true;
        }
    };

    void SetUp() override
    {
        ServerManagerTest::SetUp();
        ASSERT_TRUE(a.start());
        ASSERT_TRUE(b.start());
        platform::TlsTrust::reset();
        platform::TlsTrust::addCaCertificates(a.trustedCertificates());
        platform::TlsTrust::addCaCertificates(b.trustedCertificates());
        CSSession::releaseAll();
        for (brokersim::BrokerSimulator* sim : { &a, &b }) {
            sim->registerFunction(
                kEcho.main, kEcho.sub, [](const brokersim::Request&, brokersim::BrokerState&) {
                    return brokersim::Reply::withTable(
                        brokersim::Table().column(QStringLiteral("echo")).row({ "ok" }));
                });
        }
        writeShipped(
            document(listDict({ { "行情", "127.0.0.1", QString::number(a.httpPort()), {} } }, {}, {}),
                listDict({ { "甲", "127.0.0.1", QString::number(a.tcPort()), {} },
                             { "乙", "127.0.0.1", QString::number(b.tcPort()), {} } },
                    "127.0.0.1", QString::number(b.tcPort()))));
        NetworkFactory::resetInstance();
        networks = NetworkFactory::getInstance();
        m = std::make_unique<DMServerManager>(
            [] { return static_cast<INetworkFactory*>(NetworkFactory::getInstance()); },
            DMNotificationCenter::getInstance(), options);
        networks->setServerManager(m.get());
    }
    void TearDown() override
    {
        networks->setRetryFlag(false);
        NetworkFactory::resetInstance();
        m.reset();
        platform::TlsTrust::reset();
        CSSession::releaseAll();
        ServerManagerTest::TearDown();
    }
    static qsizetype logons(const brokersim::BrokerSimulator& sim)
    {
        return std::count_if(sim.received().cbegin(), sim.received().cend(),
            [](const brokersim::Request& r) { return r.logon; });
    }

    brokersim::BrokerSimulator a;
    brokersim::BrokerSimulator b;
    NetworkFactory* networks = nullptr;
    std::unique_ptr<DMServerManager> m;
    CSPacket packet { kEcho.main, kEcho.sub, QStringLiteral("text=x") };
};

// While a connect waits out its delay, a request connects at once to the
// server moved to, not to the one that just failed; that server's logon then
// holds: the waiting connect does not tear it down, and what was written
// there is answered. A server chosen in the list is connected at once; chosen
// again, it keeps its connection and the time it has served.
TEST_F(TwoBrokersTest, ARequestDuringTheWaitGoesToTheServerMovedToAndStaysThere)
{
    // 乙 closes once during the logon: 甲 at once, which closes too; then 乙
    // after its delay.
    b.dropAfterBytesNext(brokersim::kLogon, 0);
    for (int i = 0; i < 10; ++i)
        a.dropAfterBytesNext(brokersim::kLogon, 0);
    const std::shared_ptr<CSNetwork> trade = networks->getNetwork(1);
    ASSERT_TRUE(spinUntil([&] { return m->isConnectWaiting(1); }));
    EXPECT_EQ(m->indexOfSelectedByType(1), 1);
    EXPECT_EQ(logons(a), 1);

    Observer observer;
    b.withholdNext(kEcho);
    trade->sendRequestWithObserver(&observer, QStringLiteral("echo"), &packet, 30);
    ASSERT_TRUE(spinUntil([&] { return b.withheldCount() == 1; }));
    ASSERT_TRUE(spinUntil([&] { return !m->isConnectWaiting(1); }));
    EXPECT_EQ(b.releaseWithheld(), 1);
    ASSERT_TRUE(spinUntil([&] { return observer.replies + observer.errors == 1; }));
    EXPECT_EQ(observer.replies, 1);
    EXPECT_EQ(logons(a), 1);
    EXPECT_EQ(logons(b), 2);
    EXPECT_EQ(m->indexOfSelectedByType(1), 1);
    EXPECT_EQ(trade->serverInfo()->port(), b.tcPort());

    // 乙 has not served long; 甲, chosen in the server list, is connected at
    // once all the same, and counts as an attempt.
    a.clearControls();
    ServerListController list(m.get());
    list.currentConnectionSelected(1, 0);
    EXPECT_FALSE(m->isConnectWaiting(1));
    EXPECT_EQ(trade->serverInfo()->port(), a.tcPort());
    ASSERT_TRUE(spinUntil([&] { return logons(a) == 2 && trade->isLoggedOn(); }));
    EXPECT_EQ(m->nextConnectDelay(1), 0.2);
    // Chosen again: nothing is connected or failed, and its time served counts.
    const size_t restarts = posts.restarts.size();
    clockNow += 300ms;
    list.currentConnectionSelected(1, 0);
    clockNow += 100ms;
    EXPECT_EQ(m->nextConnectDelay(1), 0.0);
    EXPECT_EQ(posts.restarts.size(), restarts);
    spinFor(50ms);
    EXPECT_EQ(logons(a), 2);
    EXPECT_TRUE(trade->isLoggedOn());
    const qsizetype before = logons(b);
    a.dropConnections();
    ASSERT_TRUE(spinUntil([&] { return logons(b) == before + 1; }));
    EXPECT_EQ(m->indexOfSelectedByType(1), 1);
    EXPECT_EQ(m->nextConnectDelay(1), 0.05);
}

// A server closes instead of answering, and the request's failure callback
// sends the next one at once: it goes to the server moved to, is held there
// past the waiting connect, and is answered; the failing server sees no new
// logon, and nothing is sent twice.
TEST_F(TwoBrokersTest, ARequestSentWhileHearingOfTheLossGoesToTheServerMovedTo)
{
    b.dropAfterBytesNext(brokersim::kLogon, 0);
    const std::shared_ptr<CSNetwork> trade = networks->getNetwork(1);
    ASSERT_TRUE(spinUntil([&] { return trade->isLoggedOn(); }));
    ASSERT_EQ(trade->serverInfo()->port(), a.tcPort());
    EXPECT_EQ(m->nextConnectDelay(1), 0.05);

    Observer observer;
    a.dropAfterBytesNext(kEcho, 0);
    b.withholdNext(kEcho);
    observer.afterError
        = [&] { trade->sendRequestWithObserver(&observer, QStringLiteral("again"), &packet, 30); };
    trade->sendRequestWithObserver(&observer, QStringLiteral("echo"), &packet, 30);
    ASSERT_TRUE(spinUntil([&] { return b.withheldCount() == 1; }));
    EXPECT_EQ(observer.errors, 1);
    ASSERT_TRUE(spinUntil([&] { return !m->isConnectWaiting(1); }));
    EXPECT_EQ(b.releaseWithheld(), 1);
    ASSERT_TRUE(spinUntil([&] { return observer.replies + observer.errors == 2; }));
    EXPECT_EQ(observer.replies, 1);
    EXPECT_EQ(logons(a), 1);
    EXPECT_EQ(a.receivedCount(kEcho), 1);
    EXPECT_EQ(b.receivedCount(kEcho), 1);
    EXPECT_EQ(trade->serverInfo()->port(), b.tcPort());
    EXPECT_EQ(m->indexOfSelectedByType(1), 1);
}

// A lost connection whose next step is an entry no network can be pointed at
// goes on to the next server at once: the network is logged on there, and the
// connection is announced, so what is owed after the loss is asked again.
TEST_F(TwoBrokersTest, ALostConnectionStepsOverAnEntryNoNetworkCanDial)
{
    writeUser(document(listDict({ { "行情", "127.0.0.1", QString::number(a.httpPort()), {} } }, {}, {}),
        listDict({ { "坏交易", "@@@ ###", "xyz", {} }, { "甲", "127.0.0.1", QString::number(a.tcPort()), {} },
                     { "乙", "127.0.0.1", QString::number(b.tcPort()), {} } },
            "127.0.0.1", QString::number(b.tcPort()))));
    m = std::make_unique<DMServerManager>(
        [] { return static_cast<INetworkFactory*>(NetworkFactory::getInstance()); },
        DMNotificationCenter::getInstance(), options);
    networks->setServerManager(m.get());
    std::vector<QVariant> established;
    struct Listener {
        std::vector<QVariant>* out;
        void onEstablished(const platform::Notification& n) { out->push_back(n.object); }
    } listener { &established };
    DMNotificationCenter::getInstance()->addObserver(
        &listener, &Listener::onEstablished, NetworkFactory::kConnectionEstablished);

    const std::shared_ptr<CSNetwork> trade = networks->getNetwork(1);
    ASSERT_TRUE(spinUntil([&] { return trade->isLoggedOn() && established.size() == 1; }));
    EXPECT_EQ(trade->serverInfo()->port(), b.tcPort());
    b.dropConnections();
    ASSERT_TRUE(spinUntil([&] { return logons(a) == 1 && trade->isLoggedOn() && established.size() == 2; }));
    EXPECT_EQ(m->indexOfSelectedByType(1), 1);
    EXPECT_EQ(trade->serverInfo()->port(), a.tcPort());
    EXPECT_EQ(established.back(), QVariant(1));
    DMNotificationCenter::getInstance()->removeObserver(&listener);
}

TEST_F(ServerManagerTest, SpeedTests)
{
    testsupport::LoopbackServer up;
    ASSERT_TRUE(up.start());
    const QString live = QString::number(up.port());
    const QString dead = QString::number(testsupport::unusedLoopbackPort());
    writeShipped(document(
        listDict({ { "行情甲", "127.0.0.1", live, {} }, { "行情乙", "127.0.0.1", dead, {} } }, {}, {}),
        listDict({ { "交易甲", "127.0.0.1", live, {} }, { "交易乙", "127.0.0.1", live, {} } }, {}, {})));
    auto m = make();
    Listener listener;
    m->setDelegate(&listener);

    ASSERT_TRUE(m->startTestingByType(0));
    EXPECT_TRUE(m->isTesting());
    EXPECT_FALSE(m->startTestingByType(1)); // one at a time
    const auto list = m->serverTestManager()->serverList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1]->port(), quint16(dead.toUInt()));
    EXPECT_EQ(list[1]->timeout(), 10);
    EXPECT_FALSE(list[1]->needSSL());
    EXPECT_EQ(list[1]->protocolMode(), 0);
    ASSERT_TRUE(spinUntil([&] { return !m->isTesting(); }));
    EXPECT_EQ(listener.started.size(), 2);
    ASSERT_EQ(listener.finished.size(), 2u);
    EXPECT_TRUE(listener.finished["1000"].first);
    EXPECT_GE(listener.finished["1000"].second, 0.0);
    EXPECT_FALSE(listener.finished["1001"].first);
    EXPECT_EQ(listener.finished["1001"].second, -1.0);

    // Any other kind: the quote list followed by the trade list, in one test.
    listener.finished.clear();
    ASSERT_TRUE(m->startTestingByType(5));
    QStringList ports;
    for (const auto& info : m->serverTestManager()->serverList())
        ports << QString::number(info->port());
    EXPECT_EQ(ports, (QStringList { live, dead, live, live }));
    ASSERT_TRUE(spinUntil([&] { return !m->isTesting(); }));
    EXPECT_EQ(listener.finished.size(), 4u);

    // One server; an index or kind that names none is refused.
    EXPECT_FALSE(m->startTestingByType(1, 2));
    EXPECT_FALSE(m->startTestingByType(2, 0));
    listener.finished.clear();
    ASSERT_TRUE(m->startTestingByType(1, 1));
    ASSERT_TRUE(spinUntil([&] { return !m->isTesting(); }));
    EXPECT_EQ(listener.finished.size(), 1u);
    EXPECT_TRUE(listener.finished.count("2001"));

    // Cancelled: not testing, and nothing more is heard.
    listener.started.clear();
    listener.finished.clear();
    ASSERT_TRUE(m->startTestingByType(1));
    m->cancelTestingByType(0);
    EXPECT_FALSE(m->isTesting());
    spinFor(200ms);
    EXPECT_TRUE(listener.finished.empty());

    // A test nobody listens to still ends.
    m->setDelegate(nullptr);
    ASSERT_TRUE(m->startTestingByType(1));
    ASSERT_TRUE(spinUntil([&] { return !m->isTesting(); }));

    // A destroyed delegate hears nothing and breaks nothing.
    {
        Listener gone;
        m->setDelegate(&gone);
    }
    ASSERT_TRUE(m->startTestingByType(1));
    ASSERT_TRUE(spinUntil([&] { return !m->isTesting(); }));

    // Empty lists start nothing.
    QFile::remove(options.shippedPath);
    auto none = make();
    EXPECT_FALSE(none->startTestingByType(0));
    EXPECT_FALSE(none->startTestingByType(5));
    EXPECT_FALSE(none->isTesting());
}

// The application login's rebuild while a speed test runs: a server still
// listed where the test dials it stays in the test, and its result comes as
// the rebuilt list's server; a server gone leaves the test, and a test left
// with none ends at once.
TEST_F(ServerManagerTest, ASpeedTestKeepsTheServersARebuildStillLists)
{
    testsupport::LoopbackServer up;
    ASSERT_TRUE(up.start());
    const QString live = QString::number(up.port());
    const QString dead = QString::number(testsupport::unusedLoopbackPort());
    const QString a = "甲:127.0.0.1:" + live, b = "乙:127.0.0.1:" + dead, gone = "戊:10.9.9.9:1";
    const QString twin = "丙:127.0.0.1:" + live;
    const struct {
        const char* name;
        int32_t kind; // the test: -1 both lists, 1 the first trade server alone (the status bar's)
        std::vector<std::pair<QString, QString>> rebuilds; // quotes, trades
        std::map<QString, bool> results; // by tag of the lists as rebuilt
        bool twins = false; // the lists tested: 甲 and 丙, both where 甲 is
        std::size_t heardBefore = 0; // the test's first servers, told reachable before the rebuilds
    } rows[] = {
        { "the same lists again", -1, { { a + "," + b, a + "," + b } },
            { { "1000", true }, { "1001", false }, { "2000", true }, { "2001", false } } },
        { "moved, written with blanks, one gone", -1, { { gone + "," + b + ",新: 127.0.0.1 :" + live, a } },
            { { "1001", false }, { "1002", true }, { "2000", true } } },
        { "rebuilt twice", -1, { { a + "," + b, a }, { b, gone + "," + a } },
            { { "1000", false }, { "2001", true } } },
        { "the status bar's one server", 1, { { a, gone + "," + a } }, { { "2001", true } } },
        { "a kind the rebuild keeps (no piece to dial)", -1, { { b + "," + a, ":1" } },
            { { "1000", false }, { "1001", true }, { "2000", true }, { "2001", false } } },
        { "another address at the same port", -1, { { "丙:127.0.0.2:" + live + "," + b, a } },
            { { "1001", false }, { "2000", true } } },
        { "none stays", -1, { { gone, gone } }, {} },
        { "two servers at one address, each its own result", -1, { { a + "," + twin, a } },
            { { "1000", true }, { "1001", true }, { "2000", true } }, true },
        { "two servers at one address, the first heard before the rebuild", -1, { { a + "," + twin, a } },
            { { "1000", true }, { "1001", true }, { "2000", true } }, true, 1 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<Entry> both = { { "甲", "127.0.0.1", live, {} },
            row.twins ? Entry { "丙", "127.0.0.1", live, {} } : Entry { "乙", "127.0.0.1", dead, {} } };
        writeShipped(document(listDict(both, {}, {}), listDict(both, {}, {})));
        QFile::remove(options.userPath);
        auto m = make();
        Listener listener;
        m->setDelegate(&listener);
        ASSERT_TRUE(row.kind < 0 ? m->startTestingByType(-1) : m->startTestingByType(row.kind, 0));
        // The probes report on the main thread: none is heard before the rebuilds
        // but for those told here, as their probes would (their own reports then find nothing).
        CSServerTestManager& test = *m->serverTestManager();
        for (std::size_t i = 0; i < row.heardBefore; ++i)
            m->serverManagerDidFinishedTest(test, test.serverList()[i], true, 0.001);
        for (const auto& [quotes, trades] : row.rebuilds)
            m->updateServerInfo(*brokersim::serverListsReply(QString(), quotes, trades));
        EXPECT_EQ(m->isTesting(), !row.results.empty());
        ASSERT_TRUE(spinUntil([&] { return !m->isTesting(); }));
        std::map<QString, bool> heard;
        for (const auto& [tag, result] : listener.finished) {
            heard[tag] = result.first;
            // The tag names the server probed in the lists as they are now.
            EXPECT_EQ(m->DMServerInfoByType(tag < "2000" ? 0 : 1, tag)->getServerPort().trimmed(),
                result.first ? live : dead);
        }
        EXPECT_EQ(heard, row.results);
    }
}

// The speed test probes an entry as the network would dial it and only when
// the network takes it; a selection never names an entry the network refuses,
// so the start-up's pick (and its retry) always leaves the network a server.
TEST_F(ServerManagerTest, TheSpeedTestAndTheSelectionTakeWhatTheNetworkDials)
{
    testsupport::LoopbackServer up;
    ASSERT_TRUE(up.start());
    const QString live = QString::number(up.port());
    const struct {
        const char* name;
        const char* address;
        QString port;
        const char* probed; // the address probed, nullptr: not probed
    } rows[] = {
        { "甲", "999.1.1.1", live, nullptr },
        { "乙", "[::1]", live, nullptr },
        { "丙", "127.0.0.1", "0", nullptr },
        { "丁", "0.0.0.0", live, nullptr },
        { "戊", "127.0.0.1 ", live, "127.0.0.1" },
        { "己", "127.0.0.1", " " + live + " ", "127.0.0.1" },
    };
    std::vector<Entry> entries;
    for (const auto& row : rows)
        entries.push_back({ row.name, row.address, row.port, {} });
    writeShipped(document(listDict(kQuotes, {}, {}), listDict(entries, {}, {})));
    auto m = make();
    Listener listener;
    m->setDelegate(&listener);
    ASSERT_TRUE(m->startTestingByType(1));
    QStringList probed;
    for (const auto& info : m->serverTestManager()->serverList())
        probed << QStringLiteral("%1:%2").arg(info->address()).arg(info->port());
    ASSERT_TRUE(spinUntil([&] { return !m->isTesting(); }));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].name);
        const QString tag = QString::number(DMServerManager::kTradeTagBase + qint64(i));
        EXPECT_EQ(probed.contains(QStringLiteral("%1:%2").arg(rows[i].probed).arg(live)),
            rows[i].probed != nullptr);
        EXPECT_EQ(listener.finished.count(tag) == 1, rows[i].probed != nullptr);
        // Selected only when the network takes it, and then the network gets it.
        m->setIndexOfSelectedByType(1, quint64(i));
        const std::optional<CSServerInfo> selected = m->serverInfoOfSelectedByType(1);
        ASSERT_TRUE(selected);
        EXPECT_EQ(m->indexOfSelectedByType(1) == qint64(i), rows[i].probed != nullptr);
        if (rows[i].probed)
            EXPECT_EQ(selected->address(), QString::fromUtf8(rows[i].probed));
    }
    EXPECT_EQ(probed.size(), 2);
}

TEST_F(ServerManagerTest, RecordObjects)
{
    EXPECT_FALSE(RDOServerInfo::initWithName({}, QStringLiteral("a"), QStringLiteral("1"), {}, 1));
    EXPECT_FALSE(RDOServerInfo::initWithName(QStringLiteral("n"), {}, QStringLiteral("1"), {}, 1));
    EXPECT_FALSE(RDOServerInfo::initWithName(QStringLiteral("n"), QStringLiteral("a"), {}, {}, 1));
    const auto info
        = RDOServerInfo::initWithName(QString(""), QStringLiteral("a"), QStringLiteral("1"), {}, -5);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->getTag(), "-5");
    EXPECT_FALSE(info->getProviderName());

    const auto set = [](const brokersim::Table& t) { return *brokersim::toRecordSet(t, 2); };
    const VEKTCRS first = set(brokersim::Table().column("msp").row({ "x" }));
    EXPECT_FALSE(RDOServerVersionInfo::initWithTCRArray({ first }));
    const auto two = RDOServerVersionInfo::initWithTCRArray(
        { first, set(brokersim::Table().column("yyb_version").row({ "17" })) });
    ASSERT_TRUE(two);
    EXPECT_EQ(two->organizationVersion(), QString("17"));
    EXPECT_FALSE(two->menuVersion());
    const auto three = RDOServerVersionInfo::initWithTCRArray(
        { first, set(brokersim::Table().column("other").row({ "1" })),
            set(brokersim::Table().column("menu_version").column("cont_id").row({ "3", "C9" })) });
    ASSERT_TRUE(three);
    EXPECT_FALSE(three->organizationVersion()); // a missing field reads as none
    EXPECT_EQ(three->menuVersion(), QString("3"));
    EXPECT_EQ(three->contId(), QString("C9"));
}

TEST_F(ServerManagerTest, PublicAddressGoesToTheDelegate)
{
    auto m = make();
    Listener listener;
    m->setDelegate(&listener);
    IPMacAddressInfo* info = IPMacAddressInfo::sharedInstance();
    info->setWebServer(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(testsupport::unusedLoopbackPort())));
    m->getPublicInfo();
    EXPECT_EQ(info->delegate(), m.get());
    ASSERT_TRUE(spinUntil([&] { return !listener.publicIPs.empty(); }));
    EXPECT_FALSE(listener.publicIPs[0].first); // the lookup failed: no address
    EXPECT_FALSE(listener.publicIPs[0].second);
    m->ipMacAddressInfo(*info, QStringLiteral("203.0.113.9"));
    ASSERT_EQ(listener.publicIPs.size(), 2u);
    EXPECT_EQ(listener.publicIPs[1].first, QString("203.0.113.9"));
    EXPECT_FALSE(listener.publicIPs[1].second); // never an operator
    m.reset();
    EXPECT_EQ(info->delegate(), nullptr);
    IPMacAddressInfo::resetSharedInstance();
}

TEST_F(ServerManagerTest, SharedInstanceServesTheNetworkFactory)
{
    const QByteArray home = qgetenv("LUMORA_HOME");
    qputenv("LUMORA_HOME", dir.filePath("home").toUtf8());
    DMServerManager::resetInstance();
    NetworkFactory::resetInstance();
    DMServerManager* shared = DMServerManager::getInstance();
    EXPECT_EQ(DMServerManager::getInstance(), shared);
    EXPECT_EQ(NetworkFactory::getInstance()->serverManager(), shared);
    // The shipped list, the user's copy in the per-user "Config/".
    EXPECT_EQ(shared->numberOfServerInfosByType(1), 2u);
    EXPECT_EQ(shared->userCopyPath(), dir.filePath("home/Config/ServerInfo.plist"));
    shared->setIndexOfSelectedByType(1, 1);
    EXPECT_TRUE(QFile::exists(dir.filePath("home/Config/ServerInfo.plist")));
    DMServerManager::resetInstance();
    EXPECT_EQ(DMServerManager::getInstance()->indexOfSelectedByType(1), 1);
    DMServerManager::resetInstance();
    // The factory finds the shared server manager by itself when asked first.
    NetworkFactory::resetInstance();
    INetworkServerManager* found = NetworkFactory::getInstance()->serverManager();
    EXPECT_NE(found, nullptr);
    EXPECT_EQ(found, DMServerManager::getInstance());
    DMServerManager::resetInstance();
    if (home.isNull())
        qunsetenv("LUMORA_HOME");
    else
        qputenv("LUMORA_HOME", home);
}
