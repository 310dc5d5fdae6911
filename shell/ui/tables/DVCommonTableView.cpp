#include "shell/ui/tables/DVCommonTableView.h"

#include "core/DTTable.h"
#include "core/DTTableManager.h"
#include "shell/tables/TableWidths.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int kCellPointSize = 13;
constexpr int kManagedHeaderPointSize = 15;

QFont systemFont(int pointSize)
{
    QFont font;
    font.setPointSize(pointSize);
    return font;
}

// Draws the model's prepared cells, a common table's selected row in the
// view's highlight colour (a check-box table's in the platform's); gives
// editable cells their validator.
class DVTableItemDelegate : public QStyledItemDelegate {
public:
    explicit DVTableItemDelegate(DVCommonTableView* view)
        : QStyledItemDelegate(view)
        , view_(view)
    {
    }

    QWidget* createEditor(
        QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        const auto* model = qobject_cast<const DVTableModel*>(index.model());
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (model && line)
            line->setValidator(model->formatter(index.column()));
        return editor;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        // A cell the view's edge cuts lays its text into the part in view,
        // whole where it fits there and ended by "…" where it does not: the
        // edge never cuts a figure into another one (1.023 for 1.0230).
        // A check box stays where a click finds it.
        QStyleOptionViewItem shown = option;
        if (!index.data(Qt::CheckStateRole).isValid())
            shown.rect = view_->textRect(option.rect);
        QStyledItemDelegate::paint(painter, shown, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        // A selected row changes its background only; profit, loss, buy and
        // sell keep their colours.
        option->palette.setBrush(QPalette::HighlightedText, option->palette.brush(QPalette::Text));
        if (view_->tableModel()->kind() == TableKind::Check)
            return;
        option->palette.setColor(QPalette::Active, QPalette::Highlight, view_->highlightColor());
        option->palette.setColor(QPalette::Inactive, QPalette::Highlight, view_->highlightColor());
    }

private:
    DVCommonTableView* view_;
};

// The header, drawing every section with one palette per look. The model's
// black titles reach a section as a palette made anew for each paint, and
// the style keeps a picture of every section it draws under the palette's
// key: with a new key on each paint those pictures would pile up for as long
// as the program runs. Equal palettes are handed out as one object instead.
class DVTableHeader : public QHeaderView {
public:
    using QHeaderView::QHeaderView;

protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override
    {
        QHeaderView::initStyleOptionForIndex(option, logicalIndex);
        option->palette = sharedPalette(option->palette);
    }

private:
    static QPalette sharedPalette(const QPalette& palette)
    {
        // A few looks at most: the application's palette with the titles' colour.
        static std::vector<QPalette> looks;
        const auto same = std::find(looks.begin(), looks.end(), palette);
        if (same != looks.end())
            return *same;
        if (looks.size() == kMaxLooks)
            looks.erase(looks.begin());
        looks.push_back(palette);
        return palette;
    }
    static constexpr std::size_t kMaxLooks = 8;
};

} // namespace

DVCommonTableView::DVCommonTableView(QWidget* parent, TableStyle* style)
    : DVCommonTableView(TableKind::Common, parent, style)
{
}

DVCommonTableView::DVCommonTableView(TableKind kind, QWidget* parent, TableStyle* style)
    : QTableView(parent)
    , model_(new DVTableModel(kind, style, this))
{
    const QFont cellFont = systemFont(kCellPointSize);
    // Through changeEvent this also gives the model the font it measures in.
    setFont(cellFont);
    auto* header = new DVTableHeader(Qt::Horizontal, this);
    header->setSectionsClickable(true);
    setHorizontalHeader(header);
    setModel(model_);
    setItemDelegate(new DVTableItemDelegate(this));

    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Fixed row heights: scrolling never asks a row for its size.
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(QFontMetrics(cellFont).height() + 8);
    setHeaderFont(cellFont);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    // No column is sorted until the user picks one: rows keep the server's order.
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    setSortingEnabled(true);

    setHighlightColor(TableStyle::defaultHighlightColor());
}

DVCommonTableView::~DVCommonTableView() = default;

void DVCommonTableView::initTableView(int32_t tableId)
{
    tableId_ = tableId;
    std::shared_ptr<const DTTable> table = DTTableManager::getInstance()->getTable(tableId);
    if (initialised_) {
        showRows(std::move(table));
        return;
    }
    setHeaderFont(systemFont(kManagedHeaderPointSize));
    build(std::move(table));
}

void DVCommonTableView::updateTableView()
{
    showRows(tableObject());
}

void DVCommonTableView::initTableViewWithObject(std::shared_ptr<const DTTable> table)
{
    if (initialised_)
        showRows(std::move(table));
    else
        build(std::move(table));
}

void DVCommonTableView::updateTableViewWithObject(std::shared_ptr<const DTTable> table)
{
    showRows(std::move(table));
}

void DVCommonTableView::reinitTableViewWithObject(std::shared_ptr<const DTTable> table)
{
    setHighlightColor(TableStyle::defaultHighlightColor());
    build(std::move(table));
}

void DVCommonTableView::build(std::shared_ptr<const DTTable> table)
{
    initialised_ = true;
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    model_->buildColumns(std::move(table));
    spreadColumns();
}

void DVCommonTableView::spreadColumns()
{
    spreadOver_ = viewport()->width();
    const std::vector<int> widths = initialColumnWidths();
    for (size_t i = 0; i < widths.size(); ++i)
        setColumnWidth(int(i), widths[i]);
    growColumnsToContent();
}

