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
    std::vector<DataModelObserverRef> targets;
    for (const DataModelObserverRef& entry : told) {
        DataModelObserver* observer = entry.get();
        // The page a relay hears for reads; a page that is gone reads nothing.
        if (auto* standIn = dynamic_cast<IOrderObserverStandIn*>(observer))
            observer = standIn->standsInFor();
        if (observer)
            targets.emplace_back(observer);
    }
    targets.insert(targets.end(), refreshObservers_.begin(), refreshObservers_.end());
    for (const DataModelObserverRef& target : targets) {
        if (target.get()
            && std::none_of(owedReads_.begin(), owedReads_.end(),
                [&](const DataModelObserverRef& owed) { return owed.refersTo(target.get()); }))
            owedReads_.push_back(target);
    }
    readOwed();
}

void OrderManager::readOwed()
{
    std::erase_if(owedReads_, [](const DataModelObserverRef& ref) { return !ref.get(); });
    if (owedReads_.empty()) {
        settleOwedReads();
        return;
    }
    if (!hearsLogons_) {
        hearsLogons_ = true;
        DMNotificationCenter::getInstance()->addObserver(static_cast<const void*>(this),
            TypedNotificationCenter::PlainHandler([this] { tradeServerServes(); }),
            NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
    }
    readAgain(owedReads_);
    // Asked with the pages' reads, on the same connection: its answer tells
    // that theirs have come too.
    QueryInfoManager* queries = queryInfoManager_ ? queryInfoManager_ : QueryInfoManager::getInstance();
    QString probe;
    owedProbe_ = queries->requestOrdersOfToday(this, &probe).isEmpty() ? probe : QString();
}

void OrderManager::settleOwedReads()
{
    owedReads_.clear();
    owedProbe_.clear();
    if (std::exchange(hearsLogons_, false))
        DMNotificationCenter::getInstance()->removeObserver(this);
}

void OrderManager::queryOrdersOfTodayList(
    DataModel*, const QString& handle, const std::shared_ptr<DTOrdersOfTodayTable>&)
{
    if (!owedProbe_.isEmpty() && handle == owedProbe_)
        settleOwedReads();
}

bool OrderManager::queryOrdersOfTodayList(DataModel*, const QString& handle, const CSError& error)
{
    if (owedProbe_.isEmpty() || handle != owedProbe_)
        return true;
    owedProbe_.clear();
    // A refusal is an answer all the same: the server serves again.
    if (error.fromErrorRow) {
        settleOwedReads();
        return true;
    }
    // Timed out while the connection stays up (a server that froze): the
    // next round goes now. A lost connection waits for the next logon.
    const std::shared_ptr<CSNetwork> trade
        = NetworkFactory::getInstance()->existingNetwork(NetworkFactory::kTrade);
    if (error.code == CSErrorRequestTimeout && trade && trade->isLoggedOn())
        readOwed();
    return true;
}

void OrderManager::tradeServerServes()
{
    if (!owedReads_.empty())
        readOwed();
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
