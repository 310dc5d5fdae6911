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

// In a font half as large again (a desktop at 144 dots per inch), each
// index line shows every figure it shows whole: where the bar is too narrow
// for all of them it leaves out whole figures from the end, turnover
// first, and never a number cut short.
TEST_F(StatusBarViewTest, ANarrowBarLeavesOutWholeFiguresRatherThanCutNumbers)
{
    const QFont appFont = QApplication::font();
    QFont large = appFont;
    large.setPointSizeF(appFont.pointSizeF() * 1.5);
    QApplication::setFont(large);
    BottomInfoViewController::Services services;
    services.serverManager = serverManager.get();
    services.menuManager = menuManager.get();
    view = new BottomInfoView(services);
    QApplication::setFont(appFont);
    view->show();
    IndexLineLabel* lines[] = { view->findChild<IndexLineLabel*>("indexInfo1Text"),
        view->findChild<IndexLineLabel*>("indexInfo2Text"), view->findChild<IndexLineLabel*>("indexInfo3Text") };
    for (IndexLineLabel* line : lines)
        ASSERT_NE(line, nullptr);
    ASSERT_TRUE(
        testsupport::spinUntil([&] { return !lines[2]->text().isEmpty(); }, std::chrono::seconds(10)));

    for (const int width : { 3000, 1600, 1280, 900 }) {
        SCOPED_TRACE(width);
        view->resize(width, view->height());
        QCoreApplication::processEvents();
        for (IndexLineLabel* line : lines) {
            const QStringList all = line->text().split("    ");
            const QStringList shown = line->shownText().split("    ");
            SCOPED_TRACE(qPrintable(line->shownText()));
            ASSERT_EQ(all.size(), 5);
            // The name and then the figures in their order, each whole.
            ASSERT_GE(shown.size(), 2);
            EXPECT_EQ(shown.join("|").toStdString(), all.mid(0, shown.size()).join("|").toStdString());
            EXPECT_LE(line->fontMetrics().horizontalAdvance(line->shownText()), line->contentsRect().width());
            if (width == 3000)
                EXPECT_EQ(shown.size(), 5);
        }
    }
}
