#pragma once

#include "platform/RunLoop.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>

// Posted on the platform's default notification centre, with the object, on
// every change a started notifier sees.
inline constexpr char kReachabilityChangedNotification[] = "kNetworkReachabilityChangedNotification";

enum NetworkStatus : qint32 { NotReachable = 0, ReachableViaNetwork = 1 };

// Whether a host, an address or the network at all can be reached, from the
// machine-level answer of platform::Reachability, as reachability flags.
class Reachability {
public:
    // The flags (values of the platform's reachability flags).
    enum Flag : quint32 {
        kFlagTransientConnection = 0x1,
        kFlagReachable = 0x2,
        kFlagConnectionRequired = 0x4,
        kFlagConnectionOnTraffic = 0x8,
        kFlagInterventionRequired = 0x10,
        kFlagConnectionOnDemand = 0x20,
        kFlagIsLocalAddress = 0x10000,
        kFlagIsDirect = 0x20000,
    };
    // How often a started notifier looks at the flags (seconds).
    static constexpr double kDefaultPollInterval = 2.0;

    enum class Target { Internet, LocalWiFi, HostName, Address };

    // reachabilityWithHostName: nullptr for an empty name.
    static std::unique_ptr<Reachability> reachabilityWithHostName(const QString& hostName);
    // reachabilityWithAddress: a sockaddr_in or sockaddr_in6 as bytes; nullptr for anything else.
    static std::unique_ptr<Reachability> reachabilityWithAddress(const QByteArray& address);
    // Watches the IPv4 address 0.0.0.0: any route at all.
    static std::unique_ptr<Reachability> reachabilityForInternetConnection();
    // Watches the link-local network 169.254.0.0.
    static std::unique_ptr<Reachability> reachabilityForLocalWiFi();

    ~Reachability(); // stops the notifier
    Reachability(const Reachability&) = delete;
    Reachability& operator=(const Reachability&) = delete;

    // Schedules the watch on the current run loop in the default mode; false
    // when it is already started.
    bool startNotifier();
    void stopNotifier();
    bool isNotifierRunning() const { return timer_ != nullptr; }

    static NetworkStatus localWiFiStatusForFlags(quint32 flags);
    static NetworkStatus networkStatusForFlags(quint32 flags);
    // NO when the flags cannot be read.
    bool connectionRequired() const;
    NetworkStatus currentReachabilityStatus() const;
    // nullopt when the flags cannot be read.
    std::optional<quint32> reachabilityFlags() const;

    Target target() const { return target_; }
    bool isLocalWiFi() const { return localWiFiRef_; }
    const QString& hostName() const { return host_; }

    // Tests: the flags of every object come from here (nullopt: unreadable);
    // an empty function restores the real answer.
    static void setFlagsOverride(std::function<std::optional<quint32>(const Reachability&)> flags);
    void setPollInterval(double seconds) { pollInterval_ = seconds; }

private:
    Reachability(Target target, const QString& host);
    void poll();

    Target target_;
    QString host_;
    bool localWiFiRef_ = false;
    double pollInterval_ = kDefaultPollInterval;
    std::unique_ptr<platform::RunLoopTimer> timer_;
    std::optional<quint32> lastFlags_;
};
