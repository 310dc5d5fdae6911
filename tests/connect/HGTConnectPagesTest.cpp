#include "comm/request/CSNetwork.h"
#include "compliance/ComplianceDataModels.h"
#include "compliance/permissions/PermissionSettingsManager.h"
#include "connect/pages/HGTCancelOrderViewController.h"
#include "connect/pages/HGTQueryViewControllers.h"
#include "connect/pages/HGTVoteViewControllers.h"
#include "core/NetworkFactory.h"
#include "core/NotificationCenter.h"
#include "platform/ChinaClock.h"
#include "platform/RunLoop.h"
#include "quotes/QuoteTestRig.h"
#include "shell/pages/ActionOutcomeRelay.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/windows/SessionNotifications.h"
#include "tools/broker-sim/HKFunctions.h"
#include "tools/broker-sim/PermissionFunctions.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/security/StockManager.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QTimer>
#include <gtest/gtest.h>
#include <optional>

using namespace quotetest;
using brokersim::HKDesk;
using testsupport::spinUntil;

namespace {

struct Alerts : AlertPresenter {
    QStringList shown; // "<title>:<text>"
    bool hold = false; // the boxes wait, as under the lock
    std::vector<Completion> held;
    void runAlert(const AlertRequest& request, Completion completion) override
    {
        shown << request.title + u':' + request.text;
        if (hold)
            held.push_back(std::move(completion));
        else if (completion)
            completion(1);
    }
};

// Keeps the wizard the permission page runs.
struct Wizards : IPermissionWizardPresenter {
    AlertPresenter* sheets = nullptr;
    std::shared_ptr<PermissionAlertWindowController> last;
    bool present(const std::shared_ptr<PermissionAlertWindowController>& wizard, QObject*) override
    {
        wizard->setAlertPresenter(sheets);
        last = wizard;
        return true;
    }
};

class HGTConnectPagesTest : public MarketFixture {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerTradingDataModels();
        registerConnectDataModels();
        registerComplianceDataModels();
        registerConnectPages();
        MenuItemViewManager::getInstance()->setWindow(&alerts);
        logInWithHolders({ { QStringLiteral("沪港通"), "5", "A101000001" } });
        setDefaultPermissionWizardPresenter(&wizards);
        wizards.sheets = &alerts;
    }
    void TearDown() override
    {
        OrderAlertWindowController::setShownHookForTesting({});
        HGTCancelConfirmAlertWC::setShownHookForTesting({});
        setDefaultPermissionWizardPresenter(nullptr);
        wizards.last.reset();
        pages.clear();
        MenuItemViewManager::resetInstance();
        PermissionSettingsManager::resetInstance();
        HGTRequestManager::resetInstance();
        StockManager::resetInstance();
        MarketFixture::TearDown();
    }

    // A page as the dispatch would make it, opened directly by its link id.
    template <class Page> Page& open(qint64 linkId)
    {
        std::unique_ptr<MenuItemViewController> made = MenuItemViewManager::getInstance()->openConnectPage(linkId);
        auto* page = dynamic_cast<Page*>(made.get());
        EXPECT_NE(page, nullptr) << linkId;
        made->setAlertPresenter(&alerts);
        pages.push_back(std::move(made));
        return *page;
    }
    void confirmDialogs()
    {
        OrderAlertWindowController::setShownHookForTesting([](OrderAlertWindowController& c) {
            QTimer::singleShot(0, &c, [&c] { c.confirmButtonClicked(); });
        });
    }
    // A buy of one lot of 00981, `steps` spread steps from the latest price:
    // below rests, above fills at once.
    QString buy(qint64 steps)
    {
        const brokersim::MarketSecurity& s = *market().security(QStringLiteral("00981"));
        const qint64 last = brokersim::Market::lastTicks(s);
        qint64 price = last + steps * HKDesk::spreadStep(last);
        price -= price % HKDesk::spreadStep(price);
        struct Catcher : IHGTMakeOrder {
            QString number;
            bool done = false;
            void hgtMakeOrder(DataModel*, const QString&, const QString& n) override
            {
                number = n;
                done = true;
            }
            bool hgtMakeOrder(DataModel*, const QString&, const CSError& e) override
            {
                ADD_FAILURE() << e.domain.toStdString();
                done = true;
                return true;
            }
        } c;
        HGTRequestManager::getInstance()->requestHGTTradeBuy(&c, QStringLiteral("A101000001"),
            QStringLiteral("00981"), brokersim::Market::ticksText(price, 3), QStringLiteral("500"),
            QStringLiteral("增强限价买入"));
        EXPECT_TRUE(spinUntil([&] { return c.done; }));
        return c.number;
    }
    HGTCancelOrderViewController& cancelPageWith(qsizetype rows)
    {
        auto& page = open<HGTCancelOrderViewController>(90003);
        EXPECT_TRUE(spinUntil([&] { return page.countText() == QString::number(rows); }));
        return page;
    }
    QString statusOf(HGTCancelOrderViewController& page, const QString& number)
    {
        for (const QVariant& v : page.orders()->contentObjectArray())
            if (v.value<RDOOrder>().number == number)
                return v.value<RDOOrder>().statusDesc;
        return QString();
    }
    const HKDesk::Order* deskOrder(const QString& number)
    {
        for (const HKDesk::Order& o : brokersim::hkDesk(sim)->orders())
            if (o.number == number)
                return &o;
        return nullptr;
    }

    platform::ChinaClock::Override clock { platform::ChinaClock::at(2026, 12, 2, 10, 0) };
    Alerts alerts;
    Wizards wizards;
    std::vector<std::unique_ptr<MenuItemViewController>> pages;
};

} // namespace

TEST_F(HGTConnectPagesTest, EveryLinkOpensItsPageThroughTheFactoryWhileTheMenuAnswersNotSupported)
{
    const char* classes[] = { "HGTTradeViewController", "HGTZSSellViewController", "HGTLGSellViewController",
        "HGTCancelOrderViewController", "HGTQueryStockTargetViewController", "HGTVoteViewController",
        "HGTOtherVoteViewController", "HGTCancelVoteViewController", "HGTQueryNotificationViewController",
        "HGTPermissionSettingsViewController" };
    MenuItemViewManager* manager = MenuItemViewManager::getInstance();
    for (qint64 id = 90000; id <= 90009; ++id) {
        SCOPED_TRACE(id);
        const QString expected = QString::fromLatin1(classes[id - 90000]);
        EXPECT_EQ(MenuItemViewManager::connectPageClassName(id), expected);
        std::unique_ptr<MenuItemViewController> page = manager->openConnectPage(id, QStringLiteral("港股通"));
        ASSERT_TRUE(page);
        EXPECT_EQ(page->pageClass(), expected);
        EXPECT_EQ(page->pageTitle(), QStringLiteral("港股通"));
        EXPECT_EQ(QString::fromLatin1(page->metaObject()->className()), expected);
        page->unloadView();

        // A menu entry with the same link opens nothing and says so.
        alerts.shown.clear();
        auto entry = ChildNode::initLeaf();
        entry->nodeLinkType = 4;
        entry->nodeLinkId = id;
        EXPECT_FALSE(manager->getViewController(entry));
        EXPECT_EQ(alerts.shown,
            QStringList { QStringLiteral("错误:") + QString::fromUtf8(MenuItemViewManager::kNotSupportedMessage) });
    }
    EXPECT_TRUE(MenuItemViewManager::connectPageClassName(89999).isEmpty());
    EXPECT_TRUE(MenuItemViewManager::connectPageClassName(90010).isEmpty());
    EXPECT_FALSE(manager->openConnectPage(90010));
}

TEST_F(HGTConnectPagesTest, CancelOneOrderAndSeeItsStatusChange)
{
    const QString number = buy(-20);
    auto& page = cancelPageWith(1);
    EXPECT_EQ(statusOf(page, number), QStringLiteral("已报"));
    EXPECT_EQ(page.selectedCountText(), "0");

    // Nothing ticked: nothing happens, no box, no dialog, nothing sent.
    int dialogs = 0;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& c) {
        ++dialogs;
        EXPECT_EQ(c.entry(), OrderAlertEntry::CancelOrder);
        QTimer::singleShot(0, &c, [&c] { c.confirmButtonClicked(); });
    });
    alerts.shown.clear();
    page.cancelOderButtonClicked();
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(alerts.shown.isEmpty()) << alerts.shown.join(u'|').toStdString();
    EXPECT_FALSE(page.isBusy());
    EXPECT_EQ(sim.receivedCount(brokersim::kHKCancelFunction), 0);

    page.ordersTableViewClicked(0);
    EXPECT_EQ(page.selectedCountText(), "1");
    EXPECT_TRUE(page.selectAllChecked());
    page.cancelOderButtonClicked();
    EXPECT_EQ(dialogs, 1);
    ASSERT_TRUE(spinUntil([&] { return statusOf(page, number) == QStringLiteral("已撤"); }));
    EXPECT_TRUE(alerts.shown.contains(QStringLiteral("温馨提示:成功。"))) << alerts.shown.join(u'|').toStdString();
    EXPECT_EQ(page.selectedCountText(), "0");
    const brokersim::Request sent = sim.receivedOf(brokersim::kHKCancelFunction).back();
    EXPECT_EQ(sent.valueOr(QStringLiteral("count")), "1");
    EXPECT_EQ(sent.valueOr(QStringLiteral("snos")), number);
    EXPECT_EQ(sent.valueOr(QStringLiteral("orderdate")), "20261202");
    const brokersim::Request listed = sim.receivedOf(brokersim::kHKOrdersOfTodayFunction).back();
    EXPECT_EQ(listed.valueOr(QStringLiteral("qryflag")), "1");
    EXPECT_EQ(listed.valueOr(QStringLiteral("count")), "9999");
}

