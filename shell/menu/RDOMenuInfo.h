#pragma once

#include <QString>
#include <QVariantMap>
#include <cstddef>
#include <memory>
#include <vector>

class VEKTCRS;

// How many entries a menu may make before a node already placed is no longer
// placed or opened again. The server may repeat ids, and a node goes under
// every node of its parent id, so a few repeated ids on each of many levels
// would multiply the entries without end; no real menu comes near this.
inline constexpr std::size_t kMenuPlacementBudget = 100'000;

// One node of the function menu. The link is kept enciphered under kMenuKey
// (Base64 text, or empty); whoever needs the plain link deciphers it at the
// moment of use. The link id and link type are worked out from the plain
// link when the node is made.
class RDOMenuInfo {
public:
    using Ptr = std::shared_ptr<RDOMenuInfo>;

    static constexpr char kMenuKey[] = "7A31C0D2-5E88-4B19-A6F4-0C2D93E57B16";

    // Link types, by the link's function name.
    enum LinkType : qint32 {
        kTradeQuery = 0, // "tradequery": generic query page
        kHisQuery = 1, // "hisquery": date-range historic query
        kTradeHisQuery = 2, // "tradehisquery": today/history pair
        kIndexTicker = 3, // "zshqpmd": the status bar's index ticker
        kPageByLinkId = 4,
    };

    RDOMenuInfo() = default; // init: no fields, no children
    RDOMenuInfo(const RDOMenuInfo&) = default;
    RDOMenuInfo(RDOMenuInfo&&) = default;
    RDOMenuInfo& operator=(const RDOMenuInfo&) = default;
    RDOMenuInfo& operator=(RDOMenuInfo&&) = default;
    // Frees the subtree without recursion: a menu of any depth is safe to drop.
    ~RDOMenuInfo();
    // initWithTCRSObj: the node of the record set's current row.
    explicit RDOMenuInfo(const VEKTCRS& row);
    // initWithDict: a node stored in "Menu.plist" (link kept as stored).
    explicit RDOMenuInfo(const QVariantMap& dict);
    // A node from plain fields, as a reply row gives them (the link plain).
    static Ptr fromFields(const QString& menuId, const QString& parentId, const QString& menuName,
        const QString& plainLink, const QString& menuImage);

    // The stored form of "Menu.plist".
    QVariantMap toDict() const;

    bool isRoot() const;
    bool isGroup() const { return !childArray.empty(); }
    void addChild(const Ptr& child) { childArray.push_back(child); }
    void deleteChild(const RDOMenuInfo* child);

    // getMenuLinkTypeWithLinkString and getMenuLinkIdWithIdString, on plain links.
    static qint32 getMenuLinkTypeWithLinkString(const QString& link);
    static qint32 getMenuLinkIdWithIdString(const QString& link);
    // The plain link; "" when there is none or it cannot be deciphered.
    QString plainLink() const;

    std::vector<Ptr> childArray;
    qint32 menuLinkId = 0;
    qint32 menuLinkType = kPageByLinkId;
    QString menuId;
    QString parentId;
    QString menuName;
    QString menuLink; // enciphered
    QString menuImage;

private:
    void setPlainLink(const QString& link);
};
