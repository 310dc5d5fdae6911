#pragma once

#include "platform/Lifetime.h"
#include "platform/RunLoop.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <deque>
#include <memory>
#include <optional>
#include <stdexcept>

class QIODevice;
class QObject;
class QSslSocket;
class QTcpServer;
class StreamSocket;

// Error domain and codes of the socket's own failures.
inline constexpr char StreamSocketErrorDomain[] = "StreamSocketErrorDomain";
enum StreamSocketErrorCode : int {
    StreamSocketCFSocketError = -1,
    StreamSocketNoError = 0,
    StreamSocketCanceledError = 1,
    StreamSocketConnectTimeoutError = 2,
    StreamSocketReadMaxedOutError = 3,
    StreamSocketReadTimeoutError = 4,
    StreamSocketWriteTimeoutError = 5,
};

// Domains of the errors that come from the network below the socket.
inline constexpr char NSPOSIXErrorDomain[] = "NSPOSIXErrorDomain";
inline constexpr char kCFStreamErrorDomainNetDB[] = "kCFStreamErrorDomainNetDB";
inline constexpr char kCFStreamErrorDomainSSL[] = "kCFStreamErrorDomainSSL";
inline constexpr char kCFStreamErrorDomainUnlisted[] = "CFStreamError (unlisted domain)";

// An error value: a domain, a code within it and a readable description.
struct StreamSocketError {
    QString domain;
    qint64 code = 0;
    QString localizedDescription;

    // One of the socket's own errors, with its English text.
    static StreamSocketError make(StreamSocketErrorCode code);
    friend bool operator==(const StreamSocketError&, const StreamSocketError&) = default;
};

// Thrown for programming errors: connecting or listening without a delegate,
// or while already connected or listening.
class StreamSocketException : public std::logic_error {
public:
    explicit StreamSocketException(const char* reason)
        : std::logic_error(reason)
    {
    }
    static const char* name() { return "StreamSocketException"; }
};

// Keys of the settings dictionary given to startTLS().
inline constexpr char kCFStreamSSLLevel[] = "kCFStreamSSLLevel";
inline constexpr char kCFStreamSSLPeerName[] = "kCFStreamSSLPeerName";
inline constexpr char kCFStreamSSLAllowsExpiredCertificates[] = "kCFStreamSSLAllowsExpiredCertificates";
inline constexpr char kCFStreamSSLAllowsExpiredRoots[] = "kCFStreamSSLAllowsExpiredRoots";
inline constexpr char kCFStreamSSLAllowsAnyRoot[] = "kCFStreamSSLAllowsAnyRoot";
inline constexpr char kCFStreamSSLValidatesCertificateChain[] = "kCFStreamSSLValidatesCertificateChain";
inline constexpr char kCFStreamSSLIsServer[] = "kCFStreamSSLIsServer";
// Server side: the certificate chain (PEM bytes, leaf first) and its private key (PEM bytes).
inline constexpr char kCFStreamSSLCertificates[] = "kCFStreamSSLCertificates";
inline constexpr char StreamSocketSSLPrivateKey[] = "StreamSocketSSLPrivateKey";

// Everything a socket reports. All operations are optional: the defaults do
// nothing, accept the connection and keep accepted sockets on the current run
// loop. A socket never owns its delegate: once a delegate is destroyed no call
// reaches it.
class StreamSocketDelegate : public platform::Lifetime {
public:
    virtual ~StreamSocketDelegate() = default;

    // Right before a connection opens; false aborts it with StreamSocketCanceledError.
    virtual bool onSocketWillConnect(StreamSocket* sock) { return true; }
    virtual void onSocketDidConnectToHost(StreamSocket* sock, const QString& host, quint16 port) { }
    virtual void onSocketDidReadData(StreamSocket* sock, const QByteArray& data, qint64 tag) { }
    // A fixed-length or terminator read got `partialLength` bytes in this pass but is not complete.
    virtual void onSocketDidReadPartialDataOfLength(StreamSocket* sock, quint64 partialLength, qint64 tag) { }
    virtual void onSocketDidWriteDataWithTag(StreamSocket* sock, qint64 tag) { }
    virtual void onSocketDidSecure(StreamSocket* sock, bool secured) { }
    // The connection is about to close; nullopt when the peer closed it cleanly.
    // unreadData() is valid only in here.
    virtual void onSocketWillDisconnectWithError(
        StreamSocket* sock, const std::optional<StreamSocketError>& error)
    {
    }
    // After the close, on a later pass of the run loop.
    virtual void onSocketDidDisconnect(StreamSocket* sock) { }
    // A listening socket accepted a connection. Keep `newSocket` to keep the
    // connection; dropping it closes it.
    virtual void onSocketDidAcceptNewSocket(StreamSocket* sock, std::unique_ptr<StreamSocket> newSocket) { }
    // The run loop for an accepted socket; nullptr keeps it on the listener's.
    virtual platform::RunLoop* onSocketWantsRunLoopForNewSocket(StreamSocket* sock, StreamSocket* newSocket)
    {
        return nullptr;
    }
};

