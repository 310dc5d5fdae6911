#include "funds/lists/OpdFundListViewController.h"

#include <utility>

OpdFundListViewController::OpdFundListViewController(std::unique_ptr<OpenFundList> openFundList, QObject* parent)
    : QObject(parent)
    , openFundList_(std::move(openFundList))
{
}

OpdFundListViewController::~OpdFundListViewController() = default;

void OpdFundListViewController::awakeFromNib()
{
    content_.reset();
    content_.endLoading();
    requestTableContent();
}

void OpdFundListViewController::addTableObserver(ITableSelectedItemChanged* observer)
{
    if (observer)
        observerArray.emplace_back(observer);
}

void OpdFundListViewController::requestTableContent()
{
    content_.beginLoading();
    emit changed();
    if (openFundList_)
        openFundList_->requestContent(this);
}

void OpdFundListViewController::requestContentComplete(const OpdFundTablePtr& table)
{
    content_.complete(table);
    emit changed();
    emit contentRead(true);
}

bool OpdFundListViewController::requestContentError(const CSError& error)
{
    content_.endLoading();
    emit changed();
    // A list read again in rounds against a server that keeps failing adds
    // no box while the customer has not closed the last one; once closed,
    // the next failure is told again.
    failureBox_.tell(alerts_, AlertRequest::error(error.domain));
    emit contentRead(false);
    return true;
}

void OpdFundListViewController::filterPButtonSelected(qsizetype index)
{
    if (content_.chooseFilter(index))
        emit changed();
}

void OpdFundListViewController::tableSelectedItemChanged(qsizetype tableRow)
{
    const OpdFundTablePtr& table = content_.table();
    if (!table || !openFundList_ || tableRow < 0 || tableRow >= table->arrayController()->count())
        return;
    const QString code = table->valueForTitle(tableRow, QString::fromUtf8(FundListContent::kCodeTitle));
    ITableSelectedItemChanged::Fund fund;
    for (const QVariant& object : table->contentObjectArray()) {
        const RDOOpenEndFund record = object.value<RDOOpenEndFund>();
        if (record.code == code) {
            fund = record;
            break;
        }
    }
    using Selector = bool (ITableSelectedItemChanged::*)(const ITableSelectedItemChanged::Fund&);
    Selector selector = nullptr;
    switch (openFundList_->tableId()) {
    case 4:
        selector = &ITableSelectedItemChanged::subscribeTableSelectedItemChanged;
        break;
    case 5:
        selector = &ITableSelectedItemChanged::purchaseTableSelectedItemChanged;
        break;
    case 6:
        selector = &ITableSelectedItemChanged::redeemTableSelectedItemChanged;
        break;
    case 7:
        selector = &ITableSelectedItemChanged::transformTableSelectedItemChanged;
        break;
    case 8:
        selector = &ITableSelectedItemChanged::bonusSettingTableSelectedItemChanged;
        break;
    case 9:
        selector = &ITableSelectedItemChanged::timingTradeTableSelectedItemChanged;
        break;
    default:
        return;
    }
    // A copy: an observer may add another while it is told.
    const auto observers = observerArray;
    const platform::Lifetime::Watch alive(*this);
    for (const auto& entry : observers) {
        if (ITableSelectedItemChanged* observer = entry.get())
            (observer->*selector)(fund);
        if (!alive.survived())
            return;
    }
}
