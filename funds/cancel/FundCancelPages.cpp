#include "funds/cancel/FundCancelPages.h"

#include "funds/FundOutcomeRelays.h"
#include "funds/OpenFundManager.h"
#include "shell/pages/MenuItemViewManager.h"

#include <algorithm>
#include <utility>

FundBatchCancelPage::FundBatchCancelPage(
    BaseNode::Ptr node, Services services, OpenFundManager* funds, OrderAlertWindowController::Services dialog)
    : MenuItemViewController(std::move(node), services)
    , openFundManager(funds ? funds : OpenFundManager::getInstance())
    , alertWindowController_(std::make_unique<OrderAlertWindowController>(this, dialog))
{
}

FundBatchCancelPage::~FundBatchCancelPage() = default;

void FundBatchCancelPage::awakeFromNib()
{
    requestList();
}

void FundBatchCancelPage::clearAccountFigures()
{
    // The batch's answers were dropped with the requests: its dialog closes
    // and no count of it is shown.
    alertWindowController_->stopRunModal();
    confirming_.clear();
    sent_ = 0;
    answersDue_ = 0;
    sending_ = false;
    totalCount = 0;
    succeededCount = 0;
    failedCount = 0;
    clearRows();
    rows_ = 0;
    ticked_.clear();
    emit changed();
}

bool FundBatchCancelPage::requestList()
{
    const QString handle = sendListRequest();
    askedFor().ask(QStringLiteral("list"), handle);
    return !handle.isEmpty();
}

QStringList FundBatchCancelPage::readOwed(const QStringList& owed)
{
    ReadsAskedAgain reads(owed);
    reads.ask(listFigure(), [this] { return requestList(); });
    return reads.asked();
}

void FundBatchCancelPage::listArrived(qsizetype rows)
{
    rows_ = rows;
    ticked_.clear();
    emit changed();
}

void FundBatchCancelPage::selectAllButtonClicked(bool on)
{
    ticked_.clear();
    for (qsizetype r = 0; on && r < rows_; ++r)
        ticked_.insert(r);
    emit changed();
}

void FundBatchCancelPage::tickRow(qsizetype row, bool on)
{
    if (row < 0 || row >= rows_)
        return;
    if (on)
        ticked_.insert(row);
    else
        ticked_.remove(row);
    emit changed();
}

void FundBatchCancelPage::setTicked(const QList<int>& rows)
{
    ticked_.clear();
    for (int row : rows) {
        if (row >= 0 && row < rows_)
            ticked_.insert(row);
    }
    emit changed();
}

void FundBatchCancelPage::cancelOrdersClicked()
{
    // One batch at a time, from the press to its summary.
    if (isCancelling())
        return;
    // Nothing ticked: the button does nothing.
    if (ticked_.isEmpty())
        return;
    std::vector<qsizetype> rows(ticked_.begin(), ticked_.end());
    std::sort(rows.begin(), rows.end());
    // What the confirmation sends is taken now, before it shows.
    confirming_.clear();
    for (qsizetype row : rows)
        confirming_.push_back(cancelOf(row));
    totalCount = qint64(rows.size());
    succeededCount = 0;
    failedCount = 0;
    if (totalCount == 1)
        confirmOne(rows.front());
    else
        confirmMany();
}

bool FundBatchCancelPage::doConfigOrder(int)
{
    if (isCancelling())
        return true;
    const std::vector<Cancel> cancels = std::exchange(confirming_, {});
    if (cancels.empty()) {
        // Nothing to send: the dialog does not wait for answers.
        alertWindowController_->stopRunModal();
        return true;
    }
    succeededCount = 0;
    failedCount = 0;
    totalCount = qint64(cancels.size());
    sending_ = true;
    sent_ = qsizetype(cancels.size());
    answersDue_ = totalCount;
    // Each row is asked under its own channel, for its handle: rows whose
    // cancels merged are answered together, a refusal (no handle) once.
    ActionOutcomeRelay& batch = startBatch();
    for (qsizetype i = 0; i < sent_; ++i) {
        const QString handle = cancels[size_t(i)](batch);
        batch.sent(handle);
        askedFor().ask(cancelChannel(i), handle);
    }
    batch.allSent();
    sending_ = false;
    emit changed();
    // Every answer, a refusal's too, comes on a later pass of the loop.
    return true;
}

void FundBatchCancelPage::doConfigOrderTimeLimitPassed(int)
{
    // The dialog gave up on the answers still to come: the batch's relay told
    // the customer those cancels are of unknown outcome and tells what comes
    // of them. The batch ends here.
    failedCount += answersDue_;
    answersDue_ = 0;
    for (qsizetype i = 0; i < sent_; ++i)
        askedFor().settle(cancelChannel(i));
    endBatch();
}

void FundBatchCancelPage::cancelAnswered(const QString& handle, const QString* serial, const CSError* error)
{
    // Rows whose cancels merged share one request, and so its answer; a
    // refusal answers one row.
    qint64 rows = 0;
    for (qsizetype i = 0; i < sent_ && !(handle.isEmpty() && rows > 0); ++i) {
        if (askedFor().take(cancelChannel(i), handle))
            ++rows;
    }
    if (rows == 0)
        return; // not a cancel of this batch
    answersDue_ -= rows;
    if (serial)
        succeededCount += rows;
    else
        failedCount += rows;
    if (isCancelling())
        return;
    if (totalCount == 1 && serial)
        finish(AlertRequest::tip(cancelSubmittedText(*serial)));
    else if (totalCount == 1 && error)
        finish(AlertRequest::error(cancelFailedText(*error)));
    else
        finish(batchSummary());
}

