#include "comm/transport/StreamSocket.h"

#include "comm/transport/DialTarget.h"
#include "platform/TlsTrust.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkProxy>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QThread>
#include <QtDebug>
#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using platform::RunLoop;
using platform::RunLoopModes;
using platform::RunLoopTimer;

namespace {

// Writes go to the platform socket in chunks of this size, and no more is
// handed over while this much is still waiting in its buffer.
constexpr qint64 kWriteChunk = 4096;
constexpr qint64 kWriteHighWater = 64 * 1024;

StreamSocketError posixError(int code)
{
    return { QString::fromLatin1(NSPOSIXErrorDomain), code, QString::fromLocal8Bit(std::strerror(code)) };
}

QString addressText(const QHostAddress& address)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    if (mapped && address.protocol() == QAbstractSocket::IPv6Protocol)
        return QHostAddress(v4).toString();
    return address.toString();
}

bool isIPv4Address(const QHostAddress& address)
{
    bool isV4 = false;
    address.toIPv4Address(&isV4);
    return isV4;
}

QSslKey keyFromPem(const QByteArray& pem)
{
    for (QSsl::KeyAlgorithm algorithm : { QSsl::Ec, QSsl::Rsa, QSsl::Dsa }) {
        QSslKey key(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull())
            return key;
    }
    return {};
}

} // namespace

// A listening socket object; it hands each accepted descriptor to its owner.
class StreamSocket::Server final : public QTcpServer {
public:
    explicit Server(std::function<void(qintptr)> onIncoming)
        : onIncoming_(std::move(onIncoming))
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override { onIncoming_(descriptor); }

private:
    std::function<void(qintptr)> onIncoming_;
};

StreamSocketError StreamSocketError::make(StreamSocketErrorCode code)
{
    const char* text = "";
    switch (code) {
    case StreamSocketCFSocketError:
        text = "General CFSocket error";
        break;
    case StreamSocketNoError:
        break;
    case StreamSocketCanceledError:
        text = "Connection canceled";
        break;
    case StreamSocketConnectTimeoutError:
        text = "Attempt to connect to host timed out";
        break;
    case StreamSocketReadMaxedOutError:
        text = "Read operation reached set maximum length";
        break;
    case StreamSocketReadTimeoutError:
        text = "Read operation timed out";
        break;
    case StreamSocketWriteTimeoutError:
        text = "Write operation timed out";
        break;
    }
    return { QString::fromLatin1(StreamSocketErrorDomain), code, QString::fromLatin1(text) };
}

// ---------------------------------------------------------------------------
// Creation and configuration

StreamSocket::StreamSocket()
    : StreamSocket(nullptr, 0)
{
}

StreamSocket::StreamSocket(StreamSocketDelegate* delegate)
    : StreamSocket(delegate, 0)
{
}

StreamSocket::StreamSocket(StreamSocketDelegate* delegate, qint64 userData)
    : userData_(userData)
    , runLoop_(RunLoop::current())
    , source_(std::make_unique<platform::RunLoopSource>(modes_, runLoop_))
{
    setDelegate(delegate);
}

StreamSocket::~StreamSocket()
{
    // Freeing closes without telling anyone and withdraws pending notices.
    distroy_ = true;
    close();
    runLoop_->cancelAll(this);
}

StreamSocketDelegate* StreamSocket::liveDelegate() const
{
    return distroy_ ? nullptr : delegate();
}

bool StreamSocket::canSafelySetDelegate() const
{
    return readQueue_.empty() && writeQueue_.empty() && !currentRead_ && !currentWrite_;
}

bool StreamSocket::setRunLoopModes(const QStringList& modes)
{
    return setRunLoopModes(RunLoopModes::fromNames(modes));
}

bool StreamSocket::setRunLoopModes(RunLoopModes modes)
{
    if (modes.isEmpty())
        return false;
    if (modes == modes_)
        return true;
    modes_ = modes;
    // Held events and deferred calls keep their order and move to the new modes.
    runLoop_->setModes(this, modes);
    if (source_)
        source_->setModes(modes);
    for (auto* timer : { connectTimer_.get(), readTimer_.get(), writeTimer_.get() }) {
        if (timer)
            timer->setModes(modes);
    }
    scheduleDequeueRead();
    scheduleDequeueWrite();
    maybeScheduleDisconnect();
    return true;
}

bool StreamSocket::moveToRunLoop(RunLoop* runLoop)
{
    if (!runLoop)
        return false;
    if (runLoop == runLoop_)
        return true;
    const bool noticePending = didDisconnectCall_ != 0;
    runLoop_->cancelAll(this);
    dequeueReadCall_ = dequeueWriteCall_ = disconnectCall_ = didDisconnectCall_ = 0;
    const bool hadPendingEvents = source_ && source_->hasPendingEvents();
    source_.reset();
    connectTimer_.reset();
    readTimer_.reset();
    writeTimer_.reset();

    QThread* thread = runLoop->thread();
    if (signalContext_)
        signalContext_->moveToThread(thread);
    if (socket_)
        socket_->moveToThread(thread);
    for (Server* server : { server4_.get(), server6_.get() }) {
        if (server)
            server->moveToThread(thread);
    }
    for (auto& pending : pendingAccepts_)
        pending->moveToThread(thread);
    runLoop_ = runLoop;

    const auto alive = alive_.watch();
    QMetaObject::invokeMethod(
        runLoop,
        [this, alive, noticePending, hadPendingEvents] {
            if (alive.survived())
                resumeAfterMove(noticePending, hadPendingEvents);
        },
        Qt::QueuedConnection);
    return true;
}

