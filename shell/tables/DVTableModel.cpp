#include "shell/tables/DVTableModel.h"

#include "core/DTTable.h"
#include "shell/tables/TableWidths.h"

#include <QColor>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

constexpr uint8_t kToneMask = 0x07;
constexpr uint8_t kRightAligned = 0x08;

// Whether `text` is the very text (not merely an equal one) of `row`'s
// column `c`.
bool isSameText(const QString& text, const QStringList& row, qsizetype c)
{
    if (c >= row.size())
        return false;
    const QString& other = row.at(c);
    return text.constData() == other.constData() && text.size() == other.size();
}

const QString& emptyText()
{
    static const QString empty;
    return empty;
}

} // namespace

CharWidthTable::CharWidthTable(const QFont& font)
    : metrics_(font)
{
    for (char16_t c = 0; c < 128; ++c)
        ascii_[c] = measure64(QChar(c));
}

qint32 CharWidthTable::measure64(QChar c) const
{
    return qint32(std::ceil(metrics_.horizontalAdvance(c) * 64));
}

qint32 CharWidthTable::advance64(char16_t c)
{
    if (others_.empty())
        others_.assign(0x10000, -1);
    qint32& known = others_[c];
    if (known < 0)
        known = measure64(QChar(c));
    return known;
}

qint64 CharWidthTable::width64(QStringView text)
{
    qint64 width = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 128) {
            width += ascii_[u];
            continue;
        }
        if (c.isSurrogate())
            return qint64(std::ceil(metrics_.horizontalAdvance(text.toString()) * 64));
        width += advance64(u);
    }
    return width;
}

struct DVTableModel::SortKey {
    // Numbers first, then texts, then empty cells (last in either order).
    enum Kind : uint8_t { Number, Text, Empty } kind;
    double number;
};

DVTableModel::DVTableModel(TableKind kind, TableStyle* style, QObject* parent)
    : QAbstractTableModel(parent)
    , kind_(kind)
    , style_(style ? style : TableStyle::getInstance())
{
    connect(style_, &TableStyle::tablesChanged, this, [this](TableKind changed) {
        if (changed != kind_ || shown_.empty() || columnCount() == 0)
            return;
        // One signal for the whole table: colours and masking may both change.
        emit dataChanged(
            index(0, 0), index(rowCount() - 1, columnCount() - 1), { Qt::DisplayRole, Qt::ForegroundRole });
    });
}

DVTableModel::~DVTableModel() = default;

void DVTableModel::buildColumns(std::shared_ptr<const DTTable> table)
{
    beginResetModel();
    table_ = std::move(table);
    titles_ = table_ ? table_->tableColomnTitles() : QStringList();
    rules_.clear();
    for (qsizetype c = 0; c < titles_.size(); ++c)
        rules_.push_back(tablecells::columnRuleFor(titles_[c]));
    editable_.assign(size_t(titles_.size()), false);
    formatters_.assign(size_t(titles_.size()), nullptr);
    sortColumn_ = -1;
    takeRows(table_ ? table_->arrayController()->arrangedObjects() : QList<QStringList>());
    endResetModel();
}

void DVTableModel::showRows(std::shared_ptr<const DTTable> table)
{
    beginResetModel();
    table_ = std::move(table);
    QList<QStringList> rows = table_ ? table_->arrayController()->arrangedObjects() : QList<QStringList>();
    if (table_ && table_->tableColomnTitles() != titles_) {
        // Rows are matched to the columns by title, as the columns stay.
        std::vector<qsizetype> from;
        for (const QString& title : titles_)
            from.push_back(table_->tableColomnTitles().lastIndexOf(title));
        for (QStringList& row : rows) {
            QStringList matched;
            matched.reserve(titles_.size());
            for (qsizetype f : from)
                matched << (f >= 0 && f < row.size() ? row[f] : QString());
            row = std::move(matched);
        }
    }
    takeRows(rows);
    endResetModel();
}

void DVTableModel::takeRows(const QList<QStringList>& rows)
{
    // The rows stay shared with the reply's table: every cell shows the
    // server's text as it came.
    rows_ = rows;
    checks_.assign(size_t(rows_.size()), 0);
    sortKeys_.assign(size_t(titles_.size()), {});
    prepareCells();
    showAllRows();
    applySort();
}

