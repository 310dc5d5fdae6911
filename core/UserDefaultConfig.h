#pragma once

#include "platform/Lifetime.h"
#include "platform/PendingWrites.h"

#include <QMap>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace platform {
class UserDefaults;
}
class NotificationCenter;

// The user's settings and the small facts kept between runs, on the
// platform's user defaults. Text values are stored AES-enciphered under a
// per-installation key ("des_key"), but for "cont_id", the message-centre key
// and an empty last-login account. Lives on the main thread; those who
// follow it without owning it hold it weakly.
class UserDefaultConfig : public platform::Lifetime {
public:
    // Notification types posted on change.
    static constexpr int32_t kQuoteColorTypeChanged = 16;
    static constexpr int32_t kQuoteRefreshTimeChanged = 17;
    static constexpr int32_t kLockScreenTimeChanged = 18;
    static constexpr int32_t kAccountProtectOptionChanged = 19;

    // Refresh and lock settings are table indices; 99999 seconds means never.
    static constexpr double kNever = 99999;
    static constexpr int32_t kDefaultQuoteRefreshTime = 4;
    static constexpr int32_t kDefaultLockScreenTime = 3;

    // The shared table-view classes of the shell register one set each. On
    // registration they get the current values (no reload); on a change each
    // set in turn gets the new value and then reloadTable.
    struct TableViewHooks {
        std::function<void(int32_t)> setOrderColorType;
        std::function<void(int32_t)> setProfitLossColorType;
        std::function<void(bool)> setAccountProtectOption;
        std::function<void()> reloadTable;
    };
    // The security model's default price choices, pushed the same way.
    struct SecurityHooks {
        std::function<void(int32_t)> setDefaultPriceForBuy;
        std::function<void(int32_t)> setDefaultPriceForSell;
    };

    // Made on first call from the main thread; the instance is registered
    // before the start-up posts (types 17, 18), so their observers may call
    // getInstance() again.
    static UserDefaultConfig* getInstance();
    // Tests: drops the instance; the next getInstance() starts anew from the
    // standard user defaults of that moment.
    static void resetInstance();

    UserDefaultConfig(const UserDefaultConfig&) = delete;
    UserDefaultConfig& operator=(const UserDefaultConfig&) = delete;

    void addTableViewHooks(TableViewHooks hooks);
    void setSecurityHooks(SecurityHooks hooks);

    std::optional<QString> userUtid() const;
    // The branch code; "0" when none or empty.
    QString orgId();
    std::optional<QString> orgVersion() const;
    std::optional<QString> menuVersion() const;
    int64_t doSaveAccount() const;
    std::optional<QString> selectedAccountType() const;
    std::optional<QString> selectedOrgArea() const;
    std::optional<QString> selectedOrgName() const;
    // The per-installation key; the saved-accounts store enciphers with it too.
    QString secretKey() const;
    // True when secretKey() is the key the settings file holds: one this
    // store could not write at the start is stored now, or another client's
    // stored since is taken in its place. Nothing enciphered goes to a file
    // before this holds.
    bool storeSecretKey();
    std::optional<QString> contId() const;
    std::optional<QString> selectedMenuTitle() const;
    int32_t quoteColorType() const { return quoteColorType_; }
    int32_t orderColorType() const { return orderColorType_; }
    int32_t plColorType() const { return plColorType_; }
    int32_t buyDefaultType() const { return buyDefaultType_; }
    int32_t sellDefaultType() const { return sellDefaultType_; }
    int32_t quoteRefreshTime() const { return quoteRefreshTime_; }
    int32_t lockScreenTime() const { return lockScreenTime_; }
    QString lastLoginAccount() const;
    bool accountProtectOption() const { return accountProtectOption_; }
    QString lastMessageCenterInfoKey() const;

    void setQuoteColorType(int32_t value);
    void setOrderColorType(int32_t value);
    void setPlColorType(int32_t value);
    void setBuyDefaultType(int32_t value);
    void setSellDefaultType(int32_t value);
    void setQuoteRefreshTime(int32_t value);
    void setLockScreenTime(int32_t value);
    void setAccountProtectOption(bool value);
    // Stored enciphered; an empty text removes the stored key.
    void setUserUtid(const QString& value);
    void setOrgId(const QString& value);
    void setOrgVersion(const QString& value);
    void setMenuVersion(const QString& value);
    void setSelectedMenuTitle(const QString& value);
    void setSelectedAccountType(const QString& value);
    void setSelectedOrgArea(const QString& value);
    void setSelectedOrgName(const QString& value);
    void setDoSaveAccount(int64_t value);
    void setLastLoginAccount(const QString& value);
    void setLastMessageCenterInfoKey(const QString& value);
    void setContId(const QString& value);

    // Seconds for a refresh index 1..9 (else 4.0) and a lock index 1..14 (else 3.0).
    static double getTimeIntervalForRefresh(int32_t index);
    static double getTimeIntervalForLock(int32_t index);
    // With protection on, the 4 characters before the last 2 become "*".
    QString getProtectedString(const QString& text) const;

private:
    UserDefaultConfig();
    void start();

    std::optional<QString> readEnciphered(const QString& key) const;
    // These four are called with the monitor held, but store().
    bool storeKeyLocked();
    void store(const QVariant& value, const QString& key);
    void storeLocked(const QVariant& value, const QString& key);
    void storeEnciphered(const std::optional<QString>& value, const QString& key);
    int32_t readInt32(const QString& key) const;
    void storeText(std::optional<QString>& field, const QString& value, const QString& key);
    std::optional<QString> readField(const std::optional<QString>& field) const;
    void pushTableViews(const std::function<void(const TableViewHooks&)>& push, bool reload);

    platform::UserDefaults* userDefaults;
    std::optional<QString> userUtid_;
    std::optional<QString> orgId_;
    std::optional<QString> orgVersion_;
    std::optional<QString> menuVersion_;
    int64_t doSaveAccount_ = 0;
    std::optional<QString> selectedAccountType_;
    std::optional<QString> selectedOrgArea_;
    std::optional<QString> selectedOrgName_;
    QString secretKey_;
    // Whether the settings file holds secretKey_; until it does, the texts
    // to encipher wait here, by their key.
    bool keyStored_ = false;
    QMap<QString, QString> owed_;
    // The key is stored, and what waited for it, from the run loop or at quit
    // when no setter comes first.
    platform::PendingWrite keyUnsaved_ { [this] { return storeSecretKey(); } };
    std::optional<QString> contId_;
    std::optional<QString> selectedMenuTitle_;
    int32_t quoteColorType_ = 0;
    int32_t orderColorType_ = 0;
    int32_t plColorType_ = 0;
    int32_t buyDefaultType_ = 0;
    int32_t sellDefaultType_ = 0;
    int32_t quoteRefreshTime_ = 0;
    int32_t lockScreenTime_ = 0;
    QString lastLoginAccount_;
    bool accountProtectOption_ = false;
    QString lastMessageCenterInfoKey_;
    const QString regularKey;
    NotificationCenter* notificationCenter;

    // Guards the text fields (the object's monitor).
    mutable std::mutex monitor_;
    std::vector<TableViewHooks> tableViewHooks_;
    SecurityHooks securityHooks_;
};
