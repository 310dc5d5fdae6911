#include "platform/RunLoop.h"

#include <atomic>

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <utility>

namespace platform {

namespace {

const QEvent::Type kDrainEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

thread_local std::unique_ptr<RunLoop> tCurrentRunLoop;
// Read by every thread's run loop when it ends, so it is atomic.
std::atomic<RunLoop*> gMainRunLoop { nullptr };

std::chrono::milliseconds toMilliseconds(std::chrono::duration<double> d)
{
    double ms = d.count() * 1000.0;
    if (!std::isfinite(ms) || ms < 0)
        ms = 0;
    // QTimer takes an int; a day is far more than anything here needs.
    ms = std::min(ms, 86400000.0 * 24);
    return std::chrono::milliseconds(static_cast<std::int64_t>(std::ceil(ms)));
}

} // namespace

// ---------------------------------------------------------------------------
// RunLoopModes

RunLoopModes RunLoopModes::fromNames(const QStringList& names)
{
    RunLoopModes modes;
    for (const QString& name : names) {
        if (name == QLatin1String(kCFRunLoopDefaultMode) || name == QLatin1String(NSDefaultRunLoopMode))
            modes = modes | RunLoopMode::Default;
        else if (name == QLatin1String(NSModalPanelRunLoopMode))
            modes = modes | RunLoopMode::ModalPanel;
        else if (name == QLatin1String(kCFRunLoopCommonModes) || name == QLatin1String(NSRunLoopCommonModes))
            modes = modes | common();
    }
    return modes;
}

QStringList RunLoopModes::names() const
{
    if (*this == common())
        return { QString::fromLatin1(kCFRunLoopCommonModes) };
    QStringList list;
    if (contains(RunLoopMode::Default))
        list << QString::fromLatin1(kCFRunLoopDefaultMode);
    if (contains(RunLoopMode::ModalPanel))
        list << QString::fromLatin1(NSModalPanelRunLoopMode);
    return list;
}

// ---------------------------------------------------------------------------
// RunLoop

RunLoop::RunLoop() = default;

RunLoop::~RunLoop()
{
    RunLoop* self = this;
    gMainRunLoop.compare_exchange_strong(self, nullptr);
}

RunLoop* RunLoop::current()
{
    if (!tCurrentRunLoop) {
        tCurrentRunLoop.reset(new RunLoop());
        QCoreApplication* app = QCoreApplication::instance();
        if (app && QThread::currentThread() == app->thread())
            gMainRunLoop.store(tCurrentRunLoop.get());
    }
    return tCurrentRunLoop.get();
}

RunLoop* RunLoop::main()
{
    if (!gMainRunLoop.load()) {
        QCoreApplication* app = QCoreApplication::instance();
        Q_ASSERT_X(app && QThread::currentThread() == app->thread(), "RunLoop::main",
            "the main run loop is first reached from the main thread");
        current();
    }
    return gMainRunLoop.load();
}

void RunLoop::assertThread() const
{
    Q_ASSERT_X(QThread::currentThread() == thread(), "RunLoop", "used from another thread");
}

RunLoopMode RunLoop::currentMode() const
{
    return modeStack_.empty() ? RunLoopMode::Default : modeStack_.back();
}

void RunLoop::pushMode(RunLoopMode mode)
{
    assertThread();
    modeStack_.push_back(mode);
    scheduleDrain();
}

void RunLoop::popMode(RunLoopMode mode)
{
    assertThread();
    Q_ASSERT_X(
        !modeStack_.empty() && modeStack_.back() == mode, "ModalSession", "sessions end in reverse order");
    if (!modeStack_.empty())
        modeStack_.pop_back();
    scheduleDrain();
}

RunLoop::CallId RunLoop::enqueue(Call call)
{
    assertThread();
    call.id = nextId_++;
    const CallId id = call.id;
    calls_.push_back(std::move(call));
    scheduleDrain();
    return id;
}

RunLoop::CallId RunLoop::perform(
    RunLoopModes modes, std::function<void()> call, const void* owner, QObject* context)
{
    Call c;
    c.modes = modes;
    c.call = std::move(call);
    c.owner = owner;
    c.context = context;
    c.hasContext = context != nullptr;
    return enqueue(std::move(c));
}

void RunLoop::cancel(CallId id)
{
    assertThread();
    calls_.remove_if([id](const Call& c) { return c.id == id; });
}

void RunLoop::cancelAll(const void* owner)
{
    assertThread();
    if (owner)
        calls_.remove_if([owner](const Call& c) { return c.owner == owner; });
}

void RunLoop::setModes(const void* owner, RunLoopModes modes)
{
    assertThread();
    for (Call& c : calls_) {
        if (c.owner == owner)
            c.modes = modes;
    }
    scheduleDrain();
}

bool RunLoop::hasPendingCalls(const void* owner) const
{
    return std::any_of(calls_.begin(), calls_.end(), [owner](const Call& c) { return c.owner == owner; });
}

bool RunLoop::isPending(CallId id) const
{
    return std::any_of(calls_.begin(), calls_.end(), [id](const Call& c) { return c.id == id; });
}

bool RunLoop::hasPending(const void* owner, int coalesceKey) const
{
    return std::any_of(calls_.begin(), calls_.end(),
        [&](const Call& c) { return c.owner == owner && c.coalesceKey == coalesceKey; });
}

void RunLoop::resetForTesting()
{
    assertThread();
    modeStack_.clear();
    calls_.clear();
}

void RunLoop::scheduleDrain()
{
    if (drainPosted_ || calls_.empty())
        return;
    drainPosted_ = true;
    QCoreApplication::postEvent(this, new QEvent(kDrainEvent));
}

bool RunLoop::event(QEvent* event)
{
    if (event->type() != kDrainEvent)
        return QObject::event(event);
    drainPosted_ = false;
    drain();
    return true;
}

void RunLoop::drain()
{
    // Only calls made before this pass run in it; later ones wait for the next.
    // A call may open a nested loop that drains again, so each call is taken
    // off the list before it runs.
    const CallId boundary = nextId_;
    for (;;) {
        const RunLoopMode mode = currentMode();
        auto it = std::find_if(calls_.begin(), calls_.end(),
            [&](const Call& c) { return c.id < boundary && c.modes.contains(mode); });
        if (it == calls_.end())
            break;
        Call c = std::move(*it);
        calls_.erase(it);
        if (c.hasContext && !c.context)
            continue;
        if (c.call)
            c.call();
    }
    // What is left waits for a later pass, or for a mode change.
    if (std::any_of(
            calls_.begin(), calls_.end(), [&](const Call& c) { return c.modes.contains(currentMode()); }))
        scheduleDrain();
}

// ---------------------------------------------------------------------------
// ModalSession

namespace {
std::function<void(ModalSession&)>& sessionStartHook()
{
    static std::function<void(ModalSession&)> hook;
    return hook;
}
} // namespace

ModalSession::ModalSession(RunLoop* runLoop, Stop stop, bool answeredByTest)
    : runLoop_(runLoop)
    , stop_(std::move(stop))
    , answeredByTest_(answeredByTest)
{
    runLoop_->pushMode(RunLoopMode::ModalPanel);
    runLoop_->sessions_.push_back(this);
    if (sessionStartHook())
        sessionStartHook()(*this);
}

ModalSession::~ModalSession()
{
    std::erase(runLoop_->sessions_, this);
    runLoop_->popMode(RunLoopMode::ModalPanel);
}

void ModalSession::stop()
{
    // The run may call back into its owner, which may stop it again.
    if (Stop stop = std::exchange(stop_, {}))
        stop();
}

void ModalSession::stopCurrent(RunLoop* runLoop)
{
    if (!runLoop->sessions_.empty())
        runLoop->sessions_.back()->stop();
}

void ModalSession::stopAll(RunLoop* runLoop)
{
    // A stop may end or start other sessions: each one still running, once.
    std::vector<WeakRef<ModalSession>> sessions;
    for (auto it = runLoop->sessions_.rbegin(); it != runLoop->sessions_.rend(); ++it)
        sessions.emplace_back(*it);
    for (const WeakRef<ModalSession>& session : sessions) {
        if (ModalSession* s = session.get())
            s->stop();
    }
}

void ModalSession::setStartHookForTesting(std::function<void(ModalSession&)> hook)
{
    sessionStartHook() = std::move(hook);
}

// ---------------------------------------------------------------------------
// RunLoopTimer

RunLoopTimer::RunLoopTimer(std::chrono::duration<double> interval, bool repeats, RunLoopModes modes,
    Callback callback, RunLoop* runLoop)
    : runLoop_(runLoop)
    , timer_(std::make_unique<QTimer>())
    , interval_(interval)
    , repeats_(repeats)
    , modes_(modes)
    , callback_(std::move(callback))
{
    Q_ASSERT(QThread::currentThread() == runLoop_->thread());
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this] { onTimeout(); });
}

