// The declaration, withdrawal and notice pages as the customer uses them:
// typed fields, the pop-up, the buttons, the dialogs and the boxes.
#include "connect_ui/HGTViewRig.h"
#include "connect/ui/HGTPageViews.h"
#include "connect/ui/HGTTradeView.h"
#include "core/NotificationCenter.h"
#include "platform/ChinaClock.h"
#include "quotes/QuoteTestRig.h"
#include "shell/ui/ScreenLocker.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/ui/tables/DVCommonTableView.h"
#include "shell/windows/SessionNotifications.h"
#include "support_gui/WideDigits.h"
#include "tools/broker-sim/HKFunctions.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/security/StockManager.h"
#include "trading/ui/OrderAlertWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quotetest;
using testsupport::spinUntil;

namespace {

class HGTDeclarePagesViewTest : public MarketFixture {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerTradingDataModels();
        registerConnectDataModels();
        registerConnectPages();
        installConnectViews();
        registerOrderAlertWindow();
        logInWithHolders({ { QStringLiteral("沪港通"), "5", "A101000001" } });
        hands.start();
    }
    void TearDown() override
    {
        hands.stop();
        MenuItemViewManager::resetInstance();
        HGTRequestManager::resetInstance();
        StockManager::resetInstance();
        MarketFixture::TearDown();
    }
    platform::ChinaClock::Override clock { platform::ChinaClock::at(2026, 12, 2, 10, 0) };
    hgtviewtest::CustomerHands hands;
};

} // namespace

TEST_F(HGTDeclarePagesViewTest, DeclareThenWithdrawPartOfItAndReadTheNotices)
{
    auto* declare = hands.openDirectly<HGTDeclareView>(90006, { 900, 760 });
    ASSERT_NE(declare, nullptr);
    QTest::keyClicks(declare->field(0), QStringLiteral("00700"));
    ASSERT_TRUE(spinUntil([&] { return declare->findChildren<QLabel*>().size() > 0 && declare->field(1)->hasFocus(); }));
    QComboBox* types = declare->voteTypeButton();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(types, Qt::Key_Down);
    EXPECT_EQ(types->currentText(), QStringLiteral("红利现金选择权"));
    QTest::keyClicks(declare->field(1), QStringLiteral("D00700"));
    testsupport::commitWideDigitsInTheMiddle(declare->field(2));
    QTest::keyClicks(declare->field(2), QStringLiteral("300"));
    QTest::mouseClick(declare->orderButton(), Qt::LeftButton);
    const QString declared = hands.nextBox();
    EXPECT_TRUE(declared.startsWith(QStringLiteral("委托已提交,委托序号为"))) << declared.toStdString();
    EXPECT_EQ(sim.receivedOf(brokersim::kHKDeclareFunction).back().valueOr(QStringLiteral("hk_type")), "H66");
    EXPECT_EQ(declare->field(2)->text(), "300"); // the fields keep their values

    // The withdrawal: a click on the declaration, 100 in the window, 确定,
    // Enter in the confirmation.
    auto* cancel = hands.openDirectly<HGTCancelVoteView>(90007, { 900, 500 });
    ASSERT_NE(cancel, nullptr);
    auto* count = cancel->findChild<QLabel*>("countText");
    auto* table = cancel->findChild<DVCommonTableView*>("ordersTableView");
    ASSERT_TRUE(spinUntil([&] { return count->text() == "1"; }));
    QTimer::singleShot(0, [] {
        ASSERT_TRUE(spinUntil([] { return hgtviewtest::shown<QDialog>() != nullptr; }));
        QDialog* window = hgtviewtest::shown<QDialog>();
        testsupport::commitWideDigitsInTheMiddle(window->findChild<QLineEdit*>("quantityText"));
        QTest::keyClicks(window->findChild<QLineEdit*>("quantityText"), QStringLiteral("100"));
        QTest::mouseClick(window->findChild<QDialogButtonBox*>()->buttons().front(), Qt::LeftButton);
    });
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(0, 1)).center());
    const QString withdrawn = hands.nextBox();
    EXPECT_TRUE(withdrawn.startsWith(QStringLiteral("委托已提交,委托序号为"))) << withdrawn.toStdString();
    EXPECT_EQ(sim.receivedOf(brokersim::kHKDeclareFunction).back().valueOr(QStringLiteral("declare_quan")), "-100");
    EXPECT_EQ(brokersim::hkDesk(sim)->declarationList().front().quantity, 200);

    // The notices of the code: a title above a table each.
    auto* notices = hands.openDirectly<HGTQueryNotificationView>(90008, { 900, 500 });
    ASSERT_NE(notices, nullptr);
    auto* code = notices->findChild<QLineEdit*>("stockCodeText");
    QTest::keyClicks(code, QStringLiteral("007000"));
    EXPECT_EQ(code->text(), "00700");
    QTest::keyClick(code, Qt::Key_Return);
    ASSERT_TRUE(spinUntil([&] { return notices->findChildren<QLabel*>("NotificationCellLabel").size() == 2; }));
    EXPECT_TRUE(notices->findChildren<QLabel*>("NotificationCellLabel").front()->text().contains(
        QStringLiteral("港华控股")));
}

