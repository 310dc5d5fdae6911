#pragma once

#include "comm/transport/VEKConnectionContext.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringView>
#include <optional>
#include <utility>

// The quote connection's framing: a form POSTed over HTTP/1.1, the reply's TC
// flags in its "etag" header.
class VEKHTTPConnectionContext : public VEKConnectionContext {
public:
    // A head (status line through the empty line) longer than this is dropped.
    static constexpr qsizetype kMaxHeadLength = 64 * 1024;
    static constexpr qint64 kMaxContentLength = 16 * 1024 * 1024;
    static constexpr quint32 kStepDone = 0xFFFFFFFFu;

    explicit VEKHTTPConnectionContext(VEKConnectionContextDelegate* delegate = nullptr);

    QByteArray httpHeader();
    void setHttpHeader(const QByteArray& header);

    // The head, a "Content-Length" line of the form's length, the empty line and
    // the form. Every "Content-Length" in the head itself is renamed.
    QByteArray construcData(const QByteArray& data) override;
    std::optional<QByteArray> checkResponse(VEKContextError* error, VEKPacketFlag* flags) override;
    // Also drops a half-read reply, so it cannot join the bytes of a new connection.
    void resetData() override;
    // Once the head is read: the etag's packet id, 0 for a head without a
    // usable etag (no packet has that id).
    std::optional<quint64> incompletePacketId() const override;
    bool frameBegun() const override { return step_ != SeekSync; }

    // The reader's steps: kStepDone when the step completed, else 0 or (for the
    // body) the number of body bytes present.
    quint32 findSync();
    quint32 findHeader();
    quint32 findBody();
    int step() const { return step_; }

    // The flags of an etag line ("etag: status,packetid,compress,encrypt,..."),
    // nullopt when it is malformed.
    static std::optional<VEKPacketFlag> parseEtag(QStringView line);
    // The length of a "Content-Length: n" line; nullopt when malformed, negative
    // or above kMaxContentLength.
    static std::optional<qint64> parseContentLength(QStringView line);
    // A reply as a server writes it: status line, etag, Content-Length, body.
    static QByteArray replyBytes(const VEKPacketFlag& flags, QByteArrayView body);

private:
    enum Step { SeekSync = 0, Header = 1, Body = 2, Complete = 3 };

    std::optional<QByteArray> header_;
    int step_ = SeekSync;
    qsizetype headScanned_ = 0; // bytes already searched for the empty line
    qsizetype headLength_ = 0;
    qint64 contentLength_ = 0;
    VEKPacketFlag flags_;
};

// One request as the server side reads it.
struct HTTPRequest {
    QByteArray requestLine; // e.g. "POST / HTTP/1.1"
    QList<std::pair<QByteArray, QByteArray>> headers; // names as sent, values trimmed
    QByteArray body;

    std::optional<QByteArray> header(QByteArrayView name) const; // case-insensitive
};

// Cuts requests out of the bytes a client sends (for the broker simulator).
// Stray bytes between requests (the heartbeat's zero byte, blank lines) are
// skipped; a head beyond 64 KiB or a bad Content-Length fails the stream.
class VEKHTTPRequestReader {
public:
    void append(QByteArrayView bytes);
    std::optional<HTTPRequest> next();
    bool failed() const { return failed_; }
    qsizetype bufferedLength() const { return buffer_.size(); }

private:
    QByteArray buffer_;
    qsizetype scanned_ = 0;
    bool failed_ = false;
};
