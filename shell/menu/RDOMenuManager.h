#pragma once

#include "shell/menu/RDOMenuInfo.h"

#include <QVariantMap>
#include <vector>

class VEKTCRS;

// The whole menu: every node in reply order, the roots in reply order, and
// the tree linked from them by parent id. The server's list may come in any
// order; it may also be wrong (cycles, duplicate ids, missing parents): a
// node goes under every node of its parent id, sharing its own children, but
// never below itself, so the tree is always finite; links to nodes placed
// before stop at kMenuPlacementBudget; a node that cannot be placed stays
// only in allMenuItemsArray.
class RDOMenuManager {
public:
    RDOMenuManager() = default;
    // initWithTCRSObj: one node per row of the reply's record set.
    explicit RDOMenuManager(const VEKTCRS& recordSet);
    // initWithDict: the dictionary read from "Menu.plist".
    explicit RDOMenuManager(const QVariantMap& dict);
    // From nodes already made, in list order.
    explicit RDOMenuManager(std::vector<RDOMenuInfo::Ptr> nodes);

    const std::vector<RDOMenuInfo::Ptr>& allMenuItemsArray() const { return allMenuItems; }
    const std::vector<RDOMenuInfo::Ptr>& rootMenuItemArray() const { return rootMenuItems; }

private:
    void add(RDOMenuInfo::Ptr node);
    // initMenuInfo: links children to parents, keeping the list's order.
    void initMenuInfo();

    std::vector<RDOMenuInfo::Ptr> allMenuItems;
    std::vector<RDOMenuInfo::Ptr> rootMenuItems;
};
