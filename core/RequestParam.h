#pragma once

#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

// The request-parameter record: one member record per server function. A
// caller fills the member of the request class it calls (after mallocParam),
// the class's request() reads it to format the body. Text fields are plain
// strings; each has its buffer size as a constant `<field>Size`, and holds at
// most that less one byte: setParam() refuses longer text, and requestData()
// refuses a record that holds any. Texts are ASCII; texts that may hold other
// characters are percent-escaped as UTF-8 first (percentEscape()).
//
// Each record is declared by its field list:
//   TEXT(name, size)    a text field with its buffer size
//   SECRET(name, size)  a text field holding a secret: hashed in request handles
//                       (and so in request identifiers). The account's common
//                       prefix (commonUrl) is one: it carries the trade password
//                       and the login ticket.
//   INT(name, type)     an integer field
#define LUMORA_PARAM_DECLARE_TEXT(name, size)                                                           \
    static constexpr std::size_t name##Size = size;                                                     \
    std::string name;
#define LUMORA_PARAM_DECLARE_INT(name, type) type name = 0;
#define LUMORA_PARAM_VISIT_TEXT(name, size) text(#name, self.name, std::size_t(size), false);
#define LUMORA_PARAM_VISIT_SECRET(name, size) text(#name, self.name, std::size_t(size), true);
#define LUMORA_PARAM_VISIT_INT(name, type) integer(#name, self.name);
#define LUMORA_PARAM_RECORD(Type, member)                                                               \
    struct Type {                                                                                       \
        static constexpr const char* kMemberName = #member;                                             \
        LUMORA_RP_##member(LUMORA_PARAM_DECLARE_TEXT, LUMORA_PARAM_DECLARE_TEXT, LUMORA_PARAM_DECLARE_INT) \
        /* text(name, std::string&, buffer size, secret) and integer(name, int&), in field order */     \
        template <class Self, class Text, class Int>                                                    \
        static void visitFields(Self& self, Text&& text, Int&& integer)                                 \
        {                                                                                               \
            LUMORA_RP_##member(LUMORA_PARAM_VISIT_TEXT, LUMORA_PARAM_VISIT_SECRET, LUMORA_PARAM_VISIT_INT) \
        }                                                                                               \
    };

// DMUtid
#define LUMORA_RP_utid(TEXT, SECRET, INT) \
    TEXT(softwareName, 256) TEXT(appVersion, 256) TEXT(machineType, 256) TEXT(hardwareInfo, 256) \
    TEXT(iMei, 256) TEXT(iMsi, 256) TEXT(osid, 256)
LUMORA_PARAM_RECORD(tagUtidParam, utid)

// DMAppLogin
#define LUMORA_RP_appLogin(TEXT, SECRET, INT) \
    TEXT(utid, 256) TEXT(softwareName, 256) TEXT(appVersion, 256) TEXT(orgId, 256) \
    TEXT(hardwareInfo, 256) TEXT(circuit, 256)
LUMORA_PARAM_RECORD(tagAppLoginParam, appLogin)

// DMTradeLogin
#define LUMORA_RP_tradeLogin(TEXT, SECRET, INT) \
    TEXT(utid, 256) TEXT(operateWay, 256) TEXT(inputType, 256) TEXT(inputId, 256) TEXT(orgId, 256) \
    SECRET(password, 256) TEXT(identifyingCode, 256) SECRET(guardCode, 256) TEXT(netAddr, 512)
LUMORA_PARAM_RECORD(tagTradeLoginParam, tradeLogin)

// DMStockTimesharingInfo
#define LUMORA_RP_quotaInfo(TEXT, SECRET, INT) \
    TEXT(code, 256)
LUMORA_PARAM_RECORD(tagQuotaInfoParam, quotaInfo)

// DMQuote5Level, DMQuote5LevelEx
#define LUMORA_RP_quote5Level(TEXT, SECRET, INT) \
    TEXT(code, 256)
LUMORA_PARAM_RECORD(tagQuote5LevelParam, quote5Level)

// DMPositionInfo
#define LUMORA_RP_positionInfo(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(market, 256) INT(queryFlag, qint64)
LUMORA_PARAM_RECORD(tagPositionInfoParam, positionInfo)

