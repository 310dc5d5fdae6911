#include "core/UserDefaultConfig.h"

#include "comm/crypto/AesEncryption.h"
#include "core/NotificationCenter.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "support/ShortLockWait.h"
#include "support/Spin.h"

#include <QFile>
#include <QLockFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

const QString kMasterKey = "5C1A9E07B3D24F68A0E9712C4B86D3F0";

// Every test starts in an empty per-user folder of its own.
class UserDefaultConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        savedHome = qgetenv("LUMORA_HOME");
        qputenv("LUMORA_HOME", home.path().toUtf8());
        resetAll();
        for (int type : { 16, 17, 18, 19 })
            NotificationCenter::getInstance()->addObserver(
                &posts, [this](const platform::Notification& n) { posts.push_back(n.name); }, type);
    }
    void TearDown() override
    {
        resetAll();
        if (savedHome.isEmpty())
            qunsetenv("LUMORA_HOME");
        else
            qputenv("LUMORA_HOME", savedHome);
    }
    static void resetAll()
    {
        UserDefaultConfig::resetInstance();
        platform::UserDefaults::resetStandardUserDefaults();
        NotificationCenter::resetForTesting();
    }
    // A new process: the config and the defaults are loaded again from the file.
    UserDefaultConfig* restart()
    {
        UserDefaultConfig::resetInstance();
        platform::UserDefaults::resetStandardUserDefaults();
        posts.clear();
        return UserDefaultConfig::getInstance();
    }
    QVariantMap stored() const
    {
        auto v = platform::PropertyList::readFile(home.path() + "/UserDefaults.plist");
        return v ? v->toMap() : QVariantMap();
    }

    QTemporaryDir home;
    QByteArray savedHome;
    std::vector<QString> posts;
};

} // namespace

TEST_F(UserDefaultConfigTest, FirstStartWritesItsKeysAndAnnouncesTheDefaults)
{
    auto* config = UserDefaultConfig::getInstance();
    EXPECT_EQ(config, UserDefaultConfig::getInstance());
    EXPECT_EQ(posts, (std::vector<QString> { "NOTIFICATION_17", "NOTIFICATION_18" }));

    const QVariantMap file = stored();
    ASSERT_TRUE(file.contains("des_key"));
    const auto key = AesEncryption::decodeStringWithAES(file.value("des_key").toString(), kMasterKey);
    ASSERT_TRUE(key);
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$")
                    .match(*key)
                    .hasMatch())
        << key->toStdString();
    EXPECT_EQ(config->secretKey(), *key);
    EXPECT_EQ(file.value("quote_refresh_time").toLongLong(), 4);
    EXPECT_EQ(file.value("lock_screen_time").toLongLong(), 3);
    EXPECT_EQ(config->quoteRefreshTime(), 4);
    EXPECT_EQ(config->lockScreenTime(), 3);
    EXPECT_EQ(config->getTimeIntervalForRefresh(config->quoteRefreshTime()), 3.0);
    EXPECT_EQ(config->getTimeIntervalForLock(config->lockScreenTime()), 10.0);

    // Absent keys and their answers.
    EXPECT_EQ(config->orgId(), "0");
    EXPECT_FALSE(stored().contains("org_id")); // "0" is kept in memory only
    EXPECT_FALSE(config->userUtid());
    EXPECT_FALSE(config->orgVersion());
    EXPECT_FALSE(config->menuVersion());
    EXPECT_FALSE(config->contId());
    EXPECT_EQ(config->lastMessageCenterInfoKey(), "0|0");
    EXPECT_EQ(config->lastLoginAccount(), "");
    EXPECT_EQ(config->doSaveAccount(), 0);
    EXPECT_EQ(config->quoteColorType(), 0);
    EXPECT_FALSE(config->accountProtectOption());

    // A second start keeps the key and posts nothing.
    config = restart();
    EXPECT_TRUE(posts.empty());
    EXPECT_EQ(config->secretKey(), *key);

    // A corrupt store file is a fresh installation, not a crash.
    UserDefaultConfig::resetInstance();
    platform::UserDefaults::resetStandardUserDefaults();
    {
        QFile f(home.path() + "/UserDefaults.plist");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("<plist><dict><key>des_key");
    }
    config = restart();
    EXPECT_NE(config->secretKey(), *key);
    EXPECT_EQ(posts, (std::vector<QString> { "NOTIFICATION_17", "NOTIFICATION_18" }));
}

