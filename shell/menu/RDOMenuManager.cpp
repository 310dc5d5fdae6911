#include "shell/menu/RDOMenuManager.h"

#include "comm/recordset/VEKTCRS.h"

#include <QHash>
#include <unordered_map>

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
    // Children of each parent id, in list order.
    QHash<QString, std::vector<RDOMenuInfo*>> byParent;
    QHash<const RDOMenuInfo*, RDOMenuInfo::Ptr> owner;
    for (const RDOMenuInfo::Ptr& node : allMenuItems) {
        byParent[node->parentId].push_back(node.get());
        owner.insert(node.get(), node);
    }

    // A node goes under every node whose id is its parent id, so one node
    // may sit under several; its own children are linked once. Depth first
    // from each root with an explicit stack (a long chain of parents cannot
    // exhaust the call stack). A child that is already on the path down to
    // its parent is not linked there: that link would close a cycle. A child
    // linked before goes under a further parent only while the budget lasts,
    // so repeated ids cannot multiply the links.
    enum class Linking : uint8_t { NotYet, OnPath, Done };
    std::unordered_map<const RDOMenuInfo*, Linking> state;
    struct Frame {
        RDOMenuInfo* node;
        const std::vector<RDOMenuInfo*>* children;
        size_t next;
    };
    std::vector<Frame> path;
    std::size_t repeatedLinks = 0;
    const auto enter = [&](RDOMenuInfo* node) {
        state[node] = Linking::OnPath;
        const auto found = byParent.constFind(node->menuId);
        path.push_back({ node, found == byParent.constEnd() ? nullptr : &*found, 0 });
    };
    for (const RDOMenuInfo::Ptr& root : rootMenuItems) {
        if (state[root.get()] != Linking::NotYet)
            continue;
        enter(root.get());
        while (!path.empty()) {
            Frame& frame = path.back();
            if (!frame.children || frame.next == frame.children->size()) {
                state[frame.node] = Linking::Done;
                path.pop_back();
                continue;
            }
            RDOMenuInfo* child = (*frame.children)[frame.next++];
            const Linking linking = state[child];
            if (linking == Linking::OnPath)
                continue;
            if (linking == Linking::Done) {
                if (repeatedLinks == kMenuPlacementBudget)
                    continue;
                ++repeatedLinks;
            }
            frame.node->addChild(owner.value(child));
            if (linking == Linking::NotYet)
                enter(child);
        }
    }
}