// DMQueryMoney
#define LUMORA_RP_moneyInfo(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(moneyType, 256) TEXT(fundId, 256)
LUMORA_PARAM_RECORD(tagMoneyInfoParam, moneyInfo)

// DMQueryMaxQuantityInfo
#define LUMORA_RP_maxQuantity(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(securityId, 256) TEXT(price, 256) TEXT(stockCode, 256) \
    INT(orderType, qint64) TEXT(marketCode, 256)
LUMORA_PARAM_RECORD(tagMaxQuantityParam, maxQuantity)

// DMTradeDepute, DMPurchaseNewStock
#define LUMORA_RP_tradeOrder(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(securityId, 256) TEXT(price, 256) TEXT(quantity, 256) \
    TEXT(stockCode, 256) INT(orderType, qint64) TEXT(marketCode, 256)
LUMORA_PARAM_RECORD(tagTradeOrderParam, tradeOrder)

// DMQueryOrdersOfToday
#define LUMORA_RP_ordersOfToday(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024)
LUMORA_PARAM_RECORD(tagOrdersOfTodayParam, ordersOfToday)

// DMRequestCancelOrder
#define LUMORA_RP_cancelOrder(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(fundId, 256) TEXT(ordersNo, 256)
LUMORA_PARAM_RECORD(tagCancelOrderParam, cancelOrder)

// DMQueryPurchaseNewStock
#define LUMORA_RP_purchaseNewStock(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024)
LUMORA_PARAM_RECORD(tagPurchaseNewStockParam, purchaseNewStock)

// DMQueryNewStockInfo
#define LUMORA_RP_queryNewStock(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(stockCode, 256)
LUMORA_PARAM_RECORD(tagQueryNewStockParam, queryNewStock)

// DMQueryDistribution
#define LUMORA_RP_queryDistribution(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024)
LUMORA_PARAM_RECORD(tagQueryDistributionParam, queryDistribution)

// DMQueryChosen
#define LUMORA_RP_queryChosen(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024)
LUMORA_PARAM_RECORD(tagQueryChosenParam, queryChosen)

// DMQueryOpdFundList
#define LUMORA_RP_queryOpdFundList(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(listType, 256)
LUMORA_PARAM_RECORD(tagQueryOpdFundListParam, queryOpdFundList)

// DMQueryOpdFund
#define LUMORA_RP_queryOpdFund(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(fundCode, 256)
LUMORA_PARAM_RECORD(tagQueryOpdFundParam, queryOpdFund)

// DMOpdFundTrade
#define LUMORA_RP_opdFund(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(tradeType, 256) TEXT(fundCode, 256) TEXT(amount, 256) \
    TEXT(seriesNumber, 1024) TEXT(fundCorpCode, 256)
LUMORA_PARAM_RECORD(tagOpdFundParam, opdFund)

// DMUserRiskLevelMatch
#define LUMORA_RP_userRiskLevelMatch(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(fundCode, 256) TEXT(corpCode, 256) TEXT(riskLevel, 256)
LUMORA_PARAM_RECORD(tagUserRiskLevelMatchParam, userRiskLevelMatch)

// DMQueryFundHistoricNet
#define LUMORA_RP_fundHistoricNet(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(recordCount, 256) TEXT(fundCode, 256)
LUMORA_PARAM_RECORD(tagFundHistoricNetParam, fundHistoricNet)

// DMQueryOpdFundPositionList
#define LUMORA_RP_opdFundPositionList(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024)
LUMORA_PARAM_RECORD(tagOpdFundPositionListParam, opdFundPositionList)

// DMQueryOpdFundPosition
#define LUMORA_RP_opdFundPosition(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(fundCode, 256)
LUMORA_PARAM_RECORD(tagOpdFundPositionParam, opdFundPosition)

// DMRedeemOpdFund
#define LUMORA_RP_redeemOpdFund(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(fundCode, 256) TEXT(amount, 256) TEXT(type, 256)
LUMORA_PARAM_RECORD(tagRedeemOpdFundParam, redeemOpdFund)

