// Record-set reader: the first byte picks the encoding, the rest is a reply
// payload. Everything accepted is read cell by cell, written, read back and
// sorted by every field.
#include "comm/recordset/VEKTCRS.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const qint32 encoding = data[0] % 4;
    const auto* bytes = reinterpret_cast<const char*>(data + 1);
    std::vector<VEKTCRS> sets = VEKTCRS::constructMRWithBytes(bytes, static_cast<qint64>(size - 1), encoding);
    for (VEKTCRS& set : sets) {
        (void)set.recordsetInfo();
        (void)set.isErrorInfo();
        // Empty records cost no input, so only the first few are read. The
        // text read into one reused text must be the text returned.
        QString reused;
        std::vector<qint32> everyIndex;
        for (qint32 f = -1; f <= set.fieldCount(); ++f)
            everyIndex.push_back(f);
        std::vector<QString> row(everyIndex.size());
        for (qint32 r = -1; r <= std::min(set.rowsAffected(), 300); ++r) {
            set.setCurrent(r);
            // A row read at once is the row read cell by cell.
            (void)set.readStringsAtIndexes(everyIndex, row);
            for (size_t i = 0; i < everyIndex.size(); ++i)
                if (row[i] != set.toStringAtIndex(everyIndex[i]))
                    std::abort();
            for (qint32 f = -1; f <= set.fieldCount(); ++f) {
                const QString name = set.fieldNameAtIndex(f);
                (void)set.fieldDescAtIndex(f);
                (void)set.toStringAtIndex(f);
                (void)set.readStringWithName(name, reused);
                if (reused != set.toStringAtIndex(set.indexOfFieldWithName(name)))
                    std::abort();
                (void)set.toIntAtIndex(f);
                (void)set.toInt64AtIndex(f);
                (void)set.toFloatAtIndex(f);
                (void)set.getUnideByteAtIndex(f);
                (void)set.fieldDataAtIndex(f);
                (void)set.toStringWithName(name);
                (void)set.toIntWithName(name);
                (void)set.toFloatWithName(name);
            }
        }
        const QByteArray out = set.exportData();
        if (out.size() != set.exportSize())
            std::abort();
        const std::vector<VEKTCRS> again
            = VEKTCRS::constructMRWithBytes(out.constData(), out.size(), encoding);
        if (again.size() != 1 || again[0].rowsAffected() != set.rowsAffected())
            std::abort();
        for (qint32 f = 0; f < set.fieldCount(); ++f)
            set.sortByField(f, f % 2 == 0);
        if (set.rowsAffected() > 0) {
            (void)set.mergeTCRS(&set, true);
            (void)set.subRecordSetWithRange(0, 1);
            (void)set.deleteRecordAtIndex(0);
            (void)set.shrinkData();
        }
    }
    return 0;
}