// Two clients started together on a new folder: this one read it before the
// other stored its key and a value enciphered with it, or could not store its
// own key for the other's lock. This one takes the other's key rather than
// store its own, whatever it writes next (or when nothing is written next, as
// soon as the lock is free), and its own writes keep the other's value; what
// it enciphered meanwhile is stored under the key taken.
TEST_F(UserDefaultConfigTest, AKeyAnotherClientStoredFirstIsTaken)
{
    enum Next { AText, ANumber, Nothing };
    const struct {
        const char* name;
        bool lockedAtStart;
        Next next;
    } rows[] = {
        { "stored before this one read the file", false, AText },
        { "stored while this one could not write, a text next", true, AText },
        { "stored while this one could not write, a number next", true, ANumber },
        { "stored while this one could not write, nothing next", true, Nothing },
    };
    const QString path = home.path() + "/UserDefaults.plist";
    const QString otherKey = QStringLiteral("0F1E2D3C-4B5A-4978-8695-A4B3C2D1E0F9");
    const testsupport::QuickRetries quickRetries;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        resetAll();
        QFile::remove(path);
        ASSERT_FALSE(platform::UserDefaults::standardUserDefaults().contains("des_key"));
        QLockFile otherWriting(path + ".lock");
        if (row.lockedAtStart) {
            ASSERT_TRUE(otherWriting.tryLock(0));
            UserDefaultConfig::getInstance()->setLastLoginAccount("012345678902");
            // Cleared before it could go: it never does.
            UserDefaultConfig::getInstance()->setOrgVersion("20240101");
            UserDefaultConfig::getInstance()->setOrgVersion("");
            otherWriting.unlock();
        }
        platform::UserDefaults other(path);
        other.setString(*AesEncryption::encodeStringWithAES(otherKey, kMasterKey), "des_key");
        other.setString(*AesEncryption::encodeStringWithAES("UTID-A", otherKey), "user_utid");

        auto* config = UserDefaultConfig::getInstance();
        if (row.next == AText)
            config->setOrgId("0101");
        else if (row.next == ANumber)
            config->setQuoteColorType(1);
        else
            EXPECT_TRUE(testsupport::spinUntil([&] { return stored().contains("last_login_account"); }));
        EXPECT_EQ(config->secretKey(), otherKey);
        if (!row.lockedAtStart) {
            EXPECT_EQ(config->userUtid(), QString("UTID-A"));
        }
        config = restart();
        EXPECT_EQ(config->secretKey(), otherKey);
        EXPECT_EQ(config->userUtid(), QString("UTID-A"));
        EXPECT_EQ(config->lastLoginAccount(), row.lockedAtStart ? "012345678902" : "");
        EXPECT_FALSE(config->orgVersion());
        EXPECT_EQ(config->orgId(), row.next == AText ? "0101" : "0");
        EXPECT_EQ(config->quoteColorType(), row.next == ANumber ? 1 : 0);
    }
}

