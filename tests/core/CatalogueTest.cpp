// The catalogue of request classes, the request manager and the trade lookups.
#include "DataModelTestRig.h"
#include "core/DataModelManager.h"
#include "core/DelegateObject.h"

#include <gtest/gtest.h>

using namespace coretest;

namespace {

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        NetworkFactory::resetInstance();
        DataModelManager::resetInstance();
        registerTestDataModels();
    }
    void TearDown() override
    {
        DataModelFactory::unregisterAll();
        DataModelManager::resetInstance();
        NetworkFactory::resetInstance();
    }
};

} // namespace

TEST_F(Catalogue, LookupIsExactAndEveryCallMakesANewObject)
{
    DataModelManager* manager = DataModelManager::getInstance();
    EXPECT_EQ(manager, DataModelManager::getInstance());
    const QString echoId = QString::fromLatin1(DMQueryEcho::info.identifier);

    std::unique_ptr<DataModel> first = manager->getDataModel(echoId);
    std::unique_ptr<DataModel> second = manager->getDataModel(echoId);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.get(), second.get());
    EXPECT_NE(dynamic_cast<DMQueryEcho*>(first.get()), nullptr);
    EXPECT_EQ(first->identifier(), echoId);
    EXPECT_EQ(first->serverKind(), 1);
    EXPECT_NE(dynamic_cast<DMChangeTest*>(
                  manager->getDataModel(QString::fromLatin1(DMChangeTest::info.identifier)).get()),
        nullptr);

    // Separate observer lists.
    EchoObserver observer;
    tagRequestParam param;
    first->mallocParam(&param);
    const QString handle = first->requestData(&observer, param, 30);
    first->freeParam(&param);
    EXPECT_EQ(first->observersOfHandle(handle).size(), 1u);
    EXPECT_TRUE(second->observersOfHandle(handle).empty());

    // Case counts; null and unknown give nothing.
    EXPECT_EQ(manager->getDataModel(echoId.toLower()), nullptr);
    EXPECT_EQ(manager->getDataModel(QString()), nullptr);
    EXPECT_EQ(manager->getDataModel(QStringLiteral("00000000-0000-0000-0000-000000000000")), nullptr);
    EXPECT_EQ(manager->getDataModel(echoId + QLatin1Char(' ')), nullptr);

    // A lower-case identifier is found as written, and only so.
    ASSERT_TRUE(DataModelFactory::registerDataModel(QStringLiteral("237b93a5-b74d-4c76-9359-ef91e13bf7b6"),
        [] { return std::make_unique<DMQueryEcho>(); }));
    EXPECT_TRUE(manager->getDataModel(QStringLiteral("237b93a5-b74d-4c76-9359-ef91e13bf7b6")));
    EXPECT_FALSE(manager->getDataModel(QStringLiteral("237B93A5-B74D-4C76-9359-EF91E13BF7B6")));

    // One class per identifier; identifiers are GUIDs. The same class again
    // is no clash (a library's registration may run twice), another one is.
    EXPECT_TRUE(DataModelFactory::registerDataModel<DMQueryEcho>());
    EXPECT_FALSE(DataModelFactory::registerDataModel(echoId, [] { return std::make_unique<DMQueryEcho>(); }));
    EXPECT_FALSE(DataModelFactory::registerDataModel(
        QStringLiteral("short"), [] { return std::make_unique<DMQueryEcho>(); }));
    EXPECT_EQ(DataModelFactory::registeredIdentifiers().size(), 6);
    EXPECT_TRUE(DataModelFactory::isRegistered(echoId));
    registerCoreDataModels();
    EXPECT_EQ(DataModelFactory::registeredIdentifiers().size(), 6);
}

TEST_F(Catalogue, SecondManagerCannotBeMade)
{
    DataModelManager::resetInstance();
    DataModelManager* made = DataModelManager::allocWithZone();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(DataModelManager::getInstance(), made);
    EXPECT_EQ(DataModelManager::allocWithZone(), nullptr);
    EXPECT_EQ(DataModelManager::getInstance(), made);
}

