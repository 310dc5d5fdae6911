#pragma once

#include "core/IPMacAddressInfo.h"
#include "login/Account.h"
#include "platform/PendingWrites.h"

#include <QSet>
#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <optional>
#include <vector>

class SystemInfo;
namespace platform {
struct Notification;
}

// The saved accounts ("AccountInfo.plist" in the per-user "Config/") and the
// logged-in accounts of this run, one of them active. Another client may save
// accounts in the same file: a save keeps the accounts it stored, and changes
// only those this manager added, replaced or removed. When the trade
// connection is made again, every logged-in prefix gets the device's current
// network address. Main thread only.
class AccountManager : public PublicIPDelegate {
public:
    using AccountPtr = std::shared_ptr<Account>;
    static constexpr char kFileName[] = "AccountInfo.plist";
    static constexpr int32_t kConnectionEstablished = 2; // DMNotificationCenter type
    static constexpr int32_t kTradeConnection = 1;

    static AccountManager* getInstance();
    // Tests: drops the shared manager.
    static void resetInstance();

    // init: loads the file and observes DMNotificationCenter type 2.
    explicit AccountManager(SystemInfo* systemInfo = nullptr);
    ~AccountManager() override;
    AccountManager(const AccountManager&) = delete;
    AccountManager& operator=(const AccountManager&) = delete;

    void reconnectNetwork(const platform::Notification& notification);
    // PublicIPDelegate: the same rewrite with a public address, taken only
    // when it is a valid IP literal.
    void ipMacAddressInfo(IPMacAddressInfo& info, const QString& publicIP) override;
    void ipMacAddressInfo(IPMacAddressInfo& info, const IPMacAddressError& error) override;

    void addAccount(const AccountPtr& account);
    void addActiveAccount(const AccountPtr& account);
    void logoutCurrentActiveAccount();
    void logoutAllAccount();
    static qint64 findItemInArray(const Account& account, const std::vector<AccountPtr>& array);
    bool saveAllAccounts();
    // Saves `account` as a new record: a record of its customer number saved
    // already, here or by another client since this one read the file, stays
    // as it is. False when this manager lists one already or the file cannot
    // be written.
    bool saveAccountIfNew(const AccountPtr& account);
    void deleteAccount(const AccountPtr& account);
    void deleteAccountWithCustomerNumber(const QString& customerNumber);
    void removeAllAccounts();
    quint64 getSavedAccountsCount() const { return accountArray.size(); }
    // getSavedAccountWithIndex:Index: nullptr when the index is not below the count.
    AccountPtr getSavedAccountWithIndex(quint64 index) const;
    void getSavedAccountWithIndex(AccountPtr* out, quint64 index) const;
    void addEntries(const QVariantList& list);
    void initAccountInfoDict();
    // getAccountArray: nullopt (not an empty list) when there is no number of
    // that type or the type is outside 0 to 7.
    std::optional<QStringList> getAccountArray(qint64 type) const;
    // The account's number of one login type (0 to 7); empty when it has none.
    static QString accountNumberOfType(const Account& account, qint64 type);
    QStringList getActiveAccountsInfo() const;
    AccountPtr getActiveLoginAccount() const;
    void setActiveLoginAccount(qint64 index) { activedAccountIndex = index; }
    // The account that was active when addActiveAccount last made another
    // one active; null when none was, or when it has gone since.
    AccountPtr activeBeforeLastAdded() const { return activeBeforeLastAdded_.lock(); }

    qint64 activeAccountIndex() const { return activedAccountIndex; }
    const std::vector<AccountPtr>& savedAccounts() const { return accountArray; }
    const std::vector<AccountPtr>& loginAccounts() const { return loginAccountArray; }
    const QVariantMap& accountInfo() const { return accountInfoDict; }
    static QString filePath();
    // "M:%@|%@|MAC:%@|SN:%@|DN:%@" of the device.
    QString deviceString(const QString& publicIP) const;

private:
    void fixAllPrefixes(const QString& deviceString);
    // The saved records to store over the file's `stored` ones: another
    // client's records stay, this one's changes go in.
    QVariantList mergedRecords(const QVariantList& stored);
    // The saved list as `records` hold it, keeping this one's objects.
    void takeRecords(const QVariantList& records);

    std::vector<AccountPtr> accountArray;
    std::vector<AccountPtr> loginAccountArray;
    QVariantMap accountInfoDict;
    // Customer numbers of the saved accounts this process added or replaced,
    // and removed, since it last wrote the file.
    QSet<QString> changedAccounts_;
    QSet<QString> removedAccounts_;
    // Customer numbers saved as new records: a record the file holds stays.
    QSet<QString> addedIfNew_;
    // A save that could not be made goes again from the run loop or at quit.
    platform::PendingWrite unsaved_ { [this] { return saveAllAccounts(); } };
    qint64 activedAccountIndex = 0;
    std::weak_ptr<Account> activeBeforeLastAdded_;
    SystemInfo* systemInfo;
    // The public address the lookup after the last reconnect found: a login
    // asked before it came back names the one before.
    std::optional<QString> foundPublicIP_;
};
