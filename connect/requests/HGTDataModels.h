#pragma once

#include "core/DataModelClass.h"
#include "core/DataModelFactory.h"
#include "core/QuoteDataModel.h"
#include "core/TradeDataModel.h"
#include "compliance/permissions/PermissionDataModels.h"
#include "connect/requests/HGTRecords.h"
#include "quotes/requests/QuoteRecords.h"
#include "trading/requests/OrderDataModels.h"
#include "trading/requests/TradeQueryRecords.h"
#include "trading/requests/UnknownOutcomeWords.h"

// The order side of the Stock Connect: the order itself (500 / 510), the
// maximum quantity and price step of a prospective order (500 / 507), the
// trading unit (500 / 508), the reference exchange rates (500 / 509) and a
// five-level quote on the quote server (31000 / 1003).

struct HGTCombInfo {
    QString maxTradeQuantity; // "maxqty"
    QString minPriceOfStep; // "priceunit"
};

struct HGTExchangeRate {
    QString buyRate; // "buyrate"
    QString saleRate; // "salerate"
};

LUMORA_DATA_MODEL_PROTOCOL(IHGTMakeOrder, hgtMakeOrder, QString) // "ordersno"
LUMORA_DATA_MODEL_PROTOCOL(IHGTQueryCombInfo, hgtQueryCombInfo, HGTCombInfo)
LUMORA_DATA_MODEL_PROTOCOL(IHGTQueryQuantityOfUnit, hgtQueryQuantityOfUnit, QString) // "lotsize"
LUMORA_DATA_MODEL_PROTOCOL(IHGTQueryExchangeRate, hgtQueryExchangeRate, HGTExchangeRate)
LUMORA_DATA_MODEL_PROTOCOL(IHGTQueryPrice5, hgtQueryPrice5, RDOQuotesOf5Level)

// What a Stock Connect order or cancel may change.
inline QStringList stockConnectOrderChanges()
{
    return { owedfigure::kMoney, owedfigure::kMaximum, owedfigure::kPositions, owedfigure::kHGTOrders };
}

