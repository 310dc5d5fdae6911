#include "funds/quote/FundQuoteViewController.h"

#include "funds/OpenFundManager.h"

void FundQuoteChart::updateView(const std::vector<RDOFundHistoricNet>& records)
{
    values_.clear();
    for (const RDOFundHistoricNet& record : records) {
        if (std::optional<qint64> value = fundchart::thousandths(record.net))
            values_.push_back(*value);
    }
    if (!values_.empty())
        scale_ = fundchart::scaleOf(values_);
}

FundQuoteViewController::FundQuoteViewController(OpenFundManager* manager, QObject* parent)
    : QObject(parent)
    , fundManager(manager ? manager : OpenFundManager::getInstance())
{
}

FundQuoteViewController::~FundQuoteViewController() = default;

void FundQuoteViewController::awakeFromNib()
{
    fundNameText_.clear();
    fundCodeText_.clear();
    fundValueText_.clear();
    emit changed();
}

void FundQuoteViewController::emptyLabel()
{
    monthTexts_ = {};
    netValueTexts_ = {};
}

void FundQuoteViewController::updateFundHistroyValues(const std::optional<RDOOpenEndFund>& fund)
{
    if (!fund) {
        // Nothing is chosen: nothing of an earlier fund stays, and a late
        // reply for it is dropped.
        asked_.forgetAll();
        chartCode_.clear();
        fundNameText_.clear();
        fundCodeText_.clear();
        fundValueText_.clear();
        emptyLabel();
        chart_ = FundQuoteChart();
        emit changed();
        return;
    }
    // The chart of another fund goes at once; the same fund's stays until
    // its new values come.
    if (fund->code != chartCode_) {
        emptyLabel();
        chart_ = FundQuoteChart();
        chartCode_.clear();
    }
    fundNameText_ = fund->name;
    fundCodeText_ = fund->code;
    fundValueText_ = fund->value;
    emit changed();
    asked_.ask(QStringLiteral("net"),
        fundManager->requestQueryFundHistoricNet(
            this, QString::number(OpenFundManager::kHistoricNetDayCount), fund->code));
    askedCode_ = fund->code;
}

void FundQuoteViewController::queryFundHistoricNet(
    DataModel*, const QString& requestHandle, const std::vector<RDOFundHistoricNet>& values)
{
    if (requestHandle.isEmpty() || !asked_.take(QStringLiteral("net"), requestHandle))
        return;
    chartCode_ = askedCode_;
    emptyLabel();
    chart_.updateView(values);
    if (!chart_.values().empty()) {
        if (chart_.maxValue() > 0.000001)
            netValueTexts_ = fundchart::valueLabels(chart_.scale());
        monthTexts_ = fundchart::monthLabels(values.front().date);
    }
    emit changed();
}
