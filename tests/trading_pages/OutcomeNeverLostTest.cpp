// An order, a subscription or a cancel confirmed just before the lock
// closes its dialog, or a cost reset sent, is told whatever happens before
// its answer comes: the lock alone, an account change after the unlock
// (another account becoming the active one), or the page left; and told
// again, naming its account, when the lock ends in a logout.
#include "comm/request/CSNetwork.h"
#include "core/NetworkFactory.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/windows/SessionNotifications.h"
#include "trading/pages/AssetQueryViewController.h"
#include "trading/pages/DeputeCancelViewController.h"
#include "trading/pages/OrderOutcomeRelay.h"
#include "trading/pages/PurchaseViewController.h"
#include "trading_pages/TradingPagesRig.h"

#include <QTimer>
#include <gtest/gtest.h>

using namespace pagestest;

namespace {

const QString kOtherCustomer = QStringLiteral("010200000002");

enum class Kind { Order, Subscription, Cancel, CostReset };
// TimeLimit: no lock; the dialog's time limit passes, then the request's
// own time-out.
enum class Way { Lock, AccountChange, OtherAccount, PageLeft, LockThenLogout, TimeLimit };
// Refused: the server's refusal of the quantity typed.
enum class Answer { Number, Unknown, Refused };
// What the customer typed once the dialog had closed, before the answer.
enum class Typed { Nothing, Quantity, Code };

// The quantity field of an order or subscription page.
QString quantityOf(MenuItemViewController& page)
{
    if (auto* order = dynamic_cast<TradeViewController*>(&page))
        return order->quantityText();
    if (auto* issue = dynamic_cast<PurchaseViewController*>(&page))
        return issue->purchaseQuantityText();
    return QString();
}

bool isBusy(MenuItemViewController& page)
{
    if (auto* order = dynamic_cast<TradeViewController*>(&page))
        return order->isBusy();
    if (auto* issue = dynamic_cast<PurchaseViewController*>(&page))
        return issue->isBusy();
    return false;
}

class OutcomeNeverLostTest : public PagesFixture {
protected:
    void SetUp() override
    {
        PagesFixture::SetUp();
        logInWithHolders({ { QStringLiteral("上海A股"), "1", "A101000001" },
            { QStringLiteral("深圳A股"), "0", "0101000001" } });
        MenuItemViewManager::getInstance()->setWindow(&mainWindow);
        ActionOutcomeRelay::setAnyWindow(&anyWindow);
    }
    void TearDown() override
    {
        ActionOutcomeRelay::setAnyWindow(nullptr);
        OrderAlertWindowController::setShownHookForTesting({});
        MenuItemViewManager::getInstance()->setWindow(nullptr);
        PagesFixture::TearDown();
    }

    // A page of `kind`, its form filled; returns the press that confirms.
    std::unique_ptr<MenuItemViewController> openPage(Kind kind, std::function<void()>& press)
    {
        switch (kind) {
        case Kind::Order: {
            auto node = std::make_shared<BaseNode>();
            node->nodeLinkId = 10000;
            auto page = std::make_unique<TradeViewController>(node);
            page->setAlertPresenter(&alerts);
            page->load();
            page->setCodeText(QStringLiteral("600000"));
            EXPECT_TRUE(spinUntil([&] { return !page->priceText().isEmpty(); }));
            page->setQuantityText(QStringLiteral("100"));
            press = [p = page.get()] { p->orderButtonClicked(); };
            return page;
        }
        case Kind::Subscription: {
            auto page = std::make_unique<PurchaseViewController>();
            page->setAlertPresenter(&alerts);
            page->load();
            EXPECT_TRUE(spinUntil([&] { return !page->stockInfoList().empty(); }));
            page->setQuantityText(QStringLiteral("1000"));
            press = [p = page.get()] { p->purchaseButtonClicked(); };
            return page;
        }
        case Kind::Cancel: {
            const QString resting = rest(true);
            auto page = std::make_unique<DeputeCancelViewController>();
            page->setAlertPresenter(&alerts);
            page->load();
            EXPECT_TRUE(spinUntil([&] { return page->orders() != nullptr; }));
            for (int row = 0; row < page->orders()->contentObjectArray().size(); ++row)
                if (page->orders()->recordAt(row).number == resting)
                    page->ordersTableViewClicked(row);
            EXPECT_EQ(page->selectedCountText(), QStringLiteral("1"));
            press = [p = page.get()] { p->cancelOderButtonClicked(); };
            return page;
        }
        case Kind::CostReset: {
            auto page = std::make_unique<AssetQueryViewController>();
            page->setAlertPresenter(&alerts);
            page->load();
            EXPECT_TRUE(spinUntil([&] { return page->positions() != nullptr; }));
            press = [p = page.get()] { p->endEditing(0, p->editableColumnIndex(), QStringLiteral("9.99")); };
            return page;
        }
        }
        return nullptr;
    }

