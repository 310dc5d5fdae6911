// Writes a store owes: tried again from the run loop until they go, all of
// them at quit, and never once their store is gone.
#include "platform/PendingWrites.h"

#include "support/ShortLockWait.h"
#include "support/Spin.h"

#include <gtest/gtest.h>
#include <memory>

using platform::PendingWrite;

TEST(PendingWrites, AnOwedWriteIsMadeOnceItCanBe)
{
    enum When { FromTheRunLoop, AtQuit };
    const struct {
        const char* name;
        When when;
        int failuresOfFirst; // before the first store's write goes
        bool firstNeedsSecond; // the first's write goes only after the second's
        bool secondGone;
        bool allWritten;
        int triesOfFirst;
    } rows[] = {
        { "failing twice more, from the run loop", FromTheRunLoop, 2, false, false, true, 3 },
        // Tried again at quit only after a pass in which another write went.
        { "failing on, at quit", AtQuit, 5, false, false, false, 2 },
        { "freed by a later store's write, at quit", AtQuit, 0, true, false, true, 2 },
        { "its store gone meanwhile, at quit", AtQuit, 0, false, true, true, 1 },
    };
    const testsupport::QuickRetries quickRetries;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        int triesOfFirst = 0;
        int triesOfSecond = 0;
        bool secondWritten = false;
        PendingWrite first([&] {
            ++triesOfFirst;
            return triesOfFirst > row.failuresOfFirst && (!row.firstNeedsSecond || secondWritten);
        });
        auto second = std::make_unique<PendingWrite>([&] {
            ++triesOfSecond;
            secondWritten = true;
            return true;
        });
        first.setOwed(true);
        second->setOwed(true);
        if (row.secondGone)
            second.reset();
        if (row.when == FromTheRunLoop)
            EXPECT_TRUE(testsupport::spinUntil([&] { return !first.isOwed() && !second->isOwed(); }));
        else
            EXPECT_EQ(platform::writeOwedWrites(), row.allWritten);
        EXPECT_EQ(triesOfFirst, row.triesOfFirst);
        EXPECT_EQ(triesOfSecond, row.secondGone ? 0 : 1);
        first.setOwed(false);
    }
}