void DVCommonTableView::setHeaderFont(QFont font)
{
    // The titles are drawn on the header's viewport. Under a window's style
    // sheet a child's font is worked out anew at each polish, from whatever
    // its parent had then: every property set, the titles keep this one
    // wherever the table sits (a check-box table's drew in the window's
    // smaller font).
    font.setResolveMask(QFont::AllPropertiesResolved);
    horizontalHeader()->setFont(font);
    horizontalHeader()->viewport()->setFont(font);
}

void DVCommonTableView::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() != QEvent::FontChange)
        return;
    // Texts are measured in the cell font one point larger: in the font the
    // cells are drawn in, so a figure is never cut where its column could
    // widen (a larger font than the tables' own, a high DPI).
    QFont measured = font();
    if (measured.pointSizeF() > 0)
        measured.setPointSizeF(measured.pointSizeF() + 1);
    else
        measured.setPixelSize(measured.pixelSize() + 1);
    model_->setTextFont(measured);
    growColumnsToContent();
}

void DVCommonTableView::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    const int room = viewport()->width();
    if (!initialised_ || room >= spreadOver_)
        return;
    const QHeaderView* header = horizontalHeader();
    if (header->length() > room)
        spreadColumns();
    else
        spreadOver_ = room;
}

void DVCommonTableView::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    // A cell the view's edge cuts lays its text into the part in view, so
    // what it drew before a scroll is not what it draws after one: the
    // pixels the scroll moved would keep the old text beside the new.
    viewport()->update();
}

int DVCommonTableView::neededColumnWidth(int column) const
{
    const int data = column - model_->dataColumnOffset();
    const std::vector<int>& content = model_->contentWidths();
    if (data < 0 || data >= int(content.size()))
        return columnWidth(column);
    return std::max(
        fittedHeaderWidth(column), std::min(content[size_t(data)], horizontalHeader()->maximumSectionSize()));
}

void DVCommonTableView::showRows(std::shared_ptr<const DTTable> table)
{
    model_->showRows(std::move(table));
    growColumnsToContent();
}

std::vector<int> DVCommonTableView::initialColumnWidths()
{
    std::vector<int> fitted;
    for (int i = 0; i < model_->columnCount(); ++i)
        fitted.push_back(fittedHeaderWidth(i));
    return tablewidths::commonColumnWidths(fitted, viewport()->width());
}

QRect DVCommonTableView::textRect(const QRect& cell) const
{
    const QRect inView = cell & viewport()->rect();
    return inView.isEmpty() ? cell : inView;
}

QRect DVCommonTableView::textRect(const QModelIndex& index) const
{
    return textRect(visualRect(index));
}

int DVCommonTableView::fittedHeaderWidth(int column) const
{
    return horizontalHeader()->sectionSizeHint(column);
}

void DVCommonTableView::growColumnsToContent()
{
    const std::vector<int>& content = model_->contentWidths();
    const int offset = model_->dataColumnOffset();
    const int most = horizontalHeader()->maximumSectionSize();
    for (size_t i = 0; i < content.size(); ++i) {
        const int column = int(i) + offset;
        const int wanted = std::min(content[i], most);
        if (wanted > columnWidth(column))
            setColumnWidth(column, wanted);
    }
}

void DVCommonTableView::updateTableView(const QString& key, const QString& value)
{
    model_->filter(key, value);
}

QStringList DVCommonTableView::getValuesForKey(const QString& key) const
{
    return model_->valuesForKey(key);
}

void DVCommonTableView::setColumnEditable(
    bool editable, QValidator* formatter, int index, IDVCommonTableViewEndEditingDelegate* delegate)
{
    model_->setColumnEditable(editable, formatter, index, delegate);
}

int DVCommonTableView::setColumnEditable(bool editable, QValidator* formatter, const QString& title,
    IDVCommonTableViewEndEditingDelegate* delegate)
{
    return model_->setColumnEditable(editable, formatter, title, delegate, true);
}

void DVCommonTableView::setHighlightColor(const QColor& color)
{
    // Cells take the colour as they are drawn. The view keeps the palette
    // it inherits: a palette of its own would be a new one for every table,
    // and the style keeps pictures of header sections and scroll bars per
    // palette, so every page opened would leave new ones behind for good.
    highlightColor_ = color;
    viewport()->update();
}

void DVCommonTableView::selectSourceRow(int sourceRow)
{
    const QModelIndex current = currentIndex();
    if (current.isValid() && model_->sourceRow(current.row()) == sourceRow)
        return;
    for (int row = 0; sourceRow >= 0 && row < model_->rowCount(); ++row) {
        if (model_->sourceRow(row) == sourceRow) {
            selectRow(row);
            return;
        }
    }
    clearSelection();
}

QVariantList DVCommonTableView::contentObjectArray() const
{
    return tableObject() ? tableObject()->contentObjectArray() : QVariantList();
}

void DVCommonTableView::setOrderColorType(int32_t type)
{
    TableStyle::getInstance()->setOrderColorType(TableKind::Common, type);
}

void DVCommonTableView::setProfitLossColorType(int32_t type)
{
    TableStyle::getInstance()->setProfitLossColorType(TableKind::Common, type);
}

void DVCommonTableView::setAccountProtectOption(bool on)
{
    TableStyle::getInstance()->setAccountProtectOption(TableKind::Common, on);
}

void DVCommonTableView::reloadTable()
{
    TableStyle::getInstance()->reloadTable(TableKind::Common);
}
