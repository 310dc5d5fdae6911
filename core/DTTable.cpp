#include "core/DTTable.h"

#include "comm/recordset/VEKTCRS.h"

#include <vector>

void DTArrayController::setContent(const QStringList& titles, const QList<Row>& rows)
{
    beginResetModel();
    titles_ = titles;
    rows_ = rows;
    endResetModel();
}

void DTArrayController::addObject(const Row& row)
{
    beginInsertRows(QModelIndex(), int(rows_.size()), int(rows_.size()));
    rows_.append(row);
    endInsertRows();
}

void DTArrayController::removeObjectAtArrangedObjectIndex(qsizetype index)
{
    if (index < 0 || index >= rows_.size())
        return;
    beginRemoveRows(QModelIndex(), int(index), int(index));
    rows_.removeAt(index);
    endRemoveRows();
}

int DTArrayController::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int DTArrayController::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(titles_.size());
}

QVariant DTArrayController::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= rows_.size())
        return {};
    const Row& row = rows_[index.row()];
    return index.column() < row.size() ? QVariant(row[index.column()]) : QVariant();
}

QVariant DTArrayController::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= titles_.size())
        return {};
    return titles_[section];
}

DTTable::DTTable()
    : _arrayController(std::make_unique<DTArrayController>())
{
}

DTTable::DTTable(const VEKTCRS* recordSet, const QStringList& filterKeys)
    : DTTable()
{
    if (recordSet)
        buildFromRecordSet(*recordSet, filterKeys);
}

DTTable::~DTTable() = default;

void DTTable::buildFromRecordSet(const VEKTCRS& source, const QStringList& filterKeys)
{
    VEKTCRS recordSet = source; // the cursor moves
    recordSet.fetchFirst();

    std::vector<qint32> kept;
    QStringList titles;
    for (qint32 i = 0; i < recordSet.fieldCount(); ++i) {
        const QString name = recordSet.fieldNameAtIndex(i);
        if (name == QLatin1String(kPostStr) || filterKeys.contains(name))
            continue;
        kept.push_back(i);
        titles << recordSet.fieldDescAtIndex(i);
    }

    _count = recordSet.rowsAffected();
    QList<DTArrayController::Row> rows;
    rows.reserve(recordSet.rowsAffected());
    // Each column's cells are read into one text that keeps its buffer; a
    // cell whose text equals the one above it shares that text, the others
    // get a copy of their own: columns of markets, states and dates repeat,
    // and a shared text costs no allocation.
    DTArrayController::Row above(qsizetype(kept.size()));
    std::vector<QString> texts(kept.size());
    for (qint32 r = 0; r < recordSet.rowsAffected(); ++r) {
        recordSet.moveTo(r);
        recordSet.readStringsAtIndexes(kept, texts);
        DTArrayController::Row row;
        row.reserve(qsizetype(kept.size()));
        for (size_t c = 0; c < kept.size(); ++c) {
            const QString& text = texts[c];
            if (text.isEmpty()) {
                row << recordSet.toStringAtIndex(kept[c]); // null, as it always read
                continue;
            }
            QString& last = above[qsizetype(c)];
            if (text != last)
                last = QStringView(text).toString();
            row << last;
        }
        rows << row;
    }
    _tableColomnTitles = titles;
    _arrayController->setContent(titles, rows);
}

void DTTable::copyContentFrom(const DTTable& other)
{
    _tableColomnTitles = other._tableColomnTitles;
    _contentObjectArray = other._contentObjectArray;
    _count = other._count;
    _arrayController->setContent(other._arrayController->titles(), other._arrayController->arrangedObjects());
}

void DTTable::updateTable(const VEKTCRS* recordSet)
{
    if (recordSet)
        buildFromRecordSet(*recordSet, {});
}

void DTTable::removeContentObject(const QString& key, const QString& value)
{
    const qsizetype column = _tableColomnTitles.lastIndexOf(key);
    if (column < 0)
        return;
    qsizetype i = 0;
    while (i < _arrayController->count()) {
        const DTArrayController::Row& row = _arrayController->arrangedObjects()[i];
        if (column < row.size() && row[column] == value) {
            _arrayController->removeObjectAtArrangedObjectIndex(i);
            if (i < _contentObjectArray.size())
                _contentObjectArray.removeAt(i);
        } else {
            ++i;
        }
    }
}

void DTTable::removeContentObjectWithMarketCode(qint64)
{
}

QString DTTable::valueForTitle(qsizetype row, const QString& title) const
{
    const qsizetype column = _tableColomnTitles.lastIndexOf(title);
    const QList<DTArrayController::Row>& rows = _arrayController->arrangedObjects();
    if (column < 0 || row < 0 || row >= rows.size() || column >= rows[row].size())
        return {};
    return rows[row][column];
}
