#pragma once

#include "platform/Lifetime.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <vector>

class QTimer;

namespace platform {

class ModalSession;

// Run-loop modes. A modal panel runs its own mode, so work scheduled in the
// default mode alone waits until the panel ends; "common" is both.
enum class RunLoopMode : std::uint8_t {
    Default = 0x1,
    ModalPanel = 0x2,
};

inline constexpr char kCFRunLoopDefaultMode[] = "kCFRunLoopDefaultMode";
inline constexpr char NSDefaultRunLoopMode[] = "NSDefaultRunLoopMode";
inline constexpr char NSModalPanelRunLoopMode[] = "NSModalPanelRunLoopMode";
inline constexpr char kCFRunLoopCommonModes[] = "kCFRunLoopCommonModes";
inline constexpr char NSRunLoopCommonModes[] = "NSRunLoopCommonModes";

// A small set of modes.
class RunLoopModes {
public:
    constexpr RunLoopModes() = default;
    constexpr RunLoopModes(RunLoopMode mode)
        : bits_(static_cast<std::uint8_t>(mode))
    {
    }

    static constexpr RunLoopModes defaultMode() { return RunLoopMode::Default; }
    static constexpr RunLoopModes modalPanel() { return RunLoopMode::ModalPanel; }
    static constexpr RunLoopModes common()
    {
        return RunLoopModes(RunLoopMode::Default) | RunLoopMode::ModalPanel;
    }

    // The set named by a list of mode names; names we don't know are skipped,
    // so the result may be empty.
    static RunLoopModes fromNames(const QStringList& names);
    // One name per mode, "kCFRunLoopCommonModes" for the common set.
    QStringList names() const;

    constexpr bool contains(RunLoopMode mode) const { return (bits_ & static_cast<std::uint8_t>(mode)) != 0; }
    constexpr bool isEmpty() const { return bits_ == 0; }
    constexpr std::uint8_t bits() const { return bits_; }

    friend constexpr RunLoopModes operator|(RunLoopModes a, RunLoopModes b)
    {
        RunLoopModes m;
        m.bits_ = a.bits_ | b.bits_;
        return m;
    }
    friend constexpr bool operator==(RunLoopModes a, RunLoopModes b) { return a.bits_ == b.bits_; }

private:
    std::uint8_t bits_ = 0;
};

// The run loop of one thread, over Qt's event loop of that thread. It knows
// the current mode and holds deferred calls until the mode allows them.
// Everything on a run loop is used from its own thread only.
class RunLoop final : public QObject {
public:
    using CallId = std::uint64_t;

    // The run loop of the calling thread, made on first use.
    static RunLoop* current();
    // The run loop of the application's main thread.
    static RunLoop* main();

    RunLoopMode currentMode() const;
    bool allows(RunLoopModes modes) const { return modes.contains(currentMode()); }

    // Runs `call` on a later pass of this run loop while the current mode is
    // one of `modes`; held meanwhile. `owner` groups calls for cancelModes/
    // cancelAll; with a `context`, the call is dropped once it is destroyed.
    // Calls run in the order they were made.
    CallId perform(RunLoopModes modes, std::function<void()> call, const void* owner = nullptr,
        QObject* context = nullptr);
    void cancel(CallId id);
    // Cancels every deferred call aimed at `owner`.
    void cancelAll(const void* owner);
    // Moves the pending calls of `owner` to other modes.
    void setModes(const void* owner, RunLoopModes modes);
    bool hasPendingCalls(const void* owner) const;
    bool isPending(CallId id) const;
    std::size_t pendingCallCount() const { return calls_.size(); }

    // Back to the default mode with nothing pending (tests).
    void resetForTesting();

    ~RunLoop() override;

protected:
    bool event(QEvent* event) override;

private:
    friend class ModalSession;
    friend class RunLoopSource;
    struct Call {
        CallId id = 0;
        RunLoopModes modes;
        std::function<void()> call;
        const void* owner = nullptr;
        QPointer<QObject> context;
        bool hasContext = false;
        int coalesceKey = -1;
    };

    RunLoop();
    void assertThread() const;
    void pushMode(RunLoopMode mode);
    void popMode(RunLoopMode mode);
    void scheduleDrain();
    void drain();
    bool hasPending(const void* owner, int coalesceKey) const;
    CallId enqueue(Call call);

