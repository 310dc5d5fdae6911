#pragma once

#include "core/DataModelClass.h"
#include "core/DataModelFactory.h"
#include "core/TradeDataModel.h"
#include "funds/requests/FundRecords.h"
#include "trading/requests/OrderDataModels.h"

#include <memory>
#include <vector>

// The open-end fund requests of the trade server. Every body begins with the
// active account's common prefix. Queries merge while an equal one waits;
// their handles cover every field, so one fund's answer never reaches the
// caller of another. Cancels and settings merge too; orders (subscription,
// purchase, redemption, transform, investment plan) are never merged.

using OpdFundTablePtr = std::shared_ptr<DTOpenendFundTable>;
using OpdFundOrderListPtr = std::shared_ptr<DTOpdFundOrderList>;
using InvestOntimeOrderTablePtr = std::shared_ptr<DTInvestOntimeOrderTable>;

LUMORA_DATA_MODEL_PROTOCOL(IQueryOpdFundListDelegate, queryOpdFundList, OpdFundTablePtr)
LUMORA_DATA_MODEL_PROTOCOL(IQueryOpdFundDelegate, queryOpdFundInfo, RDOOpenEndFund)
LUMORA_DATA_MODEL_PROTOCOL(IQueryOpdFundPositionDelegate, queryOpdFundPosition, RDOOpdFundPositon)
// The server protocol's spelling ("Poistion").
LUMORA_DATA_MODEL_PROTOCOL(IQueryOpdFundPoistionListDelegate, queryOpdFundPoistionList, OpdFundTablePtr)
LUMORA_DATA_MODEL_PROTOCOL(IOpdFundCurrentOrderListDelegate, queryOpdFundCurrentOrderList, OpdFundOrderListPtr)
LUMORA_DATA_MODEL_PROTOCOL(IRedeemOpdFundDelegate, redeemOpdFund, QString)
LUMORA_DATA_MODEL_PROTOCOL(ITransformOpdFundDelegate, transformOpdFund, QString)
LUMORA_DATA_MODEL_PROTOCOL(IOpdFundCancelOrderDelegate, openFundCancelOrder, QString)
LUMORA_DATA_MODEL_PROTOCOL(IQueryBonusSettingDelegate, queryBonusSetting, qint64)
LUMORA_DATA_MODEL_PROTOCOL(ISubmitOpdFundBonusSettingDelegate, submitOpdFundBonusSetting, QString)
LUMORA_DATA_MODEL_PROTOCOL(IOpdQueryAppropriatenessDelegate, opdQueryAppropriateness, OpdAppropriatenessResult)
LUMORA_DATA_MODEL_PROTOCOL(IOpdQuerySignNumberDelegate, opdQuerySignNumber, QString)
LUMORA_DATA_MODEL_PROTOCOL(IOpdFundTradeDelegate, openFundTrade, QString)
LUMORA_DATA_MODEL_PROTOCOL(IUserRiskLevelMatchDelegate, userRiskLevelMatch, RDOUserRiskLevelMatchInfo)
LUMORA_DATA_MODEL_PROTOCOL(IFundHistoricNetDelegate, queryFundHistoricNet, std::vector<RDOFundHistoricNet>)
LUMORA_DATA_MODEL_PROTOCOL(IOpdFundInvestOntimeDelegate, openFundInvestOntime, QString)
LUMORA_DATA_MODEL_PROTOCOL(
    IQueryInvestOntimeOrderListDelegate, queryInvestOntimeOrderList, InvestOntimeOrderTablePtr)
LUMORA_DATA_MODEL_PROTOCOL(IInvestOntimeCancelOrderDelegate, investOntimeCancelOrder, QString)

namespace fundreply {
// The text of a field in the first row of the first set ("" when missing).
QString firstText(const std::vector<VEKTCRS>& sets, const char* field);
// The first set with its cursor on the first row.
VEKTCRS firstRow(const std::vector<VEKTCRS>& sets);
} // namespace fundreply

// What a fund order or setting, or the cancel of a fund order or plan, of
// unknown outcome is told: in the fund actions' own words, never naming the
// share orders' page.
QString fundOrderOutcomeUnknownMessage(const CSError& cause);
QString fundCancelOutcomeUnknownMessage(const CSError& cause);

