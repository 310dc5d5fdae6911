#include "comm/VEKConnection.h"

#include "comm/VEKBase64.h"

#include <algorithm>
#include <arpa/inet.h>

namespace {

StreamSocketError connectionError(VEKConnectionErrorCode code, const QString& description)
{
    return { QString::fromLatin1(VEKConnectionErrorDomain), code, description };
}

// The real host as the 4 bytes of a dotted IPv4 address, for the SOCKS requests.
std::optional<QByteArray> ipv4Bytes(const QString& host)
{
    in_addr address {};
    if (inet_pton(AF_INET, host.toLatin1().constData(), &address) != 1 || host.contains(QChar(0)))
        return std::nullopt;
    return QByteArray(reinterpret_cast<const char*>(&address.s_addr), 4); // network order already
}

QByteArray portBytes(quint16 port)
{
    const char bytes[2] = { char(port >> 8), char(port & 0xFF) };
    return QByteArray(bytes, 2);
}

// A host that would break the CONNECT line (spaces, controls) or is empty.
bool isSafeConnectHost(const QString& host)
{
    if (host.isEmpty())
        return false;
    return std::none_of(
        host.begin(), host.end(), [](QChar c) { return c.unicode() <= 0x20 || c.unicode() == 0x7F; });
}

} // namespace

VEKConnection::VEKConnection(std::unique_ptr<VEKConnectionContext> context, VEKConnectionDelegate* delegate,
    double timeoutBatchInterval, double heartbeatInterval)
    : context_(std::move(context))
    , runLoop_(platform::RunLoop::current())
    , batchInterval_(timeoutBatchInterval)
    , heartbeatInterval_(heartbeatInterval)
{
    setDelegate(delegate);
    proxyBuffer_.reserve(kProxyBufferCapacity);
}

VEKConnection::~VEKConnection()
{
    emptyQueues();
    runLoop_->cancelAll(this);
}

VEKConnectionDelegate* VEKConnection::delegate() const
{
    return delegateLifetime_.expired() ? nullptr : delegate_;
}

void VEKConnection::setDelegate(VEKConnectionDelegate* delegate)
{
    delegate_ = delegate;
    delegateLifetime_
        = delegate ? std::weak_ptr<const char>(delegate->lifetime_) : std::weak_ptr<const char>();
}

template <class Call> bool VEKConnection::notify(Call&& call)
{
    VEKConnectionDelegate* d = delegate();
    if (!d)
        return true;
    std::weak_ptr<int> alive = alive_;
    call(*d);
    return !alive.expired();
}

template <class Question>
auto VEKConnection::ask(Question&& question) -> decltype(question(std::declval<VEKConnectionDelegate&>()))
{
    VEKConnectionDelegate* d = delegate();
    if (!d)
        return std::nullopt;
    return question(*d);
}

// ---------------------------------------------------------------------------
// Connecting

bool VEKConnection::connectToHost(const QString& host, quint16 port, double timeout)
{
    if (isConnected())
        return false;
    if (!socket_) {
        socket_ = std::make_unique<StreamSocket>(static_cast<StreamSocketDelegate*>(this));
        socket_->setRunLoopModes(modes_);
        ready_ = false;
        readPending_ = false;
        writesInFlight_ = 0;
    }
    QString dialHost = host;
    quint16 dialPort = port;
    if (proxyMode_ != ProxyNone) {
        realHost_ = host;
        realPort_ = port;
        // Asking may let the delegate tear us down; nothing then remains to connect.
        std::weak_ptr<int> alive = alive_;
        const std::optional<QString> proxyHost
            = ask([this](VEKConnectionDelegate& d) { return d.connectionConnectProxyAddress(*this); });
        if (alive.expired())
            return false;
        const std::optional<quint16> proxyPort
            = ask([this](VEKConnectionDelegate& d) { return d.connectionConnectProxyPort(*this); });
        if (alive.expired() || !socket_ || !proxyHost || proxyHost->isEmpty() || !proxyPort)
            return false;
        dialHost = *proxyHost;
        dialPort = *proxyPort;
    }
    try {
        return socket_->connectToHost(dialHost, dialPort, timeout);
    } catch (const StreamSocketException&) {
        return false; // still connecting, or in a proxy handshake
    }
}

bool VEKConnection::disconnect()
{
    releaseSocket();
    emptyQueues();
    return true;
}

