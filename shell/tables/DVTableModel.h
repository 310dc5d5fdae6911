#pragma once

#include "platform/Lifetime.h"
#include "shell/tables/TableCellRules.h"
#include "shell/tables/TableStyle.h"

#include <QAbstractTableModel>
#include <QFontMetricsF>
#include <QPointer>
#include <QStringList>
#include <QValidator>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class DTTable;

// Text widths summed from per-character advances, each character measured
// once: a 10,000-row reply is sized without shaping every text. Advances are
// kept in 64ths of a pixel, rounded up, and the sum rounded up once (whole-
// pixel advances can add up to less than the text): kerning only narrows a
// text, so the sum never cuts one off.
class CharWidthTable {
public:
    explicit CharWidthTable(const QFont& font);
    // In 64ths of a pixel; pixels() rounds a sum of them up.
    qint64 width64(QStringView text);
    static int pixels(qint64 width64) { return int((width64 + 63) / 64); }
    int width(QStringView text) { return pixels(width64(text)); }

private:
    qint32 advance64(char16_t c);
    qint32 measure64(QChar c) const;

    QFontMetricsF metrics_;
    std::array<qint32, 128> ascii_ {};
    std::vector<qint32> others_; // by UTF-16 unit, -1 until measured
};

// Told when the user has finished editing a cell of an editable column.
// `row` indexes the table model's rows (and its contentObjectArray) whatever
// the sort; `column` is the table's own column index.
class IDVCommonTableViewEndEditingDelegate : public platform::Lifetime {
public:
    virtual ~IDVCommonTableViewEndEditingDelegate() = default;
    virtual void endEditing(int row, int column, const QString& text) = 0;
};
using IDVCheckTableViewEndEditingDelegate = IDVCommonTableViewEndEditingDelegate;

// The rows a shared table view shows: a copy of a DTTable's rows with every
// cell's tone, alignment and masked text worked out when the rows arrive, so
// that drawing, scrolling and sorting only look things up. Sorting and
// filtering reorder row numbers; the texts are never rebuilt. The check-box
// kind has a leading check column ("选择") with one state per row.
class DVTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The raw value a cell sorts by.
    static constexpr int SortValueRole = Qt::UserRole + 1;
    // Width in pixels of a text in the cells' font.
    using TextMeasure = std::function<int(const QString&)>;

    explicit DVTableModel(TableKind kind, TableStyle* style = nullptr, QObject* parent = nullptr);
    ~DVTableModel() override;

    TableKind kind() const { return kind_; }
    TableStyle* style() const { return style_; }
    // Without a measure the content widths are all 0. A text measure is
    // asked for every text; a font measures through a CharWidthTable.
    void setTextMeasure(TextMeasure measure) { measure_ = std::move(measure); }
    // The rows shown are measured again in a new font.
    void setTextFont(const QFont& font);

    // The table's titles become the columns; its rows are shown unticked.
    void buildColumns(std::shared_ptr<const DTTable> table);
    // The table's rows under the columns already built, matched by title
    // (a title the table lacks gives empty cells); every row unticked.
    void showRows(std::shared_ptr<const DTTable> table);

    const std::shared_ptr<const DTTable>& tableObject() const { return table_; }
    const QStringList& titles() const { return titles_; }
    // 1 when the check column leads, else 0.
    int dataColumnOffset() const { return kind_ == TableKind::Check ? 1 : 0; }
    int shownRowCount() const { return int(shown_.size()); }
    // The table model's row shown at a view row, or -1.
    int sourceRow(int viewRow) const;
    // The view row that shows a table model's row, or -1 (not shown).
    int viewRow(int sourceRow) const;
    // Per data column: the widest text of any row plus padding, measured
    // when the rows arrived.
    const std::vector<int>& contentWidths() const { return contentWidths_; }

    // updateTableView:FilterValue: only the rows whose value under the title
    // equals `value`; all rows when none does (or the title is unknown).
    void filter(const QString& key, const QString& value);
    // getValuesForKey: distinct values under the title over the rows shown,
    // in order of first appearance; none for an unknown title.
    QStringList valuesForKey(const QString& key) const;

    // setColumnEditable:formatter:index:endEditingDelegate: by view column;
    // the check column and columns out of range are left alone.
    void setColumnEditable(
        bool editable, QValidator* formatter, int column, IDVCommonTableViewEndEditingDelegate* delegate);
    // By title (the first column with it); answers the view column or -1.
    // With keepSameClassFormatter a column whose formatter is of the same
    // class keeps it.
    int setColumnEditable(bool editable, QValidator* formatter, const QString& title,
        IDVCommonTableViewEndEditingDelegate* delegate, bool keepSameClassFormatter);
    QValidator* formatter(int column) const;

    // Check states, kept per table-model row.
    void selectAllRows();
    void deselectAllRows();
    bool isSelectAll() const;
    // Table-model rows ticked, ascending.
    QList<int> selectedIndexes() const;
    // The first ticked row in view order (as a table-model row), or -1.
    int selectedRow() const;
    // itemClicked: toggles the row at a view row.
    void itemClicked(int viewRow);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Column -1 gives the server's order back; the check column does not sort.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    struct SortKey;

    bool isCheckColumn(int column) const { return kind_ == TableKind::Check && column == 0; }
    int dataColumn(int column) const;
    const QString& cell(int sourceRow, int dataColumn) const;
    void takeRows(const QList<QStringList>& rows);
    void prepareCells();
    void showAllRows();
    void applySort();
    const std::vector<SortKey>& sortKeys(int dataColumn) const;
    void emitCheckChanged(int firstRow, int lastRow);

    const TableKind kind_;
    TableStyle* style_;
    TextMeasure measure_;
    std::optional<CharWidthTable> charWidths_;
    std::shared_ptr<const DTTable> table_;
    QStringList titles_;
    std::vector<tablecells::ColumnRule> rules_;
    QList<QStringList> rows_;
    // Per cell, row-major: tone in the low bits, kRightAligned set for numbers.
    std::vector<uint8_t> cellFlags_;
    // Per data column: the masked texts of maskable columns, made when
    // first shown (under account protection), else empty.
    const QStringList& maskedColumn(int dataColumn) const;
    mutable std::vector<QStringList> masked_;
    std::vector<int> contentWidths_;
    // View row -> table-model row.
    std::vector<int> shown_;
    std::vector<uint8_t> checks_;
    std::vector<bool> editable_;
    std::vector<QPointer<QValidator>> formatters_;
    platform::WeakRef<IDVCommonTableViewEndEditingDelegate> endEditingDelegate_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    mutable std::vector<std::vector<SortKey>> sortKeys_;
};
