#pragma once

#include "login/RequestSender.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/OrderDataModels.h"

#include <vector>

class Security;

// A page that shows what an order may have changed (money, holdings, the
// maximum quantity) and reads it again itself after an order of unknown
// outcome, with the questions only it knows how to ask.
class IReadAgainAfterOrder {
public:
    virtual ~IReadAgainAfterOrder() = default;
    virtual void readAgainAfterUnknownOutcome() = 0;
};

// An observer that hears an order's answer on behalf of the page that sent
// it, so that the answer outlives the page's own pending requests: what is
// read again after an unknown outcome is read by that page, while it still
// awaits it (null once it is gone or has dropped its requests).
class IOrderObserverStandIn {
public:
    virtual ~IOrderObserverStandIn() = default;
    virtual DataModelObserver* standsInFor() const = 0;
};

// Places, cancels and sizes orders (the open-end fund orders go through
// OrderManagerFunds, beside the fund requests). Orders are never merged with
// another pending request (an equal cancel still waiting takes the caller
// in); neither is ever sent again by itself: when one goes out and no answer
// comes (time-out, lost connection),
// its observer hears error kOrderOutcomeUnknownCode and what the order may
// have changed is read again, for that observer (the page an
// IOrderObserverStandIn hears for) and every refresh observer: an
// IReadAgainAfterOrder reads its own figures, any other is asked for today's
// orders (IOrdersOfTodayDelegate) and the positions (IPositionInfoDelegate).
// The reads stay owed until the server answers one: with each round the
// manager asks today's orders itself, and until that answer comes the round
// goes again when it times out on a connection still logged on, and at each
// logon of a trade server (reads asked while the connection is lost may be
// dropped with a server the client moves to that refuses it).
//
// Every operation answers "" when the request went out, or why it did not.
class OrderManager : public SharedInstance<OrderManager>, public IOrdersOfTodayDelegate {
public:
    // requestOrder's refusal of a title that means no order type in the
    // security's market.
    static constexpr char kOrderTypeNotOfMarket[] = "委托方式与证券的交易市场不符";
    // The longest quantity an order carries, and what a longer one hears.
    static constexpr qsizetype kMaxQuantityLength = 255;
    static constexpr char kQuantityTooLong[] = "委托数量过长";

    // Refusal of a cancel whose order lacks its capital account or number.
    static constexpr char kCancelKeysMissingMessage[] = "该委托缺少委托序号或资金账号，无法撤单";
    explicit OrderManager(DataModelManager* dataModelManager = nullptr,
        AccountManager* accountManager = nullptr, QueryInfoManager* queryInfoManager = nullptr);
    ~OrderManager();
    OrderManager(const OrderManager&) = delete;
    OrderManager& operator=(const OrderManager&) = delete;

    // requestOrder:Security:SecurityId:tradeType:Price:Quantity:OrderTypeTitle:
    // trade type 0 buy, 1 sell, 2 warrant exercise; a new issue (IPOStock)
    // goes as a subscription. The type sent is the one the title means in
    // the security's market; a title that means none there is refused.
    // `handle` hears the request handle of an order that went out.
    QString requestOrder(ITradeStockDelegate* observer, const Security& security, const QString& securityId,
        qint32 tradeType, const QString& price, const QString& quantity, const QString& orderTypeTitle,
        QString* handle = nullptr);
    // `handle` hears the request handle of a cancel that went out, so that a
    // batch can tell its answers apart.
    QString requestCancelOrder(ICancelOrderDelegate* observer, const QString& fundId, const QString& orderNo,
        QString* handle = nullptr);

    // Pages that show today's orders or positions; held weakly.
    void addRefreshObserver(DataModelObserver* observer);

    RequestSender& sender() { return sender_; }
    // Whether reads after an unknown outcome are still owed (tests).
    bool readsOwed() const { return !owedReads_.empty(); }

    // The manager's own ask of today's orders: whether the server answers.
    void queryOrdersOfTodayList(DataModel* request, const QString& handle,
        const std::shared_ptr<DTOrdersOfTodayTable>& table) override;
    bool queryOrdersOfTodayList(DataModel* request, const QString& handle, const CSError& error) override;

private:
    void refreshAfterUnknownOutcome(const DataModel::ObserverList& told);
    // One round of the owed reads, with the manager's own ask.
    void readOwed();
    void readAgain(const std::vector<DataModelObserverRef>& targets);
    // The server has answered a read asked since: nothing is owed any more.
    void settleOwedReads();
    // A trade server has accepted the logon: the reads still owed go.
    void tradeServerServes();
    DataModel* orderModel(const char* identifier);

    RequestSender sender_;
    QueryInfoManager* queryInfoManager_;
    std::vector<DataModelObserverRef> refreshObservers_;
    // Who reads again until the server answers (the pages themselves, never
    // an observer that only stands in for one).
    std::vector<DataModelObserverRef> owedReads_;
    // The handle of the manager's own ask of the current round ("": none).
    QString owedProbe_;
    bool hearsLogons_ = false;
};
