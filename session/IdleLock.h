#pragma once

#include "session/SessionTimers.h"

#include <cstdint>
#include <memory>

class NotificationCenter;
class UserDefaultConfig;

// What IdleLock works with; null ones are the shared instances.
struct IdleLockServices {
    UserDefaultConfig* userDefaultConfig = nullptr;
    NotificationCenter* notificationCenter = nullptr;
    SessionTimerFactory timers; // empty: run-loop timers
};

// The idle lock: a repeating timer with the interval chosen in the settings,
// in the common modes so that it also fires while menus track and modal
// windows run. A tick with no input since the one before locks the screen
// (type 3), so the lock comes after one to two intervals without input; it
// never fires while the screen is locked. The timer starts with type 18
// (the main window posts it when it loads, a successful unlock posts it
// again); type 6 sets the interval in seconds. Main thread only; the
// application's input filter calls userInput() for every input event.
class IdleLock {
public:
    using Services = IdleLockServices;
    static constexpr int32_t kSetLockScreenTime = 6; // object: seconds
    static constexpr int32_t kLockScreen = 3;
    static constexpr int32_t kResetTimer = 18;
    static constexpr double kNever = 99999.0;

    explicit IdleLock(Services services = Services());
    ~IdleLock();
    IdleLock(const IdleLock&) = delete;
    IdleLock& operator=(const IdleLock&) = delete;

    // Any input: not idle, not locked any more.
    void userInput();
    // resetTimer: the interval from the settings.
    void resetTimer();
    // setLockScreenTime: the interval in seconds; 99999 stops it.
    void setLockScreenTime(double seconds);
    // lockMainWindowScreen: the timer's tick.
    void lockMainWindowScreen();
    // mainWindowIsLocked: type 3 from anyone.
    void mainWindowIsLocked() { locked_ = true; }

    bool isIdle() const { return idle_; }
    bool isLocked() const { return locked_; }
    bool isTimerRunning() const { return timer_ != nullptr; }
    double interval() const { return interval_; }

private:
    void start(double seconds);

    UserDefaultConfig* userDefaultConfig;
    NotificationCenter* notificationCenter;
    SessionTimerFactory timers;
    std::unique_ptr<SessionTimer> timer_;
    double interval_ = 0;
    bool idle_ = false;
    bool locked_ = false;
};
