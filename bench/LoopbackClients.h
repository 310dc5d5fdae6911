#pragma once

// What the benchmarks over loopback connections share: spinning the event
// loop until a condition holds, and an observer that counts what comes back.
#include "comm/request/CSNetwork.h"

#include <QEventLoop>
#include <functional>

namespace loopback {

inline void waitUntil(const std::function<bool()>& condition)
{
    QEventLoop loop;
    while (!condition())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
}

class ReplyCounter : public CSNetworkObserver {
public:
    qint64 replies = 0;
    qint64 errors = 0;
    bool respondWithRecordSet(const std::vector<VEKTCRS>&, const QString&) override
    {
        ++replies;
        return true;
    }
    bool respondWithError(const CSError&, const QString&) override
    {
        ++errors;
        return true;
    }
};

} // namespace loopback