RunLoopTimer::RunLoopTimer(
    double seconds, bool repeats, RunLoopModes modes, Callback callback, RunLoop* runLoop)
    : RunLoopTimer(std::chrono::duration<double>(seconds), repeats, modes, std::move(callback), runLoop)
{
}

RunLoopTimer::~RunLoopTimer()
{
    stop();
}

void RunLoopTimer::armQtTimer(std::chrono::milliseconds delay)
{
    timer_->setSingleShot(true);
    timer_->start(delay);
}

void RunLoopTimer::start()
{
    stop();
    scheduled_ = true;
    nextFire_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(interval_);
    armQtTimer(toMilliseconds(interval_));
}

void RunLoopTimer::stop()
{
    scheduled_ = false;
    timer_->stop();
    if (heldCall_ != 0) {
        runLoop_->cancel(heldCall_);
        heldCall_ = 0;
    }
}

void RunLoopTimer::setInterval(std::chrono::duration<double> interval)
{
    interval_ = interval;
}

void RunLoopTimer::setModes(RunLoopModes modes)
{
    modes_ = modes;
    if (heldCall_ != 0)
        runLoop_->setModes(this, modes);
}

std::optional<RunLoopTimer::Clock::time_point> RunLoopTimer::fireDate() const
{
    if (!scheduled_)
        return std::nullopt;
    return nextFire_;
}

