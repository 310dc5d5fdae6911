#include "funds/trade/FundMoneyQuery.h"

#include "shell/pages/AskedFor.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/SecurityInfoDataModels.h"

struct FundMoneyQuery::Observer : IMoneyInfoDelegate {
    std::function<void(const QString&)> shown;
    std::function<void(bool)> answered;
    // Only the latest ask is shown: an answer to one asked before it (before
    // an order, say) is late.
    AskedFor asked;
    void queryMoneyInfo(DataModel*, const QString& handle, const RDOMoney& money) override
    {
        if (!asked.take(QStringLiteral("money"), handle))
            return;
        // Copies: either may ask again, and replace them.
        const auto show = shown;
        const auto told = answered;
        if (show)
            show(money.availableText());
        if (told)
            told(true);
    }
    bool queryMoneyInfo(DataModel*, const QString& handle, const CSError&) override
    {
        if (asked.take(QStringLiteral("money"), handle) && answered) {
            const auto told = answered;
            told(false);
        }
        return true;
    }
};

FundMoneyQuery::FundMoneyQuery(QueryInfoManager* queries)
    : queries_(queries ? queries : QueryInfoManager::getInstance())
    , observer_(std::make_unique<Observer>())
{
}

FundMoneyQuery::~FundMoneyQuery() = default;

void FundMoneyQuery::request(std::function<void(const QString&)> shown, std::function<void(bool)> answered)
{
    observer_->shown = std::move(shown);
    observer_->answered = std::move(answered);
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
