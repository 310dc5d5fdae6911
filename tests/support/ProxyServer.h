#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>
#include <optional>
#include <vector>

namespace testsupport {

// A small proxy on 127.0.0.1 for connection tests: HTTP CONNECT, SOCKS4 or
// SOCKS5. It records what each client sent during the handshake, may demand
// a user and password or refuse, and relays bytes to targets on 127.0.0.1.
class ProxyServer : public QTcpServer {
public:
    enum Kind { HttpConnect, Socks4, Socks5 };

    explicit ProxyServer(Kind kind);
    ~ProxyServer() override;

    bool start();
    quint16 port() const { return serverPort(); }

    // Clients must give this user and password (HTTP Basic or SOCKS5 method 2).
    void setCredentials(const QByteArray& user, const QByteArray& password);
    // Every connect request is refused (HTTP 403, SOCKS4 91, SOCKS5 2).
    void setRefuse(bool refuse) { refuse_ = refuse; }

    int connectionCount() const { return static_cast<int>(links_.size()); }
    // The bytes a client sent before its tunnel opened.
    QByteArray handshake(int index = 0) const;
    bool isTunnelOpen(int index = 0) const;
    // The target a client asked for.
    QString targetHost(int index = 0) const;
    quint16 targetPort(int index = 0) const;

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Link {
        std::unique_ptr<QTcpSocket> client;
        std::unique_ptr<QTcpSocket> upstream;
        QByteArray handshake;
        QByteArray pending; // unparsed handshake bytes
        int stage = 0;
        bool tunnel = false;
        QString host;
        quint16 port = 0;
    };

    void onClientData(Link* link);
    void handleHttp(Link* link);
    void handleSocks4(Link* link);
    void handleSocks5(Link* link);
    // Connects to the target and sends `success` to the client once connected.
    void openTunnel(
        Link* link, const QString& host, quint16 port, const QByteArray& success, const QByteArray& failure);
    void reply(Link* link, const QByteArray& bytes);

    Kind kind_;
    std::optional<std::pair<QByteArray, QByteArray>> credentials_;
    bool refuse_ = false;
    std::vector<std::unique_ptr<Link>> links_;
};

} // namespace testsupport
