// The screen lock while an order's answer is pending: the confirmation
// dialog ends for good, nothing but the unlock window is on screen, and
// after the unlock the page's window takes input again; the answer that came
// meanwhile is shown then, not over the lock.
#include "ShownWindow.h"
#include "core/NotificationCenter.h"
#include "shell/ui/ScreenLocker.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/windows/SessionNotifications.h"
#include "tools/broker-sim/BackOffice.h"
#include "trading/ui/OrderAlertWindow.h"
#include "trading/ui/TradeView.h"
#include "trading_pages/TradingPagesRig.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

using testsupport::spinUntil;
using uitest::shown;
using namespace std::chrono_literals;

namespace {

class LockWithAnOrderPendingTest : public pagestest::TradePageFixture {
protected:
    void SetUp() override
    {
        TradePageFixture::SetUp();
        registerOrderAlertWindow();
        logInWithShareholders();
    }
    void TearDown() override
    {
        view.reset();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w))
                delete box;
        OrderAlertWindowController::setViewFactory({});
        TradePageFixture::TearDown();
    }
    QLineEdit* edit(const char* name) const { return view->findChild<QLineEdit*>(name); }
    // The classes of the windows on screen.
    static std::string onScreen()
    {
        QStringList names;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                names << QString::fromLatin1(w->metaObject()->className());
        names.sort();
        return names.join(u',').toStdString();
    }
    static QMessageBox* anyBox()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w))
                return box;
        return nullptr;
    }

    QWidget window;
    std::unique_ptr<TradeView> view;
};

} // namespace

TEST_F(LockWithAnOrderPendingTest, NoDialogOutlivesTheLockAndTheAnswerWaitsForTheUnlock)
{
    ScreenLocker locker;
    TradeViewController& page = openPage(10000);
    view = std::make_unique<TradeView>(page, &window);
    window.resize(1100, 760);
    view->resize(window.size());
    view->show();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QLineEdit* code = edit("stockCodeText");
    code->setFocus();
    QTest::keyClicks(code, "600000");
    QTest::keyClick(code, Qt::Key_Return);
    ASSERT_TRUE(spinUntil([&] { return !edit("priceText")->text().isEmpty(); }));
    QTest::keyClicks(edit("amountText"), "100");

    // Confirmed; while its answer has not come the screen locks, which ends
    // the dialog's run.
    NotificationCenter* centre = NotificationCenter::getInstance();
    bool busyAtTheLock = false;
    whenShown([&](OrderAlertWindowController& c) {
        c.confirmButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kOrderFunction) == 1; }));
        busyAtTheLock = c.isBusy() && shown<OrderAlertWindow>() != nullptr;
        centre->postNotification(sessionnotify::kLockScreen);
    });
    sim.withholdNext(brokersim::kOrderFunction);
    auto* order = view->findChild<QPushButton*>("orderButton");
    ASSERT_TRUE(spinUntil([&] { return order->isEnabled(); }));
    QTest::mouseClick(order, Qt::LeftButton);
    ASSERT_TRUE(spinUntil([&] { return locker.controller().isLocked(); }, 10s));
    EXPECT_TRUE(busyAtTheLock);
    testsupport::spinFor(50ms);
    EXPECT_EQ(onScreen(), "UnlockScreenWindow");
    // Gone, not hidden: the unlock cannot bring it back.
    const QWidgetList all = QApplication::topLevelWidgets();
    EXPECT_TRUE(
        std::none_of(all.begin(), all.end(), [](QWidget* w) { return qobject_cast<OrderAlertWindow*>(w); }));

    // The answer comes while locked: its box waits for the unlock.
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return anyBox() != nullptr; }));
    testsupport::spinFor(50ms);
    EXPECT_EQ(onScreen(), "UnlockScreenWindow");

    // The password confirmed: the page's window and the answer, no dialog.
    ASSERT_TRUE(locker.unlockWindow());
    locker.unlockWindow()->controller().identifyLogin(nullptr, QString(), RDOAccount());
    ASSERT_TRUE(spinUntil([&] { return !locker.unlockWindow(); }));
    EXPECT_EQ(onScreen(), "QMessageBox,QWidget");
    QMessageBox* box = shown<QMessageBox>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->informativeText().startsWith(QStringLiteral("委托申请已提交")))
        << qPrintable(box->informativeText());
    box->buttons().front()->click();
    ASSERT_TRUE(spinUntil([&] { return onScreen() == "QWidget"; }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // The form takes keys again.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::mouseClick(edit("amountText"), Qt::LeftButton);
    edit("amountText")->selectAll();
    QTest::keyClicks(edit("amountText"), "200");
    EXPECT_EQ(edit("amountText")->text(), QStringLiteral("200"));
}
