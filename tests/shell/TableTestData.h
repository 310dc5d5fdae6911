#pragma once

#include "comm/recordset/VEKTCRS.h"
#include "core/DTTable.h"

#include <QStringList>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace tabletest {

// A reply table: fields of the given types (text when none is given)
// titled `titles` (UTF-8 descriptions), one row per list of values; a value
// of a numeric field is stored as the number its text reads as ("nan" and
// "inf" included).
inline std::shared_ptr<DTTable> makeTable(
    const QStringList& titles, const QList<QStringList>& rows, const QList<qint32>& types = {})
{
    VEKTCRS set(2);
    for (qsizetype i = 0; i < titles.size(); ++i) {
        TCRSField field {};
        field.type = i < types.size() ? types[i] : 9;
        field.coding = 2;
        const QByteArray name = "f" + QByteArray::number(i);
        const QByteArray desc = titles[i].toUtf8().left(126);
        std::memcpy(field.name, name.constData(), size_t(name.size()));
        std::memcpy(field.desc, desc.constData(), size_t(desc.size()));
        set.addField(field);
    }
    for (qint32 r = 0; r < rows.size(); ++r) {
        set.appendRecord();
        set.setCurrent(r);
        for (qint32 c = 0; c < rows[r].size(); ++c) {
            const qint32 type = c < types.size() ? types[c] : 9;
            if (type == 6 || type == 7)
                set.updateFieldWithDouble(c, std::strtod(rows[r][c].toLatin1().constData(), nullptr));
            else if (type != 9)
                set.updateFieldWithInt64(c, rows[r][c].toLongLong());
            else
                set.updateFieldWithString(c, rows[r][c]);
        }
    }
    return std::make_shared<DTTable>(&set);
}

} // namespace tabletest
