// The fund quote list page as a user reaches it: log in, open 基金行情 from
// the menu of the main window, pick a fund company and see only its funds.
// Also writes the page's picture when LUMORA_DOCS_DIR names a folder.
#include "core/DMCDataCache.h"
#include "funds/FundTradeOperations.h"
#include "funds/OpenFundManager.h"
#include "funds/pages/OpdQuoteViewController.h"
#include "funds/requests/FundDataModels.h"
#include "funds/trade/FundMoneyQuery.h"
#include "funds/ui/FundListView.h"
#include "funds/ui/FundPanels.h"
#include "quotes/QuoteTestRig.h"
#include "shell/MainWindowRig.h"
#include "shell/StatusBarTestRig.h"
#include "shell/menu/MenuManager.h"
#include "shell/messages/MessageCenterManager.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/ui/LoginPanel.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/MenuItemView.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/ui/menueditor/MenuEditorWindow.h"
#include "shell/ui/tables/DVCommonTableView.h"
#include "shell/windows/LoginViewController.h"
#include "tools/broker-sim/FundFunctions.h"
#include "trading/confirm/OrderAlertWindowController.h"
#include "trading/security/StockManager.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>
#include <QWheelEvent>

using namespace windowtest;
using testsupport::spinUntil;

namespace {

class FundQuotePageTest : public MainWindowRig {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerShellDataModels();
        registerFundDataModels();
        FundMoneyQuery::registerDataModels();
        StartUp().run();
        startTradeServer();
        registerFundPages();
        registerFundViews();
    }
    void TearDown() override
    {
        closeWindows();
        resetShell();
        OpenFundManager::resetInstance();
        QueryInfoManagerFunds::resetInstance();
        OrderManagerFunds::resetInstance();
        FundMoneyQuery::resetShared();
        DMCDataCache::resetInstance();
        serverManager.reset();
        MarketFixture::TearDown();
    }

    // Logs in, shows the main window and opens the page of a menu title.
    QWidget* openPage(const QString& title)
    {
        if (!window) {
            logInThroughTheForm();
            fetchMenu();
            openWindow(QSize(1200, 760));
        }
        return clickEntry(title);
    }
    // The text of the message box on screen, once one shows; closes it.
    static QString waitForBox()
    {
        QString text;
        spinUntil(
            [&] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                        text = box->text() + box->informativeText();
                        box->done(0);
                    }
                }
                return !text.isEmpty();
            },
            10s);
        return text;
    }
    // The fund codes the page's table shows, in view order.
    static QStringList shownCodes(DVCommonTableView* table)
    {
        QStringList codes;
        const int column = table->tableModel()->titles().indexOf(QStringLiteral("基金代码"));
        for (int row = 0; row < table->model()->rowCount(); ++row)
            codes << table->model()->index(row, column).data().toString();
        return codes;
    }
};

} // namespace