TEST_F(UserDefaultConfigTest, TextValuesAreStoredEncipheredButForTheExceptions)
{
    auto* config = UserDefaultConfig::getInstance();
    const QString key = config->secretKey();
    config->setUserUtid("UTID-1");
    config->setOrgId("0101");
    config->setOrgVersion("20240101");
    config->setMenuVersion("7");
    config->setSelectedMenuTitle(QString::fromUtf8("交易"));
    config->setSelectedAccountType("Z");
    config->setSelectedOrgArea(QString::fromUtf8("上海"));
    config->setSelectedOrgName(QString::fromUtf8("总部营业部"));
    config->setLastLoginAccount("012345678901");
    config->setContId("CONT-9");
    config->setLastMessageCenterInfoKey("12|34");
    config->setDoSaveAccount(1);

    const QVariantMap file = stored();
    const std::vector<std::pair<const char*, QString>> enciphered {
        { "user_utid", "UTID-1" },
        { "org_id", "0101" },
        { "org_version", "20240101" },
        { "menu_version", "7" },
        { "sel_menu_title", QString::fromUtf8("交易") },
        { "sel_account_type", "Z" },
        { "sel_org_area", QString::fromUtf8("上海") },
        { "sel_org_name", QString::fromUtf8("总部营业部") },
        { "last_login_account", "012345678901" },
    };
    for (const auto& [name, plain] : enciphered) {
        const QString value = file.value(name).toString();
        EXPECT_NE(value, plain) << name;
        // Shorter texts may turn up in Base64 by chance.
        if (plain.size() >= 6) {
            EXPECT_FALSE(value.contains(plain)) << name;
        }
        EXPECT_EQ(AesEncryption::decodeStringWithAES(value, key), plain) << name;
    }
    EXPECT_EQ(file.value("cont_id").toString(), "CONT-9");
    EXPECT_EQ(file.value("last_message_center_info_key").toString(), "12|34");
    EXPECT_EQ(file.value("do_save_account").toLongLong(), 1);

    config = restart();
    EXPECT_EQ(config->userUtid(), QString("UTID-1"));
    EXPECT_EQ(config->orgId(), "0101");
    EXPECT_EQ(config->orgVersion(), QString("20240101"));
    EXPECT_EQ(config->menuVersion(), QString("7"));
    EXPECT_EQ(config->selectedMenuTitle(), QString::fromUtf8("交易"));
    EXPECT_EQ(config->selectedAccountType(), QString("Z"));
    EXPECT_EQ(config->selectedOrgArea(), QString::fromUtf8("上海"));
    EXPECT_EQ(config->selectedOrgName(), QString::fromUtf8("总部营业部"));
    EXPECT_EQ(config->lastLoginAccount(), "012345678901");
    EXPECT_EQ(config->lastMessageCenterInfoKey(), "12|34");
    EXPECT_EQ(config->doSaveAccount(), 1);
    EXPECT_FALSE(config->contId()); // read from the server at each application login

    // The empty last-login account is stored as it is and read back as such.
    config->setLastLoginAccount("");
    EXPECT_TRUE(stored().contains("last_login_account"));
    EXPECT_EQ(stored().value("last_login_account").toString(), "");
    EXPECT_EQ(restart()->lastLoginAccount(), "");

    // An empty enciphered text removes its key.
    config = UserDefaultConfig::getInstance();
    config->setOrgId("");
    EXPECT_FALSE(stored().contains("org_id"));
    EXPECT_EQ(config->orgId(), "0");
    config->setLastMessageCenterInfoKey("");
    EXPECT_EQ(restart()->lastMessageCenterInfoKey(), "0|0");

    // A lost installation key: the old values no longer decipher and read as absent.
    platform::UserDefaults::standardUserDefaults().removeObject("des_key");
    config = restart();
    EXPECT_NE(config->secretKey(), key);
    EXPECT_FALSE(config->userUtid());
    EXPECT_EQ(config->orgId(), "0");
    EXPECT_EQ(config->lastLoginAccount(), "");
}

TEST_F(UserDefaultConfigTest, IntervalTablesAndTheirFallbacks)
{
    const std::vector<double> refresh { 99999, 1, 2, 3, 5, 10, 20, 30, 60 };
    for (int i = 1; i <= 9; ++i)
        EXPECT_EQ(UserDefaultConfig::getTimeIntervalForRefresh(i), refresh[size_t(i - 1)]) << i;
    for (int i : { 0, 10, -1, INT32_MIN, INT32_MAX })
        EXPECT_EQ(UserDefaultConfig::getTimeIntervalForRefresh(i), 4.0) << i;
    const std::vector<double> lock { 99999, 5, 10, 20, 30, 60, 120, 180, 240, 300, 600, 1200, 1800, 3600 };
    for (int i = 1; i <= 14; ++i)
        EXPECT_EQ(UserDefaultConfig::getTimeIntervalForLock(i), lock[size_t(i - 1)]) << i;
    for (int i : { 0, 15, -3, INT32_MIN, INT32_MAX })
        EXPECT_EQ(UserDefaultConfig::getTimeIntervalForLock(i), 3.0) << i;

    // A stored index that no setter could write reads as absent and is replaced.
    platform::UserDefaults::standardUserDefaults().setInteger(1LL << 40, "quote_refresh_time");
    platform::UserDefaults::standardUserDefaults().setString("junk", "lock_screen_time");
    auto* config = UserDefaultConfig::getInstance();
    EXPECT_EQ(config->quoteRefreshTime(), 4);
    EXPECT_EQ(config->lockScreenTime(), 3);
}

TEST_F(UserDefaultConfigTest, MaskingFollowsTheProtectionOption)
{
    auto* config = UserDefaultConfig::getInstance();
    EXPECT_EQ(config->getProtectedString("012345678901"), "012345678901");
    config->setAccountProtectOption(true);
    EXPECT_EQ(config->getProtectedString("012345678901"), "012345****01");
    EXPECT_EQ(config->getProtectedString("123456"), "****56");
    EXPECT_EQ(config->getProtectedString("12345"), "12345");
    EXPECT_EQ(config->getProtectedString(""), "");
    EXPECT_EQ(config->getProtectedString(QString::fromUtf8("账户1234567")), QString::fromUtf8("账户1****67"));
    EXPECT_TRUE(restart()->accountProtectOption());
    EXPECT_EQ(UserDefaultConfig::getInstance()->getProtectedString("1234567"), "1****67");
}