void VEKConnection::releaseSocket()
{
    if (!socket_)
        return;
    socket_->destroy();
    socket_.reset();
    ready_ = false;
    readPending_ = false;
    writesInFlight_ = 0;
}

bool VEKConnection::isConnected() const
{
    return socket_ && socket_->isConnected() && (proxyMode_ == ProxyNone || proxyStatus_ == ProxyEstablished);
}

void VEKConnection::setProxyMode(qint32 mode)
{
    mode &= 0x7;
    proxyMode_ = (mode >= ProxyHTTP && mode <= ProxySOCKS5) ? mode : ProxyNone;
    proxyStatus_ = ProxyIdle;
}

bool VEKConnection::setRunLoopModes(const QStringList& modes)
{
    return setRunLoopModes(platform::RunLoopModes::fromNames(modes));
}

bool VEKConnection::setRunLoopModes(platform::RunLoopModes modes)
{
    if (modes.isEmpty())
        return false;
    if (modes == modes_)
        return true;
    modes_ = modes;
    // A scheduled write moves to the new modes rather than being lost.
    runLoop_->setModes(this, modes);
    return socket_ ? socket_->setRunLoopModes(modes) : true;
}

void VEKConnection::_socketDidConnected(const QString& host, quint16 port)
{
    lastHost_ = host;
    lastPort_ = port;
    if (proxyMode_ != ProxyNone && proxyStatus_ != ProxyEstablished) {
        proxyStatus_ = ProxyStart;
        _processToProxyReady();
        return;
    }
    transportDidOpen(host, port);
}

void VEKConnection::transportDidOpen(const QString& host, quint16 port)
{
    if (!notify([&](VEKConnectionDelegate& d) { d.connectionDidConnectedToIP(*this, host, port); }))
        return;
    if (!socket_)
        return;
    if (needSSL_) {
        std::weak_ptr<int> alive = alive_;
        std::optional<QVariantMap> settings
            = ask([this](VEKConnectionDelegate& d) { return d.connectionSSLSetting(*this); });
        if (alive.expired() || !socket_)
            return;
        if (!settings) {
            notify([this](VEKConnectionDelegate& d) { d.connectionDidSSLSecure(*this, false); });
            return;
        }
        // Through a proxy the certificate must name the real server, not the proxy;
        // directly, the socket verifies the host it dialled.
        const QString peerKey = QString::fromLatin1(kCFStreamSSLPeerName);
        if (proxyMode_ != ProxyNone && settings->value(peerKey).toString().isEmpty())
            settings->insert(peerKey, realHost_);
        if (settings->isEmpty()) // the socket takes no settings as "no TLS"
            settings->insert(QString::fromLatin1(kCFStreamSSLLevel),
                QStringLiteral("kCFStreamSocketSecurityLevelNegotiatedSSL"));
        socket_->startTLS(*settings);
        return;
    }
    ready_ = true;
    if (!notify([this](VEKConnectionDelegate& d) { d.connectionDidConnectedReady(*this, true); }))
        return;
    scheduleDequeueWrite();
}

// ---------------------------------------------------------------------------
// Sending

void VEKConnection::sendRequest(const VEKRequest& request, quint64 packetID, double timeout, quint64 cacheAge)
{
    auto packet = std::make_shared<VEKWritePacket>(request.data(), packetID);
    packet->setEncrypt(request.encrypt());
    packet->setCompressResponse(request.compressResponse());
    packet->setCacheAge(cacheAge);
    packet->setDelegate(this);
    packet->scheduledTimeoutWithTimeInterval(timeout);
    storeRequest(packet);
    scheduleDequeueWrite();
}

void VEKConnection::sendNoCaheRequest(const VEKRequest& request, quint64 packetID, double timeout)
{
    sendRequest(request, packetID, timeout, 0);
}

void VEKConnection::sendDiaryRequest(const VEKRequest& request, quint64 packetID, double timeout)
{
    sendRequest(request, packetID, timeout, kDiaryCacheAge);
}

void VEKConnection::storeRequest(const PacketPtr& packet)
{
    if (std::find(writeQueue_.begin(), writeQueue_.end(), packet) == writeQueue_.end())
        writeQueue_.push_back(packet);
}

void VEKConnection::scheduleDequeueWrite()
{
    if (writeCall_ != 0 && runLoop_->isPending(writeCall_))
        return;
    writeCall_ = runLoop_->perform(
        modes_,
        [this] {
            writeCall_ = 0;
            maybeDequeueWrite();
        },
        this);
}

