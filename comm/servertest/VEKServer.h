#pragma once

#include "platform/Lifetime.h"

#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <QtGlobal>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QThread;
class VEKServer;

// Hears of a probe. The two reports come on the main thread; the questions
// (all optional: nullopt means "not implemented") come on the probe's own
// thread, so an implementation guards what it reads. A probe never owns its
// delegate; the delegate must outlive running probes (cancel and destroy
// them first), and a report posted to the main thread reaches nobody once
// the delegate is gone.
class VEKServerDelegate : public platform::Lifetime {
public:
    virtual ~VEKServerDelegate() = default;

    virtual void serverWillStartTest(VEKServer& server) = 0;
    virtual void serverDidFinishedTest(VEKServer& server) = 0;
    virtual std::optional<QString> serverConnectProxyAddress(VEKServer& server) { return std::nullopt; }
    virtual std::optional<quint16> serverConnectProxyPort(VEKServer& server) { return std::nullopt; }
    virtual std::optional<QString> serverConnectProxyUser(VEKServer& server) { return std::nullopt; }
    virtual std::optional<QString> serverConnectProxyPassword(VEKServer& server) { return std::nullopt; }
    // server:base64EncodeString:
    virtual std::optional<QString> serverBase64EncodeString(VEKServer& server, const QString& text)
    {
        return std::nullopt;
    }
    // The settings for StreamSocket::startTLS.
    virtual std::optional<QVariantMap> serverSSLSetting(VEKServer& server) { return std::nullopt; }
};

// One server probe, run as a concurrent operation: start() tells the delegate
// on the main thread that the test starts and runs main() on a new thread of
// its own; completeOperation() ends it and tells the delegate on the main
// thread. Made, configured, started and destroyed on the main thread (or by
// the operation queue, for start); destroying a running probe cancels it and
// waits for its thread.
class VEKServer {
public:
    static constexpr qint64 kDefaultTimeout = 30;

    VEKServer(const QString& host, quint16 port); // initWithHost:port:
    virtual ~VEKServer();
    VEKServer(const VEKServer&) = delete;
    VEKServer& operator=(const VEKServer&) = delete;

    // serverWithHost:port:
    static std::shared_ptr<VEKServer> serverWithHost(const QString& host, quint16 port);

    bool reachable() const { return reachable_; }
    // Seconds; -1.0 until the probe measured something.
    double trafficTime() const { return trafficTime_; }

    // Keeps 3 bits; the proxy status returns to 0.
    void setProxyMode(qint32 mode);
    qint32 proxyMode() const { return proxyMode_; }
    qint32 proxyStatus() const { return proxyStatus_; }
    void setNeedSSL(bool need) { needSSL_ = need; }
    bool needSSL() const { return needSSL_; }

    // Tell the delegate (main thread).
    void startTesting();
    void finishedTesting();

    bool isConcurrent() const { return true; }
    bool isExecuting() const { return executing_; }
    bool isFinished() const { return finished_; }
    bool isCancelled() const { return cancelled_; }
    bool isReady() const { return !executing_ && !finished_; }

    void start();
    // A probe that cannot run (the machine has no network route): it ends as
    // one that could not connect, told started and finished on the main
    // thread like any probe, without a thread of its own.
    void finishUnstarted();
    // The probe itself, on its own thread; nothing in the base.
    virtual void main() { }
    virtual void cancel();
    void completeOperation();

    const QString& host() const { return host_; }
    quint16 port() const { return port_; }
    quint64 tag() const { return tag_; }
    void setTag(quint64 tag) { tag_ = tag; }
    // nullptr once the delegate is destroyed.
    VEKServerDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(VEKServerDelegate* delegate) { delegate_ = delegate; }
    // Seconds; 0 or less means 30.
    qint64 timeout() const { return timeout_; }
    void setTimeout(qint64 seconds) { timeout_ = seconds; }

    // The operation's own proxy fields; the delegate supplies the values in use.
    QString proxyHost;
    quint16 proxyPort = 0;
    QString proxyUser;
    QString proxyPassword;

    // Change notices for "isExecuting" and "isFinished", on the thread that
    // made the change (the operation queue's observer).
    void setKeyValueObserver(std::function<void(VEKServer&, const char* key)> observer);

    // Waits for the probe's thread to end (tests, destruction).
    bool waitForThread(unsigned long milliseconds = ~0UL);

protected:
    void setReachable(bool reachable) { reachable_ = reachable; }
    void setTrafficTime(double seconds) { trafficTime_ = seconds; }
    void setProxyStatus(qint32 status) { proxyStatus_ = status; }
    // Posts `call` to the main thread; dropped once this probe is destroyed.
    void performOnMainThread(std::function<void()> call);
    // Derived classes stop the thread in their own destructor, before their
    // members go, so that main() never runs on a half-destroyed object.
    void stopThread();

    QByteArray buffer;

private:
    void notice(const char* key);

    QString host_;
    quint16 port_;
    quint64 tag_ = 0;
    std::atomic<double> trafficTime_ { -1.0 };
    std::atomic<bool> reachable_ { false };
    std::atomic<bool> executing_ { false };
    std::atomic<bool> finished_ { false };
    std::atomic<bool> cancelled_ { false };
    std::atomic<qint32> proxyMode_ { 0 };
    std::atomic<qint32> proxyStatus_ { 0 };
    bool needSSL_ = false;
    qint64 timeout_ = kDefaultTimeout;
    platform::WeakRef<VEKServerDelegate> delegate_;
    std::function<void(VEKServer&, const char*)> keyValueObserver_;
    std::mutex threadMutex_; // guards thread_: start() may run on the operation queue
    std::unique_ptr<QThread> thread_;
    platform::Lifetime alive_;
};
