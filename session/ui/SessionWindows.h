#pragma once

#include "session/SessionWindows.h"
#include "shell/ui/LastLoginInfoWindow.h"
#include "shell/ui/LoginWindow.h"

#include <QObject>
#include <QPointer>
#include <functional>

// One window of the session that the session opens and closes itself; a
// close by the user (its close button, Esc) is reported, a close asked for
// by the session is not.
class SessionWindowSlot final : public QObject {
    Q_OBJECT
public:
    ~SessionWindowSlot() override;
    ui::Window* get() const { return window_; }
    // Makes the window with `make` when none is open, then shows it.
    void open(const std::function<ui::Window*()>& make, std::function<void()> closedByUser);
    void close();

signals:
    void willClose();

private:
    QPointer<ui::Window> window_;
    std::function<void()> closedByUser_;
    bool closing_ = false;
};

// Where a box goes that belongs to no session window (an outcome told after
// its session ended): over the login window while it is up, else over
// whatever window is; never closed with a window, so the login that follows
// does not take it away unread.
class AnyWindowAlerts final : public AlertPresenter {
public:
    explicit AnyWindowAlerts(std::function<QWidget*()> window)
        : window_(std::move(window))
    {
    }
    void runAlert(const AlertRequest& request, Completion completion) override;

private:
    std::function<QWidget*()> window_;
};

// The login window, its message boxes and the last-login window on screen.
// A close the controller asks for is told apart from one by the user, so a
// hand-over between windows never looks like the user leaving.
class AppSessionWindows final : public QObject, public ISessionWindows {
    Q_OBJECT
public:
    explicit AppSessionWindows(QObject* parent = nullptr);
    ~AppSessionWindows() override;

    LoginWindow* loginWindow() const { return static_cast<LoginWindow*>(login_.get()); }
    LastLoginInfoWindow* lastLoginInfoWindow() const { return lastLogin_; }
    // Where boxes go when no login window is open (the main window).
    void setFallbackWindow(std::function<QWidget*()> window) { fallback_ = std::move(window); }
    // Called when the logged-in accounts changed under the windows.
    void setAccountsChanged(std::function<void()> changed) { accountsChanged_ = std::move(changed); }

    bool hasLoginWindow() const override { return login_.get() != nullptr; }
    void showLoginWindow(std::function<void()> closedByUser, std::function<void()> loginCancelled) override;
    void closeLoginWindow() override;
    void appLoginComplete() override;
    void loginComplete() override;
    void resetUI() override;
    void runAlert(const AlertRequest& request, AlertPresenter::Completion completion) override;
    void showLastLoginInfoWindow(
        const QString& title, const QString& content, const std::optional<QRect>& parentFrame) override;
    void closeLastLoginInfoWindow() override;
    void refreshAccountLists() override;
    void stopModal() override;
    // Boxes over the login window while it is up, else over any window.
    AlertPresenter* anyWindowAlerts() { return &anyWindowAlerts_; }

private:
    SessionWindowSlot login_;
    AnyWindowAlerts anyWindowAlerts_ { [this]() -> QWidget* { return loginWindow(); } };
    QPointer<LastLoginInfoWindow> lastLogin_;
    std::function<QWidget*()> fallback_;
    std::function<void()> accountsChanged_;
    std::function<void()> loginCancelled_;
};

// The main window as a widget of the caller's making: shown centred, covered
// with the lock-cover window while the risk status is asked for.
class WidgetMainWindowOpener final : public QObject, public IMainWindowOpener {
    Q_OBJECT
public:
    explicit WidgetMainWindowOpener(std::function<ui::Window*()> make, QObject* parent = nullptr);
    ~WidgetMainWindowOpener() override;

    ui::Window* window() const { return window_.get(); }
    // How the window covers itself; default: a lock-cover window over it.
    void setLockWindow(std::function<void(ui::Window*, bool)> lock) { lock_ = std::move(lock); }

    bool isOpen() const override { return window_.get() != nullptr; }
    void open(std::function<void()> closedByUser) override;
    void close() override;
    void lockWindow(bool locked) override;
    bool isScreenLocked() const override;
    QRect frame() const override;

private:
    std::function<ui::Window*()> make_;
    std::function<void(ui::Window*, bool)> lock_;
    SessionWindowSlot window_;
    QPointer<ui::Window> cover_;
};
