// The client's acceptance test: a customer logs in through the login window,
// opens 买入 from the main window's menu, types a code and sees its quote,
// types price and quantity, presses the order button, confirms, sees the
// order number and finds the order in today's orders. Also writes the
// trading page's picture when LUMORA_DOCS_DIR names a folder.
#include "TradeWindowRig.h"
#include "shell/tables/DVTableModel.h"
#include "shell/ui/MenuItemView.h"
#include "shell/ui/tables/DVCheckTableView.h"
#include "shell/ui/tables/DVCommonTableView.h"
#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/Market.h"
#include "trading/quotepanel/QuotePanelGeometry.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/requests/TradeQueryRecords.h"
#include "trading/ui/TradeView.h"

#include <QLabel>
#include <QMessageBox>
#include <QScrollArea>
#include <QTimer>
#include <QTreeView>

using namespace windowtest;
using testsupport::spinUntil;
using tradewindowtest::shown;

namespace {

QUOTETEST_CATCHER(OrdersCatcher, IOrdersOfTodayDelegate, queryOrdersOfTodayList)

class TradePageAcceptanceTest : public tradewindowtest::TradeWindowTest {
protected:
    // A page of the menu, in a window of the default size.
    QWidget* pageFromTheMenu(const QString& entry)
    {
        logInThroughTheLoginWindow();
        fetchMenu();
        openWindow(MainWindow::kDefaultSize);
        return clickEntry(entry);
    }
    // The buy page with a code looked up.
    QWidget* buyPageWithCode(const char* typed)
    {
        QWidget* page = pageFromTheMenu(QStringLiteral("买入"));
        if (!page)
            return nullptr;
        auto* code = page->findChild<QLineEdit*>("stockCodeText");
        code->setFocus();
        QTest::keyClicks(code, typed);
        const bool filled = spinUntil(
            [&] {
                return !page->findChild<QLabel*>("stockNameText")->text().isEmpty()
                    && !page->findChild<QLabel*>("maxAmountText")->text().isEmpty();
            },
            10s);
        return filled ? page : nullptr;
    }
    // The part of a widget that its window shows (no ancestor cuts it off).
    QRect shownInWindow(const QWidget* w) const
    {
        QRect shown(w->mapTo(window, QPoint()), w->size());
        for (const QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
            shown &= QRect(p->mapTo(window, QPoint()), p->size());
        return shown & window->rect();
    }
};

} // namespace

// A laptop's screen of 1280 x 800: the window's default size fits it and the
// trading page shows its whole form, the chart to 15:00 and the five-level
// book; a smaller window keeps its size and the page scrolls in it to each
// of them, whole. At 144 DPI everything is drawn half as large again: the
// screen has two thirds of its pixels to lay out in, and the window's least
// size still fits there, so the page area never reaches past the screen's
// edge and scrolls to every part of the page.
TEST_F(TradePageAcceptanceTest, TheDefaultSizeShowsTheWholeFormChartAndBook)
{
    EXPECT_LE(MainWindow::kDefaultSize.width(), 1280);
    EXPECT_LE(MainWindow::kDefaultSize.height(), 800 - 30); // room for a task bar
    QWidget* page = buyPageWithCode("600000");
    ASSERT_TRUE(page);
    QApplication::processEvents();
    const QSize screen = window->screen()->availableGeometry().size();
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    EXPECT_LE(least.width(), screen.width() * 2 / 3);
    EXPECT_LE(least.height(), screen.height() * 2 / 3);
    for (const QSize asked : { MainWindow::kDefaultSize, QSize(800, 500), least }) {
        window->resize(asked);
        QApplication::processEvents();
        SCOPED_TRACE(QStringLiteral("%1 x %2").arg(window->width()).arg(window->height()).toStdString());
        EXPECT_EQ(window->size(), asked);
        auto* quote = page->findChild<QWidget*>("quoteView");
        ASSERT_TRUE(quote && quote->isVisible());
        // The panel's drawing: the chart up to x 727 (15:00), the book to
        // x 955; its rows are laid out on the panel's height, the book's
        // fifth levels included.
        EXPECT_GE(quote->height(), TradeView::kQuotePanelMinimumHeight);
        EXPECT_GE(quote->width(), int(quotepanel::kPanelWidth));
        const QRect panel(
            quote->mapTo(window, QPoint()), QSize(int(quotepanel::kPanelWidth), quote->height()));
        if (asked == MainWindow::kDefaultSize) {
            EXPECT_LE(page->height(), window->pageArea()->viewport()->height()); // nothing to scroll
            EXPECT_EQ(shownInWindow(quote) & panel, panel);
        } else {
            // The page scrolls to the book's last corner, then back.
            const QPoint corner(int(quotepanel::kPanelWidth) - 1, quote->height() - 1);
            const QPoint inPage = quote->mapTo(page, corner);
            window->pageArea()->ensureVisible(inPage.x(), inPage.y(), 1, 1);
            QApplication::processEvents();
            EXPECT_TRUE(shownInWindow(quote).contains(quote->mapTo(window, corner)));
            window->pageArea()->ensureVisible(0, 0, 0, 0);
            QApplication::processEvents();
        }
        if (asked == least)
            continue; // narrower than a field: it scrolls to each part in turn
        for (const char* name : { "stockCodeText", "shareholderCodePButton", "orderTypePButton", "priceText",
                 "maxAmountText", "amountText", "orderButton" }) {
            const QWidget* control = page->findChild<QWidget*>(name);
            ASSERT_TRUE(control) << name;
            EXPECT_EQ(shownInWindow(control), QRect(control->mapTo(window, QPoint()), control->size()))
                << name;
        }
    }
}

// End of editing of the price is also leaving it by Tab: the maximum
// quantity is asked again for the price left in the field.
TEST_F(TradePageAcceptanceTest, TabOutOfThePriceAsksTheMaximumQuantityAgain)
{
    QWidget* page = buyPageWithCode("600000");
    ASSERT_TRUE(page);
    auto* price = page->findChild<QLineEdit*>("priceText");
    auto* quantity = page->findChild<QLineEdit*>("amountText");
    price->setFocus();
    price->selectAll();
    QTest::keyClicks(price, "9.50");
    sim.clearReceived();
    QTest::keyClick(price, Qt::Key_Tab);
    EXPECT_TRUE(quantity->hasFocus());
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kMaxQuantityFunction) == 1; }, 10s));
    EXPECT_EQ(sim.receivedOf(brokersim::kMaxQuantityFunction)[0].valueOr(u"price"), QStringLiteral("9.50"));

    // A click elsewhere ends the editing too.
    price->setFocus();
    price->selectAll();
    QTest::keyClicks(price, "9.60");
    QTest::mouseClick(page->findChild<QLineEdit*>("stockCodeText"), Qt::LeftButton);
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kMaxQuantityFunction) == 2; }, 10s));
    EXPECT_EQ(sim.receivedOf(brokersim::kMaxQuantityFunction)[1].valueOr(u"price"), QStringLiteral("9.60"));
}

