#include "trading/orders/OrderParam.h"

OrderParam OrderParam::stockInfo(const QString& securityId, const QString& stockCode,
    const QString& stockName, const QString& orderType, const QString& price, const QString& quantity)
{
    OrderParam p(securityId, stockCode, stockName);
    p.orderType_ = orderType;
    p.price_ = price;
    p.quantity_ = quantity;
    return p;
}

OrderParam OrderParam::voteInfo(const QString& securityId, const QString& stockCode, const QString& stockName,
    const QString& publicNo, const QString& billNo, const QString& upNo, const QString& downNo,
    const QString& freeNo)
{
    OrderParam p(securityId, stockCode, stockName);
    p.publicNo_ = publicNo;
    p.billNo_ = billNo;
    p.upNo_ = upNo;
    p.downNo_ = downNo;
    p.freeNo_ = freeNo;
    return p;
}

OrderParam OrderParam::otherVoteInfo(const QString& securityId, const QString& stockCode,
    const QString& stockName, const QString& voteTypeTitle, qint64 voteType, const QString& voteQuantity,
    const QString& orgNo)
{
    OrderParam p(securityId, stockCode, stockName);
    p.voteTypeTitle_ = voteTypeTitle;
    p.voteType_ = voteType;
    p.voteQuantity_ = voteQuantity;
    p.orgNo_ = orgNo;
    return p;
}