TEST_F(FundQuotePageTest, OpenFromTheMenuAndFilterByCompany)
{
    logInThroughTheForm();
    fetchMenu();
    openWindow(QSize(1100, 700));

    // A click on 基金行情 in the outline opens the page.
    ASSERT_TRUE(clickEntry(QStringLiteral("基金行情")));
    EXPECT_EQ(window->currentPageView()->objectName(), "OpdQuoteViewController");
    auto* table = window->currentPageView()->findChild<DVCommonTableView*>("listTable");
    auto* filter = window->currentPageView()->findChild<QComboBox*>("filterPButton");
    ASSERT_TRUE(table && filter);
    ASSERT_TRUE(spinUntil([&] { return table->model()->rowCount() == 6; }, 10s));
    EXPECT_EQ(filter->count(), 4);
    EXPECT_EQ(filter->itemText(0), "全部基金");

    // The user picks 远帆基金 with the keyboard and sees only its funds.
    filter->setFocus();
    const int index = filter->findText(QStringLiteral("远帆基金"));
    ASSERT_GT(index, 0);
    QTest::keyClick(filter, Qt::Key_Down);
    QTest::keyClick(filter, Qt::Key_Down);
    ASSERT_EQ(filter->currentIndex(), index);
    EXPECT_EQ(shownCodes(table), QStringList({ "000011", "110011", "110022" }));
    const int company = table->tableModel()->titles().indexOf(QStringLiteral("基金公司"));
    for (int row = 0; row < table->model()->rowCount(); ++row)
        EXPECT_EQ(table->model()->index(row, company).data().toString(), "远帆基金");

    // "全部基金" shows every fund again.
    QTest::keyClick(filter, Qt::Key_Home);
    EXPECT_EQ(filter->currentIndex(), 0);
    EXPECT_EQ(shownCodes(table).size(), 6);

    if (const QByteArray docs = qgetenv("LUMORA_DOCS_DIR"); !docs.isEmpty()) {
        QTest::keyClick(filter, Qt::Key_Down);
        testsupport::spinFor(std::chrono::milliseconds(100));
        EXPECT_TRUE(window->grab().save(QString::fromLocal8Bit(docs) + "/fund-quote-list.png"));
    }
}

// The purchase page as a user reaches it: open 基金申购, pick a fund, see its
// net-value chart, type an amount, confirm, and read the order's serial. A
// fund's name may be long, as many are: the form and the chart keep their
// width when the server names the fund picked so.
TEST_F(FundQuotePageTest, PurchaseAFundFromItsPage)
{
    QWidget* page = openPage(QStringLiteral("基金申购"));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->objectName(), "PurchaseOpdFundViewController");
    auto* table = page->findChild<DVCommonTableView*>("listTable");
    ASSERT_TRUE(table);
    ASSERT_TRUE(spinUntil([&] { return table->model()->rowCount() == 6; }, 10s));

    // A click on 000001 fills the form and draws its net values.
    auto* name = page->findChild<QLineEdit*>("fundNameText");
    auto* chartCode = page->findChild<QLabel*>("fundCodeText");
    auto* amount = page->findChild<QLineEdit*>("tradeAmountText");
    auto* balance = page->findChild<QLineEdit*>("availableBalanceText");
    ASSERT_TRUE(name && chartCode && amount && balance);
    const int codeColumn = table->tableModel()->titles().indexOf(QStringLiteral("基金代码"));
    int row = 0;
    while (row < table->model()->rowCount() && table->model()->index(row, codeColumn).data() != "000001")
        ++row;
    const QPoint cell = table->visualRect(table->model()->index(row, codeColumn)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell);
    ASSERT_TRUE(spinUntil([&] { return name->text() == QStringLiteral("青岚成长混合") && chartCode->text() == "000001"; }, 10s));
    ASSERT_TRUE(spinUntil([&] { return !page->findChild<QLabel*>("month6Text")->text().isEmpty(); }, 10s));
    ASSERT_TRUE(spinUntil([&] { return !balance->text().isEmpty(); }, 10s));

    if (const QByteArray docs = qgetenv("LUMORA_DOCS_DIR"); !docs.isEmpty()) {
        EXPECT_TRUE(window->grab().save(QString::fromLocal8Bit(docs) + "/fund-purchase.png"));
    }

    // The server names it anew, at length; picked again, the form and the
    // chart take no more width than they had.
    const auto leastWidths = [page] {
        QApplication::processEvents();
        QList<int> widths;
        for (const char* panel : { "fundTradeView", "fundQuoteView" })
            widths << page->findChild<QWidget*>(panel)->minimumSizeHint().width();
        return widths;
    };
    const QList<int> widths = leastWidths();
    const QString longName = QStringLiteral("青岚沪深三百交易型开放式指数发起式证券投资基金联接基金A类");
    brokersim::FundBook::of(sim)->funds()[0].name = longName;
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell);
    ASSERT_TRUE(spinUntil([&] { return name->text() == longName; }, 10s));
    EXPECT_EQ(leastWidths(), widths);

    // Amount typed, the trade button pressed, the dialog confirmed.
    QString confirmed;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& alert) {
        confirmed = alert.contentText();
        alert.confirmButtonClicked();
    });
    amount->setFocus();
    QTest::keyClicks(amount, "1000");
    QTest::mouseClick(page->findChild<QPushButton*>("tradeButton"), Qt::LeftButton);
    QString tip = waitForBox();
    OrderAlertWindowController::setShownHookForTesting(nullptr);
    EXPECT_TRUE(confirmed.contains(QStringLiteral("000001")));
    EXPECT_TRUE(confirmed.contains(QStringLiteral("1000元")));
    EXPECT_TRUE(tip.contains(QStringLiteral("委托申请已提交，委托序号为"))) << qPrintable(tip);
    EXPECT_TRUE(amount->text().isEmpty());

    // 基金撤单 lists the order; ticking it and cancelling withdraws it.
    QWidget* cancelPage = openPage(QStringLiteral("基金撤单"));
    ASSERT_TRUE(cancelPage);
    EXPECT_EQ(cancelPage->objectName(), "OpdFundCancelOrderViewController");
    auto* orders = cancelPage->findChild<DVCommonTableView*>("ordersTableView");
    auto* count = cancelPage->findChild<QLabel*>("countText");
    ASSERT_TRUE(orders && count);
    ASSERT_TRUE(spinUntil([&] { return count->text() == "1"; }, 10s));
    QTest::mouseClick(orders->viewport(), Qt::LeftButton, {}, orders->visualRect(orders->model()->index(0, 0)).center());
    EXPECT_EQ(cancelPage->findChild<QLabel*>("selectedCountText")->text(), "1");
    OrderAlertWindowController::setShownHookForTesting(
        [](OrderAlertWindowController& alert) { alert.confirmButtonClicked(); });
    QTest::mouseClick(cancelPage->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    tip = waitForBox();
    OrderAlertWindowController::setShownHookForTesting(nullptr);
    EXPECT_TRUE(tip.contains(QStringLiteral("撤单请求已提交,委托序号为:"))) << qPrintable(tip);
}