TEST_F(TradePageAcceptanceTest, BuyFromTheMenuToTheOrderNumberAndTodaysOrders)
{
    QWidget* page = pageFromTheMenu(QStringLiteral("买入"));
    ASSERT_TRUE(page);
    auto* code = page->findChild<QLineEdit*>("stockCodeText");
    auto* price = page->findChild<QLineEdit*>("priceText");
    auto* quantity = page->findChild<QLineEdit*>("amountText");
    auto* accounts = page->findChild<QComboBox*>("shareholderCodePButton");
    auto* name = page->findChild<QLabel*>("stockNameText");
    ASSERT_TRUE(code && price && quantity && accounts && name);

    // The code, then the quote: name, default price, the panel.
    code->setFocus();
    QTest::keyClicks(code, "600000");
    ASSERT_TRUE(spinUntil([&] { return !name->text().isEmpty() && !price->text().isEmpty(); }, 10s));
    // The customer's first account is a Shenzhen one: the page chooses the
    // Shanghai account of the code by itself.
    EXPECT_TRUE(accounts->itemText(0).startsWith(QStringLiteral("深圳")));
    EXPECT_TRUE(accounts->currentText().startsWith(QStringLiteral("上海A股")))
        << qPrintable(accounts->currentText());
    QTest::keyClick(code, Qt::Key_Return);
    EXPECT_TRUE(price->hasFocus());
    // At the limit-down price the buy rests, so that it can be cancelled.
    const brokersim::MarketSecurity& stock = *market().security(QStringLiteral("600000"));
    price->selectAll();
    QTest::keyClicks(price,
        brokersim::Market::ticksText(brokersim::Market::priceLimitTicks(stock, false), stock.precision));
    QTest::keyClick(price, Qt::Key_Return);
    EXPECT_TRUE(quantity->hasFocus());
    QTest::keyClicks(quantity, "100");

    if (const QByteArray docs = qgetenv("LUMORA_DOCS_DIR"); !docs.isEmpty()) {
        testsupport::spinFor(std::chrono::milliseconds(200));
        EXPECT_TRUE(window->grab().save(QString::fromLocal8Bit(docs) + "/trading-page.png"));
    }

    // The order button, then 买入 in the dialog; the answer closes it.
    bool confirmed = false;
    OrderAlertWindowController::setShownHookForTesting([&confirmed](OrderAlertWindowController& c) {
        QTimer::singleShot(0, &c, [&confirmed] {
            OrderAlertWindow* dialog = shown<OrderAlertWindow>();
            ASSERT_TRUE(dialog);
            auto* confirm = dialog->findChild<QPushButton*>("confirmButton");
            EXPECT_EQ(confirm->text(), QStringLiteral("买入"));
            QTest::mouseClick(confirm, Qt::LeftButton);
            confirmed = true;
        });
    });
    page->findChild<QPushButton*>("orderButton")->click();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(spinUntil([&] { return (box = shown<QMessageBox>()) != nullptr; }, 10s));
    OrderAlertWindowController::setShownHookForTesting({});
    EXPECT_TRUE(confirmed);
    const QList<brokersim::Request> sent = sim.receivedOf(brokersim::kOrderFunction);
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].valueOr(u"secuid"), QStringLiteral("A101000001"));
    EXPECT_EQ(sent[0].valueOr(u"market"), QStringLiteral("1"));
    EXPECT_EQ(sent[0].valueOr(u"bsflag"), QStringLiteral("B"));
    const QString text = box->informativeText();
    ASSERT_TRUE(text.startsWith(QStringLiteral("委托申请已提交，序号为"))) << qPrintable(text);
    const QString orderNumber = text.mid(11).chopped(1);
    box->done(0);
    EXPECT_TRUE(quantity->text().isEmpty());

    OrdersCatcher orders;
    QueryInfoManager::getInstance()->requestOrdersOfToday(&orders);
    ASSERT_TRUE(spinUntil([&] { return orders.done(); }, 10s));
    ASSERT_FALSE(orders.results.empty());
    bool found = false;
    for (const QVariant& row : orders.results[0]->contentObjectArray())
        found = found || row.value<RDOOrder>().orderSNo == orderNumber;
    EXPECT_TRUE(found) << qPrintable(orderNumber);

    // 撤单 from the menu: tick the order, press 撤单, confirm, read the
    // answer and see the order's status change.
    QWidget* cancelPage = clickEntry(QStringLiteral("撤单"));
    ASSERT_TRUE(cancelPage);
    auto* table = cancelPage->findChild<DVCheckTableView*>("ordersTableView");
    ASSERT_TRUE(table);
    // Columns follow the reply's titles, after the check column.
    auto column = [&](const char* title) {
        return 1 + int(table->tableModel()->titles().indexOf(QString::fromUtf8(title)));
    };
    auto rowOfOrder = [&] {
        const int numberColumn = column("委托编号");
        for (int row = 0; row < table->model()->rowCount(); ++row)
            if (table->model()->index(row, numberColumn).data().toString() == orderNumber)
                return row;
        return -1;
    };
    ASSERT_TRUE(spinUntil([&] { return column("委托编号") > 0 && rowOfOrder() >= 0; }, 10s));
    const int row = rowOfOrder();
    const int statusColumn = column("委托状态");
    EXPECT_EQ(table->model()->index(row, statusColumn).data().toString(), QStringLiteral("已报"));
    clickCheckBoxOfRow(table, row);
    EXPECT_EQ(cancelPage->findChild<QLabel*>("selectedCountText")->text(), "1");

    QString named;
    OrderAlertWindowController::setShownHookForTesting([&named](OrderAlertWindowController& c) {
        QTimer::singleShot(0, &c, [&named] {
            OrderAlertWindow* dialog = shown<OrderAlertWindow>();
            ASSERT_TRUE(dialog);
            named = dialog->findChild<QLabel*>("contentText")->text();
            QTest::mouseClick(dialog->findChild<QPushButton*>("confirmButton"), Qt::LeftButton);
        });
    });
    QTest::mouseClick(cancelPage->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    ASSERT_TRUE(spinUntil([&] { return (box = shown<QMessageBox>()) != nullptr; }, 10s));
    OrderAlertWindowController::setShownHookForTesting({});
    EXPECT_TRUE(named.contains(orderNumber)) << qPrintable(named);
    EXPECT_EQ(box->informativeText(), QStringLiteral("撤单请求已提交"));
    box->done(0);
    ASSERT_TRUE(spinUntil(
        [&] {
            const int r = rowOfOrder();
            return r >= 0
                && table->model()->index(r, statusColumn).data().toString() == QStringLiteral("已撤");
        },
        10s));
}

