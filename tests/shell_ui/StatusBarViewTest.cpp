#include "quotes/QuoteTestRig.h"
#include "shell/StatusBarTestRig.h"
#include "shell/ui/statusbar/BottomInfoView.h"
#include "support/Spin.h"
#include "trading/security/StockManager.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

// The status bar against the simulator: its market answers the ticker, its
// trade port answers the speed test.
class StatusBarViewTest : public quotetest::MarketFixture {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        serverManager = statusbartest::localTradeServer(home.path(), "模拟交易", sim.tcPort());
        menuManager = statusbartest::tickerMenu();
    }
    void TearDown() override
    {
        delete view.data();
        StockManager::resetInstance();
        menuManager.reset();
        serverManager.reset();
        MarketFixture::TearDown();
    }

    std::unique_ptr<DMServerManager> serverManager;
    std::unique_ptr<MenuManager> menuManager;
    QPointer<BottomInfoView> view;
};

} // namespace

TEST_F(StatusBarViewTest, ShowsTheThreeIndexesAndTheTradeServersVerdict)
{
    BottomInfoViewController::Services services;
    services.serverManager = serverManager.get();
    services.menuManager = menuManager.get();
    view = new BottomInfoView(services);
    view->show();

    QLabel* lines[] = { view->findChild<QLabel*>("indexInfo1Text"),
        view->findChild<QLabel*>("indexInfo2Text"), view->findChild<QLabel*>("indexInfo3Text") };
    ASSERT_TRUE(
        testsupport::spinUntil([&] { return !lines[2]->text().isEmpty(); }, std::chrono::seconds(10)));
    for (QLabel* line : lines)
        EXPECT_EQ(line->text().split("    ").size(), 5) << qPrintable(line->text());
    auto* server = view->findChild<QPushButton*>("serverInfoText");
    ASSERT_TRUE(testsupport::spinUntil([&] { return !server->text().isEmpty(); }, std::chrono::seconds(10)));
    EXPECT_EQ(server->text(), "模拟交易     连接通畅");

    // One server-list window, however often the label is clicked.
    // The window opens once the click's handler has returned.
    QTest::mouseClick(server, Qt::LeftButton);
    EXPECT_EQ(view->siteWindowController(), nullptr);
    QTest::mouseClick(server, Qt::LeftButton);
    ASSERT_TRUE(testsupport::spinUntil([&] { return view->siteWindowController() != nullptr; }));
    testsupport::spinFor(std::chrono::milliseconds(20));
    EXPECT_EQ(view->window()->findChildren<SiteWindowController*>().size(), 1);
    view->siteWindowController()->close();
}
