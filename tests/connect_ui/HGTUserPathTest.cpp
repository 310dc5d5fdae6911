// The customer's path through the Stock Connect: log in through the login
// window, open the buy page directly (no menu entry leads there), order,
// then open the cancel page the same way and cancel that order; a jump to a
// Stock Connect page, which no menu entry opens, does nothing.
#include "connect_ui/HGTViewRig.h"
#include "core/NotificationCenter.h"
#include "platform/ChinaClock.h"
#include "shell/MainWindowRig.h"
#include "shell/ShellDataModels.h"
#include "shell/ui/tables/DVCheckTableView.h"
#include "tools/broker-sim/HKFunctions.h"
#include "trading/requests/SecurityInfoDataModels.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace windowtest;
using testsupport::spinUntil;

namespace {

class HGTUserPathTest : public MainWindowRig {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerShellDataModels();
        registerTradingDataModels();
        registerConnectDataModels();
        StartUp().run();
        startTradeServer();
        registerConnectPages();
        installConnectViews();
        registerOrderAlertWindow();
        hands.start();
    }
    void TearDown() override
    {
        hands.stop();
        closeWindows();
        resetShell();
        HGTRequestManager::resetInstance();
        serverManager.reset();
        MarketFixture::TearDown();
    }
    platform::ChinaClock::Override clock { platform::ChinaClock::at(2026, 12, 2, 10, 0) };
    hgtviewtest::CustomerHands hands;
};

} // namespace

TEST_F(HGTUserPathTest, BuyDirectlyThenCancelThatOrderWhileTheMenuOffersNoStockConnectPage)
{
    logInThroughTheForm();
    fetchMenu();
    openWindow();

    // A Stock Connect position's buy: no menu entry opens its page, so
    // nothing happens and nothing is shown.
    QWidget* before = window->currentPageView();
    NotificationCenter::getInstance()->postNotificationName(pagenotify::kBuyPosition, QVariant(),
        { { QString::fromLatin1(pagenotify::kPositionDetailKey), QVariantMap { { "marketCode", "5" } } } });
    testsupport::spinFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(hands.boxes.isEmpty()) << hands.boxes.join(u'|').toStdString();
    EXPECT_EQ(window->currentPageView(), before);

    // The buy page: a code, its quote and rate, a price below the market so
    // the order rests, one lot, the order button, Enter in the dialog.
    auto* buy = hands.openDirectly<HGTTradeView>(90000, { 800, 760 });
    ASSERT_NE(buy, nullptr);
    QTest::keyClicks(buy->codeField(), QStringLiteral("00700"));
    ASSERT_TRUE(spinUntil([&] {
        return buy->nameLabel()->text() == QStringLiteral("港华控股") && !buy->priceField()->text().isEmpty()
            && !buy->lotLabel()->text().isEmpty();
    }));
    auto& page = static_cast<HGTTradeViewController&>(*hands.pages.back());
    ASSERT_TRUE(spinUntil([&] { return !page.exchangeRateShown().isEmpty(); }));
    EXPECT_TRUE(page.quotePanel()->field(QuoteField::exchangeRateText).text.contains(QStringLiteral("0.92")));
    for (int i = 0; i < 10; ++i)
        QTest::mouseClick(buy->stepDownButton(), Qt::LeftButton);
    QTest::keyClicks(buy->quantityField(), QStringLiteral("100"));
    QTest::mouseClick(buy->orderButton(), Qt::LeftButton);
    const QString submitted = hands.nextBox();
    ASSERT_TRUE(submitted.startsWith(QStringLiteral("委托申请已提交，序号为"))) << submitted.toStdString();
    const QString number = page.lastOrderNumber();
    EXPECT_EQ(submitted, QStringLiteral("委托申请已提交，序号为%1。").arg(number));

    // The cancel page: the order, ticked, cancelled, its status changed.
    MenuItemView* cancel = hands.openDirectly<MenuItemView>(90003, { 1180, 420 });
    ASSERT_NE(cancel, nullptr);
    auto* count = cancel->findChild<QLabel*>("countText");
    auto* table = cancel->findChild<DVCheckTableView*>("ordersTableView");
    ASSERT_TRUE(count && table);
    ASSERT_TRUE(spinUntil([&] { return count->text() == "1"; }));
    const int statusColumn = table->tableModel()->titles().indexOf(QStringLiteral("委托状态")) + 1;
    const int numberColumn = table->tableModel()->titles().indexOf(QStringLiteral("委托编号")) + 1;
    ASSERT_GT(statusColumn, 0);
    EXPECT_EQ(table->model()->index(0, numberColumn).data().toString(), number);
    EXPECT_EQ(table->model()->index(0, statusColumn).data().toString(), "已报");
    // Nothing ticked: the cancel button does nothing at all.
    auto* cancelButton = cancel->findChild<QPushButton*>("cancelButton");
    ASSERT_NE(cancelButton, nullptr);
    QTest::mouseClick(cancelButton, Qt::LeftButton);
    testsupport::spinFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(hands.boxes.isEmpty()) << hands.boxes.join(u'|').toStdString();
    EXPECT_EQ(hgtviewtest::shown<OrderAlertWindow>(), nullptr);
    EXPECT_EQ(sim.receivedCount(brokersim::kHKCancelFunction), 0);
    clickCheckBoxOfRow(table, 0);
    EXPECT_EQ(cancel->findChild<QLabel*>("selectedCountText")->text(), "1");
    EXPECT_TRUE(cancel->findChild<QCheckBox*>("selectAllButton")->isChecked());
    // The pictures under docs/ are taken here: LUMORA_DOCS_PICTURES=docs.
    if (const QString folder = qEnvironmentVariable("LUMORA_DOCS_PICTURES"); !folder.isEmpty())
        hands.windows.back()->grab().save(QDir(folder).filePath(QStringLiteral("hgt-cancel-page.png")));

    QTest::mouseClick(cancelButton, Qt::LeftButton);
    EXPECT_EQ(hands.nextBox(), QStringLiteral("成功。"));
    ASSERT_TRUE(
        spinUntil([&] { return table->model()->index(0, statusColumn).data().toString() == "已撤"; }));
    EXPECT_EQ(cancel->findChild<QLabel*>("selectedCountText")->text(), "0");
}
