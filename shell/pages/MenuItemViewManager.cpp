#include "shell/pages/MenuItemViewManager.h"

#include "core/NotificationCenter.h"

#include <algorithm>
#include <initializer_list>

namespace {

std::unique_ptr<MenuItemViewManager>& sharedManager()
{
    static std::unique_ptr<MenuItemViewManager> manager;
    return manager;
}

struct LinkPage {
    std::initializer_list<qint64> linkIds;
    const char* className;
};

// The pages of link type 4, by link id. Ids that are absent (the Stock
// Connect pages 90000 to 90009, 1, 30009, 30010, 30014, 40003, 40007, 50002,
// 60003, and 0 for a link outside the link table) open no page.
constexpr LinkPage kFunctionPages[] = {
    { { 10000, 10001 }, "TradeViewController" },
    { { 10002 }, "DeputeCancelViewController" },
    { { 10003 }, "AssetQueryViewController" },
    { { 10007, 10008 }, "AfTradeViewController" },
    { { 30001 }, "SubscribeOpdFundViewController" },
    { { 30002 }, "PurchaseOpdFundViewController" },
    { { 30003 }, "RedeemOpdFundViewController" },
    { { 30004 }, "OpdFundCancelOrderViewController" },
    { { 30005 }, "TransformOpdFundViewController" },
    { { 30006 }, "BonusSettingViewController" },
    { { 30007 }, "InvestOntimeViewController" },
    { { 30008 }, "InvestOntimeCancelOrderViewController" },
    { { 30013 }, "OpdQuoteViewController" },
    { { 40001 }, "BankToStockViewController" },
    { { 40002 }, "StockToBankViewController" },
    { { 40004 }, "QueryBalanceViewController" },
    { { 40005 }, "InsideTransferViewController" },
    { { 40006 }, "FundCollectionViewController" },
    { { 50001 }, "RiskAssessmentViewController" },
    { { 60000 }, "ChangePasswordViewController" },
    { { 60001 }, "PermissionSettingsViewController" },
    { { 60002 }, "ReservationInfoViewController" },
    { { 70000 }, "PurchaseViewController" },
    { { 80000 }, "WarrantExerciseViewController" },
};

// The Stock Connect pages, link id 90000 onwards; no menu entry opens them.
constexpr const char* kConnectPages[] = { "HGTTradeViewController", "HGTZSSellViewController",
    "HGTLGSellViewController", "HGTCancelOrderViewController", "HGTQueryStockTargetViewController",
    "HGTVoteViewController", "HGTOtherVoteViewController", "HGTCancelVoteViewController",
    "HGTQueryNotificationViewController", "HGTPermissionSettingsViewController" };
constexpr qint64 kFirstConnectLinkId = 90000;

} // namespace

MenuItemViewManager* MenuItemViewManager::getInstance()
{
    if (!sharedManager())
        sharedManager() = std::make_unique<MenuItemViewManager>();
    return sharedManager().get();
}

void MenuItemViewManager::resetInstance()
{
    sharedManager().reset();
}

MenuItemViewManager::MenuItemViewManager(NotificationCenter* notificationCenter)
    : notificationCenter(notificationCenter ? notificationCenter : NotificationCenter::getInstance())
{
}

QString MenuItemViewManager::pageClassName(qint64 linkType, qint64 linkId)
{
    switch (linkType) {
    case 0:
        return QStringLiteral("CommonQueryViewController");
    case 1:
        return QStringLiteral("HistoricQueryViewController");
    case 2:
        return QStringLiteral("HistoricQueryViewControllerEx");
    case 4:
        for (const LinkPage& page : kFunctionPages) {
            if (std::ranges::find(page.linkIds, linkId) != page.linkIds.end())
                return QString::fromLatin1(page.className);
        }
        return QString();
    default:
        return QString();
    }
}

QString MenuItemViewManager::connectPageClassName(qint64 linkId)
{
    const qint64 index = linkId - kFirstConnectLinkId;
    if (index < 0 || index >= qint64(std::size(kConnectPages)))
        return QString();
    return QString::fromLatin1(kConnectPages[index]);
}

void MenuItemViewManager::registerPageClass(const QString& className, PageFactory factory)
{
    factories_.insert(className, std::move(factory));
}

std::unique_ptr<MenuItemViewController> MenuItemViewManager::getViewController(const BaseNode::Ptr& node)
{
    if (!node)
        return nullptr;
    if (node->nodeLinkType == 4 && node->nodeLinkId == kExitTradingLinkId) {
        askExitTrading();
        return nullptr;
    }
    return makePage(pageClassName(node->nodeLinkType, node->nodeLinkId), node);
}

std::unique_ptr<MenuItemViewController> MenuItemViewManager::openConnectPage(qint64 linkId, const QString& title)
{
    auto node = ChildNode::initLeaf();
    node->nodeLinkType = 4;
    node->nodeLinkId = linkId;
    node->nodeTitle = title;
    return makePage(connectPageClassName(linkId), node);
}

std::unique_ptr<MenuItemViewController> MenuItemViewManager::makePage(
    const QString& className, const BaseNode::Ptr& node)
{
    const auto factory = factories_.constFind(className);
    std::unique_ptr<MenuItemViewController> page;
    if (!className.isEmpty() && factory != factories_.constEnd())
        page = (*factory)(node);
    if (!page) {
        showNotSupported();
        return nullptr;
    }
    page->setItemId(node);
    page->setPageClass(className);
    page->load();
    return page;
}

void MenuItemViewManager::showNotSupported()
{
    window()->runAlert(AlertRequest::error(QString::fromUtf8(kNotSupportedMessage)), {});
}

void MenuItemViewManager::askExitTrading()
{
    AlertRequest request = AlertRequest::tip(QStringLiteral("是否退出交易？"));
    request.alternateButton = QStringLiteral("取消");
    // The centre outlives the question; the manager may not (tests reset it).
    window()->runAlert(request, [centre = notificationCenter](int answer) {
        if (answer == 1)
            centre->postNotification(pagenotify::kExitTrading);
    });
}
