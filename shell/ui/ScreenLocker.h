#pragma once

#include "shell/windows/ScreenLockController.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

class UnlockScreenWindow;

// The locked state on screen: every modal run ends, every other modal window
// but a message box closes as cancelled, every window of the session is
// hidden (not shrunk) and the application-modal unlock window is the only
// one shown; a confirmed password shows them again. Nothing that opens
// meanwhile shows over the lock: a modal window but a message box (a
// confirmation, a notice, a prompt) closes as cancelled, as those open at the
// lock do, so its step ends and nothing is sent from the locked screen; a
// message box or a plain window waits hidden and shows at the unlock, or
// closes (a box as dismissed) when the lock ends in a logout, as a box the
// lock hid does.
class ScreenLocker final : public QObject {
    Q_OBJECT
public:
    explicit ScreenLocker(ScreenLockController::Services services = {}, QObject* parent = nullptr);
    ~ScreenLocker() override;

    ScreenLockController& controller() { return controller_; }
    UnlockScreenWindow* unlockWindow() const;
    const std::vector<QPointer<QWidget>>& hiddenWindows() const { return hidden_; }

    // Windows that opened while locked and wait for the unlock.
    const std::vector<QPointer<QWidget>>& heldWindows() const { return held_; }

    // Whether `window` may show now: while a lock is on, only its unlock
    // window and what opens on that. A window that may not is kept from the
    // screen as said above; a modal one closes once its opener has returned,
    // never inside it.
    static bool admits(QWidget* window);

private:
    void lock();
    void restore();
    void logOut();
    bool isOnUnlockWindow(const QWidget* window) const;
    void keepFromScreen(QWidget* window);

    ScreenLockController controller_;
    std::vector<QPointer<QWidget>> hidden_;
    std::vector<QPointer<QWidget>> held_;
    QPointer<UnlockScreenWindow> unlock_;
};
