#pragma once
// The in-process broker simulator with one trade server pointing at it and a
// customer logged in there: the set-up the order benchmarks share.
#include "comm/request/CSSession.h"
#include "core/DMServerManager.h"
#include "core/NetworkFactory.h"
#include "login/LoginDataModels.h"
#include "platform/TlsTrust.h"
#include "tools/broker-sim/Broker.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "trading/requests/SecurityInfoDataModels.h"

#include <QTemporaryDir>
#include <optional>

class TradeServer : public INetworkServerManager {
public:
    std::optional<CSServerInfo> trade;
    quint64 numberOfServerInfosByType(int32_t type) override { return type == 1 ? 1 : 0; }
    qint64 indexOfSelectedByType(int32_t type) override { return type == 1 ? 0 : -1; }
    std::optional<CSServerInfo> serverInfoOfSelectedByType(int32_t type) override
    {
        return type == 1 ? trade : std::nullopt;
    }
    bool connectToServerByType(int32_t, quint64) override { return false; }
};

struct TradeDesk {
    QTemporaryDir home;
    brokersim::BrokerSimulator sim;
    TradeServer servers;
    const brokersim::Customer* customer = nullptr;
    QString prefix; // the customer's request prefix from the login

    TradeDesk()
    {
        qputenv("LUMORA_HOME", home.path().toUtf8());
        sim.start();
        platform::TlsTrust::addCaCertificates(sim.trustedCertificates());
        DMServerManager::getInstance();
        servers.trade = NetworkFactory::makeServerInfo(
            NetworkFactory::kTrade, QStringLiteral("127.0.0.1"), QString::number(sim.tcPort()), 10);
        NetworkFactory::getInstance()->setServerManager(&servers);
        NetworkFactory::getInstance()->setRetryFlag(false);
        registerLoginDataModels();
        registerTradingDataModels();

        brokersim::Broker& broker = sim.state().broker();
        customer = broker.customer(QStringLiteral("010100000001"));
        prefix = broker.openLogin(
            *customer, QStringLiteral("010110000001"), QStringLiteral("111111"), QStringLiteral("10.1.2.3"));
    }
};
