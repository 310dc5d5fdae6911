#include "platform/RunLoop.h"

#include "support/ModalGuard.h"
#include "support/Spin.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;
using platform::ModalSession;
using platform::RunLoop;
using platform::RunLoopMode;
using platform::RunLoopModes;
using platform::RunLoopSource;
using platform::RunLoopTimer;
using testsupport::spinFor;
using testsupport::spinUntil;

namespace {

class RunLoopTest : public ::testing::Test {
protected:
    void SetUp() override { RunLoop::current()->resetForTesting(); }
    void TearDown() override { RunLoop::current()->resetForTesting(); }
    // The modal sessions here are the tests' own.
    testsupport::ExpectModalDialogs ownSessions;
};

} // namespace

TEST_F(RunLoopTest, ModeNames)
{
    EXPECT_EQ(RunLoopModes::fromNames({ "kCFRunLoopDefaultMode" }), RunLoopModes::defaultMode());
    EXPECT_EQ(RunLoopModes::fromNames({ "NSDefaultRunLoopMode" }), RunLoopModes::defaultMode());
    EXPECT_EQ(RunLoopModes::fromNames({ "NSModalPanelRunLoopMode" }), RunLoopModes::modalPanel());
    EXPECT_EQ(RunLoopModes::fromNames({ "kCFRunLoopCommonModes" }), RunLoopModes::common());
    EXPECT_EQ(RunLoopModes::fromNames({ "NSRunLoopCommonModes" }), RunLoopModes::common());
    EXPECT_EQ(RunLoopModes::fromNames({ "NSDefaultRunLoopMode", "NSModalPanelRunLoopMode" }),
        RunLoopModes::common());
    EXPECT_TRUE(RunLoopModes::fromNames({ "SomeOtherMode" }).isEmpty());
    EXPECT_TRUE(RunLoopModes::fromNames({}).isEmpty());
    EXPECT_EQ(RunLoopModes::common().names(), QStringList { "kCFRunLoopCommonModes" });
    EXPECT_EQ(RunLoopModes::modalPanel().names(), QStringList { "NSModalPanelRunLoopMode" });
    EXPECT_EQ(RunLoopModes::fromNames(RunLoopModes::defaultMode().names()), RunLoopModes::defaultMode());
    EXPECT_TRUE(RunLoopModes::common().contains(RunLoopMode::ModalPanel));
    EXPECT_FALSE(RunLoopModes::defaultMode().contains(RunLoopMode::ModalPanel));
}

TEST_F(RunLoopTest, DeferredCallsRunLaterInOrderAndCanBeCancelled)
{
    RunLoop* loop = RunLoop::current();
    EXPECT_EQ(loop, RunLoop::main());
    QStringList log;
    int ownerA = 0;
    int ownerB = 0;
    loop->perform(
        RunLoopModes::defaultMode(), [&] { log << "a1"; }, &ownerA);
    const auto b1 = loop->perform(
        RunLoopModes::defaultMode(), [&] { log << "b1"; }, &ownerB);
    loop->perform(
        RunLoopModes::common(),
        [&] {
            log << "a2";
            // Made during a pass: runs in a later one, still after what is queued.
            loop->perform(RunLoopModes::defaultMode(), [&] { log << "nested"; });
        },
        &ownerA);
    loop->perform(
        RunLoopModes::defaultMode(), [&] { log << "b2"; }, &ownerB);
    EXPECT_TRUE(log.isEmpty()); // never inside the caller
    EXPECT_TRUE(loop->hasPendingCalls(&ownerA));

    loop->cancel(b1);
    ASSERT_TRUE(spinUntil([&] { return log.size() == 4; }));
    EXPECT_EQ(log, (QStringList { "a1", "a2", "b2", "nested" }));

    log.clear();
    loop->perform(
        RunLoopModes::defaultMode(), [&] { log << "a"; }, &ownerA);
    loop->perform(
        RunLoopModes::defaultMode(), [&] { log << "b"; }, &ownerB);
    loop->cancelAll(&ownerA);
    EXPECT_FALSE(loop->hasPendingCalls(&ownerA));
    ASSERT_TRUE(spinUntil([&] { return log.size() == 1; }));
    EXPECT_EQ(log, QStringList { "b" });

    // A call bound to a context object is dropped once the object is gone.
    auto context = std::make_unique<QObject>();
    bool ran = false;
    loop->perform(
        RunLoopModes::defaultMode(), [&] { ran = true; }, nullptr, context.get());
    context.reset();
    spinFor(20ms);
    EXPECT_FALSE(ran);
    EXPECT_EQ(loop->pendingCallCount(), 0u);
}

