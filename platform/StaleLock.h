#pragma once

#include <QLockFile>
#include <chrono>

namespace platform {

// QLockFile judges a lock file that names a process of this machine by that
// process. One that names none (written on another machine, or left empty or
// unreadable by a process that died making it) is taken over here once it is
// older than `minAge` (younger, it may be one being made now), and only when
// no live process still holds its file nor another client is taking it over
// meanwhile. True when `lock` is now held.
bool takeUnjudgedLock(QLockFile& lock, std::chrono::milliseconds minAge);

} // namespace platform
