#include "funds/cancel/FundCancelPages.h"

#include "funds/OpenFundManager.h"
#include "shell/pages/MenuItemViewManager.h"

#include <algorithm>

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
    pending_.clear();
    refusalsDue_ = 0;
    sending_ = false;
    totalCount = 0;
    succeededCount = 0;
    failedCount = 0;
    clearRows();
    rows_ = 0;
    ticked_.clear();
    emit changed();
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
    totalCount = ticked_.size();
    if (totalCount == 1)
        confirmOne(*ticked_.begin());
    else
        confirmMany();
}

bool FundBatchCancelPage::doConfigOrder(int)
{
    if (isCancelling() || ticked_.isEmpty())
        return true;
    succeededCount = 0;
    failedCount = 0;
    totalCount = ticked_.size();
    std::vector<qsizetype> rows(ticked_.begin(), ticked_.end());
    std::sort(rows.begin(), rows.end());
    sending_ = true;
    for (qsizetype row : rows) {
        const QString handle = cancelRow(row);
        if (handle.isEmpty())
            ++refusalsDue_;
        else
            ++pending_[handle];
    }
    sending_ = false;
    emit changed();
    // Every answer, a refusal's too, comes on a later pass of the loop.
    return true;
}

void FundBatchCancelPage::doConfigOrderTimedOut(int)
{
    // The dialog gave up on the answers still to come: the customer hears
    // that those cancels are of unknown outcome (a batch counts them as
    // failures), and the list shows what the server has.
    for (const int rows : std::as_const(pending_))
        failedCount += rows;
    failedCount += refusalsDue_;
    pending_.clear();
    refusalsDue_ = 0;
    if (totalCount == 1)
        finish(AlertRequest::error(DMOpdFundCancelOrder::unknownOutcomeMessage(CSError())));
    else
        finish(batchSummary());
}

void FundBatchCancelPage::cancelAnswered(const QString& handle, const QString* serial, const CSError* error)
{
    // Rows whose cancels are equal share one request, and so its answer.
    qsizetype rows = 1;
    if (handle.isEmpty()) {
        if (refusalsDue_ == 0)
            return; // not a row of this batch
        --refusalsDue_;
    } else {
        const auto at = pending_.find(handle);
        if (at == pending_.end())
            return; // not a cancel of this batch
        rows = at.value();
        pending_.erase(at);
    }
    if (serial)
        succeededCount += rows;
    else
        failedCount += rows;
    if (isCancelling())
        return;
    if (totalCount == 1 && serial)
        finish(AlertRequest::tip(QStringLiteral("撤单请求已提交,委托序号为:%1").arg(*serial)));
    else if (totalCount == 1 && error)
        finish(AlertRequest::error(error->domain));
    else
        finish(batchSummary());
}

AlertRequest FundBatchCancelPage::batchSummary() const
{
    return AlertRequest::tip(
        QStringLiteral("批量撤单\n成功数量:%1\n失败数量:%2").arg(succeededCount).arg(failedCount));
}

void FundBatchCancelPage::finish(const AlertRequest& message)
{
    alertWindowController_->stopRunModal();
    ticked_.clear();
    emit changed();
    alerts()->runAlert(message, nullptr);
    requestList();
}

OpdFundCancelOrderViewController::OpdFundCancelOrderViewController(BaseNode::Ptr node, Services services,
    OpenFundManager* funds, OrderAlertWindowController::Services dialog)
    : FundBatchCancelPage(std::move(node), services, funds, dialog)
{
}

void OpdFundCancelOrderViewController::requestList()
{
    openFundManager->requestOpdFundCurrentOrderList(this);
}

void OpdFundCancelOrderViewController::queryOpdFundCurrentOrderList(
    DataModel*, const QString&, const OpdFundOrderListPtr& table)
{
    table_ = table;
    listArrived(table ? table->contentObjectArray().size() : 0);
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

QString OpdFundCancelOrderViewController::cancelRow(qsizetype row)
{
    return openFundManager->requestOpdFundCancelOrder(this, table_->objectAt(row));
}

InvestOntimeCancelOrderViewController::InvestOntimeCancelOrderViewController(BaseNode::Ptr node, Services services,
    OpenFundManager* funds, OrderAlertWindowController::Services dialog)
    : FundBatchCancelPage(std::move(node), services, funds, dialog)
{
}

void InvestOntimeCancelOrderViewController::requestList()
{
    openFundManager->requestOpdFundInvestOntimeOrderList(this);
}

void InvestOntimeCancelOrderViewController::queryInvestOntimeOrderList(
    DataModel*, const QString&, const InvestOntimeOrderTablePtr& table)
{
    table_ = table;
    orderArray_.clear();
    for (qsizetype r = 0; table && r < table->contentObjectArray().size(); ++r)
        orderArray_.push_back(table->objectAt(r));
    listArrived(qsizetype(orderArray_.size()));
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

QString InvestOntimeCancelOrderViewController::cancelRow(qsizetype row)
{
    return openFundManager->requsstInvestOntimeCancelOrder(this, orderArray_[size_t(row)]);
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