    Alerts mainWindow;
    Alerts anyWindow;
};

TEST_F(OutcomeNeverLostTest, AnOutcomeIsToldWhateverHappenedSinceTheLock)
{
    const struct {
        Kind kind;
        Way way;
        Answer answer = Answer::Number;
        Typed typed = Typed::Nothing;
    } rows[] = {
        { Kind::Order, Way::Lock },
        { Kind::Order, Way::AccountChange },
        { Kind::Order, Way::PageLeft },
        { Kind::Subscription, Way::Lock },
        { Kind::Subscription, Way::AccountChange },
        { Kind::Subscription, Way::PageLeft },
        { Kind::Cancel, Way::Lock },
        { Kind::Cancel, Way::AccountChange },
        { Kind::Cancel, Way::PageLeft },
        { Kind::CostReset, Way::PageLeft },
        { Kind::CostReset, Way::OtherAccount },
        { Kind::Order, Way::LockThenLogout },
        { Kind::Subscription, Way::LockThenLogout },
        { Kind::Cancel, Way::LockThenLogout },
        // A real answer past the time limit is told once on the page still
        // up, which does what the answer does while it waits: it reads again
        // what the action changed, and an order's number empties the
        // quantity, which a refusal leaves.
        { Kind::Order, Way::TimeLimit },
        { Kind::Subscription, Way::TimeLimit },
        { Kind::Cancel, Way::TimeLimit },
        { Kind::Order, Way::TimeLimit, Answer::Refused },
        { Kind::Subscription, Way::TimeLimit, Answer::Refused },
        // A form the customer changed since is another order's: its
        // quantity stays, whichever way the answer came.
        { Kind::Order, Way::TimeLimit, Answer::Number, Typed::Quantity },
        { Kind::Order, Way::TimeLimit, Answer::Number, Typed::Code },
        { Kind::Subscription, Way::TimeLimit, Answer::Number, Typed::Quantity },
        { Kind::Order, Way::Lock, Answer::Number, Typed::Code },
        { Kind::Subscription, Way::Lock, Answer::Number, Typed::Quantity },
        // Last: the answers these leave withheld are never released.
        { Kind::Order, Way::AccountChange, Answer::Unknown },
        { Kind::Order, Way::PageLeft, Answer::Unknown },
        // The time limit is told once: the order's page then left, the
        // cancel's still up, and the request's own time-out adds nothing.
        { Kind::Order, Way::TimeLimit, Answer::Unknown },
        { Kind::Subscription, Way::TimeLimit, Answer::Unknown },
        { Kind::Cancel, Way::TimeLimit, Answer::Unknown },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "kind " << int(row.kind) << " way " << int(row.way) << " answer "
                                        << int(row.answer) << " typed " << int(row.typed));
        alerts = {};
        mainWindow = {};
        std::function<void()> press;
        std::unique_ptr<MenuItemViewController> page = openPage(row.kind, press);
        ASSERT_TRUE(page);
        if (row.answer == Answer::Refused) {
            // Not a whole lot.
            if (auto* order = dynamic_cast<TradeViewController*>(page.get()))
                order->setQuantityText(QStringLiteral("150"));
            if (auto* issue = dynamic_cast<PurchaseViewController*>(page.get()))
                issue->setQuantityText(QStringLiteral("1"));
        }
        const QString typed = quantityOf(*page);
        const brokersim::Function function = row.kind == Kind::Cancel ? brokersim::kCancelFunction
            : row.kind == Kind::CostReset                             ? brokersim::kResetCostFunction
                                                                      : brokersim::kOrderFunction;
        const qsizetype before = sim.receivedCount(function);
        const int withheld = sim.withheldCount();
        sim.withholdNext(function);
        // Confirmed, and the lock closes the dialog before the answer; a
        // cost reset has no dialog.
        bool locked = row.kind == Kind::CostReset;
        OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& d) {
            QTimer::singleShot(0, &d, [&] {
                if (row.way == Way::TimeLimit)
                    d.setBusyBackstopMsForTesting(300);
                d.confirmButtonClicked();
                EXPECT_TRUE(spinUntil([&] { return sim.withheldCount() == withheld + 1; }));
                locked = true;
                if (row.way == Way::TimeLimit)
                    return;
                platform::ModalSession::stopAll();
                NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
            });
        });
        press();
        ASSERT_TRUE(spinUntil([&] { return locked && sim.withheldCount() == withheld + 1; }));
        ASSERT_EQ(sim.receivedCount(function), before + 1);
        QString typedSince;
        if (row.typed != Typed::Nothing) {
            ASSERT_TRUE(spinUntil([&] { return !isBusy(*page); }));
            auto* order = dynamic_cast<TradeViewController*>(page.get());
            auto* issue = dynamic_cast<PurchaseViewController*>(page.get());
            if (row.typed == Typed::Code) {
                ASSERT_TRUE(order);
                order->setCodeText(QStringLiteral("000001"));
                ASSERT_TRUE(spinUntil([&] { return order->nameText() == QStringLiteral("深南银行"); }));
            }
            typedSince = QStringLiteral("300");
            if (order)
                order->setQuantityText(typedSince);
            if (issue)
                issue->setQuantityText(typedSince);
        }
        if (row.way == Way::TimeLimit) {
            const QString limit = row.kind == Kind::Cancel
                ? QStringLiteral("撤单结果未知，请查询当日委托确认")
                : QStringLiteral("委托结果未知，请查询当日委托确认，切勿重复下单");
            ASSERT_EQ(alerts.shown.size(), 1u);
            EXPECT_EQ(alerts.shown[0].text, limit);
            if (row.answer != Answer::Unknown) {
                const brokersim::Function read = row.kind == Kind::Cancel ? brokersim::kOrdersOfTodayFunction
                    : row.kind == Kind::Order                             ? brokersim::kPositionsFunction
                                                                          : brokersim::kMoneyFunction;
                const qsizetype reads = sim.receivedCount(read);
                sim.releaseWithheld();
                ASSERT_TRUE(
                    spinUntil([&] { return alerts.shown.size() == 2u && sim.receivedCount(read) > reads; }));
                ASSERT_TRUE(settled());
                EXPECT_EQ(alerts.shown.size(), 2u) << qPrintable(alerts.shown.back().text);
                EXPECT_EQ(alerts.shown.back().title,
                    row.answer == Answer::Refused ? QStringLiteral("错误") : QStringLiteral("温馨提示"));
                EXPECT_TRUE(mainWindow.shown.empty());
                EXPECT_EQ(quantityOf(*page),
                    row.typed != Typed::Nothing        ? typedSince
                        : row.answer == Answer::Number ? QString()
                                                       : typed);
                page.reset();
                continue;
            }
            if (row.kind != Kind::Cancel) {
                page->unloadView();
                page.reset();
            }
            const std::shared_ptr<CSNetwork> trade
                = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
            trade->connectionSendPacketsTimeout(
                *trade->connection(), { quint64(sim.receivedOf(function).last().packetId) });
            ASSERT_TRUE(spinUntil([&] { return OrderOutcomeRelay::pendingCount() == 0; }));
            ASSERT_TRUE(settled());
            EXPECT_EQ(alerts.shown.size(), 1u) << qPrintable(alerts.shown.back().text);
            EXPECT_TRUE(mainWindow.shown.empty()) << qPrintable(mainWindow.shown.front().text);
            page.reset();
            continue;
        }
        ASSERT_TRUE(alerts.shown.empty());
        if (row.way == Way::AccountChange) {
            page->loginAccountChanged();
            ASSERT_TRUE(settled());
        } else if (row.way == Way::OtherAccount) {
            const brokersim::Customer* other = sim.state().broker().customer(kOtherCustomer);
            ASSERT_NE(other, nullptr);
            auto account = std::make_shared<Account>();
            account->customerNumber = kOtherCustomer;
            account->commonUrlString = sim.state().broker().openLogin(
                *other, other->funds.front().fundId, QStringLiteral("222222"), QStringLiteral("10.1.2.3"));
            AccountManager::getInstance()->addActiveAccount(account);
            page->loginAccountChanged();
        } else if (row.way == Way::PageLeft) {
            page->unloadView();
            page.reset();
        }
        alerts.shown.clear();
        if (row.answer == Answer::Number) {
            sim.releaseWithheld();
        } else {
            const std::shared_ptr<CSNetwork> trade
                = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
            trade->connectionSendPacketsTimeout(
                *trade->connection(), { quint64(sim.receivedOf(function).last().packetId) });
        }
        // On the page's window while it is shown for the account, else on
        // the main window.
        Alerts& told = row.way == Way::PageLeft || row.way == Way::OtherAccount ? mainWindow : alerts;
        const auto outcome = [&] {
            return std::find_if(told.shown.begin(), told.shown.end(), [&](const AlertRequest& box) {
                return row.kind == Kind::Cancel || box.text.contains(QStringLiteral("委托申请已提交，序号为"))
                    || box.text.contains(QStringLiteral("结果未知，请查询当日委托确认"))
                    || box.text.contains(QStringLiteral("成本价修改成功"));
            });
        };
        ASSERT_TRUE(spinUntil([&] { return outcome() != told.shown.end(); }));
        const QString text = outcome()->text;
        if (row.answer == Answer::Unknown) {
            EXPECT_TRUE(text.contains(QStringLiteral("委托结果未知，请查询当日委托确认")))
                << qPrintable(text);
        } else if (row.kind == Kind::Cancel) {
            EXPECT_EQ(outcome()->title, QStringLiteral("温馨提示")) << qPrintable(text);
        } else if (row.kind == Kind::CostReset) {
            // After an account change it names the account it was sent for.
            EXPECT_EQ(text,
                row.way == Way::OtherAccount
                    ? QString::fromUtf8(ActionOutcomeRelay::kAccountFormat)
                          .arg(QStringLiteral("010100000001"), QStringLiteral("成本价修改成功"))
                    : QStringLiteral("成本价修改成功"));
        } else {
            const std::vector<RDOOrder> today = [&] {
                OrdersOfTodayCatcher c;
                QueryInfoManager::getInstance()->requestOrdersOfToday(&c);
                EXPECT_TRUE(spinUntil([&] { return c.done(); }));
                std::vector<RDOOrder> out;
                for (const QVariant& r : c.results.at(0)->contentObjectArray())
                    out.push_back(r.value<RDOOrder>());
                return out;
            }();
            ASSERT_FALSE(today.empty());
            EXPECT_EQ(text, QString::fromUtf8(OrderOutcomeRelay::kSubmittedFormat).arg(today.back().number));
        }
        // Told once, and nothing waits for another answer.
        ASSERT_TRUE(settled());
        EXPECT_EQ(std::count_if(told.shown.begin(), told.shown.end(),
                      [&](const AlertRequest& box) { return box.text == text; }),
            1);
        if (&told != &alerts)
            EXPECT_TRUE(std::none_of(alerts.shown.begin(), alerts.shown.end(),
                [&](const AlertRequest& box) { return text.endsWith(box.text); }));
        EXPECT_EQ(OrderOutcomeRelay::pendingCount(), 0u);
        if (row.typed != Typed::Nothing)
            EXPECT_EQ(quantityOf(*page), typedSince);
        if (row.way == Way::LockThenLogout) {
            // 退出 at the locked screen: the box the page showed under the
            // lock goes unread with the session.
            const QString customer = AccountManager::getInstance()->getActiveLoginAccount()->customerNumber;
            AccountManager::getInstance()->logoutAllAccount();
            alerts.dismissAll(0);
            ASSERT_TRUE(spinUntil([&] { return !anyWindow.shown.empty(); }));
            EXPECT_EQ(anyWindow.shown.back().text,
                QString::fromUtf8(ActionOutcomeRelay::kAccountFormat).arg(customer, text));
            anyWindow = {};
            logInWithHolders({ { QStringLiteral("上海A股"), "1", "A101000001" },
                { QStringLiteral("深圳A股"), "0", "0101000001" } });
        }
        page.reset();
        AccountManager::getInstance()->setActiveLoginAccount(0);
    }
}