TEST_F(HGTConnectPagesTest, BatchWithOneFilledReportsTwoAndOneAfterTheThirdAnswer)
{
    const QString resting1 = buy(-20);
    const QString filled = buy(20);
    const QString resting2 = buy(-30);
    auto& page = cancelPageWith(3);
    EXPECT_EQ(statusOf(page, filled), QStringLiteral("已成"));

    confirmDialogs();
    // The first cancel's answer comes last: nothing is shown before it.
    sim.withholdNext(brokersim::kHKCancelFunction);
    bool releasedEmpty = false;
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(spinUntil([&] { return sim.withheldCount() == 1 && page.lastResults().size() == 3; }));
        spinUntil([&] { return sim.receivedCount(brokersim::kHKCancelFunction) == 3; });
        testsupport::spinFor(std::chrono::milliseconds(50));
        releasedEmpty = !std::ranges::any_of(
            alerts.shown, [](const QString& s) { return s.contains(QStringLiteral("批量撤单")); });
        sim.releaseWithheld();
    });
    page.selectAllButtonClicked(true);
    EXPECT_EQ(page.selectedCountText(), "3");
    page.cancelOderButtonClicked();
    EXPECT_TRUE(releasedEmpty);
    ASSERT_TRUE(spinUntil([&] { return statusOf(page, resting2) == QStringLiteral("已撤"); }));
    EXPECT_EQ(statusOf(page, resting1), QStringLiteral("已撤"));
    EXPECT_EQ(statusOf(page, filled), QStringLiteral("已成"));
    // The two counts and nothing more.
    const QStringList summaries = alerts.shown.filter(QStringLiteral("批量撤单"));
    ASSERT_EQ(summaries.size(), 1);
    EXPECT_EQ(summaries[0], QStringLiteral("温馨提示:批量撤单\n成功数量:2\n失败数量:1"));
    EXPECT_TRUE(std::ranges::any_of(page.lastResults(),
        [](const auto& r) { return !r.succeeded && r.message == QStringLiteral("该委托已成交，不能撤单"); }));
    EXPECT_EQ(sim.receivedCount(brokersim::kHKCancelFunction), 3);
}

TEST_F(HGTConnectPagesTest, BatchThatLosesItsConnectionStillEndsWithItsSummary)
{
    buy(-20);
    buy(-25);
    auto& page = cancelPageWith(2);
    confirmDialogs();
    sim.withholdNext(brokersim::kHKCancelFunction, 2);
    QTimer::singleShot(0, [&] {
        spinUntil([&] { return sim.withheldCount() == 2; });
        sim.dropConnections();
    });
    page.selectAllButtonClicked(true);
    page.cancelOderButtonClicked();
    EXPECT_FALSE(page.alertWindowController().isShown());
    EXPECT_FALSE(page.isBusy());
    const QStringList summaries = alerts.shown.filter(QStringLiteral("批量撤单"));
    ASSERT_EQ(summaries.size(), 1);
    EXPECT_EQ(summaries[0], QStringLiteral("温馨提示:批量撤单\n成功数量:0\n失败数量:2"));
    // Said of the cancel: placing the order again is no advice here.
    EXPECT_TRUE(std::ranges::all_of(page.lastResults(),
        [](const auto& r) { return !r.succeeded && r.message == QStringLiteral("撤单结果未知，请查询当日委托确认"); }));
    // Never sent again by itself.
    testsupport::spinFor(std::chrono::milliseconds(100));
    EXPECT_EQ(sim.receivedCount(brokersim::kHKCancelFunction), 2);
}

TEST_F(HGTConnectPagesTest, VoteWithOnlyAbstainReachesItsSerialNumber)
{
    auto& page = open<HGTVoteViewController>(90005);
    using F = HGTVoteViewController::Field;
    page.setFieldText(F::Code, QStringLiteral("00700"));
    EXPECT_EQ(page.focusedField(), 1); // on to the announcement number

    // Nothing to vote with: the tip, no dialog.
    int dialogs = 0;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& c) {
        ++dialogs;
        EXPECT_EQ(c.entry(), OrderAlertEntry::HGTVote);
        QTimer::singleShot(0, &c, [&c] { c.confirmButtonClicked(); });
    });
    page.setFieldText(F::PublicNo, QStringLiteral("G00700001"));
    page.fieldEditEnd(F::PublicNo);
    EXPECT_EQ(page.focusedField(), 2);
    page.setFieldText(F::BillNo, QStringLiteral("1"));
    page.orderButtonClick();
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(alerts.shown.back(),
        QStringLiteral("温馨提示:") + QString::fromUtf8(HGTVoteViewController::kMissingInputMessage));
    page.setFieldText(F::Free, QStringLiteral("200"));
    page.orderButtonClick();
    EXPECT_EQ(dialogs, 1);
    ASSERT_TRUE(spinUntil([&] { return !page.lastSerialNo().isEmpty(); }));
    EXPECT_EQ(alerts.shown.back(), QStringLiteral("温馨提示:委托已提交,委托序号为%1").arg(page.lastSerialNo()));
    const brokersim::Request sent = sim.receivedOf(brokersim::kHKVoteFunction).back();
    EXPECT_EQ(sent.valueOr(QStringLiteral("up_no"), "x"), "");
    EXPECT_EQ(sent.valueOr(QStringLiteral("down_no"), "x"), "");
    EXPECT_EQ(sent.valueOr(QStringLiteral("free_no")), "200");
    EXPECT_EQ(sent.valueOr(QStringLiteral("int_org")), "0101"); // the account's branch code
    EXPECT_EQ(page.fieldText(F::Free), "200"); // the fields keep their values
    ASSERT_EQ(brokersim::hkDesk(sim)->votes().size(), 1);

    // An account whose prefix has no branch code sends it empty; the same
    // vote again is a request of its own.
    AccountManager::getInstance()->getActiveLoginAccount()->organizationCode.reset();
    const QString first = page.lastSerialNo();
    page.orderButtonClick();
    ASSERT_TRUE(spinUntil([&] { return page.lastSerialNo() != first; }));
    EXPECT_EQ(sim.receivedOf(brokersim::kHKVoteFunction).back().valueOr(QStringLiteral("int_org"), "x"), "");
    EXPECT_EQ(brokersim::hkDesk(sim)->votes().size(), 2);

    // A quote for the code writes nothing into the vote.
    page.updatePrice(QStringLiteral("368.400"));
    EXPECT_TRUE(page.priceText().isEmpty());
}

TEST_F(HGTConnectPagesTest, VoteSendsForAndAgainstAsTypedAndTheServerJudgesThem)
{
    auto& page = open<HGTVoteViewController>(90005);
    using F = HGTVoteViewController::Field;
    confirmDialogs();
    page.setFieldText(F::Code, QStringLiteral("00700"));
    page.setFieldText(F::PublicNo, QStringLiteral("G00700001"));
    page.setFieldText(F::BillNo, QStringLiteral("2"));
    const struct {
        const char* up;
        const char* down;
        const char* refusal; // the server's, or none
    } cases[] = { { "300", "200", nullptr }, { "-100", "1.5", "投票数量错误" }, { "400", "", nullptr } };
    for (const auto& c : cases) {
        page.setFieldText(F::Up, QString::fromLatin1(c.up));
        page.setFieldText(F::Down, QString::fromLatin1(c.down));
        const qsizetype before = sim.receivedCount(brokersim::kHKVoteFunction);
        const qsizetype boxes = alerts.shown.size();
        page.orderButtonClick();
        ASSERT_TRUE(spinUntil([&] { return alerts.shown.size() == boxes + 1; })) << c.up;
        ASSERT_EQ(sim.receivedCount(brokersim::kHKVoteFunction), before + 1);
        const brokersim::Request sent = sim.receivedOf(brokersim::kHKVoteFunction).back();
        EXPECT_EQ(sent.valueOr(QStringLiteral("up_no")), QLatin1String(c.up));
        EXPECT_EQ(sent.valueOr(QStringLiteral("down_no")), QLatin1String(c.down));
        EXPECT_EQ(sent.valueOr(QStringLiteral("free_no"), "x"), "");
        EXPECT_EQ(sent.valueOr(QStringLiteral("pub_no")), "G00700001");
        EXPECT_EQ(sent.valueOr(QStringLiteral("bill_no")), "2");
        EXPECT_EQ(alerts.shown.back(),
            c.refusal ? QStringLiteral("错误:") + QString::fromUtf8(c.refusal)
                      : QStringLiteral("温馨提示:委托已提交,委托序号为%1").arg(page.lastSerialNo()));
    }
    ASSERT_EQ(brokersim::hkDesk(sim)->votes().size(), 2);
    EXPECT_EQ(brokersim::hkDesk(sim)->votes().front().up, "300");
    EXPECT_EQ(brokersim::hkDesk(sim)->votes().front().down, "200");
    EXPECT_EQ(brokersim::hkDesk(sim)->votes().back().up, "400"); // "for" alone is a vote
}