TEST(TradeLookups, OrderTypeFlagsAndVoteTypes)
{
    const std::vector<std::pair<qint32, const char*>> flags { { 0, "B" }, { 1, "a" }, { 8, "a" }, { 2, "b" },
        { 7, "b" }, { 3, "c" }, { 4, "d" }, { 5, "e" }, { 6, "q" }, { 9, "3m" }, { 100, "S" }, { 101, "f" },
        { 108, "f" }, { 102, "g" }, { 107, "g" }, { 103, "h" }, { 104, "i" }, { 105, "j" }, { 106, "r" },
        { 109, "3n" }, { 200, "7" }, { 300, "3B" }, { 301, "2B" }, { 302, "3S" }, { 303, "2S" },
        { 304, "4S" }, { 10, "" }, { -1, "" }, { 110, "" }, { 305, "" } };
    for (const auto& [type, flag] : flags) {
        EXPECT_EQ(TradeDataModel::getTradeBSFlag(type), QLatin1String(flag)) << type;
        EXPECT_EQ(
            TradeDataModel::getQueryBSFlag(type), type == 200 ? QStringLiteral("S") : QLatin1String(flag))
            << type;
    }
    EXPECT_EQ(TradeDataModel::getHKVoteTypeString(0), QStringLiteral("H63"));
    EXPECT_EQ(TradeDataModel::getHKVoteTypeString(1), QStringLiteral("H64"));
    EXPECT_EQ(TradeDataModel::getHKVoteTypeString(2), QStringLiteral("H65"));
    EXPECT_EQ(TradeDataModel::getHKVoteTypeString(3), QStringLiteral("H66"));
    EXPECT_EQ(TradeDataModel::getHKVoteTypeString(4), QString());
    EXPECT_EQ(TradeDataModel::getHKVoteTypeString(-1), QString());
}

TEST(RequestBodyFormat, ValuesAreCheckedBeforeTheyGoIn)
{
    RequestBody body;
    body.prefix("fundid=1&secuid=A").add("code", "600000").add("qty", qint64(-5));
    EXPECT_FALSE(body.error());
    EXPECT_EQ(body.text(), QStringLiteral("fundid=1&secuid=A&code=600000&qty=-5"));

    for (const char* bad : { "1&price=0", "a=b", "tab\there", "\x7f", "\xe4\xb8\xad" }) {
        RequestBody refused;
        refused.prefix("fundid=1").add("code", bad);
        ASSERT_TRUE(refused.error()) << bad;
        // The customer reads it: it names no key.
        EXPECT_EQ(*refused.error(), QStringLiteral("输入的内容含有不能发送的字符"));
    }
    RequestBody badKey;
    badKey.add("a&b", "1");
    EXPECT_TRUE(badKey.error());
    RequestBody badPrefix;
    badPrefix.prefix("fundid=1\n");
    EXPECT_TRUE(badPrefix.error());
    RequestBody raw;
    raw.raw("tc_mfuncno=500&x=1").add("a", "");
    EXPECT_EQ(raw.text(), QStringLiteral("tc_mfuncno=500&x=1&a="));
    EXPECT_TRUE(RequestBody::isSafeValue("%E4%B8%AD-._~ 1"));

    // The class's packet: function numbers, options and body.
    tagQuote5LevelParam quote;
    quote.code = "000001";
    std::optional<CSPacket> packet = DMQuoteEcho::makePacket(quote);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->mFunc(), 900u);
    EXPECT_EQ(packet->sFunc(), 3u);
    EXPECT_EQ(packet->service(), 400u);
    EXPECT_FALSE(packet->session());
    EXPECT_EQ(packet->data(), QStringLiteral("code=000001"));
    quote.code = "0&1";
    QString message;
    EXPECT_FALSE(DMQuoteEcho::makePacket(quote, &message));
    EXPECT_FALSE(message.isEmpty());
}

TEST(DelegateObjectTest, KeepsWhatTheReplyNeedsAndTheObserverWeakly)
{
    DelegateObject relay;
    EXPECT_EQ(relay.observer(), nullptr);
    auto observer = std::make_unique<EchoObserver>();
    relay.setObserver(observer.get());
    relay.setIdentitfy(QStringLiteral("DMReservationInfo"));
    relay.setNeedParam({ { QStringLiteral("prompt"), QStringLiteral("你好") } });
    EXPECT_EQ(relay.observer(), observer.get());
    EXPECT_EQ(relay.identitfy(), QStringLiteral("DMReservationInfo"));
    EXPECT_EQ(relay.needParam().value(QStringLiteral("prompt")).toString(), QStringLiteral("你好"));
    observer.reset();
    EXPECT_EQ(relay.observer(), nullptr);
}