void StreamSocket::resumeAfterMove(bool noticePending, bool hadPendingEvents)
{
    source_ = std::make_unique<platform::RunLoopSource>(modes_, runLoop_);
    const bool open = (flags_ & (kDidCompleteOpenForRead | kDidCompleteOpenForWrite))
        == (kDidCompleteOpenForRead | kDidCompleteOpenForWrite);
    if (socket_) {
        if (!open && socket_->state() == QAbstractSocket::ConnectedState) {
            post(
                kEventOpened, [this] { handleOpened(); }, true);
        } else if (!open && connectTimeout_ >= 0) {
            startTimer(connectTimer_, connectTimeout_, &StreamSocket::doConnectTimeout);
        }
        if (open) {
            if (auto* read = dynamic_cast<StreamReadPacket*>(currentRead_.get()); read && read->timeout >= 0)
                startTimer(readTimer_, read->timeout, &StreamSocket::doReadTimeout);
            if (auto* write = dynamic_cast<StreamWritePacket*>(currentWrite_.get());
                write && write->timeout >= 0)
                startTimer(writeTimer_, write->timeout, &StreamSocket::doWriteTimeout);
            if (hadPendingEvents || socket_->bytesAvailable() > 0)
                post(
                    kEventReadable, [this] { handleReadable(); }, true);
            post(
                kEventWritable, [this] { handleWritable(); }, true);
            if (socket_->state() != QAbstractSocket::ConnectedState)
                post(
                    kEventError, [this] { handleSocketError(QAbstractSocket::RemoteHostClosedError); },
                    false);
        }
    }
    if (!pendingAccepts_.empty())
        post(
            kEventAccept, [this] { acceptPending(); }, true);
    if (noticePending)
        postDidDisconnect();
    scheduleDequeueRead();
    scheduleDequeueWrite();
    maybeScheduleDisconnect();
}

// ---------------------------------------------------------------------------
// Run-loop plumbing

void StreamSocket::post(EventKey key, std::function<void()> handler, bool coalesce)
{
    if (!source_) // between moveToRunLoop() and the resume on the new run loop
        return;
    source_->signal(std::move(handler), coalesce ? static_cast<int>(key) : -1);
}

void StreamSocket::defer(RunLoop::CallId& slot, void (StreamSocket::*method)())
{
    if (slot != 0 && runLoop_->isPending(slot))
        return;
    RunLoop::CallId* slotPtr = &slot;
    slot = runLoop_->perform(
        modes_,
        [this, slotPtr, method] {
            *slotPtr = 0;
            (this->*method)();
        },
        this);
}

void StreamSocket::cancelDeferred(RunLoop::CallId& slot)
{
    if (slot != 0) {
        runLoop_->cancel(slot);
        slot = 0;
    }
}

void StreamSocket::startTimer(
    std::unique_ptr<RunLoopTimer>& timer, double seconds, void (StreamSocket::*method)())
{
    if (!timer)
        timer = std::make_unique<RunLoopTimer>(
            seconds, false, modes_, [this, method] { (this->*method)(); }, runLoop_);
    timer->setInterval(std::chrono::duration<double>(seconds));
    timer->setModes(modes_);
    timer->start();
}

void StreamSocket::stopTimer(std::unique_ptr<RunLoopTimer>& timer)
{
    if (timer)
        timer->stop();
}

void StreamSocket::postDidDisconnect()
{
    if (didDisconnectCall_ != 0 && runLoop_->isPending(didDisconnectCall_))
        return;
    didDisconnectCall_ = runLoop_->perform(
        modes_,
        [this] {
            didDisconnectCall_ = 0;
            if (StreamSocketDelegate* d = liveDelegate())
                d->onSocketDidDisconnect(this);
        },
        this);
}

void StreamSocket::attachSocket()
{
    QSslSocket* s = socket_.get();
    s->setProxy(QNetworkProxy::NoProxy);
    // Bytes nobody reads yet wait in the kernel, not in memory without bound.
    s->setReadBufferSize(kMaxReadLength);
    signalContext_ = std::make_unique<QObject>();
    QObject* ctx = signalContext_.get();
    QObject::connect(s, &QAbstractSocket::connected, ctx, [this] {
        post(
            kEventOpened, [this] { handleOpened(); }, true);
    });
    QObject::connect(s, &QIODevice::readyRead, ctx, [this] {
        post(
            kEventReadable, [this] { handleReadable(); }, true);
    });
    QObject::connect(s, &QIODevice::bytesWritten, ctx, [this] {
        post(
            kEventWritable, [this] { handleWritable(); }, true);
    });
    QObject::connect(s, &QSslSocket::encryptedBytesWritten, ctx, [this] {
        post(
            kEventWritable, [this] { handleWritable(); }, true);
    });
    QObject::connect(s, &QSslSocket::encrypted, ctx, [this] {
        post(
            kEventEncrypted, [this] { handleEncrypted(); }, true);
    });
    QObject::connect(s, &QAbstractSocket::errorOccurred, ctx, [this](QAbstractSocket::SocketError e) {
        post(
            kEventError, [this, e] { handleSocketError(e); }, false);
    });
    QObject::connect(s, &QAbstractSocket::disconnected, ctx, [this] {
        post(
            kEventError, [this] { handleSocketError(QAbstractSocket::RemoteHostClosedError); }, false);
    });
    QObject::connect(s, &QSslSocket::sslErrors, ctx, [this](const QList<QSslError>& errors) {
        // Never ignored: the handshake fails and the close reports these.
        for (const QSslError& e : errors)
            tlsErrors_ << e.errorString();
    });
}

// ---------------------------------------------------------------------------
// Connecting and listening

void StreamSocket::requireDelegateAndIdle(const char* noDelegate, const char* busy) const
{
    if (!delegate())
        throw StreamSocketException(noDelegate);
    if (socket_ || server4_ || server6_)
        throw StreamSocketException(busy);
}

bool StreamSocket::connectToHost(const QString& host, quint16 port, StreamSocketError* error)
{
    return connectToHost(host, port, -1.0, error);
}

