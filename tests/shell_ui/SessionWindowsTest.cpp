// The session's windows on screen: a close the session asks for is not taken
// for the user leaving, and every input event reaches the idle lock.
#include "session/ui/SessionWindows.h"

#include "session/WindowController.h"
#include "session/ui/FrontWindow.h"
#include "session/ui/IdleInputFilter.h"
#include "shell/SessionTestRig.h"
#include "shell/WindowTestRig.h"
#include "shell/ui/LastLoginInfoWindow.h"
#include "shell/ui/LockScreenWindow.h"
#include "shell/ui/RunAlert.h"
#include "shell/ui/SystemMessageWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <algorithm>

using testsupport::spinFor;
using testsupport::spinUntil;
using namespace std::chrono_literals;

namespace {

class SessionWindowsTest : public logintest::HomeFixture {
protected:
    void TearDown() override
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
        spinFor(20ms);
        HomeFixture::TearDown();
    }
};

TEST_F(SessionWindowsTest, HandOversAreNotTheUserLeaving)
{
    AppSessionWindows windows;
    int loginClosedByUser = 0;
    int loginCancelled = 0;
    windows.showLoginWindow([&] { ++loginClosedByUser; }, [&] { ++loginCancelled; });
    ASSERT_TRUE(windows.hasLoginWindow());
    EXPECT_TRUE(windows.loginWindow()->isVisible());
    // The form's cancel of a login the server took reaches the session.
    LoginViewController& form = windows.loginWindow()->controller().loginViewController();
    form.tradeLogin(nullptr, QString(), RDOAccount());
    form.cancelLogin();
    EXPECT_EQ(loginCancelled, 1);
    // An outcome of the session before, told over the login window, stays
    // to be read when the login window hands over to the main window.
    int told = -2;
    windows.anyWindowAlerts()->runAlert(
        AlertRequest::tip(QStringLiteral("委托申请已提交，序号为7。")), [&](int answer) { told = answer; });
    const QPointer<QWidget> login = windows.loginWindow();
    windows.closeLoginWindow();
    ASSERT_TRUE(spinUntil([&] { return login.isNull(); }, 2s));
    EXPECT_FALSE(windows.hasLoginWindow());
    EXPECT_EQ(loginClosedByUser, 0);
    const QWidgetList left = QApplication::topLevelWidgets();
    const auto box
        = std::find_if(left.begin(), left.end(), [](QWidget* w) { return qobject_cast<QMessageBox*>(w); });
    ASSERT_NE(box, left.end());
    EXPECT_TRUE((*box)->isVisible());
    EXPECT_EQ(told, -2);
    static_cast<QMessageBox*>(*box)->buttons().front()->click();
    EXPECT_EQ(told, 1);

    windows.showLoginWindow([&] { ++loginClosedByUser; }, {});
    windows.loginWindow()->close(); // the user's close button
    EXPECT_TRUE(spinUntil([&] { return loginClosedByUser == 1; }, 2s));

    WidgetMainWindowOpener main([] { return new ui::Window(); });
    int mainClosedByUser = 0;
    main.open([&] { ++mainClosedByUser; });
    ASSERT_TRUE(main.isOpen());
    main.lockWindow(true);
    auto* cover = main.window()->findChild<LockScreenWindow*>();
    ASSERT_NE(cover, nullptr);
    main.lockWindow(false);
    EXPECT_TRUE(spinUntil([&] { return !main.window()->findChild<LockScreenWindow*>(); }, 2s));
    main.close();
    spinFor(20ms);
    EXPECT_FALSE(main.isOpen());
    EXPECT_EQ(mainClosedByUser, 0);

    main.open([&] { ++mainClosedByUser; });
    main.window()->close();
    EXPECT_TRUE(spinUntil([&] { return mainClosedByUser == 1; }, 2s));
}

