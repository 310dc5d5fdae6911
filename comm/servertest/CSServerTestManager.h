#pragma once

#include "comm/request/CSServerInfo.h"
#include "comm/servertest/VEKServer.h"
#include "comm/servertest/VEKServerManager.h"
#include "platform/Lifetime.h"

#include <QtGlobal>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class CSServerTestManager;

// Hears how a speed test goes, on the main thread. Never owned by the test
// manager, which calls nothing once the delegate is destroyed.
class CSServerTestManagerDelegate : public platform::Lifetime {
public:
    virtual ~CSServerTestManagerDelegate() = default;

    // serverManagerWillStartTest:server: -- `server` is the very object of the list.
    virtual void serverManagerWillStartTest(
        CSServerTestManager& manager, const std::shared_ptr<const CSServerInfo>& server)
        = 0;
    // serverManagerDidFinishedTest:server:reachable:trafficTime: -- seconds, -1.0 when unreachable.
    virtual void serverManagerDidFinishedTest(CSServerTestManager& manager,
        const std::shared_ptr<const CSServerInfo>& server, bool reachable, double trafficTime)
        = 0;
};

// One connect-time test over a list of servers: a probe per server (tags 100
// on by list position), all at once, each reported when it starts and when it
// ends. A new test manager is made for each test. Main thread only, but for
// the probes' questions, which come from their threads.
class CSServerTestManager final : public VEKServerDelegate {
public:
    using ServerInfoPtr = std::shared_ptr<const CSServerInfo>;
    static constexpr quint64 kFirstTag = 100;

    CSServerTestManager(); // init
    ~CSServerTestManager() override;
    CSServerTestManager(const CSServerTestManager&) = delete;
    CSServerTestManager& operator=(const CSServerTestManager&) = delete;

    // NO without servers or while a test runs. Without a network route no
    // probe dials: each server is told started and finished, unreachable.
    bool startTesting();
    void cancel();
    bool isRunning() const { return running_; }

    // VEKServerDelegate
    void serverWillStartTest(VEKServer& server) override;
    void serverDidFinishedTest(VEKServer& server) override;
    std::optional<QString> serverConnectProxyAddress(VEKServer& server) override;
    std::optional<quint16> serverConnectProxyPort(VEKServer& server) override;
    std::optional<QString> serverConnectProxyUser(VEKServer& server) override;
    std::optional<QString> serverConnectProxyPassword(VEKServer& server) override;
    std::optional<QString> serverBase64EncodeString(VEKServer& server, const QString& text) override;
    std::optional<QVariantMap> serverSSLSetting(VEKServer& server) override;

    // Null entries stand for list entries that are no server infos: skipped,
    // but their position still counts.
    const std::vector<ServerInfoPtr>& serverList() const { return serverList_; }
    void setServerList(std::vector<ServerInfoPtr> servers);
    // nullptr once the delegate has been destroyed.
    CSServerTestManagerDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(CSServerTestManagerDelegate* delegate) { delegate_ = delegate; }

    // The servers of the running test by probe tag, and the probes (tests).
    std::map<quint64, ServerInfoPtr> serverMap() const;
    VEKServerManager* manager() const { return manager_.get(); }

private:
    ServerInfoPtr serverInfoForTag(quint64 tag) const;

    mutable std::mutex mapMutex_; // the probes read the map from their threads
    std::map<quint64, ServerInfoPtr> serverMap_;
    std::unique_ptr<VEKServerManager> manager_;
    bool running_ = false;
    std::vector<ServerInfoPtr> serverList_;
    platform::WeakRef<CSServerTestManagerDelegate> delegate_;
    platform::Lifetime alive_;
};
