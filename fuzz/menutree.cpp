// Menu reply to tree: the first byte picks the form. 0: a reply payload whose
// first record set holds the menu rows; otherwise lines of
// "id<TAB>parent<TAB>name<TAB>link". Whatever the list says (cycles,
// duplicate ids, missing parents), the tree must have no cycle, links to
// nodes placed before must stay within the budget, and the stored form must
// read back to the same shape.
#include "comm/recordset/VEKTCRS.h"
#include "shell/menu/RDOMenuManager.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <unordered_map>
#include <utility>

namespace {

struct Shape {
    std::size_t placed = 0;
    std::size_t links = 0;
    bool operator==(const Shape&) const = default;
};

// Depth first, entering each node once; a node met again while it is still
// on the path down is a cycle.
Shape shapeOf(const RDOMenuManager& menu)
{
    Shape shape;
    std::unordered_map<const RDOMenuInfo*, bool> onPath; // false: done
    std::vector<std::pair<const RDOMenuInfo*, std::size_t>> path;
    for (const auto& root : menu.rootMenuItemArray()) {
        if (onPath.contains(root.get()))
            continue;
        onPath[root.get()] = true;
        path.emplace_back(root.get(), 0);
        while (!path.empty()) {
            auto& [node, next] = path.back();
            if (next == node->childArray.size()) {
                onPath[node] = false;
                ++shape.placed;
                path.pop_back();
                continue;
            }
            const RDOMenuInfo* child = node->childArray[next++].get();
            ++shape.links;
            const auto [at, first] = onPath.try_emplace(child, true);
            if (!first && at->second)
                std::abort(); // a cycle
            if (first)
                path.emplace_back(child, 0);
        }
    }
    return shape;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 64 * 1024)
        return 0;
    const auto* bytes = reinterpret_cast<const char*>(data + 1);
    std::optional<RDOMenuManager> menu;
    if (data[0] == 0) {
        const std::vector<VEKTCRS> sets = VEKTCRS::constructMRWithBytes(bytes, qint64(size - 1), 2);
        if (sets.empty())
            return 0;
        menu.emplace(sets.front());
    } else {
        std::vector<RDOMenuInfo::Ptr> nodes;
        for (const QString& line : QString::fromUtf8(bytes, qsizetype(size - 1)).split(u'\n')) {
            const QStringList f = line.split(u'\t');
            nodes.push_back(
                RDOMenuInfo::fromFields(f.value(0), f.value(1), f.value(2), f.value(3).left(64), QString()));
        }
        menu.emplace(std::move(nodes));
    }
    const Shape shape = shapeOf(*menu);
    const std::size_t all = menu->allMenuItemsArray().size();
    if (shape.placed > all || shape.links > all + kMenuPlacementBudget)
        std::abort();

    QVariantList items;
    for (const auto& node : menu->allMenuItemsArray())
        items.append(node->toDict());
    const RDOMenuManager stored(QVariantMap { { QStringLiteral("menu_items"), items } });
    if (stored.allMenuItemsArray().size() != menu->allMenuItemsArray().size()
        || !(shapeOf(stored) == shape))
        std::abort();
    return 0;
}
