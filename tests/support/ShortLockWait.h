#pragma once

#include "platform/PendingWrites.h"
#include "platform/PropertyList.h"

#include <chrono>

namespace testsupport {

// For as long as it lives, the writes at quit give up on a lock a live
// process holds after `wait` rather than the client's seconds.
class ShortLockWait {
public:
    explicit ShortLockWait(std::chrono::milliseconds wait = std::chrono::milliseconds(50))
        : saved_(platform::PropertyList::lockWait())
    {
        platform::PropertyList::setLockWait(wait);
    }
    ~ShortLockWait() { platform::PropertyList::setLockWait(saved_); }
    ShortLockWait(const ShortLockWait&) = delete;
    ShortLockWait& operator=(const ShortLockWait&) = delete;

private:
    std::chrono::milliseconds saved_;
};

// For as long as it lives, a write that could not be made is tried again
// within moments rather than the client's second and more.
class QuickRetries {
public:
    QuickRetries()
    {
        platform::setRetryIntervals(std::chrono::milliseconds(5), std::chrono::milliseconds(20));
    }
    ~QuickRetries() { platform::setRetryIntervals(platform::kFirstRetry, platform::kLongestRetry); }
    QuickRetries(const QuickRetries&) = delete;
    QuickRetries& operator=(const QuickRetries&) = delete;
};

} // namespace testsupport
