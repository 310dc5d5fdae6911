#include "platform/ChinaClock.h"

#include <gtest/gtest.h>

using platform::ChinaClock;

TEST(ChinaClock, ChinaTimeWithoutTouchingTheProcessZone)
{
    const QByteArray zoneBefore = qgetenv("TZ");
    {
        // 23:30 UTC on Friday is 07:30 on Saturday in China.
        ChinaClock::Override fixed(QDateTime(QDate(2024, 5, 31), QTime(23, 30), Qt::UTC));
        const QDateTime now = ChinaClock::now();
        EXPECT_EQ(now.date(), QDate(2024, 6, 1));
        EXPECT_EQ(now.time(), QTime(7, 30));
        EXPECT_EQ(now.offsetFromUtc(), 8 * 3600);
        EXPECT_EQ(ChinaClock::currentSecsSinceEpoch(), now.toSecsSinceEpoch());
        EXPECT_EQ(ChinaClock::at(2024, 6, 1, 7, 30), now);
    }
    EXPECT_EQ(qgetenv("TZ"), zoneBefore);
    // Back on the system clock.
    EXPECT_LE(std::llabs(ChinaClock::currentSecsSinceEpoch() - QDateTime::currentSecsSinceEpoch()), 1);
}
