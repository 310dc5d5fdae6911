#include "trading/pages/DeputeCancelViewController.h"

#include "shell/pages/MenuItemViewManager.h"
#include "trading/pages/AssetQueryViewController.h"
#include "trading/pages/DistributionViewController.h"
#include "trading/pages/OrderOutcomeRelay.h"
#include "trading/pages/PurchaseViewController.h"
#include "trading/pages/QueryViewControllers.h"
#include "trading/requests/UnknownOutcomeWords.h"

#include <QDebug>
#include <algorithm>
#include <utility>

namespace {

// The channel today's orders are awaited under.
constexpr char kListAsk[] = "list";

// The channel the cancel of a run's row awaits its answer under.
QString cancelChannel(std::size_t row)
{
    return QStringLiteral("cancel %1").arg(row);
}

} // namespace

DeputeCancelViewController::DeputeCancelViewController(BaseNode::Ptr node, Services services)
    : MenuItemViewController(std::move(node), services)
    , queryInfoManager_(
          services.queryInfoManager ? services.queryInfoManager : QueryInfoManager::getInstance())
    , orderManager_(services.orderManager ? services.orderManager : OrderManager::getInstance())
    , alertWindowController_(this)
    , table_(TableKind::Check)
{
}

DeputeCancelViewController::~DeputeCancelViewController() = default;

void DeputeCancelViewController::awakeFromNib()
{
    // A rerun for another account forgets the run of the old one: its
    // answers were dropped with the page's requests.
    if (busy_) {
        alertWindowController_.stopRunModal();
        busy_ = armed_ = false;
    }
    requestList();
}

void DeputeCancelViewController::clearAccountFigures()
{
    // The previous account's orders can neither be seen nor ticked, so no
    // cancel of them goes out under the new account.
    orders_.reset();
    table_.clearRows();
    countText_ = QStringLiteral("0");
    selectedCountText_ = QStringLiteral("0");
    selectAllChecked_ = false;
}

bool DeputeCancelViewController::requestList()
{
    QString handle;
    const QString refused = queryInfoManager_->requestOrdersOfToday(this, &handle);
    if (!refused.isEmpty()) {
        listFailed({ refused, DataModel::kRefusedRequestCode });
        return false;
    }
    // Only the list asked for last is shown: one asked before a cancel
    // would list the order just cancelled as still standing.
    askedFor().ask(QString::fromLatin1(kListAsk), handle);
    return true;
}

QStringList DeputeCancelViewController::readOwed(const QStringList& owed)
{
    ReadsAskedAgain reads(owed);
    reads.ask(listFigure(), [this] { return requestList(); });
    return reads.asked();
}

void DeputeCancelViewController::queryOrdersOfTodayList(
    DataModel*, const QString& handle, const std::shared_ptr<DTOrdersOfTodayTable>& table)
{
    if (!askedFor().take(QString::fromLatin1(kListAsk), handle))
        return;
    listArrived(table);
    figureRead(listFigure(), true);
}

void DeputeCancelViewController::listArrived(const std::shared_ptr<DTOrdersOfTodayTable>& table)
{
    orders_ = table;
    table_.show(table);
    countText_ = QString::number(table ? table->contentObjectArray().size() : 0);
    table_.model().deselectAllRows();
    ordersTableViewClicked();
}

bool DeputeCancelViewController::queryOrdersOfTodayList(
    DataModel*, const QString& handle, const CSError& error)
{
    if (!askedFor().take(QString::fromLatin1(kListAsk), handle))
        return true;
    listFailed(error);
    figureRead(listFigure(), false);
    return true;
}

void DeputeCancelViewController::listFailed(const CSError& error)
{
    // The rows shown stay, ticks and all, until a list comes: while they may
    // be out of date the page says so, and a cancel of an order no longer
    // standing is the server's to refuse. (Another account's were cleared
    // before its list was asked.)
    emit changed();
    // One box at a time: a server that stays frozen while the customer is
    // away fails a round after another, and the box already open says it.
    listFailureBox_.tell(alerts(), AlertRequest::error(error.domain));
}

QString DeputeCancelViewController::sendCancel(const RDOOrder& o, QString* handle)
{
    if (!runRelay_)
        return orderManager_->requestCancelOrder(this, o.fundId, o.number, handle);
    const QString refused = orderManager_->requestCancelOrder(runRelay_, o.fundId, o.number, handle);
    runRelay_->sent(*handle);
    return refused;
}

bool DeputeCancelViewController::namesItsOrder(const RDOOrder& o) const
{
    return !o.number.trimmed().isEmpty() && !o.fundId.trimmed().isEmpty();
}

void DeputeCancelViewController::selectAllButtonClicked(bool on)
{
    if (on)
        table_.model().selectAllRows();
    else
        table_.model().deselectAllRows();
    selectAllChecked_ = on && table_.model().shownRowCount() > 0;
    selectedCountText_ = QString::number(table_.model().selectedIndexes().size());
    emit changed();
}

void DeputeCancelViewController::ordersTableViewClicked(int viewRow)
{
    if (viewRow >= 0)
        table_.model().itemClicked(viewRow);
    selectAllChecked_ = table_.model().shownRowCount() > 0 && table_.model().isSelectAll();
    selectedCountText_ = QString::number(table_.model().selectedIndexes().size());
    emit changed();
}

