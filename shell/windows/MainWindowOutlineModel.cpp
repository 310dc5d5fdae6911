#include "shell/windows/MainWindowOutlineModel.h"

#include "shell/windows/MainWindowController.h"

#include <algorithm>
#include <vector>

MainWindowOutlineModel::MainWindowOutlineModel(QObject* parent)
    : QAbstractItemModel(parent)
{
}

void MainWindowOutlineModel::setShownDepth(int levels)
{
    shownDepth_ = std::max(levels, 1);
}

void MainWindowOutlineModel::setNodes(BaseNode::List nodes)
{
    beginResetModel();
    nodes_ = std::move(nodes);
    places_.clear();
    fileAll();
    endResetModel();
}

void MainWindowOutlineModel::fileAll()
{
    // With a list of its own rather than the call stack, so a menu of any
    // depth is safe. Each node is filed under the first parent that lists
    // it: a node listed twice would have two parents.
    struct Pending {
        BaseNode::Ptr node;
        int depth;
    };
    std::vector<Pending> pending;
    auto file = [&](const BaseNode::Ptr& node, const BaseNode* parent, int row, int depth) {
        if (!node || places_.contains(node.get()))
            return false;
        places_.insert(node.get(), Place { parent, row, {}, node });
        pending.push_back({ node, depth });
        return true;
    };
    // Top-level rows are the list's own positions.
    for (int row = 0; row < int(nodes_.size()); ++row)
        file(nodes_[size_t(row)], nullptr, row, 1);
    std::reverse(pending.begin(), pending.end());
    while (!pending.empty()) {
        const Pending next = std::move(pending.back());
        pending.pop_back();
        if (next.node->isLeaf() || next.depth >= shownDepth_)
            continue;
        const std::size_t firstChild = pending.size();
        BaseNode::List shown;
        for (const BaseNode::Ptr& child : next.node->children()) {
            if (file(child, next.node.get(), int(shown.size()), next.depth + 1))
                shown.push_back(child);
        }
        places_[next.node.get()].children = std::move(shown);
        // The first child is taken next: the nodes are filed in the order
        // the outline shows them.
        std::reverse(pending.begin() + std::ptrdiff_t(firstChild), pending.end());
    }
}

const MainWindowOutlineModel::Place* MainWindowOutlineModel::placeOf(const BaseNode* node) const
{
    const auto found = places_.constFind(node);
    return found == places_.constEnd() ? nullptr : &*found;
}

BaseNode::Ptr MainWindowOutlineModel::nodeAt(const QModelIndex& index) const
{
    if (!index.isValid())
        return nullptr;
    const Place* place = placeOf(static_cast<const BaseNode*>(index.internalPointer()));
    return place ? place->self : nullptr;
}

QList<qsizetype> MainWindowOutlineModel::indexPath(const QModelIndex& index) const
{
    QList<qsizetype> path;
    for (QModelIndex at = index; at.isValid(); at = at.parent())
        path.prepend(at.row());
    return path;
}

QModelIndex MainWindowOutlineModel::indexOfPath(const QList<qsizetype>& path) const
{
    QModelIndex at;
    for (qsizetype row : path) {
        at = index(int(row), 0, at);
        if (!at.isValid())
            return QModelIndex();
    }
    return at;
}

QModelIndex MainWindowOutlineModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return QModelIndex();
    const BaseNode::List* list = &nodes_;
    if (parent.isValid()) {
        const Place* place = placeOf(static_cast<const BaseNode*>(parent.internalPointer()));
        if (!place)
            return QModelIndex();
        list = &place->children;
    }
    if (size_t(row) >= list->size() || !(*list)[size_t(row)])
        return QModelIndex();
    return createIndex(row, 0, (*list)[size_t(row)].get());
}

QModelIndex MainWindowOutlineModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return QModelIndex();
    const Place* place = placeOf(static_cast<const BaseNode*>(child.internalPointer()));
    if (!place || !place->parent)
        return QModelIndex();
    const Place* parentPlace = placeOf(place->parent);
    return parentPlace ? createIndex(parentPlace->row, 0, const_cast<BaseNode*>(place->parent))
                       : QModelIndex();
}

int MainWindowOutlineModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return int(nodes_.size());
    if (parent.column() != 0)
        return 0;
    const Place* place = placeOf(static_cast<const BaseNode*>(parent.internalPointer()));
    return place ? int(place->children.size()) : 0;
}

int MainWindowOutlineModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant MainWindowOutlineModel::data(const QModelIndex& index, int role) const
{
    const BaseNode::Ptr node = nodeAt(index);
    if (!node)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return node->nodeTitle;
    case kLinkIdRole:
        return node->nodeLinkId;
    default:
        return QVariant();
    }
}

Qt::ItemFlags MainWindowOutlineModel::flags(const QModelIndex& index) const
{
    const BaseNode::Ptr node = nodeAt(index);
    if (!node)
        return Qt::NoItemFlags;
    // Groups only open and close; cells are never edited in place.
    return MainWindowController::shouldSelectItem(*node) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                                         : Qt::ItemIsEnabled;
}
