#pragma once

#include "comm/request/CSError.h"
#include "comm/request/CSNetworkConnectionDelegate.h"
#include "comm/request/CSNetworkObserver.h"
#include "comm/request/CSPacket.h"
#include "comm/request/CSRequest.h"
#include "comm/request/CSServerInfo.h"
#include "comm/transport/VEKConnection.h"
#include "comm/transport/VEKConnectionContext.h"
#include "platform/Lifetime.h"
#include "platform/RunLoop.h"

#include <QMutex>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

// One connection to one server and its request table: packet ids, the TC
// logon and session handshake, waiting requests, replies turned into record
// sets, and failures turned into error values. Lives on the run loop of the
// thread that made it (the main thread). Observers may call back into the
// network, or destroy it, from inside any callback.
class CSNetwork final : public CSNetworkObserver,
                        public VEKConnectionDelegate,
                        public VEKConnectionContextDelegate {
public:
    static constexpr char kLogonRequestKey[] = "TCLogonRequestKey";
    static constexpr char kSessionRequestKey[] = "CSSessionRequestKey";
    static constexpr quint64 kSessionMainFunction = 1001;
    static constexpr quint64 kSessionSubFunction = 2;
    static constexpr double kOwnRequestTimeout = 30.0;
    static constexpr double kDefaultConnectTimeout = 30.0;
    // A failed logon or session request is sent again after a delay that
    // doubles from the first value up to the second. The retries run in the
    // network's run-loop modes, like its sockets; the time-outs stay in the
    // default mode.
    static constexpr double kRetryDelay = 0.5;
    static constexpr double kMaxRetryDelay = 8.0;
    // A request sent after waiting gets what is left of its time, at least this.
    static constexpr double kMinimumSendTimeout = 0.5;
    // A request answered with status 100 (session expired) is sent again at
    // most this many times, then fails with "session param error" (101).
    static constexpr int kMaxSessionResends = 3;
    static constexpr qsizetype kMaxBodyLength = 16 * 1024 * 1024;

    CSNetwork(); // init
    ~CSNetwork() override;
    CSNetwork(const CSNetwork&) = delete;
    CSNetwork& operator=(const CSNetwork&) = delete;

    // connectTo: setServerInfo, then reconnect.
    bool connectTo(const CSServerInfo& serverInfo);
    void setServerInfo(const std::optional<CSServerInfo>& serverInfo);
    const std::optional<CSServerInfo>& serverInfo() const { return serverInfo_; }
    // 1 to 3 stay; anything else means no proxy.
    static qint32 proxyModeTransfer(qint32 mode);
    // False without server info. Otherwise drops the current connection (the
    // requests it may have written hear error 300 on the next pass) and opens
    // a new one, on which the requests never written go out once logged on.
    bool reconnect();

    // sendRequestWithObserver:forIndentifier:packet:timeout: (seconds). Answers
    // the packet id the request was filed under, 0 when nothing was filed.
    quint64 sendRequestWithObserver(
        CSNetworkObserver* observer, const QString& identifier, const CSPacket* packet, quint64 timeout);
    // Every filed request whose status equals `status` is removed and, with an
    // error, told it.
    void removeRequestWithStatus(qint32 status, const std::optional<CSError>& error);
    // Silently forgets the observer's requests (all of them, or those of one identifier).
    void removeRequestWithObserver(const CSNetworkObserver* observer);
    void removeRequestWithObserver(const CSNetworkObserver* observer, const QString& identifier);
    void removeRequest(const std::set<quint64>& packetIds);
    quint64 nextPacketid();
    std::shared_ptr<CSRequest> requestWithTag(quint64 packetId) const;
    // Empties the table; every observer hears error 300.
    void clearRequest();
    // Whether a request of the observer under this identifier is filed and
    // has never been written: a reconnect keeps it for the next connection.
    bool holdsUnwrittenRequest(const CSNetworkObserver* observer, const QString& identifier) const;

    // Re-examines the requests waiting for what `mask` names (1 logon, 2
    // session) and sends those that wait for nothing any more.
    void sendWaitRequestsStatus(qint32 mask);
    void sendRequestLogon();
    void sendRequestSession();

    bool setRunLoopModes(const QStringList& modes);
    bool setRunLoopModes(platform::RunLoopModes modes);
    platform::RunLoopModes runLoopModes() const { return modes_; }

    // nullptr once the delegate has been destroyed.
    CSNetworkConnectionDelegate* connectionDelegate() const { return connectionDelegate_.get(); }
    void setConnectionDelegate(CSNetworkConnectionDelegate* delegate) { connectionDelegate_ = delegate; }

    // Process-wide: the configuration the session request carries. False and
    // nothing stored when any text is missing or unsafe in a body.
    static bool setConfigUtid(const QString& utid, const QString& softname, const QString& softversion);
    // Diagnostics of every network: function numbers, packet ids and lengths,
    // never bodies (they carry passwords).
    static void setLogEnabled(bool enabled);
    static bool logEnabled();

    // The network as observer of its own logon and session requests.
    bool respondWithRecordSet(const std::vector<VEKTCRS>& recordSets, const QString& identifier) override;
    bool respondWithError(const CSError& error, const QString& identifier) override;

    // VEKConnectionDelegate
    void connectionDidConnectedToIP(VEKConnection& connection, const QString& host, quint16 port) override;
    void connectionWillDisconnetWithError(
        VEKConnection& connection, const std::optional<StreamSocketError>& error) override;
    void connectionDidDisconnected(VEKConnection& connection) override;
    void connectionDidRecievedResponse(VEKConnection& connection, const VEKResponse& response) override;
    void connectionSendPacketsTimeout(VEKConnection& connection, const std::set<quint64>& packetIds) override;
    std::optional<QString> connectionConnectProxyAddress(VEKConnection& connection) override;
    std::optional<quint16> connectionConnectProxyPort(VEKConnection& connection) override;
    std::optional<QString> connectionConnectProxyUser(VEKConnection& connection) override;
    std::optional<QString> connectionConnectProxyPassword(VEKConnection& connection) override;
    std::optional<QString> connectionBase64EncodeString(
        VEKConnection& connection, const QString& text) override;
    void connectionProxyError(
        VEKConnection& connection, const std::optional<StreamSocketError>& error) override;
    std::optional<QVariantMap> connectionSSLSetting(VEKConnection& connection) override;
    void connectionDidSSLSecure(VEKConnection& connection, bool secured) override;
    void connectionDidConnectedReady(VEKConnection& connection, bool ready) override;

    // VEKConnectionContextDelegate
    std::optional<QByteArray> contextBuildRequest(
        VEKConnectionContext& context, const QByteArray& request, const VEKPacketFlag& flags) override;
    std::optional<VEKResponse> contextParseRespone(
        VEKConnectionContext& context, const QByteArray& payload, const VEKPacketFlag& flags) override;

    // Intervals a test may shorten (seconds): the retry back-off, the time-out
    // of the logon and session requests, the connection's time-out batch.
    void setRetryDelays(double first, double maximum);
    void setOwnRequestTimeout(double seconds) { ownRequestTimeout_ = seconds; }
    void setTimeoutBatchInterval(double seconds);

    // State, for tests and diagnostics.
    bool isLoggedOn() const { return loggedOn_; }
    bool isSessionRequestInFlight() const { return sessionPacketId_ != 0; }
    qsizetype requestCount() const;
    VEKConnection* connection() const { return connection_.get(); }
    // Whether a connection to this server is open or being opened.
    bool isConnectedTo(const CSServerInfo& server) const;
    // Whether the connection is logged on (in HTTP mode: has answered) or
    // carries a caller's request: replacing it would fail what it holds.
    bool isInUse() const;

    // A reply whose payload could not be deciphered or expanded.
    static constexpr quint64 kUnreadableReplyStatus = 0x10000;

private:
    using RequestPtr = std::shared_ptr<CSRequest>;
    using Failure = std::pair<RequestPtr, CSError>;

    bool isTCMode() const { return !serverInfo_ || serverInfo_->isTCMode(); }
    bool isOwn(const CSRequest& request) const;
    static bool isUnwritten(const CSRequest& request);
    void file(quint64 packetId, const RequestPtr& request);
    RequestPtr take(quint64 packetId);
    std::vector<std::pair<quint64, RequestPtr>> takeIf(const std::function<bool(const CSRequest&)>& match);
    void forgetOwn(quint64 packetId);
    void send(quint64 packetId, const RequestPtr& request, double timeout);
    double remainingTime(const CSRequest& request) const;
    void failLater(const RequestPtr& request, const CSError& error);
    void flushFailures();
    // Tells the observer; false when the network was destroyed meanwhile.
    bool tellError(const RequestPtr& request, const CSError& error);
    void armWaitTimer();
    void waitingTimedOut();
    void scheduleLogonRetry();
    void scheduleSessionRetry();
    void resetHandshake();
    // Tells the delegate, once per connection, that the server serves; false
    // when the network was destroyed meanwhile.
    bool announceLogOn();
    template <class Call> bool notifyDelegate(Call&& call);

    quint64 packetCounter_ = 0;
    std::unique_ptr<VEKConnection> connection_;
    std::map<quint64, RequestPtr> table_;
    mutable QMutex tableLock_;
    bool loggedOn_ = false;
    bool logOnAnnounced_ = false; // for the current connection
    quint64 logonPacketId_ = 0; // the logon in flight
    quint64 sessionPacketId_ = 0; // the session request in flight
    // While observers and the delegate hear of a lost connection, a request
    // opens no connection: the delegate may move the network first.
    bool hearingLoss_ = false;
    platform::WeakRef<CSNetworkConnectionDelegate> connectionDelegate_;
    std::optional<CSServerInfo> serverInfo_;
    platform::RunLoopModes modes_ = platform::RunLoopModes::defaultMode();
    platform::RunLoop* runLoop_;

    std::deque<Failure> failures_; // reported on the next pass
    platform::RunLoop::CallId failureCall_ = 0;
    std::unique_ptr<platform::RunLoopTimer> waitTimer_;
    std::unique_ptr<platform::RunLoopTimer> logonRetryTimer_;
    std::unique_ptr<platform::RunLoopTimer> sessionRetryTimer_;
    double firstRetryDelay_ = kRetryDelay;
    double maxRetryDelay_ = kMaxRetryDelay;
    double logonRetryDelay_ = kRetryDelay;
    double sessionRetryDelay_ = kRetryDelay;
    double ownRequestTimeout_ = kOwnRequestTimeout;
    double batchInterval_ = VEKConnection::kTimeoutBatchInterval;
    platform::Lifetime alive_;
};
