#include "support/LoopbackServer.h"

#include "support/Spin.h"

#include <QSslConfiguration>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

LoopbackServer::LoopbackServer() = default;

LoopbackServer::~LoopbackServer()
{
    for (auto& c : connections_)
        QObject::disconnect(c->socket.get(), nullptr, this, nullptr);
}

bool LoopbackServer::start()
{
    return listen(QHostAddress::LocalHost, 0);
}

void LoopbackServer::setIdentity(const QSslCertificate& certificate, const QSslKey& key)
{
    certificate_ = certificate;
    key_ = key;
}

QSslSocket* LoopbackServer::connection(int index) const
{
    if (index < 0 || index >= connectionCount())
        return nullptr;
    return connections_[static_cast<size_t>(index)]->socket.get();
}

bool LoopbackServer::waitForConnections(int count)
{
    return spinUntil([&] { return connectionCount() >= count; });
}

QByteArray LoopbackServer::received(int index) const
{
    if (index < 0 || index >= connectionCount())
        return {};
    return connections_[static_cast<size_t>(index)]->received;
}

bool LoopbackServer::waitForReceived(qsizetype bytes, int index)
{
    return spinUntil([&] { return received(index).size() >= bytes; });
}

void LoopbackServer::send(const QByteArray& bytes, int index)
{
    if (QSslSocket* s = connection(index))
        s->write(bytes);
}

void LoopbackServer::startTls(int index)
{
    if (QSslSocket* s = connection(index))
        s->startServerEncryption();
}

bool LoopbackServer::isEncrypted(int index) const
{
    QSslSocket* s = connection(index);
    return s && s->isEncrypted();
}

void LoopbackServer::closeConnection(int index)
{
    if (QSslSocket* s = connection(index))
        s->disconnectFromHost();
}

void LoopbackServer::incomingConnection(qintptr descriptor)
{
    auto c = std::make_unique<Connection>();
    c->socket = std::make_unique<QSslSocket>();
    QSslSocket* s = c->socket.get();
    if (!s->setSocketDescriptor(descriptor)) {
        ::close(static_cast<int>(descriptor));
        return;
    }
    Connection* raw = c.get();
    connections_.push_back(std::move(c));
    if (paused_) {
        s->setReadBufferSize(1);
    } else {
        QObject::connect(s, &QIODevice::readyRead, this, [raw] { raw->received += raw->socket->readAll(); });
    }
    setUp(s);
    if (immediateTls_)
        s->startServerEncryption();
}

void LoopbackServer::setUp(QSslSocket* s)
{
    QSslConfiguration config = s->sslConfiguration();
    config.setLocalCertificate(certificate_);
    config.setPrivateKey(key_);
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    s->setSslConfiguration(config);
    QObject::connect(s, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
        for (const QSslError& e : errors)
            tlsErrors_ << e.errorString();
    });
}

quint16 unusedLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

LoopbackBlackhole::LoopbackBlackhole()
{
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener_ < 0)
        return;
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listener_, 0) != 0
        || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return;
    // Connections nobody accepts fill the queue; further handshakes go unanswered.
    for (int i = 0; i < 3; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return;
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        fillers_.push_back(fd);
    }
    port_ = ntohs(addr.sin_port);
}

LoopbackBlackhole::~LoopbackBlackhole()
{
    for (int fd : fillers_)
        ::close(fd);
    if (listener_ >= 0)
        ::close(listener_);
}

} // namespace testsupport