// DMTransformOpdFund
#define LUMORA_RP_transformOpdFund(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(fundCode, 256) TEXT(corpCode, 256) TEXT(amount, 256) \
    TEXT(toFundCode, 256) TEXT(seriesNumber, 1024)
LUMORA_PARAM_RECORD(tagTransformOpdFundParam, transformOpdFund)

// DMSubmitOpdBonusSetting
#define LUMORA_RP_submitOpdFundBonusSetting(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(fundCode, 256) TEXT(bonusType, 256)
LUMORA_PARAM_RECORD(tagSubmitOpdFundBonusSettingParam, submitOpdFundBonusSetting)

// DMQueryFundInfo
#define LUMORA_RP_fundInfo(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024)
LUMORA_PARAM_RECORD(tagFundInfoParam, fundInfo)

// DMChangeTradePassword
#define LUMORA_RP_tradePassword(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) SECRET(oldPassword, 32) SECRET(newPassword, 32)
LUMORA_PARAM_RECORD(tagTradePasswordParam, tradePassword)

// DMChangeFundPassword
#define LUMORA_RP_fundPassword(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) SECRET(oldPassword, 32) SECRET(newPassword, 32)
LUMORA_PARAM_RECORD(tagFundPasswordParam, fundPassword)

// DMQueryBonusSetting
#define LUMORA_RP_queryBonusSetting(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(fundCode, 256) TEXT(fundCorpCode, 256)
LUMORA_PARAM_RECORD(tagQueryBonusSettingParam, queryBonusSetting)

// DMOpdFundInvestOntime
#define LUMORA_RP_opdFundInvestOntime(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(fundCode, 256) TEXT(orderAmount, 256) TEXT(expireType, 256) \
    TEXT(periodType, 256) TEXT(paymentDay, 256) TEXT(beginDate, 256) TEXT(endDate, 256) \
    TEXT(applyDate, 256) TEXT(seriesNumber, 1024) TEXT(fundCorpCode, 256)
LUMORA_PARAM_RECORD(tagOpdFundInvestOntimeParam, opdFundInvestOntime)

// DMQueryOpdFundCurrentOrders
#define LUMORA_RP_opdFundCurrentOrderList(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024)
LUMORA_PARAM_RECORD(tagOpdFundCurrentOrderListParam, opdFundCurrentOrderList)

// DMQueryPermissionInfo, DMHGTQueryPermissionInfo
#define LUMORA_RP_permissionInfo(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024)
LUMORA_PARAM_RECORD(tagPermissionInfoParam, permissionInfo)

// DMQueryPermissionContract
#define LUMORA_RP_permissionContract(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(requestUrl, 512)
LUMORA_PARAM_RECORD(tagPermissionContractParam, permissionContract)

// DMOpenPermissionAccess
#define LUMORA_RP_permissionAccess(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(requestUrl, 512)
LUMORA_PARAM_RECORD(tagPermissionAccessParam, permissionAccess)

// DMPermissionSign
#define LUMORA_RP_permissionSign(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(ans, 1024)
LUMORA_PARAM_RECORD(tagPermissionSignParam, permissionSign)

// DMOpdFundCancelOrder
#define LUMORA_RP_opdFundCancelOrder(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(orderNumber, 256) TEXT(fundCode, 256) TEXT(orderDate, 256)
LUMORA_PARAM_RECORD(tagOpdFundCancelOrderParam, opdFundCancelOrder)

// DMQueryInvestOntimeOrderList
#define LUMORA_RP_queryInvestOntimeOrderList(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024)
LUMORA_PARAM_RECORD(tagQueryInvestOntimeOrderListParam, queryInvestOntimeOrderList)

// DMInvestOntimeCancelOrder
#define LUMORA_RP_investOntimeCancelOrder(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(orderNumber, 256) TEXT(fundCode, 256) TEXT(orderDate, 256) \
    TEXT(sendNumber, 256) TEXT(orderAmount, 256) TEXT(beginDate, 256) TEXT(endDate, 256) \
    TEXT(paymentDay, 256)
LUMORA_PARAM_RECORD(tagInvestOntimeCancelOrderParam, investOntimeCancelOrder)

