#pragma once

#include "shell/windows/AlertPresenter.h"

#include <QRect>
#include <QString>
#include <functional>
#include <optional>

// The main window as the session controller opens and closes it. The
// application's is the real main window; tests give a fake.
class IMainWindowOpener {
public:
    virtual ~IMainWindowOpener() = default;
    virtual bool isOpen() const = 0;
    // Creates, shows and centres it; `closedByUser` runs when the user (not
    // close()) closes it.
    virtual void open(std::function<void()> closedByUser) = 0;
    virtual void close() = 0;
    // lockWindow: covers or uncovers it while the risk status is asked for.
    virtual void lockWindow(bool locked) = 0;
    // The screen lock is on: the window is hidden behind the unlock window.
    virtual bool isScreenLocked() const = 0;
    virtual QRect frame() const = 0;
};

// The other windows of the session: the login window and its form, its
// message boxes, the last-login window.
class ISessionWindows {
public:
    virtual ~ISessionWindows() = default;

    virtual bool hasLoginWindow() const = 0;
    // Creates it when none is open, then shows it; `closedByUser` runs when
    // the user (not closeLoginWindow()) closes it, `loginCancelled` when the
    // customer cancels a login the server had already taken.
    virtual void showLoginWindow(std::function<void()> closedByUser, std::function<void()> loginCancelled) = 0;
    virtual void closeLoginWindow() = 0;
    // The login window's controller: the form enabled, a login's busy state
    // ended, the form reset.
    virtual void appLoginComplete() = 0;
    virtual void loginComplete() = 0;
    virtual void resetUI() = 0;

    // A message box on the login window (the main window when no login
    // window is open).
    virtual void runAlert(const AlertRequest& request, AlertPresenter::Completion completion) = 0;

    // The last-login window placed on `parentFrame` (centred on the screen
    // without one); an open one is replaced.
    virtual void showLastLoginInfoWindow(
        const QString& title, const QString& content, const std::optional<QRect>& parentFrame)
        = 0;
    virtual void closeLastLoginInfoWindow() = 0;
    // The windows that list the logged-in accounts show them again.
    virtual void refreshAccountLists() = 0;
    // Ends the application's current modal run, if any.
    virtual void stopModal() = 0;
};
