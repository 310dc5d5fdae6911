#include "login/AccountManager.h"

#include "core/DMNotificationCenter.h"
#include "core/RequestLedger.h"
#include "core/SystemInfo.h"
#include "core/UserDefaultConfig.h"
#include "login/CommonUrl.h"
#include "login/SharedInstance.h"
#include "platform/NotificationCenter.h"
#include "platform/PropertyList.h"
#include "platform/UserFolder.h"

#include <QHostAddress>
#include <QtDebug>
#include <algorithm>

namespace {

std::unique_ptr<AccountManager> instance;

// A request goes out for the shared manager's active account.
std::shared_ptr<const void> activeSender()
{
    return instance ? instance->getActiveLoginAccount() : nullptr;
}

const QString kAccountList = QStringLiteral("accountList");

// A public address the lookup gave us, if it is one.
bool isIPLiteral(const QString& text)
{
    QHostAddress address;
    return !text.isEmpty() && address.setAddress(text);
}

} // namespace

AccountManager* AccountManager::getInstance()
{
    return sharedInstanceIn(instance);
}

void AccountManager::resetInstance()
{
    instance.reset();
}

AccountManager::AccountManager(SystemInfo* systemInfo)
    : systemInfo(systemInfo ? systemInfo : SystemInfo::getInstance())
{
    initAccountInfoDict();
    RequestLedger::setSenderSource(&activeSender);
    DMNotificationCenter::getInstance()->addObserver(
        this, &AccountManager::reconnectNetwork, kConnectionEstablished);
}

AccountManager::~AccountManager()
{
    DMNotificationCenter::getInstance()->removeObserver(this);
}

QString AccountManager::filePath()
{
    return platform::UserFolder::configFilePath(QString::fromLatin1(kFileName));
}

QString AccountManager::deviceString(const QString& publicIP) const
{
    return QStringLiteral("M:%1|%2|MAC:%3|SN:%4|DN:%5")
        .arg(systemInfo->ipAddress().value_or(QString()), publicIP,
            systemInfo->macAddress().value_or(QString()), systemInfo->serialNumber().value_or(QString()),
            systemInfo->diskSerialNumber());
}

void AccountManager::fixAllPrefixes(const QString& device)
{
    for (const AccountPtr& account : loginAccountArray) {
        if (account)
            account->fixIPInfo(device);
    }
}

void AccountManager::reconnectNetwork(const platform::Notification& notification)
{
    if (notification.object.toInt() != kTradeConnection)
        return;
    // The address the reset's lookup finds later comes to ipMacAddressInfo.
    IPMacAddressInfo::sharedInstance()->setDelegate(this);
    foundPublicIP_.reset();
    systemInfo->resetInfo();
    const QString local = systemInfo->ipAddress().value_or(QString());
    const std::optional<QString> published = systemInfo->publicIPAddress();
    const QString publicIP = published && isIPLiteral(*published) ? *published : local;
    fixAllPrefixes(deviceString(publicIP));
}

void AccountManager::ipMacAddressInfo(IPMacAddressInfo&, const QString& publicIP)
{
    if (!isIPLiteral(publicIP))
        return;
    foundPublicIP_ = publicIP;
    fixAllPrefixes(deviceString(publicIP));
}

void AccountManager::ipMacAddressInfo(IPMacAddressInfo&, const IPMacAddressError&)
{
}

void AccountManager::addAccount(const AccountPtr& account)
{
    if (!account)
        return;
    const qint64 at = findItemInArray(*account, accountArray);
    if (at >= 0)
        accountArray[size_t(at)] = account;
    else
        accountArray.push_back(account);
    changedAccounts_.insert(account->customerNumber);
    removedAccounts_.remove(account->customerNumber);
    addedIfNew_.remove(account->customerNumber);
}

