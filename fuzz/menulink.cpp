// Menu link grammar: the first line lists the keys asked for (comma
// separated), the rest is a link. The pieces must put the link back together
// and every value found must come from the link.
#include "shell/menu/MenuLink.h"

#include "shell/menu/RDOMenuInfo.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = text.indexOf(u'\n');
    const QStringList keys = newline < 0 ? QStringList() : text.left(newline).split(u',');
    const QString link = newline < 0 ? text : text.mid(newline + 1);

    const QString function = getUrlFunctionString(link);
    const QString params = getUrlParamString(link);
    if (function + (link.contains(u'?') ? QStringLiteral("?") + params : QString()) != link)
        std::abort();
    const qint32 type = RDOMenuInfo::getMenuLinkTypeWithLinkString(link);
    if (type < 0 || type > 4)
        std::abort();
    (void)RDOMenuInfo::getMenuLinkIdWithIdString(link);

    const auto found = analyzeUrlAndSymbolByKeys(params, keys);
    if (keys.isEmpty() != !found.has_value())
        std::abort();
    if (found) {
        if (!found->contains(QString::fromLatin1(kOtherUrlKey)))
            std::abort();
        for (auto it = found->constBegin(); it != found->constEnd(); ++it) {
            if (it.key() == QLatin1String(kOtherUrlKey))
                continue;
            if (!params.contains(it.value()) || it.value().contains(u'&'))
                std::abort();
        }
    }
    return 0;
}