bool VEKConnection::canWrite() const
{
    return ready_ && writesInFlight_ == 0 && isConnected();
}

void VEKConnection::maybeDequeueWrite()
{
    while (canWrite() && !currentWrite_ && !suspended_ && !writeQueue_.empty()) {
        currentWrite_ = writeQueue_.front();
        writeQueue_.pop_front();
        std::optional<QByteArray> cached;
        const std::optional<QByteArray> bytes = context_->doWritePacket(currentWrite_.get(), &cached);
        if (bytes) {
            readQueue_.push_back(currentWrite_);
            currentWrite_.reset();
            _sendData(*bytes, false);
            return; // the next one goes when this one is written
        }
        if (cached) {
            const VEKResponse response(*cached, 0, currentWrite_->packetid());
            currentWrite_->invalidateTimeout();
            currentWrite_.reset();
            if (!doResponse(response))
                return;
            continue;
        }
        // Nothing to write: its time-out reports it.
        unsent_.push_back(currentWrite_);
        currentWrite_.reset();
    }
}

void VEKConnection::_sendData(const QByteArray& data, bool heartBeat)
{
    if (!socket_)
        return;
    socket_->writeData(data, -1.0, heartBeat ? kTagHeartbeat : kTagPacket);
    if (heartBeat)
        return;
    ++writesInFlight_;
    notify([&](VEKConnectionDelegate& d) { d.connectionDidWriteData(*this, data); });
}

void VEKConnection::_dataDidWrite(qint64 tag)
{
    if (tag == kTagPacket && writesInFlight_ > 0)
        --writesInFlight_;
    postRead();
    scheduleDequeueWrite();
    if (ready_ && isConnected())
        restartHeartbeat();
}

void VEKConnection::restartHeartbeat()
{
    heartbeatTimer_ = std::make_unique<platform::RunLoopTimer>(
        heartbeatInterval_, false, platform::RunLoopModes::defaultMode(), [this] { _sendEmptyData(); },
        runLoop_);
    heartbeatTimer_->start();
}

void VEKConnection::_sendEmptyData()
{
    heartbeatTimer_.reset();
    _sendData(StreamSocket::ZeroData(), true);
}

void VEKConnection::postRead()
{
    // One read outstanding is enough; more would pile up with every write.
    if (!socket_ || readPending_)
        return;
    readPending_ = true;
    socket_->readDataWithTimeout(-1.0, 0);
}

// ---------------------------------------------------------------------------
// Receiving

void VEKConnection::_readData(const QByteArray& data)
{
    readPending_ = false;
    std::weak_ptr<int> alive = alive_;
    if (proxyMode_ != ProxyNone && proxyStatus_ != ProxyEstablished)
        _processToProxyRespose(data);
    else
        feedContext(data);
    if (alive.expired())
        return;
    postRead();
    notify([&](VEKConnectionDelegate& d) { d.connectionDidReadData(*this, data); });
}

bool VEKConnection::feedContext(const QByteArray& data)
{
    std::weak_ptr<int> alive = alive_;
    context_->receiveData(data); // past its bound the context starts over by itself
    while (std::optional<VEKResponse> response = context_->readPacketAvailable()) {
        if (!doResponse(*response) || alive.expired())
            return false;
    }
    return true;
}

bool VEKConnection::doResponse(const VEKResponse& response)
{
    const auto it = std::find_if(readQueue_.begin(), readQueue_.end(),
        [&](const PacketPtr& p) { return p->packetid() == response.packetid(); });
    if (it != readQueue_.end()) {
        const PacketPtr packet = *it;
        packet->invalidateTimeout();
        if (packet->isUseCache() && response.status() == 0)
            context_->storeResponse(response.data(), packet->data(), double(packet->cacheAge()));
        readQueue_.erase(it);
    }
    if (suspended_)
        return true;
    return notify([&](VEKConnectionDelegate& d) { d.connectionDidRecievedResponse(*this, response); });
}

// ---------------------------------------------------------------------------
// Time-outs

