#pragma once

#include "comm/transport/StreamSocket.h"
#include "platform/Lifetime.h"

#include <optional>

class CSNetwork;

// Hears of a network's connection. Never owned by the network, which calls
// nothing once the delegate is destroyed.
class CSNetworkConnectionDelegate : public platform::Lifetime {
public:
    virtual ~CSNetworkConnectionDelegate() = default;

    // network:willDisconnetWithError: nullopt when the peer closed cleanly.
    virtual void networkWillDisconnetWithError(
        CSNetwork& network, const std::optional<StreamSocketError>& error)
        = 0;
    virtual void networkDidConnected(CSNetwork& network) { }
    // The server serves: it accepted the logon, or, in HTTP mode (which has
    // none), answered a request. Once per connection. An open connection
    // alone proves nothing: a server may close it before answering.
    virtual void networkDidLogOn(CSNetwork& network) { }
    // network:proxyError:
    virtual void networkProxyError(CSNetwork& network, const std::optional<StreamSocketError>& error) { }
    virtual void networkDidDisConnected(CSNetwork& network) { }
};
