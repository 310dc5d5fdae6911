#include "shell/menu/RDOMenuManager.h"

#include "comm/recordset/VEKTCRS.h"

#include <QHash>
#include <algorithm>
#include <cstdint>
#include <memory_resource>
#include <set>

RDOMenuManager::RDOMenuManager(const VEKTCRS& recordSet)
{
    VEKTCRS rows = recordSet;
    for (qint32 row = 0; row < rows.rowsAffected(); ++row) {
        if (rows.moveTo(row))
            add(std::make_shared<RDOMenuInfo>(rows));
    }
    initMenuInfo();
}

RDOMenuManager::RDOMenuManager(const QVariantMap& dict)
{
    for (const QVariant& item : dict.value(QStringLiteral("menu_items")).toList()) {
        if (item.typeId() == QMetaType::QVariantMap)
            add(std::make_shared<RDOMenuInfo>(item.toMap()));
    }
    initMenuInfo();
}

RDOMenuManager::RDOMenuManager(std::vector<RDOMenuInfo::Ptr> nodes)
{
    for (RDOMenuInfo::Ptr& node : nodes) {
        if (node)
            add(std::move(node));
    }
    initMenuInfo();
}

void RDOMenuManager::add(RDOMenuInfo::Ptr node)
{
    node->childArray.clear();
    if (node->isRoot())
        rootMenuItems.push_back(node);
    allMenuItems.push_back(std::move(node));
}

void RDOMenuManager::initMenuInfo()
{
    if (allMenuItems.empty())
        return;
    // Each entry of the list is a slot; a node listed twice is one node with
    // two slots. The slots of one parent id are its children, in list order.
    constexpr std::uint32_t kNone = UINT32_MAX;
    enum class Linking : uint8_t { NotYet, OnPath, Done };
    // The sets grow and shrink by one slot at a time: their entries come from
    // one arena, freed at once when the linking ends.
    std::pmr::monotonic_buffer_resource arena;
    struct Children {
        explicit Children(std::pmr::memory_resource* memory)
            : open(memory)
            , done(memory)
        {
        }
        std::pmr::set<std::uint32_t> open; // slots whose node is not linked yet
        std::pmr::set<std::uint32_t> done; // slots whose node is linked with all its children
    };
    const auto slotCount = std::uint32_t(allMenuItems.size());
    std::vector<std::uint32_t> nodeAt(slotCount);
    std::vector<std::uint32_t> nextSlotOfNode(slotCount, kNone);
    std::vector<RDOMenuInfo::Ptr> nodes;
    std::vector<std::uint32_t> firstSlot;
    std::vector<std::uint32_t> lastSlot;
    std::vector<std::uint32_t> listOf; // the children a node's own slots belong to
    std::vector<Children> lists;
    QHash<const RDOMenuInfo*, std::uint32_t> numbers;
    QHash<QString, std::uint32_t> listOfParentId;
    for (std::uint32_t slot = 0; slot < slotCount; ++slot) {
        const RDOMenuInfo::Ptr& item = allMenuItems[slot];
        const auto known = numbers.constFind(item.get());
        const std::uint32_t number = known == numbers.constEnd() ? std::uint32_t(nodes.size()) : *known;
        if (number == nodes.size()) {
            numbers.insert(item.get(), number);
            auto list = listOfParentId.constFind(item->parentId);
            if (list == listOfParentId.constEnd()) {
                list = listOfParentId.insert(item->parentId, std::uint32_t(lists.size()));
                lists.emplace_back(&arena);
            }
            nodes.push_back(item);
            firstSlot.push_back(slot);
            lastSlot.push_back(slot);
            listOf.push_back(*list);
        } else {
            nextSlotOfNode[lastSlot[number]] = slot;
            lastSlot[number] = slot;
        }
        nodeAt[slot] = number;
        lists[listOf[number]].open.insert(lists[listOf[number]].open.end(), slot);
    }

    // A node goes under every node whose id is its parent id, so one node
    // may sit under several; its own children are linked once. Depth first
    // from each root with an explicit stack (a long chain of parents cannot
    // exhaust the call stack). A child that is already on the path down to
    // its parent is not linked there: that link would close a cycle. A child
    // linked before goes under a further parent only while the budget lasts,
    // so repeated ids cannot multiply the links. The walk visits only the
    // children it can still link: those on the path are passed over, and
    // once the budget is spent so are those linked before, however many
    // parents of one id come back to them.
    std::vector<Linking> state(nodes.size(), Linking::NotYet);
    struct Frame {
        std::uint32_t node;
        Children* children;
        std::uint32_t from; // the first slot not visited yet
    };
    std::vector<Frame> path;
    std::size_t repeatedLinks = 0;
    const auto enter = [&](std::uint32_t node) {
        state[node] = Linking::OnPath;
        for (std::uint32_t slot = firstSlot[node]; slot != kNone; slot = nextSlotOfNode[slot])
            lists[listOf[node]].open.erase(slot);
        const auto found = listOfParentId.constFind(nodes[node]->menuId);
        path.push_back({ node, found == listOfParentId.constEnd() ? nullptr : &lists[*found], 0 });
    };
    const auto leave = [&](std::uint32_t node) {
        state[node] = Linking::Done;
        for (std::uint32_t slot = firstSlot[node]; slot != kNone; slot = nextSlotOfNode[slot])
            lists[listOf[node]].done.insert(slot);
    };
    const auto nextSlot = [&](const Frame& frame) {
        if (!frame.children)
            return kNone;
        const auto open = frame.children->open.lower_bound(frame.from);
        std::uint32_t slot = open == frame.children->open.end() ? kNone : *open;
        if (repeatedLinks < kMenuPlacementBudget) {
            const auto done = frame.children->done.lower_bound(frame.from);
            if (done != frame.children->done.end())
                slot = std::min(slot, *done);
        }
        return slot;
    };
    for (const RDOMenuInfo::Ptr& root : rootMenuItems) {
        const std::uint32_t number = numbers.value(root.get());
        if (state[number] != Linking::NotYet)
            continue;
        enter(number);
        while (!path.empty()) {
            Frame& frame = path.back();
            const std::uint32_t slot = nextSlot(frame);
            if (slot == kNone) {
                leave(frame.node);
                path.pop_back();
                continue;
            }
            frame.from = slot + 1;
            const std::uint32_t child = nodeAt[slot];
            const Linking linking = state[child];
            if (linking == Linking::Done)
                ++repeatedLinks;
            nodes[frame.node]->addChild(nodes[child]);
            if (linking == Linking::NotYet)
                enter(child);
        }
    }
}
