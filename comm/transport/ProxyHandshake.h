#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

// The proxy handshakes (HTTP CONNECT, SOCKS4, SOCKS5) as pure message builders
// and a reply judge, shared by the connection and the server probe. Whoever
// runs a handshake keeps its status and the bytes received so far, asks for
// credentials, and sends what the builders give.
namespace ProxyHandshake {

enum Mode : qint32 { ModeNone = 0, ModeHTTP = 1, ModeSOCKS4 = 2, ModeSOCKS5 = 3 };
enum Status : qint32 {
    StatusIdle = 0,
    StatusStart = 1,
    StatusSendAuth = 2,
    StatusSendConnect = 3,
    StatusRefused = 8,
    StatusEstablished = 9,
};

// A proxy whose answer passes this is refused.
inline constexpr qsizetype kMaxReplyBytes = 16 * 1024;

// Keeps the low 3 bits; anything but 1 to 3 means no proxy.
qint32 normalizedMode(qint32 mode);

// "CONNECT host:port HTTP/1.1" with Basic credentials when given; nullopt
// for a host that is empty or would break the request line.
std::optional<QByteArray> httpConnectRequest(
    const QString& host, quint16 port, const std::optional<QString>& basicCredentials);
// nullopt unless the host is a dotted IPv4 address.
std::optional<QByteArray> socks4ConnectRequest(const QString& host, quint16 port);
QByteArray socks5Greeting();
// nullopt when the user or the password is longer than 255 bytes: cutting
// would send a different secret.
std::optional<QByteArray> socks5AuthRequest(const QByteArray& user, const QByteArray& password);
// nullopt unless the host is a dotted IPv4 address.
std::optional<QByteArray> socks5ConnectRequest(const QString& host, quint16 port);
bool isDottedIPv4(const QString& host);

// What the bytes received so far say.
struct Verdict {
    enum Kind {
        Incomplete, // wait for more
        Refused, // the handshake failed: `description`
        Next, // send the message of `status` next
        Established, // the tunnel is open; bytes from `consumed` on belong to the stream
    };
    Kind kind = Incomplete;
    qint32 status = StatusIdle;
    qsizetype consumed = 0;
    QString description;
};

// Judges `reply` (all bytes since the last message was sent) in `status`.
Verdict judgeReply(qint32 mode, qint32 status, const QByteArray& reply);

} // namespace ProxyHandshake
