#include "trading/requests/TradeQueryDataModels.h"

#include "login/CommonUrl.h"

namespace {

// The prefix asking for another capital account. An account that could
// rewrite the body is put in as a pair of its own, which refuses the body.
void prefixForFund(RequestBody& b, const std::string& commonUrl, const std::string& fundId)
{
    if (!RequestBody::isSafeValue(fundId)) {
        b.prefix(commonUrl).add("fundid", fundId);
        return;
    }
    // The "fundid" pair by its exact key, every other pair as it is.
    b.prefix(commonurl::withValue(
        QString::fromStdString(commonUrl), QStringLiteral("fundid"), QString::fromStdString(fundId))
                 .toStdString());
}

} // namespace

DMPositionInfo::Result DMPositionInfo::reply(const std::vector<VEKTCRS>& sets, const tagPositionInfoParam& p)
{
    if (p.queryFlag == 1)
        return std::make_shared<DTWarrantPositionTable>(&sets.front());
    return std::make_shared<DTStockPositionTable>(&sets.front());
}

void DMQueryMoney::body(const tagMoneyInfoParam& p, RequestBody& b)
{
    if (p.fundId.empty())
        b.prefix(p.commonUrl);
    else
        prefixForFund(b, p.commonUrl, p.fundId);
    b.add("moneytype", p.moneyType);
}

DMQueryMoney::Result DMQueryMoney::reply(const std::vector<VEKTCRS>& sets)
{
    VEKTCRS first = sets.front();
    first.fetchFirst();
    return RDOMoney(&first);
}

void DMFundInfoList::body(const tagFundInfoListParam& p, RequestBody& b)
{
    prefixForFund(b, p.commonUrl, p.fundId);
}