void AccountManager::addActiveAccount(const AccountPtr& account)
{
    if (!account)
        return;
    activeBeforeLastAdded_ = getActiveLoginAccount();
    qint64 at = findItemInArray(*account, loginAccountArray);
    if (at >= 0) {
        loginAccountArray[size_t(at)] = account;
    } else {
        loginAccountArray.push_back(account);
        at = qint64(loginAccountArray.size()) - 1;
    }
    activedAccountIndex = at;
    // Its login may have been asked with the address before the one found
    // since; the network address's second field is the public one.
    if (foundPublicIP_) {
        const QString sent = commonurl::firstValue(account->commonUrlString, QStringLiteral("netaddr"))
                                 .value_or(QString())
                                 .section(QLatin1Char('|'), 1, 1);
        if (sent != *foundPublicIP_)
            account->fixIPInfo(deviceString(*foundPublicIP_));
    }
}

void AccountManager::logoutCurrentActiveAccount()
{
    if (activedAccountIndex >= 0 && quint64(activedAccountIndex) < loginAccountArray.size())
        loginAccountArray.erase(loginAccountArray.begin() + activedAccountIndex);
}

void AccountManager::logoutAllAccount()
{
    loginAccountArray.clear();
    activedAccountIndex = -1;
}

qint64 AccountManager::findItemInArray(const Account& account, const std::vector<AccountPtr>& array)
{
    for (size_t i = 0; i < array.size(); ++i) {
        if (array[i] && array[i]->customerNumber == account.customerNumber)
            return qint64(i);
    }
    return -1;
}

QVariantList AccountManager::mergedRecords(const QVariantList& stored)
{
    QVariantList records;
    QSet<QString> placed;
    // This manager's record of an account, once.
    const auto ours = [&](const QString& customerNumber) -> QVariantList {
        const auto it = std::find_if(accountArray.begin(), accountArray.end(),
            [&](const AccountPtr& a) { return a && a->customerNumber == customerNumber; });
        if (it == accountArray.end() || placed.contains(customerNumber))
            return {};
        placed.insert(customerNumber);
        return { (*it)->getDictObject() };
    };
    for (const QVariant& record : stored) {
        if (record.typeId() != QMetaType::QVariantMap)
            continue; // no account: it goes, as when the file is read
        Account read;
        read.initWithDict(record.toMap());
        const QString& customerNumber = read.customerNumber;
        if (removedAccounts_.contains(customerNumber))
            continue;
        if (changedAccounts_.contains(customerNumber)) {
            records << ours(customerNumber);
        } else {
            records << record;
            placed.insert(customerNumber);
        }
    }
    // This manager's new accounts after the file's, in its own order.
    for (const AccountPtr& account : accountArray) {
        if (account
            && (changedAccounts_.contains(account->customerNumber)
                || addedIfNew_.contains(account->customerNumber)))
            records << ours(account->customerNumber);
    }
    return records;
}

void AccountManager::takeRecords(const QVariantList& records)
{
    std::vector<AccountPtr> saved;
    for (const QVariant& record : records) {
        auto account = std::make_shared<Account>();
        account->initWithDict(record.toMap());
        // A record kept over this one's new one is taken as stored.
        const qint64 at
            = addedIfNew_.contains(account->customerNumber) ? -1 : findItemInArray(*account, accountArray);
        saved.push_back(at >= 0 ? accountArray[size_t(at)] : std::move(account));
    }
    accountArray = std::move(saved);
}

bool AccountManager::saveAllAccounts()
{
    // Records go enciphered with the installation key the settings hold, or
    // wait: under another they would not read at the next start.
    if (!UserDefaultConfig::getInstance()->storeSecretKey()) {
        qWarning() << "AccountManager: the installation key cannot be stored; the accounts wait in memory";
        unsaved_.setOwed(true);
        return false;
    }
    QVariantList records;
    for (const AccountPtr& account : accountArray) {
        if (account)
            records << account->getDictObject();
    }
    const std::optional<QVariantMap> written
        = platform::PropertyList::updateFile(filePath(), [&](const std::optional<QVariantMap>& stored) {
              // A file that is missing or unreadable holds no other client's accounts.
              QVariantMap document = stored ? *stored : accountInfoDict;
              document.insert(
                  kAccountList, stored ? mergedRecords(stored->value(kAccountList).toList()) : records);
              return platform::PropertyList::cleanedForWriting(document).toMap();
          });
    if (!written) {
        qWarning() << "AccountManager: cannot write" << filePath();
        unsaved_.setOwed(true);
        return false;
    }
    accountInfoDict = *written;
    takeRecords(accountInfoDict.value(kAccountList).toList());
    changedAccounts_.clear();
    removedAccounts_.clear();
    addedIfNew_.clear();
    unsaved_.setOwed(false);
    return true;
}