TEST_F(HGTConnectPagesTest, EachDeclarationTypeTitleSendsItsCode)
{
    auto& page = open<HGTOtherVoteViewController>(90006);
    using F = HGTOtherVoteViewController::Field;
    confirmDialogs();
    page.setFieldText(F::Code, QStringLiteral("00700"));
    page.setFieldText(F::OrgNo, QStringLiteral("D00700"));
    page.setFieldText(F::Quantity, QStringLiteral("100"));
    const struct {
        const char* title;
        const char* code;
    } types[] = { { "公司收购", "H63" }, { "公开招股", "H64" }, { "供股行权", "H65" },
        { "红利现金选择权", "H66" } };
    for (const auto& t : types) {
        const int index = HGTOtherVoteViewController::voteTypeTitles().indexOf(QString::fromUtf8(t.title));
        ASSERT_GE(index, 0) << t.title;
        page.selectVoteType(index);
        const QString before = page.lastSerialNo();
        page.orderButtonClick();
        ASSERT_TRUE(spinUntil([&] { return page.lastSerialNo() != before; })) << t.title;
        const brokersim::Request sent = sim.receivedOf(brokersim::kHKDeclareFunction).back();
        EXPECT_EQ(sent.valueOr(QStringLiteral("hk_type")), QLatin1String(t.code)) << t.title;
        EXPECT_EQ(sent.valueOr(QStringLiteral("hk_dle_type")), "HSB");
        EXPECT_EQ(sent.valueOr(QStringLiteral("declare_quan")), "100");
    }
    EXPECT_EQ(brokersim::hkDesk(sim)->declarationList().size(), 4);
}

TEST_F(HGTConnectPagesTest, DeclarationListedByDateAndWithdrawnLowersItsQuantity)
{
    auto& declare = open<HGTOtherVoteViewController>(90006);
    using F = HGTOtherVoteViewController::Field;
    confirmDialogs();
    declare.setFieldText(F::Code, QStringLiteral("00700"));
    declare.selectVoteType(3);
    declare.setFieldText(F::OrgNo, QStringLiteral("D00700"));
    declare.setFieldText(F::Quantity, QStringLiteral("300"));
    declare.orderButtonClick();
    ASSERT_TRUE(spinUntil([&] { return !declare.lastSerialNo().isEmpty(); }));
    EXPECT_EQ(sim.receivedOf(brokersim::kHKDeclareFunction).back().valueOr(QStringLiteral("hk_type")), "H66");
    ASSERT_EQ(brokersim::hkDesk(sim)->declarationList().size(), 1);
    EXPECT_EQ(brokersim::hkDesk(sim)->declarationList().front().quantity, 300);

    auto& cancel = open<HGTCancelVoteViewController>(90007);
    ASSERT_TRUE(spinUntil([&] { return cancel.countText() == "1"; }));
    const brokersim::Request listed = sim.receivedOf(brokersim::kHKDeclarationsFunction).back();
    EXPECT_EQ(listed.valueOr(QStringLiteral("bgn_date")), "20261202");
    EXPECT_EQ(listed.valueOr(QStringLiteral("end_date")), "20261202");
    EXPECT_EQ(cancel.declarations()->recordAt(0).hkTypeDesc, QStringLiteral("红利现金选择权"));

    // Left empty, the withdrawal goes out as a lone minus sign and the server
    // refuses it; 100 goes out as -100.
    QString quantity;
    HGTCancelConfirmAlertWC::setShownHookForTesting([&](HGTCancelConfirmAlertWC& w) {
        EXPECT_EQ(w.voteTypeDesc(), QStringLiteral("红利现金选择权"));
        EXPECT_EQ(w.orgNo(), "D00700");
        w.setQuantityText(quantity);
        w.confirmButtonClicked();
    });
    cancel.ordersTableViewClicked(0);
    ASSERT_TRUE(spinUntil([&] { return alerts.shown.last() == QStringLiteral("错误:申报数量错误"); }))
        << alerts.shown.last().toStdString();
    ASSERT_EQ(sim.receivedCount(brokersim::kHKDeclareFunction), 2);
    EXPECT_EQ(
        sim.receivedOf(brokersim::kHKDeclareFunction).back().valueOr(QStringLiteral("declare_quan")), "-");
    quantity = QStringLiteral("100");
    cancel.ordersTableViewClicked(0);
    ASSERT_TRUE(spinUntil([&] { return !cancel.lastSerialNo().isEmpty(); }));
    const brokersim::Request withdrawn = sim.receivedOf(brokersim::kHKDeclareFunction).back();
    EXPECT_EQ(withdrawn.valueOr(QStringLiteral("declare_quan")), "-100");
    EXPECT_EQ(withdrawn.valueOr(QStringLiteral("hk_type")), "H66");
    EXPECT_EQ(brokersim::hkDesk(sim)->declarationList().front().quantity, 200);

    // Dismissed, nothing more happens.
    HGTCancelConfirmAlertWC::setShownHookForTesting([](HGTCancelConfirmAlertWC& w) { w.windowWillClose(); });
    cancel.ordersTableViewClicked(0);
    testsupport::spinFor(std::chrono::milliseconds(50));
    EXPECT_EQ(sim.receivedCount(brokersim::kHKDeclareFunction), 3);

    // Full-width digits are withdrawn as digits; what no request can carry
    // stays at the page.
    HGTCancelConfirmAlertWC::setShownHookForTesting([&](HGTCancelConfirmAlertWC& w) {
        w.setQuantityText(quantity);
        w.confirmButtonClicked();
    });
    const std::string tooLong(256, '1');
    for (const char* typed : { "１０股", tooLong.c_str(), "\u3000１００" }) {
        quantity = QString::fromUtf8(typed);
        const qsizetype told = alerts.shown.size();
        cancel.ordersTableViewClicked(0);
        ASSERT_TRUE(spinUntil([&] { return alerts.shown.size() > told; })) << typed;
    }
    EXPECT_TRUE(alerts.shown.contains(QStringLiteral("温馨提示:撤销数量含有不能发送的字符")));
    EXPECT_TRUE(alerts.shown.contains(QStringLiteral("温馨提示:撤销数量过长：最多255个字符")));
    ASSERT_EQ(sim.receivedCount(brokersim::kHKDeclareFunction), 4);
    EXPECT_EQ(
        sim.receivedOf(brokersim::kHKDeclareFunction).back().valueOr(QStringLiteral("declare_quan")), "-100");

    // A begin date after the end date is refused; equal dates are asked.
    const qsizetype asked = sim.receivedCount(brokersim::kHKDeclarationsFunction);
    cancel.setBeginDate(QDate(2026, 12, 3));
    cancel.queryButtonClicked();
    EXPECT_EQ(alerts.shown.last(),
        QStringLiteral("错误:开始日期20261203不能大于结束日期20261202, 请重新输入。"));
    EXPECT_FALSE(cancel.isQuerying());
    cancel.setBeginDate(QDate(2026, 12, 2));
    cancel.queryButtonClicked();
    EXPECT_TRUE(cancel.isQuerying());
    ASSERT_TRUE(spinUntil([&] { return !cancel.isQuerying(); }));
    EXPECT_EQ(sim.receivedCount(brokersim::kHKDeclarationsFunction), asked + 1);
}