TEST_F(HGTDeclarePagesViewTest, ASortedListWithdrawsTheDeclarationClickedAndAPositionRowFillsItsOwnCode)
{
    // Two declarations, and a second Hong Kong stock bought above the market.
    struct Catcher : IHGTOtherVote, IHGTMakeOrder {
        int answers = 0;
        void hgtOtherVote(DataModel*, const QString&, const QString&) override { ++answers; }
        bool hgtOtherVote(DataModel*, const QString&, const CSError& e) override
        {
            ADD_FAILURE() << e.domain.toStdString();
            return true;
        }
        void hgtMakeOrder(DataModel*, const QString&, const QString&) override { ++answers; }
        bool hgtMakeOrder(DataModel*, const QString&, const CSError& e) override
        {
            ADD_FAILURE() << e.domain.toStdString();
            return true;
        }
    } catcher;
    HGTRequestManager& hgt = *HGTRequestManager::getInstance();
    const QString account = QStringLiteral("A101000001");
    hgt.requestHGTOtherVote(
        &catcher, QStringLiteral("00700"), 3, QStringLiteral("300"), QStringLiteral("D1"), account);
    hgt.requestHGTOtherVote(
        &catcher, QStringLiteral("01299"), 1, QStringLiteral("200"), QStringLiteral("D2"), account);
    hgt.requestHGTTradeBuy(&catcher, account, QStringLiteral("00981"), QStringLiteral("9.000"),
        QStringLiteral("500"), QStringLiteral("增强限价买入"));
    ASSERT_TRUE(spinUntil([&] { return catcher.answers == 3; }));

    // The customer sorts by code, last first, and clicks the top row: the
    // withdrawal window is that row's declaration, not the reply's first.
    auto* cancel = hands.openDirectly<HGTCancelVoteView>(90007, { 900, 500 });
    ASSERT_NE(cancel, nullptr);
    auto* table = cancel->findChild<DVCommonTableView*>("ordersTableView");
    ASSERT_TRUE(spinUntil([&] { return cancel->findChild<QLabel*>("countText")->text() == "2"; }));
    const auto codeAt = [](DVCommonTableView* t, int row) {
        const int column = t->tableModel()->titles().indexOf(QStringLiteral("证券代码"));
        return t->model()->index(row, column).data().toString();
    };
    table->sortByColumn(
        table->tableModel()->titles().indexOf(QStringLiteral("证券代码")), Qt::DescendingOrder);
    ASSERT_EQ(codeAt(table, 0), "01299");
    QStringList shownLabels;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(spinUntil([] { return hgtviewtest::shown<QDialog>() != nullptr; }));
        QDialog* window = hgtviewtest::shown<QDialog>();
        for (QLabel* label : window->findChildren<QLabel*>())
            shownLabels << label->text();
        QTest::keyClick(window, Qt::Key_Escape);
    });
    QTest::mouseClick(
        table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(0, 1)).center());
    ASSERT_TRUE(spinUntil([&] { return !shownLabels.isEmpty() && !hgtviewtest::shown<QDialog>(); }));
    EXPECT_TRUE(shownLabels.contains(QStringLiteral("01299"))) << shownLabels.join(u'|').toStdString();
    EXPECT_TRUE(shownLabels.contains(QStringLiteral("D2")));
    EXPECT_FALSE(shownLabels.contains(QStringLiteral("00700")));

    // The same on the buy page's positions: the two Hong Kong holdings only.
    auto* buy = hands.openDirectly<HGTTradeView>(90000, { 800, 760 });
    ASSERT_NE(buy, nullptr);
    auto* positions = buy->findChild<DVCommonTableView*>();
    const auto& page = static_cast<HGTTradeViewController&>(*hands.pages.back());
    ASSERT_TRUE(spinUntil([&] { return positions->model()->rowCount() == 2; }));
    const int codeColumn = positions->tableModel()->titles().indexOf(QStringLiteral("证券代码"));
    EXPECT_EQ(QSet<QString>({ codeAt(positions, 0), codeAt(positions, 1) }),
        QSet<QString>({ QStringLiteral("00700"), QStringLiteral("00981") }));
    for (const Qt::SortOrder order : { Qt::AscendingOrder, Qt::DescendingOrder }) {
        positions->sortByColumn(codeColumn, order);
        const QString top = codeAt(positions, 0);
        QTest::mouseClick(positions->viewport(), Qt::LeftButton, {},
            positions->visualRect(positions->model()->index(0, codeColumn)).center());
        EXPECT_EQ(page.codeText(), top) << int(order);
    }
}

