#pragma once

#include "funds/lists/FundListContent.h"

#include <QWidget>
#include <functional>

class DVCommonTableView;
class QComboBox;
class QLabel;
class QProgressBar;

// Shows a fund list: an optional caption, the company filter, the table and
// a progress bar while it loads. It forwards the filter choice and the row
// clicked (a row of the table model, whatever the sort) and keeps no state
// beyond what it last showed.
class FundListView : public QWidget {
    Q_OBJECT
public:
    explicit FundListView(bool withCaption, QWidget* parent = nullptr);

    // Shows the content: new rows when its table changed, then the filter.
    void show(const FundListContent& content, const QString& caption);

    std::function<void(qsizetype)> onFilterChosen;
    std::function<void(qsizetype)> onRowSelected;

    // The title of the column of net values.
    static constexpr char kNetValueTitle[] = "基金净值";
    // The width at which the list shows its columns up to the net values
    // whole, unscrolled; its least width in a list without them.
    int widthShowingNetValues() const;

    DVCommonTableView* table() const { return table_; }
    QComboBox* filter() const { return filter_; }

private:
    QLabel* caption_ = nullptr;
    QComboBox* filter_;
    DVCommonTableView* table_;
    QProgressBar* progress_;
    QLabel* warning_;
    quint64 shownSerial_ = 0;
    QString shownFilter_;
};
