#include "connect/pages/HGTCancelOrderViewController.h"

#include "connect/pages/HGTOutcomeRelays.h"

#include <utility>

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
        listingFailed({ refused, DataModel::kRefusedRequestCode });
        return false;
    }
    askedFor().ask(QString::fromLatin1(kListing), handle);
    return true;
}

bool HGTCancelOrderViewController::doConfigOrder(int type)
{
    // The base sends the run through sendCancel: every cancel of it goes to
    // this run's relay, sent or refused, and the relay learns the run is
    // whole once the base has sent them all. (The base's own relay hears
    // only the cancels of the other market's protocol: none here.)
    runRelay_ = &ActionOutcomeRelay::start<HGTCancelRelay>(
        ActionOutcomeRelay::pageOf(*this, [this] { requestList(); }), *this,
        [](const QString&) { return cancelledText(); }, true);
    const bool taken = DeputeCancelViewController::doConfigOrder(type);
    std::exchange(runRelay_, nullptr)->allSent();
    return taken;
}

QString HGTCancelOrderViewController::sendCancel(const RDOOrder& order, QString* handle)
{
    QString refused;
    IHGTCancelOrder* observer = runRelay_ ? static_cast<IHGTCancelOrder*>(runRelay_) : this;
    *handle = requestManager->requestHGTCancelOrder(observer, order.orderDate, order.orderSNo, &refused);
    if (runRelay_ && refused.isEmpty())
        runRelay_->sent(*handle);
    else if (runRelay_)
        runRelay_->refused(refused);
    return refused;
}

void HGTCancelOrderViewController::hgtQueryOrdersOfToday(
    DataModel*, const QString& handle, const std::shared_ptr<DTOrdersOfTodayTable>& table)
{
    if (!askedFor().take(QString::fromLatin1(kListing), handle))
        return;
    listArrived(table);
    figureRead(listFigure(), true);
}

bool HGTCancelOrderViewController::hgtQueryOrdersOfToday(
    DataModel*, const QString& handle, const CSError& error)
{
    if (!askedFor().take(QString::fromLatin1(kListing), handle))
        return true; // an earlier listing's
    listingFailed(DataModel::getNetworkError(error));
    figureRead(listFigure(), false);
    return true;
}

void HGTCancelOrderViewController::listingFailed(const CSError& error)
{
    // The rows shown stay; the count says none is known to stand.
    countText_ = QStringLiteral("0");
    listFailed(error);
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