// Queue entries.
struct StreamPacket {
    virtual ~StreamPacket() = default;
};

struct StreamReadPacket final : StreamPacket {
    QByteArray buffer;
    qint64 bytesDone = 0;
    double timeout = -1.0;
    qint64 maxLength = -1; // for a fixed-length read: the length
    qint64 tag = 0;
    std::optional<QByteArray> term;
    bool readAllAvailableData = false;
};

struct StreamWritePacket final : StreamPacket {
    QByteArray buffer;
    qint64 bytesDone = 0;
    qint64 tag = 0;
    double timeout = -1.0;
};

// Put into both queues: TLS starts at this point of the byte streams.
struct StreamSpecialPacket final : StreamPacket {
    QVariantMap tlsSettings;
};

// One TCP connection driven by a run loop: queued reads and writes with tags
// and time-outs, an in-stream upgrade to TLS, and a delegate that hears of
// every event. Also listens for incoming connections.
//
// All events reach the socket through its run loop in its modes (the default
// mode at first). A delegate may delete the socket from inside any callback.
// TLS always verifies the peer's chain and name against platform::TlsTrust.
class StreamSocket {
public:
    enum Flag : quint16 {
        kEnablePreBuffering = 0x01,
        kDidStartDelegate = 0x02,
        kDidCompleteOpenForRead = 0x04,
        kDidCompleteOpenForWrite = 0x08,
        kStartingTLS = 0x10,
        kForbidReadsWrites = 0x20,
        kDisconnectAfterReads = 0x40,
        kDisconnectAfterWrites = 0x80,
        kClosingWithError = 0x100,
    };

    // Reads, terminator searches and unread data never buffer beyond this.
    static constexpr qint64 kMaxReadLength = 16 * 1024 * 1024;

    StreamSocket(); // init
    explicit StreamSocket(StreamSocketDelegate* delegate); // initWithDelegate:
    StreamSocket(StreamSocketDelegate* delegate, qint64 userData); // initWithDelegate:userData:
    ~StreamSocket();
    StreamSocket(const StreamSocket&) = delete;
    StreamSocket& operator=(const StreamSocket&) = delete;

    StreamSocketDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(StreamSocketDelegate* delegate) { delegate_ = delegate; }
    bool canSafelySetDelegate() const;
    qint64 userData() const { return userData_; }
    void setUserData(qint64 userData) { userData_ = userData; }

    // Mode names as the system passes them ("kCFRunLoopDefaultMode", ...).
    bool setRunLoopModes(const QStringList& modes);
    bool setRunLoopModes(platform::RunLoopModes modes);
    platform::RunLoopModes runLoopModes() const { return modes_; }
    // Moves the socket to another thread's run loop; from then on it is used
    // from that thread only.
    bool moveToRunLoop(platform::RunLoop* runLoop);
    platform::RunLoop* runLoop() const { return runLoop_; }
    void enablePreBuffering() { flags_ |= kEnablePreBuffering; }

    // A negative time-out means none. Failures before the start come back here
    // and produce no callback; later ones go to the delegate. A host the
    // dialling rule refuses (DialTarget), or port 0, fails at once; an
    // accepted host is dialled as the rule writes it (white space dropped).
    bool connectToHost(const QString& host, quint16 port, StreamSocketError* error = nullptr);
    bool connectToHost(const QString& host, quint16 port, double timeout, StreamSocketError* error = nullptr);
    // `address`: a sockaddr_in or sockaddr_in6 as bytes.
    bool connectToAddress(const QByteArray& address, StreamSocketError* error = nullptr);
    bool connectToAddress(const QByteArray& address, double timeout, StreamSocketError* error = nullptr);

    bool acceptOnPort(quint16 port, StreamSocketError* error = nullptr);
    // "localhost"/"loopback": the loopback addresses; empty: any address.
    bool acceptOnAddress(const QString& address, quint16 port, StreamSocketError* error = nullptr);

    void readDataToLength(quint64 length, double timeout, qint64 tag);
    void readDataToData(const QByteArray& data, double timeout, qint64 tag);
    void readDataToData(const QByteArray& data, double timeout, qint64 maxLength, qint64 tag);
    void readDataWithTimeout(double timeout, qint64 tag);
    void writeData(const QByteArray& data, double timeout, qint64 tag);
    void startTLS(const QVariantMap& tlsSettings);

