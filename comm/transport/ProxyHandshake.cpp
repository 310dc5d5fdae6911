#include "comm/transport/ProxyHandshake.h"

#include <algorithm>
#include <arpa/inet.h>

namespace ProxyHandshake {

namespace {

// The 4 bytes of a dotted IPv4 address, already in network order.
std::optional<QByteArray> ipv4Bytes(const QString& host)
{
    in_addr address {};
    if (host.contains(QChar(0)) || inet_pton(AF_INET, host.toLatin1().constData(), &address) != 1)
        return std::nullopt;
    return QByteArray(reinterpret_cast<const char*>(&address.s_addr), 4);
}

QByteArray portBytes(quint16 port)
{
    const char bytes[2] = { char(port >> 8), char(port & 0xFF) };
    return QByteArray(bytes, 2);
}

// Spaces and control characters would let the host rewrite the CONNECT line.
bool isSafeConnectHost(const QString& host)
{
    if (host.isEmpty())
        return false;
    return std::none_of(
        host.begin(), host.end(), [](QChar c) { return c.unicode() <= 0x20 || c.unicode() == 0x7F; });
}

Verdict refused(const QString& description)
{
    Verdict v;
    v.kind = Verdict::Refused;
    v.status = StatusRefused;
    v.description = description;
    return v;
}

Verdict next(qint32 status)
{
    Verdict v;
    v.kind = Verdict::Next;
    v.status = status;
    return v;
}

Verdict established(qsizetype consumed)
{
    Verdict v;
    v.kind = Verdict::Established;
    v.status = StatusEstablished;
    v.consumed = consumed;
    return v;
}

QString refusedText()
{
    return QStringLiteral("The proxy refused the connection.");
}

} // namespace

qint32 normalizedMode(qint32 mode)
{
    mode &= 0x7;
    return (mode >= ModeHTTP && mode <= ModeSOCKS5) ? mode : ModeNone;
}

bool isDottedIPv4(const QString& host)
{
    return ipv4Bytes(host).has_value();
}

std::optional<QByteArray> httpConnectRequest(
    const QString& host, quint16 port, const std::optional<QString>& basicCredentials)
{
    if (!isSafeConnectHost(host))
        return std::nullopt;
    const QString target = QStringLiteral("%1:%2").arg(host).arg(port);
    if (basicCredentials) {
        return QStringLiteral("CONNECT %1 HTTP/1.1\r\nProxy-Authorization: Basic %2\r\n\r\n")
            .arg(target, *basicCredentials)
            .toUtf8();
    }
    return QStringLiteral("CONNECT %1 HTTP/1.1\r\nUser-Agent: VEKSoft\r\n\r\n").arg(target).toUtf8();
}

std::optional<QByteArray> socks4ConnectRequest(const QString& host, quint16 port)
{
    const std::optional<QByteArray> address = ipv4Bytes(host);
    if (!address)
        return std::nullopt;
    QByteArray request;
    request.append(char(0x04)).append(char(0x01)).append(portBytes(port)).append(*address).append('\0');
    return request;
}

QByteArray socks5Greeting()
{
    return QByteArray("\x05\x02\x00\x02", 4);
}

std::optional<QByteArray> socks5AuthRequest(const QByteArray& user, const QByteArray& password)
{
    if (user.size() > 255 || password.size() > 255)
        return std::nullopt;
    QByteArray request;
    request.append(char(0x01)).append(char(user.size())).append(user);
    request.append(char(password.size())).append(password);
    return request;
}

std::optional<QByteArray> socks5ConnectRequest(const QString& host, quint16 port)
{
    const std::optional<QByteArray> address = ipv4Bytes(host);
    if (!address)
        return std::nullopt;
    QByteArray request("\x05\x01\x00\x01", 4);
    request.append(*address).append(portBytes(port));
    return request;
}

Verdict judgeReply(qint32 mode, qint32 status, const QByteArray& reply)
{
    const auto byte = [&reply](qsizetype i) { return quint8(reply.at(i)); };
    switch (mode) {
    case ModeHTTP: {
        // Judged on the whole head, so that an answer split across reads is not refused.
        const qsizetype end = reply.indexOf("\r\n\r\n");
        if (end < 0)
            return {};
        const QByteArray head = reply.left(end + 4);
        if (!QString::fromUtf8(head).contains(QLatin1String("Connection established"), Qt::CaseInsensitive))
            return refused(refusedText());
        return established(end + 4);
    }
    case ModeSOCKS4:
        if (reply.size() < 8)
            return {};
        if (byte(0) != 0 || byte(1) != 90)
            return refused(refusedText());
        return established(8);
    case ModeSOCKS5:
        if (status == StatusStart) {
            if (reply.size() < 2)
                return {};
            if (byte(0) == 0x05 && byte(1) == 0x02)
                return next(StatusSendAuth);
            if (byte(0) == 0x05 && byte(1) == 0x00)
                return next(StatusSendConnect);
            return refused(refusedText());
        }
        if (status == StatusSendAuth) {
            if (reply.size() < 2)
                return {};
            if (byte(0) != 0x01 || byte(1) != 0x00)
                return refused(QStringLiteral("The proxy did not accept the user name and password."));
            return next(StatusSendConnect);
        }
        if (status == StatusSendConnect) {
            if (reply.size() < 2)
                return {};
            if (byte(0) != 0x05 || byte(1) != 0x00)
                return refused(refusedText());
            // The bound address decides the reply's length: IPv4 10 bytes, IPv6 22, a name 7 + its length.
            if (reply.size() < 5)
                return {};
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
                return refused(refusedText());
            }
            if (reply.size() < length)
                return {};
            return established(length);
        }
        return {};
    default:
        return {};
    }
}

} // namespace ProxyHandshake
