// Menu reply to tree: the first byte picks the form. 0: a reply payload whose
// first record set holds the menu rows; otherwise lines of
// "id<TAB>parent<TAB>name<TAB>link". Whatever the list says (cycles,
// duplicate ids, missing parents), the tree must be finite, hold each node
// at most once, and the stored form must read back to the same shape.
#include "comm/recordset/VEKTCRS.h"
#include "shell/menu/RDOMenuManager.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <unordered_set>

namespace {

std::size_t placedNodes(const RDOMenuManager& menu)
{
    std::unordered_set<const RDOMenuInfo*> seen;
    std::vector<const RDOMenuInfo*> stack;
    for (const auto& root : menu.rootMenuItemArray())
        stack.push_back(root.get());
    while (!stack.empty()) {
        const RDOMenuInfo* node = stack.back();
        stack.pop_back();
        if (!seen.insert(node).second)
            std::abort(); // placed twice, or a cycle
        for (const auto& child : node->childArray)
            stack.push_back(child.get());
    }
    return seen.size();
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
    const std::size_t placed = placedNodes(*menu);
    if (placed > menu->allMenuItemsArray().size())
        std::abort();

    QVariantList items;
    for (const auto& node : menu->allMenuItemsArray())
        items.append(node->toDict());
    const RDOMenuManager stored(QVariantMap { { QStringLiteral("menu_items"), items } });
    if (stored.allMenuItemsArray().size() != menu->allMenuItemsArray().size()
        || placedNodes(stored) != placed)
        std::abort();
    return 0;
}
