#include "trading/orders/OrderManager.h"

#include "core/DMNotificationCenter.h"
#include "core/NetworkFactory.h"
#include "platform/RunLoop.h"
#include "trading/DMOrderType.h"
#include "trading/security/Security.h"

#include <algorithm>
#include <memory>

using requestparam::setParam;

namespace {

constexpr char kLimitTitle[] = "限价委托";
// The reads owed to an observer that asks none itself.
constexpr char kOrdersRead[] = "orders";
constexpr char kPositionsRead[] = "positions";

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
    const QString refused = sender_.send<tagTradeOrderParam>(
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
    if (refused.isEmpty())
        ++ordersSent_;
    return refused;
}

QString OrderManager::requestCancelOrder(
    ICancelOrderDelegate* observer, const QString& fundId, const QString& orderNo, QString* handle)
{
    // A cancel names its order; without the keys it would name none.
    if (fundId.trimmed().isEmpty() || orderNo.trimmed().isEmpty())
        return QString::fromUtf8(kCancelKeysMissingMessage);
    orderModel(DMRequestCancelOrder::info.identifier);
    const QString refused = sender_.send<tagCancelOrderParam>(
        DMRequestCancelOrder::info.identifier, observer,
        [&](tagCancelOrderParam& p, QString* m) {
            return setParam(p, &tagCancelOrderParam::fundId, fundId, m)
                && setParam(p, &tagCancelOrderParam::ordersNo, orderNo, m);
        },
        handle);
    if (refused.isEmpty())
        ++ordersSent_;
    return refused;
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
    // The reads of the round in flight answer this outcome too when they
    // went out after every order and cancel sent so far (the orders of one
    // batch of time-outs): the outcomes share the round.
    const bool roundAnswersIt = inFlight_ && ordersSentAtRound_ == ordersSent_;
    for (const DataModelObserverRef& target : targets) {
        DataModelObserver* observer = target.get();
        if (!observer)
            continue;
        const auto it = std::find_if(
            owed_.begin(), owed_.end(), [&](const Owed& owed) { return owed.reader.refersTo(observer); });
        if (it == owed_.end()) {
            owed_.push_back({ target, {}, true });
        } else if (!roundAnswersIt) {
            it->reads.clear();
            it->readAll = true;
        }
    }
    // One round at a time: one in flight reads these again when it ends.
    if (!inFlight_)
        startRound();
}

QueryInfoManager* OrderManager::queries() const
{
    return queryInfoManager_ ? queryInfoManager_ : QueryInfoManager::getInstance();
}

void OrderManager::setRoundDelays(RoundDelays delays)
{
    delays_ = delays;
    nextWait_ = delays.first;
}

std::chrono::milliseconds OrderManager::roundWait() const
{
    if (!nextRound_ || !nextRound_->isActive())
        return std::chrono::milliseconds(0);
    return std::chrono::duration_cast<std::chrono::milliseconds>(nextRound_->interval());
}

QStringList OrderManager::readsOwedTo(const DataModelObserver* page) const
{
    for (const Owed& owed : owed_) {
        if (owed.reader.refersTo(page))
            return owed.readAll ? QStringList { QStringLiteral("*") } : owed.reads;
    }
    return {};
}

void OrderManager::startRound()
{
    nextRound_.reset();
    std::erase_if(owed_, [](const Owed& owed) { return !owed.reader.get(); });
    if (owed_.empty()) {
        settleOwedReads();
        return;
    }
    if (!hearsLogons_) {
        hearsLogons_ = true;
        DMNotificationCenter::getInstance()->addObserver(static_cast<const void*>(this),
            TypedNotificationCenter::PlainHandler([this] { tradeServerServes(); }),
            NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
    }
    inFlight_ = true;
    roundProbe_.clear();
    positionsProbe_.clear();
    ordersSentAtRound_ = ordersSent_;
    // A read may be answered while the next one is asked: walk a copy.
    const std::vector<Owed> round = owed_;
    for (const Owed& owed : round) {
        DataModelObserver* observer = owed.reader.get();
        if (!observer)
            continue;
        const QStringList asked = readAgain(observer, owed.readAll ? QStringList() : owed.reads);
        const auto it = std::find_if(
            owed_.begin(), owed_.end(), [&](const Owed& o) { return o.reader.refersTo(observer); });
        if (it != owed_.end()) {
            it->reads = asked;
            it->readAll = false;
        }
    }
    // What could not be asked has nothing of its own to correct.
    std::erase_if(owed_, [](const Owed& owed) { return !owed.readAll && owed.reads.isEmpty(); });
    if (owed_.empty()) {
        settleOwedReads();
        return;
    }
    // The positions of observers that read none themselves: this ask joins
    // theirs, and its answer is theirs.
    if (std::any_of(owed_.begin(), owed_.end(), [](const Owed& owed) {
            return !dynamic_cast<IReadAgainAfterOrder*>(owed.reader.get())
                && owed.reads.contains(QLatin1String(kPositionsRead));
        })) {
        QString handle;
        if (queries()->requestPositionInfo(this, 0, &handle).isEmpty())
            positionsProbe_ = handle;
    }
    // Asked last, on the same connection: once it is answered or has failed,
    // the reads asked before it have had their time.
    QString probe;
    if (!queries()->requestOrdersOfToday(this, &probe).isEmpty()) {
        endRound(false);
        return;
    }
    roundProbe_ = probe;
}

QStringList OrderManager::readAgain(DataModelObserver* observer, const QStringList& owed)
{
    if (auto* reader = dynamic_cast<IReadAgainAfterOrder*>(observer))
        return reader->readAgainAfterUnknownOutcome(owed);
    ReadsAskedAgain reads(owed);
    if (auto* orders = dynamic_cast<IOrdersOfTodayDelegate*>(observer))
        reads.ask(kOrdersRead, [&] { return queries()->requestOrdersOfToday(orders).isEmpty(); });
    if (auto* positions = dynamic_cast<IPositionInfoDelegate*>(observer))
        reads.ask(kPositionsRead, [&] { return queries()->requestPositionInfo(positions, 0).isEmpty(); });
    return reads.asked();
}

void OrderManager::endRound(bool answered)
{
    inFlight_ = false;
    roundProbe_.clear();
    positionsProbe_.clear();
    std::erase_if(owed_, [](const Owed& owed) { return !owed.reader.get(); });
    if (owed_.empty()) {
        settleOwedReads();
        return;
    }
    // An outcome of an order sent after the round's reads went out: while
    // the server answers, its reads go now.
    if (answered && std::any_of(owed_.begin(), owed_.end(), [](const Owed& owed) { return owed.readAll; })) {
        startRound();
        return;
    }
    // Reads the server left unanswered, refused or timed out: the next round
    // waits, longer each time, unless a trade logon comes first.
    nextRound_ = std::make_unique<platform::RunLoopTimer>(std::chrono::duration<double>(nextWait_), false,
        platform::RunLoopModes::common(), [this] { startRound(); });
    nextRound_->start();
    nextWait_ = std::min(nextWait_ * 2, delays_.longest);
}

void OrderManager::owedReadAnswered(DataModelObserver* page, const QString& read)
{
    const auto it = std::find_if(
        owed_.begin(), owed_.end(), [&](const Owed& owed) { return owed.reader.refersTo(page); });
    // A read asked before the page's last outcome says nothing of it.
    if (it == owed_.end() || it->readAll)
        return;
    it->reads.removeAll(read);
    if (it->reads.isEmpty())
        owed_.erase(it);
    std::erase_if(owed_, [](const Owed& owed) { return !owed.reader.get(); });
    if (owed_.empty())
        settleOwedReads();
}

void OrderManager::answered(const char* read)
{
    for (Owed& owed : owed_) {
        if (!owed.readAll && !dynamic_cast<IReadAgainAfterOrder*>(owed.reader.get()))
            owed.reads.removeAll(QLatin1String(read));
    }
    std::erase_if(owed_,
        [](const Owed& owed) { return !owed.reader.get() || (!owed.readAll && owed.reads.isEmpty()); });
    if (owed_.empty())
        settleOwedReads();
}

void OrderManager::settleOwedReads()
{
    owed_.clear();
    inFlight_ = false;
    roundProbe_.clear();
    positionsProbe_.clear();
    nextRound_.reset();
    nextWait_ = delays_.first;
    if (std::exchange(hearsLogons_, false))
        DMNotificationCenter::getInstance()->removeObserver(this);
}

void OrderManager::queryOrdersOfTodayList(
    DataModel*, const QString& handle, const std::shared_ptr<DTOrdersOfTodayTable>&)
{
    if (roundProbe_.isEmpty() || handle != roundProbe_)
        return;
    roundProbe_.clear();
    answered(kOrdersRead);
    if (inFlight_)
        endRound(true);
}

bool OrderManager::queryOrdersOfTodayList(DataModel*, const QString& handle, const CSError&)
{
    // Whatever the failure (a time-out, a lost connection, an error row, an
    // answer without data, a refusal), the next round waits.
    if (!roundProbe_.isEmpty() && handle == roundProbe_)
        endRound(false);
    return true;
}

void OrderManager::queryPositionInfo(DataModel*, const QString& handle, const DTTablePtr&)
{
    if (positionsProbe_.isEmpty() || handle != positionsProbe_)
        return;
    positionsProbe_.clear();
    answered(kPositionsRead);
}

void OrderManager::tradeServerServes()
{
    // What was asked on the connection before may be lost with it: a new
    // round goes now, and its asks join those still waiting to be written.
    if (owed_.empty())
        return;
    inFlight_ = false;
    startRound();
}
