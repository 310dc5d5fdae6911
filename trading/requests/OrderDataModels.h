#pragma once

#include "core/DataModelClass.h"
#include "core/TradeDataModel.h"
#include "login/OwedReads.h"

// Orders, cancels and the maximum quantity of an order (trade functions
// 500 / 6, 500 / 7, 500 / 4).

LUMORA_DATA_MODEL_PROTOCOL(ITradeStockDelegate, tradeStock, QString) // "ordersno"
LUMORA_DATA_MODEL_PROTOCOL(ICancelOrderDelegate, cancelOrder, QString) // "msgok"
LUMORA_DATA_MODEL_PROTOCOL(IMaxQuantityInfoDelegate, queryMaxQuantityInfo, QString) // "maxstkqty"

// The error an order or cancel gets when it went out but no answer came
// (time-out, connection lost, connection remade): the server may or may not
// have taken it, so it is never sent again by itself.
inline constexpr qint64 kOrderOutcomeUnknownCode = CSErrorOutcomeUnknown;
QString orderOutcomeUnknownMessage(const CSError& cause);
// The same for another kind of action: what left it open, then `words`
// (one of unknownoutcome's).
QString unknownOutcomeOf(const CSError& cause, const char* words);
// Whether `error` is that unknown outcome: the client's own verdict, never a
// server's error row that happens to carry the same number.
inline bool isOrderOutcomeUnknown(const CSError& error)
{
    return !error.fromErrorRow && error.code == kOrderOutcomeUnknownCode;
}

// An order-like request: it changes state, and an answer that never came is
// reported as an unknown outcome, after which what the request may have
// changed (Derived::changes(), the figures it names) is owed by the account
// it was sent for (OwedReads) until read again.
template <class Derived, class Param, class Protocol>
class OrderDataModelClass : public DataModelClass<Derived, TradeDataModel, Param, Protocol> {
public:
    using DataModelClass<Derived, TradeDataModel, Param, Protocol>::DataModelClass;

    // What the observers hear of an unknown outcome; a class may say it in
    // its own words.
    static QString unknownOutcomeMessage(const CSError& cause) { return orderOutcomeUnknownMessage(cause); }

protected:
    void failWithError(const QString& handle, const tagRequestParam& param, const CSError& error,
        const DataModel::ObserverList& observers) override
    {
        // An error row is the server's refusal, whatever its number. Of the
        // client's own failures, an answer without a record set, or without
        // what the success needs, leaves the outcome as unknown as no answer.
        if (!leavesOutcomeUnknown(error)) {
            DataModelClass<Derived, TradeDataModel, Param, Protocol>::failWithError(
                handle, param, error, observers);
            return;
        }
        const std::weak_ptr<int> alive = this->aliveToken();
        DataModelClass<Derived, TradeDataModel, Param, Protocol>::failWithError(
            handle, param, { Derived::unknownOutcomeMessage(error), kOrderOutcomeUnknownCode }, observers);
        // Owed by the account the request was sent for, whichever is active now.
        const RequestLedger::Answer* answer = RequestLedger::answering();
        if (!alive.expired() && answer)
            OwedReads::getInstance()->owe(Derived::changes(), *answer);
    }
};

// What an order answer lacks when its order number is missing, empty or all
// blank; any other text is the number, shown as the server sent it.
std::optional<QString> lackingOrderNumber(const QString& orderNumber);

// The text that tells a success, `format` with the number for "%1". A number
// that is missing or blank is left out with the words that name it, from the
// comma before it: "委托申请已提交，委托序号为%1。" tells "委托申请已提交。",
// never "序号为。".
QString submittedText(QStringView format, const QString& number);

// What an answer without its number is.
enum class AnswerWithoutNumber {
    // As unknown as no answer at all: the number is what shows the request
    // was taken (stock orders, most actions).
    UnknownOutcome,
    // A success told without the number: the server's answer says it was
    // taken (the fund redemption, transform, cancel and dividend setting, the
    // Stock Connect order).
    Success,
};

