#pragma once

#include <QString>
#include <cstdio>
#include <locale.h>

namespace printftext {

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

} // namespace printftext
