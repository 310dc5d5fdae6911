// The client's resident memory while a customer goes round the pages and
// places orders, in the main window against the in-process broker simulator:
// 撤单 → 资产查询 → 买入 from the menu, and buy orders confirmed in the
// dialog on the buying page, each answered in its message box; and 2,020
// rounds in which the broker hangs up on every connection and the client
// reconnects (BM_Reconnects). Each benchmark runs its rounds once (200 of
// pages or orders); the first 20 let the caches and pools settle, and the
// counters give how much the process grew over the rest, which must stay
// under 2 MB (the run fails with the figure otherwise):
//   rss_before_mb    resident set after the settling rounds
//   rss_growth_kb    resident set (as `ps` shows it), after malloc_trim
//   heap_growth_kb   bytes the allocator hands out (mallinfo2)
//   *_per_round_b    the same per round
// The simulator shares the process: its back office keeps every order it
// booked (under 1 kB an order), the only growth that is not the client's.
#include "app/SharedServices.h"
#include "bench/TradeDesk.h"
#include "comm/request/CSNetwork.h"
#include "core/DMNotificationCenter.h"
#include "core/UserDefaultConfig.h"
#include "quotes/requests/QuoteDataModels.h"
#include "shell/ShellDataModels.h"
#include "shell/menu/MenuManager.h"
#include "shell/ui/MainWindow.h"
#include "tools/broker-sim/LoginFunctions.h"
#include "trading/pages/TradeViewController.h"
#include "trading/ui/QueryPageViews.h"
#include "trading/ui/TradingViews.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <functional>
#include <malloc.h>
#include <memory>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr int kRounds = 200;
constexpr int kSettling = 20;
constexpr qint64 kMaxGrowth = 2 * 1024 * 1024;
// Each round drops the trade and the quote connection.
constexpr int kReconnectRounds = 2020;

// The resident set in bytes, after the allocator gave back what it could.
qint64 residentBytes()
{
    malloc_trim(0);
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

qint64 heapBytes()
{
    return qint64(mallinfo2().uordblks);
}

// Spins the main loop until `done` holds or `limit` passes; answers `done()`.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s)
{
    QEventLoop loop;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end)
        loop.processEvents(QEventLoop::AllEvents, 10);
    return done();
}

struct MenuCatcher : IQueryMenuInfoDelegate {
    std::shared_ptr<RDOMenuManager> menu;
    bool failed = false;
    void queryMenuInfo(DataModel*, const QString&, const std::shared_ptr<RDOMenuManager>& m) override
    {
        menu = m;
    }
    bool queryMenuInfo(DataModel*, const QString&, const CSError&) override { return failed = true; }
};

// The logged-in customer's main window with the simulator's menu, the
// trading pages and their views, quotes included.
struct Desk : TradeDesk {
    QPointer<MainWindow> window;
    QString price;

    Desk()
    {
        servers.quote = NetworkFactory::makeServerInfo(
            NetworkFactory::kQuote, QStringLiteral("127.0.0.1"), QString::number(sim.httpPort()), 10);
        registerQuotesDataModels();
        registerShellDataModels();
        installTradingViews();
        registerQueryPageViews();
        logInWithShareholderAccount();

        price = prepareBuying();

        // The menu goes to a known terminal.
        const QString terminal = QStringLiteral("bench-terminal");
        sim.state().addTerminalId(terminal);
        UserDefaultConfig::getInstance()->setUserUtid(terminal);
        UserDefaultConfig::getInstance()->setContId(sim.state().broker().data().contId);
        MenuCatcher catcher;
        MenuManager::getInstance()->requestMenuInfo(&catcher);
        spinUntil([&] { return catcher.menu || catcher.failed; });
        if (catcher.menu)
            MenuManager::getInstance()->setMenuInfo(catcher.menu);
        window = new MainWindow();
        window->show();
        // The dialog's confirm button, pressed once the dialog is on screen.
        OrderAlertWindowController::setShownHookForTesting([](OrderAlertWindowController& dialog) {
            QTimer::singleShot(0, &dialog, [&dialog] { dialog.confirmButtonClicked(); });
        });
    }
    // The window, then every shared service as the application ends, while
    // the simulator and the server list they point at are still here.
    ~Desk()
    {
        OrderAlertWindowController::setShownHookForTesting({});
        delete window.data();
        releaseSharedServices();
    }

