#include "connect/pages/HGTCancelOrderViewController.h"

HGTCancelOrderViewController::HGTCancelOrderViewController(
    BaseNode::Ptr node, HGTRequestManager* requestManager, Services services)
    : DeputeCancelViewController(std::move(node), services)
    , requestManager(requestManager ? requestManager : HGTRequestManager::getInstance())
{
}

void HGTCancelOrderViewController::requestList()
{
    QString refused;
    if (requestManager->requestHGTQueryOrdersOfToday(
            this, QString::fromLatin1(kQueryFlag), kQueryCount, &refused)
            .isEmpty())
        alerts()->runAlert(AlertRequest::error(refused), nullptr);
}

QString HGTCancelOrderViewController::sendCancel(const RDOOrder& order, QString* handle)
{
    QString refused;
    *handle = requestManager->requestHGTCancelOrder(this, order.orderDate, order.orderSNo, &refused);
    return refused;
}

void HGTCancelOrderViewController::hgtQueryOrdersOfToday(
    DataModel*, const QString&, const std::shared_ptr<DTOrdersOfTodayTable>& table)
{
    listArrived(table);
}

bool HGTCancelOrderViewController::hgtQueryOrdersOfToday(DataModel*, const QString&, const CSError& error)
{
    // The rows shown stay; the count says nothing is known.
    countText_ = QStringLiteral("0");
    listFailed(DataModel::getNetworkError(error));
    emit changed();
    return true;
}

void HGTCancelOrderViewController::hgtCancelOrder(DataModel*, const QString& handle, const QString& orderNumber)
{
    answer(handle, true, orderNumber);
}

bool HGTCancelOrderViewController::hgtCancelOrder(DataModel*, const QString& handle, const CSError& error)
{
    answer(handle, false, DataModel::getNetworkError(error).domain);
    return true;
}

void HGTCancelOrderViewController::clearAccountFigures()
{
    DeputeCancelViewController::clearAccountFigures();
    // No order of the previous account stays listed, ticked or counted.
    listArrived(nullptr);
    emit changed();
}
