#include "trading/pages/AfTradeViewController.h"

#include "login/AccountManager.h"
#include "shell/pages/MenuItemViewManager.h"
#include "trading/DMOrderType.h"

AfTradeViewController::AfTradeViewController(
    BaseNode::Ptr node, TradeViewControllerServices services, MenuItemViewController::Services pageServices)
    : TradeViewController(std::move(node), services, pageServices)
{
    queryPositionFlag_ = 2;
}

void AfTradeViewController::awakeFromNib()
{
    TradeViewController::awakeFromNib();
    layoutShifted_ = true;
    const bool buy = menuInfo() && menuInfo()->nodeLinkId == 10007;
    orderTypeTitles_ = buy ? DMOrderType::getTitlesForKCAfBuy() : DMOrderType::getTitlesForKCAfSell();
    selectedOrderType_ = 0;
    priceHidden_ = false; // 9 and 109 always carry the typed price
    emit changed();
}

QVariantList AfTradeViewController::offeredAccounts() const
{
    const auto account = services_.accountManager->getActiveLoginAccount();
    return account ? account->getSecuidInfoByMarketCode(1) : QVariantList();
}

void AfTradeViewController::registerPages()
{
    MenuItemViewManager::getInstance()->registerPageClass(QStringLiteral("AfTradeViewController"),
        [](const BaseNode::Ptr& node) { return std::make_unique<AfTradeViewController>(node); });
}
