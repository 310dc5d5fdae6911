#pragma once

#include "platform/DeviceInfo.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class IPMacAddressInfo;
class QNetworkAccessManager;

// A failure of the public-address lookup: the message as the domain, and a code.
struct IPMacAddressError {
    QString domain;
    qint64 code = 0;
};

// Receives the asynchronous public-address lookup. Never owned: a delegate
// that goes away unregisters itself, so a late reply reaches nobody. It holds
// the instance it is registered with weakly, so either may go first (at
// process exit the shared instance may be gone before a delegate).
class PublicIPDelegate {
public:
    PublicIPDelegate() = default;
    // A copy is registered nowhere.
    PublicIPDelegate(const PublicIPDelegate&) { }
    PublicIPDelegate& operator=(const PublicIPDelegate&) { return *this; }
    virtual ~PublicIPDelegate();

    // ipMacAddressInfo:publicIP:
    virtual void ipMacAddressInfo(IPMacAddressInfo& info, const QString& publicIP) = 0;
    // ipMacAddressInfo:error:
    virtual void ipMacAddressInfo(IPMacAddressInfo& info, const IPMacAddressError& error) = 0;

private:
    friend class IPMacAddressInfo;
    std::weak_ptr<IPMacAddressInfo*> registeredWith_;
};

// The addresses of this machine: the IPv4 interfaces that are up, the active
// one with its hardware address, and the public address under which the
// broker's web server sees us. Main thread only; nothing here blocks.
class IPMacAddressInfo {
public:
    static constexpr char kLookupPath[] = "/register/checkok.jsp";
    static constexpr char kParseErrorDomain[] = "解析错误";
    static constexpr qint64 kParseErrorCode = 3000;
    static constexpr char kTimeoutDomain[] = "请求超时";
    static constexpr qint64 kTimeoutCode = 6;
    // A reply body larger than this is no address reply.
    static constexpr qsizetype kMaxReplyBytes = 64 * 1024;

    static IPMacAddressInfo* sharedInstance();
    static bool hasSharedInstance();
    // The web server of the shared instance: set on it at once when it exists,
    // else when it is made (so setting it never starts a lookup by itself).
    // DMServerManager sets it whenever it connects a network.
    static void setSharedWebServer(const QUrl& base);
    // Tests: drops the shared instance and forgets its web server (its
    // lookups are cancelled silently);
    // SystemInfo::resetInstance() calls it, as SystemInfo holds the instance.
    static void resetSharedInstance();

    ~IPMacAddressInfo();
    IPMacAddressInfo(const IPMacAddressInfo&) = delete;
    IPMacAddressInfo& operator=(const IPMacAddressInfo&) = delete;

    // Forgets the interface addresses, scans the interfaces again and restarts
    // the public-address lookup; the last good public address is kept until
    // the lookup finds another, and the address it finds goes to the delegate.
    void reset();
    // Asks the web server for the public address and tells the delegate;
    // cancels a lookup still running. Does not change publicIP().
    void getPublicIP();

    std::optional<QString> activeIP() const { return activeIP_; }
    void setActiveIP(const std::optional<QString>& value) { activeIP_ = value; }
    std::optional<QString> activeMac() const { return activeMac_; }
    void setActiveMac(const std::optional<QString>& value) { activeMac_ = value; }
    // None until a start-up lookup ends (or with no web server set); the empty
    // text when the lookups failed and none ever found an address; else the
    // last address a lookup found (a later failure keeps it).
    std::optional<QString> publicIP() const { return publicIP_; }
    void setPublicIP(const std::optional<QString>& value) { publicIP_ = value; }
    PublicIPDelegate* delegate() const { return delegate_; }
    void setDelegate(PublicIPDelegate* delegate);

    // Entries with "ifname", "ipname", "ipaddress" and, when known, "mac".
    QList<QVariantMap> ipMacInfos() const { return ipMacInfos_; }

    // The broker's web server ("http://host:port"): DMServerManager sets the
    // selected quote server (the broker's plain-HTTP server) whenever it
    // connects a network. A new address restarts the start-up lookup.
    void setWebServer(const QUrl& base);
    QUrl webServer() const { return webServer_; }
    // Time-outs of the start-up lookup (5 s) and of getPublicIP (60 s).
    void setTimeouts(std::chrono::milliseconds startup, std::chrono::milliseconds lookup);
    bool isLookingUp() const;

    // The address a reply body carries after "clientIP:", "X-Forwarded-For:"
    // or "Proxy-Client-IP:" (first marker found in that order), up to the end
    // of the line; nullopt when there is no marker or no valid IP literal.
    static std::optional<QString> parsePublicIP(const QByteArray& body);

private:
    friend class PublicIPDelegate;
    using Done = std::function<void(const std::optional<IPMacAddressError>&, const QByteArray&)>;

    IPMacAddressInfo();
    void scanInterfaces();
    void initIPAddresses(const std::vector<platform::InterfaceRecord>& records);
    void initHWAddresses(const std::vector<platform::InterfaceRecord>& records);
    void activeAddressInfo();
    void initPublicIP();
    struct Lookup;
    std::shared_ptr<Lookup> startLookup(std::chrono::milliseconds timeout, Done done);
    void forgetDelegate(PublicIPDelegate* delegate);

    std::optional<QString> activeIP_;
    std::optional<QString> activeMac_;
    QList<QVariantMap> ipMacInfos_;
    std::shared_ptr<Lookup> connection;
    std::shared_ptr<Lookup> startupLookup_;
    PublicIPDelegate* delegate_ = nullptr;
    // What delegates hold weakly; it goes first when the instance goes.
    std::shared_ptr<IPMacAddressInfo*> self_;
    std::optional<QString> publicIP_;
    // A reset's lookup (or the one that replaced it) tells the delegate what it finds.
    bool tellDelegateOfLookup_ = false;

    std::unique_ptr<QNetworkAccessManager> manager_;
    QUrl webServer_;
    std::chrono::milliseconds startupTimeout_ { 5000 };
    std::chrono::milliseconds lookupTimeout_ { 60000 };
};