void VEKConnection::writePacketDidTimeout(VEKWritePacket& packet)
{
    batch_.insert(packet.packetid());
    if (!batchTimer_) {
        batchTimer_ = std::make_unique<platform::RunLoopTimer>(
            batchInterval_, false, platform::RunLoopModes::defaultMode(), [this] { processOutputPackage(); },
            runLoop_);
        batchTimer_->start();
    }
    const auto same = [&](const PacketPtr& p) { return p.get() == &packet; };
    PacketPtr owner;
    for (auto* queue : { &writeQueue_, &unsent_ }) {
        const auto it = std::find_if(queue->begin(), queue->end(), same);
        if (it != queue->end()) {
            owner = *it;
            queue->erase(it);
        }
    }
    if (owner && std::none_of(readQueue_.begin(), readQueue_.end(), same))
        readQueue_.push_back(owner);
}

std::set<quint64> VEKConnection::invalidateTimeoutPackage(const std::set<quint64>& packetIds)
{
    std::set<quint64> timedOut;
    for (const quint64 id : packetIds) {
        const auto it = std::find_if(
            readQueue_.begin(), readQueue_.end(), [&](const PacketPtr& p) { return p->packetid() == id; });
        if (it == readQueue_.end())
            continue; // its reply came during the batch
        (*it)->invalidateTimeout();
        readQueue_.erase(it);
        timedOut.insert(id);
    }
    return timedOut;
}

void VEKConnection::processOutputPackage()
{
    const std::set<quint64> ids = std::move(batch_);
    batch_.clear();
    batchTimer_.reset();
    const std::set<quint64> timedOut = invalidateTimeoutPackage(ids);
    if (!timedOut.empty())
        notify([&](VEKConnectionDelegate& d) { d.connectionSendPacketsTimeout(*this, timedOut); });
}

// ---------------------------------------------------------------------------
// Suspension and queues

void VEKConnection::setSuspendedWithAct(qint32 act)
{
    suspended_ = true;
    if (act == SuspendEmpty)
        clearPackets();
    else if (act == SuspendRestore)
        restoreAllRequest();
}

void VEKConnection::cancelSuspended()
{
    suspended_ = false;
    scheduleDequeueWrite();
}

void VEKConnection::restoreAllRequest()
{
    for (const PacketPtr& packet : readQueue_)
        storeRequest(packet);
    readQueue_.clear();
}

void VEKConnection::clearPackets()
{
    for (auto* queue : { &writeQueue_, &readQueue_, &unsent_ }) {
        for (const PacketPtr& packet : *queue)
            packet->invalidateTimeout();
        queue->clear();
    }
    if (currentWrite_)
        currentWrite_->invalidateTimeout();
    currentWrite_.reset();
}

void VEKConnection::emptyQueues()
{
    clearPackets();
    if (writeCall_ != 0)
        runLoop_->cancel(writeCall_);
    writeCall_ = 0;
    runLoop_->cancelAll(this);
    batchTimer_.reset();
    batch_.clear();
    heartbeatTimer_.reset();
    releaseSocket();
}

// ---------------------------------------------------------------------------
// Proxy handshake

void VEKConnection::sendProxyMessage(const QByteArray& message)
{
    proxyBuffer_.clear();
    if (socket_)
        socket_->writeData(message, -1.0, kTagProxy);
}

