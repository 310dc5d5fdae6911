// A style whose settings store is replaced stays safe and keeps its scheme.
#include "shell/tables/TableStyle.h"

#include "core/NotificationCenter.h"
#include "core/UserDefaultConfig.h"
#include "platform/UserDefaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class QuoteColoursTest : public ::testing::Test {
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
        TableStyle::resetInstance();
        UserDefaultConfig::resetInstance();
        platform::UserDefaults::resetStandardUserDefaults();
        NotificationCenter::resetForTesting();
    }

    QTemporaryDir home;
    QByteArray savedHome;
};

TEST_F(QuoteColoursTest, AStyleWhoseStoreIsGoneIgnoresLaterSchemeChanges)
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

} // namespace
