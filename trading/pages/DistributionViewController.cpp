#include "trading/pages/DistributionViewController.h"

DistributionViewController::DistributionViewController(BaseNode::Ptr node, Services services)
    : MenuItemViewController(std::move(node), services)
    , queryInfoManager_(
          services.queryInfoManager ? services.queryInfoManager : QueryInfoManager::getInstance())
    , table_(TableKind::Common)
{
}

void DistributionViewController::awakeFromNib()
{
    warning_ = false;
    requestQueryDistribution();
}

void DistributionViewController::clearAccountFigures()
{
    warning_ = false;
    table_.clearRows();
}

void DistributionViewController::requestQueryDistribution()
{
    // Refused before it went out (no account): as a failed query.
    if (!queryInfoManager_->requestDistributionList(this).isEmpty())
        queryDistribution(nullptr, QString(), CSError());
}

void DistributionViewController::queryDistribution(DataModel*, const QString&, const DTTablePtr& table)
{
    warning_ = false;
    table_.show(table);
    emit changed();
}

bool DistributionViewController::queryDistribution(DataModel*, const QString&, const CSError&)
{
    warning_ = true;
    table_.clearRows();
    emit changed();
    return true;
}
