#include "shell/menu/MenuManager.h"

#include "comm/recordset/ServerNumber.h"
#include "core/DataModelManager.h"
#include "core/SystemInfo.h"
#include "core/UserDefaultConfig.h"
#include "platform/PropertyList.h"
#include "platform/UserFolder.h"
#include "shell/ShellDataModels.h"

#include <QDir>
#include <QFileInfo>
#include <unordered_set>

namespace {

std::unique_ptr<MenuManager> instance;

void put(std::string& field, const std::optional<QString>& text)
{
    const QByteArray bytes = text.value_or(QString()).toUtf8();
    field.assign(bytes.constData(), size_t(bytes.size()));
}

} // namespace

MenuManager* MenuManager::getInstance()
{
    if (!instance)
        instance = std::make_unique<MenuManager>();
    return instance.get();
}

void MenuManager::resetInstance()
{
    instance.reset();
}

MenuManager::MenuManager(DataModelManager* dataModelManager, UserDefaultConfig* userDefaultConfig,
    SystemInfo* systemInfo, const QString& configFolder)
    : dataModelManager(dataModelManager ? dataModelManager : DataModelManager::getInstance())
    , userDefaultConfig(userDefaultConfig ? userDefaultConfig : UserDefaultConfig::getInstance())
    , systemInfo(systemInfo ? systemInfo : SystemInfo::getInstance())
    , configFolder(
          configFolder.isEmpty() ? platform::UserFolder::path() + QStringLiteral("/Config") : configFolder)
{
    menuPath = this->configFolder + u'/' + QLatin1String(kMenuFileName);
    visiblePath = this->configFolder + u'/' + QLatin1String(kMenuVisibleFileName);
    restoreMenuItemsVisibleSetting();
}

MenuManager::~MenuManager() = default;

bool MenuManager::needRequestMenuInfo(const QString& serverMenuVersion)
{
    // A reply without a version says nothing about the stored menu: it is
    // fetched again, whatever was stored.
    const std::optional<QString> stored = userDefaultConfig->menuVersion();
    if (!serverMenuVersion.isEmpty() && stored && *stored == serverMenuVersion && QFileInfo::exists(menuPath)
        && getMenuInfoFromLocal(menuPath))
        return false;
    version = serverMenuVersion;
    return true;
}

QString MenuManager::requestMenuInfo(IQueryMenuInfoDelegate* observer)
{
    if (!dmQueryMenuInfo)
        dmQueryMenuInfo
            = dataModelManager->getDataModel(QString::fromLatin1(DMQueryMenuInfo::info.identifier));
    if (!dmQueryMenuInfo)
        return QString();
    tagRequestParam param;
    dmQueryMenuInfo->mallocParam(&param);
    tagQueryMenuInfoParam& p = *param.queryMenuInfo();
    put(p.utid, userDefaultConfig->userUtid());
    put(p.hardwareInfo, systemInfo->systemString());
    put(p.contId, userDefaultConfig->contId());
    put(p.softVersion, systemInfo->appVersion());
    const QString handle = dmQueryMenuInfo->requestData(observer, param, kTimeout);
    dmQueryMenuInfo->freeParam(&param);
    return handle;
}

void MenuManager::setMenuInfo(std::shared_ptr<RDOMenuManager> newMenu)
{
    // A menu without entries is a failed fetch: the menu held stays, and
    // neither it nor its version is stored, so the next start asks again.
    if (!newMenu || newMenu->allMenuItemsArray().empty())
        return;
    menu = std::move(newMenu);
    if (!saveMenuInfoToLocal(menuPath))
        return;
    userDefaultConfig->setMenuVersion(version);
    applyMenuItemsVisibleSetting();
}

bool MenuManager::makeConfigFolder() const
{
    // The per-user folder is made at start-up; only "Config" is made here.
    const QDir folder(configFolder);
    return folder.exists() || QDir().mkdir(configFolder);
}

bool MenuManager::saveMenuInfoToLocal(const QString& path)
{
    QVariantList items;
    if (menu) {
        for (const RDOMenuInfo::Ptr& node : menu->allMenuItemsArray())
            items.append(node->toDict());
    }
    if (!makeConfigFolder())
        return false;
    return platform::PropertyList::writeFileAtomic(
        path, QVariantMap { { QStringLiteral("menu_items"), items } });
}

bool MenuManager::getMenuInfoFromLocal(const QString& path)
{
    const std::optional<QVariant> stored = platform::PropertyList::readFile(path);
    if (!stored || stored->typeId() != QMetaType::QVariantMap)
        return false;
    // A menu stored without entries (by a build that kept a failed fetch)
    // offers nothing to trade: it is fetched again.
    auto read = std::make_shared<RDOMenuManager>(stored->toMap());
    if (read->allMenuItemsArray().empty())
        return false;
    menu = std::move(read);
    return true;
}

