#include "support/ProxyServer.h"

namespace testsupport {

ProxyServer::ProxyServer(Kind kind)
    : kind_(kind)
{
}

ProxyServer::~ProxyServer()
{
    for (auto& link : links_) {
        QObject::disconnect(link->client.get(), nullptr, this, nullptr);
        if (link->upstream)
            QObject::disconnect(link->upstream.get(), nullptr, this, nullptr);
    }
}

bool ProxyServer::start()
{
    return listen(QHostAddress::LocalHost, 0);
}

void ProxyServer::setCredentials(const QByteArray& user, const QByteArray& password)
{
    credentials_ = std::make_pair(user, password);
}

QByteArray ProxyServer::handshake(int index) const
{
    return index >= 0 && index < connectionCount() ? links_[size_t(index)]->handshake : QByteArray();
}

bool ProxyServer::isTunnelOpen(int index) const
{
    return index >= 0 && index < connectionCount() && links_[size_t(index)]->tunnel;
}

QString ProxyServer::targetHost(int index) const
{
    return index >= 0 && index < connectionCount() ? links_[size_t(index)]->host : QString();
}

quint16 ProxyServer::targetPort(int index) const
{
    return index >= 0 && index < connectionCount() ? links_[size_t(index)]->port : 0;
}

void ProxyServer::incomingConnection(qintptr descriptor)
{
    auto link = std::make_unique<Link>();
    link->client = std::make_unique<QTcpSocket>();
    link->client->setSocketDescriptor(descriptor);
    Link* l = link.get();
    connect(l->client.get(), &QTcpSocket::readyRead, this, [this, l] { onClientData(l); });
    connect(l->client.get(), &QTcpSocket::disconnected, this, [l] {
        if (l->upstream)
            l->upstream->disconnectFromHost();
    });
    links_.push_back(std::move(link));
}

void ProxyServer::reply(Link* link, const QByteArray& bytes)
{
    link->client->write(bytes);
    link->client->flush();
}

void ProxyServer::onClientData(Link* link)
{
    const QByteArray bytes = link->client->readAll();
    if (link->tunnel) {
        link->upstream->write(bytes);
        return;
    }
    link->handshake += bytes;
    link->pending += bytes;
    switch (kind_) {
    case HttpConnect:
        handleHttp(link);
        break;
    case Socks4:
        handleSocks4(link);
        break;
    case Socks5:
        handleSocks5(link);
        break;
    }
}

void ProxyServer::handleHttp(Link* link)
{
    const qsizetype end = link->pending.indexOf("\r\n\r\n");
    if (link->stage != 0 || end < 0)
        return;
    link->stage = 1;
    const QByteArray head = link->pending.left(end);
    link->pending.remove(0, end + 4);
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> words = lines.value(0).trimmed().split(' ');
    const QByteArray target = words.value(1);
    const qsizetype colon = target.lastIndexOf(':');
    const QString host = QString::fromLatin1(target.left(colon));
    const quint16 port = quint16(target.mid(colon + 1).toUInt());
    if (credentials_) {
        const QByteArray expected = "Basic " + (credentials_->first + ':' + credentials_->second).toBase64();
        bool ok = false;
        for (const QByteArray& line : lines) {
            const qsizetype sep = line.indexOf(':');
            if (sep > 0 && line.left(sep).trimmed().toLower() == "proxy-authorization")
                ok = line.mid(sep + 1).trimmed() == expected;
        }
        if (!ok)
            return reply(link, "HTTP/1.1 407 Proxy Authentication Required\r\n\r\n");
    }
    if (refuse_ || words.value(0) != "CONNECT")
        return reply(link, "HTTP/1.1 403 Forbidden\r\n\r\n");
    openTunnel(
        link, host, port, "HTTP/1.1 200 Connection established\r\n\r\n", "HTTP/1.1 502 Bad Gateway\r\n\r\n");
}

void ProxyServer::handleSocks4(Link* link)
{
    const QByteArray request = link->pending;
    const qsizetype end = request.indexOf('\0', 8);
    if (link->stage != 0 || request.size() < 9 || end < 0)
        return;
    link->stage = 1;
    link->pending.remove(0, end + 1);
    const QByteArray& p = request;
    const quint16 port = quint16((quint8(p[2]) << 8) | quint8(p[3]));
    const QString host = QHostAddress((quint32(quint8(p[4])) << 24) | (quint32(quint8(p[5])) << 16)
        | (quint32(quint8(p[6])) << 8) | quint8(p[7]))
                             .toString();
    const QByteArray refused("\x00\x5B\x00\x00\x00\x00\x00\x00", 8);
    if (refuse_ || p[0] != 0x04 || p[1] != 0x01)
        return reply(link, refused);
    openTunnel(link, host, port, QByteArray("\x00\x5A", 2) + p.mid(2, 6), refused);
}

void ProxyServer::handleSocks5(Link* link)
{
    QByteArray& p = link->pending;
    if (link->stage == 0) { // greeting
        if (p.size() < 2 || p.size() < 2 + quint8(p[1]))
            return;
        const QByteArray methods = p.mid(2, quint8(p[1]));
        p.remove(0, 2 + methods.size());
        const char wanted = credentials_ ? 0x02 : 0x00;
        if (!methods.contains(wanted)) {
            link->stage = 9;
            return reply(link, QByteArray("\x05\xFF", 2));
        }
        link->stage = credentials_ ? 1 : 2;
        reply(link, QByteArray(1, 0x05) + QByteArray(1, wanted));
    }
    if (link->stage == 1) { // user and password
        if (p.size() < 2 || p.size() < 3 + quint8(p[1]))
            return;
        if (p.size() < 3 + quint8(p[1]) + quint8(p[2 + quint8(p[1])]))
            return;
        const int userLength = quint8(p[1]);
        const QByteArray user = p.mid(2, userLength);
        const int passwordLength = quint8(p[2 + userLength]);
        const QByteArray password = p.mid(3 + userLength, passwordLength);
        p.remove(0, 3 + userLength + passwordLength);
        if (user != credentials_->first || password != credentials_->second) {
            link->stage = 9;
            return reply(link, QByteArray("\x01\x01", 2));
        }
        link->stage = 2;
        reply(link, QByteArray("\x01\x00", 2));
    }
    if (link->stage == 2) { // connect request, IPv4 only
        if (p.size() < 10)
            return;
        link->stage = 3;
        const quint16 port = quint16((quint8(p[8]) << 8) | quint8(p[9]));
        const QString host = QHostAddress((quint32(quint8(p[4])) << 24) | (quint32(quint8(p[5])) << 16)
            | (quint32(quint8(p[6])) << 8) | quint8(p[7]))
                                 .toString();
        const QByteArray refused("\x05\x02\x00\x01\x00\x00\x00\x00\x00\x00", 10);
        if (refuse_ || p[0] != 0x05 || p[1] != 0x01 || p[3] != 0x01)
            return reply(link, refused);
        p.remove(0, 10);
        openTunnel(link, host, port, QByteArray("\x05\x00\x00\x01\x00\x00\x00\x00\x00\x00", 10),
            QByteArray("\x05\x05\x00\x01\x00\x00\x00\x00\x00\x00", 10));
    }
}

void ProxyServer::openTunnel(
    Link* link, const QString& host, quint16 port, const QByteArray& success, const QByteArray& failure)
{
    link->host = host;
    link->port = port;
    // Tests only ever reach servers on this machine.
    if (host != QLatin1String("127.0.0.1"))
        return reply(link, failure);
    link->upstream = std::make_unique<QTcpSocket>();
    QTcpSocket* up = link->upstream.get();
    connect(up, &QTcpSocket::connected, this, [this, link, success] {
        link->tunnel = true;
        reply(link, success);
        if (!link->pending.isEmpty()) {
            link->upstream->write(link->pending);
            link->pending.clear();
        }
    });
    connect(up, &QTcpSocket::readyRead, this, [link] { link->client->write(link->upstream->readAll()); });
    connect(up, &QTcpSocket::disconnected, this, [link] { link->client->disconnectFromHost(); });
    connect(up, &QTcpSocket::errorOccurred, this, [this, link, failure](QAbstractSocket::SocketError) {
        if (!link->tunnel)
            reply(link, failure);
    });
    up->connectToHost(QHostAddress(host), port);
}

} // namespace testsupport
