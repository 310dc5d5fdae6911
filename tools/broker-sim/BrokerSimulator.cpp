#include "tools/broker-sim/BrokerSimulator.h"

#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/BankFunctions.h"
#include "tools/broker-sim/FundFunctions.h"
#include "tools/broker-sim/FundQueryFunctions.h"
#include "tools/broker-sim/HKFunctions.h"
#include "tools/broker-sim/LoginFunctions.h"
#include "tools/broker-sim/Market.h"
#include "tools/broker-sim/MenuFunctions.h"
#include "tools/broker-sim/PasswordFunctions.h"
#include "tools/broker-sim/PermissionFunctions.h"
#include "tools/broker-sim/RiskFunctions.h"

#include <QHostAddress>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <exception>
#include <unistd.h>

namespace brokersim {

Q_LOGGING_CATEGORY(lcSim, "lumora.brokersim", QtWarningMsg)

namespace {

constexpr qsizetype kSessionField = 32;

// Strict decimal: digits only, at most `max`.
std::optional<quint64> decimal(const QString& text, quint64 max)
{
    if (text.isEmpty() || text.size() > 20)
        return std::nullopt;
    quint64 value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const quint64 digit = quint64(c.unicode() - u'0');
        if (value > (max - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

// A TC body is the text the client wrote, pairs joined by "&", not escaped.
TCHttpForm::Pairs splitBody(const QByteArray& body)
{
    TCHttpForm::Pairs pairs;
    for (const QByteArray& pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype eq = pair.indexOf('=');
        const QString key = QString::fromUtf8(eq < 0 ? pair : pair.first(eq));
        const QString value = eq < 0 ? QString() : QString::fromUtf8(pair.sliced(eq + 1));
        pairs.append({ key, value });
    }
    return pairs;
}

// The session field as text: 16 bytes when the rest is the zero padding.
QString sessionText(const QByteArray& field)
{
    const QByteArray tail = field.sliced(std::min<qsizetype>(field.size(), BrokerState::kSessionBytes));
    const bool padded = tail.count('\0') == tail.size();
    return QString::fromLatin1(
        (padded ? field.first(std::min<qsizetype>(field.size(), BrokerState::kSessionBytes)) : field)
            .toHex());
}

const QStringList& formHeadKeys()
{
    static const QStringList keys { QStringLiteral("TC_MFUNCNO"), QStringLiteral("TC_SFUNCNO"),
        QStringLiteral("tc_packageid"), QStringLiteral("tc_service"), QStringLiteral("tc_isunicode"),
        QStringLiteral("TC_ENCRYPT"), QStringLiteral("TC_SESSION") };
    return keys;
}

// Reads the TC fields of a form, the body's own pairs and supportCompress;
// nullopt when the form is not a usable request.
std::optional<Request> requestFromForm(const HTTPRequest& http)
{
    if (!http.requestLine.startsWith("POST "))
        return std::nullopt;
    const auto pairs = TCHttpForm::decode(http.body);
    if (!pairs)
        return std::nullopt;

    // The TC fields lead the form; the body's own pairs follow them.
    TCHttpForm::Pairs head;
    qsizetype first = 0;
    while (first < pairs->size() && formHeadKeys().contains(pairs->at(first).first)
        && !TCHttpForm::value(head, pairs->at(first).first)) {
        head.append(pairs->at(first));
        ++first;
    }
    qsizetype last = pairs->size();
    Request request;
    request.front = Front::HTTP;
    if (last > first && pairs->at(last - 1).first == QLatin1String("supportCompress")) {
        request.acceptsCompressed = pairs->at(last - 1).second == QLatin1String("18");
        --last;
    }

    const auto mFunc = decimal(TCHttpForm::value(head, u"TC_MFUNCNO").value_or(QString()), 0xFFFFFFFFu);
    const auto sFunc = decimal(TCHttpForm::value(head, u"TC_SFUNCNO").value_or(QString()), 0xFFFFFFFFu);
    const auto packet
        = decimal(TCHttpForm::value(head, u"tc_packageid").value_or(QString()), 0x7FFFFFFFFFFFFFFFull);
    const auto service
        = decimal(TCHttpForm::value(head, u"tc_service").value_or(QStringLiteral("300")), 0xFFFFFFFFu);
    const auto encoding
        = decimal(TCHttpForm::value(head, u"tc_isunicode").value_or(QStringLiteral("0")), 0xFFFFFFFFu);
    if (!mFunc || !sFunc || !packet || !service || !encoding)
        return std::nullopt;
    request.function = { quint32(*mFunc), quint32(*sFunc) };
    request.packetId = qint64(*packet);
    request.service = quint32(*service);
    request.encoding = qint64(*encoding);
    request.encrypted = TCHttpForm::value(head, u"TC_ENCRYPT") == QStringLiteral("36");
    if (const auto session = TCHttpForm::value(head, u"TC_SESSION")) {
        request.hasSession = true;
        QString text = *session;
        if (text.startsWith(u'{') && text.endsWith(u'}') && text.size() >= 2)
            text = text.sliced(1, text.size() - 2);
        request.session = text;
    }
    request.body = pairs->sliced(first, last - first);

    // The same pairs as sent: one non-empty segment per pair.
    QList<QByteArray> segments;
    for (const QByteArray& s : http.body.split('&')) {
        if (!s.isEmpty())
            segments.append(s);
    }
    if (segments.size() == pairs->size())
        request.rawBody = segments.sliced(first, last - first).join('&');
    return request;
}

} // namespace

// ---------------------------------------------------------------------------

class BrokerSimulator::Listener : public QTcpServer {
public:
    explicit Listener(std::function<void(qintptr)> onIncoming)
        : onIncoming_(std::move(onIncoming))
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override { onIncoming_(descriptor); }

private:
    std::function<void(qintptr)> onIncoming_;
};

struct BrokerSimulator::Connection {
    quint64 id = 0;
    Front front = Front::TC;
    QTcpSocket* socket = nullptr; // child of the simulator
    VEKTCConnectionContext tcReader;
    VEKHTTPRequestReader httpReader;
    bool closing = false;
};

BrokerSimulator::BrokerSimulator(QObject* parent)
    : QObject(parent)
{
    registerFunction(
        kSessionFunction.main, kSessionFunction.sub, [](const Request& request, BrokerState& state) {
            const QString session = state.issueSession(request.valueOr(QStringLiteral("utid")));
            return Reply::withTable(Table().column(QStringLiteral("session")).row({ session }));
        });
    registerLoginFunctions(*this);
    registerShellFunctions(*this);
    registerRiskFunctions(*this);
    registerPermissionFunctions(*this);
    registerMarketFunctions(*this);
    registerPasswordFunctions(*this);
    registerBackOfficeFunctions(*this);
    registerFundFunctions(*this);
    registerFundQueryFunctions(*this);
    registerBankFunctions(*this);
    registerHKFunctions(*this);
}

BrokerSimulator::~BrokerSimulator()
{
    tcServer_.reset();
    httpServer_.reset();
    for (auto& [id, c] : connections_) {
        if (c->closing)
            continue;
        QObject::disconnect(c->socket, nullptr, this, nullptr);
        c->socket->abort();
        delete c->socket;
    }
    connections_.clear();
}

bool BrokerSimulator::start(const Options& options)
{
    stop();
    error_.clear();
    tcTls_ = options.tcTls;
    if (tcTls_) {
        if (!options.certificate.isNull()) {
            if (options.privateKey.isNull()) {
                error_ = QStringLiteral("a certificate needs its private key");
                return false;
            }
            ca_ = {};
            server_ = {};
            certificate_ = options.certificate;
            privateKey_ = options.privateKey;
        } else {
            if (ca_.isNull() || server_.isNull()) {
                ca_ = testpki::makeCertificateAuthority(QStringLiteral("Lumora Broker Simulator CA"));
                server_ = testpki::makeServerCertificate(ca_);
            }
            certificate_ = server_.certificate();
            privateKey_ = server_.privateKey();
            if (certificate_.isNull() || privateKey_.isNull()) {
                error_ = QStringLiteral("could not make the simulator's certificate");
                return false;
            }
        }
    }
    tcServer_ = std::make_unique<Listener>([this](qintptr d) { accept(Front::TC, d); });
    httpServer_ = std::make_unique<Listener>([this](qintptr d) { accept(Front::HTTP, d); });
    if (!tcServer_->listen(QHostAddress::LocalHost, options.tcPort)) {
        error_ = QStringLiteral("TC front: ") + tcServer_->errorString();
        stop();
        return false;
    }
    if (!httpServer_->listen(QHostAddress::LocalHost, options.httpPort)) {
        error_ = QStringLiteral("HTTP front: ") + httpServer_->errorString();
        stop();
        return false;
    }
    return true;
}

void BrokerSimulator::stop()
{
    tcServer_.reset();
    httpServer_.reset();
    dropConnections();
}

bool BrokerSimulator::isListening() const
{
    return tcServer_ && tcServer_->isListening() && httpServer_ && httpServer_->isListening();
}

quint16 BrokerSimulator::tcPort() const
{
    return tcServer_ ? tcServer_->serverPort() : 0;
}

quint16 BrokerSimulator::httpPort() const
{
    return httpServer_ ? httpServer_->serverPort() : 0;
}

QList<QSslCertificate> BrokerSimulator::trustedCertificates() const
{
    if (!ca_.isNull())
        return { ca_.certificate() };
    return {};
}

void BrokerSimulator::registerFunction(quint32 mFunc, quint32 sFunc, Handler handler)
{
    if (handler)
        handlers_[Function { mFunc, sFunc }] = std::move(handler);
    else
        handlers_.erase(Function { mFunc, sFunc });
}

void BrokerSimulator::unregisterFunction(quint32 mFunc, quint32 sFunc)
{
    handlers_.erase(Function { mFunc, sFunc });
}

bool BrokerSimulator::hasFunction(quint32 mFunc, quint32 sFunc) const
{
    return handlers_.count(Function { mFunc, sFunc }) > 0;
}

Handler BrokerSimulator::handlerOf(quint32 mFunc, quint32 sFunc) const
{
    const auto it = handlers_.find(Function { mFunc, sFunc });
    return it == handlers_.end() ? Handler() : it->second;
}

// ---------------------------------------------------------------------------
// Test controls

void BrokerSimulator::arm(Fault fault, int count)
{
    QMutexLocker lock(&mutex_);
    for (int i = 0; i < count; ++i)
        faults_.push_back(fault);
}

void BrokerSimulator::answerErrorNext(
    std::optional<Function> function, qint32 code, const std::optional<QString>& message, int count)
{
    Fault f;
    f.function = function;
    f.kind = Fault::Kind::ErrorRow;
    f.code = code;
    f.message = message;
    arm(f, count);
}

void BrokerSimulator::answerStatus100Once(std::optional<Function> function)
{
    answerStatusNext(function, 100);
}

void BrokerSimulator::answerStatusNext(
    std::optional<Function> function, quint8 status, const QByteArray& payload)
{
    Fault f;
    f.function = function;
    f.kind = Fault::Kind::Status;
    f.status = status;
    f.payload = payload;
    arm(f, 1);
}

void BrokerSimulator::withholdNext(std::optional<Function> function, int count)
{
    Fault f;
    f.function = function;
    f.kind = Fault::Kind::Withhold;
    arm(f, count);
}

void BrokerSimulator::dropAfterBytesNext(std::optional<Function> function, qsizetype bytes)
{
    Fault f;
    f.function = function;
    f.kind = Fault::Kind::DropAfterBytes;
    f.bytes = std::max<qsizetype>(0, bytes);
    arm(f, 1);
}

void BrokerSimulator::answerEmptyNext(std::optional<Function> function)
{
    Fault f;
    f.function = function;
    f.kind = Fault::Kind::Empty;
    arm(f, 1);
}

void BrokerSimulator::answerNotRecordSetNext(std::optional<Function> function, const QByteArray& payload)
{
    Fault f;
    f.function = function;
    f.kind = Fault::Kind::NotRecordSet;
    f.payload = payload.isEmpty() ? notRecordSetPayload() : payload;
    arm(f, 1);
}

void BrokerSimulator::answerTablesNext(
    std::optional<Function> function, const QList<Table>& tables, int count)
{
    Fault f;
    f.function = function;
    f.kind = Fault::Kind::Tables;
    f.tables = tables;
    arm(f, count);
}

void BrokerSimulator::clearControls()
{
    {
        QMutexLocker lock(&mutex_);
        faults_.clear();
    }
    state_.broker().clearControls();
}

QByteArray BrokerSimulator::notRecordSetPayload()
{
    // A negative field count: no reader takes it for a record set.
    return QByteArray("\xFF\xFF\xFF\xFFnot a record set");
}

std::optional<BrokerSimulator::Fault> BrokerSimulator::takeFault(const Request& request)
{
    QMutexLocker lock(&mutex_);
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (!it->function || *it->function == request.function) {
            Fault f = std::move(*it);
            faults_.erase(it);
            return f;
        }
    }
    return std::nullopt;
}

int BrokerSimulator::releaseWithheld()
{
    std::deque<Withheld> replies;
    {
        QMutexLocker lock(&mutex_);
        replies.swap(withheld_);
    }
    int sent = 0;
    for (const Withheld& w : replies) {
        if (Connection* c = find(w.connectionId)) {
            write(*c, w.bytes);
            ++sent;
        }
    }
    return sent;
}

int BrokerSimulator::withheldCount() const
{
    QMutexLocker lock(&mutex_);
    return int(withheld_.size());
}

QList<quint64> BrokerSimulator::connectionIds() const
{
    QList<quint64> ids;
    for (const auto& [id, c] : connections_) {
        if (!c->closing)
            ids.append(id);
    }
    return ids;
}

bool BrokerSimulator::sendRaw(quint64 connectionId, const QByteArray& bytes)
{
    Connection* c = find(connectionId);
    if (!c)
        return false;
    write(*c, bytes);
    return true;
}

void BrokerSimulator::dropConnection(quint64 connectionId)
{
    closeConnection(connectionId);
}

void BrokerSimulator::dropConnections()
{
    for (quint64 id : connectionIds())
        closeConnection(id);
}

QList<Request> BrokerSimulator::received() const
{
    QMutexLocker lock(&mutex_);
    return received_;
}

qsizetype BrokerSimulator::receivedCount() const
{
    QMutexLocker lock(&mutex_);
    return received_.size();
}

qsizetype BrokerSimulator::receivedCount(Function function) const
{
    QMutexLocker lock(&mutex_);
    return std::count_if(
        received_.cbegin(), received_.cend(), [&](const Request& r) { return r.function == function; });
}

QList<Request> BrokerSimulator::receivedOf(Function function) const
{
    QMutexLocker lock(&mutex_);
    QList<Request> out;
    for (const Request& r : received_) {
        if (!r.logon && r.function == function)
            out << r;
    }
    return out;
}

void BrokerSimulator::clearReceived()
{
    QMutexLocker lock(&mutex_);
    received_.clear();
}

// ---------------------------------------------------------------------------
// Connections

BrokerSimulator::Connection* BrokerSimulator::find(quint64 id)
{
    const auto it = connections_.find(id);
    return it == connections_.end() || it->second->closing ? nullptr : it->second.get();
}

void BrokerSimulator::accept(Front front, qintptr descriptor)
{
    QTcpSocket* socket = front == Front::TC ? new QSslSocket(this) : new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(int(descriptor));
        return;
    }
    const quint64 id = nextConnectionId_++;
    auto c = std::make_unique<Connection>();
    c->id = id;
    c->front = front;
    c->socket = socket;
    connections_.emplace(id, std::move(c));

    connect(socket, &QIODevice::readyRead, this, [this, id] { readFrom(id); });
    connect(socket, &QAbstractSocket::disconnected, this, [this, id] { closeConnection(id); });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this, id](QAbstractSocket::SocketError error) {
        qCInfo(lcSim) << "connection" << id << "error" << error;
        closeConnection(id);
    });
    if (front == Front::TC && tcTls_) {
        auto* tls = static_cast<QSslSocket*>(socket);
        QSslConfiguration config = tls->sslConfiguration();
        config.setLocalCertificate(certificate_);
        config.setPrivateKey(privateKey_);
        config.setPeerVerifyMode(QSslSocket::VerifyNone);
        tls->setSslConfiguration(config);
        tls->startServerEncryption();
    }
}

