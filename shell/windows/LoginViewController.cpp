#include "shell/windows/LoginViewController.h"

#include "core/NotificationCenter.h"
#include "core/TypedNumber.h"
#include "core/UserDefaultConfig.h"
#include "login/AccountManager.h"
#include "login/LoginManager.h"
#include "login/OrgInfoManager.h"
#include "shell/windows/SessionNotifications.h"

#include <QPointer>

namespace {

// The account field's filter of each kind: digits for customer codes and
// capital accounts (12), letters and digits for shareholder accounts (10).
constexpr quint64 kAccountMaxLength[LoginViewController::kAccountTypeCount] = { 12, 12, 10, 10, 10, 10, 10, 10 };
bool takesDigitsOnly(int kind) { return kind <= 1; }

// The masked form of a saved number with one character deleted.
bool isMaskedWithOneDeleted(const QString& text)
{
    return text.size() >= 5 && text.mid(text.size() - 5, 4) == QStringLiteral("****");
}

QString padded(QString text, qsizetype length)
{
    while (text.size() < length)
        text.prepend(QLatin1Char('0'));
    return text;
}

} // namespace

LoginViewController::LoginViewController(Services services, QObject* parent)
    : QObject(parent)
    , accountManager(services.accountManager ? services.accountManager : AccountManager::getInstance())
    , orgInfoManager(services.orgInfoManager ? services.orgInfoManager : OrgInfoManager::getInstance())
    , loginManager(services.loginManager ? services.loginManager : LoginManager::getInstance())
    , userDefaultConfig(services.userDefaultConfig ? services.userDefaultConfig : UserDefaultConfig::getInstance())
    , notificationCenter(services.notificationCenter ? services.notificationCenter : NotificationCenter::getInstance())
    , numberFormatter_(new NumberFormatter(this))
    , numberCharFormatter_(new NumberCharFormatter(this))
    , passwordFormatter_(new PasswordFormatter(this))
{
}

LoginViewController::~LoginViewController()
{
    notificationCenter->removeObserver(this);
    wipeSecrets(true);
}

const QStringList& LoginViewController::accountTypeTitles()
{
    static const QStringList titles = { QStringLiteral("客户代码"), QStringLiteral("资金账号"),
        QStringLiteral("深A股东"), QStringLiteral("沪A股东"), QStringLiteral("深B股东"), QStringLiteral("沪B股东"),
        QStringLiteral("股转A股东"), QStringLiteral("股转B股东") };
    return titles;
}

QStringList LoginViewController::securityModeTitles()
{
    return { QStringLiteral("验证码"), QStringLiteral("澄石令") };
}

QString LoginViewController::text(Field field) const
{
    switch (field) {
    case Field::Account:
        return accountText_;
    case Field::Password:
        return passwordText_;
    case Field::IdentifyingCode:
        return identifyingCodeText_;
    case Field::Token:
        return tokenText_;
    }
    return {};
}

QValidator* LoginViewController::accountFormatter() const
{
    if (takesDigitsOnly(accountType_))
        return numberFormatter_;
    return numberCharFormatter_;
}

int LoginViewController::selectItemWithTitle(const std::optional<QString>& title, const QStringList& items)
{
    if (items.isEmpty())
        return -1;
    const qsizetype at = title && !title->isEmpty() ? items.indexOf(*title) : -1;
    return at < 0 ? 0 : int(at);
}

// --- Building the form ---

void LoginViewController::awakeFromNib()
{
    initDepartmentInfo();
    initAccountTypeButton();
    initSecurtitySelectButton();
    initIdentifyingCode();
    initSaveAccountCheck();
    if (!observing_) {
        observing_ = true;
        notificationCenter->addObserver(
            static_cast<QObject*>(this), [this] { updateAccount(); }, sessionnotify::kSavedAccountsChanged);
    }
    const QString last = userDefaultConfig->lastLoginAccount();
    if (!last.isEmpty())
        restoreLastLogin(last);
    emit changed();
}

void LoginViewController::restoreLastLogin(const QString& customerNumber)
{
    // The login is remembered by its customer number, while the kind chosen
    // last may take another number of the customer (a shareholder account):
    // the saved customer's number of that kind comes back, and without one
    // the customer number as a customer code, so what comes back logs in.
    QString number = accountType_ == 0 ? customerNumber : QString();
    for (const AccountManager::AccountPtr& saved : accountManager->savedAccounts()) {
        if (number.isEmpty() && saved && saved->customerNumber == customerNumber)
            number = AccountManager::accountNumberOfType(*saved, accountType_);
    }
    if (number.isEmpty()) {
        accountTypeSelected(0);
        number = customerNumber;
    }
    accountString_ = number;
    accountText_ = userDefaultConfig->getProtectedString(number);
}

