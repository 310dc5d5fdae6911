#include "comm/servertest/VEKTCServer.h"

#include "comm/transport/ProxyHandshake.h"
#include "comm/recordset/VEKBase64.h"

#include <QEventLoop>
#include <QObject>

VEKTCServer::VEKTCServer(const QString& host, quint16 port)
    : VEKServer(host, port)
{
}

VEKTCServer::~VEKTCServer()
{
    stopThread();
}

std::shared_ptr<VEKTCServer> VEKTCServer::serverWithHost(const QString& host, quint16 port)
{
    return std::make_shared<VEKTCServer>(host, port);
}

void VEKTCServer::main()
{
    QEventLoop loop;
    QObject context;
    bool cancelledEarly = false;
    {
        std::lock_guard lock(socketMutex_);
        cancelledEarly = isCancelled();
        if (!cancelledEarly) {
            loopContext_ = &context;
            eventLoop_ = &loop;
        }
    }
    if (cancelledEarly) {
        completeReachable(false);
        return;
    }

    socket_ = std::make_unique<StreamSocket>(static_cast<StreamSocketDelegate*>(this));
    QString target = host();
    quint16 targetPort = port();
    bool canDial = true;
    if (ProxyHandshake::normalizedMode(proxyMode()) != ProxyHandshake::ModeNone) {
        VEKServerDelegate* d = delegate();
        const std::optional<QString> proxyAddress = d ? d->serverConnectProxyAddress(*this) : std::nullopt;
        const std::optional<quint16> proxyPort = d ? d->serverConnectProxyPort(*this) : std::nullopt;
        canDial = proxyAddress && !proxyAddress->isEmpty() && proxyPort;
        if (canDial) {
            target = *proxyAddress;
            targetPort = *proxyPort;
        }
    }
    const double seconds = timeout() > 0 ? double(timeout()) : 30.0;
    bool connecting = false;
    if (canDial) {
        try {
            connecting = socket_->connectToHost(target, targetPort, seconds);
        } catch (const StreamSocketException&) {
            connecting = false;
        }
    }
    if (connecting) {
        startTrafficTime();
        // TLS and proxy handshakes have no time-out of their own; this bounds them too.
        deadline_ = std::make_unique<platform::RunLoopTimer>(
            seconds, false, platform::RunLoopModes::defaultMode(), [this] { completeReachable(false); });
        deadline_->start();
        while (!isCancelled() && !isFinished())
            loop.exec();
    }
    if (!isFinished())
        completeReachable(false);

    {
        std::lock_guard lock(socketMutex_);
        loopContext_ = nullptr;
        eventLoop_ = nullptr;
    }
    deadline_.reset();
    dropSocket();
}

void VEKTCServer::cancel()
{
    std::lock_guard lock(socketMutex_);
    VEKServer::cancel();
    if (loopContext_) {
        QMetaObject::invokeMethod(
            loopContext_,
            [this] {
                dropSocket();
                quitLoop();
            },
            Qt::QueuedConnection);
    }
}

void VEKTCServer::startTrafficTime()
{
    start_ = Clock::now();
}

double VEKTCServer::elapsed() const
{
    return std::chrono::duration<double>(Clock::now() - start_).count();
}

void VEKTCServer::quitLoop()
{
    // Only the probe's own thread runs this; the pointer changes on it alone.
    if (eventLoop_)
        eventLoop_->quit();
}

void VEKTCServer::dropSocket()
{
    if (!socket_)
        return;
    socket_->setDelegate(nullptr);
    socket_->disconnect();
    socket_.reset();
}

void VEKTCServer::completeReachable(bool flag)
{
    if (isFinished())
        return;
    setTrafficTime(flag ? elapsed() : -1.0);
    setReachable(flag);
    dropSocket();
    completeOperation();
    quitLoop();
}

// ---------------------------------------------------------------------------
// Connecting

void VEKTCServer::_socketDidConnected(const QString&, quint16)
{
    if (ProxyHandshake::normalizedMode(proxyMode()) != ProxyHandshake::ModeNone
        && proxyStatus() != ProxyHandshake::StatusEstablished) {
        setProxyStatus(ProxyHandshake::StatusStart);
        _processToProxyReady();
        return;
    }
    if (!needSSL()) {
        completeReachable(true);
        return;
    }
    VEKServerDelegate* d = delegate();
    std::optional<QVariantMap> settings = d ? d->serverSSLSetting(*this) : std::nullopt;
    // Without settings the probe still runs the handshake, verified as always,
    // rather than wait for its time-out.
    if (!settings)
        settings = QVariantMap();
    if (settings->isEmpty())
        settings->insert(QString::fromLatin1(kCFStreamSSLLevel),
            QStringLiteral("kCFStreamSocketSecurityLevelNegotiatedSSL"));
    socket_->startTLS(*settings);
}

void VEKTCServer::_sendData(const QByteArray& data, bool heartBeat)
{
    if (!socket_)
        return;
    proxyBuffer_.clear();
    socket_->writeData(data, -1.0, heartBeat ? kTagHeartbeat : kTagData);
}