RDOMenuInfo::Ptr MenuManager::tradeRoot() const
{
    if (!menu || menu->rootMenuItemArray().size() <= kTradeRootIndex)
        return nullptr;
    return menu->rootMenuItemArray()[kTradeRootIndex];
}

std::vector<RDOMenuInfo::Ptr> MenuManager::getRootMenuArray()
{
    const RDOMenuInfo::Ptr root = tradeRoot();
    if (!root)
        return {};
    for (const RDOMenuInfo::Ptr& child : root->childArray) {
        if (child->isGroup()
            && (servernumber::wholeValueOf(child->menuId) == kStockConnectGroupId
                || child->menuName == QString::fromUtf8(kStockConnectGroupName))) {
            root->deleteChild(child.get());
            break;
        }
    }
    return { root };
}

RDOMenuInfo::Ptr MenuManager::getRootMenuInfo()
{
    auto node = std::make_shared<RDOMenuInfo>();
    for (const RDOMenuInfo::Ptr& root : getRootMenuArray())
        node->addChild(root);
    return node;
}

QStringList MenuManager::menuItemsArray()
{
    QStringList titles;
    for (const RDOMenuInfo::Ptr& root : getRootMenuArray())
        titles.append(root->menuName);
    titles.append(QString::fromUtf8(kMyTradeTitle));
    return titles;
}

RDOMenuInfo::Ptr MenuManager::getTradeMenuInfo(const QString& title) const
{
    if (title == QString::fromUtf8(kMyTradeTitle))
        return tradeRoot();
    if (!menu)
        return nullptr;
    for (const RDOMenuInfo::Ptr& root : menu->rootMenuItemArray()) {
        if (root->menuName == title)
            return root;
    }
    return nullptr;
}

std::optional<QString> MenuManager::getPMDParam() const
{
    if (!menu)
        return std::nullopt;
    for (const RDOMenuInfo::Ptr& root : menu->rootMenuItemArray()) {
        if (root->menuLinkType == RDOMenuInfo::kIndexTicker)
            return root->menuLink;
    }
    return std::nullopt;
}

RDOMenuInfo::Ptr MenuManager::findMenuInfoWithLinkId(qint32 linkId) const
{
    if (!menu)
        return nullptr;
    // Without recursion, and entering each node once: a node may sit under
    // several parents.
    std::vector<RDOMenuInfo::Ptr> stack(menu->rootMenuItemArray().rbegin(), menu->rootMenuItemArray().rend());
    std::unordered_set<const RDOMenuInfo*> seen;
    while (!stack.empty()) {
        RDOMenuInfo::Ptr node = stack.back();
        stack.pop_back();
        if (!seen.insert(node.get()).second)
            continue;
        if (node->menuLinkId == linkId)
            return node;
        stack.insert(stack.end(), node->childArray.rbegin(), node->childArray.rend());
    }
    return nullptr;
}

void MenuManager::ensureVisibleDefaults()
{
    if ((menuVisibleDictionary && !menuVisibleDictionary->isEmpty()) || !menu)
        return;
    QVariantMap defaults;
    for (const RDOMenuInfo::Ptr& node : menu->allMenuItemsArray())
        defaults.insert(node->menuId, QStringLiteral("1"));
    menuVisibleDictionary = defaults;
}

bool MenuManager::getMenuItemVisible(const QString& menuId)
{
    ensureVisibleDefaults();
    if (!menuVisibleDictionary)
        menuVisibleDictionary = QVariantMap();
    const auto found = menuVisibleDictionary->constFind(menuId);
    if (found == menuVisibleDictionary->constEnd()) {
        menuVisibleDictionary->insert(menuId, QStringLiteral("1"));
        return true;
    }
    // By its value: a file may hold "1", "1.000", a number or a boolean;
    // one without a value hides the entry, as "0" does.
    return servernumber::valueOf(*found).value_or(0) != 0;
}

void MenuManager::setMenuItemVisible(bool visible, const QString& menuId)
{
    ensureVisibleDefaults();
    if (!menuVisibleDictionary)
        menuVisibleDictionary = QVariantMap();
    menuVisibleDictionary->insert(menuId, QString::number(visible ? 1 : 0));
}

bool MenuManager::applyMenuItemsVisibleSetting()
{
    ensureVisibleDefaults();
    if (!menuVisibleDictionary || menuVisibleDictionary->isEmpty())
        return false;
    if (!makeConfigFolder())
        return false;
    return platform::PropertyList::writeFileAtomic(visiblePath, *menuVisibleDictionary);
}

void MenuManager::restoreMenuItemsVisibleSetting()
{
    const std::optional<QVariant> stored = platform::PropertyList::readFile(visiblePath);
    if (stored && stored->typeId() == QMetaType::QVariantMap)
        menuVisibleDictionary = stored->toMap();
    else
        menuVisibleDictionary.reset();
}