void LoginViewController::appLoginComplete()
{
    enabled_ = true;
    awakeFromNib();
    emit focusRequested(firstField());
}

void LoginViewController::initDepartmentInfo()
{
    areas_ = orgInfoManager->getAreaNameArray();
    area_ = selectItemWithTitle(userDefaultConfig->selectedOrgArea(), areas_);
    branches_ = orgInfoManager->getOrgNameArray(areaName());
    branch_ = selectItemWithTitle(userDefaultConfig->selectedOrgName(), branches_);
}

void LoginViewController::initAccountTypeButton()
{
    accountTypeSelected(selectItemWithTitle(userDefaultConfig->selectedAccountType(), accountTypeTitles()));
}

void LoginViewController::initSecurtitySelectButton() { securitySelected(0); }

void LoginViewController::initIdentifyingCode() { loginManager->requestIdentifyingCode(this); }

void LoginViewController::initSaveAccountCheck() { saveAccountChecked_ = userDefaultConfig->doSaveAccount() != 0; }

void LoginViewController::initAccountNumberComboBox()
{
    accountItems_.clear();
    accountItem_ = -1;
    numberFormatter_->setMaxLength(kAccountMaxLength[accountType_]);
    numberCharFormatter_->setMaxLength(kAccountMaxLength[accountType_]);
    for (const QString& number : accountManager->getAccountArray(accountType_).value_or(QStringList()))
        accountItems_ << userDefaultConfig->getProtectedString(number);
}

void LoginViewController::updateAccount()
{
    initAccountNumberComboBox();
    emit changed();
}

void LoginViewController::showBusinessDepartmentOption(bool show)
{
    // The view's form layout closes the 32-point gap of the two rows itself.
    isDepartmentOptionShown_ = show;
}

// --- What the user does ---

void LoginViewController::accountTypeSelected(int index)
{
    if (index < 0 || index >= kAccountTypeCount || busy_)
        return;
    accountType_ = index;
    showBusinessDepartmentOption(index != 0);
    userDefaultConfig->setSelectedAccountType(accountTypeTitles()[index]);
    initAccountNumberComboBox();
    accountString_.reset();
    accountText_.clear();
    wipeSecrets(true);
    emit changed();
}

void LoginViewController::regionOfDepartmentSelected(int index)
{
    if (index < 0 || index >= areas_.size() || busy_)
        return;
    area_ = index;
    userDefaultConfig->setSelectedOrgArea(areas_[index]);
    branches_ = orgInfoManager->getOrgNameArray(areaName());
    branch_ = selectItemWithTitle(userDefaultConfig->selectedOrgName(), branches_);
    emit changed();
}

void LoginViewController::businessDepartmentSelected(int index)
{
    if (index < 0 || index >= branches_.size() || busy_)
        return;
    branch_ = index;
    userDefaultConfig->setSelectedOrgName(branches_[index]);
    emit changed();
}

void LoginViewController::securitySelected(int index)
{
    const QString title = securityModeTitles().value(index, securityModeTitles()[0]);
    tokenLabel_ = title;
    isIdentifyingCodeMode_ = title != QStringLiteral("澄石令");
    if (isIdentifyingCodeMode_)
        wipeText(tokenText_);
    emit changed();
}

void LoginViewController::saveAccountButtonClick(bool checked)
{
    if (!checked) {
        saveAccountChecked_ = false;
        userDefaultConfig->setDoSaveAccount(0);
        emit changed();
        return;
    }
    saveAccountChecked_ = true;
    emit changed();
    AlertRequest warning;
    warning.title = QStringLiteral("警告");
    warning.text = QStringLiteral("账户信息将会以加密的形式保存。");
    warning.alternateButton = QStringLiteral("取消");
    alerts_->runAlert(warning, [this, alive = QPointer<LoginViewController>(this)](int answer) {
        if (!alive)
            return;
        saveAccountChecked_ = answer == 1;
        if (saveAccountChecked_)
            userDefaultConfig->setDoSaveAccount(1);
        emit changed();
    });
}

