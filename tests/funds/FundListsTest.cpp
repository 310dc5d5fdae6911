// The list sources, the fund list panel and the fund quote list page against
// the simulator: what is cached and for how long, the company filter, and the
// fund a picked row hands to the trade form.
#include "FundTestRig.h"
#include "core/DMNotificationCenter.h"
#include "funds/lists/OpdFundListViewController.h"
#include "funds/pages/OpdQuoteViewController.h"
#include "shell/WindowTestRig.h"
#include "shell/tables/DVTableModel.h"
#include "shell/windows/SessionNotifications.h"

#include <gtest/gtest.h>

using namespace fundtest;

namespace {

// A trade form that listens to one kind of list.
struct TransformForm : ITableSelectedItemChanged {
    std::vector<Fund> picked;
    bool transformTableSelectedItemChanged(const Fund& fund) override
    {
        picked.push_back(fund);
        return true;
    }
};
struct SubscribeForm : ITableSelectedItemChanged {
    int calls = 0;
    bool subscribeTableSelectedItemChanged(const Fund&) override
    {
        ++calls;
        return true;
    }
};

std::unique_ptr<OpdFundListViewController> panel(std::unique_ptr<OpenFundList> source)
{
    auto controller = std::make_unique<OpdFundListViewController>(std::move(source));
    controller->awakeFromNib();
    return controller;
}

bool loaded(const OpdFundListViewController& c)
{
    return c.content().table() && !c.content().isLoading();
}

// The fund codes a table view shows under a filter.
QStringList shownCodes(const FundListContent& content)
{
    DVTableModel model(TableKind::Common);
    model.buildColumns(content.table());
    model.filter(QString::fromUtf8(FundListContent::kCompanyTitle), content.filterValue());
    QStringList codes;
    for (int row = 0; row < model.shownRowCount(); ++row)
        codes << content.table()->valueForTitle(model.sourceRow(row), QString::fromUtf8(FundListContent::kCodeTitle));
    return codes;
}

} // namespace

class FundLists : public FundSimulatorFixture {
protected:
    void SetUp() override
    {
        FundSimulatorFixture::SetUp();
        logIn();
    }
    qsizetype listRequests(const char* status) const
    {
        qsizetype n = 0;
        for (const brokersim::Request& r : receivedOf(brokersim::kFundListFunction))
            n += r.valueOr(QStringLiteral("status")) == QLatin1String(status);
        return n;
    }
};

TEST_F(FundLists, FundListsComeFromTheCacheAcrossLogoutsUntilCleared)
{
    auto first = panel(std::make_unique<SubscribeOpenFundList>());
    ASSERT_TRUE(spinUntil([&] { return loaded(*first); }));
    EXPECT_EQ(first->listTitleText(), "认购基金列表");
    // A second page is served at once, without a request.
    auto second = panel(std::make_unique<SubscribeOpenFundList>());
    EXPECT_TRUE(loaded(*second));
    EXPECT_EQ(second->content().table(), first->content().table());
    EXPECT_EQ(listRequests("1"), 1);

    // A login, a logout and an account change leave the list in place; the
    // clear-buffers command has it asked again.
    for (int type : { 0 /* login */, 1 /* logout */, 2 /* account changed */ }) {
        NotificationCenter::getInstance()->postNotification(type);
        EXPECT_TRUE(loaded(*panel(std::make_unique<SubscribeOpenFundList>()))) << type;
    }
    EXPECT_EQ(listRequests("1"), 1);
    DMNotificationCenter::getInstance()->postNotification(DMCDataCache::kClearCachesNotification);
    auto third = panel(std::make_unique<SubscribeOpenFundList>());
    ASSERT_TRUE(spinUntil([&] { return loaded(*third); }));
    EXPECT_EQ(listRequests("1"), 2);

    // Positions are asked every time.
    auto redeem = panel(std::make_unique<RedeemOpenFundList>());
    ASSERT_TRUE(spinUntil([&] { return loaded(*redeem); }));
    auto transform = panel(std::make_unique<TransformOpenFundList>());
    ASSERT_TRUE(spinUntil([&] { return loaded(*transform); }));
    EXPECT_EQ(count(brokersim::kFundPositionFunction), 2);
    EXPECT_EQ(redeem->listTitleText(), "基金份额列表");
    EXPECT_EQ(redeem->content().table()->count(), 3);
}

