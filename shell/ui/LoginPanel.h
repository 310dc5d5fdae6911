#pragma once

#include "shell/ui/RunAlert.h"
#include "shell/ui/Window.h"
#include "shell/windows/LoginPanelController.h"

class LoginView;

// The add-account panel the main window runs modally over itself.
class LoginPanel final : public ui::Window {
    Q_OBJECT
public:
    explicit LoginPanel(LoginViewControllerServices services = {}, QWidget* parent = nullptr);
    ~LoginPanel() override;

    LoginPanelController& controller() { return controller_; }
    LoginView* loginView() const { return loginView_; }

protected:
    void willClose() override;

private:
    LoginPanelController controller_;
    WindowAlertPresenter alerts_;
    LoginView* loginView_ = nullptr;
};