    std::vector<RunLoopMode> modeStack_;
    std::vector<ModalSession*> sessions_; // innermost last
    std::list<Call> calls_;
    CallId nextId_ = 1;
    bool drainPosted_ = false;
};

// While it lives, the run loop it was made on runs in the modal-panel mode;
// wrap a nested QEventLoop::exec() or QDialog::exec() in one. Sessions nest
// and must end in the reverse order of their start.
//
// `stop` ends the run the session wraps as rejected: the dialog closes and
// its loop is left, so the session ends once the loop has returned. A
// session can then be stopped from outside, as the application stops its
// current modal session, or every one at a screen lock.
class ModalSession : public Lifetime {
public:
    using Stop = std::function<void()>;
    // `answeredByTest`: a test hook answers the dialog this session runs.
    explicit ModalSession(RunLoop* runLoop = RunLoop::current(), Stop stop = {}, bool answeredByTest = false);
    ~ModalSession();
    ModalSession(const ModalSession&) = delete;
    ModalSession& operator=(const ModalSession&) = delete;

    // Ends the run (once); nothing without a `stop`.
    void stop();
    bool isAnsweredByTest() const { return answeredByTest_; }

    // Stops the innermost session of `runLoop`, if any.
    static void stopCurrent(RunLoop* runLoop = RunLoop::current());
    // Stops every session of `runLoop`, innermost first: nothing modal
    // outlives a screen lock.
    static void stopAll(RunLoop* runLoop = RunLoop::current());

    // Tests: hears every session as it starts, before its run.
    static void setStartHookForTesting(std::function<void(ModalSession&)> hook);

private:
    RunLoop* runLoop_;
    Stop stop_;
    bool answeredByTest_;
};

// A timer that fires only in its modes. A firing that falls in another mode
// is held and happens once as soon as the mode allows; a repeating timer does
// not catch up on the ticks it missed meanwhile.
class RunLoopTimer {
public:
    using Callback = std::function<void()>;
    using Clock = std::chrono::steady_clock;

    RunLoopTimer(std::chrono::duration<double> interval, bool repeats, RunLoopModes modes, Callback callback,
        RunLoop* runLoop = RunLoop::current());
    RunLoopTimer(double seconds, bool repeats, RunLoopModes modes, Callback callback,
        RunLoop* runLoop = RunLoop::current());
    ~RunLoopTimer();
    RunLoopTimer(const RunLoopTimer&) = delete;
    RunLoopTimer& operator=(const RunLoopTimer&) = delete;

    void start();
    void stop();
    // Scheduled, or due and held for its mode.
    bool isActive() const { return scheduled_ || (heldCall_ != 0 && runLoop_->isPending(heldCall_)); }
    // Runs the callback now; a one-shot timer ends, a repeating one goes on.
    void fire();

    std::chrono::duration<double> interval() const { return interval_; }
    void setInterval(std::chrono::duration<double> interval);
    bool repeats() const { return repeats_; }
    RunLoopModes modes() const { return modes_; }
    void setModes(RunLoopModes modes);
    // When it fires next; nullopt when not scheduled.
    std::optional<Clock::time_point> fireDate() const;
    // Reschedules the next firing (starts the timer).
    void setFireDate(Clock::time_point when);

private:
    void onTimeout();
    void runCallback();
    void armQtTimer(std::chrono::milliseconds delay);

    RunLoop* runLoop_;
    std::unique_ptr<QTimer> timer_;
    std::chrono::duration<double> interval_;
    bool repeats_;
    RunLoopModes modes_;
    Callback callback_;
    bool scheduled_ = false;
    RunLoop::CallId heldCall_ = 0;
    Clock::time_point nextFire_ {};
    platform::Lifetime alive_;
};

// An event source for a socket-like object: events are delivered in order and
// only while the current mode is one of the source's modes. Destroying the
// source drops the events it still holds.
class RunLoopSource {
public:
    explicit RunLoopSource(
        RunLoopModes modes = RunLoopModes::defaultMode(), RunLoop* runLoop = RunLoop::current());
    ~RunLoopSource();
    RunLoopSource(const RunLoopSource&) = delete;
    RunLoopSource& operator=(const RunLoopSource&) = delete;

    // Queues `event`; with a coalesce key, an event with the same key that is
    // still pending stands for this one (level-triggered events like "readable").
    void signal(std::function<void()> event, int coalesceKey = -1);
    void setModes(RunLoopModes modes);
    RunLoopModes modes() const { return modes_; }
    RunLoop* runLoop() const { return runLoop_; }
    // Drops the events still pending.
    void clear();
    bool hasPendingEvents() const;

private:
    RunLoop* runLoop_;
    RunLoopModes modes_;
};

} // namespace platform
