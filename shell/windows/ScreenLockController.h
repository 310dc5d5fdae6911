#pragma once

#include <QObject>
#include <functional>

class AccountManager;
class NotificationCenter;
// What ScreenLockController works with; null ones are the shared instances.
struct ScreenLockControllerServices {
    AccountManager* accountManager = nullptr;
    NotificationCenter* notificationCenter = nullptr;
    // True while the session's risk gate would answer a lock itself by
    // ending the session (not passed, every account out), so the window does
    // not lock. Empty: never.
    std::function<bool()> lockEndsTheSession;
};

// The locked state of a session without its widgets. Type 3 locks once (a
// second lock while locked changes nothing): open message boxes are told to
// close (type 20), the view hides every window of the session and shows the
// unlock window. The unlock result (type 5) ends it: 1 shows the windows
// again and restarts the idle timer (type 18); 0 logs out every account and
// returns to the login window (type 1). A result posted while the windows are
// being locked away (a settings check the lock closes) is not an answer to
// the lock. Main thread only.
class ScreenLockController final : public QObject {
    Q_OBJECT
public:
    using Services = ScreenLockControllerServices;

    explicit ScreenLockController(Services services = Services(), QObject* parent = nullptr);
    ~ScreenLockController() override;

    bool isLocked() const { return locked_; }
    void lockScreen();
    // doUnLockScreen: only while locked; a settings check posts type 5 too.
    void doUnLockScreen(bool confirmed);
    // The session's window is closing: later locks and unlock results are
    // not its business any more.
    void windowWillClose();

signals:
    void locked(); // hide the session's windows, open the unlock window
    void unlocked(); // show them again
    void loggedOut(); // forget them

private:
    AccountManager* accountManager;
    NotificationCenter* notificationCenter;
    std::function<bool()> lockEndsTheSession;
    bool locked_ = false;
    bool lockingDown_ = false; // inside locked(): results are not this lock's
};
