#include "funds/trade/FundMoneyQuery.h"

#include "trading/query/QueryInfoManager.h"
#include "trading/requests/SecurityInfoDataModels.h"

struct FundMoneyQuery::Observer : IMoneyInfoDelegate {
    std::function<void(const QString&)> shown;
    // The handle of the latest ask: an answer to one asked before it (before
    // an order, say) is late and shows nothing.
    QString awaited;
    void queryMoneyInfo(DataModel*, const QString& handle, const RDOMoney& money) override
    {
        if (handle.isEmpty() || handle != awaited)
            return;
        awaited.clear();
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
    QString handle;
    queries_->requestMoneyInfo(observer_.get(), 0, QString(), &handle);
    observer_->awaited = handle;
}

void FundMoneyQuery::registerDataModels()
{
    registerOrderAndQueryDataModels();
}

void FundMoneyQuery::resetShared()
{
    QueryInfoManager::resetInstance();
}