// An outcome box stays in front of the client's windows until answered: the
// broker's notice, which comes up on the login window after a logout, shows
// under a box over whatever window is up and under the login window's own,
// and a box answered since leaves the one before in front. A window the
// customer opens with a click or a key (the account list), and a modal
// window, are the next step: they stay in front and keep the keyboard.
TEST_F(SessionWindowsTest, AnOutcomeBoxStaysInFrontOfTheNoticeOnTheLoginWindow)
{
    enum class Then { Notice, Click, Key, Modal, NoticeUnderAModal, NoticeAfterANewerBox };
    const struct {
        const char* name;
        bool onLoginWindow;
        Then then;
        bool boxInFront;
    } rows[] = {
        { "a box over any window, the notice", false, Then::Notice, true },
        { "the login window's box, the notice", true, Then::Notice, true },
        { "the account list clicked", false, Then::Click, false },
        { "the account list keyed", false, Then::Key, false },
        { "a modal window", false, Then::Modal, false },
        { "the notice under a modal window", false, Then::NoticeUnderAModal, false },
        { "the notice after a newer box was answered", false, Then::NoticeAfterANewerBox, true },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        AppSessionWindows windows;
        windows.showLoginWindow({}, {});
        LoginWindow* login = windows.loginWindow();
        const AlertRequest told = AlertRequest::error(QStringLiteral("账号010200000002：\n请求超时"));
        QPointer<QMessageBox> box;
        if (row.onLoginWindow)
            box = RunAlert::run(told, login, {});
        else
            windows.anyWindowAlerts()->runAlert(told, {});
        for (QWidget* w : QApplication::topLevelWidgets())
            if (!box && w->isVisible())
                box = qobject_cast<QMessageBox*>(w);
        ASSERT_TRUE(box);
        ASSERT_TRUE(spinUntil([&] { return QApplication::activeWindow() == box; }, 2s));
        QWidget* next = nullptr;
        if (row.then == Then::Modal || row.then == Then::NoticeUnderAModal) {
            next = new ui::Window(login);
            next->setWindowModality(Qt::ApplicationModal);
            ui::showOver(next);
        }
        if (row.then == Then::NoticeAfterANewerBox) {
            QMessageBox* newer = RunAlert::run(AlertRequest::error(QStringLiteral("撤单失败")), nullptr, {});
            newer->buttons().front()->click();
        }
        auto* accounts = login->findChild<QPushButton*>("accountManagerButton");
        if (row.then == Then::Click)
            QTest::mouseClick(accounts, Qt::LeftButton);
        else if (row.then == Then::Key)
            QTest::keyClick(accounts, Qt::Key_Space);
        else if (row.then != Then::Modal)
            emit login->controller().systemMessagesReceived({ RDOSystemMessage() });
        if (row.then == Then::Click || row.then == Then::Key)
            next = login->accountWindow();
        else if (row.then != Then::Modal)
            next = login->systemMessageWindow();
        ASSERT_TRUE(next && next->isVisible());
        // Whatever the showing left to do, the posted raising among it, is done.
        for (int round = 0; round < 2; ++round) {
            bool ran = false;
            QMetaObject::invokeMethod(
                qApp, [&ran] { ran = true; }, Qt::QueuedConnection);
            ASSERT_TRUE(spinUntil([&] { return ran; }, 2s));
        }
        EXPECT_EQ(QApplication::activeWindow(), row.boxInFront ? box.data() : next);
        box->done(0);
        ASSERT_TRUE(spinUntil([&] { return !box; }, 2s));
    }
}

