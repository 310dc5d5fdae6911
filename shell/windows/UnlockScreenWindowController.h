#pragma once

#include "login/LoginDataModels.h"
#include "shell/pages/AskedFor.h"
#include "shell/windows/AlertPresenter.h"

#include <QObject>

class AccountManager;
class LoginManager;
class NotificationCenter;
class PasswordFormatter;
class QValidator;
// What UnlockScreenWindowController works with; null ones are the shared instances.
struct UnlockScreenWindowControllerServices {
    AccountManager* accountManager = nullptr;
    LoginManager* loginManager = nullptr;
    NotificationCenter* notificationCenter = nullptr;
};

// The unlock window without its widgets: it asks for the active account's
// trade password and checks it with the identity login on the server. The
// result (configFlag) is 1 only after a confirmed password; closing by any
// way posts type 5 with it. A new one is made for every lock, so the result
// of an earlier lock never carries over. A check asked for one account never
// confirms another: an account change ends it and empties the password.
// Main thread only.
class UnlockScreenWindowController final : public QObject, public IIdentifyLoginDelegate {
    Q_OBJECT
public:
    using Services = UnlockScreenWindowControllerServices;

    explicit UnlockScreenWindowController(Services services = Services(), QObject* parent = nullptr);
    ~UnlockScreenWindowController() override;

    void setAlertPresenter(AlertPresenter* alerts) { alerts_ = alerts ? alerts : AlertPresenter::headless(); }

    // The active account's number with its fourth to ninth characters masked.
    QString customerNumberText() const;
    static QString maskedCustomerNumber(const QString& number);
    // The password field's formatter: the login form's, so that what logs in
    // also unlocks.
    QValidator* passwordFormatter() const;
    void setPassword(const QString& password);
    const QString& password() const { return passwordText_; }
    quint64 configFlag() const { return configFlag_; }
    bool isChecking() const { return checking_; }
    const QString& tip() const { return tip_; }
    void setTip(const QString& tip) { tip_ = tip; }
    const QString& exitButtonTitle() const { return exitTitle_; }
    void setExitButtonTitle(const QString& title) { exitTitle_ = title; }

    // unlockButtonClicked: `on` is the button's state after the click.
    void unlockButtonClicked(bool on);
    void exitButtonClicked();
    // windowWillClose: posts type 5 with configFlag once; answers it.
    quint64 windowWillClose();

    void identifyLogin(DataModel* request, const QString& requestHandle, const RDOAccount& info) override;
    bool identifyLogin(DataModel* request, const QString& requestHandle, const CSError& error) override;

signals:
    void changed();
    void closeRequested();
    // The box of a refused password was closed: the field takes the focus.
    void passwordFocusRequested();

private:
    void startProgress();
    void stopProgress();
    void loginAccountChanged();
    QString activeCustomerNumber() const;

    AccountManager* accountManager;
    LoginManager* loginManager;
    NotificationCenter* notificationCenter;
    AlertPresenter* alerts_ = AlertPresenter::headless();
    PasswordFormatter* formatter_;
    quint64 configFlag_ = 0;
    QString passwordText_;
    QString tip_;
    QString exitTitle_ = QStringLiteral("退出");
    bool checking_ = false;
    bool closed_ = false;
    AskedFor askedFor_; // the account whose confirmation counts now
};
