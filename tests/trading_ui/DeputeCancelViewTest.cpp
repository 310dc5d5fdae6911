// The user's path through the cancel page: tick the order, press 撤单,
// confirm in the dialog, read the answer, see the order's status change.
#include "OrderFieldKeys.h"
#include "ShownWindow.h"
#include "comm/crypto/AesEncryption.h"
#include "core/NotificationCenter.h"
#include "shell/ui/tables/DVCheckTableView.h"
#include "trading/pages/AssetQueryViewController.h"
#include "trading/pages/DeputeCancelViewController.h"
#include "trading/pages/PurchaseViewController.h"
#include "trading/pages/QueryViewControllers.h"
#include "trading/ui/OrderAlertWindow.h"
#include "trading/ui/QueryPageViews.h"
#include "trading_pages/TradingPagesRig.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

using testsupport::spinUntil;
using uitest::shown;

namespace {

// The pictures under docs/ are taken here: LUMORA_DOCS_PICTURES=docs.
void savePicture(QWidget& window, const char* name)
{
    const QString folder = qEnvironmentVariable("LUMORA_DOCS_PICTURES");
    if (!folder.isEmpty())
        window.grab().save(QDir(folder).filePath(QString::fromLatin1(name)));
}

class DeputeCancelViewTest : public pagestest::PagesFixture {
protected:
    void SetUp() override
    {
        PagesFixture::SetUp();
        registerOrderAlertWindow();
        registerQueryPageViews();
    }
    void TearDown() override
    {
        OrderAlertWindowController::setShownHookForTesting({});
        OrderAlertWindowController::setViewFactory({});
        PagesFixture::TearDown();
    }
    // The page's widget from the catalogue, shown in a window, and the page loaded.
    template <class Page> std::unique_ptr<MenuItemView> open(Page& page, QWidget& window, QSize size)
    {
        window.resize(size);
        page.setPageClass(QString::fromLatin1(Page::kPageClass));
        std::unique_ptr<MenuItemView> view(MenuItemViewCatalogue::shared().makeView(page, &window));
        if (view)
            view->resize(size);
        window.show();
        page.load();
        return view;
    }
};

} // namespace

TEST_F(DeputeCancelViewTest, TickConfirmAndSeeTheOrderCancelled)
{
    const QString number = rest(false);
    ASSERT_FALSE(number.isEmpty());
    QWidget window;
    DeputeCancelViewController page;
    const std::unique_ptr<MenuItemView> view = open(page, window, { 900, 500 });
    ASSERT_NE(view, nullptr);
    auto* count = view->findChild<QLabel*>("countText");
    auto* selected = view->findChild<QLabel*>("selectedCountText");
    auto* table = view->findChild<DVCheckTableView*>("ordersTableView");
    ASSERT_TRUE(count && selected && table);
    ASSERT_TRUE(spinUntil([&] { return count->text() == "1"; }));
    const int statusColumn = table->tableModel()->titles().indexOf(QStringLiteral("委托状态")) + 1;
    ASSERT_GT(statusColumn, 0);
    EXPECT_EQ(table->model()->index(0, statusColumn).data().toString(), "已报");

    QStyleOptionViewItem option;
    option.initFrom(table);
    option.rect = table->visualRect(table->model()->index(0, 0));
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box = table->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, table);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, box.center());
    EXPECT_EQ(selected->text(), "1");
    savePicture(window, "cancel-page.png");
    EXPECT_TRUE(view->findChild<QCheckBox*>("selectAllButton")->isChecked());

    // The dialog names the order; Enter confirms it.
    QString dialogText;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& c) {
        QTimer::singleShot(0, &c, [&] {
            OrderAlertWindow* dialog = shown<OrderAlertWindow>();
            ASSERT_NE(dialog, nullptr);
            dialogText = dialog->findChild<QLabel*>("contentText")->text();
            QTest::keyClick(dialog, Qt::Key_Return);
        });
    });
    // The answer's box: read and closed.
    QString answer;
    QTimer boxWatch;
    QObject::connect(&boxWatch, &QTimer::timeout, [&] {
        if (auto* box = shown<QMessageBox>()) {
            answer = box->informativeText();
            box->accept();
        }
    });
    boxWatch.start(10);
    QTest::mouseClick(view->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    EXPECT_TRUE(dialogText.contains(number));
    ASSERT_TRUE(spinUntil([&] { return !answer.isEmpty(); }));
    EXPECT_EQ(answer, "撤单请求已提交");
    ASSERT_TRUE(
        spinUntil([&] { return table->model()->index(0, statusColumn).data().toString() == "已撤"; }));
    EXPECT_EQ(selected->text(), "0");
}