// DMQueryFundTransferInfo
#define LUMORA_RP_queryFundTransferInfo(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024)
LUMORA_PARAM_RECORD(tagQueryFundTransferInfoParam, queryFundTransferInfo)

// DMFundTransfer
#define LUMORA_RP_fundTransfer(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(moneyType, 256) TEXT(fundId, 256) TEXT(bankCode, 256) \
    TEXT(transferAmount, 256) TEXT(transferType, 256) SECRET(fundPassword, 256) \
    SECRET(bankPassword, 256)
LUMORA_PARAM_RECORD(tagFundTransferParam, fundTransfer)

// DMQueryBankBalance
#define LUMORA_RP_queryBankBalance(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(moneyType, 256) TEXT(fundId, 256) TEXT(bankCode, 256) \
    SECRET(fundPassword, 256) SECRET(bankPassword, 256)
LUMORA_PARAM_RECORD(tagQueryBankBalanceParam, queryBankBalance)

// DMQueryRiskAssessmentInfo
#define LUMORA_RP_riskAssessmentInfo(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024)
LUMORA_PARAM_RECORD(tagRiskAssessmentInfoParam, riskAssessmentInfo)

// DMSubmitRiskAssessmentResult, DMSubmitRiskAssessmentResultEx
#define LUMORA_RP_riskAssessmentResult(TEXT, SECRET, INT) \
    INT(count, qint16) SECRET(commonUrl, 1024) TEXT(result, 512) TEXT(surveySn, 256)
LUMORA_PARAM_RECORD(tagRiskAssessmentResultParam, riskAssessmentResult)

// DMQueryRiskAssessmentMatch
#define LUMORA_RP_riskAssessmentMatch(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(trdacctExcls, 512) TEXT(surveySn, 256)
LUMORA_PARAM_RECORD(tagRiskAssessmentMatchParam, riskAssessmentMatch)

// DMFundInsideTransfer
#define LUMORA_RP_fundInsideTransfer(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(moneyType, 256) TEXT(outFundId, 256) TEXT(inFundId, 256) \
    TEXT(transferAmount, 256) SECRET(fundPassword, 256)
LUMORA_PARAM_RECORD(tagFundInsideTransferParam, fundInsideTransfer)

// DMFundCollection
#define LUMORA_RP_fundCollection(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(moneyType, 256)
LUMORA_PARAM_RECORD(tagFundCollectionParam, fundCollection)

// DMQueryWarrantInfo
#define LUMORA_RP_queryWarrantInfo(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(warrantCode, 256) TEXT(marketCode, 256)
LUMORA_PARAM_RECORD(tagQueryWarrantInfoParam, queryWarrantInfo)

// DMReservationInfo
#define LUMORA_RP_reservationInfo(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(prompt, 1024)
LUMORA_PARAM_RECORD(tagReservationInfoParam, reservationInfo)

// DMQueryMenuInfo
#define LUMORA_RP_queryMenuInfo(TEXT, SECRET, INT) \
    TEXT(utid, 256) TEXT(contId, 256) TEXT(hardwareInfo, 256) TEXT(softVersion, 256)
LUMORA_PARAM_RECORD(tagQueryMenuInfoParam, queryMenuInfo)

// DMCommonQuery
#define LUMORA_RP_commonQuery(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(link, 1024)
LUMORA_PARAM_RECORD(tagCommonQueryParam, commonQuery)

// DMCommonHistoricQuery, DMCommonHistoricQueryEx
#define LUMORA_RP_commonHistoricQuery(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(link, 1024) TEXT(beginDate, 256) TEXT(endDate, 256)
LUMORA_PARAM_RECORD(tagCommonHistoricQueryParam, commonHistoricQuery)

// DMIdentifyingCode
#define LUMORA_RP_identifyingCode(TEXT, SECRET, INT) \
    TEXT(utid, 256) TEXT(softwareName, 256) TEXT(appVersion, 256)
LUMORA_PARAM_RECORD(tagIdentifyingCodeParam, identifyingCode)

// DMQuerySTStockList
#define LUMORA_RP_querySTStockList(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024)
LUMORA_PARAM_RECORD(tagQuerySTStockListParam, querySTStockList)