QString FundBatchCancelPage::cancelSubmittedText(const QString& serial)
{
    return submittedText(u"撤单请求已提交,委托序号为:%1", serial);
}

AlertRequest FundBatchCancelPage::batchSummary() const
{
    return AlertRequest::tip(
        QString::fromUtf8(ActionOutcomeRelay::kBatchFormat).arg(succeededCount).arg(failedCount));
}

void FundBatchCancelPage::endBatch()
{
    alertWindowController_->stopRunModal();
    ticked_.clear();
    emit changed();
}

void FundBatchCancelPage::finish(const AlertRequest& message)
{
    endBatch();
    ActionOutcomeRelay::tell(alerts(), message);
    requestList();
}

OpdFundCancelOrderViewController::OpdFundCancelOrderViewController(BaseNode::Ptr node, Services services,
    OpenFundManager* funds, OrderAlertWindowController::Services dialog)
    : FundBatchCancelPage(std::move(node), services, funds, dialog)
{
}

QString OpdFundCancelOrderViewController::sendListRequest()
{
    return openFundManager->requestOpdFundCurrentOrderList(this);
}

void OpdFundCancelOrderViewController::queryOpdFundCurrentOrderList(
    DataModel*, const QString& handle, const OpdFundOrderListPtr& table)
{
    if (!takeList(handle))
        return;
    table_ = table;
    listArrived(table ? table->contentObjectArray().size() : 0);
    listRead(true);
}

void OpdFundCancelOrderViewController::clearRows()
{
    table_.reset();
}

void OpdFundCancelOrderViewController::confirmOne(qsizetype row)
{
    const RDOOpdFundOrder order = table_->objectAt(row);
    alertWindowController().runModalForOpdFundCancelOrder(
        parentWindow(), order.fundName, order.fundCode, order.tradeIdDesc, order.orderNumber);
}

void OpdFundCancelOrderViewController::confirmMany()
{
    alertWindowController().runModalForOpdFundCancelOrders(parentWindow());
}

ActionOutcomeRelay& OpdFundCancelOrderViewController::startBatch()
{
    return startBatchOf<FundCancelOutcomeRelay>(*this);
}

FundBatchCancelPage::Cancel OpdFundCancelOrderViewController::cancelOf(qsizetype row)
{
    return [funds = openFundManager, order = table_->objectAt(row)](ActionOutcomeRelay& batch) {
        return funds->requestOpdFundCancelOrder(&static_cast<FundCancelOutcomeRelay&>(batch), order);
    };
}

InvestOntimeCancelOrderViewController::InvestOntimeCancelOrderViewController(BaseNode::Ptr node, Services services,
    OpenFundManager* funds, OrderAlertWindowController::Services dialog)
    : FundBatchCancelPage(std::move(node), services, funds, dialog)
{
}

QString InvestOntimeCancelOrderViewController::sendListRequest()
{
    return openFundManager->requestOpdFundInvestOntimeOrderList(this);
}

void InvestOntimeCancelOrderViewController::queryInvestOntimeOrderList(
    DataModel*, const QString& handle, const InvestOntimeOrderTablePtr& table)
{
    if (!takeList(handle))
        return;
    table_ = table;
    orderArray_.clear();
    for (qsizetype r = 0; table && r < table->contentObjectArray().size(); ++r)
        orderArray_.push_back(table->objectAt(r));
    listArrived(qsizetype(orderArray_.size()));
    listRead(true);
}

void InvestOntimeCancelOrderViewController::clearRows()
{
    table_.reset();
    orderArray_.clear();
}

void InvestOntimeCancelOrderViewController::confirmOne(qsizetype row)
{
    const RDOInvestOntimeOrder& o = orderArray_[size_t(row)];
    // The payment day is shown as stored (a code, not a weekday name).
    alertWindowController().runModalForOpdFundInvestOntimeCancelOrder(parentWindow(), o.fundName, o.fundCode,
        o.paymentPeriod, o.paymentDay, o.orderAmount, o.expireType, o.beginDate, o.endDate, o.orderDate,
        o.orderNumber);
}

void InvestOntimeCancelOrderViewController::confirmMany()
{
    alertWindowController().runModalForOpdFundInvestOntimeCancelOrders(parentWindow());
}

ActionOutcomeRelay& InvestOntimeCancelOrderViewController::startBatch()
{
    return startBatchOf<FundPlanCancelOutcomeRelay>(*this);
}

FundBatchCancelPage::Cancel InvestOntimeCancelOrderViewController::cancelOf(qsizetype row)
{
    return [funds = openFundManager, plan = orderArray_[size_t(row)]](ActionOutcomeRelay& batch) {
        return funds->requsstInvestOntimeCancelOrder(&static_cast<FundPlanCancelOutcomeRelay&>(batch), plan);
    };
}

void registerFundCancelPages()
{
    MenuItemViewManager::getInstance()->registerPageClass(
        QString::fromLatin1(OpdFundCancelOrderViewController::kPageClass),
        [](const BaseNode::Ptr& node) { return std::make_unique<OpdFundCancelOrderViewController>(node); });
    MenuItemViewManager::getInstance()->registerPageClass(
        QString::fromLatin1(InvestOntimeCancelOrderViewController::kPageClass),
        [](const BaseNode::Ptr& node) { return std::make_unique<InvestOntimeCancelOrderViewController>(node); });
}
