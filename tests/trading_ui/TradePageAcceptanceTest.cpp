// The client's acceptance test: a customer logs in through the login window,
// opens 买入 from the main window's menu, types a code and sees its quote,
// types price and quantity, presses the order button, confirms, sees the
// order number and finds the order in today's orders. Also writes the
// trading page's picture when LUMORA_DOCS_DIR names a folder.
#include "TradeWindowRig.h"
#include "shell/ui/MenuItemView.h"
#include "shell/ui/tables/DVCheckTableView.h"
#include "tools/broker-sim/Market.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/requests/TradeQueryRecords.h"

#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QTreeView>

using namespace windowtest;
using testsupport::spinUntil;
using tradewindowtest::shown;

namespace {

QUOTETEST_CATCHER(OrdersCatcher, IOrdersOfTodayDelegate, queryOrdersOfTodayList)

class TradePageAcceptanceTest : public tradewindowtest::TradeWindowTest { };

} // namespace

TEST_F(TradePageAcceptanceTest, BuyFromTheMenuToTheOrderNumberAndTodaysOrders)
{
    logInThroughTheLoginWindow();
    fetchMenu();
    openWindow(QSize(1320, 760));

    QWidget* page = clickEntry(QStringLiteral("买入"));
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
    accounts->setCurrentIndex(accounts->findText(QStringLiteral("上海A股"), Qt::MatchStartsWith));
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
    QStyleOptionViewItem option;
    option.initFrom(table);
    option.rect = table->visualRect(table->model()->index(row, 0));
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
        table->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, table).center());
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
