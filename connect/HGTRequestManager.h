#pragma once

#include "connect/requests/HGTDataModels.h"
#include "login/RequestSender.h"
#include "quotes/requests/QuoteDataModels.h"
#include "trading/requests/TradeQueryDataModels.h"

// The one facade the Stock Connect pages send through. Each operation fills
// the record of its request class from the active account and its
// arguments, sends it with a 30-second time-out (quotes too) and answers the
// request handle; "" when nothing went out, and then why in `problem`. The
// replies go to the observer through the request class's callbacks.
//
// An order, cancel, vote or declaration that went out without an answer, or
// whose answer lacks its order or serial number, ends in "outcome unknown"
// (kOrderOutcomeUnknownCode) and is never sent again; what it may have
// changed is owed by the account until read again (OwedReads).
//
// The market is always "5"; every page passes no class id, so the order type
// comes from the market and the title alone.
class HGTRequestManager : public SharedInstance<HGTRequestManager> {
public:
    static constexpr const char* kMarketCode = "5";

    explicit HGTRequestManager(DataModelManager* dataModelManager = nullptr,
        AccountManager* accountManager = nullptr);

    // requestHGTPosition:
    QString requestHGTPosition(IPositionInfoDelegate* observer, QString* problem = nullptr);
    // requestHGTTradeBuy:securityId:stockCode:price:quantity:orderTypeTitle:classId:
    QString requestHGTTradeBuy(IHGTMakeOrder* observer, const QString& securityId, const QString& stockCode,
        const QString& price, const QString& quantity, const QString& orderTypeTitle,
        const QString& classId = {}, QString* problem = nullptr);
    // requestHGTTradeSale:securityId:stockCode:price:quantity:orderTypeTitle:classId:
    QString requestHGTTradeSale(IHGTMakeOrder* observer, const QString& securityId, const QString& stockCode,
        const QString& price, const QString& quantity, const QString& orderTypeTitle,
        const QString& classId = {}, QString* problem = nullptr);
    // requestHGTQueryPrice5:stockCode: the quote code is the code and ".6".
    QString requestHGTQueryPrice5(IQuoteOf5LevelDelegate* observer, const QString& stockCode,
        QString* problem = nullptr);
    // requestHGTTimesharing:stockCode:
    QString requestHGTTimesharing(IStockTimesharingInfoDelegate* observer, const QString& stockCode,
        QString* problem = nullptr);
    // requestHGTQueryExchangeRate:
    QString requestHGTQueryExchangeRate(IHGTQueryExchangeRate* observer, QString* problem = nullptr);
    // requestHGTQueryCombInfo:stockCode:securityId:isSale:price:orderTypeTitle:classId:
    // A sell without a title asks for the odd-lot sell.
    QString requestHGTQueryCombInfo(IHGTQueryCombInfo* observer, const QString& stockCode,
        const QString& securityId, bool isSale, const QString& price, const QString& orderTypeTitle,
        const QString& classId = {}, QString* problem = nullptr);
    // requestHGTQueryQuantityOfUnit:stockCode:
    QString requestHGTQueryQuantityOfUnit(IHGTQueryQuantityOfUnit* observer, const QString& stockCode,
        QString* problem = nullptr);

    // requestHGTCancelOrder:orderDate:orderSNo: one order per request.
    QString requestHGTCancelOrder(IHGTCancelOrder* observer, const QString& orderDate, const QString& orderSNo,
        QString* problem = nullptr);
    // requestHGTQueryOrdersOfToday:queryFlag:count:
    QString requestHGTQueryOrdersOfToday(IHGTQueryOrdersOfToday* observer, const QString& queryFlag, quint64 count,
        QString* problem = nullptr);
    // requestHGTVote:stockCode:publicNo:billNo:upNo:downNo:freeNo:securityId:
    // The quantities go as typed; the server judges them.
    QString requestHGTVote(IHGTVote* observer, const QString& stockCode, const QString& publicNo,
        const QString& billNo, const QString& upNo, const QString& downNo, const QString& freeNo,
        const QString& securityId, QString* problem = nullptr);
    // requestHGTOtherVote:stockCode:voteType:quantity:orgNo:securityId:
    // A type of 0 to 3; the quantity goes as typed.
    QString requestHGTOtherVote(IHGTOtherVote* observer, const QString& stockCode, qint32 voteType,
        const QString& quantity, const QString& orgNo, const QString& securityId, QString* problem = nullptr);
    // requestHGTQueryOtherVote:beginDate:endDate: dates as "yyyyMMdd".
    QString requestHGTQueryOtherVote(IHGTQueryOtherVote* observer, const QString& beginDate,
        const QString& endDate, QString* problem = nullptr);
    // requestHGTCancelOtherVote:stockCode:voteType:quantity:orgNo:securityId:
    // The quantity to withdraw as typed, sent behind a minus sign.
    QString requestHGTCancelOtherVote(IHGTCancelOtherVote* observer, const QString& stockCode, qint32 voteType,
        const QString& quantity, const QString& orgNo, const QString& securityId, QString* problem = nullptr);
    // requestHGTQueryStockTarget:stockCode: an empty code asks for all.
    QString requestHGTQueryStockTarget(IHGTQueryStockTarget* observer, const QString& stockCode,
        QString* problem = nullptr);
    // requestHGTQueryNotification:stockCode:
    QString requestHGTQueryNotification(IHGTQueryNotification* observer, const QString& stockCode,
        QString* problem = nullptr);
    // requestHGTQueryPermissionInfo:
    QString requestHGTQueryPermissionInfo(IQueryPermissionInfoDelegate* observer, QString* problem = nullptr);

    RequestSender& sender() { return sender_; }

private:
    // The active account's branch code; "" when its prefix has none.
    QString organizationCode() const;
    template <class Param>
    QString requestDeclaration(const char* identifier, DataModelObserver* observer, const QString& stockCode,
        qint32 voteType, const QString& quantity, const QString& orgNo, const QString& securityId,
        QString* problem);
    QString requestTrade(IHGTMakeOrder* observer, qint32 orderType, const QString& securityId,
        const QString& stockCode, const QString& price, const QString& quantity, QString* problem);
    template <class Param>
    QString requestQuote(const char* identifier, DataModelObserver* observer, const QString& stockCode,
        QString* problem);

    RequestSender sender_;
};