bool StreamSocket::connectToHost(const QString& host, quint16 port, double timeout, StreamSocketError* error)
{
    requireDelegateAndIdle("Attempting to connect without a delegate. Set a delegate first.",
        "Attempting to connect while connected or accepting connections. Disconnect first.");
    // What the server lists accept is what is dialled, in the same form: the
    // host that TLS verifies is the one dialled.
    const std::optional<QString> dialled = DialTarget::dialableHost(host);
    if (!dialled || port == 0) {
        if (error)
            *error = { QString::fromLatin1(kCFStreamErrorDomainNetDB), dialled ? EAI_SERVICE : EAI_NONAME,
                QString::fromLocal8Bit(gai_strerror(dialled ? EAI_SERVICE : EAI_NONAME)) };
        return false;
    }
    peerName_ = *dialled;
    return startConnect(
        timeout, error, [this, target = *dialled, port] { socket_->connectToHost(target, port); });
}

bool StreamSocket::connectToAddress(const QByteArray& address, StreamSocketError* error)
{
    return connectToAddress(address, -1.0, error);
}

bool StreamSocket::connectToAddress(const QByteArray& address, double timeout, StreamSocketError* error)
{
    requireDelegateAndIdle("Attempting to connect without a delegate. Set a delegate first.",
        "Attempting to connect while connected or accepting connections. Disconnect first.");
    QHostAddress host;
    quint16 port = 0;
    sa_family_t family = AF_UNSPEC;
    if (static_cast<size_t>(address.size()) >= offsetof(sockaddr, sa_family) + sizeof(family))
        std::memcpy(&family, address.constData() + offsetof(sockaddr, sa_family), sizeof(family));
    if (family == AF_INET && static_cast<size_t>(address.size()) >= sizeof(sockaddr_in)) {
        sockaddr_in in {};
        std::memcpy(&in, address.constData(), sizeof in);
        host.setAddress(ntohl(in.sin_addr.s_addr));
        port = ntohs(in.sin_port);
    } else if (family == AF_INET6 && static_cast<size_t>(address.size()) >= sizeof(sockaddr_in6)) {
        sockaddr_in6 in6 {};
        std::memcpy(&in6, address.constData(), sizeof in6);
        host.setAddress(in6.sin6_addr.s6_addr);
        port = ntohs(in6.sin6_port);
    } else {
        if (error)
            *error = StreamSocketError::make(StreamSocketCFSocketError);
        return false;
    }
    peerName_ = host.toString();
    return startConnect(timeout, error, [this, host, port] { socket_->connectToHost(host, port); });
}

bool StreamSocket::startConnect(double timeout, StreamSocketError* error, const std::function<void()>& open)
{
    socket_ = std::make_unique<QSslSocket>();
    attachSocket();
    if (StreamSocketDelegate* d = liveDelegate()) {
        const auto alive = alive_.watch();
        const bool proceed = d->onSocketWillConnect(this);
        if (!alive.survived())
            return false;
        if (!proceed) {
            close();
            if (error)
                *error = StreamSocketError::make(StreamSocketCanceledError);
            return false;
        }
    }
    if (!socket_) // the delegate closed us meanwhile
        return false;
    open();
    connectTimeout_ = timeout;
    if (timeout >= 0)
        startTimer(connectTimer_, timeout, &StreamSocket::doConnectTimeout);
    flags_ |= kDidStartDelegate;
    return true;
}

bool StreamSocket::acceptOnPort(quint16 port, StreamSocketError* error)
{
    return acceptOnAddress(QString(), port, error);
}

bool StreamSocket::acceptOnAddress(const QString& address, quint16 port, StreamSocketError* error)
{
    requireDelegateAndIdle("Attempting to accept without a delegate. Set a delegate first.",
        "Attempting to accept while connected or accepting connections. Disconnect first.");
    std::optional<QHostAddress> v4;
    std::optional<QHostAddress> v6;
    if (address.isEmpty()) {
        v4 = QHostAddress(QHostAddress::AnyIPv4);
        v6 = QHostAddress(QHostAddress::AnyIPv6);
    } else if (address == QLatin1String("localhost") || address == QLatin1String("loopback")) {
        v4 = QHostAddress(QHostAddress::LocalHost);
        v6 = QHostAddress(QHostAddress::LocalHostIPv6);
    } else if (QHostAddress literal; literal.setAddress(address)) {
        (isIPv4Address(literal) ? v4 : v6) = literal;
    } else {
        const QHostInfo info = QHostInfo::fromName(address);
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
            if (error)
                *error = { QString::fromLatin1(kCFStreamErrorDomainNetDB), EAI_NONAME, info.errorString() };
            return false;
        }
        for (const QHostAddress& a : info.addresses()) {
            auto& slot = isIPv4Address(a) ? v4 : v6;
            if (!slot)
                slot = a;
        }
    }

    auto makeServer = [this] {
        return std::make_unique<Server>([this](qintptr descriptor) {
            auto s = std::make_unique<QSslSocket>();
            if (!s->setSocketDescriptor(descriptor)) {
                ::close(static_cast<int>(descriptor));
                return;
            }
            pendingAccepts_.push_back(std::move(s));
            post(
                kEventAccept, [this] { acceptPending(); }, true);
        });
    };
    if (v4) {
        server4_ = makeServer();
        if (!server4_->listen(*v4, port))
            server4_.reset();
    }
    if (v6) {
        server6_ = makeServer();
        // With port 0 both listen on the port the system chose for IPv4.
        const quint16 port6 = (port == 0 && server4_) ? server4_->serverPort() : port;
        if (!server6_->listen(*v6, port6))
            server6_.reset();
    }
    if (!server4_ && !server6_) {
        if (error)
            *error = StreamSocketError::make(StreamSocketCFSocketError);
        return false;
    }
    flags_ |= kDidStartDelegate;
    return true;
}

