#include "trading/pages/QueryViewControllers.h"

#include "platform/ChinaClock.h"

namespace {

CommonQueryManager* managerOf(const CommonQueryServices& services)
{
    return services.commonQueryManager ? services.commonQueryManager : CommonQueryManager::getInstance();
}

QString linkOf(const BaseNode::Ptr& node)
{
    return node ? node->nodeLink : QString();
}

// Statements a customer reads by the week open on the last seven days.
bool opensOnAWeek(const QString& title)
{
    static const QStringList weekly { QStringLiteral("对账单"), QStringLiteral("交割单"),
        QStringLiteral("历史成交汇总查询"), QStringLiteral("对账单查询"), QStringLiteral("交割单查询") };
    return weekly.contains(title);
}

} // namespace

CommonQueryViewController::CommonQueryViewController(BaseNode::Ptr node, Services services)
    : MenuItemViewController(std::move(node), services)
    , manager_(managerOf(services))
    , table_(TableKind::Common)
{
}

void CommonQueryViewController::awakeFromNib()
{
    // A link the request side refuses (no function numbers) is said so.
    const QString refused = manager_->requestCommonQuery(this, linkOf(menuInfo()));
    if (!refused.isEmpty())
        alerts()->runAlert(AlertRequest::error(refused), nullptr);
}

void CommonQueryViewController::clearAccountFigures()
{
    table_.clearRows();
}

void CommonQueryViewController::commonQuery(DataModel*, const QString&, const std::shared_ptr<DTTable>& table)
{
    table_.show(table);
    emit changed();
}

bool CommonQueryViewController::commonQuery(DataModel*, const QString&, const CSError& error)
{
    alerts()->runAlert(AlertRequest::error(error.domain), nullptr);
    return true;
}

HistoricQueryViewController::HistoricQueryViewController(BaseNode::Ptr node, Services services)
    : MenuItemViewController(std::move(node), services)
    , manager_(managerOf(services))
    , table_(TableKind::Common)
{
}

void HistoricQueryViewController::awakeFromNib()
{
    const QDate today = platform::ChinaClock::now().date();
    endDate_ = today;
    beginDate_ = opensOnAWeek(pageTitle()) ? today.addDays(-7) : today;
    querying_ = false;
    // The first query leaves the pickers as they are.
    send();
}

void HistoricQueryViewController::clearAccountFigures()
{
    table_.clearRows();
    shownRange_.reset();
    resultCountText_ = QStringLiteral("0");
    querying_ = false;
}

void HistoricQueryViewController::send()
{
    QString handle;
    const QString refused = sendQuery(&handle);
    if (!refused.isEmpty()) {
        endToQuery();
        alerts()->runAlert(AlertRequest::error(refused), nullptr);
        return;
    }
    // Only the answer of the range asked for last is shown.
    askedFor().ask(QStringLiteral("statement"), handle);
    askedRange_ = Range { beginDate_, endDate_ };
}

QString HistoricQueryViewController::sendQuery(QString* handle)
{
    return manager_->requestHistoricQuery(this, linkOf(menuInfo()), beginDate_, endDate_, handle);
}

// A press while a query is under way sends again: an equal query still
// waiting takes the page in, another one goes out.
void HistoricQueryViewController::queryButtonClicked()
{
    if (!verifyInput())
        return;
    beginToQuery();
    send();
}

bool HistoricQueryViewController::verifyInput()
{
    const QString begin = CommonQueryManager::getDateString(beginDate_);
    const QString end = CommonQueryManager::getDateString(endDate_);
    if (begin.toLongLong() > end.toLongLong()) {
        alerts()->runAlert(
            AlertRequest::error(QStringLiteral("开始日期%1不能大于结束日期%2, 请重新输入。").arg(begin, end)),
            nullptr);
        return false;
    }
    return true;
}

void HistoricQueryViewController::beginToQuery()
{
    querying_ = true;
    emit changed();
}

void HistoricQueryViewController::endToQuery()
{
    querying_ = false;
    emit changed();
}

void HistoricQueryViewController::commonHistoricQuery(
    DataModel*, const QString& handle, const std::shared_ptr<DTTable>& table)
{
    if (!askedFor().take(QStringLiteral("statement"), handle))
        return;
    shownRange_ = askedRange_;
    showTable(table);
    resultCountText_ = QString::number(table ? table->arrayController()->count() : 0);
    endToQuery();
}

bool HistoricQueryViewController::commonHistoricQuery(DataModel*, const QString& handle, const CSError& error)
{
    if (!askedFor().take(QStringLiteral("statement"), handle))
        return true;
    // The rows shown stay only while they are the range that failed again.
    if (askedRange_ != shownRange_) {
        table_.clearRows();
        shownRange_.reset();
    }
    alerts()->runAlert(AlertRequest::error(error.domain), nullptr);
    resultCountText_ = QStringLiteral("0");
    endToQuery();
    return true;
}

QString HistoricQueryViewControllerEx::sendQuery(QString* handle)
{
    return manager_->requestHistoricQueryEx(this, linkOf(menuInfo()), beginDate(), endDate(), handle);
}

void HistoricQueryViewControllerEx::showTable(const std::shared_ptr<DTTable>& table)
{
    table_.show(table, true);
}