void DVTableModel::setTextFont(const QFont& font)
{
    charWidths_.emplace(font);
    if (!rows_.isEmpty())
        prepareCells();
}

void DVTableModel::prepareCells()
{
    const size_t columns = size_t(titles_.size());
    cellFlags_.assign(size_t(rows_.size()) * columns, 0);
    masked_.assign(columns, {});
    // Widest text per column: pixels from a text measure, 64ths from the font.
    std::vector<qint64> widest(columns, 0);
    // Row by row: a row's texts lie together in memory, a column's do not.
    // A cell sharing its text with the one above it (the reply's tables share
    // repeated texts) is shown as that one is, and its width is already
    // counted.
    for (qsizetype r = 0; r < rows_.size(); ++r) {
        const size_t count = std::min(columns, size_t(rows_.at(r).size()));
        uint8_t* flags = cellFlags_.data() + size_t(r) * columns;
        for (size_t c = 0; c < count; ++c) {
            const QString& text = rows_.at(r).at(qsizetype(c));
            if (text.isEmpty())
                continue;
            if (r > 0 && isSameText(text, rows_.at(r - 1), qsizetype(c))) {
                flags[c] = flags[qsizetype(c) - qsizetype(columns)];
                continue;
            }
            const tablecells::CellLook look = tablecells::lookOf(rules_[c], text);
            flags[c] = uint8_t(look.tone) | (look.rightAligned ? kRightAligned : 0);
            if (measure_)
                widest[c] = std::max<qint64>(widest[c], measure_(text));
            else if (charWidths_)
                widest[c] = std::max(widest[c], charWidths_->width64(text));
        }
    }
    const bool measures = measure_ || charWidths_;
    contentWidths_.assign(columns, 0);
    for (size_t c = 0; c < columns; ++c) {
        const int pixels = measure_ ? int(widest[c]) : CharWidthTable::pixels(widest[c]);
        contentWidths_[c] = measures ? tablewidths::contentWidth(pixels) : 0;
    }
}

const QStringList& DVTableModel::maskedColumn(int dataColumn) const
{
    QStringList& masked = masked_[size_t(dataColumn)];
    if (masked.isEmpty() && !rows_.isEmpty()) {
        masked.reserve(rows_.size());
        for (int r = 0; r < rows_.size(); ++r)
            masked << tablecells::maskAccount(cell(r, dataColumn));
    }
    return masked;
}

void DVTableModel::showAllRows()
{
    shown_.resize(size_t(rows_.size()));
    std::iota(shown_.begin(), shown_.end(), 0);
}

int DVTableModel::sourceRow(int viewRow) const
{
    return viewRow >= 0 && size_t(viewRow) < shown_.size() ? shown_[size_t(viewRow)] : -1;
}

int DVTableModel::dataColumn(int column) const
{
    const int c = column - dataColumnOffset();
    return c >= 0 && c < titles_.size() ? c : -1;
}

int DVTableModel::viewRow(int sourceRow) const
{
    const auto found = std::find(shown_.begin(), shown_.end(), sourceRow);
    return sourceRow >= 0 && found != shown_.end() ? int(found - shown_.begin()) : -1;
}

const QString& DVTableModel::cell(int sourceRow, int dataColumn) const
{
    const QStringList& row = rows_[sourceRow];
    return dataColumn < row.size() ? row[dataColumn] : emptyText();
}

void DVTableModel::filter(const QString& key, const QString& value)
{
    beginResetModel();
    shown_.clear();
    const qsizetype column = titles_.lastIndexOf(key);
    if (column >= 0) {
        for (int r = 0; r < rows_.size(); ++r)
            if (cell(r, int(column)) == value)
                shown_.push_back(r);
    }
    if (shown_.empty())
        showAllRows();
    applySort();
    endResetModel();
}

QStringList DVTableModel::valuesForKey(const QString& key) const
{
    QStringList values;
    const qsizetype column = titles_.lastIndexOf(key);
    if (column < 0)
        return values;
    QSet<QString> seen;
    for (int r : shown_) {
        const QString& v = cell(r, int(column));
        if (!seen.contains(v)) {
            seen.insert(v);
            values << v;
        }
    }
    return values;
}