// 基金定投: the agreement first; once accepted, the plan form places a weekly plan.
TEST_F(FundQuotePageTest, ThePlanPageOpensOnItsAgreementAndPlacesAPlan)
{
    QWidget* page = openPage(QStringLiteral("基金定投"));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->objectName(), "InvestOntimeViewController");
    auto* text = page->findChild<QPlainTextEdit*>("protocolText");
    auto* accept = page->findChild<QPushButton*>("acceptButton");
    ASSERT_TRUE(text && accept);
    EXPECT_TRUE(text->isVisible());
    EXPECT_TRUE(text->toPlainText().startsWith(QStringLiteral("先阅读基金定投协议书")));
    EXPECT_FALSE(page->findChild<QLineEdit*>("timing_FundCodeText"));
    // Alone on the page, the agreement fills it.
    page->layout()->activate();
    const QWidget* agreement = page->findChild<QWidget*>("protocolView");
    ASSERT_TRUE(agreement);
    EXPECT_GE(agreement->width(), page->width() * 9 / 10) << agreement->width() << " of " << page->width();
    if (const QByteArray docs = qgetenv("LUMORA_DOCS_DIR"); !docs.isEmpty())
        EXPECT_TRUE(window->grab().save(QString::fromLocal8Bit(docs) + "/fund-plan-agreement.png"));

    QTest::mouseClick(accept, Qt::LeftButton);
    EXPECT_FALSE(text->isVisible());
    auto* code = page->findChild<QLineEdit*>("timing_FundCodeText");
    auto* amount = page->findChild<QLineEdit*>("timing_MoneyAmoutText");
    auto* period = page->findChild<QComboBox*>("timing_PaymentPeriodPButton");
    auto* day = page->findChild<QComboBox*>("timing_PaymentDayPButton");
    ASSERT_TRUE(code && amount && period && day);
    EXPECT_TRUE(spinUntil([&] { return code->isVisible(); }, 10s));
    EXPECT_EQ(day->count(), 26);
    period->setCurrentIndex(1);
    emit period->activated(1);
    ASSERT_EQ(day->count(), 5);
    emit day->activated(2);
    // The wheel over 扣款日期 or 开始日期 while the page is scrolled changes
    // neither: the page scrolls.
    window->resize(window->width(), 420);
    QScrollBar* bar = window->pageArea()->verticalScrollBar();
    ASSERT_TRUE(spinUntil([&] { return bar->maximum() > 0; }, 10s));
    auto* begin = page->findChild<QDateEdit*>("timing_BeginDatePicker");
    ASSERT_TRUE(begin);
    const QDate beginDate = begin->date();
    for (QWidget* field : { static_cast<QWidget*>(day), static_cast<QWidget*>(begin) }) {
        SCOPED_TRACE(qPrintable(field->objectName()));
        bar->setValue(0);
        const QPoint at = field->rect().center();
        QWheelEvent down(at, field->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
            Qt::NoScrollPhase, false);
        QApplication::sendEvent(field, &down);
        EXPECT_GT(bar->value(), 0);
    }
    EXPECT_EQ(day->currentIndex(), 2);
    EXPECT_EQ(begin->date(), beginDate);

    code->setFocus();
    QTest::keyClicks(code, "110011");
    auto* name = page->findChild<QLineEdit*>("timing_FundNameText");
    ASSERT_TRUE(spinUntil([&] { return !name->text().isEmpty(); }, 10s));
    QString confirmed;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& alert) {
        confirmed = alert.contentText();
        alert.confirmButtonClicked();
    });
    amount->setFocus();
    QTest::keyClicks(amount, "100");
    QTest::mouseClick(page->findChild<QPushButton*>("tradeButton"), Qt::LeftButton);
    const QString tip = waitForBox();
    OrderAlertWindowController::setShownHookForTesting(nullptr);
    EXPECT_TRUE(confirmed.contains(QStringLiteral("星期三"))) << qPrintable(confirmed);
    EXPECT_TRUE(tip.contains(QStringLiteral("委托申请已提交，委托序号为"))) << qPrintable(tip);
}