// A later start on the folder brings the client to the front: the box in
// front with the window it stands over, each minimized one restored, so a box
// never comes up alone over a main window left minimized; without a box, the
// main window, else the login window.
TEST_F(SessionWindowsTest, ALaterStartBringsTheBoxWithTheWindowItStandsOver)
{
    enum class Box { None, OnMain, OnNoWindow, OnLogin };
    const struct {
        const char* name;
        bool mainOpen;
        Box box;
        bool locked = false; // the lock hid the minimized window: the box is the unlock window
    } rows[] = {
        { "a box on the minimized main window", true, Box::OnMain },
        { "a box on no window, the main window minimized", true, Box::OnNoWindow },
        { "the minimized main window alone", true, Box::None },
        { "a box on the minimized login window", false, Box::OnLogin },
        { "the minimized login window alone", false, Box::None },
        { "the minimized login window hidden by the lock", false, Box::OnNoWindow, true },
        { "the minimized main window hidden by the lock", true, Box::OnNoWindow, true },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        AppSessionWindows windows;
        WidgetMainWindowOpener main([] { return new ui::Window(); });
        QWidget* base = nullptr;
        if (row.mainOpen) {
            main.open({});
            base = main.window();
        } else {
            windows.showLoginWindow({}, {});
            base = windows.loginWindow();
        }
        QPointer<QMessageBox> box;
        if (row.box != Box::None)
            box = RunAlert::run(AlertRequest::error(QStringLiteral("撤单失败")),
                row.box == Box::OnNoWindow ? nullptr : base, {});
        base->showMinimized();
        ASSERT_TRUE(base->isMinimized());
        if (row.locked)
            base->hide();

        bringClientToFront(main.window(), windows.loginWindow());
        // A window the lock hides stays hidden, as it was.
        EXPECT_EQ(base->isMinimized(), row.locked);
        EXPECT_EQ(base->isVisible(), !row.locked);
        QWidget* front = box ? static_cast<QWidget*>(box.data()) : base;
        EXPECT_TRUE(front->isVisible());
        EXPECT_TRUE(spinUntil([&] { return QApplication::activeWindow() == front; }, 2s));
        if (box) {
            box->done(0);
            ASSERT_TRUE(spinUntil([&] { return !box; }, 2s));
        }
        main.close();
        windows.closeLoginWindow();
    }
}

// The main window and the last-login notice on screen after a login: closed
// in either order, or the main window while the notice fades out after the
// customer closed it, the application ends when the last of them goes, and
// no window is left on screen.
TEST_F(SessionWindowsTest, TheApplicationEndsWithItsLastWindowWhateverTheOrder)
{
    enum class Order { MainFirst, LastLoginFirst, MainWhileLastLoginFades };
    for (const Order order : { Order::MainFirst, Order::LastLoginFirst, Order::MainWhileLastLoginFades }) {
        SCOPED_TRACE(int(order));
        AppSessionWindows windows;
        WidgetMainWindowOpener main([] { return new ui::Window(); });
        sessiontest::FakeRiskWindows riskWindows;
        sessiontest::ScriptedServer server;
        sessiontest::FakeClock clock;
        IQueryRiskAssessmentStatusDelegate* statusObserver = nullptr;
        WindowController::Services services
            = sessiontest::sessionServices(windows, main, riskWindows, server, clock, statusObserver);
        int quits = 0;
        services.quit = [&] { ++quits; };
        WindowController session(services);
        session.showLoginWindow();
        // The session opens as after a passed risk check.
        session.showMainWindow();
        // Closed means gone at once, not only once deleted.
        EXPECT_FALSE(windows.hasLoginWindow());
        session.showLastLoginInfoWindow(QStringLiteral("上次登录信息"), QStringLiteral("时间：2024-05-31"));
        spinFor(20ms);
        ASSERT_TRUE(main.isOpen());
        QPointer<LastLoginInfoWindow> last = windows.lastLoginInfoWindow();
        ASSERT_TRUE(last && last->isVisible());

        if (order != Order::MainFirst) {
            // By its title bar: it fades out first.
            last->windowHandle()->close();
            EXPECT_TRUE(last->controller().isShuttingDown());
        }
        if (order == Order::LastLoginFirst) {
            EXPECT_TRUE(spinUntil([&] { return last.isNull(); }, 3s));
            EXPECT_EQ(quits, 0);
            EXPECT_TRUE(main.window()->isVisible());
        }
        main.window()->close();
        EXPECT_TRUE(spinUntil([&] { return quits == 1; }, 2s));
        spinFor(20ms);
        const QWidgetList all = QApplication::topLevelWidgets();
        EXPECT_TRUE(std::none_of(all.begin(), all.end(), [](QWidget* w) { return w->isVisible(); }));
        EXPECT_TRUE(last.isNull());
        EXPECT_EQ(quits, 1);
    }
}

TEST_F(SessionWindowsTest, EveryInputEventCountsAndOthersDoNot)
{
    int inputs = 0;
    IdleInputFilter filter([&] { ++inputs; });
    qApp->installEventFilter(&filter);
    QWidget widget;
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&widget, &key);
    QMouseEvent move(
        QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
    QEvent paint(QEvent::UpdateRequest);
    QApplication::sendEvent(&widget, &paint);
    qApp->removeEventFilter(&filter);
    EXPECT_EQ(inputs, 2);
}

} // namespace
