#include "connect/pages/HGTCancelOrderViewController.h"

HGTCancelOrderViewController::HGTCancelOrderViewController(
    BaseNode::Ptr node, HGTRequestManager* requestManager, Services services)
    : DeputeCancelViewController(std::move(node), services)
    , requestManager(requestManager ? requestManager : HGTRequestManager::getInstance())
{
}

namespace {

// Only the listing asked last is shown: one sent before a cancel, answered
// late, would list the order just cancelled as still resting.
constexpr char kListing[] = "listing";

} // namespace

bool HGTCancelOrderViewController::requestList()
{
    QString refused;
    const QString handle = requestManager->requestHGTQueryOrdersOfToday(
        this, QString::fromLatin1(kQueryFlag), kQueryCount, &refused);
    if (handle.isEmpty()) {
        askedFor().settle(QString::fromLatin1(kListing));
        alerts()->runAlert(AlertRequest::error(refused), nullptr);
        return false;
    }
    askedFor().ask(QString::fromLatin1(kListing), handle);
    return true;
}

QString HGTCancelOrderViewController::sendCancel(const RDOOrder& order, QString* handle)
{
    QString refused;
    *handle = requestManager->requestHGTCancelOrder(this, order.orderDate, order.orderSNo, &refused);
    return refused;
}

void HGTCancelOrderViewController::hgtQueryOrdersOfToday(
    DataModel*, const QString& handle, const std::shared_ptr<DTOrdersOfTodayTable>& table)
{
    if (askedFor().take(QString::fromLatin1(kListing), handle))
        listArrived(table);
}

bool HGTCancelOrderViewController::hgtQueryOrdersOfToday(
    DataModel*, const QString& handle, const CSError& error)
{
    if (!askedFor().take(QString::fromLatin1(kListing), handle))
        return true; // an earlier listing's
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