void BrokerSimulator::closeConnection(quint64 id)
{
    Connection* c = find(id);
    if (!c)
        return;
    c->closing = true;
    QTcpSocket* socket = c->socket;
    QObject::disconnect(socket, nullptr, this, nullptr);
    // The socket goes once the bytes already written are out.
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QAbstractSocket::errorOccurred, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
    // A read loop may still hold the entry; it goes on the next turn.
    QMetaObject::invokeMethod(
        this, [this, id] { connections_.erase(id); }, Qt::QueuedConnection);
}

void BrokerSimulator::readFrom(quint64 id)
{
    Connection* c = find(id);
    if (!c)
        return;
    const QByteArray bytes = c->socket->readAll();
    if (c->front == Front::TC) {
        if (!c->tcReader.receiveData(bytes))
            qCInfo(lcSim) << "connection" << id << "overran its receive buffer";
        readTc(*c);
    } else {
        c->httpReader.append(bytes);
        readHttp(*c);
    }
}

void BrokerSimulator::readTc(Connection& c)
{
    // The reader skips garbage, bad checksums and impossible lengths.
    while (!c.closing) {
        auto frame = c.tcReader.readFrame();
        if (!frame)
            return;
        Request request;
        request.front = Front::TC;
        request.connectionId = c.id;
        request.function = { frame->mainFunction, frame->subFunction };
        request.packetId = frame->packetId;
        request.service = frame->service;
        request.encoding = frame->encoding;
        request.encrypted = frame->encryptFlag == TCFrame::kEncryptFlag;
        request.acceptsCompressed = frame->compressFlag == TCFrame::kCompressFlag;
        if (frame->type == TCFrame::kTypeLogon) {
            const auto texts = VEKTCConnectionContext::parseLogonPayload(frame->payload);
            if (!texts) {
                qCInfo(lcSim) << "connection" << c.id << "sent a malformed logon";
                continue;
            }
            request.logon = true;
            request.logonUser = texts->first;
            request.logonPassword = texts->second;
        } else if (frame->type == TCFrame::kTypeRequest) {
            request.sessionBytes = frame->session.leftJustified(kSessionField, '\0', true);
            request.hasSession = request.sessionBytes.count('\0') != request.sessionBytes.size();
            if (request.hasSession)
                request.session = sessionText(request.sessionBytes);
            request.rawBody = frame->payload;
            if (!request.encrypted)
                request.body = splitBody(frame->payload);
        } else {
            qCInfo(lcSim) << "connection" << c.id << "sent a frame of type" << frame->type;
            continue;
        }
        serve(c, std::move(request));
    }
}