void StreamSocket::acceptPending()
{
    while (!pendingAccepts_.empty() && (server4_ || server6_)) {
        std::unique_ptr<QSslSocket> accepted = std::move(pendingAccepts_.front());
        pendingAccepts_.pop_front();
        StreamSocketDelegate* d = liveDelegate();
        if (!d)
            continue;
        auto newSocket = std::make_unique<StreamSocket>(d);
        newSocket->setRunLoopModes(modes_);
        StreamSocket* raw = newSocket.get();
        const auto newAlive = raw->alive_.watch();
        const auto alive = alive_.watch();

        d->onSocketDidAcceptNewSocket(this, std::move(newSocket));
        if (!alive.survived())
            return;
        // A delegate that drops the new socket drops that connection only:
        // the ones still waiting are accepted all the same.
        if (!newAlive.survived())
            continue;
        RunLoop* target = nullptr;
        if (StreamSocketDelegate* d2 = liveDelegate()) {
            target = d2->onSocketWantsRunLoopForNewSocket(this, raw);
            if (!alive.survived())
                return;
            if (!newAlive.survived())
                continue;
        }
        raw->adoptAcceptedSocket(std::move(accepted));
        if (target)
            raw->moveToRunLoop(target);
    }
}

void StreamSocket::adoptAcceptedSocket(std::unique_ptr<QSslSocket> socket)
{
    socket_ = std::move(socket);
    peerName_ = addressText(socket_->peerAddress());
    attachSocket();
    flags_ |= kDidStartDelegate;
    post(
        kEventOpened, [this] { handleOpened(); }, true);
}

// ---------------------------------------------------------------------------
// Events

void StreamSocket::handleOpened()
{
    if (!socket_ || (flags_ & kDidCompleteOpenForRead))
        return;
    flags_ |= kDidCompleteOpenForRead | kDidCompleteOpenForWrite;
    stopTimer(connectTimer_);
    connectTimeout_ = -1.0;
    if (StreamSocketDelegate* d = liveDelegate()) {
        const auto alive = alive_.watch();
        d->onSocketDidConnectToHost(this, addressText(socket_->peerAddress()), socket_->peerPort());
        if (!alive.survived())
            return;
    }
    maybeDequeueRead();
    maybeDequeueWrite();
}

void StreamSocket::handleReadable()
{
    if (flags_ & kStartingTLS)
        return;
    doBytesAvailable();
}

void StreamSocket::handleWritable()
{
    if (flags_ & kStartingTLS)
        return;
    doSendBytes();
}

void StreamSocket::handleEncrypted()
{
    if (flags_ & kStartingTLS)
        finishTLS(true);
}

void StreamSocket::handleSocketError(int socketError)
{
    if (!socket_)
        return;
    if (socketError == QAbstractSocket::RemoteHostClosedError) {
        // The peer's last bytes still go to the current read.
        const auto alive = alive_.watch();
        doBytesAvailable();
        if (!alive.survived() || !socket_)
            return;
    }
    closeWithError(this->socketError(socketError));
}

std::optional<StreamSocketError> StreamSocket::socketError(int socketError) const
{
    const QString text = socket_ ? socket_->errorString() : QString();
    switch (static_cast<QAbstractSocket::SocketError>(socketError)) {
    case QAbstractSocket::RemoteHostClosedError:
        return std::nullopt;
    case QAbstractSocket::ConnectionRefusedError:
        return posixError(ECONNREFUSED);
    case QAbstractSocket::HostNotFoundError:
        return StreamSocketError { QString::fromLatin1(kCFStreamErrorDomainNetDB), EAI_NONAME,
            QString::fromLocal8Bit(gai_strerror(EAI_NONAME)) };
    case QAbstractSocket::SocketTimeoutError:
        return posixError(ETIMEDOUT);
    case QAbstractSocket::SocketAccessError:
        return posixError(EACCES);
    case QAbstractSocket::SocketResourceError:
        return posixError(ENOBUFS);
    case QAbstractSocket::AddressInUseError:
        return posixError(EADDRINUSE);
    case QAbstractSocket::SocketAddressNotAvailableError:
        return posixError(EADDRNOTAVAIL);
    case QAbstractSocket::UnsupportedSocketOperationError:
        return posixError(EAFNOSUPPORT);
    case QAbstractSocket::NetworkError: {
        StreamSocketError e = posixError(ENETUNREACH);
        if (!text.isEmpty())
            e.localizedDescription = text;
        return e;
    }
    case QAbstractSocket::SslHandshakeFailedError: {
        if (!tlsErrors_.isEmpty()) {
            return StreamSocketError { QString::fromLatin1(kCFStreamErrorDomainSSL), -9807,
                QStringLiteral("TLS certificate verification failed: ")
                    + tlsErrors_.join(QStringLiteral("; ")) };
        }
        return StreamSocketError { QString::fromLatin1(kCFStreamErrorDomainSSL), -9806,
            QStringLiteral("TLS handshake failed: ") + text };
    }
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return StreamSocketError { QString::fromLatin1(kCFStreamErrorDomainSSL), -9800,
            QStringLiteral("TLS error: ") + text };
    default:
        return StreamSocketError { QString::fromLatin1(kCFStreamErrorDomainUnlisted), socketError, text };
    }
}

// ---------------------------------------------------------------------------
// Reading

void StreamSocket::readDataToLength(quint64 length, double timeout, qint64 tag)
{
    if (length == 0 || (flags_ & kForbidReadsWrites))
        return;
    auto packet = std::make_unique<StreamReadPacket>();
    packet->maxLength = static_cast<qint64>(std::min<quint64>(length, std::numeric_limits<qint64>::max()));
    packet->timeout = timeout;
    packet->tag = tag;
    readQueue_.push_back(std::move(packet));
    scheduleDequeueRead();
}

void StreamSocket::readDataToData(const QByteArray& data, double timeout, qint64 tag)
{
    readDataToData(data, timeout, -1, tag);
}

void StreamSocket::readDataToData(const QByteArray& data, double timeout, qint64 maxLength, qint64 tag)
{
    if (data.isEmpty() || (maxLength >= 0 && maxLength < data.size()) || (flags_ & kForbidReadsWrites))
        return;
    auto packet = std::make_unique<StreamReadPacket>();
    packet->term = data;
    packet->maxLength = maxLength;
    packet->timeout = timeout;
    packet->tag = tag;
    readQueue_.push_back(std::move(packet));
    scheduleDequeueRead();
}

