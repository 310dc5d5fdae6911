#pragma once

#include <QObject>

class AccountManager;
class NotificationCenter;
// What ScreenLockController works with; null ones are the shared instances.
struct ScreenLockControllerServices {
    AccountManager* accountManager = nullptr;
    NotificationCenter* notificationCenter = nullptr;
};

// The locked state of a session without its widgets. Type 3 locks once (a
// second lock while locked changes nothing): open message boxes are told to
// close (type 20), the view hides every window of the session and shows the
// unlock window. The unlock result (type 5) ends it: 1 shows the windows
// again and restarts the idle timer (type 18); 0 logs out every account and
// returns to the login window (type 1). Main thread only.
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

signals:
    void locked(); // hide the session's windows, open the unlock window
    void unlocked(); // show them again
    void loggedOut(); // forget them

private:
    AccountManager* accountManager;
    NotificationCenter* notificationCenter;
    bool locked_ = false;
};
