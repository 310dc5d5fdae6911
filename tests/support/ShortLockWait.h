#pragma once

#include "platform/PropertyList.h"

#include <chrono>

namespace testsupport {

// For as long as it lives, a settings write gives up on a lock a live process
// holds after `wait` rather than the client's seconds.
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

} // namespace testsupport