    // A click on the menu entry `title`; the page is shown once its requests
    // have been answered.
    bool open(const QString& title)
    {
        const QAbstractItemModel* model = window->outlineView()->model();
        const QModelIndexList found = model->match(
            model->index(0, 0), Qt::DisplayRole, title, 1, Qt::MatchExactly | Qt::MatchRecursive);
        if (found.isEmpty())
            return false;
        QTreeView* outline = window->outlineView();
        outline->scrollTo(found.front());
        QTest::mouseClick(
            outline->viewport(), Qt::LeftButton, {}, outline->visualRect(found.front()).center());
        return window->currentPageView() && settle();
    }

    // Every request answered, the pages' deferred deletes done.
    bool settle()
    {
        NetworkFactory* networks = NetworkFactory::getInstance();
        const bool answered = spinUntil([&] {
            return networks->getNetwork(NetworkFactory::kTrade)->requestCount() == 0
                && networks->getNetwork(NetworkFactory::kQuote)->requestCount() == 0;
        });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // The simulator shares the process: its log of requests is not the client's.
        sim.clearReceived();
        return answered;
    }

    bool pageRound()
    {
        return open(QStringLiteral("撤单")) && open(QStringLiteral("资产查询"))
            && open(QStringLiteral("买入"));
    }

    // One buy order on the buying page, confirmed in the dialog.
    bool order()
    {
        auto* page = qobject_cast<TradeViewController*>(window->controller().currentShow());
        if (!page
            && (!open(QStringLiteral("买入"))
                || !(page = qobject_cast<TradeViewController*>(window->controller().currentShow()))))
            return false;
        page->setCodeText(QStringLiteral("600000"));
        if (!settle())
            return false;
        page->setPriceText(price);
        page->setQuantityText(QStringLiteral("100"));
        const QString before = page->lastOrderNumber();
        page->orderButtonClicked();
        if (!spinUntil([&] { return !page->isBusy() && page->lastOrderNumber() != before; }))
            return false;
        // The order number's message box, answered as the customer does.
        QMessageBox* box = nullptr;
        if (!spinUntil([&] { return (box = window->findChild<QMessageBox*>()) != nullptr; }))
            return false;
        QTest::mouseClick(box->defaultButton(), Qt::LeftButton);
        return settle() && !window->findChild<QMessageBox*>();
    }
};

std::unique_ptr<Desk> theDesk;

Desk& desk()
{
    if (!theDesk)
        theDesk = std::make_unique<Desk>();
    return *theDesk;
}

// Runs `round` `rounds` times and reports the growth after the settling rounds.
void measureRounds(benchmark::State& state, const std::function<bool()>& round, int rounds = kRounds,
    int settling = kSettling)
{
    const auto run = [&](int count) {
        for (int i = 0; i < count; ++i) {
            if (!round()) {
                state.SkipWithError("a round did not finish");
                return false;
            }
        }
        return true;
    };
    for (auto _ : state) {
        if (!run(settling))
            return;
        const qint64 rss = residentBytes();
        const qint64 heap = heapBytes();
        state.counters["rss_before_mb"] = double(rss) / (1024 * 1024);
        const int measured = rounds - settling;
        if (!run(measured))
            return;
        const double rssGrowth = double(residentBytes() - rss);
        const double heapGrowth = double(heapBytes() - heap);
        state.counters["rss_growth_kb"] = rssGrowth / 1024;
        state.counters["heap_growth_kb"] = heapGrowth / 1024;
        state.counters["rss_per_round_b"] = rssGrowth / measured;
        state.counters["heap_per_round_b"] = heapGrowth / measured;
        state.counters["rss_mb"] = double(residentBytes()) / (1024 * 1024);
        if (std::max(rssGrowth, heapGrowth) >= kMaxGrowth) {
            const std::string why = QStringLiteral("the client grew by %1 kB over %2 rounds")
                                        .arg(qint64(std::max(rssGrowth, heapGrowth)) / 1024)
                                        .arg(measured)
                                        .toStdString();
            state.SkipWithError(why.c_str());
        }
    }
}

