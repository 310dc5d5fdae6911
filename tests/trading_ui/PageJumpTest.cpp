// The jumps from one page to another, through the window's real widgets: the
// asset page's quick buy and sell open the trading page with the position's
// code, the asking page is gone afterwards and nothing touched it after that
// (this executable runs under AddressSanitizer); a Stock Connect position,
// whose page no menu entry opens, changes nothing and shows nothing.
#include "TradeWindowRig.h"
#include "core/NotificationCenter.h"
#include "shell/ui/MenuItemView.h"
#include "shell/ui/tables/DVCommonTableView.h"
#include "trading/pages/AssetQueryViewController.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>

using namespace windowtest;
using testsupport::spinUntil;
using tradewindowtest::shown;

namespace {

class PageJumpTest : public tradewindowtest::TradeWindowTest {
protected:
    // The asset page from the menu, with its positions shown.
    DVCommonTableView* openAssetPage()
    {
        QWidget* page = clickEntry(QStringLiteral("资产查询"));
        if (!page)
            return nullptr;
        auto* positions = page->findChild<DVCommonTableView*>("positionTableView");
        if (!positions || !spinUntil([&] { return positions->rowCount() > 0; }, 10s))
            return nullptr;
        return positions;
    }
    // A click on the first row that shows `text` in any column.
    bool clickRowShowing(DVCommonTableView* table, const QString& text)
    {
        const QAbstractItemModel* model = table->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            for (int column = 0; column < model->columnCount(); ++column) {
                const QModelIndex index = model->index(row, column);
                if (index.data().toString() != text)
                    continue;
                table->scrollTo(index);
                QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(index).center());
                return true;
            }
        }
        return false;
    }
    // 快捷功能's pop-up, moved down to `item` by the keyboard and chosen with Return.
    static void chooseQuickFunction(QWidget* page, int item)
    {
        auto* functions = page->findChild<QComboBox*>("functionPButton");
        ASSERT_TRUE(functions);
        functions->showPopup();
        QAbstractItemView* list = functions->view();
        ASSERT_TRUE(spinUntil([&] { return list->isVisible(); }));
        for (int i = 0; i < item; ++i)
            QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
    }
};

} // namespace

TEST_F(PageJumpTest, QuickBuyAndSellOpenTheTradingPageWithThePosition)
{
    logInThroughTheLoginWindow();
    fetchMenu();
    openWindow(QSize(1320, 760));
    struct Case {
        int item;
        const char* title;
    };
    for (const Case c : { Case { AssetQueryViewController::kFunctionBuy, "买入" },
             Case { AssetQueryViewController::kFunctionSell, "卖出" } }) {
        SCOPED_TRACE(c.title);
        DVCommonTableView* positions = openAssetPage();
        ASSERT_TRUE(positions);
        const QPointer<QWidget> assetPage = window->currentPageView();
        ASSERT_TRUE(clickRowShowing(positions, QStringLiteral("600000")));
        chooseQuickFunction(assetPage, c.item);
        ASSERT_TRUE(spinUntil([&] { return assetPage.isNull(); }, 10s));
        MenuItemView* trade = window->currentPageView();
        ASSERT_TRUE(trade);
        ASSERT_TRUE(trade->findChild<QPushButton*>("orderButton"));
        EXPECT_TRUE(
            trade->findChild<QPushButton*>("orderButton")->text().contains(QString::fromUtf8(c.title)));
        auto* code = trade->findChild<QLineEdit*>("stockCodeText");
        ASSERT_TRUE(code);
        EXPECT_TRUE(spinUntil([&] { return code->text() == QStringLiteral("600000"); }, 10s))
            << qPrintable(code->text());
        // The outline follows the page.
        EXPECT_EQ(window->outlineView()->currentIndex().data().toString(), QString::fromUtf8(c.title));
    }
}

TEST_F(PageJumpTest, StockConnectPositionChangesNothingAndTheAssetPageStays)
{
    logInThroughTheLoginWindow();
    fetchMenu();
    openWindow(QSize(1320, 760));
    // A Hong Kong position among the customer's positions.
    brokersim::Table positions;
    for (const char* name : { "poststr", "secuid", "fundid", "market", "~market", "stkcode", "stkname",
             "stkqty", "stkbal", "stkavl", "lastprice", "profitprice", "mktval", "proincome", "ykbl" })
        positions.column(QString::fromLatin1(name));
    positions.row({ "1", "A101000001", "010110000001", "5", "港股通", "00700", "港华控股", "100", "100",
        "100", "320.000", "300.000", "32000.00", "2000.00", "6.67" });
    sim.answerTablesNext(brokersim::Function { 500, 3 }, { positions });
    DVCommonTableView* table = openAssetPage();
    ASSERT_TRUE(table);
    const QPointer<QWidget> assetPage = window->currentPageView();
    int asked = 0, filled = 0;
    QObject key;
    NotificationCenter::getInstance()->addObserver(&key,
        TypedNotificationCenter::Handler([&](const platform::Notification&) { ++asked; }),
        pagenotify::kBuyPosition);
    NotificationCenter::getInstance()->addObserver(&key,
        TypedNotificationCenter::Handler([&](const platform::Notification&) { ++filled; }),
        pagenotify::kFillTradePage);
    ASSERT_TRUE(clickRowShowing(table, QStringLiteral("00700")));
    chooseQuickFunction(assetPage, AssetQueryViewController::kFunctionBuy);
    ASSERT_TRUE(spinUntil([&] { return asked == 1; }, 10s));
    testsupport::spinFor(std::chrono::milliseconds(100)); // the jump's turn has come and gone
    EXPECT_EQ(shown<QMessageBox>(), nullptr);
    EXPECT_EQ(filled, 0);
    EXPECT_FALSE(assetPage.isNull());
    EXPECT_EQ(window->currentPageView(), assetPage.data());
}
