#include "platform/NotificationCenter.h"

#include <QObject>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using platform::Notification;
using platform::NotificationCenter;

TEST(PlatformNotificationCenter, DeliversByNameAndSenderSynchronously)
{
    NotificationCenter center;
    int a = 0, b = 0, any = 0, filtered = 0;
    Notification last;
    int observerA = 0, observerB = 0, observerAny = 0, observerFiltered = 0;
    center.addObserver(
        &observerA,
        [&](const Notification& n) {
            ++a;
            last = n;
        },
        "A");
    center.addObserver(
        &observerB, [&](const Notification&) { ++b; }, "B");
    center.addObserver(
        &observerAny, [&](const Notification&) { ++any; }, QString());
    center.addObserver(
        &observerFiltered, [&](const Notification&) { ++filtered; }, "A", QVariant(qint64(7)));

    center.postNotification("A", QVariant(1), QVariantMap { { "k", "v" } });
    // Every observer ran before the post returned.
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(any, 1);
    EXPECT_EQ(filtered, 0);
    EXPECT_EQ(last.name, "A");
    EXPECT_EQ(last.object.toInt(), 1);
    EXPECT_EQ(last.userInfo.value("k").toString(), "v");

    center.postNotification("A", QVariant(7)); // equal value, other integer type
    EXPECT_EQ(filtered, 1);
    center.postNotification("A");
    EXPECT_EQ(filtered, 1);
    EXPECT_EQ(a, 3);

    center.postNotification("B");
    EXPECT_EQ(b, 1);
    EXPECT_EQ(any, 4);

    // Removal by name leaves the observer's other names.
    center.addObserver(
        &observerA, [&](const Notification&) { ++b; }, "B");
    center.removeObserver(&observerA, "A");
    EXPECT_EQ(center.registrationCount(&observerA), 1);
    center.postNotification("B");
    EXPECT_EQ(b, 3);
    center.removeObserver(&observerA);
    EXPECT_EQ(center.registrationCount(&observerA), 0);
    center.postNotification("A");
    EXPECT_EQ(a, 3);
}

TEST(PlatformNotificationCenter, RemovalAndAdditionDuringAPost)
{
    NotificationCenter center;
    int first = 0, second = 0, added = 0, third = 0;
    int o1 = 0, o2 = 0, o3 = 0, o4 = 0;
    // The first observer removes the second and adds a new one while the post runs.
    center.addObserver(
        &o1,
        [&](const Notification&) {
            ++first;
            center.removeObserver(&o2);
            center.addObserver(
                &o3, [&](const Notification&) { ++added; }, "N");
        },
        "N");
    center.addObserver(
        &o2, [&](const Notification&) { ++second; }, "N");
    // An observer that removes itself while being called.
    center.addObserver(
        &o4,
        [&](const Notification&) {
            ++third;
            center.removeObserver(&o4);
        },
        "N");

    center.postNotification("N");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(added, 0); // added during the post: heard from the next one on
    EXPECT_EQ(third, 1);

    center.removeObserver(&o1);
    center.postNotification("N");
    EXPECT_EQ(added, 1);
    EXPECT_EQ(third, 1);

    // A post from inside an observer reaches the observers of the inner name.
    int inner = 0;
    center.addObserver(
        &o1, [&](const Notification&) { center.postNotification("inner"); }, "outer");
    center.addObserver(
        &o2, [&](const Notification&) { ++inner; }, "inner");
    center.postNotification("outer");
    EXPECT_EQ(inner, 1);
}

TEST(PlatformNotificationCenter, QObjectObserversAndTokensGoAway)
{
    NotificationCenter center;
    int heard = 0;
    auto object = std::make_unique<QObject>();
    center.addObserver(
        object.get(), [&](const Notification&) { ++heard; }, "N");
    center.addObserver(
        object.get(), [&](const Notification&) { ++heard; }, "M");
    center.postNotification("N");
    EXPECT_EQ(heard, 1);
    const void* key = object.get();
    object.reset();
    EXPECT_EQ(center.registrationCount(key), 0);
    center.postNotification("N");
    center.postNotification("M");
    EXPECT_EQ(heard, 1);

    // An observer destroyed by an earlier observer of the same post is not called.
    auto victim = std::make_unique<QObject>();
    int killer = 0;
    center.addObserver(
        &killer, [&](const Notification&) { victim.reset(); }, "K");
    center.addObserver(
        victim.get(), [&](const Notification&) { ++heard; }, "K");
    center.postNotification("K");
    EXPECT_EQ(heard, 1);

    int tokenHeard = 0;
    {
        auto token = platform::observeNotification(
            "T", [&](const Notification&) { ++tokenHeard; }, QVariant(), center);
        center.postNotification("T");
        auto moved = std::move(token);
        EXPECT_FALSE(token.isActive());
        center.postNotification("T");
    }
    center.postNotification("T");
    EXPECT_EQ(tokenHeard, 2);

    // reset() drops everything, including the destroy watches.
    auto watched = std::make_unique<QObject>();
    center.addObserver(
        watched.get(), [&](const Notification&) { ++heard; }, "R");
    center.reset();
    center.postNotification("R");
    EXPECT_EQ(heard, 1);
    watched.reset();
}

TEST(PlatformNotificationCenter, DefaultCenterIsOne)
{
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
}
