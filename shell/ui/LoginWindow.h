#pragma once

#include "core/ui/SiteWindowController.h"
#include "shell/ui/AccountWindow.h"
#include "shell/ui/RunAlert.h"
#include "shell/ui/SystemMessageWindow.h"
#include "shell/ui/Window.h"
#include "shell/windows/LoginWindowController.h"

class CursorButton;
class LockScreenWindow;
class LoginView;
class QProgressBar;
class QPushButton;

// The start-up login window: a banner, the login form, the start-up
// progress under a cover, and the links. It shows its LoginWindowController.
class LoginWindow final : public ui::Window {
    Q_OBJECT
public:
    explicit LoginWindow(LoginWindowController::Services services = {}, QWidget* parent = nullptr);
    ~LoginWindow() override;

    LoginWindowController& controller() { return controller_; }
    LoginView* loginView() const { return loginView_; }
    AccountWindow* accountWindow() const { return accountWindow_.get(); }
    SiteWindowController* siteWindow() const { return siteWindow_.get(); }
    SystemMessageWindow* systemMessageWindow() const { return systemMessageWindow_.get(); }
    LockScreenWindow* coverWindow() const { return cover_; }

    // windowDidLoad: called once the window is shown.
    void windowDidLoad();

protected:
    void willClose() override;
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void showSystemMessages(const std::vector<RDOSystemMessage>& messages);

    LoginWindowController controller_;
    WindowAlertPresenter alerts_;
    LoginView* loginView_ = nullptr;
    QProgressBar* launchProgress_ = nullptr;
    QPointer<LockScreenWindow> cover_;
    ui::WindowSlot<AccountWindow> accountWindow_;
    ui::WindowSlot<SiteWindowController> siteWindow_;
    ui::WindowSlot<SystemMessageWindow> systemMessageWindow_;
};
