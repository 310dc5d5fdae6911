#include "shell/tables/TableStyle.h"

#include "core/NotificationCenter.h"
#include "core/UserDefaultConfig.h"
#include "platform/UserDefaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A settings store of its own in an empty per-user folder.
class TableStyleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        savedHome = qgetenv("LUMORA_HOME");
        qputenv("LUMORA_HOME", home.path().toUtf8());
        reset();
    }
    void TearDown() override
    {
        reset();
        if (savedHome.isEmpty())
            qunsetenv("LUMORA_HOME");
        else
            qputenv("LUMORA_HOME", savedHome);
    }
    static void reset()
    {
        UserDefaultConfig::resetInstance();
        platform::UserDefaults::resetStandardUserDefaults();
        NotificationCenter::resetForTesting();
    }

    QTemporaryDir home;
    QByteArray savedHome;
};

} // namespace

TEST_F(TableStyleTest, FollowsTheSettingsStore)
{
    UserDefaultConfig* config = UserDefaultConfig::getInstance();
    config->setPlColorType(1);
    config->setQuoteColorType(1);
    TableStyle style(config, NotificationCenter::getInstance());
    // Taken at once from the store.
    EXPECT_EQ(style.colors(TableKind::Common).profit, QColor::fromRgbF(0.0f, 0.6f, 0.0f));
    EXPECT_EQ(style.colors(TableKind::Check).loss, QColor(Qt::red));
    EXPECT_EQ(style.indexUpsColor(), QColor::fromRgbF(0, 0.415f, 0));

    int commonReloads = 0, checkReloads = 0, quoteChanges = 0;
    QObject::connect(&style, &TableStyle::tablesChanged,
        [&](TableKind kind) { ++(kind == TableKind::Common ? commonReloads : checkReloads); });
    QObject::connect(&style, &TableStyle::quoteColorsChanged, [&] { ++quoteChanges; });

    // One change of the store reaches both table kinds, each reloading once.
    config->setAccountProtectOption(true);
    EXPECT_TRUE(style.colors(TableKind::Common).accountProtect);
    EXPECT_TRUE(style.colors(TableKind::Check).accountProtect);
    EXPECT_EQ(commonReloads, 1);
    EXPECT_EQ(checkReloads, 1);

    config->setQuoteColorType(0);
    EXPECT_EQ(quoteChanges, 1);
    EXPECT_EQ(style.upsColor(), QColor::fromRgbF(1, 0, 0));
    EXPECT_EQ(style.indexDownsColor(), QColor::fromRgbF(0, 0.415f, 0));
    style.setQuoteColorType(7);
    EXPECT_EQ(style.quoteColorType(), 0);
    EXPECT_EQ(quoteChanges, 1);
}

TEST_F(TableStyleTest, StoreOutlivingTheStyleCallsNobody)
{
    UserDefaultConfig* config = UserDefaultConfig::getInstance();
    {
        TableStyle style(config, NotificationCenter::getInstance());
    }
    config->setOrderColorType(1);
    config->setAccountProtectOption(true);
    config->setQuoteColorType(1);
    SUCCEED();
}

TEST_F(TableStyleTest, AStyleWhoseStoreIsGoneIgnoresLaterSchemeChanges)
{
    TableStyle style(UserDefaultConfig::getInstance(), NotificationCenter::getInstance());
    EXPECT_EQ(style.upsColor(), QColor::fromRgbF(1, 0, 0));
    // The store is replaced (as tests and a logout do); a new store's change
    // reaches the style through the centre, which must not read the old one.
    UserDefaultConfig::resetInstance();
    UserDefaultConfig::getInstance()->setQuoteColorType(1);
    EXPECT_EQ(style.quoteColorType(), 0);
    EXPECT_EQ(style.upsColor(), QColor::fromRgbF(1, 0, 0));
    // Set by hand, it still follows.
    style.setQuoteColorType(1);
    EXPECT_EQ(style.upsColor(), QColor::fromRgbF(0, 1, 0));
}
