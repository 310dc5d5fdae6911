#pragma once

#include "login/RequestSender.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/OrderDataModels.h"

#include <QStringList>
#include <chrono>
#include <memory>
#include <vector>

class Security;
namespace platform {
class RunLoopTimer;
}

// A page that shows what an order may have changed (money, holdings, the
// maximum quantity, today's orders) and reads it again itself after an order
// of unknown outcome, with the questions only it knows how to ask. Each read
// has a name of the page's own (its AskedFor channel); a read stays owed until
// the page tells its order manager that it was answered with its rows
// (OrderManager::owedReadAnswered), and goes again in the manager's rounds.
class IReadAgainAfterOrder {
public:
    virtual ~IReadAgainAfterOrder() = default;
    // Asks again the reads `owed` names (every one when it is empty) and
    // answers the names of those that went out; one that cannot go now (no
    // code to ask the maximum for, a refused request) is owed no more.
    virtual QStringList readAgainAfterUnknownOutcome(const QStringList& owed) = 0;
};

// What a page's readAgainAfterUnknownOutcome asks: each read it is asked for
// (every one when none is named) goes when the page can ask it now.
class ReadsAskedAgain {
public:
    explicit ReadsAskedAgain(const QStringList& owed)
        : owed_(owed)
    {
    }
    // `ask` sends the read `name` and answers whether it went out.
    template <class Ask> void ask(const char* name, Ask&& ask)
    {
        const QString read = QString::fromLatin1(name);
        if ((owed_.isEmpty() || owed_.contains(read)) && ask())
            asked_ << read;
    }
    const QStringList& asked() const { return asked_; }

private:
    QStringList owed_;
    QStringList asked_;
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
// comes (time-out, lost connection), its observer hears error
// kOrderOutcomeUnknownCode and what the order may have changed is owed to
// that observer (the page an IOrderObserverStandIn hears for) and every
// refresh observer: an IReadAgainAfterOrder reads its own figures, any other
// is asked for today's orders (IOrdersOfTodayDelegate) and the positions
// (IPositionInfoDelegate).
//
// The owed reads go in rounds, one in flight on the trade connection however
// many outcomes are unknown: a round asks every read still owed, then today's
// orders for the manager itself, whose answer ends the round. Each read stays
// owed until it is itself answered with its rows (an error row, a time-out or
// an answer without data leaves it owed; one the page cannot ask any more is
// owed no more). The first round goes at once; after a round that leaves
// reads owed the next one waits, longer each time (RoundDelays), so a server
// that stays connected but silent is never stormed; and one goes at each
// logon of a trade server. A page that is gone, or dropped its requests (an
// account change, a logout), is owed nothing more.
//
// Every operation answers "" when the request went out, or why it did not.
class OrderManager : public SharedInstance<OrderManager>,
                     public IOrdersOfTodayDelegate,
                     public IPositionInfoDelegate {
public:
    // How long a round of owed reads waits after one that left reads owed:
    // `first` after the first such round, doubled after each next one up to
    // `longest`.
    struct RoundDelays {
        std::chrono::milliseconds first { 30'000 };
        std::chrono::milliseconds longest { 300'000 };
    };
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
    void setRoundDelays(RoundDelays delays);

    // A read a page asked again after an unknown outcome was answered with
    // its rows: it is owed no more. Any other read is ignored.
    void owedReadAnswered(DataModelObserver* page, const QString& read);
    // Whether reads after an unknown outcome are still owed (tests).
    bool readsOwed() const { return !owed_.empty(); }
    // The reads still owed to a page; "*" for every one of them, while none
    // was asked since its last outcome (tests).
    QStringList readsOwedTo(const DataModelObserver* page) const;
    // Whether a round is waiting for its end (tests).
    bool roundInFlight() const { return inFlight_; }
    // How long the round scheduled after the last one waits; zero while none
    // is scheduled (tests).
    std::chrono::milliseconds roundWait() const;

    // The manager's own asks of a round: today's orders, whose answer ends
    // it, and the positions of observers that read none themselves.
    void queryOrdersOfTodayList(DataModel* request, const QString& handle,
        const std::shared_ptr<DTOrdersOfTodayTable>& table) override;
    bool queryOrdersOfTodayList(DataModel* request, const QString& handle, const CSError& error) override;
    using IPositionInfoDelegate::queryPositionInfo;
    void queryPositionInfo(DataModel* request, const QString& handle, const DTTablePtr& table) override;

private:
    // What one observer is owed.
    struct Owed {
        DataModelObserverRef reader;
        // The reads asked in a round since its last unknown outcome and not
        // yet answered with their rows.
        QStringList reads;
        // An outcome came that no read asked so far answers: every one of its
        // reads goes in the next round.
        bool readAll = true;
    };

    void refreshAfterUnknownOutcome(const DataModel::ObserverList& told);
    // One round of the owed reads, with the manager's own asks.
    void startRound();
    // Asks an observer's reads (every one when `owed` is empty); answers
    // those that went out.
    QStringList readAgain(DataModelObserver* observer, const QStringList& owed);
    // The round's own ask of today's orders came back (answered: with rows).
    void endRound(bool answered);
    // Nothing is owed any more: no round, no wait, no logon heard.
    void settleOwedReads();
    // One of the manager's own asks was answered with its rows: the same
    // read of the observers that read none themselves is too.
    void answered(const char* read);
    // A trade server has accepted the logon: a round goes now.
    void tradeServerServes();
    QueryInfoManager* queries() const;
    DataModel* orderModel(const char* identifier);

    RequestSender sender_;
    QueryInfoManager* queryInfoManager_;
    std::vector<DataModelObserverRef> refreshObservers_;
    // Who is owed reads (the pages themselves, never an observer that only
    // stands in for one).
    std::vector<Owed> owed_;
    // Orders and cancels sent so far, and when the round in flight began:
    // reads asked before an order went out say nothing of it.
    quint64 ordersSent_ = 0;
    quint64 ordersSentAtRound_ = 0;
    bool inFlight_ = false;
    // The handles of the round's own asks ("": none).
    QString roundProbe_;
    QString positionsProbe_;
    RoundDelays delays_;
    std::chrono::milliseconds nextWait_ = delays_.first;
    std::unique_ptr<platform::RunLoopTimer> nextRound_;
    bool hearsLogons_ = false;
};
