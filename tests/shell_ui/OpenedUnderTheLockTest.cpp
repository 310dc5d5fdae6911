// Windows that open while the screen is locked, each kind of the window
// pattern: none shows over the lock; a modal step ends at once as cancelled;
// a message box or a plain window waits for the unlock, and closes (a box as
// dismissed) when the lock ends in a logout.
#include "core/NotificationCenter.h"
#include "shell/ui/RunAlert.h"
#include "shell/ui/ScreenLocker.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/ui/Window.h"
#include "shell/windows/SessionNotifications.h"
#include "support/Spin.h"
#include "support_gui/ModalGuard.h"
#include "support_gui/OverTheLock.h"

#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using testsupport::spinUntil;

namespace {

class OpenedUnderTheLockTest : public ::testing::Test {
protected:
    void SetUp() override { NotificationCenter::resetForTesting(); }
    void TearDown() override { NotificationCenter::resetForTesting(); }
};

// What the opener heard: a box's answers, or -2 for a window's close.
using Heard = std::vector<int>;

ui::Window* modalWindow(QWidget* parent, Heard& heard)
{
    auto* window = new ui::Window(parent);
    window->setWindowModality(Qt::ApplicationModal);
    QObject::connect(window, &ui::Window::windowWillClose, [&heard] { heard.push_back(-2); });
    return window;
}

} // namespace

TEST_F(OpenedUnderTheLockTest, NothingShowsOverTheLockAModalStepEndsABoxWaits)
{
    struct Kind {
        const char* name;
        std::function<QPointer<QWidget>(QWidget* session, Heard&)> open;
        bool waits; // for the unlock; else its step ends at once as cancelled
        bool atTheLock = false; // open already when the lock comes
    };
    ui::WindowSlot<ui::Window> slot;
    const Kind kinds[] = {
        { "box on a hidden window",
            [](QWidget* session, Heard& heard) -> QPointer<QWidget> {
                return RunAlert::runAlertWithErrorMessageText(
                    QStringLiteral("委托失败"), session, [&heard](int r) { heard.push_back(r); });
            },
            true },
        { "box on no window",
            [](QWidget*, Heard& heard) -> QPointer<QWidget> {
                return RunAlert::runAlertWithTipMessageText(
                    QStringLiteral("委托申请已提交"), nullptr, [&heard](int r) { heard.push_back(r); });
            },
            true },
        // Hidden by the lock unread: it is the session's as much as one
        // opened under the lock.
        { "box open at the lock",
            [](QWidget* session, Heard& heard) -> QPointer<QWidget> {
                return RunAlert::runAlertWithErrorMessageText(
                    QStringLiteral("委托失败"), session, [&heard](int r) { heard.push_back(r); });
            },
            true, true },
        { "plain window",
            [&slot](QWidget* session, Heard& heard) -> QPointer<QWidget> {
                return slot.open([&] {
                    auto* window = new ui::Window(session);
                    QObject::connect(window, &ui::Window::windowWillClose, [&heard] { heard.push_back(-2); });
                    return window;
                });
            },
            true },
        { "modal window (notice, agreement, permission)",
            [](QWidget* session, Heard& heard) -> QPointer<QWidget> {
                ui::Window* window = modalWindow(session, heard);
                window->showOver();
                return window;
            },
            false },
        { "modal run",
            [](QWidget* session, Heard& heard) -> QPointer<QWidget> {
                testsupport::ExpectModalDialogs endedByTheLock;
                QPointer<QWidget> window = modalWindow(session, heard);
                EXPECT_EQ(static_cast<ui::Window*>(window.data())->runModal(), 0);
                return window;
            },
            false },
    };
    for (const Kind& kind : kinds) {
        for (const bool unlock : { true, false }) {
            SCOPED_TRACE(std::string(kind.name) + (unlock ? ", unlocked" : ", logged out"));
            auto* session = new QWidget;
            session->setAttribute(Qt::WA_DeleteOnClose);
            session->show();
            ScreenLocker locker;
            const testsupport::OverTheLock over(
                [&] { return locker.controller().isLocked(); }, [&] { return locker.unlockWindow(); });
            Heard heard;
            QPointer<QWidget> window = kind.atTheLock ? kind.open(session, heard) : nullptr;
            NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
            ASSERT_TRUE(locker.controller().isLocked());

            if (!kind.atTheLock)
                window = kind.open(session, heard);
            if (!kind.waits)
                ASSERT_TRUE(spinUntil([&] { return !heard.empty(); }));
            testsupport::spinFor(30ms);
            EXPECT_TRUE(over.shown().isEmpty()) << qPrintable(over.shown().join(u','));
            EXPECT_EQ(heard, kind.waits ? Heard() : Heard({ -2 }));

            ASSERT_TRUE(locker.unlockWindow());
            testsupport::endTheLock(locker, unlock);
            ASSERT_FALSE(locker.controller().isLocked());
            if (kind.waits && unlock) {
                ASSERT_TRUE(window);
                EXPECT_TRUE(window->isVisible());
                EXPECT_TRUE(heard.empty());
                if (auto* box = qobject_cast<QMessageBox*>(window.data()))
                    box->buttons().front()->click();
                else
                    window->close();
                EXPECT_EQ(heard, Heard({ qobject_cast<QMessageBox*>(window.data()) ? 1 : -2 }));
            } else if (kind.waits) {
                // Dismissed with the session, its opener told so.
                EXPECT_EQ(heard, Heard({ qobject_cast<QMessageBox*>(window.data()) ? 0 : -2 }));
                EXPECT_TRUE(spinUntil([&] { return !window; }));
            } else {
                testsupport::spinFor(30ms);
                EXPECT_TRUE(!window || !window->isVisible());
                EXPECT_EQ(heard.size(), 1u);
            }
            EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
            session->close();
            ASSERT_TRUE(spinUntil([&] { return !window; }));
        }
    }
}

// The unlock window's own boxes (a wrong password) show over the lock.
TEST_F(OpenedUnderTheLockTest, ABoxOnTheUnlockWindowShows)
{
    ScreenLocker locker;
    NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
    ASSERT_TRUE(locker.unlockWindow());
    const QPointer<QMessageBox> box
        = RunAlert::runAlertWithErrorMessageText(QStringLiteral("密码错误"), locker.unlockWindow(), {});
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isVisible());
    box->done(0);
}
