#include "comm/servertest/CSServerTestManager.h"

#include "comm/transport/StreamSocket.h"
#include "comm/recordset/VEKBase64.h"
#include "comm/servertest/VEKTCServer.h"

CSServerTestManager::CSServerTestManager() = default;

CSServerTestManager::~CSServerTestManager()
{
    // The probes ask this object from their threads: they go first.
    manager_.reset();
}

void CSServerTestManager::setServerList(std::vector<ServerInfoPtr> servers)
{
    serverList_ = std::move(servers);
}

std::map<quint64, CSServerTestManager::ServerInfoPtr> CSServerTestManager::serverMap() const
{
    std::lock_guard lock(mapMutex_);
    return serverMap_;
}

CSServerTestManager::ServerInfoPtr CSServerTestManager::serverInfoForTag(quint64 tag) const
{
    std::lock_guard lock(mapMutex_);
    const auto it = serverMap_.find(tag);
    return it == serverMap_.end() ? nullptr : it->second;
}

bool CSServerTestManager::startTesting()
{
    if (serverList_.empty() || running_)
        return false;
    // A previous test's probes may still ask about the map: they go first.
    manager_.reset();
    std::vector<std::shared_ptr<VEKServer>> probes;
    {
        std::lock_guard lock(mapMutex_);
        serverMap_.clear();
        for (std::size_t i = 0; i < serverList_.size(); ++i) {
            const ServerInfoPtr& info = serverList_[i];
            if (!info)
                continue;
            auto probe = VEKTCServer::serverWithHost(info->address(), info->port());
            probe->setTimeout(info->timeout());
            probe->setTag(kFirstTag + i);
            probe->setDelegate(this);
            probe->setProxyMode(info->proxyMode());
            probe->setNeedSSL(info->needSSL());
            serverMap_[kFirstTag + i] = info;
            probes.push_back(std::move(probe));
        }
    }
    if (probes.empty())
        return false;
    manager_ = std::make_unique<VEKServerManager>();
    manager_->setServerList(std::move(probes));
    running_ = true;
    if (!manager_->starTesting()) {
        // Without a network route no probe runs, and a test nobody hears of
        // would count as running for good, refusing every test after it:
        // each server ends as a probe that could not connect.
        for (const std::shared_ptr<VEKServer>& probe : manager_->serverList())
            probe->finishUnstarted();
    }
    return true;
}

void CSServerTestManager::cancel()
{
    running_ = false;
    if (manager_)
        manager_->cancel();
    manager_.reset();
    std::lock_guard lock(mapMutex_);
    serverMap_.clear();
}

void CSServerTestManager::serverWillStartTest(VEKServer& server)
{
    const ServerInfoPtr info = serverInfoForTag(server.tag());
    if (!info)
        return; // from a test that was cancelled
    if (CSServerTestManagerDelegate* d = delegate())
        d->serverManagerWillStartTest(*this, info);
}

void CSServerTestManager::serverDidFinishedTest(VEKServer& server)
{
    const quint64 tag = server.tag();
    const ServerInfoPtr info = serverInfoForTag(tag);
    if (!info)
        return;
    const bool reachable = server.reachable();
    const double trafficTime = reachable ? server.trafficTime() : -1.0;
    const auto alive = alive_.watch();
    if (CSServerTestManagerDelegate* d = delegate())
        d->serverManagerDidFinishedTest(*this, info, reachable, trafficTime);
    if (!alive.survived())
        return;
    std::lock_guard lock(mapMutex_);
    serverMap_.erase(tag);
    if (serverMap_.empty())
        running_ = false;
}

std::optional<QString> CSServerTestManager::serverConnectProxyAddress(VEKServer& server)
{
    const ServerInfoPtr info = serverInfoForTag(server.tag());
    return info ? std::optional<QString>(info->proxyAddress()) : std::nullopt;
}

std::optional<quint16> CSServerTestManager::serverConnectProxyPort(VEKServer& server)
{
    const ServerInfoPtr info = serverInfoForTag(server.tag());
    return info ? info->proxyPort() : quint16(0);
}

std::optional<QString> CSServerTestManager::serverConnectProxyUser(VEKServer& server)
{
    const ServerInfoPtr info = serverInfoForTag(server.tag());
    return info ? std::optional<QString>(info->proxyUser()) : std::nullopt;
}

std::optional<QString> CSServerTestManager::serverConnectProxyPassword(VEKServer& server)
{
    const ServerInfoPtr info = serverInfoForTag(server.tag());
    return info ? std::optional<QString>(info->proxyPassword()) : std::nullopt;
}

std::optional<QString> CSServerTestManager::serverBase64EncodeString(VEKServer&, const QString& text)
{
    return VEKBase64::stringByEncodingData(text.toUtf8());
}

std::optional<QVariantMap> CSServerTestManager::serverSSLSetting(VEKServer&)
{
    // What the system asks for; the socket verifies the peer all the same.
    return QVariantMap {
        { QString::fromLatin1(kCFStreamSSLAllowsExpiredCertificates), true },
        { QString::fromLatin1(kCFStreamSSLAllowsAnyRoot), true },
        { QString::fromLatin1(kCFStreamSSLValidatesCertificateChain), false },
    };
}
