// The fund and risk pages as a customer reaches them through the application's
// own page registrations: every mapped menu link has a page; log in through
// the login window, buy a fund that needs the notices, accept them in their
// windows, confirm and read the serial, then cancel that order; tick one
// order of three on 基金撤单 and cancel it alone; answer 基金风险测评.
#include "app/PageLibraries.h"
#include "compliance/ComplianceDataModels.h"
#include "compliance/RiskAssessmentManager.h"
#include "compliance/permissions/PermissionSettingsManager.h"
#include "compliance/ui/RiskAssessmentPage.h"
#include "core/DMCDataCache.h"
#include "core/NotificationCenter.h"
#include "funds/FundTestRig.h"
#include "funds/FundTradeOperations.h"
#include "funds/OpenFundManager.h"
#include "funds/requests/FundDataModels.h"
#include "funds/trade/FundMoneyQuery.h"
#include "shell/MainWindowRig.h"
#include "shell/ui/ScreenLocker.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/ui/tables/DVCheckTableView.h"
#include "shell/windows/SessionNotifications.h"
#include "support_gui/ColumnCheck.h"
#include "support_gui/OverTheLock.h"
#include "tools/broker-sim/FundFunctions.h"
#include "tools/broker-sim/RiskFunctions.h"
#include "trading/confirm/OrderAlertWindowController.h"
#include "trading/ui/OrderAlertWindow.h"
#include "transfer/TransferDataModels.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <cstring>
#include <gtest/gtest.h>
#include <set>

using namespace windowtest;
using testsupport::spinUntil;

namespace {

template <class W> W* shownWindow(const char* name = nullptr)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* found = qobject_cast<W*>(w);
        if (found && found->isVisible() && (!name || found->objectName() == QLatin1String(name)))
            return found;
    }
    return nullptr;
}

// The text of the message box once one shows; closes it.
QString waitForBox()
{
    QMessageBox* box = nullptr;
    if (!spinUntil([&] { return (box = shownWindow<QMessageBox>()) != nullptr; }, 10s))
        return QString();
    const QString text = box->informativeText().isEmpty() ? box->text() : box->informativeText();
    box->done(0);
    return text;
}

// Whether a field shows its whole text: the text's width fits inside the
// field's frame and the margins it keeps on both sides.
testing::AssertionResult showsItsText(const QLineEdit& edit)
{
    const int frame = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &edit);
    const QMargins margins = edit.textMargins();
    const int room = edit.width() - 2 * frame - 4 - margins.left() - margins.right();
    const int needed = edit.fontMetrics().horizontalAdvance(edit.text());
    if (needed > room)
        return testing::AssertionFailure()
            << edit.text().toStdString() << " needs " << needed << " of " << room;
    return testing::AssertionSuccess();
}

// The next order confirmation is confirmed with its button; its text is kept.
void confirmNextDialog(QString* content)
{
    OrderAlertWindowController::setShownHookForTesting([content](OrderAlertWindowController& c) {
        QTimer::singleShot(0, &c, [content] {
            auto* dialog = shownWindow<OrderAlertWindow>();
            ASSERT_TRUE(dialog);
            *content = dialog->findChild<QLabel*>("contentText")->text();
            QTest::mouseClick(dialog->findChild<QPushButton*>("confirmButton"), Qt::LeftButton);
        });
    });
}

