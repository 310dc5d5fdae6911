#pragma once

#include "comm/transport/StreamSocket.h"
#include "comm/servertest/VEKServer.h"
#include "platform/RunLoop.h"

#include <QByteArray>
#include <chrono>
#include <memory>
#include <mutex>

class QEventLoop;
class QObject;

// The probe of one TC server: connects (through the proxy when one is set,
// then TLS when the server needs it), measures how long that took, and sends
// nothing. Everything it does runs on its own thread and run loop. The whole
// probe, handshakes included, is bounded by its time-out.
class VEKTCServer final : public VEKServer, private StreamSocketDelegate {
public:
    VEKTCServer(const QString& host, quint16 port);
    ~VEKTCServer() override;

    static std::shared_ptr<VEKTCServer> serverWithHost(const QString& host, quint16 port);

    void main() override;
    // From any thread: the socket is dropped on the probe's thread, which then
    // reports the probe unreachable.
    void cancel() override;

private:
    using Clock = std::chrono::steady_clock;
    enum Tag : qint64 { kTagData = 0, kTagHeartbeat = 1 };

    void startTrafficTime();
    void completeReachable(bool flag);
    void _processToProxyRespose(const QByteArray& data);
    void _processToProxyReady();
    void _socketDidConnected(const QString& host, quint16 port);
    void _sendData(const QByteArray& data, bool heartBeat);
    void _dataDidWrite();
    void _readData(const QByteArray& data);

    double elapsed() const;
    void proxyRefused();
    void dropSocket();
    void quitLoop();

    // StreamSocketDelegate
    void onSocketWillDisconnectWithError(
        StreamSocket* sock, const std::optional<StreamSocketError>& error) override;
    void onSocketDidDisconnect(StreamSocket* sock) override;
    void onSocketDidConnectToHost(StreamSocket* sock, const QString& host, quint16 port) override;
    void onSocketDidReadData(StreamSocket* sock, const QByteArray& data, qint64 tag) override;
    void onSocketDidWriteDataWithTag(StreamSocket* sock, qint64 tag) override;
    void onSocketDidSecure(StreamSocket* sock, bool secured) override;

    // The socket's monitor: guards the probe thread's loop and context, which
    // cancel() reaches from other threads.
    std::mutex socketMutex_;
    QObject* loopContext_ = nullptr;
    QEventLoop* eventLoop_ = nullptr;
    // Used on the probe's thread only.
    std::unique_ptr<StreamSocket> socket_;
    std::unique_ptr<platform::RunLoopTimer> deadline_;
    QByteArray proxyBuffer_;
    Clock::time_point start_ {};
};
