// The declaration, withdrawal and notice pages as the customer uses them:
// typed fields, the pop-up, the buttons, the dialogs and the boxes.
#include "connect_ui/HGTViewRig.h"
#include "connect/ui/HGTPageViews.h"
#include "connect/ui/HGTTradeView.h"
#include "platform/ChinaClock.h"
#include "quotes/QuoteTestRig.h"
#include "shell/ui/tables/DVCommonTableView.h"
#include "tools/broker-sim/HKFunctions.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/security/StockManager.h"
#include "trading/ui/OrderAlertWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
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
