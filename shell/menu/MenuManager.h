#pragma once

#include "shell/menu/RDOMenuManager.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <optional>
#include <vector>

class DataModel;
class DataModelManager;
class IQueryMenuInfoDelegate;
class SystemInfo;
class UserDefaultConfig;

// The function menu: fetched from the trade server when its version changed
// (or the stored copy does not load), stored in "Config/Menu.plist", and the
// user's choice of hidden entries in "Config/MenuVisible.plist". Main thread
// only.
class MenuManager {
public:
    static constexpr char kMenuFileName[] = "Menu.plist";
    static constexpr char kMenuVisibleFileName[] = "MenuVisible.plist";
    static constexpr char kMyTradeTitle[] = "我的交易";
    static constexpr qint32 kTimeout = 30;
    // The trading root is the fifth root of the menu.
    static constexpr std::size_t kTradeRootIndex = 4;
    static constexpr int kStockConnectGroupId = 51877;
    static constexpr char kStockConnectGroupName[] = "沪港通";

    static MenuManager* getInstance();
    // Tests: drops the shared manager.
    static void resetInstance();

    // init: no menu; reads the visibility file. Services default to the
    // shared instances; `configFolder` to the per-user "Config" folder.
    explicit MenuManager(DataModelManager* dataModelManager = nullptr,
        UserDefaultConfig* userDefaultConfig = nullptr, SystemInfo* systemInfo = nullptr,
        const QString& configFolder = QString());
    ~MenuManager();
    MenuManager(const MenuManager&) = delete;
    MenuManager& operator=(const MenuManager&) = delete;

    // needRequestMenuInfo: false when the stored version equals the server's
    // and the stored menu loads (it is then current); otherwise remembers the
    // server's version for the next save and answers true. No version (an
    // empty one) always answers true.
    bool needRequestMenuInfo(const QString& serverMenuVersion);
    // requestMenuInfo: sends the menu request; the request handle, or "" when
    // it could not be made.
    QString requestMenuInfo(IQueryMenuInfoDelegate* observer);
    // setMenuInfo: makes the menu current and stores it; on success records
    // the version and writes the visibility file. A menu without entries
    // changes nothing.
    void setMenuInfo(std::shared_ptr<RDOMenuManager> menu);
    bool saveMenuInfoToLocal(const QString& path);
    // getMenuInfoFromLocal: makes the stored menu current; false when it is
    // missing, does not parse or holds no entries (the menu held then stays).
    bool getMenuInfoFromLocal(const QString& path);

    // getRootMenuArray: the trading root alone, after taking the Stock Connect
    // group out of it; empty when the menu has no trading root.
    std::vector<RDOMenuInfo::Ptr> getRootMenuArray();
    // getRootMenuInfo: a new empty node whose only child is the trading root.
    RDOMenuInfo::Ptr getRootMenuInfo();
    // menuItemsArray: the names of getRootMenuArray's nodes, then "我的交易".
    QStringList menuItemsArray();
    // getTradeMenuInfo: "我的交易" the trading root, else the first root of
    // that name; none when nothing matches.
    RDOMenuInfo::Ptr getTradeMenuInfo(const QString& title) const;
    // getPMDParam: the (enciphered) link of the first root of link type 3.
    std::optional<QString> getPMDParam() const;
    // The node with that link id, depth first from the roots; none when absent.
    RDOMenuInfo::Ptr findMenuInfoWithLinkId(qint32 linkId) const;

    // getMenuItemVisible: whether the node is shown. Reads memory only: the
    // defaults (every node shown) are made in memory and written by
    // applyMenuItemsVisibleSetting, never by this getter.
    bool getMenuItemVisible(const QString& menuId);
    // setMenuItemVisible: in memory only.
    void setMenuItemVisible(bool visible, const QString& menuId);
    // applyMenuItemsVisibleSetting: writes the dictionary (the defaults when
    // there is none and a menu is loaded); false when nothing was written.
    bool applyMenuItemsVisibleSetting();
    // restoreMenuItemsVisibleSetting: reads the file again (none when missing).
    void restoreMenuItemsVisibleSetting();

    std::shared_ptr<RDOMenuManager> rdoMenuManager() const { return menu; }
    const QString& menuLocalPath() const { return menuPath; }
    const QString& menuVisiblePath() const { return visiblePath; }
    const QString& menuVersion() const { return version; }

private:
    RDOMenuInfo::Ptr tradeRoot() const;
    void ensureVisibleDefaults();
    bool makeConfigFolder() const;

    std::shared_ptr<RDOMenuManager> menu;
    DataModelManager* dataModelManager;
    std::unique_ptr<DataModel> dmQueryMenuInfo;
    UserDefaultConfig* userDefaultConfig;
    SystemInfo* systemInfo;
    QString version;
    QString configFolder;
    QString menuPath;
    QString visiblePath;
    std::optional<QVariantMap> menuVisibleDictionary;
};
