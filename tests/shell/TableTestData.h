#pragma once

#include "comm/VEKTCRS.h"
#include "core/DTTable.h"

#include <QStringList>
#include <cstring>
#include <memory>

namespace tabletest {

// A reply table: text fields titled `titles` (UTF-8 descriptions), one row
// per list of values.
inline std::shared_ptr<DTTable> makeTable(const QStringList& titles, const QList<QStringList>& rows)
{
    VEKTCRS set(2);
    for (qsizetype i = 0; i < titles.size(); ++i) {
        TCRSField field {};
        field.type = 9;
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
        for (qint32 c = 0; c < rows[r].size(); ++c)
            set.updateFieldWithString(c, rows[r][c]);
    }
    return std::make_shared<DTTable>(&set);
}

} // namespace tabletest
