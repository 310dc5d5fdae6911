#pragma once

#include "comm/servertest/VEKServer.h"

#include <memory>
#include <vector>

class QThreadPool;

// Runs every probe of its list at once: an operation queue as wide as the
// list starts them, and each probe then runs on a thread of its own. Used on
// the main thread; destroying it cancels the probes and waits for them.
class VEKServerManager {
public:
    VEKServerManager();
    ~VEKServerManager();
    VEKServerManager(const VEKServerManager&) = delete;
    VEKServerManager& operator=(const VEKServerManager&) = delete;

    // starTesting: NO for an empty list or when the machine has no network route.
    bool starTesting();
    // Cancels every queued and running probe.
    void cancel();

    const std::vector<std::shared_ptr<VEKServer>>& serverList() const { return serverList_; }
    void setServerList(std::vector<std::shared_ptr<VEKServer>> servers);

    // Waits until the queue has started every probe (tests).
    bool waitForQueue(int milliseconds = -1);

private:
    QThreadPool* operationQueue();

    std::vector<std::shared_ptr<VEKServer>> serverList_;
    std::unique_ptr<QThreadPool> queue_;
};
