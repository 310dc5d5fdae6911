#include "shell/menu/BaseNode.h"

#include "shell/menu/MenuManager.h"
#include "shell/menu/TreeTeardown.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

TreeAdditionObj::TreeAdditionObj(const RDOMenuInfo& menuInfo, bool selectItsParent)
    : nodeName_(menuInfo.menuName)
    , selectItsParent_(selectItsParent)
    , isGroup_(menuInfo.isGroup())
    , nodeId_(menuInfo.menuId)
    , parentId_(menuInfo.parentId)
    , nodeLink_(menuInfo.menuLink)
    , nodeLinkId_(menuInfo.menuLinkId)
    , nodeImage_(menuInfo.menuImage)
    , nodeLinkType_(menuInfo.menuLinkType)
{
}

BaseNode::BaseNode()
    : BaseNode(QStringLiteral("BaseNode Untitled"))
{
}

BaseNode::BaseNode(QString title)
    : nodeTitle(std::move(title))
{
}

BaseNode::~BaseNode()
{
    releaseTreeIteratively(children_, [](BaseNode& node) -> List& { return node.children_; });
}

BaseNode::Ptr BaseNode::initLeaf()
{
    auto node = std::make_shared<BaseNode>();
    node->setLeaf(true);
    return node;
}

void BaseNode::setLeaf(bool leaf)
{
    isLeaf_ = leaf;
    // A leaf answers itself as its child (see children()); holding itself
    // here would keep it alive for ever.
    children_.clear();
}

BaseNode::List BaseNode::children() const
{
    if (isLeaf_) {
        // A node not owned by a shared pointer has nothing to hand out.
        const Ptr self = std::const_pointer_cast<BaseNode>(weak_from_this().lock());
        return self ? List { self } : List {};
    }
    return children_;
}

void BaseNode::setChildren(List children)
{
    if (!isLeaf_)
        children_ = std::move(children);
}

void BaseNode::addChild(const Ptr& child)
{
    if (!isLeaf_ && child && child.get() != this)
        children_.push_back(child);
}

int BaseNode::compare(const BaseNode& other) const
{
    return QString::compare(nodeTitle.toLower(), other.nodeTitle.toLower());
}

namespace {

// Visits every node below `nodes` in preorder, entering the children of
// non-leaf nodes, without recursion and entering each node once (so even a
// node list someone made circular ends). `visit(node, frames)` answers true
// to stop; `frames` are the lists from the top down to the node's own, each
// with the position just after the node taken from it.
using Frames = std::vector<std::pair<BaseNode::List, std::size_t>>;
template <class Visit> void walkNodes(const BaseNode::List& nodes, Visit&& visit)
{
    Frames frames;
    frames.emplace_back(nodes, 0);
    std::unordered_set<const BaseNode*> entered;
    while (!frames.empty()) {
        if (frames.back().second >= frames.back().first.size()) {
            frames.pop_back();
            continue;
        }
        const BaseNode::Ptr node = frames.back().first[frames.back().second++];
        if (!node)
            continue;
        if (visit(node, std::as_const(frames)))
            return;
        if (!node->isLeaf() && entered.insert(node.get()).second)
            frames.emplace_back(node->children(), 0);
    }
}

} // namespace

BaseNode::Ptr BaseNode::parentFromArray(const List& nodes) const
{
    for (const Ptr& node : nodes) {
        if (node.get() == this)
            return nullptr;
    }
    Ptr parent;
    walkNodes(nodes, [&](const Ptr& node, const Frames&) {
        if (!node || node->isLeaf())
            return false;
        const List kids = node->children();
        if (std::any_of(kids.begin(), kids.end(), [this](const Ptr& k) { return k.get() == this; })) {
            parent = node;
            return true;
        }
        return false;
    });
    return parent;
}

std::optional<QList<qsizetype>> BaseNode::indexPathInArray(const List& nodes) const
{
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].get() == this)
            return QList<qsizetype> { qsizetype(i) };
    }
    return findIndexPath(nodes, [this](const BaseNode& node) { return &node == this; });
}

std::optional<QList<qsizetype>> findIndexPath(
    const BaseNode::List& nodes, const std::function<bool(const BaseNode&)>& matches)
{
    // One pass: the walk's own frames are the way down to the node found.
    std::optional<QList<qsizetype>> path;
    walkNodes(nodes, [&](const BaseNode::Ptr& node, const Frames& frames) {
        if (!matches(*node))
            return false;
        path.emplace();
        path->reserve(qsizetype(frames.size()));
        for (const auto& [list, next] : frames)
            path->append(qsizetype(next) - 1);
        return true;
    });
    return path;
}

