#include "comm/servertest/VEKServerManager.h"

#include "comm/transport/Reachability.h"

#include <QThreadPool>

VEKServerManager::VEKServerManager() = default;

VEKServerManager::~VEKServerManager()
{
    cancel();
    if (queue_)
        queue_->waitForDone();
    // The probes' destructors wait for their threads.
    serverList_.clear();
}

void VEKServerManager::setServerList(std::vector<std::shared_ptr<VEKServer>> servers)
{
    // The queue may still hold the old probes; they go only once it let them go.
    if (queue_)
        queue_->waitForDone();
    serverList_ = std::move(servers);
}

QThreadPool* VEKServerManager::operationQueue()
{
    if (!queue_)
        queue_ = std::make_unique<QThreadPool>();
    return queue_.get();
}

bool VEKServerManager::starTesting()
{
    if (serverList_.empty())
        return false;
    if (Reachability::reachabilityForInternetConnection()->currentReachabilityStatus() == NotReachable)
        return false;
    QThreadPool* queue = operationQueue();
    // All at once: as many workers as probes.
    queue->setMaxThreadCount(int(serverList_.size()));
    for (const std::shared_ptr<VEKServer>& server : serverList_) {
        if (!server)
            continue;
        VEKServer* probe = server.get(); // the list outlives the queue's work
        queue->start([probe] { probe->start(); });
    }
    return true;
}

void VEKServerManager::cancel()
{
    for (const std::shared_ptr<VEKServer>& server : serverList_) {
        if (server)
            server->cancel();
    }
}

bool VEKServerManager::waitForQueue(int milliseconds)
{
    return !queue_ || queue_->waitForDone(milliseconds);
}
