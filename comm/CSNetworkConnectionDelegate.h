#pragma once

#include "comm/StreamSocket.h"

#include <memory>
#include <optional>

class CSNetwork;

// Hears of a network's connection. Never owned by the network: it keeps a
// weak reference to the delegate's lifetime token and calls nothing once the
// delegate is destroyed.
class CSNetworkConnectionDelegate {
public:
    CSNetworkConnectionDelegate() = default;
    CSNetworkConnectionDelegate(const CSNetworkConnectionDelegate&) { }
    CSNetworkConnectionDelegate& operator=(const CSNetworkConnectionDelegate&) { return *this; }
    virtual ~CSNetworkConnectionDelegate() = default;

    // network:willDisconnetWithError: nullopt when the peer closed cleanly.
    virtual void networkWillDisconnetWithError(
        CSNetwork& network, const std::optional<StreamSocketError>& error)
        = 0;
    virtual void networkDidConnected(CSNetwork& network) { }
    // network:proxyError:
    virtual void networkProxyError(CSNetwork& network, const std::optional<StreamSocketError>& error) { }
    virtual void networkDidDisConnected(CSNetwork& network) { }

private:
    friend class CSNetwork;
    std::shared_ptr<const char> lifetime_ = std::make_shared<const char>('\0');
};
