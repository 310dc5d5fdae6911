#pragma once

#include "comm/recordset/VEKTCRS.h"
#include "core/DTTable.h"

#include <QStringList>
#include <QVariant>
#include <type_traits>

// A table model that keeps one record object per row next to the rows, in
// the same order. Its `neverShown` fields (and the caller's filter keys) are
// left out of the columns only: the records still read them. A Record is
// made from the set with its cursor on the row, by reference or by pointer.
template <class Record> class DTRecordTable : public DTTable {
public:
    explicit DTRecordTable(QStringList neverShown = {})
        : neverShown_(std::move(neverShown))
    {
    }
    // updateTable: the never-shown fields only.
    void updateTable(const VEKTCRS* recordSet) override
    {
        if (recordSet)
            build(*recordSet, {});
    }
    // The record of a row; an empty one outside the rows.
    Record recordAt(qsizetype row) const
    {
        return row >= 0 && row < _contentObjectArray.size() ? _contentObjectArray[row].template value<Record>()
                                                            : Record();
    }
    Record objectAt(qsizetype row) const { return recordAt(row); }

protected:
    // Titles and rows as DTTable makes them, less the hidden fields; then one
    // record per row. Subclass constructors call it.
    virtual void build(const VEKTCRS& recordSet, const QStringList& filterKeys)
    {
        buildFromRecordSet(recordSet, hiddenKeys(filterKeys));
        VEKTCRS rows = recordSet;
        _contentObjectArray.clear();
        _contentObjectArray.reserve(rows.rowsAffected());
        for (qint32 row = 0; row < rows.rowsAffected(); ++row) {
            rows.moveTo(row);
            _contentObjectArray.append(QVariant::fromValue(recordOf(rows)));
        }
    }
    QStringList hiddenKeys(const QStringList& filterKeys) const { return neverShown_ + filterKeys; }

private:
    static Record recordOf(const VEKTCRS& row)
    {
        if constexpr (std::is_constructible_v<Record, const VEKTCRS&>)
            return Record(row);
        else
            return Record(&row);
    }

    QStringList neverShown_;
};