void LoginViewController::loginButtonClick(bool on)
{
    if (on) {
        // A second press or a held Enter while a login runs sends nothing.
        if (!busy_)
            doLogin();
    } else if (busy_) {
        cancelLogin();
    }
}

void LoginViewController::changeIdentifyingCode()
{
    if (!busy_)
        initIdentifyingCode();
}

void LoginViewController::controlTextDidChange(Field field, const QString& text)
{
    switch (field) {
    case Field::Account:
        accountString_.reset();
        accountItem_ = -1;
        accountText_ = isMaskedWithOneDeleted(text) ? QString() : typednumber::read(text);
        if (accountText_ != text)
            emit changed();
        return;
    case Field::Password:
        wipeText(passwordText_);
        passwordText_ = text;
        return;
    case Field::IdentifyingCode:
        // The captcha and the token are codes: read as typed numbers are,
        // and the field shows what was read.
        identifyingCodeText_ = typednumber::read(text);
        if (identifyingCodeText_ != text)
            emit changed();
        return;
    case Field::Token:
        wipeText(tokenText_);
        tokenText_ = typednumber::read(text);
        if (tokenText_ != text)
            emit changed();
        return;
    }
}

void LoginViewController::accountItemSelected(int index)
{
    if (index < 0 || index >= accountItems_.size())
        return;
    accountItem_ = index;
    accountText_ = accountItems_[index];
    commitAccountField();
    emit changed();
}

void LoginViewController::commitAccountField()
{
    if (accountItem_ < 0) {
        // A masked text keeps the account remembered behind it.
        if (!accountText_.contains(QLatin1Char('*')))
            accountString_ = accountText_;
        return;
    }
    const QStringList numbers = accountManager->getAccountArray(accountType_).value_or(QStringList());
    if (accountItem_ < numbers.size())
        accountString_ = numbers[accountItem_];
}

LoginViewController::Field LoginViewController::controlEditEnd(Field field)
{
    if (field == Field::Account)
        commitAccountField();
    static constexpr Field order[] = { Field::Account, Field::Password, Field::IdentifyingCode, Field::Token };
    int at = 0;
    while (order[at] != field)
        ++at;
    Field next = order[(at + 1) % 4];
    if (next == Field::Token && isIdentifyingCodeMode_)
        next = Field::Account;
    emit focusRequested(next);
    return next;
}

// --- Login ---

bool LoginViewController::checkValid()
{
    const qsizetype typed = accountText_.size();
    std::optional<Field> empty;
    if (accountText_.isEmpty())
        empty = Field::Account;
    else if (passwordText_.isEmpty())
        empty = Field::Password;
    else if (identifyingCodeText_.isEmpty())
        empty = Field::IdentifyingCode;
    else if (!isIdentifyingCodeMode_ && tokenText_.isEmpty())
        empty = Field::Token;
    // A code the login request could not carry (a character, a length) is
    // refused here, naming its field, before anything is sent.
    std::optional<Field> unsendable;
    std::optional<QString> why;
    for (const Field field : { Field::Account, Field::IdentifyingCode, Field::Token }) {
        if (!why && (field != Field::Token || !isIdentifyingCodeMode_)
            && (why = typednumber::problem(fieldTitle(field), text(field))))
            unsendable = field;
    }
    QString message;
    if (empty)
        message = emptyFieldMessage(*empty);
    else if (why)
        message = *why;
    else if (!loginManager->checkNecessaryInfo())
        message = QStringLiteral("您的网卡Mac地址信息获取不到，无法继续进行操作。");
    else if ((accountType_ == 0 && typed <= 10) || (accountType_ == 1 && (typed == 9 || typed == 10)))
        message = QStringLiteral("请输入至少11位客户代码");
    if (message.isEmpty())
        return true;
    showError(message, empty ? empty : unsendable);
    return false;
}

QString LoginViewController::fieldTitle(Field field)
{
    switch (field) {
    case Field::Account:
        return QStringLiteral("账号");
    case Field::Password:
        return QStringLiteral("密码");
    case Field::IdentifyingCode:
        return QStringLiteral("验证码");
    case Field::Token:
        return QStringLiteral("澄石令验证码");
    }
    return {};
}

QString LoginViewController::emptyFieldMessage(Field field)
{
    return QStringLiteral("请输入") + fieldTitle(field);
}