// A type sent as its number is withdrawn as that type, a code as its
// number; any other text is refused rather than withdrawn as another type.
TEST_F(HGTConnectPagesTest, DeclarationOfATypeTheClientCannotMapIsNotWithdrawn)
{
    using brokersim::Table;
    sim.answerTablesNext(brokersim::kHKDeclarationsFunction,
        { Table()
                .described("stk_code", "证券代码")
                .described("hk_type", "类型代码")
                .described("~hk_type", "业务类型")
                .described("org_no", "行为代码")
                .row({ "00700", "7", "其他", "D1" })
                .row({ "00700", "1", "公开招股", "D2" })
                .row({ "00700", "0", "公司收购", "D3" })
                .row({ "00700", "H66", "红利现金选择权", "D4" })
                .row({ "00700", "", "", "D5" }) });
    auto& cancel = open<HGTCancelVoteViewController>(90007);
    ASSERT_TRUE(spinUntil([&] { return cancel.countText() == "5"; }));
    int windows = 0;
    HGTCancelConfirmAlertWC::setShownHookForTesting([&](HGTCancelConfirmAlertWC& w) {
        ++windows;
        w.setQuantityText(QStringLiteral("100"));
        w.confirmButtonClicked();
    });
    std::optional<qint64> confirmedType;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& c) {
        confirmedType = c.orderParam().voteType();
        QTimer::singleShot(0, &c, [&c] { c.cancelButtonClicked(); });
    });
    const struct {
        int row;
        const char* outcome; // the type confirmed, or refused
    } rows[] = { { 0, "refused" }, { 1, "1" }, { 2, "0" }, { 3, "3" }, { 4, "refused" } };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.row);
        windows = 0;
        confirmedType.reset();
        alerts.shown.clear();
        cancel.ordersTableViewClicked(r.row);
        // A refusal box ends the wait at once.
        ASSERT_TRUE(spinUntil([&] {
            return !alerts.shown.isEmpty() || (confirmedType && !cancel.alertWindowController().isShown());
        }));
        const bool refused = windows == 0 && alerts.shown.size() == 1
            && alerts.shown[0].contains(QStringLiteral("无法识别的业务类型"));
        const QString outcome = confirmedType && alerts.shown.isEmpty() ? QString::number(*confirmedType)
            : refused                                                    ? QStringLiteral("refused")
                                                                         : alerts.shown.join(u'|');
        EXPECT_EQ(outcome, QLatin1String(r.outcome));
    }
    EXPECT_EQ(sim.receivedCount(brokersim::kHKDeclareFunction), 0);
}

TEST_F(HGTConnectPagesTest, NotificationsKeepTheListOnAnEmptyReplyAndEligibleStocksTakeAnEmptyCode)
{
    auto& notices = open<HGTQueryNotificationViewController>(90008);
    notices.queryButtonClick();
    EXPECT_EQ(alerts.shown.back(), QStringLiteral("温馨提示:请输入证券代码。"));
    EXPECT_EQ(sim.receivedCount(brokersim::kHKNotificationFunction), 0);
    notices.setCodeText(QStringLiteral("007001"));
    EXPECT_EQ(notices.codeText(), "00700");
    notices.queryButtonClick();
    EXPECT_TRUE(notices.progressShown());
    ASSERT_TRUE(spinUntil([&] { return notices.numberOfRowsInTableView() == 2; }));
    EXPECT_FALSE(notices.progressShown());
    EXPECT_EQ(notices.notifications()[0]->valueForTitle(0, QStringLiteral("公告编号")), "G00700001");

    // An empty answer keeps the notices of the same code only.
    sim.answerTablesNext(brokersim::kHKNotificationFunction, { brokersim::Table().column(QStringLiteral("title")) });
    notices.queryButtonClick();
    ASSERT_TRUE(spinUntil([&] { return !notices.progressShown(); }));
    EXPECT_EQ(notices.numberOfRowsInTableView(), 2);
    notices.setCodeText(QStringLiteral("99999"));
    notices.queryButtonClick();
    ASSERT_TRUE(spinUntil([&] { return !notices.progressShown(); }));
    EXPECT_EQ(notices.numberOfRowsInTableView(), 0);

    auto& targets = open<HGTQueryStockTargetViewController>(90004);
    targets.queryButtonClick();
    ASSERT_TRUE(spinUntil([&] { return targets.targets() != nullptr; }));
    EXPECT_EQ(sim.receivedOf(brokersim::kHKStockTargetFunction).back().valueOr(QStringLiteral("stkcode"), "x"), "");
    EXPECT_EQ(targets.targets()->arrayController()->count(), 4);
    EXPECT_FALSE(targets.targets()->tableColomnTitles().contains(QStringLiteral("定位串")));

    // A code typed in full-width digits is asked as its digits; one no
    // request can carry is refused on the page.
    targets.setCodeText(QStringLiteral("００７００"));
    EXPECT_EQ(targets.codeText(), "00700");
    notices.setCodeText(QStringLiteral("\u3000００７００"));
    EXPECT_EQ(notices.codeText(), "00700");
    const qsizetype noticesAsked = sim.receivedCount(brokersim::kHKNotificationFunction);
    notices.setCodeText(QStringLiteral("00=00"));
    notices.queryButtonClick();
    EXPECT_EQ(alerts.shown.back(), QStringLiteral("温馨提示:证券代码含有不能发送的字符"));
    EXPECT_EQ(sim.receivedCount(brokersim::kHKNotificationFunction), noticesAsked);
}

TEST_F(HGTConnectPagesTest, WizardEndingWithOneRefreshesTheStockConnectList)
{
    auto& page = open<HGTPermissionSettingsViewController>(90009);
    ASSERT_TRUE(spinUntil([&] { return page.numberOfRowsInTableView() == 1; }));
    EXPECT_EQ(page.permissions()[0].title, QStringLiteral("港股通交易权限"));
    EXPECT_EQ(sim.receivedCount(brokersim::kPermissionListFunction), 0);
    const qsizetype lists = sim.receivedCount(brokersim::kConnectPermissionListFunction);
    EXPECT_EQ(lists, 1);

    int result = -1;
    page.operateButtonSelected(0);
    ASSERT_TRUE(wizards.last);
    QObject::connect(wizards.last.get(), &PermissionAlertWindowController::finished, [&](int r) { result = r; });
    ASSERT_TRUE(spinUntil([&] { return !wizards.last->state().waiting; }));
    wizards.last->confirmButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return result != -1; }));
    EXPECT_EQ(result, 1);
    ASSERT_TRUE(spinUntil([&] {
        return sim.receivedCount(brokersim::kConnectPermissionListFunction) == lists + 1 && page.permissions()[0].status == 0;
    }));
    EXPECT_EQ(sim.receivedCount(brokersim::kPermissionListFunction), 0);

    // Another account's list is the Stock Connect one too.
    NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
    ASSERT_TRUE(spinUntil([&] {
        return sim.receivedCount(brokersim::kConnectPermissionListFunction) == lists + 2
            && page.numberOfRowsInTableView() == 1;
    }));
    EXPECT_EQ(sim.receivedCount(brokersim::kPermissionListFunction), 0);
}

// A second cancel of one order while the first waits joins it; once that is
// answered, another goes out on its own.
TEST_F(HGTConnectPagesTest, ASecondCancelOfOneOrderJoinsTheOneWaiting)
{
    const QString number = buy(-20);
    struct Catcher : IHGTCancelOrder {
        QStringList answers;
        void hgtCancelOrder(DataModel*, const QString&, const QString& n) override { answers << n; }
        bool hgtCancelOrder(DataModel*, const QString&, const CSError& e) override
        {
            answers << e.domain;
            return true;
        }
    } first, second, later;
    HGTRequestManager& hgt = *HGTRequestManager::getInstance();
    const QString date = platform::ChinaClock::now().toString(QStringLiteral("yyyyMMdd"));
    const QString a = hgt.requestHGTCancelOrder(&first, date, number);
    const QString b = hgt.requestHGTCancelOrder(&second, date, number);
    EXPECT_EQ(a, b);
    ASSERT_TRUE(spinUntil([&] { return first.answers.size() == 1 && second.answers.size() == 1; }));
    EXPECT_EQ(first.answers.front(), number);
    EXPECT_EQ(second.answers.front(), number);
    EXPECT_EQ(sim.receivedCount(brokersim::kHKCancelFunction), 1);
    hgt.requestHGTCancelOrder(&later, date, number);
    ASSERT_TRUE(spinUntil([&] { return later.answers.size() == 1; }));
    EXPECT_EQ(later.answers.front(), QStringLiteral("该委托已撤单，不能重复撤单"));
    EXPECT_EQ(sim.receivedCount(brokersim::kHKCancelFunction), 2);

    // An order without its number is never sent.
    QString why;
    EXPECT_TRUE(hgt.requestHGTCancelOrder(&first, date, QString(), &why).isEmpty());
    EXPECT_FALSE(why.isEmpty());
}

TEST_F(HGTConnectPagesTest, WithoutAStockConnectAccountNeitherDeclarationPageOpensItsDialog)
{
    logInWithHolders({ { QStringLiteral("上海A股"), "1", "A101000001" } });
    int dialogs = 0;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& c) {
        ++dialogs;
        c.cancelButtonClicked();
    });
    auto& vote = open<HGTVoteViewController>(90005);
    auto& declare = open<HGTOtherVoteViewController>(90006);
    for (int f = 0; f < 6; ++f)
        vote.setFieldText(HGTVoteViewController::Field(f), f == 0 ? QStringLiteral("00700") : QStringLiteral("1"));
    for (int f = 0; f < 3; ++f)
        declare.setFieldText(
            HGTOtherVoteViewController::Field(f), f == 0 ? QStringLiteral("00700") : QStringLiteral("1"));
    for (HGTDeclarePage* page : { static_cast<HGTDeclarePage*>(&vote), static_cast<HGTDeclarePage*>(&declare) }) {
        alerts.shown.clear();
        page->orderButtonClick();
        EXPECT_EQ(alerts.shown, QStringList { QStringLiteral("错误:无可用的股东账户") });
    }
    EXPECT_EQ(dialogs, 0);
}

