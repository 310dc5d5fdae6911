#pragma once

#include "funds/quote/FundQuoteGeometry.h"
#include "funds/requests/FundDataModels.h"
#include "shell/pages/AskedFor.h"

#include <QObject>
#include <array>
#include <optional>
#include <vector>

class OpenFundManager;

// Told when the fund of a trade form changes; nullopt when its selection is
// cleared.
class IUpdateFundHistoryValues : public virtual DataModelObserver {
public:
    // updateFundHistroyValues: (the form's own spelling)
    virtual void updateFundHistroyValues(const std::optional<RDOOpenEndFund>& fund) = 0;
};

// The chart's state: the values drawn, newest first, and the scale worked
// out from them (the scale keeps its earlier value for an empty array).
class FundQuoteChart {
public:
    // updateView: every record's net value as thousandths, negative ones
    // too; a net value that is no number is left out (it has no height).
    void updateView(const std::vector<RDOFundHistoricNet>& values);

    const std::vector<qint64>& values() const { return values_; }
    const fundchart::Scale& scale() const { return scale_; }
    double maxValue() const { return double(scale_.top) / 1000.0; }
    double midValue() const { return double(scale_.middle) / 1000.0; }
    double lowValue() const { return double(scale_.bottom) / 1000.0; }

private:
    std::vector<qint64> values_;
    fundchart::Scale scale_;
};

// The net-value panel of the fund pages: the chosen fund's name, code and
// net value and a chart of its last 128 daily net values. Only the reply for
// the fund shown is drawn; an earlier fund's late reply is dropped. Main
// thread only.
class FundQuoteViewController : public QObject, public IUpdateFundHistoryValues, public IFundHistoricNetDelegate {
    Q_OBJECT
public:
    // initWithNibName:bundle: a null manager is the shared one.
    explicit FundQuoteViewController(OpenFundManager* fundManager = nullptr, QObject* parent = nullptr);
    ~FundQuoteViewController() override;

    // awakeFromNib: empties the name, code and value.
    void awakeFromNib();
    static int getPreMonth(int month) { return fundchart::getPreMonth(month); }
    // Shows the fund and asks for its net values; no fund clears the panel
    // and asks nothing.
    void updateFundHistroyValues(const std::optional<RDOOpenEndFund>& fund) override;
    void emptyLabel();
    using IFundHistoricNetDelegate::queryFundHistoricNet;
    void queryFundHistoricNet(
        DataModel* request, const QString& requestHandle, const std::vector<RDOFundHistoricNet>& values) override;

    const QString& fundNameText() const { return fundNameText_; }
    const QString& fundCodeText() const { return fundCodeText_; }
    const QString& fundValueText() const { return fundValueText_; }
    // month1Text to month6Text.
    const std::array<QString, 6>& monthTexts() const { return monthTexts_; }
    // netValue1Text to netValue5Text.
    const std::array<QString, 5>& netValueTexts() const { return netValueTexts_; }
    const FundQuoteChart& fundQuoteView() const { return chart_; }

signals:
    void changed();

private:
    OpenFundManager* fundManager;
    QString fundNameText_;
    QString fundCodeText_;
    QString fundValueText_;
    std::array<QString, 6> monthTexts_;
    std::array<QString, 5> netValueTexts_;
    FundQuoteChart chart_;
    AskedFor asked_; // "net": the request of the fund shown
    QString askedCode_;
    QString chartCode_; // the fund the chart and its labels belong to
};