void DVTableModel::setColumnEditable(
    bool editable, QValidator* formatter, int column, IDVCommonTableViewEndEditingDelegate* delegate)
{
    const int c = dataColumn(column);
    if (c < 0)
        return;
    editable_[size_t(c)] = editable;
    formatters_[size_t(c)] = formatter;
    endEditingDelegate_ = delegate;
}

int DVTableModel::setColumnEditable(bool editable, QValidator* formatter, const QString& title,
    IDVCommonTableViewEndEditingDelegate* delegate, bool keepSameClassFormatter)
{
    const qsizetype c = titles_.indexOf(title);
    if (c < 0)
        return -1;
    editable_[size_t(c)] = editable;
    QPointer<QValidator>& current = formatters_[size_t(c)];
    const bool sameClass = current && formatter
        && qstrcmp(current->metaObject()->className(), formatter->metaObject()->className()) == 0;
    if (!(keepSameClassFormatter && sameClass))
        current = formatter;
    endEditingDelegate_ = delegate;
    return int(c) + dataColumnOffset();
}

QValidator* DVTableModel::formatter(int column) const
{
    const int c = dataColumn(column);
    return c < 0 ? nullptr : formatters_[size_t(c)].data();
}

void DVTableModel::selectAllRows()
{
    std::fill(checks_.begin(), checks_.end(), uint8_t(1));
    emitCheckChanged(0, rowCount() - 1);
}

void DVTableModel::deselectAllRows()
{
    std::fill(checks_.begin(), checks_.end(), uint8_t(0));
    emitCheckChanged(0, rowCount() - 1);
}

bool DVTableModel::isSelectAll() const
{
    return !shown_.empty()
        && std::all_of(shown_.begin(), shown_.end(), [this](int r) { return checks_[size_t(r)] != 0; });
}

QList<int> DVTableModel::selectedIndexes() const
{
    QList<int> ticked;
    for (int r : shown_)
        if (checks_[size_t(r)] == 1)
            ticked << r;
    std::sort(ticked.begin(), ticked.end());
    return ticked;
}

int DVTableModel::selectedRow() const
{
    for (int r : shown_)
        if (checks_[size_t(r)] == 1)
            return r;
    return -1;
}

void DVTableModel::itemClicked(int viewRow)
{
    const int r = sourceRow(viewRow);
    if (r < 0)
        return;
    checks_[size_t(r)] = checks_[size_t(r)] == 0 ? 1 : 0;
    emitCheckChanged(viewRow, viewRow);
}

void DVTableModel::emitCheckChanged(int firstRow, int lastRow)
{
    if (kind_ == TableKind::Check && firstRow <= lastRow && firstRow >= 0)
        emit dataChanged(index(firstRow, 0), index(lastRow, 0), { Qt::CheckStateRole });
}

int DVTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(shown_.size());
}

int DVTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(titles_.size()) + dataColumnOffset();
}

