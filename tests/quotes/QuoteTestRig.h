#pragma once

// A fixture with the in-process simulator serving both kinds of server: the
// quote connection over the HTTP form, the trade connection over TLS. Also a
// logged-in account made straight from the simulator's broker.
#include "login/LoginTestRig.h"
#include "quotes/requests/QuoteDataModels.h"
#include "tools/broker-sim/Market.h"

#include <initializer_list>
#include <set>

namespace quotetest {

using namespace std::chrono_literals;

class BothServers : public INetworkServerManager {
public:
    std::optional<CSServerInfo> quote;
    std::optional<CSServerInfo> trade;
    std::optional<CSServerInfo>& of(int32_t type) { return type == 0 ? quote : trade; }
    quint64 numberOfServerInfosByType(int32_t type) override { return of(type) ? 1 : 0; }
    qint64 indexOfSelectedByType(int32_t type) override { return of(type) ? 0 : -1; }
    std::optional<CSServerInfo> serverInfoOfSelectedByType(int32_t type) override { return of(type); }
    bool connectToServerByType(int32_t, quint64) override { return false; }
};

class MarketFixture : public logintest::SimulatorFixture {
protected:
    void SetUp() override
    {
        SimulatorFixture::SetUp();
        registerQuotesDataModels();
        both.quote = NetworkFactory::makeServerInfo(
            NetworkFactory::kQuote, QStringLiteral("127.0.0.1"), QString::number(sim.httpPort()), 10);
        both.trade = servers.trade;
        NetworkFactory::getInstance()->setServerManager(&both);
        NetworkFactory::getInstance()->getNetwork(NetworkFactory::kQuote)->setTimeoutBatchInterval(0.1);
    }

    // An active account whose prefix the simulator accepts (张三).
    std::shared_ptr<Account> logIn()
    {
        brokersim::Broker& broker = sim.state().broker();
        const brokersim::Customer* customer = broker.customer(QStringLiteral("010100000001"));
        EXPECT_NE(customer, nullptr);
        auto account = std::make_shared<Account>();
        account->commonUrlString = broker.openLogin(
            *customer, QStringLiteral("010110000001"), QStringLiteral("111111"), QStringLiteral("10.1.2.3"));
        account->isLoginStatus = true;
        AccountManager::getInstance()->addActiveAccount(account);
        return account;
    }

    // A shareholder account as the trade login's reply lists it.
    struct Holder {
        QString marketName;
        QString market;
        QString code;
    };
    // logIn(), with the customer's record and `holders` filled in as the trade
    // login's reply fills them, for pages that pick a shareholder account.
    void logInWithHolders(const std::vector<Holder>& holders)
    {
        auto account = logIn();
        using brokersim::Table;
        std::vector<VEKTCRS> sets;
        sets.push_back(logintest::HomeFixture::set(Table()
                .column("singleflag", brokersim::kInt32)
                .column("custid")
                .column("name")
                .column("com_url")
                .row({ "1", "010100000001", "张三", account->commonUrlString })));
        Table table = Table()
                          .column("~market")
                          .column("market", brokersim::kInt32)
                          .column("secuid")
                          .column("~secuidType", brokersim::kInt32);
        for (const Holder& holder : holders)
            table.row({ holder.marketName, holder.market, holder.code, "0" });
        sets.push_back(logintest::HomeFixture::set(table));
        account->initWithRDOAccount(RDOAccount(sets));
    }

    brokersim::Market& market() { return *brokersim::market(sim); }

    // Times out, in one batch, every request of `functions` the server has
    // received, as the trade connection's own timer would once it runs out.
    void timeOut(std::initializer_list<brokersim::Function> functions)
    {
        const std::shared_ptr<CSNetwork> trade
            = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
        std::set<quint64> ids;
        for (const brokersim::Function f : functions)
            for (const brokersim::Request& r : sim.receivedOf(f))
                ids.insert(quint64(r.packetId));
        trade->connectionSendPacketsTimeout(*trade->connection(), ids);
    }

    BothServers both;
};

// An observer that keeps what a request class hands it.
#define QUOTETEST_CATCHER(Name, Protocol, verb)                                                         \
    struct Name : Protocol {                                                                            \
        std::vector<Result> results;                                                                    \
        std::vector<CSError> errors;                                                                    \
        std::vector<QString> handles;                                                                   \
        void verb(DataModel*, const QString& handle, const Result& result) override                     \
        {                                                                                               \
            handles.push_back(handle);                                                                  \
            results.push_back(result);                                                                  \
        }                                                                                               \
        bool verb(DataModel*, const QString& handle, const CSError& error) override                     \
        {                                                                                               \
            handles.push_back(handle);                                                                  \
            errors.push_back(error);                                                                    \
            return true;                                                                                \
        }                                                                                               \
        bool done() const { return !results.empty() || !errors.empty(); }                               \
    };

QUOTETEST_CATCHER(QuoteCatcher, IQuoteOf5LevelDelegate, queryQuotesOf5Level)
QUOTETEST_CATCHER(TimesharingCatcher, IStockTimesharingInfoDelegate, queryTimesharingInfo)
QUOTETEST_CATCHER(IndexCatcher, IQueryStockIndexInfoDelegate, queryStockIndexInfo)

} // namespace quotetest
