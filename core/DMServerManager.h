#pragma once

#include "comm/recordset/VEKTCRS.h"
#include "comm/servertest/CSServerTestManager.h"
#include "core/INetworkFactory.h"
#include "core/IPMacAddressInfo.h"
#include "core/RDOServerInfo.h"
#include "platform/Lifetime.h"
#include "platform/NotificationCenter.h"
#include "platform/PendingWrites.h"
#include "platform/RunLoop.h"

#include <QString>
#include <QVariantMap>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class CSNetwork;
class CSNetworkObserver;
class DMNotificationCenter;
class DMServerManager;

// Hears the server manager's speed tests and public-address lookups, on the
// main thread. Every operation is optional. Never owned by the manager: a
// delegate that goes away simply stops hearing.
class DMServerManagerDelegate : public platform::Lifetime {
public:
    virtual ~DMServerManagerDelegate() = default;

    virtual void serverManagerWillStartTest(DMServerManager& manager, const RDOServerInfo& server) { }
    // Seconds the connect took; -1.0 when unreachable.
    virtual void serverManagerDidFinishedTest(
        DMServerManager& manager, const RDOServerInfo& server, bool reachable, double trafficTime)
    {
    }
    // serverManager:publicIP:networkOperator: the operator is always missing.
    virtual void serverManager(DMServerManager& manager, const std::optional<QString>& publicIP,
        const std::optional<QString>& networkOperator)
    {
    }
};

// Where DMServerManager keeps its lists, and how it retries.
struct DMServerManagerOptions {
    // The copy shipped with the application (a Qt resource).
    QString shippedPath = QStringLiteral(":/ServerInfo.plist");
    // The user's copy; empty: "ServerInfo.plist" in the per-user "Config/".
    QString userPath;
    // A network that keeps losing its connection is moved on after a delay
    // that doubles from the first value up to the second (seconds). Only a
    // connection that served (stayed logged on, in HTTP mode answering) for
    // the second value starts the delays afresh.
    double firstRetryDelay = 0.5;
    double maxRetryDelay = 8.0;
    // The clock that times how long a server served; empty: the steady clock.
    std::function<std::chrono::steady_clock::time_point()> clock;
};

