#pragma once

// A menu of the served form whose trading root holds a chain of `depth`
// groups, each the only child of the one above, with buy and sell at the
// bottom: the shape that makes any walk over the menu go as deep as it can.
// With `copies` above one, each level holds that many groups of one id, each
// under every group of the level above.
#include "shell/menu/RDOMenuInfo.h"

#include <vector>

namespace shelltest {

inline std::vector<RDOMenuInfo::Ptr> deepTradingMenu(int depth, int copies = 1)
{
    std::vector<RDOMenuInfo::Ptr> nodes;
    for (int root = 1; root <= 5; ++root)
        nodes.push_back(RDOMenuInfo::fromFields(QString::number(root), QStringLiteral("-1"),
            QStringLiteral("根%1").arg(root), root == 5 ? QStringLiteral("trademenu") : QString(), {}));
    QString parent = QStringLiteral("5");
    for (int level = 0; level < depth; ++level) {
        const QString id = QStringLiteral("g%1").arg(level);
        for (int copy = 0; copy < copies; ++copy)
            nodes.push_back(RDOMenuInfo::fromFields(id, parent, QStringLiteral("第%1层").arg(level), {}, {}));
        parent = id;
    }
    nodes.push_back(RDOMenuInfo::fromFields(
        QStringLiteral("11"), parent, QStringLiteral("买入"), QStringLiteral("buysale?MMLB=0"), {}));
    nodes.push_back(RDOMenuInfo::fromFields(
        QStringLiteral("12"), parent, QStringLiteral("卖出"), QStringLiteral("buysale?MMLB=1"), {}));
    return nodes;
}

} // namespace shelltest