TEST_F(DeputeCancelViewTest, AssetPageSellsTheSelectedPosition)
{
    rest(false);
    QWidget window;
    AssetQueryViewController page;
    const std::unique_ptr<MenuItemView> view = open(page, window, { 900, 560 });
    ASSERT_NE(view, nullptr);
    auto* positions = view->findChild<DVCommonTableView*>("positionTableView");
    ASSERT_NE(positions, nullptr);
    ASSERT_TRUE(spinUntil([&] { return positions->rowCount() > 0 && page.fundTable().shownRowCount() > 0; }));
    EXPECT_EQ(view->findChild<QLabel*>("rmbMarketValueText")->text(), page.rmbMarketValueText());
    EXPECT_NE(page.rmbMarketValueText(), "0.00元");

    std::vector<QVariantMap> posted;
    QObject key;
    NotificationCenter::getInstance()->addObserver(&key,
        TypedNotificationCenter::Handler(
            [&](const platform::Notification& n) { posted.push_back(n.userInfo); }),
        pagenotify::kSellPosition);
    positions->selectRow(0);
    savePicture(window, "asset-page.png");
    auto* functions = view->findChild<QComboBox*>("functionPButton");
    ASSERT_EQ(functions->count(), 4);
    functions->activated(AssetQueryViewController::kFunctionSell);
    ASSERT_EQ(posted.size(), 1u);
    const RDOPositionDetail first = page.positions()->contentObjectArray()[0].value<RDOPositionDetail>();
    EXPECT_EQ(posted[0]
                  .value(QString::fromLatin1(pagenotify::kPositionDetailKey))
                  .value<RDOPositionDetail>()
                  .stockCode,
        first.stockCode);
    EXPECT_EQ(functions->currentIndex(), 0);
}

// The new-issue page shows the lower and upper limits of the issue picked,
// by its row in the table (however the table is sorted) or by the pop-up;
// its price and quantity take what an order form's do.
TEST_F(DeputeCancelViewTest, NewIssueLimitsFollowTheIssuePicked)
{
    QWidget window;
    PurchaseViewController page;
    const std::unique_ptr<MenuItemView> view = open(page, window, { 900, 600 });
    ASSERT_NE(view, nullptr);
    auto* table = view->findChild<DVCommonTableView*>("stockInfoTable");
    auto* issues = view->findChild<QComboBox*>("stockInfoButton");
    auto* lower = view->findChild<QLabel*>("limitDownText");
    auto* upper = view->findChild<QLabel*>("limitUpText");
    ASSERT_TRUE(table && issues && lower && upper);
    ASSERT_TRUE(spinUntil([&] { return table->model()->rowCount() == 3; }));
    EXPECT_EQ(upper->text(), "15000"); // the first issue, 732001
    const int codeColumn = int(table->tableModel()->titles().indexOf(QStringLiteral("证券代码")));
    ASSERT_GE(codeColumn, 0);
    table->sortByColumn(codeColumn, Qt::AscendingOrder); // 301001 first, no longer the reply's order
    const struct {
        const char* code;
        const char* lower;
        const char* upper;
    } issuesOfRows[]
        = { { "301001", "500", "12000" }, { "787001", "500", "5500" }, { "732001", "1000", "15000" } };
    for (const auto& expected : issuesOfRows) {
        SCOPED_TRACE(expected.code);
        int row = -1;
        for (int r = 0; r < table->model()->rowCount(); ++r)
            if (table->model()->index(r, codeColumn).data().toString() == QLatin1String(expected.code))
                row = r;
        ASSERT_GE(row, 0);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
            table->visualRect(table->model()->index(row, codeColumn)).center());
        EXPECT_TRUE(issues->currentText().startsWith(QLatin1String(expected.code)))
            << qPrintable(issues->currentText());
        EXPECT_EQ(lower->text(), QLatin1String(expected.lower));
        EXPECT_EQ(upper->text(), QLatin1String(expected.upper));
    }
    // The pop-up picks as well.
    issues->setCurrentIndex(1);
    EXPECT_EQ(upper->text(), "5500");

    // The stepper beside the price moves it by a hundredth, as the buttons
    // "-" and "+" do.
    auto* price = view->findChild<QLineEdit*>("stockPriceText");
    ASSERT_TRUE(price && !price->text().isEmpty());
    const double start = price->text().toDouble();
    const struct {
        const char* button;
        double moved;
    } steps[] = { { "priceStepperUp", 0.01 }, { "priceStepperDown", 0 }, { "addButton", 0.01 },
        { "subButton", 0 } };
    for (const auto& step : steps) {
        auto* button = view->findChild<QToolButton*>(step.button);
        ASSERT_TRUE(button && button->isVisible()) << step.button;
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(price->text(), QString::asprintf("%.2f", start + step.moved)) << step.button;
    }

    // The price and the quantity take what an order form's do.
    auto* quantity = view->findChild<QLineEdit*>("purchaseQuantityText");
    ASSERT_NE(quantity, nullptr);
    uitest::typeIntoPriceAndQuantity(price, quantity, [&](QLineEdit* field) {
        return field == price ? page.stockPriceText() : page.purchaseQuantityText();
    });
}