// DMFundInfoList
#define LUMORA_RP_fundInfoList(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(fundId, 256)
LUMORA_PARAM_RECORD(tagFundInfoListParam, fundInfoList)

// DMResetStockCostPrice
#define LUMORA_RP_resetCost(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(stockCode, 256) TEXT(marketCode, 256) TEXT(secuid, 256) \
    TEXT(costPrice, 256)
LUMORA_PARAM_RECORD(tagResetCostParam, resetCost)

// DMMessageCenterList
#define LUMORA_RP_messageCenterList(TEXT, SECRET, INT) \
    TEXT(updateKey, 256) TEXT(orgId, 256)
LUMORA_PARAM_RECORD(tagMessageCenterListParam, messageCenterList)

// DMMessageCenterDetail
#define LUMORA_RP_messageCenterDetail(TEXT, SECRET, INT) \
    TEXT(pt, 256) TEXT(pd, 256)
LUMORA_PARAM_RECORD(tagMessageCenterDetailParam, messageCenterDetail)

// DMQueryBSTransfer
#define LUMORA_RP_queryBSTransfer(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024)
LUMORA_PARAM_RECORD(tagQueryBSTransferParam, queryBSTransfer)

// DMQueryStockIndexInfo
#define LUMORA_RP_PMDIndexInfo(TEXT, SECRET, INT) \
    TEXT(link, 512)
LUMORA_PARAM_RECORD(tagPMDIndexInfoParam, PMDIndexInfo)

// DMIdentifyLogin
#define LUMORA_RP_identifyLogin(TEXT, SECRET, INT) \
    TEXT(softName, 256) TEXT(operateWay, 256) TEXT(inputId, 256) TEXT(orgId, 256) \
    SECRET(password, 256)
LUMORA_PARAM_RECORD(tagIdentifyLoginParam, identifyLogin)

// DMQuerySystemMessage
#define LUMORA_RP_querySystemMessage(TEXT, SECRET, INT) \
    TEXT(softVersion, 256)
LUMORA_PARAM_RECORD(tagQuerySystemMessageParam, querySystemMessage)

// DMHGTMakeOrder
#define LUMORA_RP_hgtMakeOrder(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(quantity, 256) TEXT(marketCode, 256) TEXT(stockCode, 256) \
    TEXT(price, 256) TEXT(securityId, 256) INT(orderType, qint64)
LUMORA_PARAM_RECORD(tagHGTMakeOrder, hgtMakeOrder)

// DMHGTQueryPrice5Info
#define LUMORA_RP_hgtPrice5(TEXT, SECRET, INT) \
    TEXT(stockCode, 256)
LUMORA_PARAM_RECORD(tagHGTPrice5, hgtPrice5)

// DMHGTVote
#define LUMORA_RP_hgtVote(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(stockCode, 256) TEXT(publicNo, 256) TEXT(billNo, 256) TEXT(upNo, 256) \
    TEXT(downNo, 256) TEXT(freeNo, 256) TEXT(securityId, 256) TEXT(orgId, 256)
LUMORA_PARAM_RECORD(tagHGTVote, hgtVote)

// DMHGTOtherVote
#define LUMORA_RP_hgtOtherVote(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(stockCode, 256) INT(voteType, qint32) TEXT(quantity, 256) \
    TEXT(orgNo, 256) TEXT(securityId, 256) TEXT(orgId, 256)
LUMORA_PARAM_RECORD(tagHGTOtherVote, hgtOtherVote)

// DMHGTCancelOrder
#define LUMORA_RP_hgtCancelOrder(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(orderDate, 256) TEXT(orderSno, 256)
LUMORA_PARAM_RECORD(tagHGTCancelOrder, hgtCancelOrder)

// DMHGTQueryOrdersOfToday
#define LUMORA_RP_hgtOrdersOfToday(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(queryFlag, 256) INT(count, quint64)
LUMORA_PARAM_RECORD(tagHGTOrdersOfToday, hgtOrdersOfToday)