// A fund request that changes state and answers a serial in "sno": orders,
// settings, plans and cancels, numbered as a stock order is.
template <class Derived, class Param, class Protocol,
    AnswerWithoutNumber withoutNumber = AnswerWithoutNumber::UnknownOutcome>
class FundSerialDataModelClass : public NumberedOrderDataModelClass<Derived, Param, Protocol, withoutNumber> {
public:
    using NumberedOrderDataModelClass<Derived, Param, Protocol, withoutNumber>::NumberedOrderDataModelClass;
    static QString reply(const std::vector<VEKTCRS>& sets) { return fundreply::firstText(sets, "sno"); }
    static QString unknownOutcomeMessage(const CSError& cause)
    {
        return fundOrderOutcomeUnknownMessage(cause);
    }
};

// What a fund order, or the cancel of one, may change.
inline QStringList fundOrderChanges()
{
    return { owedfigure::kFundShares, owedfigure::kFundOrders, owedfigure::kMoney, owedfigure::kMaximum };
}

// Fund list by list type ("1" subscription, "2" purchase, "0" investment
// plans): 500 / 1001. The reply is also filed in the data cache under the
// list type's key.
class DMQueryOpdFundList final : public DataModelClass<DMQueryOpdFundList, TradeDataModel,
                                     tagQueryOpdFundListParam, IQueryOpdFundListDelegate> {
public:
    static constexpr DataModelInfo info { "B1B6F67D-7CF5-20E4-D16B-DF934539F435", 500, 1001 };
    using DataModelClass::DataModelClass;
    static void body(const tagQueryOpdFundListParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("status", p.listType);
    }
    static Result reply(const std::vector<VEKTCRS>& sets)
    {
        return std::make_shared<DTOpenendFundTable>(&sets.front());
    }
    // The cache key of a list type, read as an integer: 0 -> 3, 1 -> 1,
    // 2 -> 2, anything else 0 (not cached).
    static int32_t getDataCacheType(const QString& listType);
    // The list a data cache entry holds; null when it holds none.
    static OpdFundTablePtr cachedList(const QVariant& entry);
};

// One fund: 500 / 1640.
class DMQueryOpdFund final
    : public DataModelClass<DMQueryOpdFund, TradeDataModel, tagQueryOpdFundParam, IQueryOpdFundDelegate> {
public:
    static constexpr DataModelInfo info { "79D96B7A-D5D3-F5D5-F8BE-C14B0518D4D6", 500, 1640 };
    using DataModelClass::DataModelClass;
    static void body(const tagQueryOpdFundParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("ofcode", p.fundCode);
    }
    static Result reply(const std::vector<VEKTCRS>& sets) { return Result(fundreply::firstRow(sets)); }
};

// One fund position: 500 / 41 with "ofcode".
class DMQueryOpdFundPosition final : public DataModelClass<DMQueryOpdFundPosition, TradeDataModel,
                                         tagOpdFundPositionParam, IQueryOpdFundPositionDelegate> {
public:
    static constexpr DataModelInfo info { "A816D446-C1E5-F6A4-9469-BE301024D3CC", 500, 41 };
    using DataModelClass::DataModelClass;
    static void body(const tagOpdFundPositionParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("ofcode", p.fundCode);
    }
    static Result reply(const std::vector<VEKTCRS>& sets) { return Result(fundreply::firstRow(sets)); }
};

// Every fund position: 500 / 41, the prefix alone.
class DMQueryOpdFundPositionList final
    : public DataModelClass<DMQueryOpdFundPositionList, TradeDataModel, tagOpdFundPositionListParam,
          IQueryOpdFundPoistionListDelegate> {
public:
    static constexpr DataModelInfo info { "F1639CDB-76DA-174C-B04B-2A74E12CBC0E", 500, 41 };
    using DataModelClass::DataModelClass;
    static void body(const tagOpdFundPositionListParam& p, RequestBody& b) { b.prefix(p.commonUrl); }
    static Result reply(const std::vector<VEKTCRS>& sets)
    {
        return std::make_shared<DTOpenendFundTable>(&sets.front());
    }
};

