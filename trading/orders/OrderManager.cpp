#include "trading/orders/OrderManager.h"

#include "trading/security/Security.h"

#include <algorithm>
#include <memory>

using requestparam::setParam;

namespace {

constexpr char kOpdFundTradeId[] = "BA38217A-B2A9-C69C-79B9-4F33F511B9D9";
constexpr char kRedeemOpdFundId[] = "CEB7B50E-6242-1903-A1DD-2CFAFE8A4883";
constexpr char kTransformOpdFundId[] = "62381855-8DCB-F55C-5D9D-931DD6AEDB81";
constexpr char kUserRiskLevelMatchId[] = "32C61163-9408-9A25-BC7E-0CD95DA3712D";

template <class Model>
void watchOutcome(DataModel* model, std::function<void(const DataModel::ObserverList&)> f)
{
    if (auto* order = dynamic_cast<Model*>(model); order && !order->outcomeUnknown)
        order->outcomeUnknown = std::move(f);
}

} // namespace

OrderManager::OrderManager(
    DataModelManager* dataModelManager, AccountManager* accountManager, QueryInfoManager* queryInfoManager)
    : sender_(dataModelManager, accountManager)
    , queryInfoManager_(queryInfoManager)
{
}

DataModel* OrderManager::orderModel(const char* identifier)
{
    DataModel* model = sender_.dataModel(identifier);
    auto refresh = [this](const DataModel::ObserverList& told) { refreshAfterUnknownOutcome(told); };
    watchOutcome<DMTradeDepute>(model, refresh);
    watchOutcome<DMPurchaseNewStock>(model, refresh);
    watchOutcome<DMRequestCancelOrder>(model, refresh);
    return model;
}

QString OrderManager::requestOrder(ITradeStockDelegate* observer, const Security& security,
    const QString& securityId, qint32 tradeType, const QString& price, const QString& quantity,
    const QString& orderTypeTitle)
{
    const char* identifier = dynamic_cast<const IPOStock*>(&security) ? DMPurchaseNewStock::info.identifier
                                                                      : DMTradeDepute::info.identifier;
    orderModel(identifier);
    return sender_.send<tagTradeOrderParam>(identifier, observer, [&](tagTradeOrderParam& p, QString* m) {
        p.orderType = security.getOrderType(orderTypeTitle, tradeType);
        return setParam(p, &tagTradeOrderParam::securityId, securityId, m)
            && setParam(p, &tagTradeOrderParam::price, price, m)
            && setParam(p, &tagTradeOrderParam::quantity, quantity, m)
            && setParam(p, &tagTradeOrderParam::stockCode, security.code, m)
            && setParam(p, &tagTradeOrderParam::marketCode, security.marketType, m);
    });
}

QString OrderManager::requestCancelOrder(
    ICancelOrderDelegate* observer, const QString& fundId, const QString& orderNo, QString* handle)
{
    // A cancel names its order; without the keys it would name none.
    if (fundId.trimmed().isEmpty() || orderNo.trimmed().isEmpty())
        return QString::fromUtf8(kCancelKeysMissingMessage);
    orderModel(DMRequestCancelOrder::info.identifier);
    return sender_.send<tagCancelOrderParam>(
        DMRequestCancelOrder::info.identifier, observer, [&](tagCancelOrderParam& p, QString* m) {
            return setParam(p, &tagCancelOrderParam::fundId, fundId, m)
                && setParam(p, &tagCancelOrderParam::ordersNo, orderNo, m);
        },
        handle);
}

QString OrderManager::requestFundTrade(DataModelObserver* observer, const char* tradeType,
    const QString& fundCode, const QString& amount, const QString& seriesNumber, const QString& corpCode)
{
    return sender_.send<tagOpdFundParam>(kOpdFundTradeId, observer, [&](tagOpdFundParam& p, QString* m) {
        return setParam(p, &tagOpdFundParam::tradeType, tradeType, m)
            && setParam(p, &tagOpdFundParam::fundCode, fundCode, m)
            && setParam(p, &tagOpdFundParam::amount, amount, m)
            && setParam(p, &tagOpdFundParam::seriesNumber, seriesNumber, m)
            && setParam(p, &tagOpdFundParam::fundCorpCode, corpCode, m);
    });
}