TEST_F(HGTConnectPagesTest, AnAccountChangeClosesTheWaitingWithdrawalAndStopsTheWaitingQueries)
{
    struct Catcher : IHGTOtherVote {
        QString serial;
        void hgtOtherVote(DataModel*, const QString&, const QString& s) override { serial = s; }
        bool hgtOtherVote(DataModel*, const QString&, const CSError& e) override
        {
            serial = e.domain;
            return true;
        }
    } declared;
    HGTRequestManager::getInstance()->requestHGTOtherVote(&declared, QStringLiteral("00700"), 0,
        QStringLiteral("300"), QStringLiteral("D1"), QStringLiteral("A101000001"));
    ASSERT_TRUE(spinUntil([&] { return !declared.serial.isEmpty(); }));
    auto& cancel = open<HGTCancelVoteViewController>(90007);
    ASSERT_TRUE(spinUntil([&] { return cancel.countText() == "1"; }));

    // The withdrawal is confirmed and its answer withheld; the customer
    // switches account meanwhile: its answer will never reach the page.
    sim.withholdNext(brokersim::kHKDeclareFunction);
    HGTCancelConfirmAlertWC::setShownHookForTesting([](HGTCancelConfirmAlertWC& w) {
        w.setQuantityText(QStringLiteral("100"));
        w.confirmButtonClicked();
    });
    bool busyBeforeTheChange = false;
    bool closedAtOnce = false;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& c) {
        QTimer::singleShot(0, &c, [&] {
            c.confirmButtonClicked();
            EXPECT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
            busyBeforeTheChange = c.isBusy();
            NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
            closedAtOnce = !c.isShown() && !c.isBusy();
        });
    });
    cancel.ordersTableViewClicked(0);
    ASSERT_TRUE(spinUntil([&] { return busyBeforeTheChange; }));
    EXPECT_TRUE(closedAtOnce);
    EXPECT_FALSE(cancel.isQuerying());
    EXPECT_FALSE(cancel.progressShown());

    // A notice query and an eligible-stock query left waiting by a change
    // stop showing their progress.
    auto& notices = open<HGTQueryNotificationViewController>(90008);
    auto& targets = open<HGTQueryStockTargetViewController>(90004);
    sim.withholdNext(brokersim::kHKNotificationFunction);
    sim.withholdNext(brokersim::kHKStockTargetFunction);
    notices.setCodeText(QStringLiteral("00700"));
    notices.queryButtonClick();
    targets.queryButtonClick();
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 3; }));
    EXPECT_TRUE(notices.progressShown() && targets.progressShown());
    NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
    EXPECT_FALSE(notices.progressShown());
    EXPECT_FALSE(targets.progressShown());
    sim.releaseWithheld();
    testsupport::spinFor(std::chrono::milliseconds(50));
    EXPECT_EQ(notices.numberOfRowsInTableView(), 0);
}

namespace {

QUOTETEST_CATCHER(OrderCatcher, IHGTMakeOrder, hgtMakeOrder)
QUOTETEST_CATCHER(CancelCatcher, IHGTCancelOrder, hgtCancelOrder)
QUOTETEST_CATCHER(VoteCatcher, IHGTVote, hgtVote)
QUOTETEST_CATCHER(DeclareCatcher, IHGTOtherVote, hgtOtherVote)
QUOTETEST_CATCHER(WithdrawCatcher, IHGTCancelOtherVote, hgtCancelOtherVote)

// An answer of one row under `field`; no value: the field is missing.
brokersim::Table numberAnswer(const char* field, const char* value)
{
    if (!value)
        return brokersim::Table().column(QStringLiteral("msgok")).row({ "ok" });
    return brokersim::Table().column(QString::fromLatin1(field)).row({ value });
}

// What a request heard: the number of its success, or its error.
struct Heard {
    std::optional<QString> number;
    CSError error;
};

template <class Catcher, class Send> Heard hear(Send send)
{
    Catcher c;
    send(&c);
    spinUntil([&] { return c.done(); });
    return { c.results.empty() ? std::nullopt : std::optional(c.results[0]),
        c.errors.empty() ? CSError() : c.errors[0] };
}

} // namespace

// Every numbered state change: a number that is missing, empty or blank
// leaves the outcome unknown, except for an order, which hears the text of
// its number, also when it is empty; any other text is the number as sent.
TEST_F(HGTConnectPagesTest, EveryStateChangeShowsItsNumberAsSentAndABlankOneAsUnknown)
{
    HGTRequestManager& hgt = *HGTRequestManager::getInstance();
    const QString account = QStringLiteral("A101000001");
    const QString code = QStringLiteral("00700");
    const struct {
        const char* name;
        brokersim::Function function;
        const char* field;
        std::function<Heard()> send;
        const char* unknown = nullptr; // what an answer without its number tells
    } requests[] = {
        { "order", brokersim::kHKOrderFunction, "ordersno",
            [&] {
                return hear<OrderCatcher>([&](auto* c) {
                    hgt.requestHGTTradeBuy(c, account, code, QStringLiteral("368.4"), QStringLiteral("100"),
                        QStringLiteral("增强限价买入"));
                });
            } },
        { "cancel", brokersim::kHKCancelFunction, "ordersno",
            [&] {
                return hear<CancelCatcher>([&](auto* c) {
                    hgt.requestHGTCancelOrder(c, QStringLiteral("20261202"), QStringLiteral("500001"));
                });
            },
            "撤单结果未知" },
        { "vote", brokersim::kHKVoteFunction, "serial_no",
            [&] {
                return hear<VoteCatcher>([&](auto* c) {
                    hgt.requestHGTVote(c, code, QStringLiteral("G1"), QStringLiteral("1"), QStringLiteral("100"),
                        QString(), QString(), account);
                });
            },
            "投票申报结果未知" },
        { "declaration", brokersim::kHKDeclareFunction, "serial_no",
            [&] {
                return hear<DeclareCatcher>([&](auto* c) {
                    hgt.requestHGTOtherVote(c, code, 1, QStringLiteral("100"), QStringLiteral("D1"), account);
                });
            },
            "公司行为申报结果未知" },
        { "withdrawal", brokersim::kHKDeclareFunction, "serial_no",
            [&] {
                return hear<WithdrawCatcher>([&](auto* c) {
                    hgt.requestHGTCancelOtherVote(c, code, 1, QStringLiteral("100"), QStringLiteral("D1"), account);
                });
            },
            "公司行为申报撤销结果未知" },
    };
    // nullptr: the field is missing.
    const char* const blank[] = { nullptr, "", " " };
    const char* const sent[] = { "800123", "0", "12a", "-1", "1e999", "99999999999999999999" };
    for (const auto& r : requests) {
        for (const char* value : blank) {
            SCOPED_TRACE(std::string(r.name) + " answering " + (value ? "\"" + std::string(value) + "\"" : "<none>"));
            sim.answerTablesNext(r.function, { numberAnswer(r.field, value) });
            const qsizetype before = sim.receivedCount(r.function);
            const Heard heard = r.send();
            if (r.function == brokersim::kHKOrderFunction) {
                EXPECT_EQ(heard.number, QString::fromLatin1(value ? value : ""));
                EXPECT_EQ(sim.receivedCount(r.function), before + 1);
                continue;
            }
            EXPECT_FALSE(heard.number);
            EXPECT_EQ(heard.error.code, kOrderOutcomeUnknownCode);
            // In words of its own kind: only an order is told not to be placed again.
            EXPECT_TRUE(heard.error.domain.contains(QString::fromUtf8(r.unknown))) << heard.error.domain.toStdString();
            EXPECT_FALSE(heard.error.domain.contains(QStringLiteral("切勿重复下单")));
            EXPECT_EQ(sim.receivedCount(r.function), before + 1); // never sent again
        }
        for (const char* value : sent) {
            SCOPED_TRACE(std::string(r.name) + " answering " + value);
            sim.answerTablesNext(r.function, { numberAnswer(r.field, value) });
            EXPECT_EQ(r.send().number, QString::fromLatin1(value));
        }
    }
}

