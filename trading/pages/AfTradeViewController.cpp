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

void AfTradeViewController::initShareholderCodeAndOrderType()
{
    securityInfoArray_.clear();
    accountTitles_.clear();
    if (auto account = services_.accountManager->getActiveLoginAccount())
        securityInfoArray_ = account->getSecuidInfoByMarketCode(1);
    for (const QVariant& entry : securityInfoArray_)
        accountTitles_ << entry.toMap().value(QStringLiteral("security_info_text")).toString();
    selectedIndex_ = securityInfoArray_.isEmpty() ? -1 : 0;
}

void AfTradeViewController::registerPages()
{
    MenuItemViewManager::getInstance()->registerPageClass(QStringLiteral("AfTradeViewController"),
        [](const BaseNode::Ptr& node) { return std::make_unique<AfTradeViewController>(node); });
}