void StreamSocket::readDataWithTimeout(double timeout, qint64 tag)
{
    if (flags_ & kForbidReadsWrites)
        return;
    auto packet = std::make_unique<StreamReadPacket>();
    packet->readAllAvailableData = true;
    packet->timeout = timeout;
    packet->tag = tag;
    readQueue_.push_back(std::move(packet));
    scheduleDequeueRead();
}

void StreamSocket::scheduleDequeueRead()
{
    defer(dequeueReadCall_, &StreamSocket::maybeDequeueRead);
}

void StreamSocket::maybeDequeueRead()
{
    const bool open = (flags_ & (kDidCompleteOpenForRead | kDidCompleteOpenForWrite))
        == (kDidCompleteOpenForRead | kDidCompleteOpenForWrite);
    if (currentRead_ || !socket_ || !open)
        return;
    if (!readQueue_.empty()) {
        currentRead_ = std::move(readQueue_.front());
        readQueue_.pop_front();
        if (dynamic_cast<StreamSpecialPacket*>(currentRead_.get())) {
            maybeStartTLS();
            return;
        }
        auto* read = static_cast<StreamReadPacket*>(currentRead_.get());
        if (read->timeout >= 0)
            startTimer(readTimer_, read->timeout, &StreamSocket::doReadTimeout);
        doBytesAvailable();
    } else if (flags_ & kDisconnectAfterReads) {
        if (!(flags_ & kDisconnectAfterWrites) || (writeQueue_.empty() && !currentWrite_))
            disconnect();
    }
}

void StreamSocket::doBytesAvailable()
{
    auto* read = dynamic_cast<StreamReadPacket*>(currentRead_.get());
    if (!read || !socket_ || (flags_ & kStartingTLS))
        return;

    // Takes up to `count` bytes, the ones a closing read left behind first.
    auto take = [this](qint64 count) -> QByteArray {
        if (!partialReadBuffer_.isEmpty()) {
            QByteArray bytes = partialReadBuffer_.left(count);
            partialReadBuffer_.remove(0, bytes.size());
            return bytes;
        }
        return socket_->read(count);
    };
    auto peek = [this](qint64 count) -> QByteArray {
        if (!partialReadBuffer_.isEmpty())
            return partialReadBuffer_.left(count);
        return socket_->peek(count);
    };
    auto available = [this] { return partialReadBuffer_.size() + socket_->bytesAvailable(); };
    // What one pass can take: the leftover bytes, else what the socket has.
    auto sourceAvailable = [this] {
        return partialReadBuffer_.isEmpty() ? socket_->bytesAvailable() : qint64(partialReadBuffer_.size());
    };

    quint64 totalBytesRead = 0;
    bool done = false;
    bool maxedOut = false;
    bool streamError = false;
    const bool fixedLength = !read->readAllAvailableData && !read->term;
    if (fixedLength && read->maxLength > kMaxReadLength)
        maxedOut = true;

    while (!done && !maxedOut && !streamError && available() > 0) {
        qint64 want = 0;
        qint64 consume = 0;
        if (read->readAllAvailableData) {
            want = std::min<qint64>(sourceAvailable(), kMaxReadLength - read->bytesDone);
            if (want <= 0)
                break; // the rest goes to the next read
            consume = want;
        } else if (read->term) {
            const QByteArray& term = *read->term;
            const qint64 limit
                = read->maxLength >= 0 ? std::min(read->maxLength, kMaxReadLength) : kMaxReadLength;
            want = std::min<qint64>(sourceAvailable(), limit - read->bytesDone);
            if (want <= 0) {
                maxedOut = true;
                break;
            }
            // Search the new bytes and the terminator's length less one before them.
            const QByteArray fresh = peek(want);
            const qint64 tailLength = std::min<qint64>(read->bytesDone, term.size() - 1);
            const QByteArray window = read->buffer.right(tailLength) + fresh;
            const qsizetype found = window.indexOf(term);
            if (found >= 0) {
                consume = found + term.size() - tailLength;
                done = true;
            } else {
                consume = fresh.size();
            }
        } else {
            consume = std::min<qint64>(sourceAvailable(), read->maxLength - read->bytesDone);
        }
        if (consume <= 0)
            break;
        const QByteArray bytes = take(consume);
        if (bytes.size() != consume) {
            // The platform socket announced bytes it then failed to hand over.
            streamError = true;
            done = false;
            break;
        }
        read->buffer.append(bytes);
        read->bytesDone += bytes.size();
        totalBytesRead += static_cast<quint64>(bytes.size());
        if (fixedLength && read->bytesDone == read->maxLength)
            done = true;
        if (read->term && !done) {
            const qint64 limit
                = read->maxLength >= 0 ? std::min(read->maxLength, kMaxReadLength) : kMaxReadLength;
            if (read->bytesDone >= limit)
                maxedOut = true;
        }
    }

    const auto alive = alive_.watch();
    if (done || (read->readAllAvailableData && read->bytesDone > 0)) {
        completeCurrentRead();
        return;
    }
    if (totalBytesRead > 0 && !read->readAllAvailableData) {
        if (StreamSocketDelegate* d = liveDelegate()) {
            d->onSocketDidReadPartialDataOfLength(this, totalBytesRead, read->tag);
            if (!alive.survived() || !socket_)
                return;
        }
    }
    if (maxedOut)
        closeWithError(StreamSocketError::make(StreamSocketReadMaxedOutError));
    else if (streamError)
        closeWithError(socketError(socket_->error() == QAbstractSocket::UnknownSocketError
                ? QAbstractSocket::NetworkError
                : socket_->error()));
}

