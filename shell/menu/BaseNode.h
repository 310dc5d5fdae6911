#pragma once

#include "shell/menu/RDOMenuInfo.h"

#include <QImage>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class MenuManager;

// TreeAdditionObj: the values inserted into an outline for one menu node.
class TreeAdditionObj {
public:
    // initWithRDOMenuInfo:selectItsParent:
    TreeAdditionObj(const RDOMenuInfo& menuInfo, bool selectItsParent);

    const QString& nodeName() const { return nodeName_; }
    bool selectItsParent() const { return selectItsParent_; }
    bool isGroup() const { return isGroup_; }
    const QString& nodeId() const { return nodeId_; }
    const QString& parentId() const { return parentId_; }
    const QString& nodeLink() const { return nodeLink_; }
    qint64 nodeLinkId() const { return nodeLinkId_; }
    const QString& nodeImage() const { return nodeImage_; }
    qint64 nodeLinkType() const { return nodeLinkType_; }

private:
    QString nodeName_;
    bool selectItsParent_ = false;
    bool isGroup_ = false;
    QString nodeId_;
    QString parentId_;
    QString nodeLink_;
    qint64 nodeLinkId_ = 0;
    QString nodeImage_;
    qint64 nodeLinkType_ = 0;
};

// One entry of a menu outline (the main window's and the menu editor's); the
// selected one is handed to a content page. A leaf's children are the leaf
// itself, as the outline's tree controller expects.
class BaseNode : public std::enable_shared_from_this<BaseNode> {
public:
    using Ptr = std::shared_ptr<BaseNode>;
    using List = std::vector<Ptr>;

    BaseNode(); // init: "BaseNode Untitled", no children, not a leaf
    // Frees the subtree without recursion: a menu of any depth is safe to drop.
    virtual ~BaseNode();
    static Ptr initLeaf();

    bool isLeaf() const { return isLeaf_; }
    void setLeaf(bool leaf);
    // For a leaf, a list holding the node itself.
    List children() const;
    void setChildren(List children);
    void addChild(const Ptr& child);

    // compare: by title, both lower-cased (<0, 0, >0).
    int compare(const BaseNode& other) const;
    bool isDraggable() const { return false; }

    // parentFromArray: the member of `nodes` (searched depth first) whose
    // children hold this very node; none when the node is at the top of
    // `nodes` or not found.
    Ptr parentFromArray(const List& nodes) const;
    // indexPathInArray: positions from the top of `nodes` down to the node;
    // none when it cannot be reached. One walk over the tree, however deep.
    std::optional<QList<qsizetype>> indexPathInArray(const List& nodes) const;

    // Tree operations over the children of non-leaf nodes.
    List descendants() const;
    List allChildLeafs() const;
    List groupChildren() const;
    bool isDescendantOfNodes(const List& nodes) const;
    bool isDescendantOfOrOneOfNodes(const List& nodes) const;
    void removeObjectFromChildren(const BaseNode* node);

    bool isGroup = false;
    bool isVisiable = true;
    QString nodeTitle;
    QString nodeId;
    QImage nodeIcon;
    QString parentId;
    QString nodeLink; // enciphered, as the menu keeps it
    qint64 nodeLinkId = 0;
    qint64 nodeLinkType = 0;

protected:
    explicit BaseNode(QString title);

private:
    bool isLeaf_ = false;
    List children_;
};

// The node class the outlines insert; its title starts empty and it carries
// a text of its own.
class ChildNode : public BaseNode {
public:
    using Ptr = std::shared_ptr<ChildNode>;
    ChildNode();
    static Ptr initLeaf();

    void setText(const QString& text) { text_ = text; }
    const QString& text() const { return text_; }

private:
    QString text_;
};

// The outline of a menu node: its children at the top, groups with their
// entries, every node made from a TreeAdditionObj. `userMenu` leaves out the
// hidden nodes with their subtrees (the main window's outline; the menu
// editor shows all). Visibility comes from `menuManager`.
BaseNode::List buildMenuOutline(const RDOMenuInfo& menuNode, bool userMenu, MenuManager& menuManager);

// How many levels the menu windows show. Their tree views lay out and free
// nested rows one call per level, so a menu from the server deeper than
// this shows its upper levels only; no real menu comes near it.
inline constexpr int kShownMenuLevels = 32;

// The first node with that link id, depth first; none when absent.
BaseNode::Ptr findNodeWithLinkId(const BaseNode::List& nodes, qint64 linkId);

// The index path of the first node, depth first, that `matches`; none when
// no node does. One walk without recursion, so any depth is safe.
std::optional<QList<qsizetype>> findIndexPath(
    const BaseNode::List& nodes, const std::function<bool(const BaseNode&)>& matches);
