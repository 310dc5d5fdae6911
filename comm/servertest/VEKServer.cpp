#include "comm/servertest/VEKServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

VEKServer::VEKServer(const QString& host, quint16 port)
    : host_(host)
    , port_(port)
{
}

VEKServer::~VEKServer()
{
    stopThread();
}

std::shared_ptr<VEKServer> VEKServer::serverWithHost(const QString& host, quint16 port)
{
    return std::make_shared<VEKServer>(host, port);
}

void VEKServer::setProxyMode(qint32 mode)
{
    proxyMode_ = mode & 0x7;
    proxyStatus_ = 0;
}

void VEKServer::setKeyValueObserver(std::function<void(VEKServer&, const char*)> observer)
{
    keyValueObserver_ = std::move(observer);
}

void VEKServer::notice(const char* key)
{
    if (keyValueObserver_)
        keyValueObserver_(*this, key);
}

void VEKServer::performOnMainThread(std::function<void()> call)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    const auto alive = alive_.watch();
    QMetaObject::invokeMethod(
        app,
        [alive, call = std::move(call)] {
            if (alive.survived())
                call();
        },
        Qt::QueuedConnection);
}

void VEKServer::startTesting()
{
    if (VEKServerDelegate* d = delegate())
        d->serverWillStartTest(*this);
}

void VEKServer::finishedTesting()
{
    if (VEKServerDelegate* d = delegate())
        d->serverDidFinishedTest(*this);
}

void VEKServer::start()
{
    if (finished_ || executing_)
        return; // an operation starts once
    if (cancelled_) {
        finished_ = true;
        notice("isFinished");
        return;
    }
    performOnMainThread([this] { startTesting(); });
    executing_ = true;
    notice("isExecuting");
    std::lock_guard lock(threadMutex_);
    thread_.reset(QThread::create([this] { main(); }));
    thread_->setObjectName(QStringLiteral("VEKServer %1:%2").arg(host_).arg(port_));
    thread_->start();
}

void VEKServer::finishUnstarted()
{
    if (finished_ || executing_)
        return;
    if (cancelled_) {
        finished_ = true; // as start() does: a cancelled probe tells nothing
        notice("isFinished");
        return;
    }
    reachable_ = false;
    trafficTime_ = -1.0;
    performOnMainThread([this] { startTesting(); });
    finished_ = true;
    notice("isFinished");
    performOnMainThread([this] { finishedTesting(); });
}

void VEKServer::cancel()
{
    cancelled_ = true;
}

void VEKServer::completeOperation()
{
    if (finished_)
        return;
    executing_ = false;
    finished_ = true;
    notice("isFinished");
    notice("isExecuting");
    performOnMainThread([this] { finishedTesting(); });
}

bool VEKServer::waitForThread(unsigned long milliseconds)
{
    std::lock_guard lock(threadMutex_);
    const QDeadlineTimer deadline = milliseconds == ~0UL ? QDeadlineTimer(QDeadlineTimer::Forever)
                                                         : QDeadlineTimer(qint64(milliseconds));
    return !thread_ || thread_->wait(deadline);
}

void VEKServer::stopThread()
{
    std::lock_guard lock(threadMutex_);
    if (!thread_)
        return;
    if (thread_->isRunning() && QThread::currentThread() != thread_.get()) {
        cancel();
        thread_->wait();
    }
    thread_.reset();
}