BaseNode::List BaseNode::descendants() const
{
    List out;
    if (isLeaf_)
        return out;
    walkNodes(children_, [&](const Ptr& node, const Frames&) {
        out.push_back(node);
        return false;
    });
    return out;
}

BaseNode::List BaseNode::allChildLeafs() const
{
    List out;
    for (const Ptr& node : descendants()) {
        if (node && node->isLeaf())
            out.push_back(node);
    }
    return out;
}

BaseNode::List BaseNode::groupChildren() const
{
    List out;
    if (isLeaf_)
        return out;
    for (const Ptr& node : children_) {
        if (node && !node->isLeaf())
            out.push_back(node);
    }
    return out;
}

bool BaseNode::isDescendantOfNodes(const List& nodes) const
{
    bool found = false;
    for (const Ptr& node : nodes) {
        if (!node || node->isLeaf())
            continue;
        walkNodes(node->children_, [&](const Ptr& n, const Frames&) { return found = n.get() == this; });
        if (found)
            return true;
    }
    return false;
}

bool BaseNode::isDescendantOfOrOneOfNodes(const List& nodes) const
{
    for (const Ptr& node : nodes) {
        if (node.get() == this)
            return true;
    }
    return isDescendantOfNodes(nodes);
}

void BaseNode::removeObjectFromChildren(const BaseNode* target)
{
    if (isLeaf_)
        return;
    std::vector<BaseNode*> stack { this };
    while (!stack.empty()) {
        BaseNode* node = stack.back();
        stack.pop_back();
        const auto at = std::find_if(node->children_.begin(), node->children_.end(),
            [target](const Ptr& n) { return n.get() == target; });
        if (at != node->children_.end()) {
            node->children_.erase(at);
            return;
        }
        for (auto it = node->children_.rbegin(); it != node->children_.rend(); ++it) {
            if (*it && !(*it)->isLeaf())
                stack.push_back(it->get());
        }
    }
}

ChildNode::ChildNode()
    : BaseNode(QString())
{
}

ChildNode::Ptr ChildNode::initLeaf()
{
    auto node = std::make_shared<ChildNode>();
    node->setLeaf(true);
    return node;
}

namespace {

BaseNode::Ptr makeOutlineNode(const TreeAdditionObj& add, MenuManager& menuManager)
{
    BaseNode::Ptr node = add.isGroup() ? BaseNode::Ptr(std::make_shared<ChildNode>()) : ChildNode::initLeaf();
    node->nodeId = add.nodeId();
    node->nodeTitle = add.nodeName();
    node->parentId = add.parentId();
    node->nodeLink = add.nodeLink();
    node->nodeLinkId = add.nodeLinkId();
    node->nodeLinkType = add.nodeLinkType();
    node->isGroup = add.isGroup();
    node->isVisiable = menuManager.getMenuItemVisible(add.nodeId());
    return node;
}

} // namespace

BaseNode::List buildMenuOutline(const RDOMenuInfo& menuNode, bool userMenu, MenuManager& menuManager)
{
    BaseNode::List top;
    // Each step adds the entries of one menu node under one outline parent
    // (none: the top level); no recursion, so a deep menu cannot exhaust the
    // call stack. A menu node may sit under several parents, and it is
    // opened under each until the outline holds kMenuPlacementBudget
    // entries; after that a group opened before stays an empty entry, so
    // the outline grows at most by the menu's own size past the budget.
    struct Step {
        const RDOMenuInfo* menu;
        BaseNode::Ptr parent;
    };
    std::vector<Step> steps { { &menuNode, nullptr } };
    std::unordered_set<const RDOMenuInfo*> opened;
    std::size_t entries = 0;
    while (!steps.empty()) {
        const Step step = steps.back();
        steps.pop_back();
        if (!opened.insert(step.menu).second && entries >= kMenuPlacementBudget)
            continue;
        entries += step.menu->childArray.size();
        std::vector<Step> groups;
        for (const RDOMenuInfo::Ptr& child : step.menu->childArray) {
            if (userMenu && !menuManager.getMenuItemVisible(child->menuId))
                continue;
            const BaseNode::Ptr node = makeOutlineNode(TreeAdditionObj(*child, true), menuManager);
            if (step.parent)
                step.parent->addChild(node);
            else
                top.push_back(node);
            if (child->isGroup())
                groups.push_back({ child.get(), node });
        }
        steps.insert(steps.end(), groups.rbegin(), groups.rend());
    }
    return top;
}

BaseNode::Ptr findNodeWithLinkId(const BaseNode::List& nodes, qint64 linkId)
{
    BaseNode::Ptr found;
    walkNodes(nodes, [&](const BaseNode::Ptr& node, const Frames&) {
        if (node && node->nodeLinkId == linkId)
            found = node;
        return found != nullptr;
    });
    return found;
}