// After an outcome left unknown each page reads again what it shows: a read
// answered with an error row keeps its figures, shown as maybe out of date,
// and stays owed, so it goes again at the next trade logon, until it is
// itself answered with its rows.
TEST_F(OutcomeNeverLostTest, AReadAnsweredWithAnErrorRowAfterAnUnknownOutcomeStaysOwed)
{
    const struct {
        Kind kind;
        brokersim::Function function;
        const char* read;
    } rows[] = {
        { Kind::Order, brokersim::kMoneyFunction, "money" },
        { Kind::Order, brokersim::kPositionsFunction, "positions" },
        { Kind::Order, brokersim::kMaxQuantityFunction, "maximum" },
        { Kind::Subscription, brokersim::kMoneyFunction, "money" },
        { Kind::Subscription, brokersim::kMaxQuantityFunction, "maximum" },
        { Kind::Cancel, brokersim::kOrdersOfTodayFunction, "orders" },
    };
    OwedReads* owed = OwedReads::getInstance();
    owed->setRoundDelays({ std::chrono::hours(1), std::chrono::hours(1), std::chrono::hours(1) });
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "kind " << int(row.kind) << " read " << row.read);
        std::function<void()> press;
        std::unique_ptr<MenuItemViewController> page = openPage(row.kind, press);
        ASSERT_TRUE(page);
        const brokersim::Function function
            = row.kind == Kind::Cancel ? brokersim::kCancelFunction : brokersim::kOrderFunction;
        sim.clearReceived();
        sim.withholdNext(function);
        OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& d) {
            QTimer::singleShot(0, &d, [&] {
                d.confirmButtonClicked();
                ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(function) == 1; }));
                sim.answerErrorNext(row.function, -1, QStringLiteral("系统忙"));
                timeOut({ function });
            });
        });
        press();
        // The round over, the next one waits.
        ASSERT_TRUE(spinUntil([&] { return owed->roundWait().count() > 0; }));
        EXPECT_EQ(page->figuresOutOfDate(), QStringList { QString::fromLatin1(row.read) });
        const qsizetype asked = sim.receivedCount(row.function);
        DMNotificationCenter::getInstance()->postNotification(
            NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
        ASSERT_TRUE(spinUntil([&] { return page->figuresOutOfDate().isEmpty(); }));
        EXPECT_GT(sim.receivedCount(row.function), asked);
        EXPECT_EQ(sim.receivedCount(function), 1); // never sent again
    }
}

} // namespace