void StreamSocket::completeCurrentRead()
{
    std::unique_ptr<StreamPacket> packet = std::move(currentRead_);
    auto* read = static_cast<StreamReadPacket*>(packet.get());
    read->buffer.resize(read->bytesDone);
    stopTimer(readTimer_);
    if (StreamSocketDelegate* d = liveDelegate()) {
        const auto alive = alive_.watch();
        d->onSocketDidReadData(this, read->buffer, read->tag);
        if (!alive.survived())
            return;
    }
    scheduleDequeueRead();
}

void StreamSocket::doReadTimeout()
{
    currentRead_.reset();
    closeWithError(StreamSocketError::make(StreamSocketReadTimeoutError));
}

std::optional<QByteArray> StreamSocket::unreadData()
{
    if (!(flags_ & kClosingWithError) || !socket_)
        return std::nullopt;
    const qint64 room = kMaxReadLength - partialReadBuffer_.size();
    if (room > 0)
        partialReadBuffer_.append(socket_->read(room));
    return partialReadBuffer_;
}

// ---------------------------------------------------------------------------
// Writing

void StreamSocket::writeData(const QByteArray& data, double timeout, qint64 tag)
{
    if (data.isEmpty() || (flags_ & kForbidReadsWrites))
        return;
    auto packet = std::make_unique<StreamWritePacket>();
    packet->buffer = data;
    packet->timeout = timeout;
    packet->tag = tag;
    writeQueue_.push_back(std::move(packet));
    scheduleDequeueWrite();
}

void StreamSocket::scheduleDequeueWrite()
{
    defer(dequeueWriteCall_, &StreamSocket::maybeDequeueWrite);
}

void StreamSocket::maybeDequeueWrite()
{
    const bool open = (flags_ & (kDidCompleteOpenForRead | kDidCompleteOpenForWrite))
        == (kDidCompleteOpenForRead | kDidCompleteOpenForWrite);
    if (currentWrite_ || !socket_ || !open)
        return;
    if (!writeQueue_.empty()) {
        currentWrite_ = std::move(writeQueue_.front());
        writeQueue_.pop_front();
        if (dynamic_cast<StreamSpecialPacket*>(currentWrite_.get())) {
            maybeStartTLS();
            return;
        }
        auto* write = static_cast<StreamWritePacket*>(currentWrite_.get());
        if (write->timeout >= 0)
            startTimer(writeTimer_, write->timeout, &StreamSocket::doWriteTimeout);
        doSendBytes();
    } else if (flags_ & kDisconnectAfterWrites) {
        if (!(flags_ & kDisconnectAfterReads) || (readQueue_.empty() && !currentRead_))
            disconnect();
    }
}

void StreamSocket::doSendBytes()
{
    auto* write = dynamic_cast<StreamWritePacket*>(currentWrite_.get());
    if (!write || !socket_ || (flags_ & kStartingTLS))
        return;
    const qint64 size = write->buffer.size();
    while (write->bytesDone < size && socket_->bytesToWrite() < kWriteHighWater) {
        const qint64 chunk = std::min(kWriteChunk, size - write->bytesDone);
        const qint64 written = socket_->write(write->buffer.constData() + write->bytesDone, chunk);
        if (written < 0) {
            closeWithError(socketError(socket_->error()));
            return;
        }
        if (written == 0)
            break;
        write->bytesDone += written;
    }
    // Done once every byte has left our buffers for the system's.
    if (write->bytesDone < size || socket_->bytesToWrite() > 0 || socket_->encryptedBytesToWrite() > 0)
        return;
    std::unique_ptr<StreamPacket> packet = std::move(currentWrite_);
    stopTimer(writeTimer_);
    if (StreamSocketDelegate* d = liveDelegate()) {
        const auto alive = alive_.watch();
        d->onSocketDidWriteDataWithTag(this, write->tag);
        if (!alive.survived())
            return;
    }
    scheduleDequeueWrite();
}

void StreamSocket::doWriteTimeout()
{
    currentWrite_.reset();
    closeWithError(StreamSocketError::make(StreamSocketWriteTimeoutError));
}

// ---------------------------------------------------------------------------
// TLS

void StreamSocket::startTLS(const QVariantMap& tlsSettings)
{
    if (tlsSettings.isEmpty())
        return;
    auto readMarker = std::make_unique<StreamSpecialPacket>();
    readMarker->tlsSettings = tlsSettings;
    auto writeMarker = std::make_unique<StreamSpecialPacket>();
    writeMarker->tlsSettings = tlsSettings;
    readQueue_.push_back(std::move(readMarker));
    writeQueue_.push_back(std::move(writeMarker));
    scheduleDequeueRead();
    scheduleDequeueWrite();
}

void StreamSocket::maybeStartTLS()
{
    auto* readMarker = dynamic_cast<StreamSpecialPacket*>(currentRead_.get());
    auto* writeMarker = dynamic_cast<StreamSpecialPacket*>(currentWrite_.get());
    if (!readMarker || !writeMarker || !socket_)
        return;
    flags_ |= kStartingTLS;
    const QVariantMap settings = readMarker->tlsSettings;
    // A connection is upgraded once; without a TLS library there is nothing to upgrade to.
    if (secured_ || socket_->isEncrypted() || !QSslSocket::supportsSsl()) {
        finishTLS(false);
        return;
    }
    QSslConfiguration config = socket_->sslConfiguration();
    config.setProtocol(QSsl::TlsV1_2OrLater);
    if (settings.value(QString::fromLatin1(kCFStreamSSLIsServer)).toBool()) {
        const QList<QSslCertificate> chain = QSslCertificate::fromData(
            settings.value(QString::fromLatin1(kCFStreamSSLCertificates)).toByteArray());
        const QSslKey key
            = keyFromPem(settings.value(QString::fromLatin1(StreamSocketSSLPrivateKey)).toByteArray());
        if (chain.isEmpty() || key.isNull()) {
            finishTLS(false);
            return;
        }
        config.setLocalCertificateChain(chain);
        config.setPrivateKey(key);
        config.setPeerVerifyMode(QSslSocket::VerifyNone);
        socket_->setSslConfiguration(config);
        socket_->startServerEncryption();
        return;
    }
    // The settings may ask for expired certificates, any root or no chain
    // validation; the peer is verified all the same.
    config.setCaCertificates(platform::TlsTrust::caCertificates());
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    const QString peerName = settings.value(QString::fromLatin1(kCFStreamSSLPeerName)).toString();
    socket_->setSslConfiguration(config);
    socket_->setPeerVerifyName(peerName.isEmpty() ? peerName_ : peerName);
    tlsErrors_.clear();
    socket_->startClientEncryption();
}

