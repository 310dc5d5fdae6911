#pragma once
// The in-process broker simulator with a trade server (and, where a desk
// wants one, a quote server) pointing at it and a customer logged in there:
// the set-up the order and page benchmarks share.
#include "comm/request/CSSession.h"
#include "core/DMServerManager.h"
#include "core/NetworkFactory.h"
#include "login/AccountManager.h"
#include "login/LoginDataModels.h"
#include "login/LoginRecords.h"
#include "platform/TlsTrust.h"
#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/Broker.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/Market.h"
#include "tools/broker-sim/Table.h"
#include "trading/requests/SecurityInfoDataModels.h"

#include <QTemporaryDir>
#include <optional>

// The trade server, and the quote server where a desk sets one.
class TradeServer : public INetworkServerManager {
public:
    std::optional<CSServerInfo> trade;
    std::optional<CSServerInfo> quote;
    std::optional<CSServerInfo>& of(int32_t type) { return type == 1 ? trade : quote; }
    quint64 numberOfServerInfosByType(int32_t type) override { return of(type) ? 1 : 0; }
    qint64 indexOfSelectedByType(int32_t type) override { return of(type) ? 0 : -1; }
    std::optional<CSServerInfo> serverInfoOfSelectedByType(int32_t type) override { return of(type); }
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

    // The customer as the active account, with the record and the Shanghai
    // shareholder account the trade login's reply gives.
    void logInWithShareholderAccount()
    {
        using brokersim::Table;
        std::vector<VEKTCRS> sets;
        sets.push_back(*brokersim::toRecordSet(Table()
                                                   .column("singleflag", brokersim::kInt32)
                                                   .column("custid")
                                                   .column("name")
                                                   .column("com_url")
                                                   .row({ "1", "010100000001", "张三", prefix }),
            2));
        sets.push_back(*brokersim::toRecordSet(Table()
                                                   .column("~market")
                                                   .column("market", brokersim::kInt32)
                                                   .column("secuid")
                                                   .column("~secuidType", brokersim::kInt32)
                                                   .row({ "上海A股", "1", "A101000001", "0" }),
            2));
        auto account = std::make_shared<Account>();
        account->initWithRDOAccount(RDOAccount(sets));
        account->isLoginStatus = true;
        AccountManager::getInstance()->addActiveAccount(account);
    }

    // Orders taken at any hour, money enough for every one of them, and the
    // limit-up price of 600000, at which a buy fills at once.
    QString prepareBuying()
    {
        brokersim::BackOffice* office = brokersim::backOffice(sim);
        office->setTradingHoursEnforced(false);
        brokersim::BackOffice::Money& money
            = office->account(*customer).money[QStringLiteral("010110000001")];
        money.balance = money.available = qint64(1) << 60;
        const brokersim::MarketSecurity& s = *brokersim::market(sim)->security(QStringLiteral("600000"));
        return brokersim::Market::ticksText(brokersim::Market::priceLimitTicks(s, true), s.precision);
    }
};
