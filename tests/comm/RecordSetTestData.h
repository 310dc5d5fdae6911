#pragma once

#include "comm/recordset/VEKTCRS.h"

#include <QString>
#include <cstdio>
#include <cstring>
#include <locale.h>

// Helpers of the record-set tests.
namespace rstest {

// A field of a type with a name, nothing else set.
inline TCRSField field(const char* name, qint32 type)
{
    TCRSField f {};
    f.type = type;
    std::strncpy(f.name, name, sizeof f.name - 1);
    return f;
}

// printf's "%.3f" of a value in the C locale, whatever the process's
// locale: the text a record set's floating-point value reads as.
inline QString fixed3(double value)
{
    const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    const locale_t before = uselocale(c);
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.3f", value);
    uselocale(before);
    freelocale(c);
    return QString::fromLatin1(buffer);
}

} // namespace rstest