QVariant DVTableModel::data(const QModelIndex& index, int role) const
{
    const int r = index.isValid() ? sourceRow(index.row()) : -1;
    if (r < 0)
        return {};
    if (isCheckColumn(index.column())) {
        if (role == Qt::CheckStateRole)
            return checks_[size_t(r)] == 1 ? Qt::Checked : Qt::Unchecked;
        if (role == SortValueRole)
            return int(checks_[size_t(r)]);
        return {};
    }
    const int c = dataColumn(index.column());
    if (c < 0)
        return {};
    const QString& text = cell(r, c);
    const uint8_t flags = cellFlags_[size_t(r) * size_t(titles_.size()) + size_t(c)];
    switch (role) {
    case Qt::DisplayRole:
        if (rules_[size_t(c)].maskable && style_->colors(kind_).accountProtect)
            return maskedColumn(c)[r];
        return text;
    case Qt::EditRole:
    case SortValueRole:
        return text;
    case Qt::ForegroundRole:
        if (text.isEmpty())
            return {};
        return style_->colorForTone(kind_, CellTone(flags & kToneMask));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(
            Qt::Alignment((flags & kRightAligned ? Qt::AlignRight : Qt::AlignHCenter) | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant DVTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return isCheckColumn(section) ? QStringLiteral("选择") : titles_[section - dataColumnOffset()];
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    case Qt::ForegroundRole:
        return QColor(Qt::black);
    default:
        return {};
    }
}

Qt::ItemFlags DVTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (isCheckColumn(index.column()))
        return f | Qt::ItemIsUserCheckable;
    const int c = dataColumn(index.column());
    if (c >= 0 && editable_[size_t(c)])
        f |= Qt::ItemIsEditable;
    return f;
}

bool DVTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const int r = index.isValid() ? sourceRow(index.row()) : -1;
    if (r < 0)
        return false;
    if (isCheckColumn(index.column())) {
        if (role != Qt::CheckStateRole)
            return false;
        checks_[size_t(r)] = value.value<Qt::CheckState>() == Qt::Checked ? 1 : 0;
        emitCheckChanged(index.row(), index.row());
        return true;
    }
    const int c = dataColumn(index.column());
    if (role != Qt::EditRole || c < 0 || !editable_[size_t(c)])
        return false;
    // The editor's validator may have been changed or bypassed (a paste, a
    // programmatic edit): the text is checked again before anyone hears it.
    QString text = value.toString();
    if (QValidator* v = formatters_[size_t(c)].data()) {
        int pos = int(text.size());
        if (v->validate(text, pos) != QValidator::Acceptable)
            return false;
    }
    // The cell keeps the server's value; the page sends the edit and
    // refreshes from the reply.
    if (auto* delegate = endEditingDelegate_.get())
        delegate->endEditing(r, c, text);
    return true;
}

const std::vector<DVTableModel::SortKey>& DVTableModel::sortKeys(int dataColumn) const
{
    std::vector<SortKey>& keys = sortKeys_[size_t(dataColumn)];
    if (keys.empty() && !rows_.isEmpty()) {
        keys.reserve(size_t(rows_.size()));
        for (int r = 0; r < rows_.size(); ++r) {
            QString text = cell(r, dataColumn);
            if (text.trimmed().isEmpty()) {
                keys.push_back({ SortKey::Empty, 0.0 });
                continue;
            }
            text.remove(u'%');
            text.remove(u',');
            if (tablecells::isPureFloat(text))
                keys.push_back({ SortKey::Number, tablecells::leadingDouble(text) });
            else
                keys.push_back({ SortKey::Text, 0.0 });
        }
    }
    return keys;
}

void DVTableModel::sort(int column, Qt::SortOrder order)
{
    if (isCheckColumn(column))
        return;
    sortColumn_ = dataColumn(column);
    sortOrder_ = order;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> sources;
    sources.reserve(size_t(before.size()));
    for (const QModelIndex& i : before)
        sources.push_back(sourceRow(i.row()));

    applySort();

    // Selections and the current cell stay on their rows.
    std::vector<int> viewRowOf(size_t(rows_.size()), -1);
    for (size_t v = 0; v < shown_.size(); ++v)
        viewRowOf[size_t(shown_[v])] = int(v);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const int src = sources[size_t(i)];
        const int row = src >= 0 ? viewRowOf[size_t(src)] : -1;
        after << (row >= 0 ? index(row, before[i].column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void DVTableModel::applySort()
{
    if (sortColumn_ < 0 || sortColumn_ >= titles_.size()) {
        std::sort(shown_.begin(), shown_.end());
        return;
    }
    const std::vector<SortKey>& keys = sortKeys(sortColumn_);
    const int c = sortColumn_;
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    std::stable_sort(shown_.begin(), shown_.end(), [&](int a, int b) {
        const SortKey& ka = keys[size_t(a)];
        const SortKey& kb = keys[size_t(b)];
        if (ka.kind == SortKey::Empty || kb.kind == SortKey::Empty)
            return ka.kind != SortKey::Empty && kb.kind == SortKey::Empty;
        if (ka.kind != kb.kind)
            return descending ? ka.kind > kb.kind : ka.kind < kb.kind;
        if (ka.kind == SortKey::Number)
            return descending ? kb.number < ka.number : ka.number < kb.number;
        const int cmp = cell(a, c).compare(cell(b, c));
        return descending ? cmp > 0 : cmp < 0;
    });
}
