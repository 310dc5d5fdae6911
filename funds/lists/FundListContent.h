#pragma once

#include "funds/requests/FundDataModels.h"

#include <QString>
#include <QStringList>

// What a fund list shows: the table, the company filter's entries and choice,
// and whether it is loading. The fund list panel and the fund quote list
// page both keep one.
class FundListContent {
public:
    static constexpr char kAllFunds[] = "全部基金";
    static constexpr char kCompanyTitle[] = "基金公司";
    static constexpr char kCodeTitle[] = "基金代码";

    // The filter holds "全部基金" alone and is chosen; the table stays.
    void reset();
    void beginLoading() { loading_ = true; }
    // The new table is shown; its companies join the filter in order of first
    // appearance.
    void complete(const OpdFundTablePtr& table);
    void endLoading() { loading_ = false; }
    // Chooses a filter entry; an index outside the entries changes nothing.
    bool chooseFilter(qsizetype index);

    const OpdFundTablePtr& table() const { return table_; }
    // Changes with every table shown, so a view knows when to show rows again.
    quint64 tableSerial() const { return tableSerial_; }
    const QStringList& filterTitles() const { return filterTitles_; }
    qsizetype filterIndex() const { return filterIndex_; }
    // The chosen entry; rows whose company equals it are shown, all rows when
    // none does (which is always so for "全部基金").
    QString filterValue() const { return filterTitles_.value(filterIndex_); }
    bool isLoading() const { return loading_; }

    // The distinct values of a column over a table's rows, in first-appearance order.
    static QStringList distinctValues(const DTTable& table, const QString& title);

private:
    OpdFundTablePtr table_;
    quint64 tableSerial_ = 0;
    QStringList filterTitles_ { QString::fromUtf8(kAllFunds) };
    qsizetype filterIndex_ = 0;
    bool loading_ = false;
};
