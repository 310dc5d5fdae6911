#pragma once

#include "login/RequestSender.h"

#include <QString>
#include <memory>

class IOpdFundTradeDelegate;
class IQueryOpdFundPoistionListDelegate;
class IRedeemOpdFundDelegate;
class ITransformOpdFundDelegate;
class IUserRiskLevelMatchDelegate;

// The fund operations of the order facade. They live with the fund requests
// they send, so trading never depends on funds; the names are the order
// facade's own. Each answers the request handle ("" when nothing was sent; a
// value that fails its check reaches the observer's error operation). Main
// thread only.
class OrderManagerFunds : public SharedInstance<OrderManagerFunds> {
public:
    static constexpr char kSubscribeTradeId[] = "240020";
    static constexpr char kPurchaseTradeId[] = "240022";

    explicit OrderManagerFunds(DataModelManager* dataModelManager = nullptr, AccountManager* accountManager = nullptr);
    ~OrderManagerFunds();
    OrderManagerFunds(const OrderManagerFunds&) = delete;
    OrderManagerFunds& operator=(const OrderManagerFunds&) = delete;

    // requestSubscribeFund:FundCode:FundAmount:seriesNumber:corpCode:
    QString requestSubscribeFund(IOpdFundTradeDelegate* observer, const QString& fundCode, const QString& fundAmount,
        const QString& seriesNumber, const QString& corpCode);
    // requestPurchaseFund:FundCode:FundAmount:seriesNumber:corpCode:
    QString requestPurchaseFund(IOpdFundTradeDelegate* observer, const QString& fundCode, const QString& fundAmount,
        const QString& seriesNumber, const QString& corpCode);
    // requestRedeemOpdFund:FundCode:FundAmount:RedeemType: -- shares, and
    // 0 cancel or 1 carry over the part beyond a large-redemption limit.
    QString requestRedeemOpdFund(
        IRedeemOpdFundDelegate* observer, const QString& fundCode, const QString& fundAmount, const QString& redeemType);
    // requestTransformOpdFund:FundCode:FundAmount:TransformTo:seriesNumber:corpCode:
    QString requestTransformOpdFund(ITransformOpdFundDelegate* observer, const QString& fundCode,
        const QString& fundAmount, const QString& transformTo, const QString& seriesNumber, const QString& corpCode);
    // requestUserRiskLevelMatchInfo:FundCorp:FundCode:RiskLevel:
    QString requestUserRiskLevelMatchInfo(IUserRiskLevelMatchDelegate* observer, const QString& fundCorp,
        const QString& fundCode, const QString& riskLevel);

    RequestSender& sender() { return sender_; }

private:
    QString trade(IOpdFundTradeDelegate* observer, const char* tradeId, const QString& fundCode,
        const QString& fundAmount, const QString& seriesNumber, const QString& corpCode);

    RequestSender sender_;
    std::unique_ptr<DataModel> dmFundTrade;
    std::unique_ptr<DataModel> dmRedeem;
    std::unique_ptr<DataModel> dmTransform;
    std::unique_ptr<DataModel> dmRiskLevelMatch;
};

// The fund operation of the query facade.
class QueryInfoManagerFunds : public SharedInstance<QueryInfoManagerFunds> {
public:
    explicit QueryInfoManagerFunds(
        DataModelManager* dataModelManager = nullptr, AccountManager* accountManager = nullptr);
    ~QueryInfoManagerFunds();
    QueryInfoManagerFunds(const QueryInfoManagerFunds&) = delete;
    QueryInfoManagerFunds& operator=(const QueryInfoManagerFunds&) = delete;

    // requestOpdFundPositionList: every fund position, asked every time.
    QString requestOpdFundPositionList(IQueryOpdFundPoistionListDelegate* observer);

private:
    RequestSender sender_;
    std::unique_ptr<DataModel> dmPositionList;
};
