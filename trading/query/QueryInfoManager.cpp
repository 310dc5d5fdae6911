#include "trading/query/QueryInfoManager.h"

#include "comm/recordset/ServerNumber.h"

#include <memory>

using requestparam::setParam;

namespace {

constexpr char kOpdFundPositionListId[] = "F1639CDB-76DA-174C-B04B-2A74E12CBC0E";

auto prefixOnly = [](auto&, QString*) { return true; };

} // namespace

qint32 QueryInfoManager::moneyTypeOfMarket(const QString& marketCode)
{
    switch (servernumber::wholeValueOf(marketCode).value_or(-1)) {
    case 2:
        return 1;
    case 3:
    case 7:
        return 2;
    default:
        return 0;
    }
}

QueryInfoManager::QueryInfoManager(DataModelManager* dataModelManager, AccountManager* accountManager)
    : sender_(dataModelManager, accountManager)
{
}

QString QueryInfoManager::requestPositionInfo(
    IPositionInfoDelegate* observer, qint64 queryFlag, QString* handle)
{
    return sender_.send<tagPositionInfoParam>(
        DMPositionInfo::info.identifier, observer,
        [&](tagPositionInfoParam& p, QString*) {
            p.queryFlag = queryFlag;
            return true;
        },
        handle);
}

QString QueryInfoManager::requestMoneyInfo(
    IMoneyInfoDelegate* observer, qint32 type, const QString& fundId, QString* handle)
{
    return sender_.send<tagMoneyInfoParam>(
        DMQueryMoney::info.identifier, observer,
        [&](tagMoneyInfoParam& p, QString* m) {
            return setParam(p, &tagMoneyInfoParam::moneyType, QString::number(type), m)
                && setParam(p, &tagMoneyInfoParam::fundId, fundId, m);
        },
        handle);
}

QString QueryInfoManager::requestMaxQuantityOfStock(IMaxQuantityInfoDelegate* observer,
    const std::optional<QString>& securityId, const std::optional<QString>& stockCode,
    const std::optional<QString>& marketCode, qint32 orderType, const QString& price, QString* handle)
{
    if (!securityId || !stockCode || !marketCode)
        return QStringLiteral("缺少股东账户、证券代码或市场");
    return sender_.send<tagMaxQuantityParam>(
        DMQueryMaxQuantityInfo::info.identifier, observer,
        [&](tagMaxQuantityParam& p, QString* m) {
            p.orderType = orderType;
            return setParam(p, &tagMaxQuantityParam::securityId, *securityId, m)
                && setParam(p, &tagMaxQuantityParam::price, price, m)
                && setParam(p, &tagMaxQuantityParam::stockCode, *stockCode, m)
                && setParam(p, &tagMaxQuantityParam::marketCode, *marketCode, m);
        },
        handle);
}

QString QueryInfoManager::requestDistributionList(IQueryDistributionDelegate* observer)
{
    return sender_.send<tagQueryDistributionParam>(
        DMQueryDistribution::info.identifier, observer, prefixOnly);
}

QString QueryInfoManager::requestOrdersOfToday(IOrdersOfTodayDelegate* observer, QString* handle)
{
    return sender_.send<tagOrdersOfTodayParam>(
        DMQueryOrdersOfToday::info.identifier, observer, prefixOnly, handle);
}

QString QueryInfoManager::requestFundInfoList(IFundInfoListDelegate* observer, QString* handle)
{
    return sender_.send<tagFundInfoListParam>(DMFundInfoList::info.identifier, observer, prefixOnly, handle);
}

QString QueryInfoManager::requestPurchaseNewStockList(IPurchaseNewStockDelegate* observer)
{
    return sender_.send<tagPurchaseNewStockParam>(DMQueryPurchaseNewStock::info.identifier, observer, prefixOnly);
}

QString QueryInfoManager::requestOpdFundPositionList(DataModelObserver* observer)
{
    return sender_.send<tagOpdFundPositionListParam>(kOpdFundPositionListId, observer, prefixOnly);
}