    void disconnect();
    void disconnectAfterReading();
    void disconnectAfterWriting();
    void disconnectAfterReadingAndWriting();
    // Silences the socket: no delegate call any more; it closes once its reads
    // are done or when it is freed.
    void destroy();
    std::optional<QByteArray> unreadData();

    bool isConnected() const;
    QString connectedHost() const;
    quint16 connectedPort() const;
    QString localHost() const;
    quint16 localPort() const;
    bool isIPv4() const;
    bool isIPv6() const;
    // The native descriptor of the socket object, -1 without one.
    qintptr getCFSocket() const;
    // Qt's socket is both streams of the pair.
    QIODevice* getCFReadStream() const;
    QIODevice* getCFWriteStream() const;
    float progressOfReadReturningTag(qint64* tag, quint64* done, quint64* total) const;
    float progressOfWriteReturningTag(qint64* tag, quint64* done, quint64* total) const;
    QString description() const;
    quint16 flags() const { return flags_; }
    bool isDestroyed() const { return distroy_; }

    static QByteArray CRLFData();
    static QByteArray CRData();
    static QByteArray LFData();
    static QByteArray ZeroData();

private:
    enum EventKey {
        kEventOpened,
        kEventReadable,
        kEventWritable,
        kEventEncrypted,
        kEventError,
        kEventAccept
    };
    class Server;

    StreamSocketDelegate* liveDelegate() const;
    void requireDelegateAndIdle(const char* noDelegate, const char* busy) const;
    bool startConnect(double timeout, StreamSocketError* error, const std::function<void()>& open);
    void attachSocket();
    void post(EventKey key, std::function<void()> handler, bool coalesce);
    void defer(platform::RunLoop::CallId& slot, void (StreamSocket::*method)());
    void cancelDeferred(platform::RunLoop::CallId& slot);
    void adoptAcceptedSocket(std::unique_ptr<QSslSocket> socket);
    void resumeAfterMove(bool noticePending, bool hadPendingEvents);
    void startTimer(
        std::unique_ptr<platform::RunLoopTimer>& timer, double seconds, void (StreamSocket::*method)());
    static void stopTimer(std::unique_ptr<platform::RunLoopTimer>& timer);
    void postDidDisconnect();

    void handleOpened();
    void handleReadable();
    void handleWritable();
    void handleEncrypted();
    void handleSocketError(int socketError);
    void acceptPending();

    void scheduleDequeueRead();
    void maybeDequeueRead();
    void doBytesAvailable();
    void completeCurrentRead();
    void doReadTimeout();
    void scheduleDequeueWrite();
    void maybeDequeueWrite();
    void doSendBytes();
    void doWriteTimeout();
    void maybeStartTLS();
    void finishTLS(bool secured);
    void maybeScheduleDisconnect();
    void doConnectTimeout();
    void closeWithError(const std::optional<StreamSocketError>& error);
    void close();
    void emptyQueues();
    std::optional<StreamSocketError> socketError(int socketError) const;

    platform::WeakRef<StreamSocketDelegate> delegate_;
    qint64 userData_ = 0;
    quint16 flags_ = kEnablePreBuffering;
    bool distroy_ = false;

    platform::RunLoop* runLoop_;
    platform::RunLoopModes modes_ = platform::RunLoopModes::defaultMode();
    std::unique_ptr<platform::RunLoopSource> source_;
    std::unique_ptr<QObject> signalContext_; // our connections to socket_; gone first on close
    std::unique_ptr<QSslSocket> socket_;
    std::unique_ptr<Server> server4_;
    std::unique_ptr<Server> server6_;
    std::deque<std::unique_ptr<QSslSocket>> pendingAccepts_;
    QString peerName_;
    QStringList tlsErrors_;
    bool secured_ = false;

    std::unique_ptr<platform::RunLoopTimer> connectTimer_;
    std::unique_ptr<platform::RunLoopTimer> readTimer_;
    std::unique_ptr<platform::RunLoopTimer> writeTimer_;
    platform::RunLoop::CallId dequeueReadCall_ = 0;
    platform::RunLoop::CallId dequeueWriteCall_ = 0;
    platform::RunLoop::CallId disconnectCall_ = 0;
    platform::RunLoop::CallId didDisconnectCall_ = 0;
    double connectTimeout_ = -1.0;

    std::deque<std::unique_ptr<StreamPacket>> readQueue_;
    std::unique_ptr<StreamPacket> currentRead_;
    QByteArray partialReadBuffer_;
    std::deque<std::unique_ptr<StreamPacket>> writeQueue_;
    std::unique_ptr<StreamPacket> currentWrite_;

    platform::Lifetime alive_;
};