// DMHGTQueryOtherVote
#define LUMORA_RP_hgtQueryOtherVote(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(beginDate, 256) TEXT(endDate, 256)
LUMORA_PARAM_RECORD(tagHGTQueryOtherVote, hgtQueryOtherVote)

// DMHGTCancelOtherVote
#define LUMORA_RP_hgtCancelOtherVote(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) INT(voteType, qint32) TEXT(stockCode, 256) TEXT(quantity, 256) \
    TEXT(orgNo, 256) TEXT(securityId, 256) TEXT(orgId, 256)
LUMORA_PARAM_RECORD(tagHGTCancelOtherVote, hgtCancelOtherVote)

// DMHGTQueryStockTarget
#define LUMORA_RP_hgtQueryStockTarget(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(stockCode, 256)
LUMORA_PARAM_RECORD(tagHGTQueryStockTarget, hgtQueryStockTarget)

// DMHGTQueryNotification
#define LUMORA_RP_hgtQueryNotification(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(stockCode, 256)
LUMORA_PARAM_RECORD(tagHGTQueryNotification, hgtQueryNotification)

// DMHGTQueryExchangeRate
#define LUMORA_RP_hgtQueryExchangeRate(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024)
LUMORA_PARAM_RECORD(tagHGTQueryExchangeRate, hgtQueryExchangeRate)

// DMHGTQueryCombInfo
#define LUMORA_RP_hgtQueryCombInfo(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(stockCode, 256) TEXT(securityId, 256) TEXT(price, 256) \
    INT(bsFlag, qint8) INT(orderType, qint64)
LUMORA_PARAM_RECORD(tagHGTQueryCombInfo, hgtQueryCombInfo)

// DMHGTQueryQuantityOfUnit
#define LUMORA_RP_hgtQueryQuantityOfUnit(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(stockCode, 256)
LUMORA_PARAM_RECORD(tagHGTQueryQuantityOfUnit, hgtQueryQuantityOfUnit)

// DMOpdQueryAppropriateness
#define LUMORA_RP_opdQueryAppropriateness(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(fundCode, 1024) TEXT(fundCorpCode, 1024) TEXT(tradeType, 1024)
LUMORA_PARAM_RECORD(tagOpdQueryAppropriateness, opdQueryAppropriateness)

// DMOpdQuerySignNumber
#define LUMORA_RP_opdQuerySignNumber(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024) TEXT(fundCode, 1024) TEXT(fundCorpCode, 1024)
LUMORA_PARAM_RECORD(tagOpdQuerySignNumber, opdQuerySignNumber)

// DMQueryRiskEvaluationStatus
#define LUMORA_RP_riskAssessmentStatus(TEXT, SECRET, INT) \
    SECRET(commonUrl, 1024)
LUMORA_PARAM_RECORD(tagRiskAssessmentStatusParam, riskAssessmentStatus)

