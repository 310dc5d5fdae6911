#include "funds/lists/FundListContent.h"

void FundListContent::reset()
{
    filterTitles_ = QStringList { QString::fromUtf8(kAllFunds) };
    filterIndex_ = 0;
}

void FundListContent::complete(const OpdFundTablePtr& table)
{
    table_ = table;
    ++tableSerial_;
    if (table) {
        for (const QString& company : distinctValues(*table, QString::fromUtf8(kCompanyTitle))) {
            if (!filterTitles_.contains(company))
                filterTitles_ << company;
        }
    }
    loading_ = false;
}

bool FundListContent::chooseFilter(qsizetype index)
{
    if (index < 0 || index >= filterTitles_.size())
        return false;
    filterIndex_ = index;
    return true;
}

QStringList FundListContent::distinctValues(const DTTable& table, const QString& title)
{
    QStringList values;
    if (!table.tableColomnTitles().contains(title))
        return values;
    for (qsizetype row = 0; row < table.arrayController()->count(); ++row) {
        const QString value = table.valueForTitle(row, title);
        if (!values.contains(value))
            values << value;
    }
    return values;
}
