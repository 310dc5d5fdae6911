#include "ShellTestRig.h"
#include "comm/crypto/AesEncryption.h"
#include "login/Account.h"
#include "tools/broker-sim/MenuFunctions.h"
#include "tools/broker-sim/MessageFunctions.h"

#include <set>

using namespace shelltest;
using testsupport::spinUntil;

namespace {

const QString kUtid = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");

// Hears the three shell requests; a list reply is merged as the main window does.
struct Listener : IQueryMenuInfoDelegate, IMessageCenterListDelegate, IMessageCenterDetailDelegate {
    std::shared_ptr<RDOMenuManager> menu;
    std::optional<std::vector<RDOMessageInfo>> list;
    std::optional<QString> html;
    std::optional<CSError> error;
    MessageCenterManager* store = nullptr;

    void queryMenuInfo(DataModel*, const QString&, const std::shared_ptr<RDOMenuManager>& m) override
    {
        menu = m;
    }
    bool queryMenuInfo(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void messageCenterList(DataModel*, const QString& handle, const std::vector<RDOMessageInfo>& l) override
    {
        list = l;
        if (store)
            store->updateMessageCenterInfo(l, handle);
    }
    bool messageCenterList(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void messageCenterDetail(DataModel*, const QString&, const QString& h) override { html = h; }
    bool messageCenterDetail(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    bool fail(const CSError& e)
    {
        error = e;
        return true;
    }
    bool done() const { return menu || list || html || error; }
    void reset()
    {
        menu.reset();
        list.reset();
        html.reset();
        error.reset();
    }
};

class ShellEndToEndTest : public ShellSimulatorFixture {
protected:
    void SetUp() override
    {
        ShellSimulatorFixture::SetUp();
        sim.state().addTerminalId(kUtid);
        UserDefaultConfig::getInstance()->setUserUtid(kUtid);
        UserDefaultConfig::getInstance()->setContId(broker().data().contId);
    }
    Listener listener;
};

} // namespace

TEST_F(ShellEndToEndTest, MenuFetchStoreAndReloadWithTheSameVersion)
{
    const QString version = broker().data().menuVersion;
    {
        MenuManager manager;
        ASSERT_TRUE(manager.needRequestMenuInfo(version));
        ASSERT_FALSE(manager.requestMenuInfo(&listener).isEmpty());
        ASSERT_TRUE(spinUntil([&] { return listener.done(); }));
        ASSERT_TRUE(listener.menu) << qPrintable(listener.error->domain);
        EXPECT_EQ(lastBody(brokersim::kMenuFunction),
            QStringLiteral("utid=%1&hwid=%2&cont_id=%3&soft_version=1.0")
                .arg(kUtid, SystemInfo::getInstance()->systemString(), broker().data().contId));
        manager.setMenuInfo(listener.menu);

        // Every link of the client's table is in the simulator's menu but
        // the six whose pages this client lacks (their entries go to the
        // common query page, or are gone); 60003 stays, to show the
        // not-supported message.
        std::set<qint32> ids;
        for (const auto& node : manager.rdoMenuManager()->allMenuItemsArray())
            ids.insert(node->menuLinkId);
        EXPECT_EQ(ids.size(), 52u); // 51 link ids and 0 for links outside the table
        for (qint32 absent : { 30009, 30010, 30014, 40003, 40007, 50002 })
            EXPECT_EQ(ids.count(absent), 0u) << absent;
        EXPECT_EQ(ids.count(60003), 1u);
        const auto root = manager.getRootMenuArray();
        ASSERT_EQ(root.size(), 1u);
        EXPECT_EQ(root.front()->menuLinkId, 1);
        EXPECT_EQ(childIds(*root.front()), QStringLiteral("510,520,540,560,570,580"));
        EXPECT_EQ(
            RDOMenuInfo::getMenuLinkTypeWithLinkString(
                AesEncryption::decodeStringWithAES(*manager.getPMDParam(), RDOMenuInfo::kMenuKey).value()),
            RDOMenuInfo::kIndexTicker);
    }
    EXPECT_EQ(UserDefaultConfig::getInstance()->menuVersion(), version);

    // The same version: the stored menu is used and nothing is asked.
    MenuManager reloaded;
    EXPECT_FALSE(reloaded.needRequestMenuInfo(version));
    EXPECT_EQ(reloaded.findMenuInfoWithLinkId(60004)->menuName, QStringLiteral("退出交易"));
    EXPECT_EQ(receivedOf(brokersim::kMenuFunction).size(), 1);

    // A new version on the server: fetched again.
    broker().setMenuVersion(QStringLiteral("20990101"));
    EXPECT_TRUE(reloaded.needRequestMenuInfo(QStringLiteral("20990101")));

    // A terminal id the server does not know: the error, nothing stored.
    UserDefaultConfig::getInstance()->setUserUtid(QStringLiteral("FFFF"));
    listener.reset();
    reloaded.requestMenuInfo(&listener);
    ASSERT_TRUE(spinUntil([&] { return listener.done(); }));
    ASSERT_TRUE(listener.error);
    EXPECT_EQ(listener.error->code, 90001);
    EXPECT_EQ(UserDefaultConfig::getInstance()->menuVersion(), version);
}

TEST_F(ShellEndToEndTest, MessageListFiledUnderTheAskingCustomerAndDetail)
{
    auto board = std::make_shared<brokersim::MessageBoard>();
    brokersim::registerMessageFunctions(sim, board);
    AccountManager accounts;
    for (const char* number : { "010100000001", "020100000003" }) {
        auto account = std::make_shared<Account>();
        account->customerNumber = QString::fromLatin1(number);
        account->organizationCode = QString::fromLatin1(number).left(4);
        accounts.addActiveAccount(account);
    }
    accounts.setActiveLoginAccount(0);
    MessageCenterManager store(nullptr, &accounts);
    listener.store = &store;

    // The active account changes before the reply comes: it is still filed
    // under the customer it was asked for.
    ASSERT_FALSE(store.requestMessageInfoList(&listener).isEmpty());
    accounts.setActiveLoginAccount(1);
    ASSERT_TRUE(spinUntil([&] { return listener.done(); }));
    EXPECT_EQ(lastBody(brokersim::kMessageListFunction), QStringLiteral("updatekey=0|0&orgid=0101"));
    ASSERT_TRUE(listener.list);
    EXPECT_EQ(listener.list->size(), 4u);
    EXPECT_TRUE(store.getMessageInfoObjects().empty());
    accounts.setActiveLoginAccount(0);
    const auto infos = store.getMessageInfoObjects();
    ASSERT_EQ(infos.size(), 3u); // the expired one is not kept
    EXPECT_EQ(infos[0].title, QStringLiteral("风险提示"));
    EXPECT_EQ(store.lastMessageInfoUpdateKey(), QStringLiteral("4|0"));
    EXPECT_EQ(store.getUnreadMessageCount(), 3);

    // Only what is newer comes next time.
    board->post({ QString(), QStringLiteral("新消息"), QStringLiteral("2024-06-06 09:00:00"),
        QStringLiteral("2099-01-01 00:00:00"), QStringLiteral("20240606"), QStringLiteral("5"),
        QStringLiteral("<p>新</p>") });
    listener.reset();
    store.requestMessageInfoList(&listener);
    ASSERT_TRUE(spinUntil([&] { return listener.done(); }));
    EXPECT_EQ(lastBody(brokersim::kMessageListFunction), QStringLiteral("updatekey=4|0&orgid=0101"));
    EXPECT_EQ(store.getMessageInfoObjects().size(), 4u);

    // The body is data: the script and the links come back as text.
    listener.reset();
    store.requestMessageInfoDetail(&listener, infos[0].pd, infos[0].pt);
    ASSERT_TRUE(spinUntil([&] { return listener.done(); }));
    ASSERT_TRUE(listener.html);
    EXPECT_TRUE(listener.html->contains(QStringLiteral("<script>alert('server text is data')</script>")));
    EXPECT_EQ(lastBody(brokersim::kMessageDetailFunction), QStringLiteral("pd=20240605&pt=4"));

    listener.reset();
    store.requestMessageInfoDetail(&listener, QStringLiteral("none"), QStringLiteral("0"));
    ASSERT_TRUE(spinUntil([&] { return listener.done(); }));
    ASSERT_TRUE(listener.error);
    EXPECT_EQ(listener.error->code, brokersim::kUnknownMessageCode);
}