#define LUMORA_REQUEST_PARAM_MEMBERS(X) \
    X(utid, tagUtidParam) \
    X(appLogin, tagAppLoginParam) \
    X(tradeLogin, tagTradeLoginParam) \
    X(quotaInfo, tagQuotaInfoParam) \
    X(quote5Level, tagQuote5LevelParam) \
    X(positionInfo, tagPositionInfoParam) \
    X(moneyInfo, tagMoneyInfoParam) \
    X(maxQuantity, tagMaxQuantityParam) \
    X(tradeOrder, tagTradeOrderParam) \
    X(ordersOfToday, tagOrdersOfTodayParam) \
    X(cancelOrder, tagCancelOrderParam) \
    X(purchaseNewStock, tagPurchaseNewStockParam) \
    X(queryNewStock, tagQueryNewStockParam) \
    X(queryDistribution, tagQueryDistributionParam) \
    X(queryChosen, tagQueryChosenParam) \
    X(queryOpdFundList, tagQueryOpdFundListParam) \
    X(queryOpdFund, tagQueryOpdFundParam) \
    X(opdFund, tagOpdFundParam) \
    X(userRiskLevelMatch, tagUserRiskLevelMatchParam) \
    X(fundHistoricNet, tagFundHistoricNetParam) \
    X(opdFundPositionList, tagOpdFundPositionListParam) \
    X(opdFundPosition, tagOpdFundPositionParam) \
    X(redeemOpdFund, tagRedeemOpdFundParam) \
    X(transformOpdFund, tagTransformOpdFundParam) \
    X(submitOpdFundBonusSetting, tagSubmitOpdFundBonusSettingParam) \
    X(fundInfo, tagFundInfoParam) \
    X(tradePassword, tagTradePasswordParam) \
    X(fundPassword, tagFundPasswordParam) \
    X(queryBonusSetting, tagQueryBonusSettingParam) \
    X(opdFundInvestOntime, tagOpdFundInvestOntimeParam) \
    X(opdFundCurrentOrderList, tagOpdFundCurrentOrderListParam) \
    X(permissionInfo, tagPermissionInfoParam) \
    X(permissionContract, tagPermissionContractParam) \
    X(permissionAccess, tagPermissionAccessParam) \
    X(permissionSign, tagPermissionSignParam) \
    X(opdFundCancelOrder, tagOpdFundCancelOrderParam) \
    X(queryInvestOntimeOrderList, tagQueryInvestOntimeOrderListParam) \
    X(investOntimeCancelOrder, tagInvestOntimeCancelOrderParam) \
    X(queryFundTransferInfo, tagQueryFundTransferInfoParam) \
    X(fundTransfer, tagFundTransferParam) \
    X(queryBankBalance, tagQueryBankBalanceParam) \
    X(riskAssessmentInfo, tagRiskAssessmentInfoParam) \
    X(riskAssessmentResult, tagRiskAssessmentResultParam) \
    X(riskAssessmentMatch, tagRiskAssessmentMatchParam) \
    X(fundInsideTransfer, tagFundInsideTransferParam) \
    X(fundCollection, tagFundCollectionParam) \
    X(queryWarrantInfo, tagQueryWarrantInfoParam) \
    X(reservationInfo, tagReservationInfoParam) \
    X(queryMenuInfo, tagQueryMenuInfoParam) \
    X(commonQuery, tagCommonQueryParam) \
    X(commonHistoricQuery, tagCommonHistoricQueryParam) \
    X(identifyingCode, tagIdentifyingCodeParam) \
    X(querySTStockList, tagQuerySTStockListParam) \
    X(fundInfoList, tagFundInfoListParam) \
    X(resetCost, tagResetCostParam) \
    X(messageCenterList, tagMessageCenterListParam) \
    X(messageCenterDetail, tagMessageCenterDetailParam) \
    X(queryBSTransfer, tagQueryBSTransferParam) \
    X(PMDIndexInfo, tagPMDIndexInfoParam) \
    X(identifyLogin, tagIdentifyLoginParam) \
    X(querySystemMessage, tagQuerySystemMessageParam) \
    X(hgtMakeOrder, tagHGTMakeOrder) \
    X(hgtPrice5, tagHGTPrice5) \
    X(hgtVote, tagHGTVote) \
    X(hgtOtherVote, tagHGTOtherVote) \
    X(hgtCancelOrder, tagHGTCancelOrder) \
    X(hgtOrdersOfToday, tagHGTOrdersOfToday) \
    X(hgtQueryOtherVote, tagHGTQueryOtherVote) \
    X(hgtCancelOtherVote, tagHGTCancelOtherVote) \
    X(hgtQueryStockTarget, tagHGTQueryStockTarget) \
    X(hgtQueryNotification, tagHGTQueryNotification) \
    X(hgtQueryExchangeRate, tagHGTQueryExchangeRate) \
    X(hgtQueryCombInfo, tagHGTQueryCombInfo) \
    X(hgtQueryQuantityOfUnit, tagHGTQueryQuantityOfUnit) \
    X(opdQueryAppropriateness, tagOpdQueryAppropriateness) \
    X(opdQuerySignNumber, tagOpdQuerySignNumber) \
    X(riskAssessmentStatus, tagRiskAssessmentStatusParam)

#define LUMORA_PARAM_TYPE(member, Type) , Type
#define LUMORA_PARAM_ACCESSOR(member, Type)                                                             \
    Type* member() { return std::get_if<Type>(&value); }                                                \
    const Type* member() const { return std::get_if<Type>(&value); }