TEST_F(HGTConnectPagesTest, ACancelAnsweredWithoutItsNumberTellsTheCustomerToCheckAndListsAgain)
{
    const QString number = buy(-20);
    auto& page = cancelPageWith(1);
    confirmDialogs();
    const struct {
        const char* value; // nullptr: no "ordersno" at all
        const char* shown;
    } answers[] = { { nullptr, nullptr }, { "", nullptr }, { "  ", nullptr }, { "n/a", "温馨提示:成功。" },
        { "500001", "温馨提示:成功。" } };
    for (const auto& a : answers) {
        SCOPED_TRACE(a.value ? a.value : "<none>");
        sim.answerTablesNext(brokersim::kHKCancelFunction, { numberAnswer("ordersno", a.value) });
        const qsizetype listed = sim.receivedCount(brokersim::kHKOrdersOfTodayFunction);
        const qsizetype cancels = sim.receivedCount(brokersim::kHKCancelFunction);
        alerts.shown.clear();
        page.ordersTableViewClicked(0);
        page.cancelOderButtonClicked();
        // The list is read again and comes back with every tick cleared.
        ASSERT_TRUE(spinUntil([&] {
            return sim.receivedCount(brokersim::kHKOrdersOfTodayFunction) == listed + 1 && page.orders()
                && page.selectedCountText() == "0" && !page.isBusy();
        }));
        testsupport::spinFor(std::chrono::milliseconds(20));
        ASSERT_EQ(alerts.shown.size(), 1) << alerts.shown.join(u'|').toStdString();
        if (a.shown) {
            EXPECT_EQ(alerts.shown[0], QString::fromUtf8(a.shown));
        } else {
            EXPECT_EQ(alerts.shown[0], QStringLiteral("错误:撤单结果未知，请查询当日委托确认"));
        }
        EXPECT_EQ(sim.receivedCount(brokersim::kHKCancelFunction), cancels + 1);
    }
    // The simulator's answers stood in for the cancels: the order still rests.
    EXPECT_EQ(statusOf(page, number), QStringLiteral("已报"));
}

// The list read again after a cancel is one sent after it: the listing
// still out from the cancel before neither stands in for it nor, answered
// late, replaces it, so the order just cancelled is never listed as resting.
TEST_F(HGTConnectPagesTest, TheListAfterASecondCancelIsOneSentAfterIt)
{
    const QString first = buy(-20);
    const QString second = buy(-25);
    auto& page = cancelPageWith(2);
    confirmDialogs();
    DataModel* listings
        = HGTRequestManager::getInstance()->sender().dataModel(DMHGTQueryOrdersOfToday::info.identifier);
    ASSERT_NE(listings, nullptr);
    const brokersim::Function listing = brokersim::kHKOrdersOfTodayFunction;
    const auto cancel = [&](const QString& number) {
        page.selectAllButtonClicked(false); // what the last listing left ticked
        const QVariantList rows = page.orders()->contentObjectArray();
        for (qsizetype row = 0; row < rows.size(); ++row)
            if (rows[row].value<RDOOrder>().number == number)
                page.ordersTableViewClicked(int(row));
        ASSERT_EQ(page.selectedCountText(), "1");
        alerts.shown.clear();
        page.cancelOderButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return !page.isBusy(); }));
        EXPECT_EQ(alerts.shown, QStringList { QStringLiteral("温馨提示:成功。") });
    };
    const qsizetype listed = sim.receivedCount(listing);
    sim.withholdNext(listing);
    cancel(first);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    cancel(second);
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(listing) == listed + 2; }));
    ASSERT_TRUE(spinUntil([&] { return statusOf(page, second) == QStringLiteral("已撤"); }));
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return listings->pendingHandleCount() == 0; }));
    testsupport::spinFor(std::chrono::milliseconds(20));
    EXPECT_EQ(statusOf(page, first), QStringLiteral("已撤"));
    EXPECT_EQ(statusOf(page, second), QStringLiteral("已撤"));
    EXPECT_EQ(page.countText(), "2");
}

// A listing that fails after a cancel is told in the error's words; the
// table keeps the rows listed before it and the count says 0. A cancel of
// the order the run took goes again, and the server refuses it.
TEST_F(HGTConnectPagesTest, AFailedListingKeepsTheRowsAndCountsZero)
{
    buy(-20);
    auto& page = cancelPageWith(1);
    confirmDialogs();
    sim.answerErrorNext(brokersim::kHKOrdersOfTodayFunction, -1, QStringLiteral("查询失败"));
    alerts.shown.clear();
    page.ordersTableViewClicked(0);
    page.cancelOderButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return page.countText() == "0"; }));
    EXPECT_EQ(
        alerts.shown, QStringList({ QStringLiteral("温馨提示:成功。"), QStringLiteral("错误:查询失败") }));
    ASSERT_TRUE(page.orders());
    EXPECT_EQ(page.orders()->contentObjectArray().size(), 1);
    EXPECT_EQ(page.ordersTable().shownRowCount(), 1);
    EXPECT_EQ(page.selectedCountText(), "1");
    const qsizetype cancels = sim.receivedCount(brokersim::kHKCancelFunction);
    page.cancelOderButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return alerts.shown.size() == 3 && page.countText() == "1"; }));
    EXPECT_EQ(sim.receivedCount(brokersim::kHKCancelFunction), cancels + 1);
    EXPECT_EQ(alerts.shown[2], QStringLiteral("错误:该委托已撤单，不能重复撤单"));
}

// What the notice and eligible-stock lists show is of the code asked last:
// an earlier query's answer is dropped, a failed one keeps the list only for
// the same code, and an account change clears both lists.
TEST_F(HGTConnectPagesTest, TheListsShowTheCodeAskedLastAndNothingOfThePreviousAccount)
{
    auto& notices = open<HGTQueryNotificationViewController>(90008);
    auto& targets = open<HGTQueryStockTargetViewController>(90004);
    const struct {
        brokersim::Function function;
        std::function<void(const char*)> send;
        std::function<qsizetype()> rows;
        qsizetype of00700;
    } lists[] = {
        { brokersim::kHKNotificationFunction,
            [&](const char* code) {
                notices.setCodeText(QLatin1String(code));
                notices.queryButtonClick();
            },
            [&] { return notices.numberOfRowsInTableView(); }, 2 },
        { brokersim::kHKStockTargetFunction,
            [&](const char* code) {
                targets.setCodeText(QLatin1String(code));
                targets.queryButtonClick();
            },
            [&]() -> qsizetype { return targets.targets() ? targets.targets()->arrayController()->count() : 0; }, 1 },
    };
    for (const auto& l : lists) {
        SCOPED_TRACE(l.of00700);
        const auto ask = [&](const char* code, bool fails = false) {
            if (fails)
                sim.answerErrorNext(l.function, -1, QStringLiteral("查询失败"));
            l.send(code);
            return spinUntil([&] { return !notices.progressShown() && !targets.progressShown(); });
        };
        ASSERT_TRUE(ask("00700"));
        ASSERT_EQ(l.rows(), l.of00700);
        // A failure for the same code keeps the list, for another clears it.
        alerts.shown.clear();
        ASSERT_TRUE(ask("00700", true));
        EXPECT_EQ(l.rows(), l.of00700);
        ASSERT_TRUE(ask("00388", true));
        EXPECT_EQ(l.rows(), 0);
        EXPECT_EQ(alerts.shown, QStringList(2, QStringLiteral("错误:查询失败")));

        // 00700's answer comes after 00388's was asked: it is dropped.
        sim.withholdNext(l.function);
        l.send("00700");
        ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
        sim.answerTablesNext(l.function, { brokersim::Table().column(QStringLiteral("title")) });
        ASSERT_TRUE(ask("00388"));
        sim.releaseWithheld();
        testsupport::spinFor(std::chrono::milliseconds(50)); // room for the late answer
        EXPECT_EQ(l.rows(), 0);

        ASSERT_TRUE(ask("00700"));
        ASSERT_EQ(l.rows(), l.of00700);
    }
    NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
    EXPECT_EQ(notices.numberOfRowsInTableView(), 0);
    EXPECT_EQ(targets.targets(), nullptr);
}

// An account change takes the previous account's orders, declarations and
// permissions off the pages before they are listed again, ticks and counts
// too.
TEST_F(HGTConnectPagesTest, AnAccountChangeTakesThePreviousAccountsRowsOffTheCancelPages)
{
    buy(-20);
    DeclareCatcher declared;
    HGTRequestManager::getInstance()->requestHGTOtherVote(&declared, QStringLiteral("00700"), 0,
        QStringLiteral("300"), QStringLiteral("D1"), QStringLiteral("A101000001"));
    ASSERT_TRUE(spinUntil([&] { return declared.done(); }));
    auto& orders = cancelPageWith(1);
    auto& declarations = open<HGTCancelVoteViewController>(90007);
    ASSERT_TRUE(spinUntil([&] { return declarations.countText() == "1"; }));
    orders.selectAllButtonClicked(true);
    ASSERT_EQ(orders.selectedCountText(), "1");
    auto& permissions = open<HGTPermissionSettingsViewController>(90009);
    ASSERT_TRUE(spinUntil([&] { return permissions.numberOfRowsInTableView() == 1; }));

    for (brokersim::Function f : { brokersim::kHKOrdersOfTodayFunction, brokersim::kHKDeclarationsFunction,
             brokersim::kConnectPermissionListFunction })
        sim.withholdNext(f);
    NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
    EXPECT_EQ(permissions.numberOfRowsInTableView(), 0);
    EXPECT_EQ(orders.ordersTable().shownRowCount(), 0);
    EXPECT_EQ(declarations.ordersTableView().model().shownRowCount(), 0);
    EXPECT_EQ(QStringList({ orders.countText(), orders.selectedCountText(), declarations.countText() }),
        QStringList(3, QStringLiteral("0")));
    EXPECT_FALSE(orders.selectAllChecked());

    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 3; }));
    sim.releaseWithheld();
    EXPECT_TRUE(spinUntil([&] {
        return orders.countText() == "1" && declarations.countText() == "1"
            && permissions.numberOfRowsInTableView() == 1;
    }));
}

