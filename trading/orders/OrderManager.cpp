#include "trading/orders/OrderManager.h"

#include "comm/request/CSNetwork.h"
#include "core/DMNotificationCenter.h"
#include "core/NetworkFactory.h"
#include "trading/DMOrderType.h"
#include "trading/security/Security.h"

#include <algorithm>
#include <memory>

using requestparam::setParam;

namespace {

constexpr char kLimitTitle[] = "限价委托";

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

OrderManager::~OrderManager()
{
    DMNotificationCenter::getInstance()->removeObserver(this);
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
        return QString::fromUtf8(kQuantityTooLong);
    orderModel(identifier);
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
    orderModel(DMRequestCancelOrder::info.identifier);
    return sender_.send<tagCancelOrderParam>(
        DMRequestCancelOrder::info.identifier, observer, [&](tagCancelOrderParam& p, QString* m) {
            return setParam(p, &tagCancelOrderParam::fundId, fundId, m)
                && setParam(p, &tagCancelOrderParam::ordersNo, orderNo, m);
        },
        handle);
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
    std::vector<DataModelObserverRef> targets(told.begin(), told.end());
    targets.insert(targets.end(), refreshObservers_.begin(), refreshObservers_.end());
    const std::shared_ptr<CSNetwork> trade
        = NetworkFactory::getInstance()->existingNetwork(NetworkFactory::kTrade);
    readAgain(targets);
    if (trade && trade->isLoggedOn())
        return;
    // The connection went with the order: these reads wait for the server
    // the client moves to, and are dropped with it if it refuses. Read again
    // at the first logon after the loss (equal reads still pending merge).
    if (owedReads_.empty())
        DMNotificationCenter::getInstance()->addObserver(static_cast<const void*>(this),
            TypedNotificationCenter::PlainHandler([this] { tradeServerServes(); }),
            NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
    owedReads_.insert(owedReads_.end(), targets.begin(), targets.end());
}

void OrderManager::tradeServerServes()
{
    DMNotificationCenter::getInstance()->removeObserver(this);
    readAgain(std::exchange(owedReads_, {}));
}

void OrderManager::readAgain(const std::vector<DataModelObserverRef>& targets)
{
    QueryInfoManager* queries = queryInfoManager_ ? queryInfoManager_ : QueryInfoManager::getInstance();
    // Equal queries merge, so an observer named twice is asked for once; one
    // that reads its own figures is asked once all the same.
    std::vector<IReadAgainAfterOrder*> readers;
    for (const DataModelObserverRef& target : targets) {
        DataModelObserver* observer = target.get();
        if (auto* reader = dynamic_cast<IReadAgainAfterOrder*>(observer)) {
            if (std::find(readers.begin(), readers.end(), reader) == readers.end()) {
                readers.push_back(reader);
                reader->readAgainAfterUnknownOutcome();
            }
            continue;
        }
        if (auto* orders = dynamic_cast<IOrdersOfTodayDelegate*>(observer))
            queries->requestOrdersOfToday(orders);
        if (auto* positions = dynamic_cast<IPositionInfoDelegate*>(observer))
            queries->requestPositionInfo(positions, 0);
    }
}