void StreamSocket::finishTLS(bool secured)
{
    flags_ &= ~kStartingTLS;
    secured_ = secured_ || secured;
    currentRead_.reset();
    currentWrite_.reset();
    if (StreamSocketDelegate* d = liveDelegate()) {
        const auto alive = alive_.watch();
        d->onSocketDidSecure(this, secured);
        if (!alive.survived())
            return;
    }
    scheduleDequeueRead();
    scheduleDequeueWrite();
}

// ---------------------------------------------------------------------------
// Ending

void StreamSocket::disconnect()
{
    close();
}

void StreamSocket::disconnectAfterReading()
{
    flags_ |= kForbidReadsWrites | kDisconnectAfterReads;
    maybeScheduleDisconnect();
}

void StreamSocket::disconnectAfterWriting()
{
    flags_ |= kForbidReadsWrites | kDisconnectAfterWrites;
    maybeScheduleDisconnect();
}

void StreamSocket::disconnectAfterReadingAndWriting()
{
    flags_ |= kForbidReadsWrites | kDisconnectAfterReads | kDisconnectAfterWrites;
    maybeScheduleDisconnect();
}

void StreamSocket::destroy()
{
    distroy_ = true;
    disconnectAfterReading();
}

void StreamSocket::maybeScheduleDisconnect()
{
    bool should = false;
    const bool readsDone = readQueue_.empty() && !currentRead_;
    const bool writesDone = writeQueue_.empty() && !currentWrite_;
    if (flags_ & kDisconnectAfterReads)
        should = readsDone && (!(flags_ & kDisconnectAfterWrites) || writesDone);
    else if (flags_ & kDisconnectAfterWrites)
        should = writesDone;
    if (should)
        defer(disconnectCall_, &StreamSocket::disconnect);
}

void StreamSocket::doConnectTimeout()
{
    closeWithError(StreamSocketError::make(StreamSocketConnectTimeoutError));
}

void StreamSocket::closeWithError(const std::optional<StreamSocketError>& error)
{
    flags_ |= kClosingWithError;
    if (flags_ & kDidStartDelegate) {
        // What an unfinished read collected stays readable through unreadData().
        if (auto* read = dynamic_cast<StreamReadPacket*>(currentRead_.get()); read && read->bytesDone > 0)
            partialReadBuffer_.prepend(read->buffer.left(read->bytesDone));
        emptyQueues();
        if (StreamSocketDelegate* d = liveDelegate()) {
            const auto alive = alive_.watch();
            d->onSocketWillDisconnectWithError(this, error);
            if (!alive.survived())
                return;
        }
    }
    close();
}

void StreamSocket::emptyQueues()
{
    readQueue_.clear();
    writeQueue_.clear();
    currentRead_.reset();
    currentWrite_.reset();
    stopTimer(readTimer_);
    stopTimer(writeTimer_);
    cancelDeferred(dequeueReadCall_);
    cancelDeferred(dequeueWriteCall_);
}

void StreamSocket::close()
{
    emptyQueues();
    partialReadBuffer_.clear();
    cancelDeferred(disconnectCall_);
    stopTimer(connectTimer_);
    connectTimeout_ = -1.0;
    if (source_)
        source_->clear();
    // Our handlers go first, so that closing the platform socket reports nothing.
    signalContext_.reset();
    if (socket_) {
        socket_->abort();
        socket_.reset();
    }
    server4_.reset();
    server6_.reset();
    pendingAccepts_.clear();
    tlsErrors_.clear();
    secured_ = false;
    const bool announce = (flags_ & kDidStartDelegate) && !distroy_;
    flags_ &= kEnablePreBuffering;
    if (announce)
        postDidDisconnect();
}

// ---------------------------------------------------------------------------
// Queries

bool StreamSocket::isConnected() const
{
    const bool open = (flags_ & (kDidCompleteOpenForRead | kDidCompleteOpenForWrite))
        == (kDidCompleteOpenForRead | kDidCompleteOpenForWrite);
    return socket_ && open && socket_->state() == QAbstractSocket::ConnectedState;
}

QString StreamSocket::connectedHost() const
{
    if (socket_ && (flags_ & kDidCompleteOpenForRead))
        return addressText(socket_->peerAddress());
    return {};
}

quint16 StreamSocket::connectedPort() const
{
    if (socket_ && (flags_ & kDidCompleteOpenForRead))
        return socket_->peerPort();
    return 0;
}

QString StreamSocket::localHost() const
{
    if (socket_ && (flags_ & kDidCompleteOpenForRead))
        return addressText(socket_->localAddress());
    if (server4_)
        return addressText(server4_->serverAddress());
    if (server6_)
        return addressText(server6_->serverAddress());
    return {};
}

quint16 StreamSocket::localPort() const
{
    if (socket_ && (flags_ & kDidCompleteOpenForRead))
        return socket_->localPort();
    if (server4_)
        return server4_->serverPort();
    if (server6_)
        return server6_->serverPort();
    return 0;
}

bool StreamSocket::isIPv4() const
{
    if (socket_ && (flags_ & kDidCompleteOpenForRead))
        return isIPv4Address(socket_->peerAddress());
    return server4_ != nullptr;
}

bool StreamSocket::isIPv6() const
{
    if (socket_ && (flags_ & kDidCompleteOpenForRead))
        return !isIPv4Address(socket_->peerAddress());
    return server6_ != nullptr;
}

