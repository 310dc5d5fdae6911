#pragma once

#include "shell/tables/DVTableModel.h"

#include <QTableView>
#include <memory>

class DTTable;

// The table every query page shows a reply in: one column per title of the
// table model, the cell rules of the client (colours by sign and direction,
// masked account numbers, numbers right-aligned), columns sized when the
// rows arrive, a filter and an editable column. Sorting by a header keeps
// the prepared texts and only reorders rows.
class DVCommonTableView : public QTableView {
    Q_OBJECT
public:
    explicit DVCommonTableView(QWidget* parent = nullptr, TableStyle* style = nullptr);
    ~DVCommonTableView() override;

    // initTableView: the model of a table id from the shared DTTableManager;
    // a second call shows that model's rows again (updateTableView).
    void initTableView(int32_t tableId);
    void updateTableView();
    // initTableViewWithObject: the first model builds the columns; every
    // later one only replaces the rows.
    void initTableViewWithObject(std::shared_ptr<const DTTable> table);
    void updateTableViewWithObject(std::shared_ptr<const DTTable> table);
    // reinitTableViewWithObject: columns and rows are built anew every time.
    void reinitTableViewWithObject(std::shared_ptr<const DTTable> table);
    // updateTableView:FilterValue: the rows whose value under the title is
    // `value`, or every row when none is.
    void updateTableView(const QString& key, const QString& value);
    QStringList getValuesForKey(const QString& key) const;

    void setColumnEditable(
        bool editable, QValidator* formatter, int index, IDVCommonTableViewEndEditingDelegate* delegate);
    // The view column of the first column with the title, or -1 (nothing changes).
    virtual int setColumnEditable(bool editable, QValidator* formatter, const QString& title,
        IDVCommonTableViewEndEditingDelegate* delegate);

    // Background of the selected rows; the cells keep their text colours.
    void setHighlightColor(const QColor& color);
    QColor highlightColor() const { return highlightColor_; }

    int32_t table_Id() const { return tableId_; }
    const std::shared_ptr<const DTTable>& tableObject() const { return model_->tableObject(); }
    // Rows shown.
    qint64 rowCount() const { return model_->shownRowCount(); }
    QVariantList contentObjectArray() const;
    DVTableModel* tableModel() const { return model_; }
    // Where a cell's text is laid, in the viewport: the part of the cell in
    // view, so that a text the view's edge would cut shows elided instead.
    QRect textRect(const QModelIndex& index) const;
    QRect textRect(const QRect& cell) const;
    // Shows the reply's row `sourceRow` (however the table is sorted) as the
    // selected row; -1, or a row not shown, clears the selection.
    void selectSourceRow(int sourceRow);
    // The width column `column` needs for its title and every text it shows,
    // whatever share of the view it was given.
    int neededColumnWidth(int column) const;

    // Class-wide settings of the common tables, kept in the shared style.
    static void setOrderColorType(int32_t type);
    static void setProfitLossColorType(int32_t type);
    static void setAccountProtectOption(bool on);
    static void reloadTable();

protected:
    DVCommonTableView(TableKind kind, QWidget* parent, TableStyle* style);

    // Widths of freshly built columns; the check-box table shares the width differently.
    virtual std::vector<int> initialColumnWidths();
    // The width a column's header needs for its title.
    int fittedHeaderWidth(int column) const;
    void build(std::shared_ptr<const DTTable> table);
    // Widths from initialColumnWidths for the view's present width, grown
    // to the content.
    void spreadColumns();
    void showRows(std::shared_ptr<const DTTable> table);
    // Columns only grow to their content.
    void growColumnsToContent();
    // A view made narrower than the share its columns were given spreads
    // them again over the width it has, so no figure stands off its edge
    // only because the view was wider when the rows came.
    void resizeEvent(QResizeEvent* event) override;
    // A new font measures the rows again.
    void changeEvent(QEvent* event) override;
    // Every cell draws anew after a scroll.
    void scrollContentsBy(int dx, int dy) override;

private:
    void setHeaderFont(QFont font);

    DVTableModel* model_;
    int32_t tableId_ = -1;
    bool initialised_ = false;
    int spreadOver_ = 0; // the viewport width the columns were last spread over
    QColor highlightColor_;
};