// An order or a subscription whose dialog gave up waiting before its request
// timed out: each figure the page shows is read once, in the account's
// round, never also by the page itself from its dialog's time limit.
TEST_F(OutcomeNeverLostTest, AnOutcomeLeftUnknownReadsEachFigureOnceInTheRound)
{
    OwedReads::getInstance()->setRoundDelays(
        { std::chrono::hours(1), std::chrono::hours(1), std::chrono::hours(1) });
    for (const Kind kind : { Kind::Order, Kind::Subscription }) {
        SCOPED_TRACE(int(kind));
        std::function<void()> press;
        std::unique_ptr<MenuItemViewController> page = openPage(kind, press);
        ASSERT_TRUE(page && settled());
        const qsizetype money = sim.receivedCount(brokersim::kMoneyFunction);
        const qsizetype orders = sim.receivedCount(brokersim::kOrderFunction);
        sim.withholdNext(brokersim::kOrderFunction);
        OrderAlertWindowController::setShownHookForTesting([](OrderAlertWindowController& d) {
            d.setBusyBackstopMsForTesting(1);
            QTimer::singleShot(0, &d, [&d] { d.confirmButtonClicked(); });
        });
        alerts.shown.clear();
        press();
        ASSERT_TRUE(spinUntil([&] {
            return !alerts.shown.empty() && sim.receivedCount(brokersim::kOrderFunction) == orders + 1;
        }));
        ASSERT_TRUE(settled());
        timeOut({ brokersim::kOrderFunction });
        ASSERT_TRUE(spinUntil(
            [&] { return page->figuresOutOfDate().isEmpty() && !OwedReads::getInstance()->owes(); }));
        EXPECT_EQ(sim.receivedCount(brokersim::kMoneyFunction), money + 1);
        OrderAlertWindowController::setShownHookForTesting({});
    }
}
