#include "trading/pages/QueryViewControllers.h"

#include "platform/ChinaClock.h"

#include <functional>

namespace {

// The channel the page's query is awaited under: only the one asked last
// is shown.
const QString kQueryChannel = QStringLiteral("query");

// What a query of the trade server shows that an action may change: the
// figure it reads, by sub function of 500. Fills are the orders' own.
struct FunctionFigure {
    quint64 sFunc;
    const char* figure;
};
constexpr FunctionFigure kFunctionFigures[] = {
    { 2, owedfigure::kMoney }, // money
    { 54, owedfigure::kMoney }, // money flows
    { 3, owedfigure::kPositions },
    { 8, owedfigure::kOrders }, // today's orders
    { 9, owedfigure::kOrders }, // today's fills
    { 121, owedfigure::kOrders }, // today's orders that can be cancelled
    { 125, owedfigure::kOrders }, // orders over a range
    { 10, owedfigure::kOrders }, // fills over a range
    { 126, owedfigure::kOrders }, // delivery statements
    { 22, owedfigure::kTransfers },
    { 41, owedfigure::kFundShares },
    { 55, owedfigure::kFundOrders }, // today's fund orders
    { 40, owedfigure::kFundOrders }, // fund orders over a range
    { 60, owedfigure::kFundPlans },
    { 162, owedfigure::kFundDividends },
    { 512, owedfigure::kHGTOrders },
};

// The figures the query a stored link names shows (`today` picks the set of
// a link with two).
QStringList figuresOf(const QString& storedLink, std::optional<bool> today = std::nullopt)
{
    const std::optional<CommonQueryLink> link
        = CommonQueryLink::parse(storedLink.toStdString(), nullptr, today);
    if (!link || link->mFunc != 500)
        return {};
    for (const FunctionFigure& f : kFunctionFigures) {
        if (f.sFunc == link->sFunc)
            return { QString::fromLatin1(f.figure) };
    }
    return {};
}

// Tells each figure of `figures` read, with its rows or not.
void tellRead(const QStringList& figures, const std::function<void(const char*)>& read)
{
    for (const QString& figure : figures)
        read(figure.toLatin1().constData());
}

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
    querying_ = false;
    query();
}

bool CommonQueryViewController::query()
{
    QString handle;
    // A link the request side refuses (no function numbers) is said so.
    const QString refused = manager_->requestCommonQuery(this, linkOf(menuInfo()), &handle);
    if (!refused.isEmpty()) {
        alerts()->runAlert(AlertRequest::error(refused), nullptr);
        return false;
    }
    askedFor().ask(kQueryChannel, handle);
    querying_ = true;
    emit changed();
    return true;
}

void CommonQueryViewController::clearAccountFigures()
{
    table_.clearRows();
    querying_ = false;
}

QStringList CommonQueryViewController::figuresShown() const
{
    return figuresOf(linkOf(menuInfo()));
}

QStringList CommonQueryViewController::readOwed(const QStringList& owed)
{
    // One query reads every figure the page shows.
    QStringList asked;
    for (const QString& figure : figuresShown()) {
        if (owed.contains(figure))
            asked << figure;
    }
    return !asked.isEmpty() && query() ? asked : QStringList();
}

void CommonQueryViewController::commonQuery(
    DataModel*, const QString& handle, const std::shared_ptr<DTTable>& table)
{
    if (!askedFor().take(kQueryChannel, handle))
        return; // a query asked before the one awaited
    querying_ = false;
    table_.show(table);
    emit changed();
    tellRead(figuresShown(), [this](const char* figure) { figureRead(figure, true); });
}

bool CommonQueryViewController::commonQuery(DataModel*, const QString& handle, const CSError& error)
{
    if (!askedFor().take(kQueryChannel, handle))
        return true;
    // The rows shown stay, under the out-of-date line while they are owed.
    querying_ = false;
    emit changed();
    failureBox_.tell(alerts(), AlertRequest::error(error.domain));
    tellRead(figuresShown(), [this](const char* figure) { figureRead(figure, false); });
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
    send({ beginDate_, endDate_ });
}

void HistoricQueryViewController::clearAccountFigures()
{
    table_.clearRows();
    shownRange_.reset();
    resultCountText_ = QStringLiteral("0");
    querying_ = false;
}

bool HistoricQueryViewController::send(const Range& range)
{
    QString handle;
    const QString refused = sendQuery(range, &handle);
    if (!refused.isEmpty()) {
        endToQuery();
        alerts()->runAlert(AlertRequest::error(refused), nullptr);
        return false;
    }
    // Only the answer of the range asked for last is shown.
    askedFor().ask(QStringLiteral("statement"), handle);
    askedRange_ = range;
    return true;
}

QString HistoricQueryViewController::sendQuery(const Range& range, QString* handle)
{
    return manager_->requestHistoricQuery(this, linkOf(menuInfo()), range.first, range.second, handle);
}

bool HistoricQueryViewController::showsToday() const
{
    const QDate today = platform::ChinaClock::now().date();
    return askedRange_ && askedRange_->first <= today && today <= askedRange_->second;
}

QStringList HistoricQueryViewController::figuresShown() const
{
    return figuresOf(linkOf(menuInfo()));
}

QStringList HistoricQueryViewController::readOwed(const QStringList& owed)
{
    // A range before today shows nothing an action changed.
    QStringList asked;
    for (const QString& figure : figuresShown()) {
        if (owed.contains(figure) && showsToday())
            asked << figure;
    }
    // The range asked last again, as quietly as the first query.
    return !asked.isEmpty() && send(*askedRange_) ? asked : QStringList();
}

// A press while a query is under way sends again: an equal query still
// waiting takes the page in, another one goes out.
void HistoricQueryViewController::queryButtonClicked()
{
    if (!verifyInput())
        return;
    beginToQuery();
    send({ beginDate_, endDate_ });
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
    // Rows of a range that reaches today are a read of what it shows.
    if (showsToday())
        tellRead(figuresShown(), [this](const char* figure) { figureRead(figure, true); });
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
    failureBox_.tell(alerts(), AlertRequest::error(error.domain));
    resultCountText_ = QStringLiteral("0");
    endToQuery();
    tellRead(figuresShown(), [this](const char* figure) { figureRead(figure, false); });
    return true;
}

QString HistoricQueryViewControllerEx::sendQuery(const Range& range, QString* handle)
{
    return manager_->requestHistoricQueryEx(this, linkOf(menuInfo()), range.first, range.second, handle);
}

QStringList HistoricQueryViewControllerEx::figuresShown() const
{
    QStringList figures = figuresOf(linkOf(menuInfo()), true);
    for (const QString& figure : figuresOf(linkOf(menuInfo()), false)) {
        if (!figures.contains(figure))
            figures << figure;
    }
    return figures;
}

void HistoricQueryViewControllerEx::showTable(const std::shared_ptr<DTTable>& table)
{
    table_.show(table, true);
}
