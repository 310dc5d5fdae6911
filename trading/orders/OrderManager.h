#pragma once

#include "core/TypedNumber.h"
#include "login/RequestSender.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/OrderDataModels.h"

#include <QString>

class Security;

// Places, cancels and sizes orders (the open-end fund orders go through
// OrderManagerFunds, beside the fund requests). Orders are never merged with
// another pending request (an equal cancel still waiting takes the caller
// in); neither is ever sent again by itself: when one goes out and no answer
// comes (time-out, lost connection), its observer hears error
// kOrderOutcomeUnknownCode, and what the order may have changed is owed by
// the account until read again (OwedReads).
//
// Every operation answers "" when the request went out, or why it did not.
class OrderManager : public SharedInstance<OrderManager> {
public:
    // requestOrder's refusal of a title that means no order type in the
    // security's market.
    static constexpr char kOrderTypeNotOfMarket[] = "委托方式与证券的交易市场不符";
    // The longest quantity an order carries, and what a longer one hears.
    static constexpr qsizetype kMaxQuantityLength = typednumber::kLongest;
    static QString quantityTooLong() { return typednumber::tooLong(QStringLiteral("委托数量")); }

    // Refusal of a cancel whose order lacks its capital account or number.
    static constexpr char kCancelKeysMissingMessage[] = "该委托缺少委托序号或资金账号，无法撤单";
    explicit OrderManager(
        DataModelManager* dataModelManager = nullptr, AccountManager* accountManager = nullptr);
    OrderManager(const OrderManager&) = delete;
    OrderManager& operator=(const OrderManager&) = delete;

    // requestOrder:Security:SecurityId:tradeType:Price:Quantity:OrderTypeTitle:
    // trade type 0 buy, 1 sell, 2 warrant exercise; a new issue (IPOStock)
    // goes as a subscription. The type sent is the one the title means in
    // the security's market; a title that means none there is refused.
    // `handle` hears the request handle of an order that went out.
    QString requestOrder(ITradeStockDelegate* observer, const Security& security, const QString& securityId,
        qint32 tradeType, const QString& price, const QString& quantity, const QString& orderTypeTitle,
        QString* handle = nullptr);
    // `handle` hears the request handle of a cancel that went out, so that a
    // batch can tell its answers apart.
    QString requestCancelOrder(ICancelOrderDelegate* observer, const QString& fundId, const QString& orderNo,
        QString* handle = nullptr);

    RequestSender& sender() { return sender_; }

private:
    RequestSender sender_;
};
