#pragma once

#include "comm/transport/ProxyHandshake.h"
#include "comm/transport/StreamSocket.h"
#include "comm/transport/VEKConnectionContext.h"
#include "comm/transport/VEKRequest.h"
#include "comm/transport/VEKResponse.h"
#include "comm/transport/VEKWritePacket.h"
#include "platform/Lifetime.h"
#include "platform/RunLoop.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <deque>
#include <memory>
#include <optional>
#include <set>

class VEKConnection;

// The connection's own failures (proxy handshakes), as error values.
inline constexpr char VEKConnectionErrorDomain[] = "VEKConnectionErrorDomain";
enum VEKConnectionErrorCode : int {
    VEKConnectionProxyRefusedError = 1, // the proxy said no, or answered what we cannot read
    VEKConnectionProxyTargetError = 2, // the real host cannot be put into the proxy request
    VEKConnectionProxyCredentialsError = 3, // user or password too long for the proxy protocol
    VEKConnectionProxyReplyTooLongError = 4, // the proxy's answer passed the buffer's bound
};

// What a connection reports and asks. Every operation is optional: the
// notifications do nothing by default, the questions answer nullopt ("not
// implemented"). The connection never owns its delegate and calls nothing
// once the delegate is destroyed. The owner usually destroys the connection first.
class VEKConnectionDelegate : public platform::Lifetime {
public:
    virtual ~VEKConnectionDelegate() = default;

    // connection:didConnectedToIP:port:
    virtual void connectionDidConnectedToIP(VEKConnection& connection, const QString& host, quint16 port) { }
    // connection:willDisconnetWithError: nullopt when the peer closed cleanly.
    virtual void connectionWillDisconnetWithError(
        VEKConnection& connection, const std::optional<StreamSocketError>& error)
    {
    }
    virtual void connectionDidDisconnected(VEKConnection& connection) { }
    virtual void connectionDidWriteData(VEKConnection& connection, const QByteArray& data) { }
    virtual void connectionDidReadData(VEKConnection& connection, const QByteArray& data) { }
    virtual void connectionDidRecievedResponse(VEKConnection& connection, const VEKResponse& response) { }
    // connection:sendPacketsTimeout: the ids in ascending order.
    virtual void connectionSendPacketsTimeout(VEKConnection& connection, const std::set<quint64>& packetIds)
    {
    }
    virtual std::optional<QString> connectionConnectProxyAddress(VEKConnection& connection)
    {
        return std::nullopt;
    }
    virtual std::optional<quint16> connectionConnectProxyPort(VEKConnection& connection)
    {
        return std::nullopt;
    }
    virtual std::optional<QString> connectionConnectProxyUser(VEKConnection& connection)
    {
        return std::nullopt;
    }
    virtual std::optional<QString> connectionConnectProxyPassword(VEKConnection& connection)
    {
        return std::nullopt;
    }
    // connection:base64EncodeString:
    virtual std::optional<QString> connectionBase64EncodeString(
        VEKConnection& connection, const QString& text)
    {
        return std::nullopt;
    }
    virtual void connectionProxyError(
        VEKConnection& connection, const std::optional<StreamSocketError>& error)
    {
    }
    // The settings for StreamSocket::startTLS; nullopt: no TLS settings.
    virtual std::optional<QVariantMap> connectionSSLSetting(VEKConnection& connection)
    {
        return std::nullopt;
    }
    virtual void connectionDidSSLSecure(VEKConnection& connection, bool secured) { }
    virtual void connectionDidConnectedReady(VEKConnection& connection, bool ready) { }
};

// One TCP connection to one server: a write queue and a read queue of packets,
// one write at a time, replies matched by packet id, time-outs reported in
// batches, a heartbeat on an idle connection, proxies and TLS. Lives on the
// run loop of the thread that made it. The delegate may destroy the
// connection from inside any callback.
class VEKConnection final : private StreamSocketDelegate, private VEKWritePacketDelegate {
public:
    static constexpr double kTimeoutBatchInterval = 3.0;
    static constexpr double kHeartbeatInterval = 30.0;
    static constexpr quint64 kDiaryCacheAge = 86400;
    static constexpr qsizetype kWriteQueueCapacity = 10;
    static constexpr qsizetype kProxyBufferCapacity = 1024;
    // Ids of written packets whose reply has not come that are remembered.
    static constexpr size_t kSentIdsKept = 1024;
    // A proxy whose answer passes this is refused.
    static constexpr qsizetype kMaxProxyBuffer = ProxyHandshake::kMaxReplyBytes;

    enum ProxyMode : qint32 {
        ProxyNone = ProxyHandshake::ModeNone,
        ProxyHTTP = ProxyHandshake::ModeHTTP,
        ProxySOCKS4 = ProxyHandshake::ModeSOCKS4,
        ProxySOCKS5 = ProxyHandshake::ModeSOCKS5,
    };
    enum ProxyStatus : qint32 {
        ProxyIdle = ProxyHandshake::StatusIdle,
        ProxyStart = ProxyHandshake::StatusStart,
        ProxySendAuth = ProxyHandshake::StatusSendAuth,
        ProxySendConnect = ProxyHandshake::StatusSendConnect,
        ProxyRefused = ProxyHandshake::StatusRefused,
        ProxyEstablished = ProxyHandshake::StatusEstablished,
    };
    // Acts of setSuspendedWithAct.
    enum SuspendAct : qint32 { SuspendKeep = 0, SuspendRestore = 1, SuspendEmpty = 2 };