TEST_F(FundLists, AListOutlivesALogoutAndServesWhoeverLogsInNext)
{
    auto first = panel(std::make_unique<PurchaseOpenFundList>());
    ASSERT_TRUE(spinUntil([&] { return loaded(*first); }));
    // The customer logs out and in again (a new ticket, so a new prefix),
    // then another customer logs in: each is served the broker's list at once.
    const struct {
        const char* custid;
        const char* password;
    } logins[] = { { "010100000001", "111111" }, { "010200000002", "222222" } };
    for (const auto& login : logins) {
        const QString before = AccountManager::getInstance()->getActiveLoginAccount()->commonUrlString;
        AccountManager::getInstance()->logoutCurrentActiveAccount();
        NotificationCenter::getInstance()->postNotification(sessionnotify::kLogout);
        const std::shared_ptr<Account> account
            = logIn(QString::fromLatin1(login.custid), QString::fromLatin1(login.password));
        ASSERT_TRUE(account);
        NotificationCenter::getInstance()->postNotification(
            sessionnotify::kLoginSucceeded, QVariant::fromValue(account));
        ASSERT_NE(account->commonUrlString, before);
        auto again = panel(std::make_unique<PurchaseOpenFundList>());
        EXPECT_TRUE(loaded(*again)) << login.custid;
        EXPECT_EQ(again->content().table(), first->content().table()) << login.custid;
    }
    EXPECT_EQ(listRequests("2"), 1);
}

TEST_F(FundLists, TheQuotePageSharesThePurchaseListAndFiltersByCompany)
{
    auto purchase = panel(std::make_unique<PurchaseOpenFundList>());
    ASSERT_TRUE(spinUntil([&] { return loaded(*purchase); }));

    OpdQuoteViewController page;
    page.load();
    ASSERT_TRUE(page.content().table());
    EXPECT_EQ(listRequests("2"), 1);
    const FundListContent& content = page.content();
    EXPECT_EQ(content.filterTitles(), QStringList({ "全部基金", "青岚基金", "远帆基金", "松石基金" }));
    EXPECT_EQ(shownCodes(content), QStringList({ "000001", "000011", "110011", "110022", "202001", "202301" }));
    page.filterPButtonSelected(2);
    EXPECT_EQ(shownCodes(content), QStringList({ "000011", "110011", "110022" }));
    page.filterPButtonSelected(0);
    EXPECT_EQ(shownCodes(content).size(), 6);
    EXPECT_EQ(content.filterTitles().size(), 4); // the companies stay
}

TEST_F(FundLists, APickedRowReachesTheSelectorOfItsListWithItsRecord)
{
    auto list = panel(std::make_unique<TransformOpenFundList>());
    TransformForm form;
    SubscribeForm other;
    auto gone = std::make_unique<TransformForm>();
    list->addTableObserver(&other);
    list->addTableObserver(gone.get());
    list->addTableObserver(&form);
    list->addTableObserver(nullptr);
    gone.reset(); // held weakly: a form that is gone hears nothing
    ASSERT_TRUE(spinUntil([&] { return loaded(*list); }));
    const OpdFundTablePtr table = list->content().table();
    const qsizetype row = 1;
    list->tableSelectedItemChanged(row);
    ASSERT_EQ(form.picked.size(), 1u);
    ASSERT_TRUE(form.picked[0]);
    EXPECT_EQ(form.picked[0]->code, table->valueForTitle(row, "基金代码"));
    EXPECT_EQ(form.picked[0]->code, "110011");
    EXPECT_EQ(form.picked[0]->corpCode, "05");
    EXPECT_EQ(other.calls, 0);
    list->tableSelectedItemChanged(99); // outside the rows: nothing
    list->tableSelectedItemChanged(-1);
    EXPECT_EQ(form.picked.size(), 1u);
}

TEST_F(FundLists, AFailedLoadShowsTheMessageAndLeavesTheTableEmpty)
{
    sim.answerErrorNext(brokersim::kFundListFunction, 3002, QStringLiteral("系统繁忙"));
    windowtest::RecordingAlerts alerts;
    OpdQuoteViewController page;
    page.setAlertPresenter(&alerts);
    page.load();
    ASSERT_TRUE(spinUntil([&] { return !alerts.shown.empty(); }));
    EXPECT_EQ(alerts.texts(), QStringList { "系统繁忙" });
    EXPECT_EQ(alerts.shown[0].title, "错误");
    EXPECT_FALSE(page.content().table());
    EXPECT_FALSE(page.content().isLoading());
}

TEST_F(FundLists, AListForAPageThatIsGoneReachesNobody)
{
    PurchaseOpenFundList source;
    {
        OpdQuoteViewController page(nullptr, {}, nullptr);
        source.requestContent(&page);
    }
    ASSERT_TRUE(spinUntil([&] { return DMCDataCache::getInstance()->getDataCache(2).isValid(); }));
    EXPECT_EQ(source.theObserver(), nullptr);
}
