#include "SimClient.h"

#include "comm/transport/TCHttpForm.h"
#include "comm/transport/VEKHTTPConnectionContext.h"
#include "support/Spin.h"

#include <QSslConfiguration>

namespace simtest {

SimClient::SimClient()
{
    QObject::connect(&socket_, &QIODevice::readyRead, [this] {
        const QByteArray bytes = socket_.readAll();
        all_ += bytes;
        unread_ += bytes;
        reader_.receiveData(bytes);
    });
    QObject::connect(&socket_, &QAbstractSocket::disconnected, [this] { disconnected_ = true; });
}

SimClient::~SimClient()
{
    QObject::disconnect(&socket_, nullptr, nullptr, nullptr);
    socket_.abort();
}

bool SimClient::connectTls(quint16 port, const QList<QSslCertificate>& trusted)
{
    QSslConfiguration config = socket_.sslConfiguration();
    config.setCaCertificates(trusted);
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    socket_.setSslConfiguration(config);
    socket_.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    return testsupport::spinUntil([&] {
        return socket_.isEncrypted() || socket_.state() == QAbstractSocket::UnconnectedState;
    }) && socket_.isEncrypted();
}

bool SimClient::connectPlain(quint16 port)
{
    socket_.connectToHost(QStringLiteral("127.0.0.1"), port);
    return testsupport::spinUntil([&] {
        return socket_.state() == QAbstractSocket::ConnectedState
            || socket_.state() == QAbstractSocket::UnconnectedState;
    }) && socket_.state() == QAbstractSocket::ConnectedState;
}

void SimClient::send(const QByteArray& bytes)
{
    socket_.write(bytes);
}

bool SimClient::waitForDisconnect(std::chrono::milliseconds timeout)
{
    return testsupport::spinUntil([&] { return disconnected_; }, timeout);
}

bool SimClient::waitForBytes(qsizetype count, std::chrono::milliseconds timeout)
{
    return testsupport::spinUntil([&] { return all_.size() >= count; }, timeout);
}

std::optional<TCFrame> SimClient::nextFrame(std::chrono::milliseconds timeout)
{
    std::optional<TCFrame> frame;
    testsupport::spinUntil([&] { return (frame = reader_.readFrame()).has_value(); }, timeout);
    return frame;
}

std::optional<HttpReply> SimClient::nextHttpReply(std::chrono::milliseconds timeout)
{
    std::optional<HttpReply> reply;
    testsupport::spinUntil(
        [&] {
            const qsizetype end = unread_.indexOf("\r\n\r\n");
            if (end < 0)
                return false;
            HttpReply r;
            r.head = unread_.first(end + 4);
            for (const QByteArray& line : r.head.split('\n')) {
                const QByteArray l = line.trimmed();
                if (l.toLower().startsWith("etag:"))
                    r.etag = l.sliced(5).trimmed();
                if (l.toLower().startsWith("content-length:"))
                    r.contentLength = l.sliced(15).trimmed().toLongLong();
            }
            if (r.contentLength < 0 || unread_.size() < end + 4 + r.contentLength)
                return false;
            r.body = unread_.sliced(end + 4, r.contentLength);
            unread_.remove(0, end + 4 + r.contentLength);
            reply = std::move(r);
            return true;
        },
        timeout);
    return reply;
}

QByteArray tcRequest(quint32 packetId, quint16 mFunc, quint16 sFunc, const QByteArray& body, quint8 encoding,
    const QByteArray& session, quint16 service)
{
    VEKTCConnectionContext context;
    context.sendBufferCreatWithSericeID(service, encoding);
    std::optional<QByteArrayView> sessionBytes;
    if (!session.isEmpty())
        sessionBytes = QByteArrayView(session);
    return *context.requestDataWithMainFunction(
        mFunc, sFunc, sessionBytes, body, quint32(body.size()), VEKPacketFlag { 0, packetId, false, false });
}

QByteArray httpRequest(qint64 packetId, quint64 mFunc, quint64 sFunc, const QString& body, quint64 encoding,
    const QString& session)
{
    TCHttpForm::Fields fields;
    fields.mainFunction = mFunc;
    fields.subFunction = sFunc;
    fields.packetId = packetId;
    fields.encoding = encoding;
    fields.session = session;
    fields.body = body;
    VEKHTTPConnectionContext context;
    return context.construcData(TCHttpForm::formText(fields));
}

std::vector<VEKTCRS> recordSets(const QByteArray& payload, qint32 encoding)
{
    return VEKTCRS::constructMRWithBytes(payload.constData(), payload.size(), encoding);
}

} // namespace simtest
