#include "trading/orders/OrderManager.h"

#include "trading/DMOrderType.h"
#include "trading/security/Security.h"

using requestparam::setParam;

namespace {

constexpr char kLimitTitle[] = "限价委托";

} // namespace

OrderManager::OrderManager(DataModelManager* dataModelManager, AccountManager* accountManager)
    : sender_(dataModelManager, accountManager)
{
}

QString OrderManager::requestOrder(ITradeStockDelegate* observer, const Security& security,
    const QString& securityId, qint32 tradeType, const QString& price, const QString& quantity,
    const QString& orderTypeTitle, QString* handle)
{
    const char* identifier = dynamic_cast<const IPOStock*>(&security) ? DMPurchaseNewStock::info.identifier
                                                                      : DMTradeDepute::info.identifier;
    // A title the security's market does not know would fall back to a limit
    // order, a type the customer did not confirm: refuse it instead.
    const qint32 orderType = security.getOrderType(orderTypeTitle, tradeType);
    const bool limit = orderType == DMOrderType::kLimitBuy || orderType == DMOrderType::kLimitSell;
    if (limit && !orderTypeTitle.isEmpty() && orderTypeTitle != QString::fromUtf8(kLimitTitle))
        return QString::fromUtf8(kOrderTypeNotOfMarket);
    if (quantity.size() > kMaxQuantityLength)
        return quantityTooLong();
    return sender_.send<tagTradeOrderParam>(
        identifier, observer,
        [&](tagTradeOrderParam& p, QString* m) {
            p.orderType = orderType;
            return setParam(p, &tagTradeOrderParam::securityId, securityId, m)
                && setParam(p, &tagTradeOrderParam::price, price, m)
                && setParam(p, &tagTradeOrderParam::quantity, quantity, m)
                && setParam(p, &tagTradeOrderParam::stockCode, security.code, m)
                && setParam(p, &tagTradeOrderParam::marketCode, security.marketType, m);
        },
        handle);
}

QString OrderManager::requestCancelOrder(
    ICancelOrderDelegate* observer, const QString& fundId, const QString& orderNo, QString* handle)
{
    // A cancel names its order; without the keys it would name none.
    if (fundId.trimmed().isEmpty() || orderNo.trimmed().isEmpty())
        return QString::fromUtf8(kCancelKeysMissingMessage);
    return sender_.send<tagCancelOrderParam>(
        DMRequestCancelOrder::info.identifier, observer,
        [&](tagCancelOrderParam& p, QString* m) {
            return setParam(p, &tagCancelOrderParam::fundId, fundId, m)
                && setParam(p, &tagCancelOrderParam::ordersNo, orderNo, m);
        },
        handle);
}
