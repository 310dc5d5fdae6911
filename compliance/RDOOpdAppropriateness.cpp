#include "compliance/RDOOpdAppropriateness.h"

#include <limits>

namespace {

QString text(const VEKTCRS& set, const char* name)
{
    return set.toStringWithName(QLatin1StringView(name));
}

} // namespace

RDOOpdAppropriateness::RDOOpdAppropriateness(const VEKTCRS& set)
    : title(text(set, "title"))
    , content(text(set, "content"))
    , type(text(set, "type"))
    , webUrl(text(set, "webaddr"))
    , problemConfirmUrl(text(set, "ans"))
    , confirmPrompt(text(set, "tips"))
    , showPrompt(text(set, "showtips"))
{
    lockTime = integerValue(text(set, "locktime"));
}

std::optional<std::vector<RDOOpdAppropriateness>> RDOOpdAppropriateness::parseResultsets(
    const std::vector<VEKTCRS>& recordSets, qint64 index)
{
    if (recordSets.empty() || index < 0 || quint64(index) >= recordSets.size())
        return std::nullopt;
    VEKTCRS rows = recordSets[size_t(index)];
    std::vector<RDOOpdAppropriateness> out;
    for (qint32 row = 0; row < rows.rowsAffected(); ++row) {
        if (rows.moveTo(row))
            out.emplace_back(rows);
    }
    return out;
}

qint64 integerValue(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    const bool negative = i < text.size() && text[i] == u'-';
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        const qint64 digit = text[i].unicode() - u'0';
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return negative ? -value : value;
}