// Only the listing of the dates asked last is shown, and only its answer
// ends the query: the set-up's listing of today, answered (or failed) after
// it or while it still waits, neither lists its rows, says anything, nor
// frees the pickers. A press while the query waits sends nothing, though the
// dates changed.
TEST_F(HGTConnectPagesTest, TheSetUpListingAnsweredLateLeavesTheDatesAskedLast)
{
    DeclareCatcher declared;
    HGTRequestManager::getInstance()->requestHGTOtherVote(&declared, QStringLiteral("00700"), 0,
        QStringLiteral("300"), QStringLiteral("D1"), QStringLiteral("A101000001"));
    ASSERT_TRUE(spinUntil([&] { return declared.done(); })); // today's one declaration
    const brokersim::Function listing = brokersim::kHKDeclarationsFunction;
    DataModel* model
        = HGTRequestManager::getInstance()->sender().dataModel(DMHGTQueryOtherVote::info.identifier);
    const brokersim::Handler own = sim.handlerOf(listing.main, listing.sub);
    const auto restore = qScopeGuard([&] { sim.registerFunction(listing.main, listing.sub, own); });
    const struct {
        bool bothHeld; // the button's listing is held too, released after the set-up's
        bool setUpFails;
    } cases[] = { { false, false }, { true, false }, { true, true } };
    for (const auto& [bothHeld, setUpFails] : cases) {
        SCOPED_TRACE(testing::Message() << bothHeld << setUpFails);
        if (setUpFails)
            sim.registerFunction(listing.main, listing.sub,
                [own, first = true](const brokersim::Request& r, brokersim::BrokerState& state) mutable {
                    if (std::exchange(first, false))
                        return brokersim::Reply::error(-1, QStringLiteral("查询失败"));
                    return own(r, state);
                });
        alerts.shown.clear();
        sim.withholdNext(listing, bothHeld ? 2 : 1);
        auto& cancel = open<HGTCancelVoteViewController>(90007);
        ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
        const qsizetype asked = sim.receivedCount(listing);
        cancel.setBeginDate(QDate(2026, 11, 2));
        cancel.setEndDate(QDate(2026, 11, 2));
        cancel.queryButtonClicked();
        cancel.setBeginDate(QDate(2026, 10, 1));
        cancel.queryButtonClicked();
        QStringList ends; // the count shown each time the query ended
        const QMetaObject::Connection watch
            = QObject::connect(&cancel, &MenuItemViewController::changed, [&] {
                  if (!cancel.isQuerying())
                      ends << cancel.countText();
              });
        if (bothHeld) {
            ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 2; }));
            sim.releaseWithheld();
        }
        ASSERT_TRUE(spinUntil([&] { return !cancel.isQuerying(); }));
        sim.releaseWithheld();
        ASSERT_TRUE(spinUntil([&] { return model->pendingHandleCount() == 0; }));
        QObject::disconnect(watch);
        EXPECT_EQ(ends.join(u' '), "0");
        EXPECT_TRUE(alerts.shown.isEmpty()) << alerts.shown.join(u'|').toStdString();
        EXPECT_EQ(cancel.ordersTableView().model().shownRowCount(), 0);
        EXPECT_EQ(sim.receivedCount(listing), asked + 1);
        EXPECT_EQ(sim.receivedOf(listing).back().valueOr(QStringLiteral("bgn_date")), "20261102");
    }
}