TEST_F(RunLoopTest, ModalSessionHoldsDefaultModeWork)
{
    RunLoop* loop = RunLoop::current();
    QStringList log;
    RunLoopTimer defaultTimer(0.01, false, RunLoopModes::defaultMode(), [&] { log << "default timer"; });
    RunLoopTimer commonTimer(0.01, false, RunLoopModes::common(), [&] { log << "common timer"; });
    RunLoopTimer modalTimer(0.01, false, RunLoopModes::modalPanel(), [&] { log << "modal timer"; });
    {
        ModalSession session;
        EXPECT_EQ(loop->currentMode(), RunLoopMode::ModalPanel);
        defaultTimer.start();
        commonTimer.start();
        modalTimer.start();
        loop->perform(RunLoopModes::defaultMode(), [&] { log << "default call"; });
        loop->perform(RunLoopModes::modalPanel(), [&] { log << "modal call"; });
        ASSERT_TRUE(spinUntil([&] { return log.size() == 3; }));
        spinFor(40ms); // the default-mode timer is due by now, and held
        EXPECT_EQ(log.size(), 3);
        EXPECT_TRUE(log.contains("common timer"));
        EXPECT_TRUE(log.contains("modal timer"));
        EXPECT_TRUE(log.contains("modal call"));
        EXPECT_TRUE(defaultTimer.isActive()); // due, waiting for its mode
        EXPECT_FALSE(commonTimer.isActive());
    }
    EXPECT_EQ(loop->currentMode(), RunLoopMode::Default);
    ASSERT_TRUE(spinUntil([&] { return log.size() == 5; }));
    // Held work runs in the order it fell due.
    EXPECT_EQ(log.mid(3), (QStringList { "default call", "default timer" }));
    EXPECT_FALSE(defaultTimer.isActive());

    // Sessions nest; the default mode returns only with the outermost end.
    {
        ModalSession outer;
        {
            ModalSession inner;
            EXPECT_EQ(loop->currentMode(), RunLoopMode::ModalPanel);
        }
        EXPECT_EQ(loop->currentMode(), RunLoopMode::ModalPanel);
    }
    EXPECT_EQ(loop->currentMode(), RunLoopMode::Default);
}

TEST_F(RunLoopTest, ModalSessionAroundNestedEventLoop)
{
    // The shape of a modal dialog: a deferred call opens a session and runs a
    // nested loop that only common-mode work can end.
    RunLoop* loop = RunLoop::current();
    QStringList log;
    bool finished = false;
    loop->perform(RunLoopModes::defaultMode(), [&] {
        ModalSession session;
        QEventLoop nested;
        loop->perform(RunLoopModes::defaultMode(), [&] { log << "default"; });
        RunLoopTimer closer(0.03, false, RunLoopModes::common(), [&] {
            log << "close panel";
            nested.quit();
        });
        closer.start();
        nested.exec();
        finished = true;
    });
    ASSERT_TRUE(spinUntil([&] { return finished && log.size() == 2; }));
    EXPECT_EQ(log, (QStringList { "close panel", "default" }));
}

// Two dialogs, one over the other. Stopping the current session ends the
// inner run only; stopping every session (a screen lock) ends both, the
// inner one first. A run is ended once, however often it is stopped. A run
// that nothing ends gives up after a while and says so, rather than hang.
TEST_F(RunLoopTest, StoppingModalSessionsEndsTheirRuns)
{
    QStringList log;
    // Runs two nested sessions; `atTop` is posted from the inner one, and
    // `afterInner` once the inner one has ended.
    const auto nested = [&](std::function<void()> atTop, std::function<void()> afterInner) {
        log.clear();
        std::function<void(int)> run = [&](int depth) {
            QEventLoop loop;
            ModalSession session(RunLoop::current(), [&log, &loop, depth] {
                log << QStringLiteral("stop %1").arg(depth);
                loop.exit();
            });
            QTimer bound;
            bound.setSingleShot(true);
            QObject::connect(&bound, &QTimer::timeout, &loop, [&log, &loop, depth] {
                log << QStringLiteral("never stopped %1").arg(depth);
                loop.exit();
            });
            bound.start(2s);
            QTimer::singleShot(0, [&, depth] {
                if (depth == 1)
                    run(2);
                else
                    atTop();
            });
            loop.exec();
            log << QStringLiteral("ended %1").arg(depth);
            if (depth == 2)
                QTimer::singleShot(0, afterInner);
        };
        run(1);
    };
    nested([] {
        ModalSession::stopCurrent();
        ModalSession::stopCurrent();
    }, [] { ModalSession::stopCurrent(); });
    EXPECT_EQ(log, (QStringList { "stop 2", "ended 2", "stop 1", "ended 1" }));
    nested([] {
        ModalSession::stopAll();
        ModalSession::stopAll();
    }, [] { });
    EXPECT_EQ(log, (QStringList { "stop 2", "stop 1", "ended 2", "ended 1" }));
    EXPECT_EQ(RunLoop::current()->currentMode(), RunLoopMode::Default);
}