void VEKConnection::_processToProxyReady()
{
    switch (proxyMode_) {
    case ProxyHTTP: {
        if (proxyStatus_ != ProxyStart)
            return;
        if (!isSafeConnectHost(realHost_))
            return proxyFailed(VEKConnectionProxyTargetError,
                QStringLiteral("The server address cannot be sent to the proxy."));
        const QString target = QStringLiteral("%1:%2").arg(realHost_).arg(realPort_);
        std::weak_ptr<int> alive = alive_;
        const QString user = ask([this](VEKConnectionDelegate& d) {
            return d.connectionConnectProxyUser(*this);
        }).value_or(QString());
        if (alive.expired())
            return;
        QString request;
        if (!user.isEmpty()) {
            const QString password = ask([this](VEKConnectionDelegate& d) {
                return d.connectionConnectProxyPassword(*this);
            }).value_or(QString());
            if (alive.expired())
                return;
            const QString credentials = QStringLiteral("%1:%2").arg(user, password);
            std::optional<QString> encoded = ask(
                [&](VEKConnectionDelegate& d) { return d.connectionBase64EncodeString(*this, credentials); });
            if (alive.expired())
                return;
            if (!encoded)
                encoded = VEKBase64::stringByEncodingData(credentials.toUtf8());
            request = QStringLiteral("CONNECT %1 HTTP/1.1\r\nProxy-Authorization: Basic %2\r\n\r\n")
                          .arg(target, encoded.value_or(QString()));
        } else {
            request = QStringLiteral("CONNECT %1 HTTP/1.1\r\nUser-Agent: VEKSoft\r\n\r\n").arg(target);
        }
        sendProxyMessage(request.toUtf8());
        return;
    }
    case ProxySOCKS4: {
        if (proxyStatus_ != ProxyStart)
            return;
        const std::optional<QByteArray> address = ipv4Bytes(realHost_);
        if (!address)
            return proxyFailed(VEKConnectionProxyTargetError,
                QStringLiteral("A SOCKS proxy needs the server's dotted IPv4 address."));
        QByteArray request;
        request.append(char(0x04))
            .append(char(0x01))
            .append(portBytes(realPort_))
            .append(*address)
            .append('\0');
        sendProxyMessage(request);
        return;
    }
    case ProxySOCKS5: {
        // The real host is checked before the proxy hears anything.
        const std::optional<QByteArray> address = ipv4Bytes(realHost_);
        if (!address)
            return proxyFailed(VEKConnectionProxyTargetError,
                QStringLiteral("A SOCKS proxy needs the server's dotted IPv4 address."));
        if (proxyStatus_ == ProxyStart) {
            sendProxyMessage(QByteArray("\x05\x02\x00\x02", 4));
        } else if (proxyStatus_ == ProxySendAuth) {
            std::weak_ptr<int> alive = alive_;
            const QByteArray user
                = ask([this](VEKConnectionDelegate& d) { return d.connectionConnectProxyUser(*this); })
                      .value_or(QString())
                      .toUtf8();
            if (alive.expired())
                return;
            const QByteArray password
                = ask([this](VEKConnectionDelegate& d) { return d.connectionConnectProxyPassword(*this); })
                      .value_or(QString())
                      .toUtf8();
            if (alive.expired())
                return;
            // Cutting would send a different secret; refuse instead.
            if (user.size() > 255 || password.size() > 255)
                return proxyFailed(VEKConnectionProxyCredentialsError,
                    QStringLiteral("The proxy user name or password is longer than 255 bytes."));
            QByteArray request;
            request.append(char(0x01)).append(char(user.size())).append(user);
            request.append(char(password.size())).append(password);
            sendProxyMessage(request);
        } else if (proxyStatus_ == ProxySendConnect) {
            QByteArray request("\x05\x01\x00\x01", 4);
            request.append(*address).append(portBytes(realPort_));
            sendProxyMessage(request);
        }
        return;
    }
    default:
        return;
    }
}

void VEKConnection::_processToProxyRespose(const QByteArray& data)
{
    if (proxyStatus_ == ProxyRefused || proxyStatus_ == ProxyIdle)
        return;
    if (proxyBuffer_.size() + data.size() > kMaxProxyBuffer)
        return proxyFailed(
            VEKConnectionProxyReplyTooLongError, QStringLiteral("The proxy's answer is too long."));
    proxyBuffer_.append(data);
    const auto byte = [this](qsizetype i) { return quint8(proxyBuffer_.at(i)); };
    const QString refused = QStringLiteral("The proxy refused the connection.");

    switch (proxyMode_) {
    case ProxyHTTP: {
        // Judged on the whole head, so that an answer split across reads is not refused.
        const qsizetype end = proxyBuffer_.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = proxyBuffer_.left(end + 4);
        if (!QString::fromUtf8(head).contains(QLatin1String("Connection established"), Qt::CaseInsensitive))
            return proxyFailed(VEKConnectionProxyRefusedError, refused);
        return proxyEstablished(proxyBuffer_.mid(end + 4));
    }
    case ProxySOCKS4:
        if (proxyBuffer_.size() < 8)
            return;
        if (byte(0) != 0 || byte(1) != 90)
            return proxyFailed(VEKConnectionProxyRefusedError, refused);
        return proxyEstablished(proxyBuffer_.mid(8));
    case ProxySOCKS5:
        if (proxyStatus_ == ProxyStart) {
            if (proxyBuffer_.size() < 2)
                return;
            if (byte(0) == 0x05 && byte(1) == 0x02)
                proxyStatus_ = ProxySendAuth;
            else if (byte(0) == 0x05 && byte(1) == 0x00)
                proxyStatus_ = ProxySendConnect;
            else
                return proxyFailed(VEKConnectionProxyRefusedError, refused);
            return _processToProxyReady();
        }
        if (proxyStatus_ == ProxySendAuth) {
            if (proxyBuffer_.size() < 2)
                return;
            if (byte(0) != 0x01 || byte(1) != 0x00)
                return proxyFailed(VEKConnectionProxyRefusedError,
                    QStringLiteral("The proxy did not accept the user name and password."));
            proxyStatus_ = ProxySendConnect;
            return _processToProxyReady();
        }
        if (proxyStatus_ == ProxySendConnect) {
            if (proxyBuffer_.size() < 2)
                return;
            if (byte(0) != 0x05 || byte(1) != 0x00)
                return proxyFailed(VEKConnectionProxyRefusedError, refused);
            // The bound address decides the reply's length: IPv4 10 bytes, IPv6 22, a name 7 + its length.
            if (proxyBuffer_.size() < 5)
                return;
            qsizetype length = 0;
            switch (byte(3)) {
            case 0x01:
                length = 10;
                break;
            case 0x04:
                length = 22;
                break;
            case 0x03:
                length = 7 + byte(4);
                break;
            default:
                return proxyFailed(VEKConnectionProxyRefusedError, refused);
            }
            if (proxyBuffer_.size() < length)
                return;
            return proxyEstablished(proxyBuffer_.mid(length));
        }
        return;
    default:
        return;
    }
}

