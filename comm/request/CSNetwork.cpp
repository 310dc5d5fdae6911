#include "comm/request/CSNetwork.h"

#include "comm/recordset/CSHex.h"
#include "comm/recordset/VEKBase64.h"
#include "comm/request/CSSession.h"
#include "comm/transport/TCHttpForm.h"
#include "comm/transport/VEKHTTPConnectionContext.h"
#include "comm/transport/VEKTCConnectionContext.h"

#include <QLoggingCategory>
#include <QMutexLocker>
#include <algorithm>

namespace {

// Off until setLogEnabled switches it on.
QLoggingCategory& lcNetwork()
{
    static QLoggingCategory category("lumora.comm.network", QtWarningMsg);
    return category;
}
#define CSLOG qCInfo(lcNetwork())

// The context writes nothing for an empty packet, while the frame is built
// from the filed request; an empty body therefore travels as this marker.
const QByteArray kEmptyBodyMarker("\0", 1);

bool isAscii(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

CSNetwork::CSNetwork()
    : runLoop_(platform::RunLoop::current())
{
}

CSNetwork::~CSNetwork()
{
    runLoop_->cancelAll(this);
    waitTimer_.reset();
    logonRetryTimer_.reset();
    sessionRetryTimer_.reset();
    // The connection goes first: it must not call back into a half-destroyed network.
    connection_.reset();
}

// ---------------------------------------------------------------------------
// Class-wide settings

bool CSNetwork::setConfigUtid(const QString& utid, const QString& softname, const QString& softversion)
{
    return CSSession::setConfig(utid, softname, softversion);
}

void CSNetwork::setLogEnabled(bool enabled)
{
    lcNetwork().setEnabled(QtInfoMsg, enabled);
}

bool CSNetwork::logEnabled()
{
    return lcNetwork().isInfoEnabled();
}

void CSNetwork::setRetryDelays(double first, double maximum)
{
    firstRetryDelay_ = first;
    maxRetryDelay_ = std::max(first, maximum);
    logonRetryDelay_ = firstRetryDelay_;
    sessionRetryDelay_ = firstRetryDelay_;
}

void CSNetwork::setTimeoutBatchInterval(double seconds)
{
    batchInterval_ = seconds;
    if (connection_)
        connection_->setTimeoutBatchInterval(seconds);
}

template <class Call> bool CSNetwork::notifyDelegate(Call&& call)
{
    CSNetworkConnectionDelegate* d = connectionDelegate();
    if (!d)
        return true;
    const auto alive = alive_.watch();
    call(*d);
    return alive.survived();
}

// ---------------------------------------------------------------------------
// Servers and connections

bool CSNetwork::connectTo(const CSServerInfo& serverInfo)
{
    setServerInfo(serverInfo);
    return reconnect();
}

void CSNetwork::setServerInfo(const std::optional<CSServerInfo>& serverInfo)
{
    serverInfo_ = serverInfo;
}

bool CSNetwork::isConnectedTo(const CSServerInfo& server) const
{
    return connection_ && serverInfo_ && serverInfo_->address() == server.address()
        && serverInfo_->port() == server.port() && serverInfo_->isTCMode() == server.isTCMode();
}

bool CSNetwork::isInUse() const
{
    if (!connection_)
        return false;
    if (logOnAnnounced_)
        return true;
    QMutexLocker lock(&tableLock_);
    return std::any_of(
        table_.begin(), table_.end(), [this](const auto& entry) { return !isOwn(*entry.second); });
}

qint32 CSNetwork::proxyModeTransfer(qint32 mode)
{
    return (mode >= 1 && mode <= 3) ? mode : 0;
}

void CSNetwork::resetHandshake()
{
    logonRetryTimer_.reset();
    sessionRetryTimer_.reset();
    logonRetryDelay_ = firstRetryDelay_;
    sessionRetryDelay_ = firstRetryDelay_;
}

bool CSNetwork::reconnect()
{
    if (!serverInfo_)
        return false;
    std::vector<std::pair<quint64, RequestPtr>> dropped;
    if (connection_) {
        // Dropping the connection empties its queues without a word, so the
        // requests it may have written are answered here. One that never
        // reached the wire loses nothing by the switch: it waits for the new
        // connection's handshake instead.
        std::unique_ptr<VEKConnection> old = std::move(connection_);
        old->disconnect();
        old.reset();
        dropped = takeIf([this](const CSRequest& r) { return isOwn(r) || !isUnwritten(r); });
    }
    resetHandshake();
    loggedOn_ = !serverInfo_->isTCMode();
    logOnAnnounced_ = false;
    if (!loggedOn_) {
        QMutexLocker lock(&tableLock_);
        for (const auto& [id, request] : table_)
            request->setStatus(request->status() | CSRequest::WaitsForLogon);
    }

    std::unique_ptr<VEKConnectionContext> context;
    if (serverInfo_->isTCMode())
        context = std::make_unique<VEKTCConnectionContext>(this);
    else
        context = std::make_unique<VEKHTTPConnectionContext>(this);
    connection_ = std::make_unique<VEKConnection>(std::move(context), this, batchInterval_);
    connection_->setNeedSSL(serverInfo_->needSSL());
    connection_->setProxyMode(proxyModeTransfer(serverInfo_->proxyMode()));
    connection_->setRunLoopModes(modes_);
    const double timeout
        = serverInfo_->timeout() >= 1 ? double(serverInfo_->timeout()) : kDefaultConnectTimeout;
    CSLOG << "connecting, TLS" << serverInfo_->needSSL() << "TC" << serverInfo_->isTCMode();
    if (!connection_->connectToHost(serverInfo_->address(), serverInfo_->port(), timeout)) {
        CSLOG << "connect did not start";
        // No socket event will ever end this connection, so it is reported as
        // lost on the next pass: pending requests fail and the owner can move on.
        VEKConnection* failed = connection_.get();
        runLoop_->perform(
            modes_,
            [this, failed] {
                if (connection_.get() != failed)
                    return;
                connectionWillDisconnetWithError(*failed, std::nullopt);
                if (connection_.get() == failed)
                    connectionDidDisconnected(*failed);
            },
            this);
    }

    for (const auto& [id, request] : dropped) {
        if (!isOwn(*request))
            failLater(request, CSErrors::networkDisconnect());
    }
    if (requestCount() > 0)
        sendWaitRequestsStatus(CSRequest::WaitsForLogon | CSRequest::WaitsForSession);
    return true;
}

bool CSNetwork::setRunLoopModes(const QStringList& modes)
{
    if (modes.isEmpty())
        return false;
    const platform::RunLoopModes set = platform::RunLoopModes::fromNames(modes);
    if (set.isEmpty())
        return false;
    return setRunLoopModes(set);
}

bool CSNetwork::setRunLoopModes(platform::RunLoopModes modes)
{
    if (modes.isEmpty())
        return false;
    if (modes == modes_)
        return true;
    modes_ = modes;
    // Deferred reports move to the new modes rather than being lost, and so
    // do the handshake retries: a request waiting for a new session must not
    // wait for a modal panel to end.
    runLoop_->setModes(this, modes);
    for (const auto& retry : { logonRetryTimer_.get(), sessionRetryTimer_.get() }) {
        if (retry)
            retry->setModes(modes);
    }
    return connection_ ? connection_->setRunLoopModes(modes) : true;
}

// ---------------------------------------------------------------------------
// The request table

bool CSNetwork::isOwn(const CSRequest& request) const
{
    return request.observer() == static_cast<const VEKRequestObserver*>(this)
        && (request.name() == QLatin1String(kLogonRequestKey)
            || request.name() == QLatin1String(kSessionRequestKey));
}

bool CSNetwork::isUnwritten(const CSRequest& request)
{
    // A request answered with status 100 waits for a session again, but the
    // server has seen it.
    return request.status() != 0 && request.sessionResends() == 0;
}

bool CSNetwork::holdsUnwrittenRequest(const CSNetworkObserver* observer, const QString& identifier) const
{
    const auto* target = static_cast<const VEKRequestObserver*>(observer);
    QMutexLocker lock(&tableLock_);
    return std::any_of(table_.begin(), table_.end(), [&](const auto& entry) {
        const CSRequest& r = *entry.second;
        return r.observer() == target && r.name() == identifier && isUnwritten(r);
    });
}

quint64 CSNetwork::nextPacketid()
{
    return ++packetCounter_;
}

void CSNetwork::file(quint64 packetId, const RequestPtr& request)
{
    QMutexLocker lock(&tableLock_);
    table_[packetId] = request;
}

void CSNetwork::forgetOwn(quint64 packetId)
{
    if (packetId == logonPacketId_)
        logonPacketId_ = 0;
    if (packetId == sessionPacketId_)
        sessionPacketId_ = 0;
}

CSNetwork::RequestPtr CSNetwork::take(quint64 packetId)
{
    RequestPtr request;
    {
        QMutexLocker lock(&tableLock_);
        const auto it = table_.find(packetId);
        if (it == table_.end())
            return nullptr;
        request = std::move(it->second);
        table_.erase(it);
    }
    forgetOwn(packetId);
    return request;
}

std::vector<std::pair<quint64, CSNetwork::RequestPtr>> CSNetwork::takeIf(
    const std::function<bool(const CSRequest&)>& match)
{
    std::vector<std::pair<quint64, RequestPtr>> taken;
    {
        QMutexLocker lock(&tableLock_);
        for (auto it = table_.begin(); it != table_.end();) {
            if (match(*it->second)) {
                taken.emplace_back(it->first, std::move(it->second));
                it = table_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& entry : taken)
        forgetOwn(entry.first);
    return taken;
}

std::shared_ptr<CSRequest> CSNetwork::requestWithTag(quint64 packetId) const
{
    QMutexLocker lock(&tableLock_);
    const auto it = table_.find(packetId);
    return it == table_.end() ? nullptr : it->second;
}

qsizetype CSNetwork::requestCount() const
{
    QMutexLocker lock(&tableLock_);
    return qsizetype(table_.size());
}

void CSNetwork::removeRequest(const std::set<quint64>& packetIds)
{
    for (const quint64 id : packetIds)
        take(id);
    armWaitTimer();
}

void CSNetwork::removeRequestWithObserver(const CSNetworkObserver* observer)
{
    if (!observer)
        return;
    const auto* target = static_cast<const VEKRequestObserver*>(observer);
    takeIf([&](const CSRequest& r) { return r.observer() == target; });
    std::erase_if(failures_, [&](const Failure& f) { return f.first->observer() == target; });
    armWaitTimer();
}

void CSNetwork::removeRequestWithObserver(const CSNetworkObserver* observer, const QString& identifier)
{
    if (!observer)
        return;
    const auto* target = static_cast<const VEKRequestObserver*>(observer);
    const auto match = [&](const CSRequest& r) { return r.observer() == target && r.name() == identifier; };
    takeIf(match);
    std::erase_if(failures_, [&](const Failure& f) { return match(*f.first); });
    armWaitTimer();
}

void CSNetwork::removeRequestWithStatus(qint32 status, const std::optional<CSError>& error)
{
    const auto removed = takeIf([&](const CSRequest& r) { return r.status() == status; });
    armWaitTimer();
    if (!error)
        return;
    for (const auto& entry : removed) {
        if (!tellError(entry.second, *error))
            return;
    }
}

void CSNetwork::clearRequest()
{
    const auto removed = takeIf([](const CSRequest&) { return true; });
    armWaitTimer();
    for (const auto& entry : removed) {
        if (!tellError(entry.second, CSErrors::networkDisconnect()))
            return;
    }
}

bool CSNetwork::tellError(const RequestPtr& request, const CSError& error)
{
    const auto alive = alive_.watch();
    if (CSNetworkObserver* observer = request->networkObserver()) {
        CSLOG << "request" << request->mFunc() << request->sFunc() << "failed with" << error.code;
        observer->respondWithError(error, request->name());
    }
    return alive.survived();
}

void CSNetwork::failLater(const RequestPtr& request, const CSError& error)
{
    failures_.emplace_back(request, error);
    if (failureCall_ != 0 && runLoop_->isPending(failureCall_))
        return;
    failureCall_ = runLoop_->perform(
        modes_,
        [this] {
            failureCall_ = 0;
            flushFailures();
        },
        this);
}

void CSNetwork::flushFailures()
{
    while (!failures_.empty()) {
        Failure failure = std::move(failures_.front());
        failures_.pop_front();
        if (!tellError(failure.first, failure.second))
            return;
    }
}

// ---------------------------------------------------------------------------
// Sending

quint64 CSNetwork::sendRequestWithObserver(
    CSNetworkObserver* observer, const QString& identifier, const CSPacket* packet, quint64 timeout)
{
    if (!observer || identifier.isNull() || !packet)
        return 0;
    if (!connection_ && !hearingLoss_ && !reconnect())
        CSLOG << "no server to connect to";

    const QString& body = packet->data();
    const bool ascii = isAscii(body);
    auto request = std::make_shared<CSRequest>(identifier, ascii ? body.toLatin1() : QByteArray(), observer);
    request->setEncrypt(packet->encrypt());
    request->setCompressResponse(packet->compressed());
    request->setMFunc(packet->mFunc());
    request->setSFunc(packet->sFunc());
    request->setEncoding(packet->encoding());
    request->setSession(packet->session());
    request->setService(packet->service());
    request->setTimeout(timeout);
    constexpr quint64 kLongestTimeout = 10ull * 365 * 86400; // keeps the deadline arithmetic in range
    request->setDeadline(CSRequest::Clock::now() + std::chrono::seconds(std::min(timeout, kLongestTimeout)));

    // What cannot go on the wire fails now, reported on the next pass.
    const bool fitsFrame = !isTCMode()
        || (packet->mFunc() <= 0xFFFF && packet->sFunc() <= 0xFFFF && packet->service() <= 0xFFFF);
    if (!ascii || !fitsFrame || body.size() > kMaxBodyLength) {
        CSLOG << "request" << packet->mFunc() << packet->sFunc() << "cannot be built";
        failLater(request, CSErrors::buildPacket());
        return 0;
    }

    qint32 status = 0;
    if (!loggedOn_ || (hearingLoss_ && !connection_))
        status |= CSRequest::WaitsForLogon;
    if (packet->session() && !CSSession::hasSession()) {
        status |= CSRequest::WaitsForSession;
        sendRequestSession();
    }
    request->setStatus(status);
    const quint64 id = nextPacketid();
    file(id, request);
    CSLOG << "request" << packet->mFunc() << packet->sFunc() << "id" << id << "length"
          << request->data().size() << "waits" << status;
    if (status == 0)
        send(id, request, double(timeout));
    else
        armWaitTimer();
    return id;
}

void CSNetwork::send(quint64 packetId, const RequestPtr& request, double timeout)
{
    request->setStatus(0);
    if (!connection_) {
        take(packetId);
        failLater(request, CSErrors::networkDisconnect());
        return;
    }
    if (request->data().isEmpty()) {
        VEKRequest wire(request->name(), kEmptyBodyMarker, nullptr);
        wire.setEncrypt(request->encrypt());
        wire.setCompressResponse(request->compressResponse());
        connection_->sendRequest(wire, packetId, timeout, 0);
    } else {
        connection_->sendRequest(*request, packetId, timeout, 0);
    }
}

double CSNetwork::remainingTime(const CSRequest& request) const
{
    const std::chrono::duration<double> left = request.deadline() - CSRequest::Clock::now();
    return std::max(left.count(), kMinimumSendTimeout);
}

void CSNetwork::sendWaitRequestsStatus(qint32 mask)
{
    std::vector<quint64> ids;
    {
        QMutexLocker lock(&tableLock_);
        for (const auto& [id, request] : table_) {
            if (request->status() & mask)
                ids.push_back(id);
        }
    }
    for (const quint64 id : ids) {
        const RequestPtr request = requestWithTag(id);
        if (!request || !(request->status() & mask))
            continue;
        qint32 status = request->status();
        if (loggedOn_)
            status &= ~CSRequest::WaitsForLogon;
        if (status & CSRequest::WaitsForSession) {
            if (CSSession::hasSession())
                status &= ~CSRequest::WaitsForSession;
            else
                sendRequestSession();
        }
        request->setStatus(status);
        if (status == 0)
            send(id, request, remainingTime(*request));
    }
    armWaitTimer();
}

void CSNetwork::sendRequestLogon()
{
    if (!isTCMode() || !connection_ || logonPacketId_ != 0)
        return;
    auto request = std::make_shared<CSRequest>(QString::fromLatin1(kLogonRequestKey), QByteArray(), this);
    request->setTimeout(quint64(ownRequestTimeout_));
    const quint64 id = nextPacketid();
    file(id, request);
    logonPacketId_ = id;
    CSLOG << "logon id" << id;
    send(id, request, ownRequestTimeout_);
}

void CSNetwork::sendRequestSession()
{
    if (sessionPacketId_ != 0 || sessionRetryTimer_ || !connection_)
        return;
    const QString body = QStringLiteral("utid=") + CSSession::utid().value_or(QString())
        + QStringLiteral("&soft_name=") + CSSession::softname().value_or(QString())
        + QStringLiteral("&soft_version=") + CSSession::softversion().value_or(QString());
    auto request
        = std::make_shared<CSRequest>(QString::fromLatin1(kSessionRequestKey), body.toLatin1(), this);
    request->setMFunc(kSessionMainFunction);
    request->setSFunc(kSessionSubFunction);
    request->setService(CSPacket::kDefaultService);
    request->setTimeout(quint64(ownRequestTimeout_));
    const quint64 id = nextPacketid();
    file(id, request);
    sessionPacketId_ = id;
    CSLOG << "session request id" << id;
    send(id, request, ownRequestTimeout_);
}

// ---------------------------------------------------------------------------
// Waiting requests keep their clock

void CSNetwork::armWaitTimer()
{
    std::optional<CSRequest::Clock::time_point> earliest;
    {
        QMutexLocker lock(&tableLock_);
        for (const auto& [id, request] : table_) {
            if (request->status() != 0 && (!earliest || request->deadline() < *earliest))
                earliest = request->deadline();
        }
    }
    if (!earliest) {
        waitTimer_.reset();
        return;
    }
    if (!waitTimer_) {
        waitTimer_ = std::make_unique<platform::RunLoopTimer>(
            0.0, false, platform::RunLoopModes::defaultMode(), [this] { waitingTimedOut(); }, runLoop_);
    }
    waitTimer_->setFireDate(*earliest);
}

void CSNetwork::waitingTimedOut()
{
    const auto now = CSRequest::Clock::now();
    const auto expired
        = takeIf([&](const CSRequest& r) { return r.status() != 0 && r.deadline() <= now && !isOwn(r); });
    armWaitTimer();
    for (const auto& entry : expired) {
        if (!tellError(entry.second, CSErrors::requestTimeout()))
            return;
    }
}

// ---------------------------------------------------------------------------
// Logon and session

void CSNetwork::scheduleLogonRetry()
{
    if (logonRetryTimer_)
        return;
    const double delay = logonRetryDelay_;
    logonRetryDelay_ = std::min(logonRetryDelay_ * 2, maxRetryDelay_);
    CSLOG << "logon again in" << delay << "s";
    logonRetryTimer_ = std::make_unique<platform::RunLoopTimer>(
        delay, false, modes_,
        [this] {
            logonRetryTimer_.reset();
            if (connection_ && connection_->isConnected() && !loggedOn_)
                sendRequestLogon();
        },
        runLoop_);
    logonRetryTimer_->start();
}

void CSNetwork::scheduleSessionRetry()
{
    if (sessionRetryTimer_)
        return;
    const double delay = sessionRetryDelay_;
    sessionRetryDelay_ = std::min(sessionRetryDelay_ * 2, maxRetryDelay_);
    CSLOG << "session request again in" << delay << "s";
    sessionRetryTimer_ = std::make_unique<platform::RunLoopTimer>(
        delay, false, modes_,
        [this] {
            sessionRetryTimer_.reset();
            // Only while someone still waits for it.
            bool waiting = false;
            {
                QMutexLocker lock(&tableLock_);
                waiting = std::any_of(table_.begin(), table_.end(),
                    [](const auto& e) { return e.second->status() & CSRequest::WaitsForSession; });
            }
            if (waiting)
                sendRequestSession();
        },
        runLoop_);
    sessionRetryTimer_->start();
}

bool CSNetwork::respondWithRecordSet(const std::vector<VEKTCRS>& recordSets, const QString& identifier)
{
    if (identifier == QLatin1String(kLogonRequestKey)) {
        CSLOG << "logged on";
        loggedOn_ = true;
        logonRetryTimer_.reset();
        logonRetryDelay_ = firstRetryDelay_;
        sendWaitRequestsStatus(CSRequest::WaitsForLogon);
        announceLogOn();
        return true;
    }
    if (identifier != QLatin1String(kSessionRequestKey))
        return false;
    if (!recordSets.empty() && !recordSets.front().isErrorInfo()) {
        VEKTCRS first = recordSets.front();
        const QString session
            = first.fetchFirst() ? first.toStringWithName(QStringLiteral("session")) : QString();
        CSSession::setSession(session.isEmpty() ? std::nullopt : std::optional<QString>(session));
    }
    if (!CSSession::hasSession()) {
        CSLOG << "session reply without a session";
        removeRequestWithStatus(CSRequest::WaitsForSession, CSErrors::sessionParam());
        return true;
    }
    CSLOG << "session stored";
    sessionRetryDelay_ = firstRetryDelay_;
    sendWaitRequestsStatus(CSRequest::WaitsForSession);
    return true;
}

bool CSNetwork::respondWithError(const CSError& error, const QString& identifier)
{
    // A dropped connection ends the handshake: the next connection logs on
    // afresh, and the next request that needs a session asks for one.
    const bool dropped = error.code == CSErrorNetworkDisconnect;
    if (identifier == QLatin1String(kLogonRequestKey)) {
        if (!dropped)
            scheduleLogonRetry();
        return true;
    }
    if (identifier == QLatin1String(kSessionRequestKey)) {
        if (!dropped)
            scheduleSessionRetry();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Connection callbacks

bool CSNetwork::announceLogOn()
{
    if (logOnAnnounced_)
        return true;
    logOnAnnounced_ = true;
    return notifyDelegate([this](CSNetworkConnectionDelegate& d) { d.networkDidLogOn(*this); });
}

void CSNetwork::connectionDidConnectedToIP(VEKConnection&, const QString&, quint16)
{
    notifyDelegate([this](CSNetworkConnectionDelegate& d) { d.networkDidConnected(*this); });
}

void CSNetwork::connectionWillDisconnetWithError(
    VEKConnection&, const std::optional<StreamSocketError>& error)
{
    CSLOG << "connection closing" << (error ? error->code : 0);
    notifyDelegate([&](CSNetworkConnectionDelegate& d) { d.networkWillDisconnetWithError(*this, error); });
}

void CSNetwork::connectionDidDisconnected(VEKConnection& connection)
{
    if (&connection != connection_.get())
        return;
    CSLOG << "disconnected";
    // The connection goes first, so that a request an observer sends while
    // hearing of the drop does not join the dead one. It waits until the
    // delegate has had its say: it goes to the server the network moves to,
    // never straight back to the one that has just failed.
    connection_.reset();
    resetHandshake();
    loggedOn_ = !isTCMode();
    logOnAnnounced_ = false;
    const auto alive = alive_.watch();
    hearingLoss_ = true;
    clearRequest();
    if (!alive.survived()
        || !notifyDelegate([this](CSNetworkConnectionDelegate& d) { d.networkDidDisConnected(*this); }))
        return;
    hearingLoss_ = false;
    if (!connection_ && requestCount() > 0 && !reconnect())
        clearRequest();
}

void CSNetwork::connectionDidRecievedResponse(VEKConnection&, const VEKResponse& response)
{
    const quint64 id = response.packetid();
    RequestPtr request = requestWithTag(id);
    if (!request || request->status() != 0) {
        CSLOG << "reply for id" << id << "has no request";
        return;
    }
    CSLOG << "reply id" << id << "status" << response.status() << "length" << response.data().size();
    // An HTTP server shows that it serves by answering, as it has no logon.
    if (!isTCMode() && (!announceLogOn() || requestWithTag(id) != request))
        return;
    const auto alive = alive_.watch();
    if (CSNetworkObserver* observer = request->networkObserver()) {
        observer->stopNetworkActivityIndicatorForIndentifier(request->name());
        if (!alive.survived() || requestWithTag(id) != request)
            return;
    }
    if (response.status() == 100 && !isOwn(*request)) {
        // The session has expired: fetch a new one and send again under the
        // same id. A server that answers 100 to everything would have us
        // resend at once for ever: a request is sent again a few times only,
        // after the first time with the session back-off, then it fails.
        const int resends = request->countSessionResend();
        if (resends > kMaxSessionResends) {
            CSLOG << "request" << request->mFunc() << request->sFunc() << "got status 100" << resends
                  << "times";
            take(id);
            armWaitTimer();
            tellError(request, CSErrors::sessionParam());
            return;
        }
        request->setStatus(CSRequest::WaitsForSession);
        if (resends == 1)
            sendRequestSession();
        else
            scheduleSessionRetry();
        armWaitTimer();
        return;
    }
    take(id);
    armWaitTimer();
    if (response.status() != 0) {
        tellError(request, CSErrors::serverNoData());
        return;
    }
    const QByteArray& data = response.data();
    std::vector<VEKTCRS> sets
        = VEKTCRS::constructMRWithBytes(data.constData(), data.size(), request->encodingToVEKTCRS());
    // The layer's own replies judge their record sets themselves: a logon
    // answered with status 0 is done whatever it carries, and a session reply
    // without a readable set stores no session.
    if (sets.empty() && !data.isEmpty() && !isOwn(*request)) {
        tellError(request, CSErrors::serverNoData());
        return;
    }
    if (CSNetworkObserver* observer = request->networkObserver())
        observer->respondWithRecordSet(sets, request->name());
}

void CSNetwork::connectionSendPacketsTimeout(VEKConnection&, const std::set<quint64>& packetIds)
{
    std::vector<RequestPtr> expired;
    for (const quint64 id : packetIds) {
        const RequestPtr request = requestWithTag(id);
        if (request && request->status() == 0)
            expired.push_back(take(id));
    }
    armWaitTimer();
    for (const RequestPtr& request : expired) {
        CSLOG << "request" << request->mFunc() << request->sFunc() << "timed out";
        if (!tellError(request, CSErrors::requestTimeout()))
            return;
    }
}

std::optional<QString> CSNetwork::connectionConnectProxyAddress(VEKConnection&)
{
    return serverInfo_ ? std::optional<QString>(serverInfo_->proxyAddress()) : std::nullopt;
}

std::optional<quint16> CSNetwork::connectionConnectProxyPort(VEKConnection&)
{
    return serverInfo_ ? std::optional<quint16>(serverInfo_->proxyPort()) : std::nullopt;
}

std::optional<QString> CSNetwork::connectionConnectProxyUser(VEKConnection&)
{
    return serverInfo_ ? std::optional<QString>(serverInfo_->proxyUser()) : std::nullopt;
}

std::optional<QString> CSNetwork::connectionConnectProxyPassword(VEKConnection&)
{
    return serverInfo_ ? std::optional<QString>(serverInfo_->proxyPassword()) : std::nullopt;
}

std::optional<QString> CSNetwork::connectionBase64EncodeString(VEKConnection&, const QString& text)
{
    return VEKBase64::stringByEncodingData(text.toUtf8());
}

void CSNetwork::connectionProxyError(VEKConnection&, const std::optional<StreamSocketError>& error)
{
    notifyDelegate([&](CSNetworkConnectionDelegate& d) { d.networkProxyError(*this, error); });
}

std::optional<QVariantMap> CSNetwork::connectionSSLSetting(VEKConnection&)
{
    // The socket verifies the chain and the host name against the trust list
    // whatever the settings say; we ask for nothing weaker.
    QVariantMap settings;
    settings.insert(
        QString::fromLatin1(kCFStreamSSLLevel), QStringLiteral("kCFStreamSocketSecurityLevelNegotiatedSSL"));
    return settings;
}

void CSNetwork::connectionDidSSLSecure(VEKConnection&, bool)
{
}

void CSNetwork::connectionDidConnectedReady(VEKConnection& connection, bool ready)
{
    if (ready && &connection == connection_.get() && !loggedOn_)
        sendRequestLogon();
}

// ---------------------------------------------------------------------------
// Context callbacks: frames and forms out, payloads in

std::optional<QByteArray> CSNetwork::contextBuildRequest(
    VEKConnectionContext& context, const QByteArray&, const VEKPacketFlag& flags)
{
    const quint64 id = quint64(flags.packetid);
    const RequestPtr request = requestWithTag(id);
    if (!request || request->status() != 0)
        return std::nullopt;
    auto* tc = dynamic_cast<VEKTCConnectionContext*>(&context);
    if (isOwn(*request) && request->name() == QLatin1String(kLogonRequestKey))
        return tc ? std::optional<QByteArray>(tc->sendLoginWithPacketId(flags.packetid)) : std::nullopt;

    if (!isOwn(*request)) {
        // Told on the next pass: the observer must not tear the connection
        // down while it is writing.
        runLoop_->perform(
            modes_,
            [this, request, id] {
                if (requestWithTag(id) != request)
                    return;
                if (CSNetworkObserver* observer = request->networkObserver())
                    observer->starNetworkActivityIndicatorForIndentifier(request->name());
            },
            this);
    }

    const std::optional<QString> session = CSSession::session();
    if (tc) {
        QByteArray body = request->data();
        if (flags.encryted) {
            const std::optional<QByteArray> sealed = CSSession::encipherBody(body);
            if (!sealed)
                return std::nullopt;
            body = *sealed;
        }
        std::optional<QByteArray> sessionBytes;
        if (request->session() && session)
            sessionBytes = CSHex::decode(*session);
        tc->sendBufferCreatWithSericeID(quint16(request->service()), quint8(request->encodingToVEKTCRS()));
        return tc->requestDataWithMainFunction(quint16(request->mFunc()), quint16(request->sFunc()),
            sessionBytes ? std::optional<QByteArrayView>(*sessionBytes) : std::nullopt, body,
            quint32(request->data().size()), flags);
    }

    TCHttpForm::Fields fields;
    fields.mainFunction = request->mFunc();
    fields.subFunction = request->sFunc();
    fields.packetId = flags.packetid;
    fields.service = request->service();
    fields.encoding = quint64(request->encodingToVEKTCRS());
    fields.encrypt = flags.encryted;
    fields.session = session.value_or(QString());
    fields.body = QString::fromLatin1(request->data());
    fields.supportCompress = flags.compressed;
    if (!flags.encryted)
        return TCHttpForm::formText(fields);
    const std::optional<QByteArray> sealed = CSSession::encipherBody(TCHttpForm::plainTextToEncipher(fields));
    if (!sealed)
        return std::nullopt;
    return TCHttpForm::encipheredFormText(
        fields, TCHttpForm::escapedBody(fields.body).size(), QString::fromLatin1(*sealed));
}

std::optional<VEKResponse> CSNetwork::contextParseRespone(
    VEKConnectionContext&, const QByteArray& payload, const VEKPacketFlag& flags)
{
    const quint64 id = quint64(flags.packetid);
    QByteArray data = payload;
    if (flags.encryted) {
        std::optional<QByteArray> opened = CSSession::decipherReply(data);
        if (!opened)
            return VEKResponse({}, kUnreadableReplyStatus, id);
        data = std::move(*opened);
    }
    if (!data.isEmpty() && flags.compressed) {
        std::optional<QByteArray> expanded = VEKCoder::dataByUncompressData(data);
        if (!expanded)
            return VEKResponse({}, kUnreadableReplyStatus, id);
        data = std::move(*expanded);
    }
    return VEKResponse(std::move(data), quint64(flags.status), id);
}