// The quote (kind 0) and trade (kind 1) server lists, the selected server of
// each, their stored form "ServerInfo.plist", connecting a network to a
// server, and connect-time speed tests. Main thread only.
//
// Stored addresses and ports are AES-enciphered (a fresh IV every time), so
// stored selections are compared on their plain text.
class DMServerManager final : public INetworkServerManager,
                              public CSServerTestManagerDelegate,
                              public PublicIPDelegate {
public:
    using ServerPtr = std::shared_ptr<const RDOServerInfo>;

    static constexpr int32_t kQuote = 0;
    static constexpr int32_t kTrade = 1;
    static constexpr qint64 kQuoteTagBase = 1000;
    static constexpr qint64 kTradeTagBase = 2000;
    static constexpr qint64 kConnectTimeout = 5; // seconds
    static constexpr qint64 kTestTimeout = 10; // seconds, per server
    static constexpr int32_t kConnectionRestart = 0; // DMNotificationCenter type
    // DMNotificationCenter type: the application login rebuilt the lists, so
    // positions and tags may now name other servers.
    static constexpr int32_t kServerListsChanged = 5;
    // The key of the stored menu, server-list and query texts.
    static constexpr char kStoredDataKey[] = "7A31C0D2-5E88-4B19-A6F4-0C2D93E57B16";
    static constexpr char kFileName[] = "ServerInfo.plist";
    static constexpr char kShippedPath[] = ":/ServerInfo.plist";
    // Document keys.
    static constexpr char kQuoteListKey[] = "hq_servlist";
    static constexpr char kTradeListKey[] = "jy_servlist";

    using Options = DMServerManagerOptions;

    // The shared manager, made on first call and registered with the shared
    // NetworkFactory as its server lists.
    static DMServerManager* getInstance();
    // Tests: drops the shared manager.
    static void resetInstance();

    // init: loads the lists. `networkCreator` is asked for a network only when
    // one is needed, so the factory may be made after the manager.
    DMServerManager(std::function<INetworkFactory*()> networkCreator,
        DMNotificationCenter* notificationCenter, Options options = Options());
    ~DMServerManager() override;
    DMServerManager(const DMServerManager&) = delete;
    DMServerManager& operator=(const DMServerManager&) = delete;

    // --- Lists and selection ---
    quint64 numberOfServerInfosByType(int32_t type) override;
    // DMServerInfoByType:index: and DMServerInfoByType:tag:
    ServerPtr DMServerInfoByType(int32_t type, quint64 index) const;
    ServerPtr DMServerInfoByType(int32_t type, const QString& tag) const;
    qint64 getIndexWithType(int32_t type, const QString& tag) const;
    qint64 indexOfSelectedByType(int32_t type) override;
    // Stores the selection in the document and saves the user's copy.
    void setIndexOfSelectedByType(int32_t type, quint64 index);
    ServerPtr DMServerInfoOfSelectedByType(int32_t type) const;
    std::optional<CSServerInfo> serverInfoOfSelectedByType(int32_t type) override;
    const std::vector<ServerPtr>& serverInfos(int32_t type) const;

    // --- Connecting ---
    // connectToServerByType:index: selects the server and hands it to the
    // kind's network at once (HTTP form for quotes, TC over TLS for trades,
    // 5-second connect time-out), then posts DMNotificationCenter type 0.
    // The server the network is already on is left as it is.
    bool connectToServerByType(int32_t type, quint64 index) override;
    // The same for the network factory's move after a lost connection. While
    // no server of a kind has served since its last attempt, the move waits
    // (back-off): a server may close the connection before the logon, or
    // right after it. During the wait the server waited for is the network's,
    // so a request made meanwhile connects to it at once; once the network is
    // on that server, or its connection is in use, the waiting connect does
    // nothing.
    bool reconnectToServerByType(int32_t type, quint64 index) override;
    // Starts timing how long the kind's server serves.
    void logonAcceptedByType(int32_t type) override;
    // A connection that served long enough ends the kind's back-off.
    void connectionLostByType(int32_t type) override;
    // connectToServerByType:tag:
    bool connectToServerByType(int32_t type, const QString& tag);
    // connectToServerByType:info: selects the server's tag when it is listed.
    bool connectToServerByTypeInfo(int32_t type, const ServerPtr& info);

    // --- Speed tests ---
    // Kind 0 the quote list, 1 the trade list, anything else both.
    bool startTestingByType(int32_t type);
    bool startTestingByType(int32_t type, quint64 index);
    void cancelTestingByType(int32_t type);
    bool isTesting() const { return isTesting_; }
    // The number of the test running (each start takes the next), 0 when none
    // runs: whoever started one knows it by this, and cancels only its own.
    quint64 runningTest() const { return isTesting_ ? testSerial_ : 0; }
    void cancelTest(quint64 test);
    void setIsTesting(bool testing) { isTesting_ = testing; }
    CSServerTestManager* serverTestManager() const { return serverTestManager_.get(); }

    // CSServerTestManagerDelegate
    void serverManagerWillStartTest(
        CSServerTestManager& manager, const std::shared_ptr<const CSServerInfo>& server) override;
    void serverManagerDidFinishedTest(CSServerTestManager& manager,
        const std::shared_ptr<const CSServerInfo>& server, bool reachable, double trafficTime) override;

    // --- Other operations ---
    void removeQuoteRequestWithObserver(const CSNetworkObserver* observer);
    void removeTradeRequestWithObserver(const CSNetworkObserver* observer);
    void setNetworkRetryFlag(bool flag);
    // setNetworkConfigUtid:softname:softversion:
    bool setNetworkConfigUtid(const QString& utid, const QString& softname, const QString& softversion);
    void getPublicInfo();
    // PublicIPDelegate
    void ipMacAddressInfo(IPMacAddressInfo& info, const QString& publicIP) override;
    void ipMacAddressInfo(IPMacAddressInfo& info, const IPMacAddressError& error) override;

    // Rebuilds both lists from the application-login reply's first record set
    // ("msp", "hq_servlist", "jy_servlist" per row) and stores them.
    void updateServerInfo(const VEKTCRS& recordSet);

    // nullptr once the delegate has been destroyed.
    DMServerManagerDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(DMServerManagerDelegate* delegate) { delegate_ = delegate; }

    // --- The document ---
    // nullopt when the manager holds none (then saves write nothing).
    const std::optional<QVariantMap>& serverManagerDict() const { return serverManagerDict_; }
    QString userCopyPath() const;
    const Options& options() const { return options_; }
    // The delay the next connect of a kind waits (seconds); 0 once a server has served.
    double nextConnectDelay(int32_t type) const;
    // Whether a connect of the kind waits out its delay.
    bool isConnectWaiting(int32_t type) const;

private:
    struct TestPair {
        std::shared_ptr<const CSServerInfo> csserverinfo;
        ServerPtr dmserverinfo;
    };
    struct ListState {
        std::vector<ServerPtr> servers;
        qint64 selected = -1;
        quint32 attempts = 0; // connects since a server last served
        // When the current connection's server accepted the logon.
        std::optional<std::chrono::steady_clock::time_point> servedSince;
        std::unique_ptr<platform::RunLoopTimer> pendingConnect;
        // The address and port text of the server a waiting connect is for.
        std::pair<QString, QString> pendingServer;
    };

    ListState* list(int32_t type);
    const ListState* list(int32_t type) const;
    static const char* listKey(int32_t type);
    INetworkFactory* networkCreator() const;

    void loadServerInfoFromLocal();
    std::optional<QVariantMap> readDocument(const QString& path) const;
    bool loadList(int32_t type);
    void updateList(int32_t type);
    // The kind's selection, and its servers too when `servers`, go to the
    // next save.
    void markChanged(int32_t type, bool servers);
    void saveServerInfoToLocal();

    std::optional<CSServerInfo> connectionInfo(int32_t type, const RDOServerInfo& server) const;
    bool connectToIndex(int32_t type, quint64 index, bool paced);
    bool connectServer(int32_t type, const RDOServerInfo& server, const CSServerInfo& info, bool paced);
    // Points the public-address lookup at the broker's web server.
    void pointPublicAddressLookup();
    void connectNow(int32_t type, const std::weak_ptr<CSNetwork>& network, const CSServerInfo& info);
    void postConnectionRestart(int32_t type);
    std::chrono::steady_clock::time_point now() const;
    bool hasServed(const ListState& l) const;
    // The connection being left has been judged: a server that served ends the back-off.
    void settleServed(ListState& l);
    bool startTesting(const std::vector<ServerPtr>& servers);
    // After a rebuild: the running test's servers as the lists now hold them.
    void carryTestOver(
        const std::vector<ServerPtr>& formerQuotes, const std::vector<ServerPtr>& formerTrades);

    std::function<INetworkFactory*()> networkCreator_;
    DMNotificationCenter* notificationCenter;
    Options options_;
    ListState quote_;
    ListState trade_;
    std::vector<TestPair> testServerInfos;
    std::shared_ptr<CSServerTestManager> serverTestManager_;
    std::optional<QVariantMap> serverManagerDict_;
    // The fields of the document changed since the last save (list key,
    // field key): a save stores these over what the file holds then.
    std::set<std::pair<QString, QString>> changedFields_;
    // A save that could not be made goes again from the run loop or at quit.
    platform::PendingWrite unsaved_ { [this] {
        saveServerInfoToLocal();
        return !unsaved_.isOwed();
    } };
    bool isTesting_ = false;
    quint64 testSerial_ = 0;
    platform::WeakRef<DMServerManagerDelegate> delegate_;
    platform::Lifetime alive_;
};
