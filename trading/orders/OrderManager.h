#pragma once

#include "trading/query/QueryInfoManager.h"
#include "trading/requests/OrderDataModels.h"
#include "trading/requests/TradeRequestSender.h"

#include <vector>

class Security;

// Places, cancels and sizes orders, and sends the open-end fund orders and
// the risk-level match for the fund pages. Orders and cancels are never
// merged with another pending request, and never sent again by themselves:
// when one goes out and no answer comes (time-out, lost connection), its
// observer hears error kOrderOutcomeUnknownCode and today's orders and the
// positions are asked for again, for that observer and for every refresh
// observer that speaks IOrdersOfTodayDelegate or IPositionInfoDelegate.
//
// Every operation answers "" when the request went out, or why it did not.
class OrderManager : public SharedInstance<OrderManager> {
public:
    // Refusal of a cancel whose order lacks its capital account or number.
    static constexpr char kCancelKeysMissingMessage[] = "该委托缺少委托序号或资金账号，无法撤单";
    explicit OrderManager(DataModelManager* dataModelManager = nullptr,
        AccountManager* accountManager = nullptr, QueryInfoManager* queryInfoManager = nullptr);

    // requestOrder:Security:SecurityId:tradeType:Price:Quantity:OrderTypeTitle:
    // trade type 0 buy, 1 sell, 2 warrant exercise; a new issue (IPOStock)
    // goes as a subscription.
    QString requestOrder(ITradeStockDelegate* observer, const Security& security, const QString& securityId,
        qint32 tradeType, const QString& price, const QString& quantity, const QString& orderTypeTitle);
    // `handle` hears the request handle of a cancel that went out, so that a
    // batch can tell its answers apart.
    QString requestCancelOrder(ICancelOrderDelegate* observer, const QString& fundId, const QString& orderNo,
        QString* handle = nullptr);

    // The fund pages' orders (their request classes live with the funds and
    // the risk assessment; the observer speaks their protocols).
    QString requestSubscribeFund(DataModelObserver* observer, const QString& fundCode, const QString& amount,
        const QString& seriesNumber, const QString& corpCode);
    QString requestPurchaseFund(DataModelObserver* observer, const QString& fundCode, const QString& amount,
        const QString& seriesNumber, const QString& corpCode);
    QString requestRedeemOpdFund(DataModelObserver* observer, const QString& fundCode, const QString& amount,
        const QString& redeemType);
    QString requestTransformOpdFund(DataModelObserver* observer, const QString& fundCode,
        const QString& amount, const QString& toFundCode, const QString& seriesNumber,
        const QString& corpCode);
    QString requestUserRiskLevelMatchInfo(DataModelObserver* observer, const QString& fundCorp,
        const QString& fundCode, const QString& riskLevel);

    // Pages that show today's orders or positions; held weakly.
    void addRefreshObserver(DataModelObserver* observer);

    TradeRequestSender& sender() { return sender_; }

private:
    void refreshAfterUnknownOutcome(const DataModel::ObserverList& told);
    DataModel* orderModel(const char* identifier);
    QString requestFundTrade(DataModelObserver* observer, const char* tradeType, const QString& fundCode,
        const QString& amount, const QString& seriesNumber, const QString& corpCode);

    TradeRequestSender sender_;
    QueryInfoManager* queryInfoManager_;
    std::vector<DataModelObserverRef> refreshObservers_;
};
