#include "platform/Reachability.h"

#include <QCoreApplication>
#include <QNetworkInformation>
#include <QNetworkInterface>
#include <QThread>
#include <mutex>

namespace platform::Reachability {

namespace {

std::mutex overrideMutex;
std::function<bool()> overrideAnswer;

// The backend is loaded once, from the main thread (QNetworkInformation lives there).
QNetworkInformation* backend()
{
    auto* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return nullptr;
    static const bool loaded = QNetworkInformation::loadDefaultBackend();
    return loaded ? QNetworkInformation::instance() : nullptr;
}

} // namespace

bool hasActiveInterface()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& i : interfaces) {
        const auto flags = i.flags();
        if (flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning)
            && !flags.testFlag(QNetworkInterface::IsLoopBack))
            return true;
    }
    return false;
}

bool isNetworkReachable()
{
    std::function<bool()> answer;
    {
        std::lock_guard lock(overrideMutex);
        answer = overrideAnswer;
    }
    if (answer)
        return answer();
    if (auto* info = backend()) {
        switch (info->reachability()) {
        case QNetworkInformation::Reachability::Disconnected:
            return false;
        case QNetworkInformation::Reachability::Local:
        case QNetworkInformation::Reachability::Site:
        case QNetworkInformation::Reachability::Online:
            return true;
        case QNetworkInformation::Reachability::Unknown:
            break;
        }
    }
    return hasActiveInterface();
}

void setOverride(std::function<bool()> answer)
{
    std::lock_guard lock(overrideMutex);
    overrideAnswer = std::move(answer);
}

} // namespace platform::Reachability
