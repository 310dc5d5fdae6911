#pragma once

#include "core/DataModelClass.h"
#include "core/DataModelFactory.h"
#include "core/QuoteDataModel.h"
#include "core/TradeDataModel.h"
#include "quotes/requests/QuoteRecords.h"
#include "trading/requests/OrderDataModels.h"

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

// A Stock Connect order. It changes state, so it never merges with another
// waiting request, and one that went out without an answer ends in an
// unknown outcome and is never sent again by itself.
class DMHGTMakeOrder final : public OrderDataModelClass<DMHGTMakeOrder, tagHGTMakeOrder, IHGTMakeOrder> {
public:
    static constexpr DataModelInfo info { "FD27457E-AA48-C905-9765-F3701FD03F25", 500, 510, HandleRule::Fields,
        true };
    using OrderDataModelClass::OrderDataModelClass;
    static void body(const tagHGTMakeOrder& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
    static std::optional<QString> lacking(const Result& r) { return lackingOrderNumber(r); }
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

// Registers the Stock Connect request classes in the catalogue.
void registerConnectDataModels();
LUMORA_REGISTER_DATA_MODELS(registerConnectDataModels)