void BrokerSimulator::readHttp(Connection& c)
{
    while (!c.closing) {
        auto http = c.httpReader.next();
        if (!http) {
            if (c.httpReader.failed()) {
                qCInfo(lcSim) << "connection" << c.id << "sent a malformed HTTP request";
                closeConnection(c.id);
            }
            return;
        }
        if (http->requestLine.startsWith("GET ")) {
            // Pages registered by the functions (agreements) close after the
            // answer; the public-address page keeps the connection.
            if (servePage(c, *http))
                return;
            if (!answerGet(c, *http)) {
                qCInfo(lcSim) << "connection" << c.id << "asked for a page the broker does not serve";
                closeConnection(c.id);
                return;
            }
            continue;
        }
        auto request = requestFromForm(*http);
        if (!request) {
            qCInfo(lcSim) << "connection" << c.id << "sent a request that is no TC form";
            closeConnection(c.id);
            return;
        }
        request->connectionId = c.id;
        serve(c, std::move(*request));
    }
}

// ---------------------------------------------------------------------------
// Answers

// The broker's web page that tells a client its public address; false for
// any other page.
bool BrokerSimulator::answerGet(Connection& c, const HTTPRequest& http)
{
    const QList<QByteArray> parts = http.requestLine.split(' ');
    const QByteArray path = parts.size() >= 2 ? parts[1].split('?').first() : QByteArray();
    if (path != kPublicAddressPath)
        return false;
    QString address;
    {
        QMutexLocker lock(&mutex_);
        address = publicAddress_;
    }
    if (address.isEmpty()) {
        address = c.socket->peerAddress().toString();
        if (address.startsWith(QLatin1String("::ffff:")))
            address = address.mid(7);
    }
    const QByteArray body = "<html><body>clientIP: " + address.toLatin1() + "\r\n</body></html>";
    write(c,
        "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\nContent-Length: "
            + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    return true;
}

void BrokerSimulator::setPublicAddress(const QString& address)
{
    QMutexLocker lock(&mutex_);
    publicAddress_ = address;
}

Reply BrokerSimulator::answer(const Request& request)
{
    if (request.logon)
        return Reply::withTable(Table::infoOnly(QStringLiteral("ok")));
    // The session key never reaches a server, so an enciphered body cannot be read.
    if (request.encrypted)
        return Reply::error(-1, QStringLiteral("不支持加密请求"));
    const auto it = handlers_.find(request.function);
    if (it == handlers_.end())
        return Reply::error(-1,
            QStringLiteral("该功能暂未开通（功能号%1/%2）")
                .arg(request.function.main)
                .arg(request.function.sub));
    try {
        return it->second(request, state_);
    } catch (const std::exception& e) {
        return Reply::error(-1, QStringLiteral("系统处理失败：%1").arg(QString::fromLocal8Bit(e.what())));
    }
}

std::optional<QByteArray> BrokerSimulator::wireBytes(const Request& request, const Reply& reply) const
{
    std::optional<QByteArray> payload = reply.payload;
    if (!payload)
        payload = encodeTables(reply.tables, request.replyEncoding());
    if (!payload)
        return std::nullopt;
    const VEKPacketFlag flags { reply.status, request.packetId, false, false };
    if (request.front == Front::HTTP) {
        if (payload->size() > VEKHTTPConnectionContext::kMaxContentLength)
            return std::nullopt;
        return VEKHTTPConnectionContext::replyBytes(flags, *payload);
    }
    return VEKTCConnectionContext::replyFrame(flags, *payload);
}

void BrokerSimulator::serve(Connection& c, Request request)
{
    {
        QMutexLocker lock(&mutex_);
        received_.append(request);
    }
    emit requestReceived();

    const std::optional<Fault> fault = takeFault(request);
    Reply reply;
    using Kind = Fault::Kind;
    if (!fault || fault->kind == Kind::Withhold || fault->kind == Kind::DropAfterBytes) {
        reply = answer(request);
    } else if (fault->kind == Kind::ErrorRow) {
        reply = Reply::error(fault->code, fault->message);
    } else if (fault->kind == Kind::Status) {
        reply = fault->payload.isEmpty()
            ? Reply::withTable(Table::infoOnly(QStringLiteral("ok")), fault->status)
            : Reply::raw(fault->payload, fault->status);
    } else if (fault->kind == Kind::Tables) {
        reply = Reply::withTables(fault->tables);
    } else if (fault->kind == Kind::Empty) {
        reply = Reply::raw(QByteArray());
    } else {
        reply = Reply::raw(fault->payload);
    }

    auto bytes = wireBytes(request, reply);
    if (!bytes) {
        qCWarning(lcSim) << "reply to" << request.function.main << request.function.sub
                         << "could not be encoded";
        bytes = wireBytes(request, Reply::error(-1, QStringLiteral("应答生成失败")));
        if (!bytes)
            return;
    }
    if (fault && fault->kind == Kind::Withhold) {
        QMutexLocker lock(&mutex_);
        withheld_.push_back({ c.id, *bytes });
        return;
    }
    if (fault && fault->kind == Kind::DropAfterBytes) {
        write(c, bytes->first(std::min(fault->bytes, bytes->size())));
        closeConnection(c.id);
        return;
    }
    write(c, *bytes);
}

void BrokerSimulator::registerPage(const QByteArray& path, const QString& html)
{
    pages_[path] = html.toUtf8();
}

bool BrokerSimulator::servePage(Connection& c, const HTTPRequest& http)
{
    const QList<QByteArray> parts = http.requestLine.split(' ');
    const auto it = parts.size() >= 2 ? pages_.find(parts[1]) : pages_.end();
    if (it == pages_.end())
        return false;
    write(c,
        "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: "
            + QByteArray::number(it->second.size()) + "\r\nConnection: close\r\n\r\n" + it->second);
    closeConnection(c.id);
    return true;
}

void BrokerSimulator::write(Connection& c, const QByteArray& bytes)
{
    if (!c.closing && !bytes.isEmpty())
        c.socket->write(bytes);
}

} // namespace brokersim
