#include "shell/windows/AccountWindowController.h"

#include "core/NotificationCenter.h"
#include "core/UserDefaultConfig.h"
#include "login/AccountManager.h"
#include "shell/windows/SessionNotifications.h"

#include <QtDebug>
#include <algorithm>

AccountWindowController::AccountWindowController(Services services, QObject* parent)
    : QObject(parent)
    , accountManager(services.accountManager ? services.accountManager : AccountManager::getInstance())
    , userDefaultConfig(services.userDefaultConfig ? services.userDefaultConfig : UserDefaultConfig::getInstance())
    , notificationCenter(services.notificationCenter ? services.notificationCenter : NotificationCenter::getInstance())
    , formatter_(new NumberFormatter(this))
{
    formatter_->setMaxLength(kMaxCustomerNumberLength);
}

QStringList AccountWindowController::numbers() const
{
    return accountManager->getAccountArray(0).value_or(QStringList());
}

bool AccountWindowController::addButtonClicked()
{
    const QString number = customerNumberText_;
    // The field's formatter admits only digits; text that reached it another
    // way is not saved (the window shows no message box).
    const bool digits = std::all_of(number.begin(), number.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (!digits || quint64(number.size()) > kMaxCustomerNumberLength) {
        qWarning() << "AccountWindowController: not a customer number, nothing saved";
        return false;
    }
    customerNumberText_.clear();
    // An empty field saves a record without a customer number, which no list
    // shows. Replacing a saved record by a bare one would lose its
    // shareholder accounts and name: an existing record stays as it is.
    auto account = std::make_shared<Account>();
    account->customerNumber = number;
    accountManager->saveAccountIfNew(account);
    emit reloadData();
    return true;
}

void AccountWindowController::deleteButtonClicked(int selectedRow)
{
    const QStringList all = numbers();
    if (selectedRow < 0 || selectedRow >= all.size())
        return;
    accountManager->deleteAccountWithCustomerNumber(all[selectedRow]);
    emit reloadData();
    notificationCenter->postNotification(sessionnotify::kSavedAccountsChanged);
}

void AccountWindowController::removeAllButtonClicked()
{
    accountManager->removeAllAccounts();
    emit reloadData();
    notificationCenter->postNotification(sessionnotify::kSavedAccountsChanged);
}

int AccountWindowController::numberOfRowsInTableView() const { return int(numbers().size()); }

QString AccountWindowController::objectValue(const QString& columnIdentifier, int row) const
{
    const QStringList all = numbers();
    if (row < 0 || row >= all.size())
        return {};
    if (columnIdentifier == QLatin1String(kSortNumberColumn))
        return QString::number(row);
    if (columnIdentifier == QLatin1String(kLoginTypeColumn))
        return loginTypes().constFirst();
    return userDefaultConfig->getProtectedString(all[row]);
}
