#pragma once

#include "core/DataModelClass.h"
#include "core/TradeDataModel.h"
#include "trading/requests/TradeQueryRecords.h"

#include <memory>
#include <mutex>

// The everyday queries of the trade server: positions (500 / 3), money
// (500 / 2), today's orders (500 / 121), capital accounts (500 / 2 without a
// currency) and the distribution list (500 / 23).

// The tables go to every observer of a handle, so they are shared: an
// observer reads them, and filters a copy of its own.
using DTTablePtr = std::shared_ptr<const DTTable>;

LUMORA_DATA_MODEL_PROTOCOL(IPositionInfoDelegate, queryPositionInfo, DTTablePtr)
LUMORA_DATA_MODEL_PROTOCOL(IMoneyInfoDelegate, queryMoneyInfo, RDOMoney)
LUMORA_DATA_MODEL_PROTOCOL(
    IOrdersOfTodayDelegate, queryOrdersOfTodayList, std::shared_ptr<DTOrdersOfTodayTable>)
LUMORA_DATA_MODEL_PROTOCOL(IFundInfoListDelegate, fundInfoList, std::shared_ptr<DTFundInfoTable>)
LUMORA_DATA_MODEL_PROTOCOL(IQueryDistributionDelegate, queryDistribution, DTTablePtr)
LUMORA_DATA_MODEL_PROTOCOL(IQueryChosenDelegate, queryChosen, DTTablePtr)
LUMORA_DATA_MODEL_PROTOCOL(
    IPurchaseNewStockDelegate, queryPurchaseNewStockList, std::shared_ptr<DTPurchaseNewStockTable>)

// Positions of kind `queryFlag` ("exeflag"): 1 warrants, answered as a
// DTWarrantPositionTable; 0 and 2 a DTStockPositionTable.
class DMPositionInfo final
    : public DataModelClass<DMPositionInfo, TradeDataModel, tagPositionInfoParam, IPositionInfoDelegate> {
public:
    static constexpr DataModelInfo info { "8991AF46-8BD5-8CD1-BACB-DC53B31E4EBA", 500, 3 };
    using DataModelClass::DataModelClass;
    static void body(const tagPositionInfoParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("exeflag", p.queryFlag).add("market", p.market);
    }
    static Result reply(const std::vector<VEKTCRS>& sets, const tagPositionInfoParam& p);
};

// Money of a capital account in a currency; an empty "fundId" asks for the
// prefix's own account.
class DMQueryMoney final
    : public DataModelClass<DMQueryMoney, TradeDataModel, tagMoneyInfoParam, IMoneyInfoDelegate> {
public:
    static constexpr DataModelInfo info { "3B3BFDC7-1A11-3971-D73F-7A520AB546CF", 500, 2 };
    using DataModelClass::DataModelClass;
    static void body(const tagMoneyInfoParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
};

class DMQueryOrdersOfToday final : public DataModelClass<DMQueryOrdersOfToday, TradeDataModel,
                                       tagOrdersOfTodayParam, IOrdersOfTodayDelegate> {
public:
    static constexpr DataModelInfo info { "4B4EB873-6CB8-68FF-383C-84F705E18122", 500, 121 };
    using DataModelClass::DataModelClass;
    static void body(const tagOrdersOfTodayParam& p, RequestBody& b) { b.prefix(p.commonUrl); }
    static Result reply(const std::vector<VEKTCRS>& sets)
    {
        return std::make_shared<DTOrdersOfTodayTable>(&sets.front());
    }
};

// Every capital account (an empty "fundId" blanks the prefix's own) or one.
class DMFundInfoList final
    : public DataModelClass<DMFundInfoList, TradeDataModel, tagFundInfoListParam, IFundInfoListDelegate> {
public:
    static constexpr DataModelInfo info { "EB1B0312-553D-4C78-171F-CFA7B5918588", 500, 2 };
    using DataModelClass::DataModelClass;
    static void body(const tagFundInfoListParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets)
    {
        return std::make_shared<DTFundInfoTable>(&sets.front());
    }
};

class DMQueryDistribution final : public DataModelClass<DMQueryDistribution, TradeDataModel,
                                      tagQueryDistributionParam, IQueryDistributionDelegate> {
public:
    static constexpr DataModelInfo info { "5BD0075C-A419-A2C5-EBDF-8657B44C0934", 500, 23 };
    using DataModelClass::DataModelClass;
    static void body(const tagQueryDistributionParam& p, RequestBody& b) { b.prefix(p.commonUrl); }
    static Result reply(const std::vector<VEKTCRS>& sets) { return std::make_shared<DTTable>(&sets.front()); }
};

// 500 / 25 with the caller's text as the whole body, answered as a plain
// table. In the catalogue, but no page of the program sends it.
class DMQueryChosen final
    : public DataModelClass<DMQueryChosen, TradeDataModel, tagQueryChosenParam, IQueryChosenDelegate> {
public:
    static constexpr DataModelInfo info { "E7169E7E-669A-F9F1-5E11-5BB9C7674844", 500, 25 };
    using DataModelClass::DataModelClass;
    static void body(const tagQueryChosenParam& p, RequestBody& b) { b.prefix(p.commonUrl); }
    static Result reply(const std::vector<VEKTCRS>& sets) { return std::make_shared<DTTable>(&sets.front()); }
};

// The issues open for subscription: 550 / 8, the prefix alone.
class DMQueryPurchaseNewStock final : public DataModelClass<DMQueryPurchaseNewStock, TradeDataModel,
                                          tagPurchaseNewStockParam, IPurchaseNewStockDelegate> {
public:
    static constexpr DataModelInfo info { "21342617-3CDD-A548-B390-8AC402ACA889", 550, 8 };
    using DataModelClass::DataModelClass;
    static void body(const tagPurchaseNewStockParam& p, RequestBody& b) { b.prefix(p.commonUrl); }
    static Result reply(const std::vector<VEKTCRS>& sets)
    {
        return std::make_shared<DTPurchaseNewStockTable>(&sets.front());
    }
};
