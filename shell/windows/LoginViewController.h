#pragma once

#include "login/LoginDataModels.h"
#include "shell/formatters/NumberCharFormatter.h"
#include "shell/formatters/NumberFormatter.h"
#include "shell/windows/AlertPresenter.h"
#include "shell/windows/PasswordFormatter.h"

#include <QImage>
#include <QObject>
#include <QStringList>
#include <optional>

class AccountManager;
class LoginManager;
class NotificationCenter;
class OrgInfoManager;
class UserDefaultConfig;
// What LoginViewController works with; null ones are the shared instances.
struct LoginViewControllerServices {
    AccountManager* accountManager = nullptr;
    OrgInfoManager* orgInfoManager = nullptr;
    LoginManager* loginManager = nullptr;
    UserDefaultConfig* userDefaultConfig = nullptr;
    NotificationCenter* notificationCenter = nullptr;
};

// The login form without its widgets: account kind, area and branch, account
// (with the saved accounts behind a masked list), password, captcha and
// token, the save box, validation, short-account completion and the trade
// login. The view shows its state after changed() and forwards every edit
// and click. Main thread only.
class LoginViewController final : public QObject, public ITradeLoginDelegate, public IIdentifyingCodeDelegate {
    Q_OBJECT
public:
    using Services = LoginViewControllerServices;
    enum class Field { Account, Password, IdentifyingCode, Token };
    static constexpr int kAccountTypeCount = 8;
    static constexpr double kDepartmentRowHeight = 32.0;

    // Null services are the shared instances.
    explicit LoginViewController(Services services = Services(), QObject* parent = nullptr);
    ~LoginViewController() override;

    void setAlertPresenter(AlertPresenter* alerts) { alerts_ = alerts ? alerts : AlertPresenter::headless(); }

    // awakeFromNib: builds the form; appLoginComplete builds it again once
    // the branch list and the menu are current, and enables it.
    void awakeFromNib();
    void appLoginComplete();
    // LoginComplete: ends the busy state after a successful login.
    void LoginComplete();
    // resetUI: empties the secret fields and asks for a new captcha.
    void resetUI();
    void cancelLogin();

    // What the user does.
    void accountTypeSelected(int index);
    void regionOfDepartmentSelected(int index);
    void businessDepartmentSelected(int index);
    void securitySelected(int index);
    void saveAccountButtonClick(bool checked);
    void loginButtonClick(bool on);
    void changeIdentifyingCode();
    // controlTextDidChange: the user edited a field.
    void controlTextDidChange(Field field, const QString& text);
    // An item of the saved-accounts list was chosen.
    void accountItemSelected(int index);
    // controlEditEnd: answers the field that takes the focus next.
    Field controlEditEnd(Field field);

    // State the view shows.
    static const QStringList& accountTypeTitles();
    static QStringList securityModeTitles();
    int selectedAccountType() const { return accountType_; }
    const QStringList& areaNames() const { return areas_; }
    int selectedArea() const { return area_; }
    const QStringList& branchNames() const { return branches_; }
    int selectedBranch() const { return branch_; }
    const QStringList& accountItems() const { return accountItems_; }
    QString text(Field field) const;
    QString accountLabel() const { return accountTypeTitles().value(accountType_) + QStringLiteral("："); }
    QString tokenLabel() const { return tokenLabel_; }
    bool isIdentifyingCodeMode() const { return isIdentifyingCodeMode_; }
    bool isDepartmentOptionShown() const { return isDepartmentOptionShown_; }
    bool isSaveAccountChecked() const { return saveAccountChecked_; }
    bool isBusy() const { return busy_; }
    bool loginSucceeded() const { return loginSucceeded_; }
    bool isEnabled() const { return enabled_; }
    // Where the customer types first: the password when the account is known.
    Field firstField() const { return accountText_.isEmpty() ? Field::Account : Field::Password; }
    const QImage& identifyingCodeImage() const { return captchaImage_; }
    static QString identifyingCodeToolTip() { return QStringLiteral("看不清，点击更换"); }
    // The real account behind the account field; none after the user typed.
    const std::optional<QString>& accountString() const { return accountString_; }
    QValidator* accountFormatter() const;
    QValidator* passwordFormatter() const { return passwordFormatter_; }

    // checkValid: shows the first failure in an error box.
    bool checkValid();
    // A field as its messages name it.
    static QString fieldTitle(Field field);
    // fixAccount: the account text to send, completed with the branch prefix.
    QString fixAccount(const QString& prefix) const;

    // ITradeLoginDelegate, IIdentifyingCodeDelegate
    void tradeLogin(DataModel* request, const QString& requestHandle, const RDOAccount& info) override;
    bool tradeLogin(DataModel* request, const QString& requestHandle, const CSError& error) override;
    void identifyingCode(DataModel* request, const QString& requestHandle, const RDOIdentifyingCode& info) override;
    bool identifyingCode(DataModel* request, const QString& requestHandle, const CSError& error) override;

signals:
    void changed();
    // The field that takes the focus: after editing ended in another one,
    // where the customer types first once the form is usable, and the one an
    // error box asked for once it is closed.
    void focusRequested(LoginViewController::Field field);
    // The customer cancelled a login the server had already taken (the
    // session was still checking it): the account must not stay logged in.
    void loginCancelled();

private:
    void initDepartmentInfo();
    void initAccountTypeButton();
    void initSecurtitySelectButton();
    void initIdentifyingCode();
    void initSaveAccountCheck();
    void initAccountNumberComboBox();
    void updateAccount();
    void restoreLastLogin(const QString& customerNumber);
    void showBusinessDepartmentOption(bool show);
    void doLogin();
    void commitAccountField();
    void setLoginStatus(bool busy);
    void fail(const QString& message);
    void wipeSecrets(bool password);
    QString areaName() const { return areas_.value(area_); }
    QString branchName() const { return branches_.value(branch_); }
    // An error box; once it is closed, the field takes the focus.
    void showError(const QString& message, std::optional<Field> focusAfter);
    static QString emptyFieldMessage(Field field);
    static int selectItemWithTitle(const std::optional<QString>& title, const QStringList& items);

    AccountManager* accountManager;
    OrgInfoManager* orgInfoManager;
    LoginManager* loginManager;
    UserDefaultConfig* userDefaultConfig;
    NotificationCenter* notificationCenter;
    AlertPresenter* alerts_ = AlertPresenter::headless();

    bool isDepartmentOptionShown_ = true;
    std::optional<QString> accountString_;
    bool isIdentifyingCodeMode_ = true;
    bool loginSucceeded_ = false;
    bool busy_ = false;
    bool enabled_ = false;
    bool observing_ = false;
    int accountType_ = 0;
    QStringList areas_;
    int area_ = -1;
    QStringList branches_;
    int branch_ = -1;
    QStringList accountItems_;
    int accountItem_ = -1; // the list item shown in the account field, -1 when typed
    QString accountText_;
    QString passwordText_;
    QString identifyingCodeText_;
    QString tokenText_;
    QString tokenLabel_;
    bool saveAccountChecked_ = false;
    QImage captchaImage_;
    NumberFormatter* numberFormatter_;
    NumberCharFormatter* numberCharFormatter_;
    PasswordFormatter* passwordFormatter_;
};