// Today's fund orders: 500 / 55.
class DMQueryOpdFundCurrentOrders final
    : public DataModelClass<DMQueryOpdFundCurrentOrders, TradeDataModel, tagOpdFundCurrentOrderListParam,
          IOpdFundCurrentOrderListDelegate> {
public:
    static constexpr DataModelInfo info { "8A004A47-2C80-CDCC-A724-246F2D37C70F", 500, 55 };
    using DataModelClass::DataModelClass;
    static void body(const tagOpdFundCurrentOrderListParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("unlist", "|orderdate|").add("count", 9999).add("qryflag", 1).add("poststr", "");
    }
    static Result reply(const std::vector<VEKTCRS>& sets)
    {
        return std::make_shared<DTOpdFundOrderList>(&sets.front());
    }
};

// Redeem shares: 500 / 36; the order's serial "sno" (a success without one
// is told without it, as for the transform, the cancel and the dividend
// setting below).
class DMRedeemOpdFund final : public FundSerialDataModelClass<DMRedeemOpdFund, tagRedeemOpdFundParam,
                                  IRedeemOpdFundDelegate, AnswerWithoutNumber::Success> {
public:
    static constexpr DataModelInfo info { "CEB7B50E-6242-1903-A1DD-2CFAFE8A4883", 500, 36, HandleRule::Fields,
        RequestEffect::NewIntent };
    static QStringList changes() { return fundOrderChanges(); }
    using FundSerialDataModelClass::FundSerialDataModelClass;
    static void body(const tagRedeemOpdFundParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("ofcode", p.fundCode).add("orderqty", p.amount).add("redeemtype", p.type);
    }
};

// Transform shares into another fund: 500 / 1644; "tacode" is the company
// of the fund transformed into.
class DMTransformOpdFund final : public FundSerialDataModelClass<DMTransformOpdFund, tagTransformOpdFundParam,
                                     ITransformOpdFundDelegate, AnswerWithoutNumber::Success> {
public:
    static constexpr DataModelInfo info { "62381855-8DCB-F55C-5D9D-931DD6AEDB81", 500, 1644,
        HandleRule::Fields, RequestEffect::NewIntent };
    static QStringList changes() { return fundOrderChanges(); }
    using FundSerialDataModelClass::FundSerialDataModelClass;
    static void body(const tagTransformOpdFundParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl)
            .add("ofcode", p.fundCode)
            .add("tacode", p.corpCode)
            .add("orderqty", p.amount)
            .add("otherofcode", p.toFundCode)
            .add("FID_JJZH", "")
            .add("FID_YWDM", "036")
            .add("FID_FHFS", "1")
            .add("risksignsno", p.seriesNumber);
    }
};

// Cancel a fund order of today: 500 / 37; the order's "sno3" goes as "sno".
class DMOpdFundCancelOrder final
    : public FundSerialDataModelClass<DMOpdFundCancelOrder, tagOpdFundCancelOrderParam,
          IOpdFundCancelOrderDelegate, AnswerWithoutNumber::Success> {
public:
    static constexpr DataModelInfo info { "CE8F3929-E2AD-5A54-1D81-DAD540D8922E", 500, 37, HandleRule::Fields,
        RequestEffect::Changes };
    static QStringList changes() { return fundOrderChanges(); }
    using FundSerialDataModelClass::FundSerialDataModelClass;
    // A cancel left open is told as a cancel: placing the order again is
    // not what the customer should think of.
    static QString unknownOutcomeMessage(const CSError& cause)
    {
        return fundCancelOutcomeUnknownMessage(cause);
    }
    static void body(const tagOpdFundCancelOrderParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("sno", p.orderNumber).add("ofcode", p.fundCode).add("orderdate", p.orderDate);
    }
};

