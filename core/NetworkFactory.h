#pragma once

#include "comm/request/CSNetworkConnectionDelegate.h"
#include "core/INetworkFactory.h"

#include <QString>
#include <functional>
#include <map>
#include <memory>

class DMNotificationCenter;

// Makes and keeps the request core's networks, one CSNetwork per kind (0
// quote, 1 trade), connects each to the kind's selected server, announces
// established connections (DMNotificationCenter type 2, object the kind) and
// servers that accepted the logon (type 4), tells the server lists when a
// server accepts the logon or a connection is lost, and moves a network to
// another server of its list when its connection is lost.
// Main thread only, but for the creation of the shared instance.
class NetworkFactory final : public INetworkFactory, public CSNetworkConnectionDelegate {
public:
    static constexpr int32_t kQuote = 0;
    static constexpr int32_t kTrade = 1;
    static constexpr int32_t kConnectionEstablished = 2; // DMNotificationCenter type
    // DMNotificationCenter type, object the kind: a server of the kind
    // accepted the logon, so what is asked now is answered by it.
    static constexpr int32_t kServerServes = 4;
    static constexpr qint64 kConnectTimeout = 10; // seconds, for a network's first server

    static NetworkFactory* getInstance();
    // Tests: drops the shared factory and its networks.
    static void resetInstance();

    // The server lists. DMServerManager registers itself here when it is made;
    // until then the provider, when one is set, is asked on first need, so the
    // two services find each other lazily whichever is made first.
    void setServerManager(INetworkServerManager* serverManager);
    INetworkServerManager* serverManager();
    static void setServerManagerProvider(std::function<INetworkServerManager*()> provider);

    // Whether a network can be pointed at a server: the socket's own rule
    // (DialTarget) takes the address and the port text. A list entry that
    // fails this can never be connected to.
    static bool acceptsServer(const QString& address, const QString& portText);
    // A server of a kind, with the host and port as they are dialled: quote
    // servers speak the HTTP form without TLS, trade servers TC frames over
    // TLS. nullopt for a server acceptsServer refuses (rather than connecting
    // to a wrong port or a host no lookup can find).
    static std::optional<CSServerInfo> makeServerInfo(
        int32_t kind, const QString& address, const QString& portText, qint64 timeout);
    // Gives `info` the protocol mode, TLS and time-out of a kind's servers.
    static void configureServerInfo(CSServerInfo& info, int32_t kind, qint64 timeout);

    // INetworkFactory
    std::shared_ptr<CSNetwork> getNetwork(int32_t kind) override;
    void setRetryFlag(bool flag) override { retryFlag = flag; }
    bool getRetryFlag() const { return retryFlag; }

    // The network kept under a kind; nullptr when none was made.
    std::shared_ptr<CSNetwork> existingNetwork(int32_t kind) const override;
    quint64 getQuoteRetryCount() const { return quoteRetryCount; }
    quint64 getTradeRetryCount() const { return tradeRetryCount; }

    // CSNetworkConnectionDelegate
    void networkDidConnected(CSNetwork& network) override;
    void networkDidLogOn(CSNetwork& network) override;
    // network:willDisconnetWithError: nothing to do.
    void networkWillDisconnetWithError(
        CSNetwork& network, const std::optional<StreamSocketError>& error) override;
    void networkDidDisConnected(CSNetwork& network) override;

    // reconnectServer: the next server of the network's list, stepping further
    // on every loss (with 5 servers and server 0 selected: 1, 3, 1, 0, 1, ...).
    void reconnectServer(CSNetwork& network);

    ~NetworkFactory() override;

private:
    NetworkFactory();
    // The kind a network is kept under; nullopt for a network not ours.
    std::optional<int32_t> kindOf(const CSNetwork& network) const;

    bool retryFlag = true;
    std::map<int32_t, std::shared_ptr<CSNetwork>> networkDict;
    INetworkServerManager* serverManager_ = nullptr;
    DMNotificationCenter* notificationCenter;
    quint64 quoteRetryCount = 0;
    quint64 tradeRetryCount = 0;
};
