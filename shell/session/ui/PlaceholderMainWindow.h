#pragma once

#include "shell/ui/ScreenLocker.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/ui/Window.h"

class AccountManager;
class NotificationCenter;
class QLabel;

// A bare main window for a session: the logged-in accounts, logging out the
// active one, exiting trading and the screen lock. It stands in where the
// full main window is not built in.
class PlaceholderMainWindow final : public ui::Window {
    Q_OBJECT
public:
    explicit PlaceholderMainWindow(
        AccountManager* accountManager = nullptr, NotificationCenter* notificationCenter = nullptr);
    ~PlaceholderMainWindow() override;

    void refresh();

signals:
    void exitTradingRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void logoutCurrent();

    AccountManager* accountManager;
    NotificationCenter* notificationCenter;
    ScreenLocker locker_;
    QLabel* accounts_;
    bool loaded_ = false;
};