// The fund's dividend method: 500 / 127; "dividmethod" by its value (0 when
// it has none).
class DMQueryBonusSetting final : public DataModelClass<DMQueryBonusSetting, TradeDataModel,
                                      tagQueryBonusSettingParam, IQueryBonusSettingDelegate> {
public:
    static constexpr DataModelInfo info { "38BDE7EB-5E5C-7B2A-3A7B-A39E4711379D", 500, 127 };
    using DataModelClass::DataModelClass;
    static void body(const tagQueryBonusSettingParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("ofcode", p.fundCode).add("tacode", p.fundCorpCode);
    }
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// Set the dividend method: 500 / 39.
class DMSubmitOpdBonusSetting final
    : public FundSerialDataModelClass<DMSubmitOpdBonusSetting, tagSubmitOpdFundBonusSettingParam,
          ISubmitOpdFundBonusSettingDelegate, AnswerWithoutNumber::Success> {
public:
    static constexpr DataModelInfo info { "FC7B6098-64BF-AFD9-CC74-B95E8528FF76", 500, 39, HandleRule::Fields,
        RequestEffect::Changes };
    // The fund's dividend method, and the setting's own row among today's
    // fund orders.
    static QStringList changes()
    {
        return { owedfigure::kFundShares, owedfigure::kFundOrders, owedfigure::kFundDividends };
    }
    using FundSerialDataModelClass::FundSerialDataModelClass;
    static void body(const tagSubmitOpdFundBonusSettingParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("ofcode", p.fundCode).add("dividmethod", p.bonusType);
    }
};

// Appropriateness of one fund for one kind of trade: 500 / 1639. The reply
// names its sets: "sdxstatus" the verdict, "sdxxy" the notices.
class DMOpdQueryAppropriateness final
    : public DataModelClass<DMOpdQueryAppropriateness, TradeDataModel, tagOpdQueryAppropriateness,
          IOpdQueryAppropriatenessDelegate> {
public:
    static constexpr DataModelInfo info { "237b93a5-b74d-4c76-9359-ef91e13bf7b6", 500, 1639 };
    using DataModelClass::DataModelClass;
    static void body(const tagOpdQueryAppropriateness& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("ofcode", p.fundCode).add("tacode", p.fundCorpCode).add("oftrdid", p.tradeType);
    }
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// The risk-disclosure sign serial: 500 / 1646; "risksignsno".
class DMOpdQuerySignNumber final : public DataModelClass<DMOpdQuerySignNumber, TradeDataModel,
                                       tagOpdQuerySignNumber, IOpdQuerySignNumberDelegate> {
public:
    static constexpr DataModelInfo info { "68bbe28f-d5c1-45c1-8c28-63f2c19f5b3f", 500, 1646 };
    using DataModelClass::DataModelClass;
    static void body(const tagOpdQuerySignNumber& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("ofcode", p.fundCode).add("tacode", p.fundCorpCode);
    }
    static Result reply(const std::vector<VEKTCRS>& sets) { return fundreply::firstText(sets, "risksignsno"); }
};

// Subscribe ("240020", 500 / 1642) or purchase ("240022", 500 / 1643).
class DMOpdFundTrade final
    : public FundSerialDataModelClass<DMOpdFundTrade, tagOpdFundParam, IOpdFundTradeDelegate> {
public:
    static constexpr DataModelInfo info { "BA38217A-B2A9-C69C-79B9-4F33F511B9D9", 500, 1642,
        HandleRule::Fields, RequestEffect::NewIntent };
    static QStringList changes() { return fundOrderChanges(); }
    static constexpr quint64 kPurchaseFunction = 1643;
    using FundSerialDataModelClass::FundSerialDataModelClass;
    static void body(const tagOpdFundParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl)
            .add("trdid", p.tradeType)
            .add("ofcode", p.fundCode)
            .add("orderamt", p.amount)
            .add("risksignsno", p.seriesNumber)
            .add("tacode", p.fundCorpCode);
    }
    static std::pair<quint64, quint64> functions(const tagOpdFundParam& p);
};

// Whether a fund's risk level suits the customer: 500 / 128. The order form
// sends it at the press but never waits for it: whatever it answers, or if
// it never does, the server's appropriateness check decides.
class DMUserRiskLevelMatch final : public DataModelClass<DMUserRiskLevelMatch, TradeDataModel,
                                       tagUserRiskLevelMatchParam, IUserRiskLevelMatchDelegate> {
public:
    static constexpr DataModelInfo info { "32C61163-9408-9A25-BC7E-0CD95DA3712D", 500, 128 };
    using DataModelClass::DataModelClass;
    static void body(const tagUserRiskLevelMatchParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("tacode", p.corpCode).add("ofcode", p.fundCode).add("risklevel", p.riskLevel);
    }
    static Result reply(const std::vector<VEKTCRS>& sets) { return Result(fundreply::firstRow(sets)); }
};

// The fund's daily net values, newest first: 551 / 1.
class DMQueryFundHistoricNet final : public DataModelClass<DMQueryFundHistoricNet, TradeDataModel,
                                         tagFundHistoricNetParam, IFundHistoricNetDelegate> {
public:
    static constexpr DataModelInfo info { "299E7E2D-5B3A-30D3-DEE1-B0C62005E0CF", 551, 1 };
    using DataModelClass::DataModelClass;
    static void body(const tagFundHistoricNetParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("reccount", p.recordCount).add("ofcode", p.fundCode);
    }
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// Open an investment plan: 500 / 1645; the plan's serial "sno".
class DMOpdFundInvestOntime final : public FundSerialDataModelClass<DMOpdFundInvestOntime,
                                        tagOpdFundInvestOntimeParam, IOpdFundInvestOntimeDelegate> {
public:
    static constexpr DataModelInfo info { "0B9CFC93-B1E4-A21A-852E-C732FAF02DE8", 500, 1645,
        HandleRule::Fields, RequestEffect::NewIntent };
    static QStringList changes() { return { owedfigure::kFundPlans }; }
    using FundSerialDataModelClass::FundSerialDataModelClass;
    static void body(const tagOpdFundInvestOntimeParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl)
            .add("action", "A")
            .add("ofcode", p.fundCode)
            .add("orderamt", p.orderAmount)
            .add("overkind", p.expireType)
            .add("actionmode", p.periodType)
            .add("sendday", p.paymentDay)
            .add("begindate", p.beginDate)
            .add("enddate", p.endDate)
            .add("sqrq", p.applyDate)
            .add("risksignsno", p.seriesNumber)
            .add("tacode", p.fundCorpCode);
    }
};

// The customer's investment plans: 500 / 60.
class DMQueryInvestOntimeOrderList final
    : public DataModelClass<DMQueryInvestOntimeOrderList, TradeDataModel, tagQueryInvestOntimeOrderListParam,
          IQueryInvestOntimeOrderListDelegate> {
public:
    static constexpr DataModelInfo info { "A4CF9B50-824E-02A9-F1E6-565300921E2B", 500, 60 };
    using DataModelClass::DataModelClass;
    static void body(const tagQueryInvestOntimeOrderListParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl)
            .add("unlist", "|~overkind|overkind|actionmode|")
            .add("count", 9999)
            .add("qryflag", 1)
            .add("poststr", "");
    }
    static Result reply(const std::vector<VEKTCRS>& sets)
    {
        return std::make_shared<DTInvestOntimeOrderTable>(&sets.front());
    }
};

