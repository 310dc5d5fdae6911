#include "funds/FundTradeOperations.h"

#include "funds/requests/FundDataModels.h"
#include "funds/requests/FundFields.h"

using fundfields::firstOf;
using fundfields::signSerial;

OrderManagerFunds::OrderManagerFunds(DataModelManager* dataModelManager, AccountManager* accountManager)
    : sender_(dataModelManager, accountManager)
{
}

OrderManagerFunds::~OrderManagerFunds() = default;

QString OrderManagerFunds::trade(IOpdFundTradeDelegate* observer, const char* tradeId, const QString& fundCode,
    const QString& fundAmount, const QString& seriesNumber, const QString& corpCode)
{
    return sender_.send<DMOpdFundTrade>(dmFundTrade, observer, [&](tagOpdFundParam& r) {
        RequestSender::put(r.tradeType, QString::fromLatin1(tradeId));
        RequestSender::put(r.fundCode, fundCode);
        RequestSender::put(r.amount, fundAmount);
        RequestSender::put(r.seriesNumber, seriesNumber);
        RequestSender::put(r.fundCorpCode, corpCode);
        return firstOf({ fundfields::fundCode(fundCode), fundfields::amount(fundAmount), signSerial(seriesNumber),
            fundfields::companyCode(corpCode) });
    });
}

QString OrderManagerFunds::requestSubscribeFund(IOpdFundTradeDelegate* observer, const QString& fundCode,
    const QString& fundAmount, const QString& seriesNumber, const QString& corpCode)
{
    return trade(observer, kSubscribeTradeId, fundCode, fundAmount, seriesNumber, corpCode);
}

QString OrderManagerFunds::requestPurchaseFund(IOpdFundTradeDelegate* observer, const QString& fundCode,
    const QString& fundAmount, const QString& seriesNumber, const QString& corpCode)
{
    return trade(observer, kPurchaseTradeId, fundCode, fundAmount, seriesNumber, corpCode);
}

QString OrderManagerFunds::requestRedeemOpdFund(
    IRedeemOpdFundDelegate* observer, const QString& fundCode, const QString& fundAmount, const QString& redeemType)
{
    return sender_.send<DMRedeemOpdFund>(dmRedeem, observer, [&](tagRedeemOpdFundParam& r) {
        RequestSender::put(r.fundCode, fundCode);
        RequestSender::put(r.amount, fundAmount);
        RequestSender::put(r.type, redeemType);
        const bool knownWay = redeemType == QLatin1String("0") || redeemType == QLatin1String("1");
        return firstOf({ fundfields::fundCode(fundCode), fundfields::shares(fundAmount),
            knownWay ? std::nullopt : std::optional<QString>(QStringLiteral("巨额赎回方式“%1”不正确").arg(redeemType)) });
    });
}

QString OrderManagerFunds::requestTransformOpdFund(ITransformOpdFundDelegate* observer, const QString& fundCode,
    const QString& fundAmount, const QString& transformTo, const QString& seriesNumber, const QString& corpCode)
{
    return sender_.send<DMTransformOpdFund>(dmTransform, observer, [&](tagTransformOpdFundParam& r) {
        RequestSender::put(r.fundCode, fundCode);
        RequestSender::put(r.corpCode, corpCode);
        RequestSender::put(r.amount, fundAmount);
        RequestSender::put(r.toFundCode, transformTo);
        RequestSender::put(r.seriesNumber, seriesNumber);
        return firstOf({ fundfields::fundCode(fundCode), fundfields::companyCode(corpCode),
            fundfields::shares(fundAmount), fundfields::fundCode(transformTo), signSerial(seriesNumber) });
    });
}

QString OrderManagerFunds::requestUserRiskLevelMatchInfo(
    IUserRiskLevelMatchDelegate* observer, const QString& fundCorp, const QString& fundCode, const QString& riskLevel)
{
    return sender_.send<DMUserRiskLevelMatch>(dmRiskLevelMatch, observer, [&](tagUserRiskLevelMatchParam& r) {
        RequestSender::put(r.fundCode, fundCode);
        RequestSender::put(r.corpCode, fundCorp);
        RequestSender::put(r.riskLevel, riskLevel);
        return firstOf({ fundfields::fundCode(fundCode), fundfields::companyCode(fundCorp),
            fundfields::asReceived(QStringLiteral("风险等级"), riskLevel) });
    });
}

QueryInfoManagerFunds::QueryInfoManagerFunds(DataModelManager* dataModelManager, AccountManager* accountManager)
    : sender_(dataModelManager, accountManager)
{
}

QueryInfoManagerFunds::~QueryInfoManagerFunds() = default;

QString QueryInfoManagerFunds::requestOpdFundPositionList(IQueryOpdFundPoistionListDelegate* observer)
{
    return sender_.send<DMQueryOpdFundPositionList>(
        dmPositionList, observer, [](tagOpdFundPositionListParam&) { return std::optional<QString>(); });
}
