#include "core/UserDefaultConfig.h"

#include "comm/crypto/AesEncryption.h"
#include "core/NotificationCenter.h"
#include "platform/Crypto.h"
#include "platform/UserDefaults.h"

#include <QUuid>
#include <QtDebug>
#include <array>
#include <limits>
#include <memory>
#include <utility>

namespace {

const QString kDesKey = QStringLiteral("des_key");
const QString kUserUtid = QStringLiteral("user_utid");
const QString kDoSaveAccount = QStringLiteral("do_save_account");
const QString kOrgId = QStringLiteral("org_id");
const QString kOrgVersion = QStringLiteral("org_version");
const QString kMenuVersion = QStringLiteral("menu_version");
const QString kSelMenuTitle = QStringLiteral("sel_menu_title");
const QString kSelAccountType = QStringLiteral("sel_account_type");
const QString kSelOrgArea = QStringLiteral("sel_org_area");
const QString kSelOrgName = QStringLiteral("sel_org_name");
const QString kQuoteColorType = QStringLiteral("quote_color_type");
const QString kOrderColorType = QStringLiteral("order_color_type");
const QString kPlColorType = QStringLiteral("pl_color_type");
const QString kAccountProtectOption = QStringLiteral("account_protect_option");
const QString kBuyDefaultPrice = QStringLiteral("buy_default_price");
const QString kSellDefaultPrice = QStringLiteral("sell_default_price");
const QString kQuoteRefreshTime = QStringLiteral("quote_refresh_time");
const QString kLockScreenTime = QStringLiteral("lock_screen_time");
const QString kLastMessageCenterInfoKey = QStringLiteral("last_message_center_info_key");
const QString kLastLoginAccount = QStringLiteral("last_login_account");
const QString kContId = QStringLiteral("cont_id");

const QString kNoMessageCenterKey = QStringLiteral("0|0");

// The fixed master key under which only "des_key" is stored.
constexpr char kRegularKey[] = "5C1A9E07B3D24F68A0E9712C4B86D3F0";

constexpr std::array<double, 9> kRefreshSeconds { UserDefaultConfig::kNever, 1, 2, 3, 5, 10, 20, 30, 60 };
constexpr std::array<double, 14> kLockSeconds { UserDefaultConfig::kNever, 5, 10, 20, 30, 60, 120, 180, 240,
    300, 600, 1200, 1800, 3600 };

std::unique_ptr<UserDefaultConfig> instance;

// A random (version 4) UUID in its upper-case 36-character form, from OpenSSL's generator.
QString newInstallationKey()
{
    auto bytes = platform::randomBytes(16);
    if (!bytes) {
        qWarning("UserDefaultConfig: no random bytes for the installation key; using the system UUID");
        return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    }
    (*bytes)[6] = static_cast<char>((static_cast<quint8>(bytes->at(6)) & 0x0F) | 0x40);
    (*bytes)[8] = static_cast<char>((static_cast<quint8>(bytes->at(8)) & 0x3F) | 0x80);
    const QUuid uuid = QUuid::fromRfc4122(*bytes);
    platform::secureWipe(*bytes);
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

// The installation key a stored "des_key" holds, if it reads.
std::optional<QString> keyOf(const QVariant& stored, const QString& regularKey)
{
    if (stored.typeId() != QMetaType::QString)
        return std::nullopt;
    auto key = AesEncryption::decodeStringWithAES(stored.toString(), regularKey);
    return key && !key->isEmpty() ? key : std::nullopt;
}

} // namespace

UserDefaultConfig* UserDefaultConfig::getInstance()
{
    if (!instance) {
        instance.reset(new UserDefaultConfig());
        instance->start();
    }
    return instance.get();
}

void UserDefaultConfig::resetInstance()
{
    instance.reset();
}

UserDefaultConfig::UserDefaultConfig()
    : userDefaults(&platform::UserDefaults::standardUserDefaults())
    , regularKey(QString::fromLatin1(kRegularKey))
    , notificationCenter(NotificationCenter::getInstance())
{
    // The per-installation key, made once: one that reads is never replaced.
    if (std::optional<QString> key = keyOf(userDefaults->objectForKey(kDesKey), regularKey)) {
        secretKey_ = *key;
        keyStored_ = true;
    } else {
        secretKey_ = newInstallationKey();
        storeKeyLocked();
    }

    userUtid_ = readEnciphered(kUserUtid);
    doSaveAccount_ = userDefaults->integerForKey(kDoSaveAccount);
    orgId_ = readEnciphered(kOrgId);
    orgVersion_ = readEnciphered(kOrgVersion);
    menuVersion_ = readEnciphered(kMenuVersion);
    selectedMenuTitle_ = readEnciphered(kSelMenuTitle);
    selectedAccountType_ = readEnciphered(kSelAccountType);
    selectedOrgArea_ = readEnciphered(kSelOrgArea);
    selectedOrgName_ = readEnciphered(kSelOrgName);
    quoteColorType_ = readInt32(kQuoteColorType);
    orderColorType_ = readInt32(kOrderColorType);
    plColorType_ = readInt32(kPlColorType);
    accountProtectOption_ = userDefaults->boolForKey(kAccountProtectOption);
    buyDefaultType_ = readInt32(kBuyDefaultPrice);
    sellDefaultType_ = readInt32(kSellDefaultPrice);
    quoteRefreshTime_ = readInt32(kQuoteRefreshTime);
    lockScreenTime_ = readInt32(kLockScreenTime);

    const auto messageKey = userDefaults->stringForKey(kLastMessageCenterInfoKey);
    lastMessageCenterInfoKey_ = (messageKey && !messageKey->isEmpty()) ? *messageKey : kNoMessageCenterKey;

    const auto account = userDefaults->stringForKey(kLastLoginAccount);
    if (account && !account->isEmpty())
        lastLoginAccount_ = AesEncryption::decodeStringWithAES(*account, secretKey_).value_or(QString());
}

void UserDefaultConfig::start()
{
    // Through the setters, so the defaults are stored and announced.
    if (quoteRefreshTime_ == 0)
        setQuoteRefreshTime(kDefaultQuoteRefreshTime);
    if (lockScreenTime_ == 0)
        setLockScreenTime(kDefaultLockScreenTime);
}

std::optional<QString> UserDefaultConfig::readEnciphered(const QString& key) const
{
    const auto stored = userDefaults->stringForKey(key);
    if (!stored || stored->isEmpty())
        return std::nullopt;
    // A value that does not decipher (e.g. under an older key) reads as absent.
    return AesEncryption::decodeStringWithAES(*stored, secretKey_);
}

bool UserDefaultConfig::storeKeyLocked()
{
    if (keyStored_)
        return true;
    const auto enciphered = AesEncryption::encodeStringWithAES(secretKey_, regularKey);
    if (!enciphered) {
        qWarning("UserDefaultConfig: the installation key cannot be stored");
        return false;
    }
    // Another client started on this folder may have stored its key since:
    // that one is taken, so that what either enciphers reads.
    const std::optional<QVariant> held = userDefaults->keepOrSetObject(*enciphered, kDesKey,
        [this](const QVariant& stored) { return keyOf(stored, regularKey).has_value(); });
    if (!held) {
        keyUnsaved_.setOwed(true);
        return false;
    }
    keyStored_ = true;
    keyUnsaved_.setOwed(false);
    secretKey_ = keyOf(*held, regularKey).value_or(secretKey_);
    // What waited for the key goes now, enciphered with the one the file holds.
    const QMap<QString, QString> owed = std::exchange(owed_, {});
    for (auto it = owed.cbegin(); it != owed.cend(); ++it)
        storeEnciphered(*it, it.key());
    return true;
}

bool UserDefaultConfig::storeSecretKey()
{
    std::lock_guard lock(monitor_);
    return storeKeyLocked();
}

void UserDefaultConfig::store(const QVariant& value, const QString& key)
{
    std::lock_guard lock(monitor_);
    storeLocked(value, key);
}

void UserDefaultConfig::storeLocked(const QVariant& value, const QString& key)
{
    // A write takes along what waits for the installation key, when it can.
    storeKeyLocked();
    userDefaults->setObject(value, key);
}

void UserDefaultConfig::storeEnciphered(const std::optional<QString>& value, const QString& key)
{
    owed_.remove(key);
    if (!value || value->isEmpty()) {
        userDefaults->removeObject(key);
        return;
    }
    // Never enciphered with a key the file does not hold: it would not read
    // at the next start. It waits in memory.
    if (!storeKeyLocked()) {
        owed_.insert(key, *value);
        return;
    }
    if (const auto enciphered = AesEncryption::encodeStringWithAES(*value, secretKey_))
        userDefaults->setString(*enciphered, key);
    else
        userDefaults->removeObject(key);
}

int32_t UserDefaultConfig::readInt32(const QString& key) const
{
    const qint64 value = userDefaults->integerForKey(key);
    // A value no setter could have written reads as absent.
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return 0;
    return static_cast<int32_t>(value);
}

void UserDefaultConfig::storeText(std::optional<QString>& field, const QString& value, const QString& key)
{
    std::lock_guard lock(monitor_);
    field = value;
    storeEnciphered(field, key);
}

std::optional<QString> UserDefaultConfig::readField(const std::optional<QString>& field) const
{
    std::lock_guard lock(monitor_);
    return field;
}

void UserDefaultConfig::pushTableViews(const std::function<void(const TableViewHooks&)>& push, bool reload)
{
    for (const TableViewHooks& hooks : tableViewHooks_) {
        push(hooks);
        if (reload && hooks.reloadTable)
            hooks.reloadTable();
    }
}

void UserDefaultConfig::addTableViewHooks(TableViewHooks hooks)
{
    if (hooks.setOrderColorType)
        hooks.setOrderColorType(orderColorType_);
    if (hooks.setProfitLossColorType)
        hooks.setProfitLossColorType(plColorType_);
    if (hooks.setAccountProtectOption)
        hooks.setAccountProtectOption(accountProtectOption_);
    tableViewHooks_.push_back(std::move(hooks));
}

void UserDefaultConfig::setSecurityHooks(SecurityHooks hooks)
{
    securityHooks_ = std::move(hooks);
    if (securityHooks_.setDefaultPriceForBuy)
        securityHooks_.setDefaultPriceForBuy(buyDefaultType_);
    if (securityHooks_.setDefaultPriceForSell)
        securityHooks_.setDefaultPriceForSell(sellDefaultType_);
}

std::optional<QString> UserDefaultConfig::userUtid() const
{
    return readField(userUtid_);
}

QString UserDefaultConfig::orgId()
{
    std::lock_guard lock(monitor_);
    if (!orgId_ || orgId_->isEmpty())
        orgId_ = QStringLiteral("0");
    return *orgId_;
}

std::optional<QString> UserDefaultConfig::orgVersion() const
{
    return readField(orgVersion_);
}

std::optional<QString> UserDefaultConfig::menuVersion() const
{
    return readField(menuVersion_);
}

int64_t UserDefaultConfig::doSaveAccount() const
{
    std::lock_guard lock(monitor_);
    return doSaveAccount_;
}

std::optional<QString> UserDefaultConfig::selectedAccountType() const
{
    return readField(selectedAccountType_);
}

std::optional<QString> UserDefaultConfig::selectedOrgArea() const
{
    return readField(selectedOrgArea_);
}

std::optional<QString> UserDefaultConfig::selectedOrgName() const
{
    return readField(selectedOrgName_);
}

QString UserDefaultConfig::secretKey() const
{
    std::lock_guard lock(monitor_);
    return secretKey_;
}

std::optional<QString> UserDefaultConfig::contId() const
{
    return readField(contId_);
}

std::optional<QString> UserDefaultConfig::selectedMenuTitle() const
{
    return readField(selectedMenuTitle_);
}

QString UserDefaultConfig::lastLoginAccount() const
{
    std::lock_guard lock(monitor_);
    return lastLoginAccount_;
}

QString UserDefaultConfig::lastMessageCenterInfoKey() const
{
    std::lock_guard lock(monitor_);
    return lastMessageCenterInfoKey_;
}

void UserDefaultConfig::setQuoteColorType(int32_t value)
{
    if (value == quoteColorType_)
        return;
    quoteColorType_ = value;
    store(value, kQuoteColorType);
    notificationCenter->postNotification(kQuoteColorTypeChanged);
}

void UserDefaultConfig::setOrderColorType(int32_t value)
{
    if (value == orderColorType_)
        return;
    orderColorType_ = value;
    store(value, kOrderColorType);
    pushTableViews(
        [value](const TableViewHooks& h) {
            if (h.setOrderColorType)
                h.setOrderColorType(value);
        },
        true);
}

void UserDefaultConfig::setPlColorType(int32_t value)
{
    if (value == plColorType_)
        return;
    plColorType_ = value;
    store(value, kPlColorType);
    pushTableViews(
        [value](const TableViewHooks& h) {
            if (h.setProfitLossColorType)
                h.setProfitLossColorType(value);
        },
        true);
}

void UserDefaultConfig::setBuyDefaultType(int32_t value)
{
    if (value == buyDefaultType_)
        return;
    buyDefaultType_ = value;
    store(value, kBuyDefaultPrice);
    if (securityHooks_.setDefaultPriceForBuy)
        securityHooks_.setDefaultPriceForBuy(value);
}

void UserDefaultConfig::setSellDefaultType(int32_t value)
{
    if (value == sellDefaultType_)
        return;
    sellDefaultType_ = value;
    store(value, kSellDefaultPrice);
    if (securityHooks_.setDefaultPriceForSell)
        securityHooks_.setDefaultPriceForSell(value);
}

void UserDefaultConfig::setQuoteRefreshTime(int32_t value)
{
    if (value == quoteRefreshTime_)
        return;
    quoteRefreshTime_ = value;
    store(value, kQuoteRefreshTime);
    notificationCenter->postNotification(kQuoteRefreshTimeChanged);
}

void UserDefaultConfig::setLockScreenTime(int32_t value)
{
    if (value == lockScreenTime_)
        return;
    lockScreenTime_ = value;
    store(value, kLockScreenTime);
    notificationCenter->postNotification(kLockScreenTimeChanged);
}

void UserDefaultConfig::setAccountProtectOption(bool value)
{
    if (value == accountProtectOption_)
        return;
    accountProtectOption_ = value;
    store(value, kAccountProtectOption);
    pushTableViews(
        [value](const TableViewHooks& h) {
            if (h.setAccountProtectOption)
                h.setAccountProtectOption(value);
        },
        true);
    notificationCenter->postNotification(kAccountProtectOptionChanged);
}

void UserDefaultConfig::setUserUtid(const QString& value)
{
    storeText(userUtid_, value, kUserUtid);
}

void UserDefaultConfig::setOrgId(const QString& value)
{
    storeText(orgId_, value, kOrgId);
}

void UserDefaultConfig::setOrgVersion(const QString& value)
{
    storeText(orgVersion_, value, kOrgVersion);
}

void UserDefaultConfig::setMenuVersion(const QString& value)
{
    storeText(menuVersion_, value, kMenuVersion);
}

void UserDefaultConfig::setSelectedMenuTitle(const QString& value)
{
    storeText(selectedMenuTitle_, value, kSelMenuTitle);
}

void UserDefaultConfig::setSelectedAccountType(const QString& value)
{
    storeText(selectedAccountType_, value, kSelAccountType);
}

void UserDefaultConfig::setSelectedOrgArea(const QString& value)
{
    storeText(selectedOrgArea_, value, kSelOrgArea);
}

void UserDefaultConfig::setSelectedOrgName(const QString& value)
{
    storeText(selectedOrgName_, value, kSelOrgName);
}

void UserDefaultConfig::setDoSaveAccount(int64_t value)
{
    std::lock_guard lock(monitor_);
    doSaveAccount_ = value;
    storeLocked(qint64(value), kDoSaveAccount);
}

void UserDefaultConfig::setLastLoginAccount(const QString& value)
{
    std::lock_guard lock(monitor_);
    lastLoginAccount_ = value;
    if (value.isEmpty()) {
        owed_.remove(kLastLoginAccount);
        storeLocked(QString(), kLastLoginAccount);
        return;
    }
    storeEnciphered(value, kLastLoginAccount);
}

void UserDefaultConfig::setLastMessageCenterInfoKey(const QString& value)
{
    std::lock_guard lock(monitor_);
    lastMessageCenterInfoKey_ = value;
    storeLocked(value, kLastMessageCenterInfoKey);
}

void UserDefaultConfig::setContId(const QString& value)
{
    std::lock_guard lock(monitor_);
    contId_ = value;
    storeLocked(value, kContId);
}

double UserDefaultConfig::getTimeIntervalForRefresh(int32_t index)
{
    if (index < 1 || index > static_cast<int32_t>(kRefreshSeconds.size()))
        return 4.0;
    return kRefreshSeconds[static_cast<size_t>(index - 1)];
}

double UserDefaultConfig::getTimeIntervalForLock(int32_t index)
{
    if (index < 1 || index > static_cast<int32_t>(kLockSeconds.size()))
        return 3.0;
    return kLockSeconds[static_cast<size_t>(index - 1)];
}

QString UserDefaultConfig::getProtectedString(const QString& text) const
{
    if (!accountProtectOption_ || text.size() < 6)
        return text;
    return text.left(text.size() - 6) + QStringLiteral("****") + text.right(2);
}
