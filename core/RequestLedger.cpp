#include "core/RequestLedger.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>

namespace {

std::atomic<quint64> gLastSerial { 0 };
RequestLedger::SenderSource gSenderSource = nullptr;
RequestLedger::Watch gWatch = nullptr;
const RequestLedger::Answer* gAnswering = nullptr;
RequestLedger::AskRecorder* gRecorder = nullptr;

bool onMainThread()
{
    return !QCoreApplication::instance()
        || QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

RequestLedger::Request RequestLedger::sent()
{
    Request request { ++gLastSerial, {} };
    // The account and the asks are the main thread's; a request asked from
    // another thread is nobody's and no ask's.
    if (!onMainThread())
        return request;
    if (gSenderSource)
        request.sender = gSenderSource();
    joined(request);
    return request;
}

void RequestLedger::joined(const Request& request)
{
    if (gRecorder && request.serial != 0 && onMainThread())
        gRecorder->serials_.push_back(request.serial);
}

quint64 RequestLedger::last()
{
    return gLastSerial.load();
}

const RequestLedger::Answer* RequestLedger::answering()
{
    return onMainThread() ? gAnswering : nullptr;
}

void RequestLedger::setSenderSource(SenderSource source)
{
    gSenderSource = source;
}

void RequestLedger::setWatch(Watch watch)
{
    gWatch = watch;
}

RequestLedger::Watch RequestLedger::watch()
{
    return gWatch;
}

RequestLedger::Answering::Answering(const Request& request, bool withRows)
    : answer_ { request, last() }
    , outer_(gAnswering)
    , withRows_(withRows)
{
    gAnswering = &answer_;
}

RequestLedger::Answering::~Answering()
{
    gAnswering = outer_;
    if (gWatch && answer_.request.serial != 0)
        gWatch(answer_.request.serial, withRows_);
}

RequestLedger::AskRecorder::AskRecorder()
    : outer_(gRecorder)
{
    gRecorder = this;
}

RequestLedger::AskRecorder::~AskRecorder()
{
    gRecorder = outer_;
}
