#include "compliance/RDOOpdAppropriateness.h"

#include "comm/recordset/ServerNumber.h"

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
    lockTime = servernumber::waitSecondsOf(text(set, "locktime"));
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