TEST_F(TradePageAcceptanceTest, AfterHoursAndWarrantEntriesOpenTheirPages)
{
    logInThroughTheLoginWindow();
    fetchMenu();
    openWindow(QSize(1320, 760));

    QWidget* afterHours = clickEntry(QStringLiteral("科创板盘后买入"));
    ASSERT_TRUE(afterHours);
    auto* types = afterHours->findChild<QComboBox*>("orderTypePButton");
    ASSERT_TRUE(types);
    EXPECT_EQ(types->count(), 1);
    EXPECT_EQ(types->itemText(0), QStringLiteral("盘后定价买入"));
    EXPECT_FALSE(types->isVisibleTo(afterHours)); // the order-type row is hidden

    QWidget* warrant = clickEntry(QStringLiteral("权证行权"));
    ASSERT_TRUE(warrant);
    auto* button = warrant->findChild<QPushButton*>("orderButton");
    ASSERT_TRUE(button);
    EXPECT_EQ(button->text(), QStringLiteral("行权下单"));
}

TEST_F(TradePageAcceptanceTest, NewIssueFromTheMenuToTheOrderNumber)
{
    logInThroughTheLoginWindow();
    fetchMenu();
    openWindow(QSize(1100, 700));

    QWidget* page = clickEntry(QStringLiteral("新股申购"));
    ASSERT_TRUE(page);
    auto* issues = page->findChild<QComboBox*>("stockInfoButton");
    auto* price = page->findChild<QLineEdit*>("stockPriceText");
    auto* quantity = page->findChild<QLineEdit*>("purchaseQuantityText");
    auto* upper = page->findChild<QLabel*>("limitUpText");
    ASSERT_TRUE(issues && price && quantity && upper);
    ASSERT_TRUE(spinUntil([&] { return issues->count() == 3 && !price->text().isEmpty(); }, 10s));
    EXPECT_EQ(upper->text(), QStringLiteral("15000"));
    QTest::keyClicks(quantity, "1000");

    OrderAlertWindowController::setShownHookForTesting([](OrderAlertWindowController& c) {
        QTimer::singleShot(0, &c, [] {
            OrderAlertWindow* dialog = shown<OrderAlertWindow>();
            ASSERT_TRUE(dialog);
            QTest::mouseClick(dialog->findChild<QPushButton*>("confirmButton"), Qt::LeftButton);
        });
    });
    QTest::keyClick(quantity, Qt::Key_Return);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(spinUntil([&] { return (box = shown<QMessageBox>()) != nullptr; }, 10s));
    OrderAlertWindowController::setShownHookForTesting({});
    EXPECT_TRUE(box->informativeText().startsWith(QStringLiteral("委托申请已提交，序号为")))
        << qPrintable(box->informativeText());
    box->done(0);
    EXPECT_TRUE(quantity->text().isEmpty());
}

