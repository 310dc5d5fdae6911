#pragma once

#include "shell/windows/LoginViewController.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// Keeps a widget's place in its layout while it is hidden (the progress bars
// of the login windows), so nothing around it moves when it shows.
void keepPlaceWhenHidden(QWidget* widget);

// The login form: shows its LoginViewController and forwards every edit
// and click. It lives in the login window and in the add-account panel.
class LoginView final : public QWidget {
    Q_OBJECT
public:
    // The controller outlives the view (the window that owns both makes sure).
    explicit LoginView(LoginViewController& controller, QWidget* parent = nullptr);

    LoginViewController& controller() { return controller_; }
    void refresh();

protected:
    // Tab in one of the four fields ends its editing as Enter does: the focus
    // goes round account, password, captcha and token only.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* fieldEdit(LoginViewController::Field field) const;
    void forwardEdits(QLineEdit* edit, LoginViewController::Field field);

    LoginViewController& controller_;
    QFormLayout* form_ = nullptr;
    QComboBox* accountTypeButton_ = nullptr;
    QComboBox* regionOfDepartmentButton_ = nullptr;
    QComboBox* businessDepartmentButton_ = nullptr;
    QLabel* accountNameLabel_ = nullptr;
    QComboBox* accountText_ = nullptr;
    QLineEdit* passwordText_ = nullptr;
    QComboBox* securitySelectButton_ = nullptr;
    QLineEdit* identifyingCodeText_ = nullptr;
    QPushButton* identifyingCodeImage_ = nullptr;
    QLabel* securityModeQeltLabel_ = nullptr;
    QLineEdit* securityModeQeltText_ = nullptr;
    QCheckBox* saveAccountCheck_ = nullptr;
    QPushButton* loginButton_ = nullptr;
    QProgressBar* loginProgress_ = nullptr;
};
