#pragma once

#include "comm/request/CSServerInfo.h"

#include <QtGlobal>
#include <cstdint>
#include <memory>
#include <optional>

class CSNetwork;

// What the request classes need of the network factory: the network of a
// kind (0 quote, 1 trade) and the reconnect switch.
class INetworkFactory {
public:
    virtual ~INetworkFactory() = default;
    // getNetwork: made, connected and kept on first call; never null.
    virtual std::shared_ptr<CSNetwork> getNetwork(int32_t kind) = 0;
    // The network of a kind when one was made; nullptr otherwise (made by nothing).
    virtual std::shared_ptr<CSNetwork> existingNetwork(int32_t kind) const { return nullptr; }
    virtual void setRetryFlag(bool flag) = 0;
};

// What the network factory needs of the server lists (DMServerManager): which
// server a new network connects to, and how to move a network to another
// server of its list when its connection is lost. Kinds as above; any other
// kind has no list.
class INetworkServerManager {
public:
    virtual ~INetworkServerManager() = default;
    virtual quint64 numberOfServerInfosByType(int32_t type) = 0;
    // -1 when nothing is selected.
    virtual qint64 indexOfSelectedByType(int32_t type) = 0;
    // The selected server's address and port (NetworkFactory::makeServerInfo
    // builds it from the list's texts); nullopt when none is selected.
    virtual std::optional<CSServerInfo> serverInfoOfSelectedByType(int32_t type) = 0;
    // Selects server `index`, connects the kind's network to it and posts
    // DMNotificationCenter type 0; false when there is no such server.
    virtual bool connectToServerByType(int32_t type, quint64 index) = 0;
    // The same for a move after a lost connection, which may be paced.
    virtual bool reconnectToServerByType(int32_t type, quint64 index)
    {
        return connectToServerByType(type, index);
    }
    // A server of the kind accepted the logon (in HTTP mode: answered a
    // request). Reconnects stop waiting only once it has served a while.
    virtual void logonAcceptedByType(int32_t type) { }
    // The kind's network lost its connection (before any reconnect).
    virtual void connectionLostByType(int32_t type) { }
};