// Every Stock Connect action confirmed just before the lock closes its
// dialog is told once, on the main window, whatever became of its page
// before the answer: left, or another account active (the box then names the
// account it was sent for). A page still waiting hears it, as tested above;
// its box, held by the lock and dismissed unread by the logout from the
// locked screen, is told again over any window, naming the account. The
// dialog's time limit is told once on the page, in the words of the kind,
// and the request's own time-out after the page was left adds nothing.
TEST_F(HGTConnectPagesTest, EveryActionIsToldOnceWhateverBecameOfItsPage)
{
    using Press = std::function<void()>;
    // A declaration page's fields in their order, then its press.
    const auto fill = [](auto& page, std::initializer_list<const char*> fields) {
        using Field = typename std::remove_reference_t<decltype(page)>::Field;
        int f = 0;
        for (const char* text : fields)
            page.setFieldText(Field(f++), QString::fromUtf8(text));
        return [&page] { page.orderButtonClick(); };
    };
    const char* serial = "委托已提交,委托序号为\\d+";
    const struct {
        const char* name;
        brokersim::Function function;
        const char* told; // the pattern of the box's text
        std::function<Press()> open; // the page, filled in; its press
        const char* limit; // what its time limit tells
        // What the page still up reads again after an answer past its limit.
        std::optional<brokersim::Function> reread = std::nullopt;
    } kinds[] = {
        { "order", brokersim::kHKOrderFunction, "委托申请已提交，序号为\\d+。", [&]() -> Press {
             const qint64 last = brokersim::Market::lastTicks(*market().security(QStringLiteral("00981")));
             auto& page = open<HGTTradeViewController>(90000);
             page.setCodeText(QStringLiteral("00981"));
             page.setPriceText(brokersim::Market::ticksText(last - 20 * HKDesk::spreadStep(last), 3));
             page.setQuantityText(QStringLiteral("500"));
             return [&page] { page.orderButtonClick(); };
         },
            "委托结果未知，请查询当日委托确认，切勿重复下单", brokersim::kPositionsFunction },
        { "cancel", brokersim::kHKCancelFunction, "成功。", [&]() -> Press {
             const QString number = buy(-20);
             auto& page = open<HGTCancelOrderViewController>(90003);
             EXPECT_TRUE(spinUntil([&] { return page.orders() && !statusOf(page, number).isEmpty(); }));
             for (int r = 0; page.orders() && r < page.orders()->contentObjectArray().size(); ++r)
                 if (page.orders()->recordAt(r).number == number)
                     page.ordersTableViewClicked(r);
             return [&page] { page.cancelOderButtonClicked(); };
         },
            "撤单结果未知，请查询当日委托确认", brokersim::kHKOrdersOfTodayFunction },
        { "withdrawal", brokersim::kHKDeclareFunction, serial, [&]() -> Press {
             // One declaration, 300 more each time: 100 of it is withdrawn.
             DeclareCatcher declared;
             HGTRequestManager::getInstance()->requestHGTOtherVote(&declared, QStringLiteral("00700"), 0,
                 QStringLiteral("300"), QStringLiteral("D1"), QStringLiteral("A101000001"));
             EXPECT_TRUE(spinUntil([&] { return declared.done(); }));
             auto& page = open<HGTCancelVoteViewController>(90007);
             EXPECT_TRUE(spinUntil([&] { return page.countText() == "1"; }));
             return [&page] { page.ordersTableViewClicked(0); };
         },
            "公司行为申报撤销结果未知，请查询公司行为申报确认" },
        { "vote", brokersim::kHKVoteFunction, serial,
            [&] { return fill(open<HGTVoteViewController>(90005), { "00700", "G00700001", "1", "", "", "100" }); },
            "投票申报结果未知，请稍后查询确认，切勿重复申报" },
        { "declaration", brokersim::kHKDeclareFunction, serial,
            [&] { return fill(open<HGTOtherVoteViewController>(90006), { "00700", "D00700", "100" }); },
            "公司行为申报结果未知，请查询公司行为申报确认，切勿重复申报" },
    };
    Alerts mainWindow;
    MenuItemViewManager::getInstance()->setWindow(&mainWindow);
    AccountManager& accounts = *AccountManager::getInstance();
    const QString first = accounts.getActiveLoginAccount()->customerNumber;
    const qint64 firstIndex = accounts.activeAccountIndex();
    auto other = std::make_shared<Account>();
    other->customerNumber = QStringLiteral("010100000002");
    HGTCancelConfirmAlertWC::setShownHookForTesting([](HGTCancelConfirmAlertWC& w) {
        w.setQuantityText(QStringLiteral("100"));
        w.confirmButtonClicked();
    });
    Alerts anyWindow;
    ActionOutcomeRelay::setAnyWindow(&anyWindow);
    enum class Way { PageLeft, AccountChange, LockThenLogout, TimeLimit, AnsweredPastTheLimit };
    for (const auto& kind : kinds) {
        for (const Way way : { Way::PageLeft, Way::AccountChange, Way::LockThenLogout, Way::TimeLimit,
                 Way::AnsweredPastTheLimit }) {
            const bool accountChange = way == Way::AccountChange;
            const bool pastTheLimit = way == Way::TimeLimit || way == Way::AnsweredPastTheLimit;
            SCOPED_TRACE(testing::Message() << kind.name << " way " << int(way));
            const Press press = kind.open();
            // Confirmed, and the lock closes the dialog before the answer.
            bool locked = false;
            OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& d) {
                QTimer::singleShot(0, &d, [&] {
                    if (pastTheLimit)
                        d.setBusyBackstopMsForTesting(300);
                    d.confirmButtonClicked();
                    EXPECT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
                    locked = true;
                    if (pastTheLimit)
                        return;
                    platform::ModalSession::stopAll();
                    NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
                });
            });
            sim.withholdNext(kind.function);
            press();
            ASSERT_TRUE(spinUntil([&] { return locked; }));
            if (pastTheLimit) {
                ASSERT_TRUE(spinUntil([&] { return !alerts.shown.isEmpty(); }));
                EXPECT_EQ(alerts.shown, QStringList(QStringLiteral("错误:") + QString::fromUtf8(kind.limit)));
            }
            if (way == Way::AnsweredPastTheLimit) {
                // Told once on the page still up, which reads again what the
                // action changed.
                const qsizetype reads = kind.reread ? sim.receivedCount(*kind.reread) : 0;
                sim.releaseWithheld();
                ASSERT_TRUE(spinUntil(
                    [&] { return ActionOutcomeRelay::pendingCount() == 0 && alerts.shown.size() == 2; }));
                EXPECT_TRUE(QRegularExpression(QStringLiteral("温馨提示:") + QString::fromUtf8(kind.told))
                                .match(alerts.shown[1])
                                .hasMatch())
                    << qPrintable(alerts.shown[1]);
                if (kind.reread)
                    EXPECT_TRUE(spinUntil([&] { return sim.receivedCount(*kind.reread) > reads; }));
                EXPECT_TRUE(mainWindow.shown.isEmpty()) << mainWindow.shown.join(u'|').toStdString();
                pages.clear();
                alerts.shown.clear();
                continue;
            }
            if (way == Way::TimeLimit) {
                pages.clear();
                const auto trade = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
                trade->connectionSendPacketsTimeout(
                    *trade->connection(), { quint64(sim.receivedOf(kind.function).last().packetId) });
                ASSERT_TRUE(spinUntil([&] { return ActionOutcomeRelay::pendingCount() == 0; }));
                // The late answer, to no request now, goes unheard.
                sim.releaseWithheld();
                ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 0; }));
                EXPECT_TRUE(mainWindow.shown.isEmpty()) << mainWindow.shown.join(u'|').toStdString();
                EXPECT_EQ(alerts.shown.size(), 1) << alerts.shown.join(u'|').toStdString();
                alerts.shown.clear();
                continue;
            }
            if (way == Way::LockThenLogout) {
                alerts.hold = true;
                sim.releaseWithheld();
                const QRegularExpression told(QString::fromUtf8(kind.told));
                ASSERT_TRUE(spinUntil([&] { return !alerts.shown.filter(told).isEmpty(); }));
                accounts.logoutAllAccount();
                alerts.hold = false;
                for (Alerts::Completion& dismissed : std::exchange(alerts.held, {}))
                    if (dismissed)
                        dismissed(0);
                ASSERT_TRUE(spinUntil([&] { return !anyWindow.shown.isEmpty(); }));
                EXPECT_TRUE(QRegularExpression(
                    QRegularExpression::anchoredPattern(
                        QStringLiteral("[^:]+:账号%1：\n").arg(first) + QString::fromUtf8(kind.told)))
                                .match(anyWindow.shown.join(u'|'))
                                .hasMatch())
                    << anyWindow.shown.join(u'|').toStdString();
                pages.clear();
                anyWindow.shown.clear();
                alerts.shown.clear();
                mainWindow.shown.clear();
                logInWithHolders({ { QStringLiteral("沪港通"), "5", "A101000001" } });
                continue;
            }
            if (accountChange) {
                accounts.addActiveAccount(other);
                NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
            } else {
                pages.clear();
            }
            sim.releaseWithheld();
            ASSERT_TRUE(spinUntil([&] { return ActionOutcomeRelay::pendingCount() == 0 && !mainWindow.shown.isEmpty(); }));
            const QString named = accountChange ? QStringLiteral("账号%1：\n").arg(first) : QString();
            EXPECT_TRUE(QRegularExpression(QRegularExpression::anchoredPattern(
                                               QStringLiteral("温馨提示:") + named + QString::fromUtf8(kind.told)))
                            .match(mainWindow.shown.join(u'|'))
                            .hasMatch())
                << mainWindow.shown.join(u'|').toStdString();
            // Told once: never on the page's window.
            EXPECT_TRUE(alerts.shown.filter(QRegularExpression(QString::fromUtf8(kind.told))).isEmpty());
            pages.clear();
            accounts.setActiveLoginAccount(firstIndex);
            alerts.shown.clear();
            mainWindow.shown.clear();
        }
    }
    ActionOutcomeRelay::setAnyWindow(nullptr);
}

// An order whose answer never came may have filled: each page shows that its
// figures may be out of date until its own reads of them, asked in the
// account's rounds, come with their rows; a read that fails leaves them so
// until the next round (here the trade logon). The maximum is read again
// only where a code shows it: never on the declaration pages.
TEST_F(HGTConnectPagesTest, AfterAnOrderLeftUnknownThePageShowsItsFiguresOutOfDateUntilReadAgain)
{
    buy(-20);
    const struct {
        qint64 linkId;
        QStringList figures; // what the page shows that the order left owed
        brokersim::Function read;
        bool typesCode = false;
        bool readsMaximum = false;
    } rows[] = {
        { 90000, { owedfigure::kPositions }, brokersim::kPositionsFunction },
        { 90000, { owedfigure::kPositions }, brokersim::kPositionsFunction, true, true },
        { 90003, { owedfigure::kHGTOrders }, brokersim::kHKOrdersOfTodayFunction },
        { 90005, { owedfigure::kPositions }, brokersim::kPositionsFunction, true },
        { 90006, { owedfigure::kPositions }, brokersim::kPositionsFunction, true },
    };
    OwedReads::getInstance()->setRoundDelays(
        { std::chrono::hours(1), std::chrono::hours(1), std::chrono::hours(1) });
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.linkId << (row.typesCode ? " with a code" : ""));
        MenuItemViewController& page = open<MenuItemViewController>(row.linkId);
        ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(row.read) > 0; }));
        if (row.typesCode) {
            auto& form = dynamic_cast<HGTTradeViewController&>(page);
            form.setCodeText(QStringLiteral("00981"));
            ASSERT_TRUE(spinUntil([&] { return !form.maxQuantityText().isEmpty(); }));
        }
        const qsizetype maximum = sim.receivedCount(brokersim::kHKCombInfoFunction);
        sim.withholdNext(brokersim::kHKOrderFunction);
        struct : IHGTMakeOrder {
            bool done = false;
            void hgtMakeOrder(DataModel*, const QString&, const QString&) override { done = true; }
            bool hgtMakeOrder(DataModel*, const QString&, const CSError&) override { return done = true; }
        } order;
        HGTRequestManager::getInstance()->requestHGTTradeBuy(&order, QStringLiteral("A101000001"),
            QStringLiteral("00981"), QStringLiteral("1.000"), QStringLiteral("500"),
            QStringLiteral("增强限价买入"));
        ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
        sim.answerErrorNext(row.read, -1, QStringLiteral("系统忙"), 10);
        const qsizetype read = sim.receivedCount(row.read);
        const std::shared_ptr<CSNetwork> trade
            = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
        trade->connectionSendPacketsTimeout(
            *trade->connection(), { quint64(sim.receivedOf(brokersim::kHKOrderFunction).back().packetId) });
        ASSERT_TRUE(
            spinUntil([&] { return order.done && OwedReads::getInstance()->roundWait().count() > 0; }));
        EXPECT_GT(sim.receivedCount(row.read), read);
        EXPECT_EQ(sim.receivedCount(brokersim::kHKCombInfoFunction) > maximum, row.readsMaximum);
        EXPECT_EQ(page.figuresOutOfDate(), row.figures);
        sim.clearControls();
        sim.releaseWithheld();
        DMNotificationCenter::getInstance()->postNotification(
            NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
        EXPECT_TRUE(spinUntil([&] { return page.figuresOutOfDate().isEmpty(); }));
        pages.clear();
    }
}
