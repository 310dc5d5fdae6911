#include "funds/trade/FundMoneyQuery.h"

#include "shell/pages/AskedFor.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/SecurityInfoDataModels.h"

struct FundMoneyQuery::Observer : IMoneyInfoDelegate {
    std::function<void(const QString&)> shown;
    // Only the latest ask is shown: an answer to one asked before it (before
    // an order, say) is late.
    AskedFor asked;
    void queryMoneyInfo(DataModel*, const QString& handle, const RDOMoney& money) override
    {
        if (!asked.take(QStringLiteral("money"), handle))
            return;
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
    if (handle.isEmpty())
        observer_->asked.settle(QStringLiteral("money"));
    else
        observer_->asked.ask(QStringLiteral("money"), handle);
}

void FundMoneyQuery::registerDataModels()
{
    registerOrderAndQueryDataModels();
}

void FundMoneyQuery::resetShared()
{
    QueryInfoManager::resetInstance();
}
