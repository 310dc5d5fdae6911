// Orders per second through OrderManager, the request core and one TLS trade
// connection to the in-process broker simulator, whose back office checks,
// books and fills each one: one order at a time and 64 in flight (orders are
// never merged, so every one goes on the wire). Compare with bench_roundtrip's
// CSNetwork round trips of a small echo request on the same loopback.
#include "bench/TradeDesk.h"
#include "login/AccountManager.h"
#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/Broker.h"
#include "tools/broker-sim/Market.h"
#include "trading/orders/OrderManager.h"
#include "trading/security/StockManager.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

constexpr int kInFlight = 64;

void waitUntil(const std::function<bool()>& condition)
{
    QEventLoop loop;
    while (!condition())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
}

struct Counter : ITradeStockDelegate {
    qint64 answers = 0;
    qint64 errors = 0;
    void tradeStock(DataModel*, const QString&, const QString&) override { ++answers; }
    bool tradeStock(DataModel*, const QString&, const CSError&) override
    {
        ++errors;
        return true;
    }
};

// The simulator, a logged-in account with money enough for every order, and
// a share whose buy at the limit-up price fills at once.
struct Desk : TradeDesk {
    Counter counter;
    std::unique_ptr<Security> share = StockManager::makeSecurity(1);
    QString price;

    Desk()
    {
        auto account = std::make_shared<Account>();
        account->commonUrlString = prefix;
        account->isLoginStatus = true;
        AccountManager::getInstance()->addActiveAccount(account);

        price = prepareBuying();
        const brokersim::MarketSecurity& s = *brokersim::market(sim)->security(QStringLiteral("600000"));
        share->code = s.code;
        share->marketType = brokersim::Market::tradeMarket(s);
        orders(1); // connection, logon and session
    }

    void orders(int count)
    {
        const qint64 target = counter.answers + counter.errors + count;
        for (int i = 0; i < count; ++i)
            OrderManager::getInstance()->requestOrder(&counter, *share, QStringLiteral("A101000001"), 0,
                price, QStringLiteral("100"), QStringLiteral("限价委托"));
        waitUntil([&] { return counter.answers + counter.errors >= target; });
    }
};

std::unique_ptr<Desk> theDesk;

// Orders sent together before waiting for their answers: 1, or 64 in flight.
void BM_OrderManager(benchmark::State& state)
{
    if (!theDesk)
        theDesk = std::make_unique<Desk>();
    const int together = int(state.range(0));
    for (auto _ : state)
        theDesk->orders(together);
    state.SetItemsProcessed(state.iterations() * together);
    if (theDesk->counter.errors)
        state.SkipWithError("orders failed");
}
BENCHMARK(BM_OrderManager)->Arg(1)->Arg(kInFlight)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    OrderManager::resetInstance();
    QueryInfoManager::resetInstance();
    AccountManager::resetInstance();
    DMServerManager::resetInstance();
    NetworkFactory::resetInstance();
    CSSession::releaseAll();
    theDesk.reset();
    return 0;
}