    // initWithContext:delegate:, with the time-out batch and heartbeat intervals in seconds.
    VEKConnection(std::unique_ptr<VEKConnectionContext> context, VEKConnectionDelegate* delegate,
        double timeoutBatchInterval = kTimeoutBatchInterval, double heartbeatInterval = kHeartbeatInterval);
    ~VEKConnection() override;
    VEKConnection(const VEKConnection&) = delete;
    VEKConnection& operator=(const VEKConnection&) = delete;

    // connectToHost:port:timeout: false when already connected or connecting.
    bool connectToHost(const QString& host, quint16 port, double timeout);
    bool disconnect();
    // sendRequest:packetID:timeout:cacheAge: (seconds).
    void sendRequest(const VEKRequest& request, quint64 packetID, double timeout, quint64 cacheAge);
    void sendNoCaheRequest(const VEKRequest& request, quint64 packetID, double timeout);
    void sendDiaryRequest(const VEKRequest& request, quint64 packetID, double timeout);

    void setSuspendedWithAct(qint32 act);
    void cancelSuspended();
    bool isSuspended() const { return suspended_; }

    QString connectedHost() const { return lastHost_; }
    quint16 connectedPort() const { return lastPort_; }
    // The socket is connected and, with a proxy, the tunnel is established.
    bool isConnected() const;

    // Modes other than 1 to 3 mean no proxy.
    void setProxyMode(qint32 mode);
    qint32 proxyMode() const { return proxyMode_; }
    qint32 proxyStatus() const { return proxyStatus_; }
    void setNeedSSL(bool need) { needSSL_ = need; }
    bool needSSL() const { return needSSL_; }

    bool setRunLoopModes(const QStringList& modes);
    bool setRunLoopModes(platform::RunLoopModes modes);
    platform::RunLoopModes runLoopModes() const { return modes_; }

    // nullptr once the delegate has been destroyed.
    VEKConnectionDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(VEKConnectionDelegate* delegate) { delegate_ = delegate; }
    VEKConnectionContext* context() const { return context_.get(); }

    double timeoutBatchInterval() const { return batchInterval_; }
    void setTimeoutBatchInterval(double seconds) { batchInterval_ = seconds; }
    double heartbeatInterval() const { return heartbeatInterval_; }
    void setHeartbeatInterval(double seconds) { heartbeatInterval_ = seconds; }

    // For tests and diagnostics.
    qsizetype writeQueueCount() const { return qsizetype(writeQueue_.size()); }
    qsizetype readQueueCount() const { return qsizetype(readQueue_.size()); }
    // Request bytes handed to the socket and not yet written out (0 or 1).
    int writesInFlight() const { return writesInFlight_; }
    bool hasHeartbeatTimer() const { return heartbeatTimer_ != nullptr; }
    bool hasTimeoutBatch() const { return batchTimer_ != nullptr; }
    // A limit on a late reply is running: the one more time-out of a
    // timed-out request, or the time of its own a reply begun after that has.
    bool hasGraceTimer() const { return graceTimer_ != nullptr; }

private:
    using PacketPtr = std::shared_ptr<VEKWritePacket>;
    enum Tag : qint64 { kTagPacket = 0, kTagHeartbeat = 1, kTagProxy = 2 };

    // Calls the delegate when it is alive; false when this connection was
    // destroyed from inside the call.
    template <class Call> bool notify(Call&& call);
    template <class Question>
    auto ask(Question&& question) -> decltype(question(std::declval<VEKConnectionDelegate&>()));

    void storeRequest(const PacketPtr& packet);
    void scheduleDequeueWrite();
    void maybeDequeueWrite();
    bool doResponse(const VEKResponse& response);
    void restoreAllRequest();
    void emptyQueues();
    void clearPackets();
    void writePacketDidTimeout(VEKWritePacket& packet) override;
    std::set<quint64> invalidateTimeoutPackage(const std::set<quint64>& packetIds);
    void processOutputPackage();
    using TimePoint = platform::RunLoopTimer::Clock::time_point;
    // The packet written on this socket, still waiting or already timed out,
    // whose reply the frame in progress is; nullptr when its head names none
    // (not whole yet, an id never sent, or one written after the frame began).
    struct Sent;
    const Sent* sentNamedByFrame() const;
    // Whether a packet's reply may hold the bytes from this offset of the
    // stream on: a server answers only what it was sent.
    bool mayAnswer(const Sent& sent, quint64 offset) const;
    // Notes where and when the frame the reader is now in the middle of began.
    void noteFrameInProgress();
    // When the frame in progress must be whole; nullopt when no limit holds
    // it (none begun, one that may still be the reply to a request waiting,
    // or one naming no packet sent, which the time-out batch judges).
    std::optional<TimePoint> frameDeadline() const;
    // Cuts the connection when the frame in progress is past its limit, as
    // far as the timer has seen time pass; otherwise sets the timer.
    void checkReader();
    void armGraceTimer(std::optional<TimePoint> deadline);
    void graceEnded();
    // Drops a connection whose reader a frame holds; the request layer hears
    // of the loss as of any other and connects again.
    void cutWedgedReader();
    void forgetSent(quint64 packetId);
    void _sendData(const QByteArray& data, bool heartBeat);
    void _dataDidWrite(qint64 tag);
    void _readData(const QByteArray& data);
    void _socketDidConnected(const QString& host, quint16 port);
    void _socketDidDisconnected();
    void _socketDidGotError(const std::optional<StreamSocketError>& error);
    void _processToProxyRespose(const QByteArray& data);
    void _processToProxyReady();
    void _sendEmptyData();

