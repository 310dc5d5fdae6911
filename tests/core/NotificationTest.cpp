#include "core/DMNotificationCenter.h"
#include "core/NotificationCenter.h"

#include <QObject>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct Listener {
    int heard = 0;
    int plain = 0;
    platform::Notification last;
    void onNotification(const platform::Notification& n)
    {
        ++heard;
        last = n;
    }
    void onPlain() { ++plain; }
};

class QListener : public QObject {
public:
    int heard = 0;
    void onNotification(const platform::Notification&) { ++heard; }
};

class NotificationCentres : public ::testing::Test {
protected:
    void SetUp() override { NotificationCenter::resetForTesting(); }
    void TearDown() override { NotificationCenter::resetForTesting(); }
};

} // namespace

TEST_F(NotificationCentres, IntegerTypesPostSynchronouslyUnderTheirNames)
{
    auto* ui = NotificationCenter::getInstance();
    auto* dm = DMNotificationCenter::getInstance();
    EXPECT_EQ(ui, NotificationCenter::getInstance());
    EXPECT_EQ(ui->notificationName(16), "NOTIFICATION_16");
    EXPECT_EQ(dm->notificationName(-2), "DATA_MODEL_NOTIFICATION_-2");

    Listener l;
    ui->addObserver(&l, &Listener::onNotification, 11);
    ui->addObserver(&l, &Listener::onPlain, 14);
    QVariantMap info { { "RDOPositionDetail", QString("600000") } };
    ui->postNotificationName(11, QVariant(), info);
    // Heard before the post returned.
    EXPECT_EQ(l.heard, 1);
    EXPECT_EQ(l.last.name, "NOTIFICATION_11");
    EXPECT_EQ(l.last.userInfo.value("RDOPositionDetail").toString(), "600000");
    ui->postNotification(14);
    EXPECT_EQ(l.plain, 1);
    ui->postNotification(12);
    EXPECT_EQ(l.heard, 1);

    // The platform centre carries the same name, so anyone can listen there.
    int raw = 0;
    int rawObserver = 0;
    platform::NotificationCenter::defaultCenter().addObserver(
        &rawObserver, [&](const platform::Notification&) { ++raw; }, "DATA_MODEL_NOTIFICATION_2");
    dm->postNotification(2, QVariant(1));
    EXPECT_EQ(raw, 1);
    platform::NotificationCenter::defaultCenter().removeObserver(&rawObserver);
}

TEST_F(NotificationCentres, TheTwoCentresDoNotHearEachOther)
{
    auto* ui = NotificationCenter::getInstance();
    auto* dm = DMNotificationCenter::getInstance();
    Listener uiListener, dmListener;
    ui->addObserver(&uiListener, &Listener::onNotification, 3);
    dm->addObserver(&dmListener, &Listener::onNotification, 3);
    ui->postNotification(3);
    EXPECT_EQ(uiListener.heard, 1);
    EXPECT_EQ(dmListener.heard, 0);
    dm->postNotification(3);
    EXPECT_EQ(uiListener.heard, 1);
    EXPECT_EQ(dmListener.heard, 1);
}

TEST_F(NotificationCentres, SenderFilterAndRemovalFromBothByOneCall)
{
    auto* ui = NotificationCenter::getInstance();
    auto* dm = DMNotificationCenter::getInstance();
    int account = 0;
    int other = 0;
    const QVariant sender = QVariant::fromValue(static_cast<void*>(&account));
    Listener filtered, any;
    ui->addObserver(&filtered, &Listener::onNotification, 2, sender);
    ui->addObserver(&any, &Listener::onNotification, 2);
    ui->postNotification(2, QVariant::fromValue(static_cast<void*>(&other)));
    ui->postNotification(2);
    EXPECT_EQ(filtered.heard, 0);
    EXPECT_EQ(any.heard, 2);
    ui->postNotification(2, sender);
    EXPECT_EQ(filtered.heard, 1);
    dm->addObserver(&filtered, &Listener::onNotification, 2, QVariant(1));
    dm->postNotification(2, QVariant(0));
    EXPECT_EQ(filtered.heard, 1);
    dm->postNotification(2, QVariant(1));
    EXPECT_EQ(filtered.heard, 2);

    // One call on either centre removes the observer from both.
    Listener both;
    ui->addObserver(&both, &Listener::onNotification, 0);
    ui->addObserver(&both, &Listener::onNotification, 1);
    dm->addObserver(&both, &Listener::onNotification, 0);
    dm->removeObserver(&both);
    ui->postNotification(0);
    ui->postNotification(1);
    dm->postNotification(0);
    EXPECT_EQ(both.heard, 0);

    ui->addObserver(&both, &Listener::onNotification, 0);
    dm->addObserver(&both, &Listener::onNotification, 0);
    ui->removeObserver(&both);
    ui->postNotification(0);
    dm->postNotification(0);
    EXPECT_EQ(both.heard, 0);
}

TEST_F(NotificationCentres, ADestroyedObserverIsNotCalled)
{
    auto* ui = NotificationCenter::getInstance();
    auto* dm = DMNotificationCenter::getInstance();
    auto page = std::make_unique<QListener>();
    ui->addObserver(page.get(), &QListener::onNotification, 2);
    dm->addObserver(
        page.get(), [p = page.get()] { ++p->heard; }, 0);
    ui->postNotification(2);
    dm->postNotification(0);
    EXPECT_EQ(page->heard, 2);
    page.reset(); // no removeObserver: the QObject's destruction is enough
    ui->postNotification(2);
    dm->postNotification(0);

    // A lambda registration on a plain observer.
    int calls = 0;
    int observer = 0;
    ui->addObserver(
        &observer, [&](const platform::Notification& n) { calls += n.object.toInt(); }, 5);
    ui->postNotification(5, QVariant(3));
    EXPECT_EQ(calls, 3);
    ui->removeObserver(&observer);
}
