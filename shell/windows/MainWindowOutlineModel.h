#pragma once

#include "shell/menu/BaseNode.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QList>
#include <limits>

// The main window's menu outline as an item model: one column, the node
// titles; group nodes hold their children, leaves none. Rebuilt whole with
// setNodes(); it keeps the nodes alive while it shows them.
class MainWindowOutlineModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    // Under this role each index answers its node's link id.
    static constexpr int kLinkIdRole = Qt::UserRole + 1;

    explicit MainWindowOutlineModel(QObject* parent = nullptr);

    void setNodes(BaseNode::List nodes);
    // How many levels the outline shows (at least one); the entries of a
    // group at the last level are left out. Takes effect at setNodes.
    void setShownDepth(int levels);
    BaseNode::Ptr nodeAt(const QModelIndex& index) const;
    // Between index paths of the controller and model indexes.
    QList<qsizetype> indexPath(const QModelIndex& index) const;
    QModelIndex indexOfPath(const QList<qsizetype>& path) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Place {
        const BaseNode* parent = nullptr;
        int row = 0;
        BaseNode::List children;
        BaseNode::Ptr self;
    };
    const Place* placeOf(const BaseNode* node) const;
    void fileAll();

    BaseNode::List nodes_;
    QHash<const BaseNode*, Place> places_;
    int shownDepth_ = std::numeric_limits<int>::max();
};
