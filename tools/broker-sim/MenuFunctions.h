#pragma once

#include "tools/broker-sim/Request.h"

#include <QList>
#include <QString>
#include <memory>

namespace brokersim {

class BrokerSimulator;

// The function menu (1000 / 3): one row per node, "cm_menu_id",
// "cm_menu_pid", "cm_menu_name", "cm_menu_link", "cm_menu_image".
inline constexpr Function kMenuFunction { 1000, 3 };

struct MenuNode {
    QString id;
    QString parentId; // "-1" for a root
    QString name;
    QString link; // plain: the client enciphers it when it stores the menu
    QString image;
};

// The menu the simulator serves. Its version is the application login's
// "menu_version" (Broker::setMenuVersion changes it).
class MenuBoard {
public:
    // The built-in menu: five roots, the fifth the trading menu whose entries
    // each open a page of the client (trading pages, queries, funds, bank
    // transfers, Stock Connect, settings; one entry, 适当性审核, answers the
    // not-supported message), web links, and the index ticker's root, listed
    // children before parents as a server may.
    MenuBoard();
    explicit MenuBoard(QList<MenuNode> nodes)
        : nodes_(std::move(nodes))
    {
    }

    const QList<MenuNode>& nodes() const { return nodes_; }
    void setNodes(QList<MenuNode> nodes) { nodes_ = std::move(nodes); }

private:
    QList<MenuNode> nodes_;
};

// Registers the menu function, answering from `board` (the built-in menu
// when none). It needs a known terminal id ("utid") and the "cont_id" of the
// application login.
void registerMenuFunctions(BrokerSimulator& simulator, std::shared_ptr<MenuBoard> board = nullptr);

// The menu and the message centre with their built-in data.
void registerShellFunctions(BrokerSimulator& simulator);

} // namespace brokersim
