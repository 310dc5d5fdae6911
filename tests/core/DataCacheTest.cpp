#include "core/DMCDataCache.h"
#include "core/DMNotificationCenter.h"
#include "core/NotificationCenter.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <type_traits>

// Only getInstance() makes a cache.
static_assert(!std::is_default_constructible_v<DMCDataCache>);
static_assert(!std::is_copy_constructible_v<DMCDataCache>);

TEST(DMCDataCache, SetGetAndClearByTypeThree)
{
    NotificationCenter::resetForTesting();
    DMCDataCache::resetInstance();
    auto* cache = DMCDataCache::getInstance();
    EXPECT_EQ(cache, DMCDataCache::getInstance());

    EXPECT_FALSE(cache->getDataCache(1).isValid());
    cache->setDataCache(1, QStringList { "fund A" });
    cache->setDataCache(2, QStringList { "fund B" });
    cache->setDataCache(-7, 42);
    EXPECT_EQ(cache->getDataCache(1).toStringList(), QStringList { "fund A" });
    cache->setDataCache(1, QStringList { "fund C" }); // replaces
    EXPECT_EQ(cache->getDataCache(1).toStringList(), QStringList { "fund C" });
    EXPECT_EQ(cache->getDataCache(-7).toInt(), 42);
    cache->setDataCache(2, QVariant()); // refused
    EXPECT_TRUE(cache->getDataCache(2).isValid());

    // Type 3 of the other centre is not the clear-caches post.
    NotificationCenter::getInstance()->postNotification(3);
    EXPECT_TRUE(cache->getDataCache(1).isValid());
    DMNotificationCenter::getInstance()->postNotification(2);
    EXPECT_TRUE(cache->getDataCache(1).isValid());

    DMNotificationCenter::getInstance()->postNotification(3);
    EXPECT_FALSE(cache->getDataCache(1).isValid());
    EXPECT_FALSE(cache->getDataCache(2).isValid());
    EXPECT_FALSE(cache->getDataCache(-7).isValid());

    // A dropped cache no longer listens.
    DMCDataCache::resetInstance();
    EXPECT_EQ(platform::NotificationCenter::defaultCenter().registrationCount(cache), 0);
    DMNotificationCenter::getInstance()->postNotification(3);
    DMCDataCache::getInstance()->setDataCache(3, 1);
    EXPECT_EQ(DMCDataCache::getInstance()->getDataCache(3).toInt(), 1);
    DMCDataCache::resetInstance();
}