// Sorted by code, "调整成本价" edits the cost of the position selected on
// screen, and that position's cost goes out.
TEST_F(DeputeCancelViewTest, AssetPageEditsTheCostOfTheSelectedPositionWhateverTheSort)
{
    QWidget window;
    AssetQueryViewController page;
    const std::unique_ptr<MenuItemView> view = open(page, window, { 900, 560 });
    ASSERT_NE(view, nullptr);
    auto* positions = view->findChild<DVCommonTableView*>("positionTableView");
    auto* functions = view->findChild<QComboBox*>("functionPButton");
    ASSERT_TRUE(positions && functions);
    ASSERT_TRUE(spinUntil([&] { return positions->rowCount() > 1 && page.editableColumnIndex() >= 0; }));
    DVTableModel* model = positions->tableModel();
    const int codeColumn = int(model->titles().indexOf(QStringLiteral("证券代码")));
    ASSERT_GE(codeColumn, 0);
    positions->sortByColumn(codeColumn, Qt::DescendingOrder);
    int shownRow = -1;
    for (int r = 0; r < model->rowCount() && shownRow < 0; ++r)
        if (model->sourceRow(r) != r)
            shownRow = r;
    ASSERT_GE(shownRow, 0) << "the sort left every row in place";
    const QString code = page.positions()
                             ->contentObjectArray()[model->sourceRow(shownRow)]
                             .value<RDOPositionDetail>()
                             .stockCode;
    positions->selectRow(shownRow);
    sim.clearReceived();
    functions->activated(AssetQueryViewController::kFunctionAdjustCost);
    EXPECT_EQ(positions->currentIndex().row(), shownRow);
    auto* editor = positions->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("12.5"));
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::Function { 500, 124 }) == 1; }));
    const brokersim::Request reset = sim.receivedOf(brokersim::Function { 500, 124 })[0];
    EXPECT_EQ(reset.valueOr(u"stkcode"), code);
    EXPECT_EQ(reset.valueOr(u"costprice"), "12.5");
}

// The common query page shows a query under way without moving its table:
// read again in every round while its figures are owed, it never jumps.
TEST_F(DeputeCancelViewTest, TheCommonQueryShowsItsQueryUnderWayWithoutMovingItsTable)
{
    QWidget window;
    BaseNode::Ptr link = ChildNode::initLeaf();
    link->nodeTitle = QStringLiteral("资金查询");
    link->nodeLink = AesEncryption::encodeStringWithAES(
        QStringLiteral("tradequery?tc_mfuncno=500&tc_sfuncno=2"), QString::fromLatin1(kMenuLinkKey))
                         .value_or(QString());
    CommonQueryViewController page(link);
    sim.withholdNext(brokersim::kMoneyFunction);
    const std::unique_ptr<MenuItemView> view = open(page, window, { 900, 500 });
    ASSERT_NE(view, nullptr);
    auto* progress = view->findChild<QWidget*>("queryProgress");
    auto* table = view->findChild<QWidget*>("tableView");
    ASSERT_TRUE(progress && table);
    ASSERT_TRUE(spinUntil([&] { return progress->isVisible() && sim.withheldCount() == 1; }));
    QCoreApplication::processEvents();
    const QRect underWay = table->geometry();
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return !progress->isVisible(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(table->geometry(), underWay);
}