// The screen locks while the withdrawal window waits for its quantity: the
// window closes as cancelled, nothing is withdrawn, and after the unlock the
// page is back alone and opens a new window at the next click.
TEST_F(HGTDeclarePagesViewTest, TheLockCancelsTheWithdrawalWindowForGood)
{
    struct Catcher : IHGTOtherVote {
        int answers = 0;
        void hgtOtherVote(DataModel*, const QString&, const QString&) override { ++answers; }
        bool hgtOtherVote(DataModel*, const QString&, const CSError&) override { return true; }
    } catcher;
    HGTRequestManager::getInstance()->requestHGTOtherVote(&catcher, QStringLiteral("00700"), 3, QStringLiteral("300"),
        QStringLiteral("D1"), QStringLiteral("A101000001"));
    ASSERT_TRUE(spinUntil([&] { return catcher.answers == 1; }));
    ScreenLocker locker;
    auto* cancel = hands.openDirectly<HGTCancelVoteView>(90007, { 900, 500 });
    ASSERT_NE(cancel, nullptr);
    const auto& page = static_cast<HGTCancelVoteViewController&>(*hands.pages.back());
    auto* table = cancel->findChild<DVCommonTableView*>("ordersTableView");
    ASSERT_TRUE(spinUntil([&] { return cancel->findChild<QLabel*>("countText")->text() == "1"; }));
    const auto clickRow = [&] {
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(0, 1)).center());
        return spinUntil([] { return hgtviewtest::shown<QDialog>() != nullptr; });
    };
    ASSERT_TRUE(clickRow());
    QPointer<QDialog> window = hgtviewtest::shown<QDialog>();
    QTest::keyClicks(window->findChild<QLineEdit*>("quantityText"), QStringLiteral("100"));
    const qsizetype sent = sim.receivedCount(brokersim::kHKDeclareFunction);

    NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
    ASSERT_TRUE(locker.controller().isLocked());
    EXPECT_FALSE(page.cancelConfirmAlert()->isShown());
    EXPECT_TRUE(window.isNull() || !window->isVisible());

    locker.unlockWindow()->controller().identifyLogin(nullptr, QString(), RDOAccount());
    ASSERT_TRUE(spinUntil([&] { return !locker.controller().isLocked() && cancel->isVisible(); }));
    testsupport::spinFor(std::chrono::milliseconds(50));
    EXPECT_EQ(hgtviewtest::shown<QDialog>(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(sim.receivedCount(brokersim::kHKDeclareFunction), sent);
    ASSERT_TRUE(clickRow());
    QTest::keyClick(hgtviewtest::shown<QDialog>(), Qt::Key_Escape);
    EXPECT_TRUE(spinUntil([] { return !hgtviewtest::shown<QDialog>(); }));
}

// Every Stock Connect code field takes five digits and nothing else: a
// refused keystroke or paste leaves it as it was, with no message.
TEST_F(HGTDeclarePagesViewTest, EveryCodeFieldTakesFiveDigitsOnly)
{
    for (const qint64 linkId : { 90000, 90004, 90005, 90006, 90008 }) {
        SCOPED_TRACE(linkId);
        auto* view = hands.openDirectly<MenuItemView>(linkId, { 900, 760 });
        ASSERT_NE(view, nullptr);
        auto* code = view->findChild<QLineEdit*>("stockCodeText");
        ASSERT_NE(code, nullptr);
        for (const char* pasted : { "12a", "123456" }) {
            QGuiApplication::clipboard()->setText(QString::fromLatin1(pasted));
            QTest::keyClick(code, Qt::Key_V, Qt::ControlModifier);
            EXPECT_TRUE(code->text().isEmpty()) << pasted;
        }
        QTest::keyClicks(code, QStringLiteral("0a0.7-0x0"));
        EXPECT_EQ(code->text(), QStringLiteral("00700"));
        QTest::keyClicks(code, QStringLiteral("1"));
        EXPECT_EQ(code->text(), QStringLiteral("00700"));
    }
    testsupport::spinFor(std::chrono::milliseconds(100)); // the quotes asked for have answered
    EXPECT_TRUE(hands.boxes.isEmpty()) << hands.boxes.join(u'|').toStdString();
}

// A click after a short code pads and looks the code up, and the field
// clicked keeps the focus: the quantity typed stays the quantity.
TEST_F(HGTDeclarePagesViewTest, AClickAfterAShortCodeKeepsTheFieldClicked)
{
    auto* declare = hands.openDirectly<HGTDeclareView>(90006, { 900, 760 });
    ASSERT_NE(declare, nullptr);
    declare->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(declare->window()));
    ASSERT_TRUE(spinUntil([&] { return declare->field(0)->hasFocus(); })); // the form starts at the code
    QTest::keyClicks(declare->field(0), QStringLiteral("700"));
    QTest::mouseClick(declare->field(2), Qt::LeftButton);
    EXPECT_EQ(declare->field(0)->text(), "00700");
    ASSERT_TRUE(declare->field(2)->hasFocus());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("300"));
    EXPECT_EQ(declare->field(2)->text(), "300");
    EXPECT_TRUE(declare->field(1)->text().isEmpty());
    auto* page = qobject_cast<HGTDeclarePage*>(hands.pages.back().get());
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(spinUntil([&] { return page->nameText() == QStringLiteral("港华控股"); }));
    EXPECT_TRUE(declare->field(2)->hasFocus()); // the answers leave the focus where it is
    EXPECT_TRUE(hands.boxes.isEmpty()) << hands.boxes.join(u'|').toStdString();
}

// After an account change the eligible stocks shown for the previous
// account are gone from the screen, not only from the page.
TEST_F(HGTDeclarePagesViewTest, AnAccountChangeEmptiesTheEligibleStocksShown)
{
    auto* targets = hands.openDirectly<HGTQueryStockTargetView>(90004, { 800, 500 });
    ASSERT_NE(targets, nullptr);
    auto* table = targets->findChild<DVCommonTableView*>("targetInfoTableView");
    ASSERT_NE(table, nullptr);
    QTest::keyClick(targets->findChild<QLineEdit*>(), Qt::Key_Return);
    ASSERT_TRUE(spinUntil([&] { return table->model()->rowCount() > 0; }));
    NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
    EXPECT_EQ(table->model()->rowCount(), 0);
}
