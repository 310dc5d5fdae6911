#pragma once

#include "comm/transport/VEKTCConnectionContext.h"
#include "comm/recordset/VEKTCRS.h"

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QSslSocket>
#include <QString>
#include <chrono>
#include <optional>
#include <vector>

namespace simtest {

using namespace std::chrono_literals;

// One HTTP reply as a client receives it.
struct HttpReply {
    QByteArray head; // status line through the empty line
    QByteArray etag; // the etag line's value
    qint64 contentLength = -1;
    QByteArray body;
};

// A bare client for the simulator's fronts: a socket, the bytes received and
// the frame and reply readers of comm/.
class SimClient {
public:
    SimClient();
    ~SimClient();
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    bool connectTls(quint16 port, const QList<QSslCertificate>& trusted);
    bool connectPlain(quint16 port);
    void send(const QByteArray& bytes);
    // Waits until the server closed the connection.
    bool waitForDisconnect(std::chrono::milliseconds timeout = 5s);
    bool isDisconnected() const { return disconnected_; }

    // Every byte received so far, and the ones not yet taken by a reader.
    const QByteArray& allReceived() const { return all_; }
    bool waitForBytes(qsizetype count, std::chrono::milliseconds timeout = 5s);

    // The next TC frame (empty payloads included); nullopt on time-out.
    std::optional<TCFrame> nextFrame(std::chrono::milliseconds timeout = 5s);
    // The next HTTP reply; nullopt on time-out.
    std::optional<HttpReply> nextHttpReply(std::chrono::milliseconds timeout = 5s);

    QSslSocket& socket() { return socket_; }

private:
    QSslSocket socket_;
    QByteArray all_;
    QByteArray unread_;
    VEKTCConnectionContext reader_;
    bool disconnected_ = false;
};

// A request frame as the client's request layer writes it.
QByteArray tcRequest(quint32 packetId, quint16 mFunc, quint16 sFunc, const QByteArray& body, quint8 encoding,
    const QByteArray& session = {}, quint16 service = 300);
// A complete HTTP request carrying the form of a request.
QByteArray httpRequest(qint64 packetId, quint64 mFunc, quint64 sFunc, const QString& body, quint64 encoding,
    const QString& session = {});
// The record sets of a payload.
std::vector<VEKTCRS> recordSets(const QByteArray& payload, qint32 encoding);

} // namespace simtest
