// The main window's jump to the trading page for a position (buy or sell
// from the asset page) in a menu whose trading entries sit at the bottom of
// a chain of groups: finding the entry and its index path walks the outline
// once, so the time grows linearly with the depth (BigO "N").
#include "login/AccountManager.h"
#include "shell/DeepMenu.h"
#include "shell/menu/MenuManager.h"
#include "shell/messages/MessageCenterManager.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/windows/MainWindowController.h"
#include "shell/windows/SessionNotifications.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

class EmptyPage final : public MenuItemViewController {
public:
    using MenuItemViewController::MenuItemViewController;
};

struct DeepMenuWindow {
    std::unique_ptr<MenuManager> menus = std::make_unique<MenuManager>();
    std::unique_ptr<AccountManager> accounts = std::make_unique<AccountManager>();
    std::unique_ptr<MessageCenterManager> store
        = std::make_unique<MessageCenterManager>(nullptr, accounts.get());
    std::unique_ptr<MenuItemViewManager> pages = std::make_unique<MenuItemViewManager>();
    std::unique_ptr<MainWindowController> window;

    explicit DeepMenuWindow(int depth)
    {
        menus->setMenuInfo(std::make_shared<RDOMenuManager>(shelltest::deepTradingMenu(depth)));
        pages->registerPageClass(QStringLiteral("TradeViewController"),
            [](const BaseNode::Ptr& node) { return std::make_unique<EmptyPage>(node); });

        window = std::make_unique<MainWindowController>(MainWindowController::Services {
            .menuManager = menus.get(),
            .accountManager = accounts.get(),
            .menuItemViewManager = pages.get(),
            .messageCenterManager = store.get(),
        });
        window->awakeFromNib();
    }
};

void BM_TradeJumpInADeepMenu(benchmark::State& state)
{
    const int depth = int(state.range(0));
    DeepMenuWindow desk(depth);
    const QVariantMap position { { QString::fromLatin1(pagenotify::kPositionDetailKey),
        QVariantMap { { QStringLiteral("marketCode"), 1 } } } };
    bool buy = true;
    for (auto _ : state) {
        desk.window->switchToTrade(position, buy);
        buy = !buy;
    }
    const auto& path = desk.window->selectedMenuItemIndex();
    if (!path || path->size() != depth + 1)
        state.SkipWithError("the jump did not reach the trading entry");
    state.SetComplexityN(depth);
}
BENCHMARK(BM_TradeJumpInADeepMenu)
    ->RangeMultiplier(2)
    ->Range(1 << 10, 1 << 13)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("LUMORA_HOME", home.path().toUtf8());
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
