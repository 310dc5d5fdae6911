#include "session/IdleLock.h"

#include "core/NotificationCenter.h"
#include "core/UserDefaultConfig.h"

#include <QCoreApplication>
#include <QThread>

namespace {

// The settings may change on another thread; the timer lives on the main one.
template <class F> void onMainThread(F call)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        call();
    else
        QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
}

} // namespace

IdleLock::IdleLock(Services services)
    : userDefaultConfig(
        services.userDefaultConfig ? services.userDefaultConfig : UserDefaultConfig::getInstance())
    , notificationCenter(
          services.notificationCenter ? services.notificationCenter : NotificationCenter::getInstance())
    , timers(services.timers ? services.timers : runLoopTimers())
{
    const void* key = static_cast<const void*>(this);
    notificationCenter->addObserver(
        key,
        [this](const platform::Notification& n) {
            const double seconds = n.object.toDouble();
            onMainThread([this, seconds] { setLockScreenTime(seconds); });
        },
        kSetLockScreenTime);
    notificationCenter->addObserver(
        key, [this] { onMainThread([this] { resetTimer(); }); }, kResetTimer);
    notificationCenter->addObserver(
        key, [this] { mainWindowIsLocked(); }, kLockScreen);
}

IdleLock::~IdleLock()
{
    notificationCenter->removeObserver(static_cast<const void*>(this));
}

void IdleLock::userInput()
{
    idle_ = false;
    locked_ = false;
}

void IdleLock::resetTimer()
{
    start(UserDefaultConfig::getTimeIntervalForLock(userDefaultConfig->lockScreenTime()));
}

void IdleLock::setLockScreenTime(double seconds)
{
    start(double(qint64(seconds)));
}

void IdleLock::start(double seconds)
{
    timer_.reset();
    interval_ = 0;
    if (seconds >= kNever || seconds <= 0)
        return;
    interval_ = seconds;
    // A new count starts: input before the change does not shorten it.
    idle_ = false;
    timer_ = timers(seconds, true, platform::RunLoopModes::common(), [this] { lockMainWindowScreen(); });
}

void IdleLock::lockMainWindowScreen()
{
    if (locked_)
        return;
    if (!idle_) {
        idle_ = true;
        return;
    }
    locked_ = true;
    timer_.reset();
    notificationCenter->postNotification(kLockScreen);
}