void RunLoopTimer::setFireDate(Clock::time_point when)
{
    stop();
    scheduled_ = true;
    nextFire_ = when;
    const auto delay = std::max(Clock::duration::zero(), when - Clock::now());
    armQtTimer(toMilliseconds(std::chrono::duration<double>(delay)));
}

void RunLoopTimer::onTimeout()
{
    // A repeating timer keeps its rhythm from the moment it was due.
    if (repeats_ && scheduled_) {
        nextFire_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(interval_);
        armQtTimer(toMilliseconds(interval_));
    } else {
        scheduled_ = false;
    }
    if (heldCall_ != 0 && !runLoop_->isPending(heldCall_))
        heldCall_ = 0; // the run loop was reset meanwhile
    // The callback runs from the run loop's queue in the timer's modes, never
    // inside Qt's timer event, so it may delete this timer.
    if (heldCall_ == 0) {
        const auto alive = alive_.watch();
        heldCall_ = runLoop_->perform(
            modes_,
            [this, alive] {
                if (!alive.survived())
                    return;
                heldCall_ = 0;
                runCallback();
            },
            this);
    }
}

void RunLoopTimer::fire()
{
    if (!repeats_)
        stop();
    runCallback();
}

void RunLoopTimer::runCallback()
{
    // The callback may destroy this timer; keep what it runs alive.
    Callback cb = callback_;
    if (cb)
        cb();
}

// ---------------------------------------------------------------------------
// RunLoopSource

RunLoopSource::RunLoopSource(RunLoopModes modes, RunLoop* runLoop)
    : runLoop_(runLoop)
    , modes_(modes)
{
}

RunLoopSource::~RunLoopSource()
{
    runLoop_->cancelAll(this);
}

void RunLoopSource::signal(std::function<void()> event, int coalesceKey)
{
    if (coalesceKey >= 0 && runLoop_->hasPending(this, coalesceKey))
        return;
    RunLoop::Call c;
    c.modes = modes_;
    c.call = std::move(event);
    c.owner = this;
    c.coalesceKey = coalesceKey;
    runLoop_->enqueue(std::move(c));
}

void RunLoopSource::setModes(RunLoopModes modes)
{
    modes_ = modes;
    runLoop_->setModes(this, modes);
}

void RunLoopSource::clear()
{
    runLoop_->cancelAll(this);
}

bool RunLoopSource::hasPendingEvents() const
{
    return runLoop_->hasPendingCalls(this);
}

} // namespace platform