TEST_F(UserDefaultConfigTest, ChangesArePostedOnlyWhenTheValueDiffers)
{
    auto* config = UserDefaultConfig::getInstance();
    posts.clear();
    config->setQuoteColorType(0); // already 0
    EXPECT_TRUE(posts.empty());
    config->setQuoteColorType(1);
    config->setQuoteColorType(1);
    config->setQuoteRefreshTime(4); // the start-up value
    config->setQuoteRefreshTime(9);
    config->setLockScreenTime(14);
    config->setAccountProtectOption(true);
    config->setAccountProtectOption(true);
    config->setOrderColorType(1); // these tell the table views, not the centre
    config->setPlColorType(1);
    config->setBuyDefaultType(2);
    config->setSellDefaultType(3);
    EXPECT_EQ(posts,
        (std::vector<QString> {
            "NOTIFICATION_16", "NOTIFICATION_17", "NOTIFICATION_18", "NOTIFICATION_19" }));

    config = restart();
    EXPECT_TRUE(posts.empty());
    EXPECT_EQ(config->quoteColorType(), 1);
    EXPECT_EQ(config->quoteRefreshTime(), 9);
    EXPECT_EQ(config->lockScreenTime(), 14);
    EXPECT_EQ(config->orderColorType(), 1);
    EXPECT_EQ(config->plColorType(), 1);
    EXPECT_EQ(config->buyDefaultType(), 2);
    EXPECT_EQ(config->sellDefaultType(), 3);
    EXPECT_TRUE(config->accountProtectOption());
}

TEST_F(UserDefaultConfigTest, HooksOfTheTableViewsAndTheSecurityModel)
{
    platform::UserDefaults::standardUserDefaults().setInteger(1, "pl_color_type");
    platform::UserDefaults::standardUserDefaults().setInteger(5, "sell_default_price");
    auto* config = UserDefaultConfig::getInstance();

    QStringList calls;
    auto hooksFor = [&calls](const QString& cls) {
        UserDefaultConfig::TableViewHooks h;
        h.setOrderColorType = [&calls, cls](int32_t t) { calls << cls + ".order" + QString::number(t); };
        h.setProfitLossColorType = [&calls, cls](int32_t t) { calls << cls + ".pl" + QString::number(t); };
        h.setAccountProtectOption
            = [&calls, cls](bool on) { calls << cls + ".protect" + QString::number(on); };
        h.reloadTable = [&calls, cls] { calls << cls + ".reload"; };
        return h;
    };
    // On installation: the current values, no reload.
    config->addTableViewHooks(hooksFor("common"));
    config->addTableViewHooks(hooksFor("check"));
    EXPECT_EQ(calls,
        QStringList({ "common.order0", "common.pl1", "common.protect0", "check.order0", "check.pl1",
            "check.protect0" }));
    calls.clear();

    config->setOrderColorType(1);
    EXPECT_EQ(calls, QStringList({ "common.order1", "common.reload", "check.order1", "check.reload" }));
    calls.clear();
    config->setOrderColorType(1);
    config->setPlColorType(1);
    EXPECT_TRUE(calls.isEmpty());
    config->setPlColorType(0);
    config->setAccountProtectOption(true);
    EXPECT_EQ(calls,
        QStringList({ "common.pl0", "common.reload", "check.pl0", "check.reload", "common.protect1",
            "common.reload", "check.protect1", "check.reload" }));
    calls.clear();

    config->setSecurityHooks({ [&](int32_t i) { calls << "buy" + QString::number(i); },
        [&](int32_t i) { calls << "sell" + QString::number(i); } });
    EXPECT_EQ(calls, QStringList({ "buy0", "sell5" }));
    calls.clear();
    config->setBuyDefaultType(6);
    config->setBuyDefaultType(6);
    config->setSellDefaultType(0);
    EXPECT_EQ(calls, QStringList({ "buy6", "sell0" }));

    // Hooks left empty are skipped.
    config->addTableViewHooks({});
    config->setOrderColorType(0);
}

TEST_F(UserDefaultConfigTest, ObserversOfTheStartUpPostsMayAskForTheStore)
{
    int seen = 0;
    int observer = 0;
    NotificationCenter::getInstance()->addObserver(
        &observer,
        [&] {
            // The instance is already registered while it announces its defaults.
            seen = UserDefaultConfig::getInstance()->quoteRefreshTime();
        },
        17);
    UserDefaultConfig::getInstance();
    EXPECT_EQ(seen, 4);
}
