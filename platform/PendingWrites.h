#pragma once

#include <chrono>
#include <functional>

namespace platform {

// A write of a stored file that could not be made (another process holds its
// lock, the file is there but cannot be read): its store keeps the change in
// memory and owes the write. An owed write is tried again from the run loop,
// never waiting for a lock, a second later and then less and less often, up
// to once a minute; and once more at quit (writeOwedWrites), when it may wait
// for the lock. Used on the main thread.
class PendingWrite {
public:
    // `write` writes what its store owes, merged under the lock as every
    // write; true when nothing is owed any more.
    explicit PendingWrite(std::function<bool()> write);
    ~PendingWrite();
    PendingWrite(const PendingWrite&) = delete;
    PendingWrite& operator=(const PendingWrite&) = delete;

    // The store's last write failed (true) or went through (false).
    void setOwed(bool owed);
    bool isOwed() const { return owed_; }
    // Writes what is owed now; true when nothing is owed any more.
    bool retry();

private:
    std::function<bool()> write_;
    bool owed_ = false;
};

// The client's quit: every owed write once more, each allowed to wait for a
// lock a live process holds, all of them together up to
// PropertyList::lockWait(). True when nothing is owed afterwards.
bool writeOwedWrites();

// How soon an owed write is first tried again and the longest it then waits
// between tries; tests shorten them.
inline constexpr std::chrono::milliseconds kFirstRetry { 1000 };
inline constexpr std::chrono::milliseconds kLongestRetry { 60000 };
void setRetryIntervals(std::chrono::milliseconds first, std::chrono::milliseconds longest);

} // namespace platform