void VEKTCServer::_dataDidWrite()
{
    if (socket_)
        socket_->readDataWithTimeout(-1.0, kTagData);
}

void VEKTCServer::_readData(const QByteArray& data)
{
    // Replies only matter during a proxy handshake.
    if (ProxyHandshake::normalizedMode(proxyMode()) != ProxyHandshake::ModeNone
        && proxyStatus() != ProxyHandshake::StatusEstablished)
        _processToProxyRespose(data);
}

// ---------------------------------------------------------------------------
// Proxy handshake

void VEKTCServer::proxyRefused()
{
    setProxyStatus(ProxyHandshake::StatusRefused);
    proxyBuffer_.clear();
    completeReachable(false);
}

void VEKTCServer::_processToProxyReady()
{
    VEKServerDelegate* d = delegate();
    const auto user = [&] { return d ? d->serverConnectProxyUser(*this).value_or(QString()) : QString(); };
    const auto password
        = [&] { return d ? d->serverConnectProxyPassword(*this).value_or(QString()) : QString(); };
    std::optional<QByteArray> message;
    switch (ProxyHandshake::normalizedMode(proxyMode())) {
    case ProxyHandshake::ModeHTTP: {
        if (proxyStatus() != ProxyHandshake::StatusStart)
            return;
        std::optional<QString> encoded;
        if (const QString name = user(); !name.isEmpty()) {
            const QString credentials = QStringLiteral("%1:%2").arg(name, password());
            encoded = d ? d->serverBase64EncodeString(*this, credentials) : std::nullopt;
            if (!encoded)
                encoded = VEKBase64::stringByEncodingData(credentials.toUtf8()).value_or(QString());
        }
        message = ProxyHandshake::httpConnectRequest(host(), port(), encoded);
        break;
    }
    case ProxyHandshake::ModeSOCKS4:
        if (proxyStatus() != ProxyHandshake::StatusStart)
            return;
        message = ProxyHandshake::socks4ConnectRequest(host(), port());
        break;
    case ProxyHandshake::ModeSOCKS5:
        if (!ProxyHandshake::isDottedIPv4(host()))
            break;
        if (proxyStatus() == ProxyHandshake::StatusStart)
            message = ProxyHandshake::socks5Greeting();
        else if (proxyStatus() == ProxyHandshake::StatusSendAuth)
            message = ProxyHandshake::socks5AuthRequest(user().toUtf8(), password().toUtf8());
        else if (proxyStatus() == ProxyHandshake::StatusSendConnect)
            message = ProxyHandshake::socks5ConnectRequest(host(), port());
        else
            return;
        break;
    default:
        return;
    }
    if (!message)
        return proxyRefused(); // the target or the credentials cannot be sent
    _sendData(*message, false);
}

void VEKTCServer::_processToProxyRespose(const QByteArray& data)
{
    if (proxyStatus() == ProxyHandshake::StatusRefused || proxyStatus() == ProxyHandshake::StatusIdle)
        return;
    if (proxyBuffer_.size() + data.size() > ProxyHandshake::kMaxReplyBytes)
        return proxyRefused();
    proxyBuffer_.append(data);
    const ProxyHandshake::Verdict verdict
        = ProxyHandshake::judgeReply(proxyMode(), proxyStatus(), proxyBuffer_);
    switch (verdict.kind) {
    case ProxyHandshake::Verdict::Incomplete:
        return;
    case ProxyHandshake::Verdict::Refused:
        return proxyRefused();
    case ProxyHandshake::Verdict::Next:
        setProxyStatus(verdict.status);
        return _processToProxyReady();
    case ProxyHandshake::Verdict::Established:
        setProxyStatus(ProxyHandshake::StatusEstablished);
        proxyBuffer_.clear();
        return completeReachable(true);
    }
}

// ---------------------------------------------------------------------------
// Socket events: only the probe's own socket counts.

void VEKTCServer::onSocketWillDisconnectWithError(StreamSocket*, const std::optional<StreamSocketError>&)
{
}

void VEKTCServer::onSocketDidDisconnect(StreamSocket* sock)
{
    if (sock != socket_.get() || isFinished())
        return;
    // Refused or timed out before anything else ended the probe.
    setTrafficTime(elapsed());
    setReachable(false);
    dropSocket();
    completeOperation();
    quitLoop();
}

void VEKTCServer::onSocketDidConnectToHost(StreamSocket* sock, const QString& host, quint16 port)
{
    if (sock == socket_.get())
        _socketDidConnected(host, port);
}

void VEKTCServer::onSocketDidReadData(StreamSocket* sock, const QByteArray& data, qint64)
{
    if (sock == socket_.get())
        _readData(data);
}

void VEKTCServer::onSocketDidWriteDataWithTag(StreamSocket* sock, qint64)
{
    if (sock == socket_.get())
        _dataDidWrite();
}

void VEKTCServer::onSocketDidSecure(StreamSocket* sock, bool secured)
{
    if (sock == socket_.get())
        completeReachable(secured);
}