TEST_F(RunLoopTest, RepeatingTimerDoesNotBurstAfterHold)
{
    int fired = 0;
    RunLoopTimer timer(0.02, true, RunLoopModes::defaultMode(), [&] { ++fired; });
    timer.start();
    ASSERT_TRUE(spinUntil([&] { return fired >= 1; }));
    {
        ModalSession session;
        const int before = fired;
        spinFor(120ms); // several ticks fall due here
        EXPECT_EQ(fired, before);
        fired = 0;
    }
    // One held tick on return, not one per missed tick; the rhythm then goes on.
    spinFor(10ms);
    EXPECT_GE(fired, 1);
    EXPECT_LE(fired, 2);
    ASSERT_TRUE(spinUntil([&] { return fired >= 3; }));
    EXPECT_TRUE(timer.isActive());
    ASSERT_TRUE(timer.fireDate().has_value());
    timer.stop();
    EXPECT_FALSE(timer.isActive());
    EXPECT_FALSE(timer.fireDate().has_value());
    const int after = fired;
    spinFor(50ms);
    EXPECT_EQ(fired, after);
}

TEST_F(RunLoopTest, TimerOperations)
{
    int fired = 0;
    auto timer = std::make_unique<RunLoopTimer>(10.0, false, RunLoopModes::defaultMode(), [&] { ++fired; });
    EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(timer->repeats());
    timer->start();
    ASSERT_TRUE(timer->fireDate().has_value());
    EXPECT_GT(*timer->fireDate(), RunLoopTimer::Clock::now() + 9s);

    // An earlier fire date brings the firing forward.
    timer->setFireDate(RunLoopTimer::Clock::now() + 10ms);
    ASSERT_TRUE(spinUntil([&] { return fired == 1; }));
    EXPECT_FALSE(timer->isActive());

    // fire() runs at once; a one-shot timer ends with it.
    timer->start();
    timer->fire();
    EXPECT_EQ(fired, 2);
    EXPECT_FALSE(timer->isActive());

    // Stopping a timer that is held for its mode drops the held firing.
    timer->setInterval(0.005s);
    {
        ModalSession session;
        timer->start();
        spinFor(30ms);
        EXPECT_TRUE(timer->isActive());
        timer->stop();
    }
    spinFor(20ms);
    EXPECT_EQ(fired, 2);

    // A held timer whose modes change to include the current one fires.
    {
        ModalSession session;
        timer->start();
        spinFor(20ms);
        EXPECT_EQ(fired, 2);
        timer->setModes(RunLoopModes::common());
        ASSERT_TRUE(spinUntil([&] { return fired == 3; }));
    }

    // The callback may destroy its own timer.
    timer = std::make_unique<RunLoopTimer>(0.001, true, RunLoopModes::defaultMode(), [&] {
        ++fired;
        timer.reset();
    });
    timer->start();
    ASSERT_TRUE(spinUntil([&] { return !timer; }));
    EXPECT_EQ(fired, 4);
}

TEST_F(RunLoopTest, SourceDeliversInOrderInItsModes)
{
    RunLoop* loop = RunLoop::current();
    QStringList log;
    auto source = std::make_unique<RunLoopSource>(RunLoopModes::defaultMode());
    RunLoopSource modalSource(RunLoopModes::modalPanel());
    {
        ModalSession session;
        source->signal([&] { log << "readable"; }, 1);
        source->signal([&] { log << "readable again"; }, 1); // coalesced into the first
        source->signal([&] { log << "error"; });
        modalSource.signal([&] { log << "modal source"; });
        ASSERT_TRUE(spinUntil([&] { return log.size() == 1; }));
        spinFor(20ms);
        EXPECT_EQ(log, QStringList { "modal source" });
        EXPECT_TRUE(source->hasPendingEvents());
    }
    ASSERT_TRUE(spinUntil([&] { return log.size() == 3; }));
    EXPECT_EQ(log.mid(1), (QStringList { "readable", "error" }));

    // Changing modes moves held events along; destroying the source drops them.
    log.clear();
    {
        ModalSession session;
        source->signal([&] { log << "moved"; });
        spinFor(10ms);
        EXPECT_TRUE(log.isEmpty());
        source->setModes(RunLoopModes::common());
        ASSERT_TRUE(spinUntil([&] { return log.size() == 1; }));
        source->setModes(RunLoopModes::defaultMode());
        source->signal([&] { log << "dropped"; });
        source.reset();
    }
    spinFor(20ms);
    EXPECT_EQ(log, QStringList { "moved" });
    EXPECT_EQ(loop->pendingCallCount(), 0u);
}

TEST_F(RunLoopTest, EachThreadHasItsOwnRunLoop)
{
    RunLoop* mainLoop = RunLoop::current();
    std::atomic<RunLoop*> other { nullptr };
    std::atomic<bool> ran { false };
    QThread* thread = QThread::create([&] {
        RunLoop* loop = RunLoop::current();
        other = loop;
        QEventLoop events;
        loop->perform(RunLoopModes::defaultMode(), [&] {
            ran = loop->currentMode() == RunLoopMode::Default && QThread::currentThread() == loop->thread();
            events.quit();
        });
        events.exec();
    });
    thread->start();
    ASSERT_TRUE(thread->wait(5000));
    delete thread;
    EXPECT_TRUE(ran);
    EXPECT_NE(other.load(), mainLoop);
    EXPECT_EQ(RunLoop::main(), mainLoop);
}