// An order-like request whose answer is one order or serial number (stock,
// Stock Connect and fund orders, cancels, votes, settings).
template <class Derived, class Param, class Protocol,
    AnswerWithoutNumber withoutNumber = AnswerWithoutNumber::UnknownOutcome>
class NumberedOrderDataModelClass : public OrderDataModelClass<Derived, Param, Protocol> {
public:
    using OrderDataModelClass<Derived, Param, Protocol>::OrderDataModelClass;
    static std::optional<QString> lacking(const QString& number)
    {
        // Nothing is lacking of an answer that has a record set: an answer
        // without one stays unknown all the same.
        if constexpr (withoutNumber == AnswerWithoutNumber::Success)
            return std::nullopt;
        return lackingOrderNumber(number);
    }
};

// What a share order, a subscription or a cancel of either may change.
inline QStringList shareOrderChanges()
{
    return { owedfigure::kMoney, owedfigure::kMaximum, owedfigure::kPositions, owedfigure::kOrders };
}

// The order body of both order classes; the new-issue order has no version key.
void formatOrderBody(const tagTradeOrderParam& p, RequestBody& b, bool withVersion);

// Buy, sell or exercise: 500 / 6, answers the order number.
class DMTradeDepute final
    : public NumberedOrderDataModelClass<DMTradeDepute, tagTradeOrderParam, ITradeStockDelegate> {
public:
    static constexpr DataModelInfo info { "91939600-F0BD-5956-F8AD-8B3B80F1CA0E", 500, 6, HandleRule::Fields,
        RequestEffect::NewIntent };
    using NumberedOrderDataModelClass::NumberedOrderDataModelClass;
    static void body(const tagTradeOrderParam& p, RequestBody& b) { formatOrderBody(p, b, true); }
    static QStringList changes() { return shareOrderChanges(); }
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// A new-issue subscription: the same order without "reqversion".
class DMPurchaseNewStock final
    : public NumberedOrderDataModelClass<DMPurchaseNewStock, tagTradeOrderParam, ITradeStockDelegate> {
public:
    static constexpr DataModelInfo info { "353E7618-C779-102A-3344-83B81C3A8F5E", 500, 6, HandleRule::Fields,
        RequestEffect::NewIntent };
    using NumberedOrderDataModelClass::NumberedOrderDataModelClass;
    static void body(const tagTradeOrderParam& p, RequestBody& b) { formatOrderBody(p, b, false); }
    static QStringList changes() { return shareOrderChanges(); }
    static Result reply(const std::vector<VEKTCRS>& sets) { return DMTradeDepute::reply(sets); }
};

// Cancel of one order of today: 500 / 7, answers the server's message.
class DMRequestCancelOrder final
    : public OrderDataModelClass<DMRequestCancelOrder, tagCancelOrderParam, ICancelOrderDelegate> {
public:
    static constexpr DataModelInfo info { "EDAB9F73-F007-2DB5-957E-8C4005217279", 500, 7, HandleRule::Fields,
        RequestEffect::Changes };
    using OrderDataModelClass::OrderDataModelClass;
    static void body(const tagCancelOrderParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("fundid", p.fundId).add("ordersno", p.ordersNo);
    }
    static QStringList changes() { return shareOrderChanges(); }
    static Result reply(const std::vector<VEKTCRS>& sets);
    static std::optional<QString> lacking(const Result& message);
    // A cancel left unknown is no order to avoid placing again: the words
    // of the cancel page.
    static QString unknownOutcomeMessage(const CSError& cause);
};

// How many units an order could have: 500 / 4; an empty price leaves
// "price" out.
class DMQueryMaxQuantityInfo final : public DataModelClass<DMQueryMaxQuantityInfo, TradeDataModel,
                                         tagMaxQuantityParam, IMaxQuantityInfoDelegate> {
public:
    static constexpr DataModelInfo info { "DDBA0765-0175-7B02-B698-6DD79F034058", 500, 4 };
    using DataModelClass::DataModelClass;
    static void body(const tagMaxQuantityParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
};
