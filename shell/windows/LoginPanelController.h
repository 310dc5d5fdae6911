#pragma once

#include "shell/windows/LoginViewController.h"

#include <QObject>
#include <memory>

// The add-account panel without its widgets: a form of its own, run modally
// over the main window; any successful login (type 0) ends the run with the
// form's result, closing the panel ends it with 0. Main thread only.
class LoginPanelController final : public QObject {
    Q_OBJECT
public:
    explicit LoginPanelController(LoginViewControllerServices services = {}, QObject* parent = nullptr);
    ~LoginPanelController() override;

    LoginViewController& loginViewController() { return *form_; }

    // loginSucceed: type 0 from this or any form.
    void loginSucceed();
    void windowWillClose();

signals:
    // The modal run ends with the code; the view closes itself.
    void stopModal(int code);

private:
    std::unique_ptr<LoginViewController> form_;
    NotificationCenter* notificationCenter;
    bool stopped_ = false;
};