bool AccountManager::saveAccountIfNew(const AccountPtr& account)
{
    if (!account || findItemInArray(*account, accountArray) >= 0)
        return false;
    accountArray.push_back(account);
    addedIfNew_.insert(account->customerNumber);
    removedAccounts_.remove(account->customerNumber);
    return saveAllAccounts();
}

void AccountManager::deleteAccount(const AccountPtr& account)
{
    if (account && std::erase(accountArray, account) > 0) {
        removedAccounts_.insert(account->customerNumber);
        changedAccounts_.remove(account->customerNumber);
        addedIfNew_.remove(account->customerNumber);
    }
    saveAllAccounts();
}

void AccountManager::deleteAccountWithCustomerNumber(const QString& customerNumber)
{
    for (auto it = accountArray.begin(); it != accountArray.end(); ++it) {
        if (*it && (*it)->customerNumber == customerNumber) {
            accountArray.erase(it);
            removedAccounts_.insert(customerNumber);
            changedAccounts_.remove(customerNumber);
            addedIfNew_.remove(customerNumber);
            break;
        }
    }
    saveAllAccounts();
}

void AccountManager::removeAllAccounts()
{
    // The accounts this manager shows: one another client saved since stays.
    for (const AccountPtr& account : accountArray) {
        if (account)
            removedAccounts_.insert(account->customerNumber);
    }
    changedAccounts_.clear();
    addedIfNew_.clear();
    accountArray.clear();
    saveAllAccounts();
}

AccountManager::AccountPtr AccountManager::getSavedAccountWithIndex(quint64 index) const
{
    return index < accountArray.size() ? accountArray[size_t(index)] : nullptr;
}

void AccountManager::getSavedAccountWithIndex(AccountPtr* out, quint64 index) const
{
    if (out)
        *out = getSavedAccountWithIndex(index);
}

void AccountManager::addEntries(const QVariantList& list)
{
    accountArray.clear();
    for (const QVariant& entry : list) {
        if (entry.typeId() != QMetaType::QVariantMap)
            continue;
        auto account = std::make_shared<Account>();
        account->initWithDict(entry.toMap());
        accountArray.push_back(std::move(account));
    }
}

void AccountManager::initAccountInfoDict()
{
    const std::optional<QVariant> document = platform::PropertyList::readFile(filePath());
    if (!document || document->typeId() != QMetaType::QVariantMap) {
        accountInfoDict = QVariantMap();
        return;
    }
    accountInfoDict = document->toMap();
    if (accountInfoDict.contains(kAccountList))
        addEntries(accountInfoDict.value(kAccountList).toList());
}

QString AccountManager::accountNumberOfType(const Account& account, qint64 type)
{
    static constexpr QString Account::*kFields[] = { &Account::customerNumber, &Account::zj_account,
        &Account::gd_ShenA_account, &Account::gd_HuA_account, &Account::gd_ShenB_account,
        &Account::gd_HuB_account, &Account::gd_3BanA_account, &Account::gd_3BanB_account };
    if (type < 0 || type > 7)
        return QString();
    return account.*kFields[type];
}

std::optional<QStringList> AccountManager::getAccountArray(qint64 type) const
{
    if (type < 0 || type > 7)
        return std::nullopt;
    QStringList numbers;
    for (const AccountPtr& account : accountArray) {
        const QString value = accountNumberOfType(*account, type);
        if (!value.isEmpty())
            numbers << value;
    }
    if (numbers.isEmpty())
        return std::nullopt;
    return numbers;
}

QStringList AccountManager::getActiveAccountsInfo() const
{
    QStringList lines;
    for (const AccountPtr& account : loginAccountArray)
        lines << account->getAccountInfo();
    return lines;
}

AccountManager::AccountPtr AccountManager::getActiveLoginAccount() const
{
    if (activedAccountIndex < 0 || quint64(activedAccountIndex) >= loginAccountArray.size())
        return nullptr;
    return loginAccountArray[size_t(activedAccountIndex)];
}
