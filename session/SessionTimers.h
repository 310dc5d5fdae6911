#pragma once

#include "platform/RunLoop.h"

#include <functional>
#include <memory>

// A scheduled timer; destroying it invalidates it.
class SessionTimer {
public:
    virtual ~SessionTimer() = default;
};

// Makes the session's timers: the start-up time-out and the idle lock. The
// application's are run-loop timers; tests give a clock they advance by hand.
using SessionTimerFactory = std::function<std::unique_ptr<SessionTimer>(
    double seconds, bool repeats, platform::RunLoopModes modes, std::function<void()> tick)>;

// Timers on the current run loop, started at once.
SessionTimerFactory runLoopTimers();
