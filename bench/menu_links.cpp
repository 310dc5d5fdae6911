// Linking a menu reply whose groups repeat one id: root "r", then half the
// rows groups "g" under it and half entries "x" under "g". Every group would
// take every entry again; once the budget for such repeated links is spent
// the rest are passed over without being visited, so the time grows about
// linearly with the rows (BigO "N") instead of with their square.
#include "shell/menu/RDOMenuManager.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

RDOMenuInfo::Ptr menuNode(const char* id, const char* parentId)
{
    return RDOMenuInfo::fromFields(QString::fromLatin1(id), QString::fromLatin1(parentId), QString(), {}, {});
}

std::vector<RDOMenuInfo::Ptr> repeatedIdReply(int rows)
{
    std::vector<RDOMenuInfo::Ptr> nodes { menuNode("r", "-1") };
    for (int i = 0; i < rows; ++i)
        nodes.push_back(i < rows / 2 ? menuNode("g", "r") : menuNode("x", "g"));
    return nodes;
}

void BM_LinkRepeatedIds(benchmark::State& state)
{
    const int rows = int(state.range(0));
    const std::vector<RDOMenuInfo::Ptr> reply = repeatedIdReply(rows);
    std::size_t links = 0;
    for (auto _ : state) {
        const RDOMenuManager menu(reply);
        benchmark::DoNotOptimize(menu.rootMenuItemArray().front()->childArray.size());
        state.PauseTiming();
        links = 0;
        for (const RDOMenuInfo::Ptr& node : menu.allMenuItemsArray())
            links += node->childArray.size();
        state.ResumeTiming();
    }
    // Every group under the root, every entry once, and the budget.
    if (links != std::size_t(rows) + kMenuPlacementBudget)
        state.SkipWithError("the links are not the budgeted number");
    state.SetComplexityN(rows + 1);
}
BENCHMARK(BM_LinkRepeatedIds)
    ->Arg(5'000)
    ->Arg(10'000)
    ->Arg(20'000)
    ->Arg(40'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

} // namespace

BENCHMARK_MAIN();
