#include "platform/PendingWrites.h"

#include "platform/PropertyList.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace platform {

namespace {

using std::chrono::milliseconds;

struct Registry {
    std::vector<PendingWrite*> owed;
    QPointer<QTimer> timer;
    milliseconds first = kFirstRetry;
    milliseconds longest = kLongestRetry;
    milliseconds next = kFirstRetry;
};

// Never destroyed: the standard user defaults, which owe through it, go only
// at the process's exit.
Registry& registry()
{
    static auto* const instance = new Registry;
    return *instance;
}

bool listed(const PendingWrite* write)
{
    const auto& owed = registry().owed;
    return std::find(owed.begin(), owed.end(), write) != owed.end();
}

// Each write owed when the pass starts, once; a write may settle or owe
// another's on its way (the installation key before the texts it enciphers).
void retryPass()
{
    const std::vector<PendingWrite*> due = registry().owed;
    for (PendingWrite* write : due) {
        if (listed(write))
            write->retry();
    }
}

void retryFromTimer();

void armTimer()
{
    Registry& r = registry();
    QCoreApplication* app = QCoreApplication::instance();
    // Without a run loop of the main thread here, the quit still writes.
    if (!app || QThread::currentThread() != app->thread())
        return;
    if (!r.timer) {
        r.timer = new QTimer(app);
        r.timer->setSingleShot(true);
        QObject::connect(r.timer, &QTimer::timeout, r.timer, [] { retryFromTimer(); });
    }
    if (!r.timer->isActive())
        r.timer->start(r.next);
}

void retryFromTimer()
{
    retryPass();
    Registry& r = registry();
    if (r.owed.empty())
        return;
    // A lock held long or a file that stays unreadable is not tried at every turn.
    r.next = std::min(r.next * 2, r.longest);
    armTimer();
}

} // namespace

PendingWrite::PendingWrite(std::function<bool()> write)
    : write_(std::move(write))
{
}

PendingWrite::~PendingWrite()
{
    setOwed(false);
}

void PendingWrite::setOwed(bool owed)
{
    Registry& r = registry();
    owed_ = owed;
    if (owed) {
        if (!listed(this))
            r.owed.push_back(this);
        armTimer();
        return;
    }
    std::erase(r.owed, this);
    if (r.owed.empty()) {
        r.next = r.first;
        if (r.timer)
            r.timer->stop();
    }
}

bool PendingWrite::retry()
{
    const bool written = write_();
    setOwed(!written);
    return written;
}

bool writeOwedWrites()
{
    const PropertyList::LockWaitScope wait { QDeadlineTimer(PropertyList::lockWait()) };
    // Again while a pass settles any: one store's write may free another's.
    for (std::size_t before = registry().owed.size(); before > 0; before = registry().owed.size()) {
        retryPass();
        if (registry().owed.size() >= before)
            break;
    }
    return registry().owed.empty();
}

void setRetryIntervals(milliseconds first, milliseconds longest)
{
    Registry& r = registry();
    r.first = first;
    r.longest = longest;
    r.next = first;
}

} // namespace platform
