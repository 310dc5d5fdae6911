#include "comm/transport/Reachability.h"

#include "platform/NotificationCenter.h"
#include "platform/Reachability.h"

#include <QHostAddress>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

std::mutex overrideMutex;
std::function<std::optional<quint32>(const Reachability&)> flagsOverride;

bool isLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

} // namespace

Reachability::Reachability(Target target, const QString& host)
    : target_(target)
    , host_(host)
    , localWiFiRef_(target == Target::LocalWiFi)
{
}

Reachability::~Reachability()
{
    stopNotifier();
}

std::unique_ptr<Reachability> Reachability::reachabilityWithHostName(const QString& hostName)
{
    if (hostName.isEmpty())
        return nullptr;
    return std::unique_ptr<Reachability>(new Reachability(Target::HostName, hostName));
}

std::unique_ptr<Reachability> Reachability::reachabilityWithAddress(const QByteArray& address)
{
    // The family decides the length the bytes must have.
    if (address.size() < qsizetype(sizeof(sa_family_t)))
        return nullptr;
    sockaddr_storage storage {};
    memcpy(&storage, address.constData(), std::min<size_t>(size_t(address.size()), sizeof(storage)));
    QHostAddress host;
    if (storage.ss_family == AF_INET && address.size() >= qsizetype(sizeof(sockaddr_in)))
        host.setAddress(reinterpret_cast<const sockaddr*>(&storage));
    else if (storage.ss_family == AF_INET6 && address.size() >= qsizetype(sizeof(sockaddr_in6)))
        host.setAddress(reinterpret_cast<const sockaddr*>(&storage));
    else
        return nullptr;
    return std::unique_ptr<Reachability>(new Reachability(Target::Address, host.toString()));
}

std::unique_ptr<Reachability> Reachability::reachabilityForInternetConnection()
{
    return std::unique_ptr<Reachability>(new Reachability(Target::Internet, QStringLiteral("0.0.0.0")));
}

std::unique_ptr<Reachability> Reachability::reachabilityForLocalWiFi()
{
    return std::unique_ptr<Reachability>(new Reachability(Target::LocalWiFi, QStringLiteral("169.254.0.0")));
}

void Reachability::setFlagsOverride(std::function<std::optional<quint32>(const Reachability&)> flags)
{
    std::lock_guard lock(overrideMutex);
    flagsOverride = std::move(flags);
}

std::optional<quint32> Reachability::reachabilityFlags() const
{
    {
        std::function<std::optional<quint32>(const Reachability&)> answer;
        {
            std::lock_guard lock(overrideMutex);
            answer = flagsOverride;
        }
        if (answer)
            return answer(*this);
    }
    switch (target_) {
    case Target::LocalWiFi:
        return platform::Reachability::hasActiveInterface() ? quint32(kFlagReachable | kFlagIsDirect) : 0u;
    case Target::HostName:
    case Target::Address:
        if (isLoopbackHost(host_))
            return quint32(kFlagReachable | kFlagIsLocalAddress | kFlagIsDirect);
        [[fallthrough]];
    case Target::Internet:
        return platform::Reachability::isNetworkReachable() ? quint32(kFlagReachable) : 0u;
    }
    return std::nullopt;
}

NetworkStatus Reachability::localWiFiStatusForFlags(quint32 flags)
{
    return (flags & kFlagReachable) && (flags & kFlagIsDirect) ? ReachableViaNetwork : NotReachable;
}

NetworkStatus Reachability::networkStatusForFlags(quint32 flags)
{
    if (!(flags & kFlagReachable))
        return NotReachable;
    if ((flags & (kFlagConnectionOnTraffic | kFlagConnectionOnDemand))
        && !(flags & kFlagInterventionRequired))
        return ReachableViaNetwork;
    return (flags & kFlagConnectionRequired) ? NotReachable : ReachableViaNetwork;
}

bool Reachability::connectionRequired() const
{
    const std::optional<quint32> flags = reachabilityFlags();
    return flags && (*flags & kFlagConnectionRequired);
}

NetworkStatus Reachability::currentReachabilityStatus() const
{
    const std::optional<quint32> flags = reachabilityFlags();
    if (!flags)
        return NotReachable;
    return localWiFiRef_ ? localWiFiStatusForFlags(*flags) : networkStatusForFlags(*flags);
}

bool Reachability::startNotifier()
{
    if (timer_)
        return false;
    lastFlags_ = reachabilityFlags();
    timer_ = std::make_unique<platform::RunLoopTimer>(
        pollInterval_, true, platform::RunLoopModes::defaultMode(), [this] { poll(); });
    timer_->start();
    return true;
}

void Reachability::stopNotifier()
{
    timer_.reset();
}

void Reachability::poll()
{
    const std::optional<quint32> flags = reachabilityFlags();
    if (flags == lastFlags_)
        return;
    lastFlags_ = flags;
    platform::NotificationCenter::defaultCenter().postNotification(
        QString::fromLatin1(kReachabilityChangedNotification), QVariant::fromValue(static_cast<void*>(this)));
}
