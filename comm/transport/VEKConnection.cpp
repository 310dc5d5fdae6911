#include "comm/transport/VEKConnection.h"

#include "comm/recordset/VEKBase64.h"
#include "comm/transport/ProxyHandshake.h"

#include <algorithm>

namespace {

StreamSocketError connectionError(VEKConnectionErrorCode code, const QString& description)
{
    return { QString::fromLatin1(VEKConnectionErrorDomain), code, description };
}

platform::RunLoopTimer::Clock::duration seconds(double count)
{
    return std::chrono::duration_cast<platform::RunLoopTimer::Clock::duration>(
        std::chrono::duration<double>(count));
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

template <class Call> bool VEKConnection::notify(Call&& call)
{
    VEKConnectionDelegate* d = delegate();
    if (!d)
        return true;
    const auto alive = alive_.watch();
    call(*d);
    return alive.survived();
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
        const auto alive = alive_.watch();
        const std::optional<QString> proxyHost
            = ask([this](VEKConnectionDelegate& d) { return d.connectionConnectProxyAddress(*this); });
        if (!alive.survived())
            return false;
        const std::optional<quint16> proxyPort
            = ask([this](VEKConnectionDelegate& d) { return d.connectionConnectProxyPort(*this); });
        if (!alive.survived() || !socket_ || !proxyHost || proxyHost->isEmpty() || !proxyPort)
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
    // The socket released reports no disconnect: the part of a frame read
    // from it goes here, or it would start the next connection's stream.
    context_->resetData();
    return true;
}

void VEKConnection::releaseSocket()
{
    if (!socket_)
        return;
    socket_->destroy();
    socket_.reset();
    sent_.clear(); // no reply to them can come on another socket
    frame_.reset();
    graceTimer_.reset();
    graceChecked_.reset();
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
    proxyMode_ = ProxyHandshake::normalizedMode(mode);
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
        const auto alive = alive_.watch();
        std::optional<QVariantMap> settings
            = ask([this](VEKConnectionDelegate& d) { return d.connectionSSLSetting(*this); });
        if (!alive.survived() || !socket_)
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
            if (sent_.size() >= kSentIdsKept)
                sent_.pop_front();
            sent_.push_back(
                { currentWrite_->packetid(), currentWrite_->timeoutInterval(), bytesRead_, std::nullopt });
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
    const auto alive = alive_.watch();
    if (proxyMode_ != ProxyNone && proxyStatus_ != ProxyEstablished)
        _processToProxyRespose(data);
    else
        feedContext(data);
    if (!alive.survived())
        return;
    postRead();
    notify([&](VEKConnectionDelegate& d) { d.connectionDidReadData(*this, data); });
}

bool VEKConnection::feedContext(const QByteArray& data)
{
    const auto alive = alive_.watch();
    bytesRead_ += quint64(data.size());
    context_->receiveData(data); // past its bound the context starts over by itself
    while (std::optional<VEKResponse> response = context_->readPacketAvailable()) {
        if (!doResponse(*response) || !alive.survived())
            return false;
    }
    noteFrameInProgress();
    checkReader();
    return true;
}

bool VEKConnection::doResponse(const VEKResponse& response)
{
    forgetSent(response.packetid());
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
        frameAtBatch_ = frame_ ? std::optional<quint64>(frame_->offset) : std::nullopt;
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
    // Written on this socket: its reply may still be on its way, for one more time-out.
    const auto sent
        = std::find_if(sent_.begin(), sent_.end(), [&](const Sent& s) { return s.id == packet.packetid(); });
    if (sent != sent_.end() && !sent->graceEnd) {
        sent->graceEnd = platform::RunLoopTimer::Clock::now() + seconds(sent->timeout);
        checkReader();
    }
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

void VEKConnection::forgetSent(quint64 packetId)
{
    const auto it = std::find_if(sent_.begin(), sent_.end(), [&](const Sent& s) { return s.id == packetId; });
    if (it != sent_.end())
        sent_.erase(it);
}

bool VEKConnection::mayAnswer(const Sent& sent, quint64 offset) const
{
    return offset >= sent.readBefore;
}

const VEKConnection::Sent* VEKConnection::sentNamedByFrame() const
{
    const std::optional<quint64> id = context_->incompletePacketId();
    if (!frame_ || !id)
        return nullptr;
    const auto it = std::find_if(sent_.begin(), sent_.end(), [&](const Sent& s) { return s.id == *id; });
    return it == sent_.end() || !mayAnswer(*it, frame_->offset) ? nullptr : &*it;
}

void VEKConnection::noteFrameInProgress()
{
    // Bytes kept while the reader seeks a frame's start (a stray 0xFF, a
    // part of a status line) are no frame's: nothing holds them to a limit.
    if (!context_->frameBegun()) {
        frame_.reset();
        return;
    }
    // Bytes are only ever taken from the front, so a frame keeps its offset
    // until it is read or dropped; a new offset is a frame begun in this read.
    const quint64 offset = bytesRead_ - quint64(context_->bufferedLength());
    if (!frame_ || frame_->offset != offset)
        frame_ = FrameBegun { offset, platform::RunLoopTimer::Clock::now() };
}

std::optional<VEKConnection::TimePoint> VEKConnection::frameDeadline() const
{
    if (!frame_)
        return std::nullopt;
    // Begun before the end of its request's one more time-out, a reply must
    // be whole by then; begun after, it has one time-out from its first byte.
    const auto limit = [this](const Sent& s) {
        return frame_->at < *s.graceEnd ? *s.graceEnd : frame_->at + seconds(s.timeout);
    };
    if (context_->incompletePacketId()) {
        const Sent* sent = sentNamedByFrame();
        if (!sent || !sent->graceEnd)
            return std::nullopt;
        return limit(*sent);
    }
    // Its head not whole yet, it may be the reply to any packet written
    // before it began: it is cut only once past the limit of each of them,
    // and never while one of them still waits.
    std::optional<TimePoint> last;
    for (const Sent& s : sent_) {
        if (!mayAnswer(s, frame_->offset))
            continue;
        if (!s.graceEnd)
            return std::nullopt;
        if (!last || limit(s) > *last)
            last = limit(s);
    }
    return last;
}

void VEKConnection::checkReader()
{
    const std::optional<TimePoint> deadline = frameDeadline();
    if (deadline && graceChecked_ && *deadline <= *graceChecked_)
        return cutWedgedReader();
    armGraceTimer(deadline);
}

void VEKConnection::armGraceTimer(std::optional<TimePoint> deadline)
{
    std::optional<TimePoint> next = deadline;
    for (const Sent& s : sent_) {
        if (s.graceEnd && (!graceChecked_ || *s.graceEnd > *graceChecked_) && (!next || *s.graceEnd < *next))
            next = s.graceEnd;
    }
    if (!next) {
        graceTimer_.reset();
        return;
    }
    if (graceTimer_ && graceDue_ == *next)
        return;
    graceDue_ = *next;
    // Default mode, as the time-outs themselves: a modal panel holds it.
    graceTimer_ = std::make_unique<platform::RunLoopTimer>(
        0.0, false, platform::RunLoopModes::defaultMode(), [this] { graceEnded(); }, runLoop_);
    graceTimer_->setFireDate(graceDue_);
}

void VEKConnection::graceEnded()
{
    graceChecked_ = graceDue_;
    checkReader();
}

void VEKConnection::cutWedgedReader()
{
    graceTimer_.reset();
    if (socket_)
        socket_->disconnect();
}

void VEKConnection::processOutputPackage()
{
    const std::set<quint64> ids = std::move(batch_);
    batch_.clear();
    batchTimer_.reset();
    const std::set<quint64> timedOut = invalidateTimeoutPackage(ids);
    // A frame whose head names no packet sent, in progress since the batch
    // began, swallows every later reply into its body (a length that promises
    // bytes that never come): the heartbeat and the replies to later
    // requests would keep such a connection alive for ever. A frame that may
    // be a reply is judged by its own deadline alone (checkReader), and bytes
    // that are no frame's never cut.
    const bool wedged = !timedOut.empty() && frame_ && frameAtBatch_ == frame_->offset
        && context_->incompletePacketId() && !sentNamedByFrame();
    frameAtBatch_.reset();
    if (!timedOut.empty()) {
        const auto alive = alive_.watch();
        notify([&](VEKConnectionDelegate& d) { d.connectionSendPacketsTimeout(*this, timedOut); });
        if (!alive.survived())
            return;
    }
    if (wedged)
        cutWedgedReader();
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
    releaseSocket(); // and the grace timer
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
    const QString unsendable = QStringLiteral("A SOCKS proxy needs the server's dotted IPv4 address.");
    switch (proxyMode_) {
    case ProxyHTTP: {
        if (proxyStatus_ != ProxyStart)
            return;
        if (!ProxyHandshake::httpConnectRequest(realHost_, realPort_, std::nullopt))
            return proxyFailed(VEKConnectionProxyTargetError,
                QStringLiteral("The server address cannot be sent to the proxy."));
        const auto alive = alive_.watch();
        const QString user = ask([this](VEKConnectionDelegate& d) {
            return d.connectionConnectProxyUser(*this);
        }).value_or(QString());
        if (!alive.survived())
            return;
        std::optional<QString> encoded;
        if (!user.isEmpty()) {
            const QString password = ask([this](VEKConnectionDelegate& d) {
                return d.connectionConnectProxyPassword(*this);
            }).value_or(QString());
            if (!alive.survived())
                return;
            const QString credentials = QStringLiteral("%1:%2").arg(user, password);
            encoded = ask(
                [&](VEKConnectionDelegate& d) { return d.connectionBase64EncodeString(*this, credentials); });
            if (!alive.survived())
                return;
            if (!encoded)
                encoded = VEKBase64::stringByEncodingData(credentials.toUtf8());
            if (!encoded)
                encoded = QString();
        }
        sendProxyMessage(
            ProxyHandshake::httpConnectRequest(realHost_, realPort_, encoded).value_or(QByteArray()));
        return;
    }
    case ProxySOCKS4: {
        if (proxyStatus_ != ProxyStart)
            return;
        const std::optional<QByteArray> request = ProxyHandshake::socks4ConnectRequest(realHost_, realPort_);
        if (!request)
            return proxyFailed(VEKConnectionProxyTargetError, unsendable);
        sendProxyMessage(*request);
        return;
    }
    case ProxySOCKS5: {
        // The real host is checked before the proxy hears anything.
        if (!ProxyHandshake::isDottedIPv4(realHost_))
            return proxyFailed(VEKConnectionProxyTargetError, unsendable);
        if (proxyStatus_ == ProxyStart) {
            sendProxyMessage(ProxyHandshake::socks5Greeting());
        } else if (proxyStatus_ == ProxySendAuth) {
            const auto alive = alive_.watch();
            const QByteArray user
                = ask([this](VEKConnectionDelegate& d) { return d.connectionConnectProxyUser(*this); })
                      .value_or(QString())
                      .toUtf8();
            if (!alive.survived())
                return;
            const QByteArray password
                = ask([this](VEKConnectionDelegate& d) { return d.connectionConnectProxyPassword(*this); })
                      .value_or(QString())
                      .toUtf8();
            if (!alive.survived())
                return;
            const std::optional<QByteArray> request = ProxyHandshake::socks5AuthRequest(user, password);
            if (!request)
                return proxyFailed(VEKConnectionProxyCredentialsError,
                    QStringLiteral("The proxy user name or password is longer than 255 bytes."));
            sendProxyMessage(*request);
        } else if (proxyStatus_ == ProxySendConnect) {
            sendProxyMessage(
                ProxyHandshake::socks5ConnectRequest(realHost_, realPort_).value_or(QByteArray()));
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
    const ProxyHandshake::Verdict verdict
        = ProxyHandshake::judgeReply(proxyMode_, proxyStatus_, proxyBuffer_);
    switch (verdict.kind) {
    case ProxyHandshake::Verdict::Incomplete:
        return;
    case ProxyHandshake::Verdict::Refused:
        return proxyFailed(VEKConnectionProxyRefusedError, verdict.description);
    case ProxyHandshake::Verdict::Next:
        proxyStatus_ = verdict.status;
        return _processToProxyReady();
    case ProxyHandshake::Verdict::Established:
        return proxyEstablished(proxyBuffer_.mid(verdict.consumed));
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
    const auto alive = alive_.watch();
    transportDidOpen(realHost_, realPort_);
    if (!alive.survived())
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