// A Stock Connect order. A second equal one is a second intent, so it never
// merges with another waiting request, and one that went out without an answer ends in an
// unknown outcome and is never sent again by itself. An answer without its
// order number is a success told without the number.
class DMHGTMakeOrder final : public NumberedOrderDataModelClass<DMHGTMakeOrder, tagHGTMakeOrder,
                                 IHGTMakeOrder, AnswerWithoutNumber::Success> {
public:
    static constexpr DataModelInfo info { "FD27457E-AA48-C905-9765-F3701FD03F25", 500, 510,
        HandleRule::Fields, RequestEffect::NewIntent };
    static QStringList changes() { return stockConnectOrderChanges(); }
    using NumberedOrderDataModelClass::NumberedOrderDataModelClass;
    static void body(const tagHGTMakeOrder& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// The maximum quantity and price step of an order not yet placed. The sell
// flag is not sent, but the handle covers every field (account, order type
// and price too), so a board-lot and an odd-lot sell of one code never share
// an answer.
class DMHGTQueryCombInfo final
    : public DataModelClass<DMHGTQueryCombInfo, TradeDataModel, tagHGTQueryCombInfo, IHGTQueryCombInfo> {
public:
    static constexpr DataModelInfo info { "0D41ED5C-45E3-FCE0-5462-BC7740DC2226", 500, 507 };
    using DataModelClass::DataModelClass;
    static void body(const tagHGTQueryCombInfo& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
};

class DMHGTQueryQuantityOfUnit final : public DataModelClass<DMHGTQueryQuantityOfUnit, TradeDataModel,
                                           tagHGTQueryQuantityOfUnit, IHGTQueryQuantityOfUnit> {
public:
    static constexpr DataModelInfo info { "44A25D4D-46D7-F664-8F13-28BF4FCD9D34", 500, 508 };
    using DataModelClass::DataModelClass;
    static void body(const tagHGTQueryQuantityOfUnit& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("stkcode", p.stockCode);
    }
    static Result reply(const std::vector<VEKTCRS>& sets);
};

class DMHGTQueryExchangeRate final : public DataModelClass<DMHGTQueryExchangeRate, TradeDataModel,
                                         tagHGTQueryExchangeRate, IHGTQueryExchangeRate> {
public:
    static constexpr DataModelInfo info { "765F5811-AF18-6619-5155-0CEB229026EF", 500, 509 };
    using DataModelClass::DataModelClass;
    static void body(const tagHGTQueryExchangeRate& p, RequestBody& b) { b.prefix(p.commonUrl); }
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// Registered for completeness; the order pages take their quotes through
// DMQuote5LevelEx.
class DMHGTQueryPrice5Info final
    : public DataModelClass<DMHGTQueryPrice5Info, QuoteDataModel, tagHGTPrice5, IHGTQueryPrice5> {
public:
    static constexpr DataModelInfo info { "4102390D-9897-B10D-C958-1A1442C3DB2D", 31000, 1003 };
    using DataModelClass::DataModelClass;
    static void body(const tagHGTPrice5& p, RequestBody& b) { b.add("code", p.stockCode + ".5"); }
    static Result reply(const std::vector<VEKTCRS>& sets) { return RDOQuotesOf5Level(&sets.front()); }
};

LUMORA_DATA_MODEL_PROTOCOL(IHGTQueryOrdersOfToday, hgtQueryOrdersOfToday, std::shared_ptr<DTOrdersOfTodayTable>)
LUMORA_DATA_MODEL_PROTOCOL(IHGTCancelOrder, hgtCancelOrder, QString) // "ordersno"
LUMORA_DATA_MODEL_PROTOCOL(IHGTVote, hgtVote, QString) // "serial_no"
LUMORA_DATA_MODEL_PROTOCOL(IHGTOtherVote, hgtOtherVote, QString) // "serial_no"
LUMORA_DATA_MODEL_PROTOCOL(IHGTCancelOtherVote, hgtCancelOtherVote, QString) // "serial_no"
LUMORA_DATA_MODEL_PROTOCOL(IHGTQueryOtherVote, hgtQueryOtherVote, std::shared_ptr<DTHGTOtherVoteTable>)
LUMORA_DATA_MODEL_PROTOCOL(IHGTQueryNotification, hgtQueryNotification, DTHGTNotificationList)
LUMORA_DATA_MODEL_PROTOCOL(IHGTQueryStockTarget, hgtQueryStockTarget, std::shared_ptr<const DTTable>)

// Today's Stock Connect orders (500 / 512).
class DMHGTQueryOrdersOfToday final : public DataModelClass<DMHGTQueryOrdersOfToday, TradeDataModel,
                                          tagHGTOrdersOfToday, IHGTQueryOrdersOfToday> {
public:
    static constexpr DataModelInfo info { "381FA13F-9D01-C60A-36C6-F0352D6F3D9A", 500, 512 };
    using DataModelClass::DataModelClass;
    static void body(const tagHGTOrdersOfToday& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("qryflag", p.queryFlag).add("count", qint64(p.count));
    }
    static Result reply(const std::vector<VEKTCRS>& sets)
    {
        return std::make_shared<DTOrdersOfTodayTable>(&sets.front());
    }
};

// The cancel of one order (500 / 511), always "count=1". A second cancel of
// one order while the first still waits joins it and hears its answer; one
// without an answer, or whose answer names no order number (missing or
// blank), ends in an unknown outcome.
class DMHGTCancelOrder final
    : public NumberedOrderDataModelClass<DMHGTCancelOrder, tagHGTCancelOrder, IHGTCancelOrder> {
public:
    static constexpr DataModelInfo info { "BD6C32DF-142C-9057-5C88-CBA00C68A603", 500, 511,
        HandleRule::Fields, RequestEffect::Changes };
    static QStringList changes() { return stockConnectOrderChanges(); }
    using NumberedOrderDataModelClass::NumberedOrderDataModelClass;
    static void body(const tagHGTCancelOrder& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("count", "1").add("orderdate", p.orderDate).add("snos", p.orderSno);
    }
    static Result reply(const std::vector<VEKTCRS>& sets);
    // A cancel left unknown is no order to avoid placing again: the words
    // of the stock cancel.
    static QString unknownOutcomeMessage(const CSError& cause)
    {
        return DMRequestCancelOrder::unknownOutcomeMessage(cause);
    }
};

// A shareholder-meeting vote (500 / 3002); an equal one still waiting takes
// its caller in. The votes and declarations below answer a serial
// number; one that is missing or blank leaves the outcome unknown, as an
// order's does, and any other text is shown as the server sent it.
class DMHGTVote final : public NumberedOrderDataModelClass<DMHGTVote, tagHGTVote, IHGTVote> {
public:
    static constexpr DataModelInfo info { "7B5C6A9F-76AB-0843-6324-F10F00FA72AE", 500, 3002,
        HandleRule::Fields, RequestEffect::Changes };
    // Nothing a page reads again shows a vote.
    static QStringList changes() { return {}; }
    using NumberedOrderDataModelClass::NumberedOrderDataModelClass;
    static void body(const tagHGTVote& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
    // A vote left unknown is told as a vote, never as an order.
    static QString unknownOutcomeMessage(const CSError& cause)
    {
        return unknownOutcomeOf(cause, unknownoutcome::kVote);
    }
};

// A corporate-action declaration (500 / 3003) under the type's code.
class DMHGTOtherVote final
    : public NumberedOrderDataModelClass<DMHGTOtherVote, tagHGTOtherVote, IHGTOtherVote> {
public:
    static constexpr DataModelInfo info { "48D1BA54-2A7E-5C03-C4B9-6437B5237A7A", 500, 3003,
        HandleRule::Fields, RequestEffect::Changes };
    // The declarations listed are not read again after one (nor after its
    // withdrawal): nothing a page reads again shows it.
    static QStringList changes() { return {}; }
    using NumberedOrderDataModelClass::NumberedOrderDataModelClass;
    static void body(const tagHGTOtherVote& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
    // A declaration left unknown is told as a declaration.
    static QString unknownOutcomeMessage(const CSError& cause)
    {
        return unknownOutcomeOf(cause, unknownoutcome::kDeclaration);
    }
};

// A withdrawal: the declaration function with the quantity negated. The
// record holds the type before the code (the declaration's the other way).
class DMHGTCancelOtherVote final
    : public NumberedOrderDataModelClass<DMHGTCancelOtherVote, tagHGTCancelOtherVote, IHGTCancelOtherVote> {
public:
    static constexpr DataModelInfo info { "C6EDBFFE-05EE-D35C-829D-447DE951A5F4", 500, 3003,
        HandleRule::Fields, RequestEffect::Changes };
    // The declarations listed are not read again after one (nor after its
    // withdrawal): nothing a page reads again shows it.
    static QStringList changes() { return {}; }
    using NumberedOrderDataModelClass::NumberedOrderDataModelClass;
    static void body(const tagHGTCancelOtherVote& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
    // A withdrawal left unknown is told as a withdrawal.
    static QString unknownOutcomeMessage(const CSError& cause)
    {
        return unknownOutcomeOf(cause, unknownoutcome::kWithdrawal);
    }
};

// Declarations between two dates (500 / 3005). The handle covers both dates,
// so a query with new dates never takes a waiting one's answer.
class DMHGTQueryOtherVote final : public DataModelClass<DMHGTQueryOtherVote, TradeDataModel, tagHGTQueryOtherVote,
                                      IHGTQueryOtherVote> {
public:
    static constexpr DataModelInfo info { "C473EE59-1E44-62B2-17C1-E8BCB4914B3E", 500, 3005 };
    using DataModelClass::DataModelClass;
    static void body(const tagHGTQueryOtherVote& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("bgn_date", p.beginDate).add("end_date", p.endDate);
    }
    static Result reply(const std::vector<VEKTCRS>& sets)
    {
        // The display texts of the two codes are columns, the codes are not.
        return std::make_shared<DTHGTOtherVoteTable>(
            &sets.front(), QStringList { QStringLiteral("hk_type"), QStringLiteral("hk_dle_type") });
    }
};

// The notices of one security (500 / 3006), one table per row.
class DMHGTQueryNotification final : public DataModelClass<DMHGTQueryNotification, TradeDataModel,
                                         tagHGTQueryNotification, IHGTQueryNotification> {
public:
    static constexpr DataModelInfo info { "5272A84D-3FC2-DA79-AC79-4B42B2676960", 500, 3006 };
    using DataModelClass::DataModelClass;
    static void body(const tagHGTQueryNotification& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("bgn_date", "").add("end_date", "").add("zqdm", p.stockCode);
    }
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// The eligible stocks of a code, all of them for an empty one (500 / 517).
class DMHGTQueryStockTarget final : public DataModelClass<DMHGTQueryStockTarget, TradeDataModel,
                                        tagHGTQueryStockTarget, IHGTQueryStockTarget> {
public:
    static constexpr DataModelInfo info { "F6143E68-1781-6282-BCCD-DB1588677941", 500, 517 };
    using DataModelClass::DataModelClass;
    static void body(const tagHGTQueryStockTarget& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("market", "5").add("stkcode", p.stockCode);
    }
    static Result reply(const std::vector<VEKTCRS>& sets) { return std::make_shared<DTTable>(&sets.front()); }
};

// The Stock Connect permissions (500 / 259): the permission list's record,
// reply and callbacks under an identifier of its own, so that it never shares
// a request identifier with the general list (500 / 209).
class DMHGTQueryPermissionInfo final : public DataModelClass<DMHGTQueryPermissionInfo, TradeDataModel,
                                           tagPermissionInfoParam, IQueryPermissionInfoDelegate> {
public:
    static constexpr DataModelInfo info { "089D76CC-A678-116C-6D47-AAB7E6A5D14D", 500, 259 };
    using DataModelClass::DataModelClass;
    static void body(const tagPermissionInfoParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("func", "s").add("market", "5");
    }
    static Result reply(const std::vector<VEKTCRS>& sets) { return permissionsFromReply(sets); }
};

// Registers the Stock Connect request classes in the catalogue.
void registerConnectDataModels();
LUMORA_REGISTER_DATA_MODELS(registerConnectDataModels)