void LoginViewController::showError(const QString& message, std::optional<Field> focusAfter)
{
    // The box takes the keyboard while it is open; once it is read, the
    // customer types on in the field that needs it.
    alerts_->runAlert(AlertRequest::error(message), [self = QPointer(this), focusAfter](int) {
        if (self && focusAfter)
            emit self->focusRequested(*focusAfter);
    });
}

QString LoginViewController::fixAccount(const QString& prefix) const
{
    QString account = accountString_.value_or(accountText_);
    const qsizetype typed = accountText_.size();
    switch (accountType_) {
    case 2:
    case 4:
    case 6:
    case 7:
        if (typed <= 9 && account.size() <= 9)
            account = padded(account, 10);
        break;
    case 3:
    case 5:
        if (typed <= 8 && account.size() <= 8)
            account = padded(account, 9);
        break;
    case 1:
        if (typed <= 8)
            account = prefix + padded(account, 8);
        break;
    default:
        break;
    }
    return account;
}

void LoginViewController::doLogin()
{
    commitAccountField();
    if (!checkValid()) {
        emit changed(); // the login button shows off again
        return;
    }
    const QString account = accountString_.value_or(accountText_);
    QString branchId;
    if (accountType_ == 0 || (accountType_ == 1 && account.size() >= 9))
        branchId = OrgInfoManager::getOrgCodeFromCustomerNumber(account);
    else
        branchId = orgInfoManager->getOrgCode(areaName(), branchName());
    const QString prefix = orgInfoManager->getPrefixCode(areaName(), branchName());
    const QString fixed = fixAccount(prefix);
    // Busy before sending: a request refused at once answers synchronously.
    setLoginStatus(true);
    loginManager->requestTradeLogin(this, fixed, passwordText_, quint32(accountType_), branchId,
        identifyingCodeText_, isIdentifyingCodeMode_ ? QString() : tokenText_);
}

void LoginViewController::setLoginStatus(bool busy)
{
    busy_ = busy;
    emit changed();
}

void LoginViewController::cancelLogin()
{
    const bool loggedIn = loginSucceeded_;
    loginManager->cancelTradeLogin();
    loginSucceeded_ = false;
    setLoginStatus(false);
    // The server took the captcha with the cancelled attempt.
    identifyingCodeText_.clear();
    initIdentifyingCode();
    if (loggedIn)
        emit loginCancelled();
}

void LoginViewController::LoginComplete() { setLoginStatus(false); }

void LoginViewController::resetUI()
{
    wipeSecrets(true);
    emit changed();
    initIdentifyingCode();
}

void LoginViewController::wipeSecrets(bool password)
{
    if (password)
        wipeText(passwordText_);
    identifyingCodeText_.clear();
    wipeText(tokenText_);
}

void LoginViewController::tradeLogin(DataModel*, const QString&, const RDOAccount& info)
{
    loginSucceeded_ = true;
    auto account = std::make_shared<Account>();
    account->initWithRDOAccount(info);
    accountManager->addActiveAccount(account);
    userDefaultConfig->setOrgId(account->organizationCode.value_or(QString()));
    if (saveAccountChecked_) {
        userDefaultConfig->setLastLoginAccount(account->customerNumber);
        accountManager->addAccount(account);
        accountManager->saveAllAccounts();
    } else {
        userDefaultConfig->setLastLoginAccount(QString());
    }
    // The secrets have served; the busy state stays until LoginComplete.
    wipeSecrets(true);
    emit changed();
    notificationCenter->postNotification(sessionnotify::kLoginSucceeded, QVariant::fromValue(account));
}

bool LoginViewController::tradeLogin(DataModel*, const QString&, const CSError& error)
{
    fail(error.domain);
    return true;
}

void LoginViewController::fail(const QString& message)
{
    loginSucceeded_ = false;
    setLoginStatus(false);
    // The password stays; the renewed captcha is what is typed next.
    showError(message, Field::IdentifyingCode);
    initIdentifyingCode();
}

void LoginViewController::identifyingCode(DataModel*, const QString&, const RDOIdentifyingCode& info)
{
    captchaImage_ = info.image().value_or(QImage());
    identifyingCodeText_.clear();
    emit changed();
}

bool LoginViewController::identifyingCode(DataModel*, const QString&, const CSError&)
{
    // The picture shown before belongs to a captcha the server no longer
    // takes: typing it would only be refused.
    captchaImage_ = QImage();
    emit changed();
    return true;
}