qintptr StreamSocket::getCFSocket() const
{
    if (socket_)
        return socket_->socketDescriptor();
    if (server4_)
        return server4_->socketDescriptor();
    if (server6_)
        return server6_->socketDescriptor();
    return -1;
}

QIODevice* StreamSocket::getCFReadStream() const
{
    return socket_.get();
}

QIODevice* StreamSocket::getCFWriteStream() const
{
    return socket_.get();
}

namespace {

float progress(quint64 done, quint64 total)
{
    if (total == 0 && done == 0)
        return 1.0f;
    return static_cast<float>(static_cast<double>(done) / static_cast<double>(total));
}

} // namespace

float StreamSocket::progressOfReadReturningTag(qint64* tag, quint64* done, quint64* total) const
{
    auto* read = dynamic_cast<const StreamReadPacket*>(currentRead_.get());
    if (!read)
        return std::numeric_limits<float>::quiet_NaN();
    const bool fixedLength = !read->readAllAvailableData && !read->term;
    const quint64 d = static_cast<quint64>(read->bytesDone);
    const quint64 t = fixedLength ? static_cast<quint64>(read->maxLength) : 0;
    if (tag)
        *tag = read->tag;
    if (done)
        *done = d;
    if (total)
        *total = t;
    return progress(d, t);
}

float StreamSocket::progressOfWriteReturningTag(qint64* tag, quint64* done, quint64* total) const
{
    auto* write = dynamic_cast<const StreamWritePacket*>(currentWrite_.get());
    if (!write)
        return std::numeric_limits<float>::quiet_NaN();
    const quint64 d = static_cast<quint64>(write->bytesDone);
    const quint64 t = static_cast<quint64>(write->buffer.size());
    if (tag)
        *tag = write->tag;
    if (done)
        *done = d;
    if (total)
        *total = t;
    return progress(d, t);
}

namespace {

const char* streamStateWord(const QSslSocket* s)
{
    if (!s)
        return "not open";
    switch (s->state()) {
    case QAbstractSocket::UnconnectedState:
        return s->error() == QAbstractSocket::UnknownSocketError ? "not open" : "has error";
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
        return "opening";
    case QAbstractSocket::ConnectedState:
        return "open";
    case QAbstractSocket::ClosingState:
        return "at end";
    default:
        return "closed";
    }
}

} // namespace

QString StreamSocket::description() const
{
    auto endpoint = [](const QString& v4, quint16 port4, const QString& v6, quint16 port6) -> QString {
        if (!v4.isEmpty() && !v6.isEmpty())
            return QStringLiteral("%1/%2 %3").arg(v4, v6).arg(port4);
        if (!v4.isEmpty())
            return QStringLiteral("%1 %2").arg(v4).arg(port4);
        if (!v6.isEmpty())
            return QStringLiteral("%1 %2").arg(v6).arg(port6);
        return QStringLiteral("nowhere");
    };
    QString local;
    QString remote;
    if (socket_ && (flags_ & kDidCompleteOpenForRead)) {
        local = QStringLiteral("%1 %2").arg(localHost()).arg(localPort());
        remote = QStringLiteral("%1 %2").arg(connectedHost()).arg(connectedPort());
    } else {
        local = endpoint(server4_ ? addressText(server4_->serverAddress()) : QString(),
            server4_ ? server4_->serverPort() : 0,
            server6_ ? addressText(server6_->serverAddress()) : QString(),
            server6_ ? server6_->serverPort() : 0);
        remote = QStringLiteral("nowhere");
    }
    QString s = QStringLiteral("<StreamSocket %1").arg(reinterpret_cast<quintptr>(this), 0, 16);
    s += QStringLiteral(" local %1 remote %2 ").arg(local, remote);
    s += QStringLiteral("has queued %1 reads %2 writes, ").arg(readQueue_.size()).arg(writeQueue_.size());
    if (auto* read = dynamic_cast<const StreamReadPacket*>(currentRead_.get())) {
        const bool fixedLength = !read->readAllAvailableData && !read->term;
        const int percent = fixedLength && read->maxLength > 0
            ? static_cast<int>(read->bytesDone * 100 / read->maxLength)
            : 100;
        s += QStringLiteral("currently read %1 bytes (%2% done), ").arg(read->bytesDone).arg(percent);
    } else {
        s += QStringLiteral("no current read, ");
    }
    if (auto* write = dynamic_cast<const StreamWritePacket*>(currentWrite_.get())) {
        const int percent
            = write->buffer.isEmpty() ? 100 : static_cast<int>(write->bytesDone * 100 / write->buffer.size());
        s += QStringLiteral("currently written %1 (%2%), ").arg(write->bytesDone).arg(percent);
    } else {
        s += QStringLiteral("no current write, ");
    }
    const char* state = streamStateWord(socket_.get());
    const quintptr stream = reinterpret_cast<quintptr>(socket_.get());
    s += QStringLiteral("read stream %1 %2, ").arg(stream, 0, 16).arg(QLatin1String(state));
    s += QStringLiteral("write stream %1 %2").arg(stream, 0, 16).arg(QLatin1String(state));
    if ((flags_ & kDisconnectAfterReads) && (flags_ & kDisconnectAfterWrites))
        s += QStringLiteral(", will disconnect after reads & writes");
    else if (flags_ & kDisconnectAfterReads)
        s += QStringLiteral(", will disconnect after reads");
    else if (flags_ & kDisconnectAfterWrites)
        s += QStringLiteral(", will disconnect after writes");
    if (!isConnected())
        s += QStringLiteral(", not connected");
    s += QLatin1Char('>');
    return s;
}

QByteArray StreamSocket::CRLFData()
{
    return QByteArrayLiteral("\r\n");
}

QByteArray StreamSocket::CRData()
{
    return QByteArrayLiteral("\r");
}

QByteArray StreamSocket::LFData()
{
    return QByteArrayLiteral("\n");
}

QByteArray StreamSocket::ZeroData()
{
    return QByteArray(1, '\0');
}
