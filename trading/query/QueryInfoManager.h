#pragma once

#include "login/RequestSender.h"
#include "trading/requests/OrderDataModels.h"
#include "trading/requests/TradeQueryDataModels.h"

// The front through which pages ask the trade server the everyday
// questions. Each operation fills its request from the active account and
// its arguments and sends it with a 30-second time-out; the answer reaches
// the observer through the request class's callbacks. Every operation answers
// "" when the request went out, or why it did not (no account, a text that
// does not fit its field, a class not in the catalogue).
class QueryInfoManager : public SharedInstance<QueryInfoManager> {
public:
    explicit QueryInfoManager(
        DataModelManager* dataModelManager = nullptr, AccountManager* accountManager = nullptr);

    // Positions of kind `queryFlag` (0 shares, 1 warrants, 2 after-hours).
    QString requestPositionInfo(IPositionInfoDelegate* observer, qint64 queryFlag, QString* handle = nullptr);
    // Money in currency `type` (0 人民币, 1 港币, 2 美元) of capital account
    // `fundId`, "" for the account of the login.
    QString requestMoneyInfo(
        IMoneyInfoDelegate* observer, qint32 type, const QString& fundId, QString* handle = nullptr);
    // The currency of a trade market by its value: 2 (Shenzhen B) 港币,
    // 3 and 7 (Shanghai B, transfer board B) 美元, any other 人民币.
    static qint32 moneyTypeOfMarket(const QString& marketCode);
    // Nothing is sent, and no callback comes, when the shareholder account,
    // the code or the market code is not given at all.
    QString requestMaxQuantityOfStock(IMaxQuantityInfoDelegate* observer,
        const std::optional<QString>& securityId, const std::optional<QString>& stockCode,
        const std::optional<QString>& marketCode, qint32 orderType, const QString& price,
        QString* handle = nullptr);
    QString requestDistributionList(IQueryDistributionDelegate* observer);
    QString requestOrdersOfToday(IOrdersOfTodayDelegate* observer, QString* handle = nullptr);
    QString requestFundInfoList(IFundInfoListDelegate* observer, QString* handle = nullptr);
    QString requestPurchaseNewStockList(IPurchaseNewStockDelegate* observer);
    // Fund positions (500 / 41) belong to the funds library's request class;
    // the observer must speak its protocol.
    QString requestOpdFundPositionList(DataModelObserver* observer);

    RequestSender& sender() { return sender_; }

private:
    RequestSender sender_;
};
