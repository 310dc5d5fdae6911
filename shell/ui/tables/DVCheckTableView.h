#pragma once

#include "shell/ui/tables/DVCommonTableView.h"

// The common table with a leading check-box column ("选择") for pages that
// act on several rows at once. Check states belong to the rows shown and are
// cleared by every new model. Row numbers it answers index the table
// model's rows (and its contentObjectArray), whatever the sort.
class DVCheckTableView : public DVCommonTableView {
    Q_OBJECT
public:
    explicit DVCheckTableView(QWidget* parent = nullptr, TableStyle* style = nullptr);

    void selectAllRows() { tableModel()->selectAllRows(); }
    void deselectAllRows() { tableModel()->deselectAllRows(); }
    bool isSelectAll() const { return tableModel()->isSelectAll(); }
    // selectedIndexes (QTableView has an operation of that name already).
    QList<int> selectedIndexSet() const { return tableModel()->selectedIndexes(); }
    // The first ticked row, or -1; the highlighted row does not count.
    int selectedRow() const { return tableModel()->selectedRow(); }
    // itemClicked: toggles a view row's box.
    void itemClicked(int viewRow) { tableModel()->itemClicked(viewRow); }

    using DVCommonTableView::setColumnEditable;
    // As the common table's, but the formatter is always replaced.
    int setColumnEditable(bool editable, QValidator* formatter, const QString& title,
        IDVCheckTableViewEndEditingDelegate* delegate) override;

    static void setOrderColorType(int32_t type);
    static void setProfitLossColorType(int32_t type);
    static void setAccountProtectOption(bool on);
    static void reloadTable();

protected:
    std::vector<int> initialColumnWidths() override;
};