void DeputeCancelViewController::cancelOderButtonClicked()
{
    if (busy_ || !orders_)
        return;
    ticked_.clear();
    for (int row : table_.model().selectedIndexes())
        ticked_.append(orders_->recordAt(row));
    if (ticked_.isEmpty())
        return; // nothing ticked: nothing to ask, nothing to say
    // Rows that cannot name their order are refused before the dialog.
    for (const RDOOrder& o : std::as_const(ticked_)) {
        if (!namesItsOrder(o)) {
            ticked_.clear();
            alerts()->runAlert(
                AlertRequest::error(QString::fromUtf8(OrderManager::kCancelKeysMissingMessage)), nullptr);
            return;
        }
    }
    totalCount = ticked_.size();
    busy_ = true;
    armed_ = false;
    emit changed();
    const QPointer<DeputeCancelViewController> alive(this);
    if (ticked_.size() == 1) {
        const RDOOrder o = ticked_.front();
        alertWindowController_.runModalForCancelOrder(parentWindow_.data(), o.securityId, o.stockCode,
            o.stockName, o.price, o.quantity, o.bsDesc, o.number);
    } else {
        alertWindowController_.runModalForCancelOrders(parentWindow_.data());
    }
    // The dialog has closed; without a confirmation nothing went out.
    if (!alive || armed_ || !busy_)
        return;
    busy_ = false;
    ticked_.clear();
    emit changed();
}

bool DeputeCancelViewController::doConfigOrder(int)
{
    // Only the confirmation of the run the button opened sends, and once.
    if (!busy_ || armed_)
        return true;
    armed_ = true;
    succeededCount = failedCount = 0;
    results_.clear();
    bool sent = false;
    // The run's answers are heard through a relay, so they are told also
    // after the page has dropped its requests (an account change) or gone.
    runRelay_ = &OrderOutcomeRelay::forCancels(*this, *this, [this] { requestList(); });
    for (const RDOOrder& o : ticked_) {
        results_.push_back({ o.number, o.stockName, false, QString() });
        QString handle;
        const QString refused = sendCancel(o, &handle);
        if (refused.isEmpty()) {
            askedFor().ask(cancelChannel(results_.size() - 1), handle);
            sent = true;
        } else {
            results_.back().message = refused;
            ++failedCount;
            runRelay_->refused(refused);
        }
    }
    std::exchange(runRelay_, nullptr)->allSent();
    if (!sent)
        finishRun();
    return true;
}

bool DeputeCancelViewController::awaitsCancel(std::size_t row) const
{
    return !askedFor().subject(cancelChannel(row)).isEmpty();
}

void DeputeCancelViewController::doConfigOrderTimeLimitPassed(int)
{
    if (!armed_)
        return;
    // The run's relay told the cancels still due as unknown and tells what
    // comes of them: the page's run ends here.
    for (std::size_t row = 0; row < results_.size(); ++row) {
        if (!awaitsCancel(row))
            continue;
        askedFor().settle(cancelChannel(row));
        results_[row].message = QString::fromUtf8(unknownoutcome::kCancel);
        ++failedCount;
    }
    endRun();
}

void DeputeCancelViewController::cancelOrder(DataModel*, const QString& handle, const QString& message)
{
    answer(handle, true, message);
}

bool DeputeCancelViewController::cancelOrder(DataModel*, const QString& handle, const CSError& error)
{
    answer(handle, false, error.domain);
    return true;
}

void DeputeCancelViewController::answer(const QString& handle, bool succeeded, const QString& message)
{
    // An answer counts once for every row its request cancels: equal cancels
    // still waiting share one request.
    bool taken = false;
    for (std::size_t row = 0; armed_ && row < results_.size(); ++row) {
        if (!askedFor().take(cancelChannel(row), handle))
            continue;
        taken = true;
        results_[row].succeeded = succeeded;
        results_[row].message = message;
        ++(succeeded ? succeededCount : failedCount);
    }
    if (!taken) {
        qDebug() << "cancel page: answer for no pending cancel" << handle;
        return;
    }
    for (std::size_t row = 0; row < results_.size(); ++row) {
        if (awaitsCancel(row))
            return;
    }
    finishRun();
}

void DeputeCancelViewController::endRun()
{
    alertWindowController_.stopRunModal();
    busy_ = armed_ = false;
    ticked_.clear();
    emit changed();
}

void DeputeCancelViewController::finishRun()
{
    endRun();
    if (totalCount == 1) {
        const CancelResult& only = results_.front();
        ActionOutcomeRelay::tell(alerts(),
            only.succeeded ? AlertRequest::tip(succeededText(only.message))
                           : AlertRequest::error(only.message));
    } else {
        // The counts alone; the reloaded list shows which orders still stand.
        ActionOutcomeRelay::tell(alerts(),
            AlertRequest::tip(
                QString::fromUtf8(ActionOutcomeRelay::kBatchFormat).arg(succeededCount).arg(failedCount)));
    }
    requestList();
}

namespace {
template <class Page> void registerPage(MenuItemViewManager* manager)
{
    manager->registerPageClass(QString::fromLatin1(Page::kPageClass),
        [](const BaseNode::Ptr& node) { return std::make_unique<Page>(node); });
}
} // namespace

void registerQueryPages(MenuItemViewManager* manager)
{
    manager = manager ? manager : MenuItemViewManager::getInstance();
    registerPage<DeputeCancelViewController>(manager);
    registerPage<AssetQueryViewController>(manager);
    registerPage<DistributionViewController>(manager);
    registerPage<PurchaseViewController>(manager);
    registerPage<CommonQueryViewController>(manager);
    registerPage<HistoricQueryViewController>(manager);
    registerPage<HistoricQueryViewControllerEx>(manager);
}
