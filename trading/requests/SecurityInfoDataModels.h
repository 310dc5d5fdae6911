#pragma once

#include "core/DataModelFactory.h"
#include "core/DataModelClass.h"
#include "core/TradeDataModel.h"
#include "trading/requests/SecurityInfoRecords.h"

#include <vector>

// The trade server's requests about one security, and the two requests that
// only the security cache sends (risk-warning list, cost-price reset).

LUMORA_DATA_MODEL_PROTOCOL(INewStockInfoDelegate, queryNewStockInfo, RDONewStock)
LUMORA_DATA_MODEL_PROTOCOL(IQueryWarrantInfoDelegate, queryWarrantInfo, RDOWarrantInfo)
LUMORA_DATA_MODEL_PROTOCOL(IQuerySTStockListDelegate, querySTStockList, std::vector<QString>)
LUMORA_DATA_MODEL_PROTOCOL(IResetCostDelegate, resetCost, QString)

// New-issue facts: 500 / 4, the prefix and the code; the first row answers.
class DMQueryNewStockInfo final : public DataModelClass<DMQueryNewStockInfo, TradeDataModel,
                                      tagQueryNewStockParam, INewStockInfoDelegate> {
public:
    static constexpr DataModelInfo info { "382D6C7F-BB10-DEF4-A9CC-00B102839356", 500, 4 };
    using DataModelClass::DataModelClass;
    static void body(const tagQueryNewStockParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("stkcode", p.stockCode);
    }
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// Warrant facts: 500 / 205 with the warrant code and its market.
class DMQueryWarrantInfo final : public DataModelClass<DMQueryWarrantInfo, TradeDataModel,
                                     tagQueryWarrantInfoParam, IQueryWarrantInfoDelegate> {
public:
    static constexpr DataModelInfo info { "B5A5935E-E1BA-6646-82D2-A85D2E2E203F", 500, 205 };
    using DataModelClass::DataModelClass;
    static void body(const tagQueryWarrantInfoParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("stkcode", p.warrantCode).add("market", p.marketCode);
    }
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// The account's risk-warning stocks: 500 / 280, "stklevel=Z" and an empty
// "stkcode"; the codes of every row in order.
class DMQuerySTStockList final : public DataModelClass<DMQuerySTStockList, TradeDataModel,
                                     tagQuerySTStockListParam, IQuerySTStockListDelegate> {
public:
    static constexpr DataModelInfo info { "2F69454A-6743-7810-4F49-4BB8B826D6ED", 500, 280 };
    using DataModelClass::DataModelClass;
    static void body(const tagQuerySTStockListParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("stklevel", "Z").add("stkcode", "");
    }
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// Cost-price reset of a position: 500 / 124; changes state, and merges with
// an equal reset still waiting.
// The answer is the server's "msgok" text.
class DMResetStockCostPrice final : public DataModelClass<DMResetStockCostPrice, TradeDataModel,
                                        tagResetCostParam, IResetCostDelegate> {
public:
    static constexpr DataModelInfo info { "9534F1D5-ED3A-4392-F820-2D2C3264955D", 500, 124,
        HandleRule::Fields, RequestEffect::Changes };
    using DataModelClass::DataModelClass;
    static void body(const tagResetCostParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl)
            .add("stkcode", p.stockCode)
            .add("market", p.marketCode)
            .add("secuid", p.secuid)
            .add("costprice", p.costPrice);
    }
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// Registers every request class of the trading library in the catalogue.
void registerTradingDataModels();
LUMORA_REGISTER_DATA_MODELS(registerTradingDataModels)
// The orders, cancels and queries among them.
void registerOrderAndQueryDataModels();