void BM_PageRounds(benchmark::State& state)
{
    Desk& d = desk();
    measureRounds(state, [&d] { return d.pageRound(); });
}
BENCHMARK(BM_PageRounds)->Iterations(1)->Unit(benchmark::kSecond);

void BM_Orders(benchmark::State& state)
{
    Desk& d = desk();
    measureRounds(state, [&d] { return d.order(); });
}
BENCHMARK(BM_Orders)->Iterations(1)->Unit(benchmark::kSecond);

// The server lists of the real client, pointing twice at the simulator's
// fronts, with delays short enough for thousands of reconnects: each round the
// simulator drops every connection, the networks move to the other server and
// the trade network logs on again, while the main window and the account hear
// of every connection as they do against a broker that hangs up.
struct Reconnects {
    Desk& d;
    QTemporaryDir folder;
    std::unique_ptr<DMServerManager> lists;
    int moves = 0;

    explicit Reconnects(Desk& desk)
        : d(desk)
    {
        DMServerManager::Options options;
        options.userPath = folder.filePath(QStringLiteral("ServerInfo.plist"));
        options.firstRetryDelay = options.maxRetryDelay = 0.001;
        lists = std::make_unique<DMServerManager>(
            [] { return static_cast<INetworkFactory*>(NetworkFactory::getInstance()); },
            DMNotificationCenter::getInstance(), options);
        const QString quote = QStringLiteral("一:127.0.0.1:%1,二:127.0.0.1:%1").arg(d.sim.httpPort());
        const QString trade = QStringLiteral("一:127.0.0.1:%1,二:127.0.0.1:%1").arg(d.sim.tcPort());
        lists->updateServerInfo(*brokersim::serverListsReply(QStringLiteral("模拟"), quote, trade));
        NetworkFactory::getInstance()->setServerManager(lists.get());
        NetworkFactory::getInstance()->setRetryFlag(true);
        DMNotificationCenter::getInstance()->addObserver(this,
            TypedNotificationCenter::Handler([this](const platform::Notification&) { ++moves; }),
            DMServerManager::kConnectionRestart);
    }
    ~Reconnects()
    {
        DMNotificationCenter::getInstance()->removeObserver(this);
        NetworkFactory::getInstance()->setRetryFlag(false);
        NetworkFactory::getInstance()->setServerManager(&d.servers);
    }

    bool round()
    {
        CSNetwork& trade = *NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
        CSNetwork& quote = *NetworkFactory::getInstance()->getNetwork(NetworkFactory::kQuote);
        // Every open connection is lost and moved; a quote side still
        // connecting is not open yet.
        const auto open = [](CSNetwork& n) { return n.connection() && n.connection()->isConnected() ? 1 : 0; };
        const int expected = moves + open(trade) + open(quote);
        d.sim.dropConnections();
        return spinUntil([&] { return moves >= expected && trade.isLoggedOn(); }) && d.settle();
    }
};

void BM_Reconnects(benchmark::State& state)
{
    Desk& d = desk();
    Reconnects reconnects(d);
    measureRounds(state, [&reconnects] { return reconnects.round(); }, kReconnectRounds, kSettling);
    // Trade and quote moves over all the rounds, settling ones included.
    state.counters["reconnects"] = reconnects.moves;
}
BENCHMARK(BM_Reconnects)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theDesk.reset();
    return 0;
}
