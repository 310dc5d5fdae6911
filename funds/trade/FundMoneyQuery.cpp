#include "funds/trade/FundMoneyQuery.h"

#include "trading/query/QueryInfoManager.h"
#include "trading/requests/SecurityInfoDataModels.h"

struct FundMoneyQuery::Observer : IMoneyInfoDelegate {
    std::function<void(const QString&)> shown;
    void queryMoneyInfo(DataModel*, const QString&, const RDOMoney& money) override
    {
        if (shown)
            shown(money.availableText());
    }
    using IMoneyInfoDelegate::queryMoneyInfo;
};

FundMoneyQuery::FundMoneyQuery(QueryInfoManager* queries)
    : queries_(queries ? queries : QueryInfoManager::getInstance())
    , observer_(std::make_unique<Observer>())
{
}

FundMoneyQuery::~FundMoneyQuery() = default;

void FundMoneyQuery::request(std::function<void(const QString&)> shown)
{
    observer_->shown = std::move(shown);
    queries_->requestMoneyInfo(observer_.get(), 0, QString());
}

void FundMoneyQuery::registerDataModels()
{
    registerOrderAndQueryDataModels();
}

void FundMoneyQuery::resetShared()
{
    QueryInfoManager::resetInstance();
}
