#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QStringList>
#include <QTcpServer>

#include <memory>
#include <vector>

namespace testsupport {

// The far end of socket tests, on 127.0.0.1 only: accepts connections,
// records what each sends, sends on demand and can switch a connection to TLS
// at any point of the stream.
class LoopbackServer : public QTcpServer {
public:
    LoopbackServer();
    ~LoopbackServer() override;

    // Listens on 127.0.0.1, on a port the system chooses.
    bool start();
    quint16 port() const { return serverPort(); }

    // The certificate and key used by startTls() and by immediate TLS.
    void setIdentity(const QSslCertificate& certificate, const QSslKey& key);
    // Every new connection starts TLS at once.
    void setImmediateTls(bool on) { immediateTls_ = on; }
    // New connections leave bytes unread in the kernel (for write time-outs).
    void setPaused(bool on) { paused_ = on; }

    int connectionCount() const { return static_cast<int>(connections_.size()); }
    QSslSocket* connection(int index = 0) const;
    bool waitForConnections(int count = 1);
    QByteArray received(int index = 0) const;
    bool waitForReceived(qsizetype bytes, int index = 0);
    void send(const QByteArray& bytes, int index = 0);
    void startTls(int index = 0);
    bool isEncrypted(int index = 0) const;
    // Closes after the pending bytes went out.
    void closeConnection(int index = 0);
    QStringList tlsErrors() const { return tlsErrors_; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Connection {
        std::unique_ptr<QSslSocket> socket;
        QByteArray received;
    };
    void setUp(QSslSocket* socket);

    std::vector<std::unique_ptr<Connection>> connections_;
    QSslCertificate certificate_;
    QSslKey key_;
    bool immediateTls_ = false;
    bool paused_ = false;
    QStringList tlsErrors_;
};

// A port on 127.0.0.1 where nothing listens (connections are refused).
quint16 unusedLoopbackPort();

// A listener on 127.0.0.1 whose accept queue is full, so that a further
// connect is never answered and only its time-out ends it.
class LoopbackBlackhole {
public:
    LoopbackBlackhole();
    ~LoopbackBlackhole();
    LoopbackBlackhole(const LoopbackBlackhole&) = delete;
    LoopbackBlackhole& operator=(const LoopbackBlackhole&) = delete;
    bool isValid() const { return port_ != 0; }
    quint16 port() const { return port_; }

private:
    int listener_ = -1;
    std::vector<int> fillers_;
    quint16 port_ = 0;
};

} // namespace testsupport