// tagRequestParam: the one active member record, or none (std::monostate)
// before mallocParam and after freeParam. The accessors named after the
// members answer nullptr unless that member is the active one.
struct tagRequestParam {
    using Value = std::variant<std::monostate LUMORA_REQUEST_PARAM_MEMBERS(LUMORA_PARAM_TYPE)>;
    Value value;

    LUMORA_REQUEST_PARAM_MEMBERS(LUMORA_PARAM_ACCESSOR)

    template <class Member> Member* get() { return std::get_if<Member>(&value); }
    template <class Member> const Member* get() const { return std::get_if<Member>(&value); }
    bool empty() const { return std::holds_alternative<std::monostate>(value); }
    // The active member's name ("tradeLogin"); empty for none.
    const char* memberName() const;
};

#undef LUMORA_PARAM_TYPE
#undef LUMORA_PARAM_ACCESSOR

namespace requestparam {

// Every field of a record, in order: text(name, std::string&, size, secret),
// integer(name, int&).
template <class Record, class Text, class Int> void forEachField(Record& record, Text&& text, Int&& integer)
{
    std::remove_const_t<Record>::visitFields(record, text, integer);
}

// The same over the active member of a parameter record.
template <class Param, class Text, class Int>
void forEachActiveField(Param& param, Text&& text, Int&& integer)
    requires std::is_same_v<std::remove_const_t<Param>, tagRequestParam>
{
    std::visit(
        [&](auto& member) {
            if constexpr (!std::is_same_v<std::remove_const_t<std::remove_reference_t<decltype(member)>>,
                              std::monostate>)
                forEachField(member, text, integer);
        },
        param.value);
}

// Why a value was refused, as the customer reads it (a request body's
// refusal too): no message of the request layer names a key or a field.
inline constexpr char kCannotBeSent[] = "输入的内容含有不能发送的字符";

// Why a text cannot go into a field of `size` bytes; nullopt when it can.
std::optional<QString> textError(const char* field, std::string_view text, std::size_t size);

// setParam: copies `text` into the field, or refuses it (false, the field
// unchanged, `message` set) when it is longer than the field's buffer allows
// or holds a zero byte. Never cuts.
template <class Record>
bool setParam(Record& record, std::string Record::*field, std::string_view text, QString* message = nullptr)
{
    bool found = false;
    bool stored = false;
    forEachField(
        record,
        [&](const char* name, std::string& value, std::size_t size, bool) {
            if (found || &value != &(record.*field))
                return;
            found = true;
            if (std::optional<QString> error = textError(name, text, size)) {
                if (message)
                    *message = *error;
                return;
            }
            value.assign(text);
            stored = true;
        },
        [](const char*, auto&) { });
    return stored;
}
template <class Record>
bool setParam(Record& record, std::string Record::*field, const char* text, QString* message = nullptr)
{
    return setParam(record, field, std::string_view(text ? text : ""), message);
}
// The text's UTF-8 form; non-ASCII text should be percent-escaped first.
template <class Record>
bool setParam(Record& record, std::string Record::*field, const QString& text, QString* message = nullptr)
{
    const QByteArray bytes = text.toUtf8();
    return setParam(record, field, std::string_view(bytes.constData(), size_t(bytes.size())), message);
}

// UTF-8 with every byte but letters, digits and "-._~" percent-escaped, so
// the result is ASCII and can hold neither "&" nor "=".
std::string percentEscape(const QString& text);

// The first field of the active member that is longer than its buffer allows
// (or holds a zero byte), as a message; nullopt when every field fits.
std::optional<QString> validate(const tagRequestParam& param);

// A request handle that covers every field of the active member, in order:
// `prefix` (when not empty) and the fields joined by "\x1f", with "%" and
// "\x1f" escaped, integers in decimal and secrets as a SHA-256 digest salted
// per process, so equal records give equal handles and no handle shows a
// password.
QString handleText(const QString& prefix, const tagRequestParam& param);

// Overwrites every text of the active member, then empties it (the member
// stays active).
void wipe(tagRequestParam& param);

} // namespace requestparam
