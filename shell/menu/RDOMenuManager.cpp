#include "shell/menu/RDOMenuManager.h"

#include "comm/recordset/VEKTCRS.h"

#include <QHash>
#include <unordered_set>

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
    for (const RDOMenuInfo::Ptr& node : allMenuItems) {
        if (!node->isRoot())
            byParent[node->parentId].push_back(node.get());
    }
    QHash<const RDOMenuInfo*, RDOMenuInfo::Ptr> owner;
    for (const RDOMenuInfo::Ptr& node : allMenuItems)
        owner.insert(node.get(), node);

    // Depth first from each root with an explicit stack (a long chain of
    // parents cannot exhaust the call stack); a node already placed is never
    // placed again, which breaks cycles and keeps duplicate ids finite.
    std::unordered_set<const RDOMenuInfo*> placed;
    for (const RDOMenuInfo::Ptr& root : rootMenuItems)
        placed.insert(root.get());
    for (const RDOMenuInfo::Ptr& root : rootMenuItems) {
        std::vector<RDOMenuInfo*> stack { root.get() };
        while (!stack.empty()) {
            RDOMenuInfo* parent = stack.back();
            stack.pop_back();
            const auto found = byParent.constFind(parent->menuId);
            if (found == byParent.constEnd())
                continue;
            for (RDOMenuInfo* child : *found) {
                if (!placed.insert(child).second)
                    continue;
                parent->addChild(owner.value(child));
            }
            for (auto it = parent->childArray.rbegin(); it != parent->childArray.rend(); ++it)
                stack.push_back(it->get());
        }
    }
}
