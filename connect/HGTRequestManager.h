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
// An order that went out without an answer ends in "outcome unknown"
// (kOrderOutcomeUnknownCode), is never sent again, and an observer that
// also shows positions has them read again.
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

    // Why an order's fields cannot go out; "" when they can: a code of five
    // digits, a positive price of at most three decimals, a positive whole
    // quantity.
    static QString checkOrderInput(const QString& stockCode, const QString& price, const QString& quantity);
    static bool isStockCode(const QString& stockCode);

    RequestSender& sender() { return sender_; }

private:
    void watchOrderOutcome();
    QString requestTrade(IHGTMakeOrder* observer, qint32 orderType, const QString& securityId,
        const QString& stockCode, const QString& price, const QString& quantity, QString* problem);
    template <class Param>
    QString requestQuote(const char* identifier, DataModelObserver* observer, const QString& stockCode,
        QString* problem);

    RequestSender sender_;
};