// A click on a position row of the sell page fills the form with the row's
// code and account, the table sorted or not.
TEST_F(TradePageAcceptanceTest, ClickingAPositionRowFillsTheSellForm)
{
    QWidget* page = pageFromTheMenu(QStringLiteral("卖出"));
    ASSERT_TRUE(page);
    auto* table = page->findChild<DVCommonTableView*>("positionTableView");
    ASSERT_TRUE(table);
    auto rowOf = [&](const QString& code) {
        const int column = int(table->tableModel()->titles().indexOf(QStringLiteral("证券代码")));
        for (int row = 0; row < table->model()->rowCount(); ++row)
            if (table->model()->index(row, column).data().toString() == code)
                return row;
        return -1;
    };
    ASSERT_TRUE(spinUntil([&] { return rowOf(QStringLiteral("600000")) >= 0; }, 10s));
    table->sortByColumn(0, Qt::DescendingOrder); // view rows are no longer the reply's
    const int row = rowOf(QStringLiteral("600000"));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(row, 0)).center());
    auto* code = page->findChild<QLineEdit*>("stockCodeText");
    auto* accounts = page->findChild<QComboBox*>("shareholderCodePButton");
    EXPECT_EQ(code->text(), QStringLiteral("600000"));
    EXPECT_TRUE(accounts->currentText().contains(QStringLiteral("A101000001"))) << qPrintable(accounts->currentText());
    ASSERT_TRUE(spinUntil([&] { return !page->findChild<QLineEdit*>("priceText")->text().isEmpty(); }, 10s));
    EXPECT_EQ(table->tableModel()->sourceRow(table->currentIndex().row()),
        table->tableModel()->sourceRow(rowOf(QStringLiteral("600000"))));
}