// At the main window's own size, the net-value chart's caption shows a fund
// of a name of five characters whole, on each page that shows the chart.
TEST_F(FundQuotePageTest, AtTheWindowsOwnSizeTheChartNamesAShortNamedFundWhole)
{
    logInThroughTheForm();
    fetchMenu();
    openWindow(MainWindow::kDefaultSize);
    const struct {
        const char* page;
        const char* code;
        const char* name;
    } rows[] = {
        { "基金认购", "009901", "青岚新锦程" },
        { "基金申购", "110011", "远帆中小盘" },
        { "基金赎回", "110011", "远帆中小盘" },
        { "基金转换", "110011", "远帆中小盘" },
        { "分红设置", "110011", "远帆中小盘" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.page);
        QWidget* page = clickEntry(QString::fromUtf8(row.page));
        ASSERT_TRUE(page);
        auto* code = page->findChild<QLineEdit*>("fundCodeText");
        auto* caption = page->findChild<QLabel*>("fundNameText");
        ASSERT_TRUE(code && caption);
        code->setFocus();
        QTest::keyClicks(code, QString::fromLatin1(row.code));
        ASSERT_TRUE(spinUntil([&] { return caption->text() == QString::fromUtf8(row.name); }, 10s));
        QApplication::processEvents();
        EXPECT_GE(caption->contentsRect().width(), caption->fontMetrics().horizontalAdvance(caption->text()))
            << "at a window " << window->width() << " wide";
    }
}