    // After the TCP connect or the proxy tunnel: report, then TLS or ready.
    void transportDidOpen(const QString& host, quint16 port);
    bool canWrite() const;
    void postRead();
    void restartHeartbeat();
    bool feedContext(const QByteArray& data);
    void proxyFailed(VEKConnectionErrorCode code, const QString& description);
    void proxyEstablished(QByteArray leftover);
    void sendProxyMessage(const QByteArray& message);
    void releaseSocket();

    // StreamSocketDelegate
    void onSocketDidConnectToHost(StreamSocket* sock, const QString& host, quint16 port) override;
    void onSocketDidReadData(StreamSocket* sock, const QByteArray& data, qint64 tag) override;
    void onSocketDidWriteDataWithTag(StreamSocket* sock, qint64 tag) override;
    void onSocketDidSecure(StreamSocket* sock, bool secured) override;
    void onSocketWillDisconnectWithError(
        StreamSocket* sock, const std::optional<StreamSocketError>& error) override;
    void onSocketDidDisconnect(StreamSocket* sock) override;

    std::unique_ptr<StreamSocket> socket_;
    std::unique_ptr<VEKConnectionContext> context_;
    platform::WeakRef<VEKConnectionDelegate> delegate_;
    QString lastHost_;
    quint16 lastPort_ = 0;
    std::deque<PacketPtr> readQueue_;
    std::deque<PacketPtr> writeQueue_;
    PacketPtr currentWrite_;
    // Packets the context gave no bytes for: kept until their time-out reports them.
    std::deque<PacketPtr> unsent_;
    bool suspended_ = false;
    bool needSSL_ = false;
    qint32 proxyMode_ = ProxyNone;
    qint32 proxyStatus_ = ProxyIdle;
    QString realHost_; // "RealHost" while a proxy is used
    quint16 realPort_ = 0; // "RealPort"
    QByteArray proxyBuffer_;
    std::unique_ptr<platform::RunLoopTimer> heartbeatTimer_;
    std::unique_ptr<platform::RunLoopTimer> batchTimer_;
    std::set<quint64> batch_; // the batch timer's ids
    platform::RunLoopModes modes_ = platform::RunLoopModes::defaultMode();
    platform::RunLoop* runLoop_;
    platform::RunLoop::CallId writeCall_ = 0;
    double batchInterval_;
    double heartbeatInterval_;
    bool ready_ = false; // ready reported: requests may be written
    bool readPending_ = false;
    int writesInFlight_ = 0;
    // Bytes fed to the reader on any socket so far: offsets in this stream
    // place a frame's first byte before or after a packet was written.
    quint64 bytesRead_ = 0;
    // The frame in progress when the time-out batch began (its offset): still
    // in progress when the batch ends, its head naming no packet sent, it
    // swallows every later reply, and the connection goes.
    std::optional<quint64> frameAtBatch_;
    // The packets written on this socket whose reply has not come, oldest
    // first, timed-out ones included. A reply still coming in for a request
    // that timed out may take one more of that request's time-outs, counted
    // from when that time-out ran out: past it, the bytes that feed it are
    // the replies to later requests. A reply that begins only after that has
    // one time-out of its own from its first byte: whole by then it is read,
    // else the connection is cut. No byte read before a packet was written
    // (readBefore) is part of its reply.
    struct Sent {
        quint64 id;
        double timeout;
        quint64 readBefore; // bytesRead_ when it was written
        std::optional<TimePoint> graceEnd;
    };
    std::deque<Sent> sent_;
    // The frame the reader is in the middle of: where in the stream of bytes
    // read its first byte is, and when that byte came.
    struct FrameBegun {
        quint64 offset;
        TimePoint at;
    };
    std::optional<FrameBegun> frame_;
    std::unique_ptr<platform::RunLoopTimer> graceTimer_;
    TimePoint graceDue_ {}; // when graceTimer_ fires
    // The timer has seen time pass up to here: limits up to it have been checked.
    std::optional<TimePoint> graceChecked_;
    platform::Lifetime alive_;
};