QString OrderManager::requestSubscribeFund(DataModelObserver* observer, const QString& fundCode,
    const QString& amount, const QString& seriesNumber, const QString& corpCode)
{
    return requestFundTrade(observer, "240020", fundCode, amount, seriesNumber, corpCode);
}

QString OrderManager::requestPurchaseFund(DataModelObserver* observer, const QString& fundCode,
    const QString& amount, const QString& seriesNumber, const QString& corpCode)
{
    return requestFundTrade(observer, "240022", fundCode, amount, seriesNumber, corpCode);
}

QString OrderManager::requestRedeemOpdFund(
    DataModelObserver* observer, const QString& fundCode, const QString& amount, const QString& redeemType)
{
    return sender_.send<tagRedeemOpdFundParam>(
        kRedeemOpdFundId, observer, [&](tagRedeemOpdFundParam& p, QString* m) {
            return setParam(p, &tagRedeemOpdFundParam::fundCode, fundCode, m)
                && setParam(p, &tagRedeemOpdFundParam::amount, amount, m)
                && setParam(p, &tagRedeemOpdFundParam::type, redeemType, m);
        });
}

QString OrderManager::requestTransformOpdFund(DataModelObserver* observer, const QString& fundCode,
    const QString& amount, const QString& toFundCode, const QString& seriesNumber, const QString& corpCode)
{
    return sender_.send<tagTransformOpdFundParam>(
        kTransformOpdFundId, observer, [&](tagTransformOpdFundParam& p, QString* m) {
            return setParam(p, &tagTransformOpdFundParam::fundCode, fundCode, m)
                && setParam(p, &tagTransformOpdFundParam::corpCode, corpCode, m)
                && setParam(p, &tagTransformOpdFundParam::amount, amount, m)
                && setParam(p, &tagTransformOpdFundParam::toFundCode, toFundCode, m)
                && setParam(p, &tagTransformOpdFundParam::seriesNumber, seriesNumber, m);
        });
}

QString OrderManager::requestUserRiskLevelMatchInfo(
    DataModelObserver* observer, const QString& fundCorp, const QString& fundCode, const QString& riskLevel)
{
    return sender_.send<tagUserRiskLevelMatchParam>(
        kUserRiskLevelMatchId, observer, [&](tagUserRiskLevelMatchParam& p, QString* m) {
            return setParam(p, &tagUserRiskLevelMatchParam::fundCode, fundCode, m)
                && setParam(p, &tagUserRiskLevelMatchParam::corpCode, fundCorp, m)
                && setParam(p, &tagUserRiskLevelMatchParam::riskLevel, riskLevel, m);
        });
}

void OrderManager::addRefreshObserver(DataModelObserver* observer)
{
    std::erase_if(refreshObservers_, [](const DataModelObserverRef& ref) { return !ref.get(); });
    if (observer
        && std::none_of(refreshObservers_.begin(), refreshObservers_.end(),
            [observer](const DataModelObserverRef& ref) { return ref.refersTo(observer); }))
        refreshObservers_.emplace_back(observer);
}

void OrderManager::refreshAfterUnknownOutcome(const DataModel::ObserverList& told)
{
    QueryInfoManager* queries = queryInfoManager_ ? queryInfoManager_ : QueryInfoManager::getInstance();
    std::vector<DataModelObserverRef> targets(told.begin(), told.end());
    targets.insert(targets.end(), refreshObservers_.begin(), refreshObservers_.end());
    // Equal queries merge, so an observer named twice is asked for once.
    for (const DataModelObserverRef& target : targets) {
        DataModelObserver* observer = target.get();
        if (auto* orders = dynamic_cast<IOrdersOfTodayDelegate*>(observer))
            queries->requestOrdersOfToday(orders);
        if (auto* positions = dynamic_cast<IPositionInfoDelegate*>(observer))
            queries->requestPositionInfo(positions, 0);
    }
}