class FundUserPathTest : public MainWindowRig {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerShellDataModels();
        registerComplianceDataModels();
        registerFundDataModels();
        registerTransferDataModels();
        FundMoneyQuery::registerDataModels();
        StartUp().run();
        startTradeServer();
        installPageLibraries();
    }
    void TearDown() override
    {
        closeWindows();
        OrderAlertWindowController::setShownHookForTesting({});
        resetShell();
        OpenFundManager::resetInstance();
        QueryInfoManagerFunds::resetInstance();
        OrderManagerFunds::resetInstance();
        FundMoneyQuery::resetShared();
        RiskAssessmentManager::resetInstance();
        PermissionSettingsManager::resetInstance();
        DMCDataCache::resetInstance();
        serverManager.reset();
        MarketFixture::TearDown();
    }
    QWidget* openPage(const QString& title)
    {
        if (!window) {
            logInThroughTheLoginWindow();
            fetchMenu();
            openWindow(QSize(1200, 760));
        }
        return clickEntry(title);
    }
    // 基金申购 with 000011 clicked in the list and 2000 typed. 000011 is above
    // the customer's risk level: the server sends notices.
    void openPurchaseOf000011(QWidget*& page)
    {
        openPurchaseOf(page, "000011", QStringLiteral("远帆大盘精选"));
    }
    void openPurchaseOf(QWidget*& page, const char* code, const QString& fundName)
    {
        page = openPage(QStringLiteral("基金申购"));
        ASSERT_TRUE(page);
        auto* list = page->findChild<DVCommonTableView*>("listTable");
        ASSERT_TRUE(list);
        ASSERT_TRUE(spinUntil([&] { return list->model()->rowCount() > 0; }, 10s));
        const int column = int(list->tableModel()->titles().indexOf(QStringLiteral("基金代码")));
        ASSERT_GE(column, 0);
        int row = 0;
        while (row < list->model()->rowCount() && list->model()->index(row, column).data() != code)
            ++row;
        ASSERT_LT(row, list->model()->rowCount());
        QTest::mouseClick(
            list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(row, column)).center());
        auto* name = page->findChild<QLineEdit*>("fundNameText");
        auto* amount = page->findChild<QLineEdit*>("tradeAmountText");
        auto* chartCode = page->findChild<QLabel*>("fundCodeText");
        ASSERT_TRUE(name && amount && chartCode);
        // The fund's details came: the chart follows them.
        ASSERT_TRUE(spinUntil([&] { return name->text() == fundName && chartCode->text() == code; }, 10s));
        QTest::keyClicks(amount, "2000");
    }
    brokersim::FundBook& funds() { return *brokersim::FundBook::of(sim); }
    void addOrder(const QString& sno) { funds().orders().append(fundtest::pendingPurchase(sno)); }
    // The row of a check table whose column `title` shows `text`; -1 for none.
    static int rowShowing(DVCheckTableView* table, const char* title, const QString& text)
    {
        const int column = 1 + int(table->tableModel()->titles().indexOf(QString::fromUtf8(title)));
        for (int row = 0; column > 0 && row < table->model()->rowCount(); ++row) {
            if (table->model()->index(row, column).data().toString() == text)
                return row;
        }
        return -1;
    }
    QString statusOf(const QString& sno)
    {
        for (const brokersim::SimFundOrder& o : brokersim::FundBook::of(sim)->orders()) {
            if (o.sno == sno)
                return o.status;
        }
        return QString();
    }
};

} // namespace

// Every link id the dispatch maps has a page some library registers, except
// the Stock Connect ids, which answer the not-supported message on purpose.
TEST(PageLibraries, EveryMappedLinkHasAPage)
{
    MenuItemViewManager::resetInstance();
    installPageLibraries();
    std::set<qint64> stockConnect;
    for (qint64 id = 90000; id <= 90009; ++id)
        stockConnect.insert(id);
    int mapped = 0;
    for (qint64 id = 0; id < 100000; ++id) {
        const QString page = MenuItemViewManager::pageClassName(4, id);
        if (page.isEmpty() || stockConnect.count(id))
            continue;
        ++mapped;
        EXPECT_TRUE(MenuItemViewManager::getInstance()->hasPageClass(page)) << id << " " << qPrintable(page);
    }
    EXPECT_GE(mapped, 20);
    for (qint64 type : { 0, 1, 2 })
        EXPECT_TRUE(MenuItemViewManager::getInstance()->hasPageClass(MenuItemViewManager::pageClassName(type, 0)));
    MenuItemViewManager::resetInstance();
}