// Cancel an investment plan: 500 / 61, with the plan's own stored values.
class DMInvestOntimeCancelOrder final
    : public FundSerialDataModelClass<DMInvestOntimeCancelOrder, tagInvestOntimeCancelOrderParam,
          IInvestOntimeCancelOrderDelegate> {
public:
    static constexpr DataModelInfo info { "BC35EB83-3DA9-D9D8-9396-310193366C81", 500, 61, HandleRule::Fields,
        RequestEffect::Changes };
    static QStringList changes() { return { owedfigure::kFundPlans }; }
    using FundSerialDataModelClass::FundSerialDataModelClass;
    // A cancel left open is told as a cancel: placing the order again is
    // not what the customer should think of.
    static QString unknownOutcomeMessage(const CSError& cause)
    {
        return fundCancelOutcomeUnknownMessage(cause);
    }
    static void body(const tagInvestOntimeCancelOrderParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl)
            .add("action", "D")
            .add("sno", p.orderNumber)
            .add("ofcode", p.fundCode)
            .add("orderdate", p.orderDate)
            .add("sendsn", p.sendNumber)
            .add("orderamt", p.orderAmount)
            .add("overkind", "")
            .add("actionmode", "")
            .add("begindate", p.beginDate)
            .add("enddate", p.endDate)
            .add("sendday", p.paymentDay);
    }
};

// Registers the classes above in the catalogue.
void registerFundDataModels();
LUMORA_REGISTER_DATA_MODELS(registerFundDataModels)
