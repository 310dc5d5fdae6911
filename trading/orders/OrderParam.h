#pragma once

#include <QString>
#include <QtGlobal>

// What the order confirmation dialog hands back to its page when the user
// confirms: a stock order, a Stock Connect meeting vote or a Stock Connect
// corporate-action declaration. Fields the chosen kind does not set stay
// empty (0 for the vote type).
class OrderParam {
public:
    // initWithStockInfo:stockCode:stockName:orderType:price:quantity:
    static OrderParam stockInfo(const QString& securityId, const QString& stockCode, const QString& stockName,
        const QString& orderType, const QString& price, const QString& quantity);
    // initWithVoteInfo:stockCode:stockName:publicNo:billNo:upNo:downNo:freeNo:
    static OrderParam voteInfo(const QString& securityId, const QString& stockCode, const QString& stockName,
        const QString& publicNo, const QString& billNo, const QString& upNo, const QString& downNo,
        const QString& freeNo);
    // initWithOtherVoteInfo:stockCode:stockName:voteTypeTitle:voteType:voteQuantity:orgNo:
    static OrderParam otherVoteInfo(const QString& securityId, const QString& stockCode,
        const QString& stockName, const QString& voteTypeTitle, qint64 voteType, const QString& voteQuantity,
        const QString& orgNo);

    const QString& securityId() const { return securityId_; }
    const QString& stockCode() const { return stockCode_; }
    const QString& stockName() const { return stockName_; }
    const QString& orderType() const { return orderType_; } // the order-type title
    const QString& price() const { return price_; }
    const QString& quantity() const { return quantity_; }
    const QString& publicNo() const { return publicNo_; }
    const QString& billNo() const { return billNo_; }
    const QString& upNo() const { return upNo_; }
    const QString& downNo() const { return downNo_; }
    const QString& freeNo() const { return freeNo_; }
    qint64 voteType() const { return voteType_; }
    const QString& voteTypeTitle() const { return voteTypeTitle_; }
    const QString& voteQuantity() const { return voteQuantity_; }
    const QString& orgNo() const { return orgNo_; }

private:
    OrderParam(const QString& securityId, const QString& stockCode, const QString& stockName)
        : securityId_(securityId)
        , stockCode_(stockCode)
        , stockName_(stockName)
    {
    }

    QString securityId_;
    QString stockCode_;
    QString stockName_;
    QString orderType_;
    QString price_;
    QString quantity_;
    QString publicNo_;
    QString billNo_;
    QString upNo_;
    QString downNo_;
    QString freeNo_;
    qint64 voteType_ = 0;
    QString voteTypeTitle_;
    QString voteQuantity_;
    QString orgNo_;
};