TEST_F(FundUserPathTest, PurchaseAFundThatNeedsTheNoticesThenCancelTheOrder)
{
    QWidget* page = nullptr;
    ASSERT_NO_FATAL_FAILURE(openPurchaseOf000011(page));
    QString confirmed;
    confirmNextDialog(&confirmed);
    QTest::mouseClick(page->findChild<QPushButton*>("tradeButton"), Qt::LeftButton);

    // Two notices, one window after the other: tick, then agree.
    for (int notice = 0; notice < 2; ++notice) {
        SCOPED_TRACE(notice);
        QPointer<QWidget> window;
        ASSERT_TRUE(spinUntil([&] { return (window = shownWindow<QWidget>("businessContractWindow")) != nullptr; }, 10s));
        auto* agree = window->findChild<QPushButton*>("agreeButton");
        EXPECT_FALSE(agree->isEnabled());
        QTest::mouseClick(window->findChild<QCheckBox*>("checkButton"), Qt::LeftButton);
        ASSERT_TRUE(agree->isEnabled());
        QTest::mouseClick(agree, Qt::LeftButton);
        ASSERT_TRUE(spinUntil([&] { return !window || !window->isVisible(); }, 10s));
    }
    const QString tip = waitForBox();
    OrderAlertWindowController::setShownHookForTesting({});
    EXPECT_TRUE(confirmed.contains(QStringLiteral("000011"))) << qPrintable(confirmed);
    ASSERT_TRUE(tip.startsWith(QStringLiteral("委托申请已提交，委托序号为"))) << qPrintable(tip);
    const QString serial = tip.mid(13).chopped(1);
    ASSERT_FALSE(serial.isEmpty());
    EXPECT_EQ(statusOf(serial), "0");
    EXPECT_FALSE(receivedOf(brokersim::kFundPurchaseFunction).last().rawBody.contains("risksignsno=&"));

    QWidget* cancelPage = clickEntry(QStringLiteral("基金撤单"));
    ASSERT_TRUE(cancelPage);
    auto* orders = cancelPage->findChild<DVCheckTableView*>("ordersTableView");
    ASSERT_TRUE(orders);
    ASSERT_TRUE(spinUntil([&] { return rowShowing(orders, "委托编号", serial) >= 0; }, 10s));
    clickCheckBoxOfRow(orders, rowShowing(orders, "委托编号", serial));
    EXPECT_EQ(cancelPage->findChild<QLabel*>("selectedCountText")->text(), "1");
    QString cancelled;
    confirmNextDialog(&cancelled);
    QTest::mouseClick(cancelPage->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    const QString answer = waitForBox();
    EXPECT_TRUE(cancelled.contains(serial)) << qPrintable(cancelled);
    EXPECT_TRUE(answer.startsWith(QStringLiteral("撤单请求已提交,委托序号为:"))) << qPrintable(answer);
    EXPECT_EQ(statusOf(serial), "6");
}

// The screen locks while a notice waits for the customer: the notice closes
// as declined, so nothing is bought and the form is free again; the unlock
// brings back the main window alone.
TEST_F(FundUserPathTest, TheLockDeclinesAWaitingNoticeForGood)
{
    QWidget* page = nullptr;
    ASSERT_NO_FATAL_FAILURE(openPurchaseOf000011(page));
    auto* trade = page->findChild<QPushButton*>("tradeButton");
    QTest::mouseClick(trade, Qt::LeftButton);
    QPointer<QWidget> notice;
    ASSERT_TRUE(spinUntil([&] { return (notice = shownWindow<QWidget>("businessContractWindow")) != nullptr; }, 10s));
    EXPECT_FALSE(trade->isEnabled());

    NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
    ASSERT_TRUE(window->windowIsLocked());
    EXPECT_TRUE(spinUntil([&] { return trade->isEnabled(); }));
    EXPECT_TRUE(notice.isNull() || !notice->isVisible());

    window->screenLocker().unlockWindow()->controller().identifyLogin(nullptr, QString(), RDOAccount());
    ASSERT_TRUE(spinUntil([&] { return !window->windowIsLocked() && window->isVisible(); }));
    testsupport::spinFor(50ms);
    EXPECT_EQ(shownWindow<QWidget>("businessContractWindow"), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(receivedOf(brokersim::kFundPurchaseFunction).isEmpty());
    // The form takes a new purchase: its notices come again.
    QTest::mouseClick(trade, Qt::LeftButton);
    ASSERT_TRUE(spinUntil([&] { return (notice = shownWindow<QWidget>("businessContractWindow")) != nullptr; }, 10s));
    notice->close();
    EXPECT_TRUE(spinUntil([&] { return trade->isEnabled(); }));
}

// An answer that comes while the screen is locked (the suitability check, or
// the sign serial after the notices) opens neither the notices nor the order
// confirmation over the lock: the step ends, nothing is bought from the
// locked screen, and neither the unlock nor 退出 brings the window back.
struct LockedAnswer {
    const char* name;
    const char* code;
    const char* fundName;
    bool throughNotices; // agreed before the lock: the sign serial comes under it
    bool unlock; // else the lock ends with 退出
};
// Named in the test's listing by its row, never by its bytes.
void PrintTo(const LockedAnswer& row, std::ostream* out)
{
    *out << row.name;
}

class FundFormUnderTheLock : public FundUserPathTest, public ::testing::WithParamInterface<LockedAnswer> { };

TEST_P(FundFormUnderTheLock, OpensNothingAndSendsNothing)
{
    const LockedAnswer& row = GetParam();
    QWidget* page = nullptr;
    ASSERT_NO_FATAL_FAILURE(openPurchaseOf(page, row.code, QString::fromUtf8(row.fundName)));
    auto* trade = page->findChild<QPushButton*>("tradeButton");
    // A confirmation a customer could see is confirmed, as one would.
    bool seen = false;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& c) {
        QTimer::singleShot(0, &c, [&] {
            if (auto* dialog = shownWindow<OrderAlertWindow>()) {
                seen = true;
                QTest::mouseClick(dialog->findChild<QPushButton*>("confirmButton"), Qt::LeftButton);
            } else if (c.isShown()) {
                ADD_FAILURE() << "a confirmation left running off the screen";
                c.cancelButtonClicked();
            }
        });
    });
    sim.withholdNext(
        row.throughNotices ? brokersim::kFundSignNumberFunction : brokersim::kFundAppropriatenessFunction);
    QTest::mouseClick(trade, Qt::LeftButton);
    for (int notice = 0; row.throughNotices && notice < 2; ++notice) {
        QPointer<QWidget> w;
        ASSERT_TRUE(
            spinUntil([&] { return (w = shownWindow<QWidget>("businessContractWindow")) != nullptr; }, 10s));
        QTest::mouseClick(w->findChild<QCheckBox*>("checkButton"), Qt::LeftButton);
        QTest::mouseClick(w->findChild<QPushButton*>("agreeButton"), Qt::LeftButton);
        ASSERT_TRUE(spinUntil([&] { return !w || !w->isVisible(); }, 10s));
    }
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
    ScreenLocker& locker = window->screenLocker();
    const testsupport::OverTheLock over(
        [&] { return locker.controller().isLocked(); }, [&] { return locker.unlockWindow(); });
    NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
    ASSERT_TRUE(window->windowIsLocked());

    sim.releaseWithheld();
    EXPECT_TRUE(spinUntil([&] { return trade->isEnabled(); }, 10s));
    testsupport::spinFor(50ms);
    EXPECT_TRUE(over.shown().isEmpty()) << qPrintable(over.shown().join(u','));
    EXPECT_FALSE(seen);
    EXPECT_TRUE(receivedOf(brokersim::kFundPurchaseFunction).isEmpty());

    if (row.unlock)
        locker.unlockWindow()->controller().identifyLogin(nullptr, QString(), RDOAccount());
    else
        locker.unlockWindow()->findChild<QPushButton*>("exitButton")->click();
    ASSERT_TRUE(spinUntil([&] { return !window->windowIsLocked(); }));
    testsupport::spinFor(50ms);
    EXPECT_EQ(shownWindow<QWidget>("businessContractWindow"), nullptr);
    EXPECT_EQ(shownWindow<OrderAlertWindow>(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(receivedOf(brokersim::kFundPurchaseFunction).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(EachWindowAndWayOut, FundFormUnderTheLock,
    ::testing::Values(LockedAnswer { "NoticesUnlocked", "000011", "远帆大盘精选", false, true },
        LockedAnswer { "NoticesLoggedOut", "000011", "远帆大盘精选", false, false },
        LockedAnswer { "ConfirmationUnlocked", "000001", "青岚成长混合", false, true },
        LockedAnswer { "ConfirmationLoggedOut", "000001", "青岚成长混合", false, false },
        LockedAnswer { "ConfirmationAfterNoticesUnlocked", "000011", "远帆大盘精选", true, true },
        LockedAnswer { "ConfirmationAfterNoticesLoggedOut", "000011", "远帆大盘精选", true, false }),
    [](const ::testing::TestParamInfo<LockedAnswer>& info) { return std::string(info.param.name); });

TEST_F(FundUserPathTest, OneOrderOfThreeTickedByAClickIsCancelledAlone)
{
    addOrder("900001");
    addOrder("900002");
    addOrder("900003");
    QWidget* page = openPage(QStringLiteral("基金撤单"));
    ASSERT_TRUE(page);
    auto* orders = page->findChild<DVCheckTableView*>("ordersTableView");
    auto* selected = page->findChild<QLabel*>("selectedCountText");
    ASSERT_TRUE(orders && selected);
    ASSERT_TRUE(spinUntil([&] { return page->findChild<QLabel*>("countText")->text() == "3"; }, 10s));
    const int row = rowShowing(orders, "委托编号", "900002");
    ASSERT_GE(row, 0);

    // The box itself, then a click elsewhere on the row, then space: each
    // toggles the row once.
    clickCheckBoxOfRow(orders, row);
    EXPECT_EQ(selected->text(), "1");
    const int other = row == 0 ? 1 : 0;
    QTest::mouseClick(orders->viewport(), Qt::LeftButton, {},
        orders->visualRect(orders->model()->index(other, orders->model()->columnCount() - 1)).center());
    EXPECT_EQ(selected->text(), "2");
    orders->setFocus();
    orders->setCurrentIndex(orders->model()->index(other, 1));
    QTest::keyClick(orders, Qt::Key_Space);
    EXPECT_EQ(selected->text(), "1");
    EXPECT_EQ(orders->selectedIndexSet(), QList<int>({ row }));
    EXPECT_FALSE(page->findChild<QCheckBox*>("selectAllButton")->isChecked());

    QString confirmed;
    confirmNextDialog(&confirmed);
    QTest::mouseClick(page->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    const QString answer = waitForBox();
    EXPECT_TRUE(confirmed.contains("900002")) << qPrintable(confirmed);
    EXPECT_TRUE(answer.startsWith(QStringLiteral("撤单请求已提交,委托序号为:"))) << qPrintable(answer) << qPrintable(confirmed);
    EXPECT_EQ(statusOf("900001"), "0");
    EXPECT_EQ(statusOf("900002"), "6");
    EXPECT_EQ(statusOf("900003"), "0");
    ASSERT_EQ(receivedOf(brokersim::kFundCancelFunction).size(), 1);

    // The list came anew with no row ticked; with none ticked the button
    // does nothing at all.
    ASSERT_TRUE(spinUntil([&] { return receivedOf(brokersim::kFundOrdersFunction).size() >= 2; }, 10s));
    EXPECT_TRUE(spinUntil([&] { return orders->selectedIndexSet().isEmpty() && selected->text() == "0"; }));
    QTest::mouseClick(page->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    testsupport::spinFor(100ms);
    EXPECT_EQ(shownWindow<QMessageBox>(), nullptr);
    EXPECT_EQ(shownWindow<OrderAlertWindow>(), nullptr);
    EXPECT_EQ(receivedOf(brokersim::kFundCancelFunction).size(), 1);
}

// Another account: 基金撤单 shows no row of the account before, even while
// the new list is on its way; the columns stay for it.
TEST_F(FundUserPathTest, AnotherAccountEmptiesTheCancelTableAtOnce)
{
    addOrder("900001");
    addOrder("900002");
    QWidget* page = openPage(QStringLiteral("基金撤单"));
    ASSERT_TRUE(page);
    auto* orders = page->findChild<DVCheckTableView*>("ordersTableView");
    auto* count = page->findChild<QLabel*>("countText");
    ASSERT_TRUE(orders && count);
    ASSERT_TRUE(spinUntil([&] { return count->text() == "2"; }, 10s));
    clickCheckBoxOfRow(orders, 0);
    const int columns = orders->model()->columnCount();
    sim.withholdNext(brokersim::kFundOrdersFunction);
    NotificationCenter::getInstance()->postNotification(2);
    ASSERT_TRUE(spinUntil([&] { return orders->model()->rowCount() == 0; }));
    EXPECT_EQ(count->text(), "0");
    EXPECT_EQ(page->findChild<QLabel*>("selectedCountText")->text(), "0");
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return orders->model()->rowCount() == 2; }));
    EXPECT_EQ(orders->model()->columnCount(), columns);
    EXPECT_TRUE(orders->selectedIndexSet().isEmpty());
}

TEST_F(FundUserPathTest, TheRiskQuestionnaireOpensFromTheMenuAndStoresTheNewLevel)
{
    QWidget* page = openPage(QStringLiteral("基金风险测评"));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->objectName(), "RiskAssessmentViewController");
    auto* questions = page->findChild<RiskAssessmentTableView*>("riskAssessmentTableView");
    ASSERT_TRUE(questions);
    ASSERT_TRUE(spinUntil([&] { return questions->rowCount() == 5; }, 10s));
    EXPECT_FALSE(brokersim::RiskBook::of(sim)->score("010100000001").has_value());

    // The highest answer of every question.
    for (qint64 q = 0; q < questions->rowCount(); ++q) {
        RiskAssessmentTableViewCell* cell = questions->cell(q);
        qint64 last = 0;
        while (cell->answerButton(last + 1))
            ++last;
        questions->ensureWidgetVisible(cell->answerButton(last));
        // On the answer's mark, as a customer clicks it.
        QTest::mouseClick(cell->answerButton(last), Qt::LeftButton, {}, QPoint(8, cell->answerButton(last)->height() / 2));
        EXPECT_TRUE(cell->answerButton(last)->isChecked());
    }
    auto* submit = page->findChild<QPushButton*>("submitButton");
    QTest::mouseClick(submit, Qt::LeftButton);
    EXPECT_FALSE(submit->isEnabled());
    // The notices of the reply, one window after another, can only be
    // agreed; submit comes back when the last one is.
    int notices = 0;
    for (; notices < 10; ++notices) {
        QPointer<QWidget> window;
        ASSERT_TRUE(spinUntil(
            [&] { return (window = shownWindow<QWidget>("businessContractWindow")) != nullptr || submit->isEnabled(); },
            10s));
        if (!window)
            break;
        EXPECT_FALSE(window->findChild<QPushButton*>("cancelButton")->isVisible());
        if (auto* check = window->findChild<QCheckBox*>("checkButton"); check->isVisible())
            QTest::mouseClick(check, Qt::LeftButton);
        QTest::mouseClick(window->findChild<QPushButton*>("agreeButton"), Qt::LeftButton);
        ASSERT_TRUE(spinUntil([&] { return !window || !window->isVisible(); }, 10s));
    }
    EXPECT_GT(notices, 0);
    const std::optional<qint32> score = brokersim::RiskBook::of(sim)->score("010100000001");
    ASSERT_TRUE(score.has_value());
    EXPECT_GT(*score, 0);
    EXPECT_EQ(receivedOf(brokersim::kRiskSubmitExFunction).size(), 1);
}


// Another account while a code is being typed: the form the field belonged to
// goes, and the field's end of editing, which comes as it goes, is nobody's.
TEST_F(FundUserPathTest, AnotherAccountWhileACodeIsTypedEndsTheEditingQuietly)
{
    QWidget* page = openPage(QStringLiteral("基金申购"));
    ASSERT_TRUE(page);
    QPointer<QLineEdit> code = page->findChild<QLineEdit*>("fundCodeText");
    ASSERT_TRUE(code);
    code->setFocus();
    ASSERT_TRUE(spinUntil([&] { return code->hasFocus(); }));
    QTest::keyClicks(code, "1");
    NotificationCenter::getInstance()->postNotification(2);
    ASSERT_TRUE(spinUntil([&] { return code.isNull(); }));
    QLineEdit* fresh = page->findChild<QLineEdit*>("fundCodeText");
    ASSERT_TRUE(fresh);
    EXPECT_TRUE(fresh->text().isEmpty());
    EXPECT_EQ(shownWindow<QMessageBox>(), nullptr);
}

// 基金定投 and 赎回 in the default font and in one half as large again, in
// main windows of 1600x1000 and 1280x720, and of 1067x667 and 853x480 (those
// screens at 144 dots per inch or a scale of 1.5, where the window system
// counts a point as one and a half pixels): the page never scrolls sideways,
// the plan's buttons show whole once the page is scrolled down to them, and
// a fund's net value shows whole in the list's cells and in the form's field.
TEST_F(FundUserPathTest, FundPagesFitAndShowNetValuesWhole)
{
    const QFont appFont = QApplication::font();
    const auto restoreFont = qScopeGuard([&] { QApplication::setFont(appFont); });
    logInThroughTheLoginWindow();
    fetchMenu();
    for (const double scale : { 1.0, 1.5 }) {
        QFont font = appFont;
        font.setPointSizeF(appFont.pointSizeF() * scale);
        QApplication::setFont(font);
        std::vector<QSize> sizes { QSize(1600, 1000), QSize(1280, 720) };
        if (scale == 1.0)
            sizes.insert(sizes.end(), { QSize(1067, 667), QSize(853, 480) });
        for (const QSize size : sizes) {
            SCOPED_TRACE(testing::Message() << scale << " " << size.width() << "x" << size.height());
            closeWindows();
            openWindow(size);
            for (const char* title : { "基金定投", "基金赎回" }) {
                SCOPED_TRACE(title);
                QWidget* page = clickEntry(QString::fromUtf8(title));
                ASSERT_TRUE(page);
                if (auto* accept = page->findChild<QPushButton*>("acceptButton");
                    accept && accept->isVisible())
                    QTest::mouseClick(accept, Qt::LeftButton);
                auto* list = page->findChild<DVCommonTableView*>("listTable");
                ASSERT_TRUE(list);
                ASSERT_TRUE(
                    spinUntil([&] { return list->isVisible() && list->model()->rowCount() > 0; }, 10s));
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualRect(list->model()->index(0, 0)).center());
                auto* value = page->findChild<QLineEdit*>(QString::fromLatin1(
                    std::strcmp(title, "基金定投") == 0 ? "timing_FundValueText" : "fundValueText"));
                ASSERT_TRUE(value);
                ASSERT_TRUE(spinUntil([&] { return !value->text().isEmpty(); }, 10s));
                QApplication::processEvents();
                // The page needs no scrolling sideways: each button shows
                // whole in the part of the page the window shows, scrolled
                // down to it.
                QScrollArea* area = window->pageArea();
                EXPECT_EQ(area->horizontalScrollBar()->maximum(), 0)
                    << "page " << page->width() << " in " << area->viewport()->width();
                for (const char* name : { "tradeButton", "resetButton" }) {
                    auto* button = page->findChild<QPushButton*>(name);
                    ASSERT_TRUE(button) << name;
                    area->ensureWidgetVisible(button, 0, 0);
                    const QRegion hidden = QRegion(QRect(button->mapTo(page, QPoint()), button->size()))
                        - page->visibleRegion();
                    EXPECT_TRUE(hidden.isEmpty()) << name << " hidden " << hidden.boundingRect().width()
                                                  << "x" << hidden.boundingRect().height();
                }
                EXPECT_TRUE(showsItsText(*value));
                // The list's net values are never cut at its edge; in the
                // default font they show, with the columns before them.
                const int nav = int(list->tableModel()->titles().indexOf(QStringLiteral("基金净值")));
                ASSERT_GE(nav, 0);
                const int column = nav + list->tableModel()->dataColumnOffset();
                const int left = list->columnViewportPosition(column);
                const int right = left + list->columnWidth(column);
                const int room = list->viewport()->width();
                EXPECT_TRUE(right <= room || left >= room)
                    << "net values from " << left << " to " << right << " in " << room;
                if (scale == 1.0)
                    EXPECT_LE(right, room);
                EXPECT_TRUE(testsupport::columnsShowTheirTexts(*list));
            }
        }
    }
}