void VEKConnection::proxyFailed(VEKConnectionErrorCode code, const QString& description)
{
    proxyStatus_ = ProxyRefused;
    proxyBuffer_.clear();
    const StreamSocketError error = connectionError(code, description);
    notify([&](VEKConnectionDelegate& d) { d.connectionProxyError(*this, error); });
}

void VEKConnection::proxyEstablished(QByteArray leftover)
{
    proxyStatus_ = ProxyEstablished;
    proxyBuffer_.clear();
    std::weak_ptr<int> alive = alive_;
    transportDidOpen(realHost_, realPort_);
    if (alive.expired())
        return;
    // Bytes the server sent right behind the proxy's answer belong to the stream;
    // under TLS the socket has already taken them as plain text, so they are dropped.
    if (!needSSL_ && !leftover.isEmpty() && socket_)
        feedContext(leftover);
}

// ---------------------------------------------------------------------------
// Socket events

void VEKConnection::_socketDidGotError(const std::optional<StreamSocketError>& error)
{
    if (writeCall_ != 0)
        runLoop_->cancel(writeCall_);
    writeCall_ = 0;
    notify([&](VEKConnectionDelegate& d) { d.connectionWillDisconnetWithError(*this, error); });
}

void VEKConnection::_socketDidDisconnected()
{
    proxyStatus_ = ProxyIdle;
    heartbeatTimer_.reset();
    releaseSocket();
    context_->resetData();
    notify([this](VEKConnectionDelegate& d) { d.connectionDidDisconnected(*this); });
}

void VEKConnection::onSocketDidConnectToHost(StreamSocket* sock, const QString& host, quint16 port)
{
    if (sock == socket_.get())
        _socketDidConnected(host, port);
}

void VEKConnection::onSocketDidReadData(StreamSocket* sock, const QByteArray& data, qint64)
{
    if (sock == socket_.get())
        _readData(data);
}

void VEKConnection::onSocketDidWriteDataWithTag(StreamSocket* sock, qint64 tag)
{
    if (sock == socket_.get())
        _dataDidWrite(tag);
}

void VEKConnection::onSocketDidSecure(StreamSocket* sock, bool secured)
{
    if (sock != socket_.get())
        return;
    ready_ = secured;
    if (!notify([&](VEKConnectionDelegate& d) { d.connectionDidSSLSecure(*this, secured); }))
        return;
    if (!notify([&](VEKConnectionDelegate& d) { d.connectionDidConnectedReady(*this, secured); }))
        return;
    if (secured) {
        scheduleDequeueWrite();
    } else if (socket_) {
        // Nothing may travel in plain text on a connection that asked for TLS.
        socket_->disconnect();
    }
}

void VEKConnection::onSocketWillDisconnectWithError(
    StreamSocket* sock, const std::optional<StreamSocketError>& error)
{
    if (sock == socket_.get())
        _socketDidGotError(error);
}

void VEKConnection::onSocketDidDisconnect(StreamSocket* sock)
{
    if (sock == socket_.get())
        _socketDidDisconnected();
}
