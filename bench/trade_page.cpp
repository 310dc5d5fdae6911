// The trading page's order exchange against the in-process broker simulator,
// as the user feels it: from the order button to the confirmation dialog on
// screen (the risk-warning list goes first), and from the confirm button to
// the order number (the order, booked and answered by the back office).
#include "bench/TradeDesk.h"
#include "trading/orders/OrderManager.h"
#include "trading/pages/TradeViewController.h"
#include "trading/security/StockManager.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

struct Desk : TradeDesk {
    std::unique_ptr<TradeViewController> page;
    QString price;

    Desk()
    {
        logInWithShareholderAccount();

        price = prepareBuying();

        auto node = std::make_shared<BaseNode>();
        node->nodeLinkId = 10000;
        page = std::make_unique<TradeViewController>(node);
        page->load();
    }

    // One order: the time to the dialog and the time from confirm to the number.
    std::pair<double, double> order()
    {
        page->setCodeText(QStringLiteral("600000"));
        page->setPriceText(price);
        page->setQuantityText(QStringLiteral("100"));
        const QString before = page->lastOrderNumber();
        Clock::time_point pressed, shown, confirmed, answered;
        OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& c) {
            shown = Clock::now();
            QTimer::singleShot(0, &c, [&c, &confirmed] {
                confirmed = Clock::now();
                c.confirmButtonClicked();
            });
        });
        pressed = Clock::now();
        page->orderButtonClicked();
        QEventLoop loop;
        while (page->isBusy() || page->lastOrderNumber() == before)
            loop.processEvents(QEventLoop::WaitForMoreEvents);
        answered = Clock::now();
        using S = std::chrono::duration<double>;
        return { S(shown - pressed).count(), S(answered - confirmed).count() };
    }
};

std::unique_ptr<Desk> theDesk;

void BM_OrderButtonToDialog(benchmark::State& state)
{
    if (!theDesk)
        theDesk = std::make_unique<Desk>();
    for (auto _ : state)
        state.SetIterationTime(theDesk->order().first);
}
BENCHMARK(BM_OrderButtonToDialog)->UseManualTime()->Repetitions(5)->ReportAggregatesOnly(false);

void BM_ConfirmToOrderNumber(benchmark::State& state)
{
    if (!theDesk)
        theDesk = std::make_unique<Desk>();
    for (auto _ : state)
        state.SetIterationTime(theDesk->order().second);
}
BENCHMARK(BM_ConfirmToOrderNumber)->UseManualTime()->Repetitions(5)->ReportAggregatesOnly(false);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    OrderAlertWindowController::setShownHookForTesting({});
    theDesk.reset();
    OrderManager::resetInstance();
    QueryInfoManager::resetInstance();
    StockManager::resetInstance();
    AccountManager::resetInstance();
    DMServerManager::resetInstance();
    NetworkFactory::resetInstance();
    CSSession::releaseAll();
    return 0;
}
