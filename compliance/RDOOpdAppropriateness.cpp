#include "compliance/RDOOpdAppropriateness.h"

namespace {

QString text(const VEKTCRS& set, const char* name)
{
    return set.toStringWithName(QString::fromLatin1(name));
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
    // The integer value of the text: leading digits count, anything else is 0.
    bool ok = false;
    const qint64 value = text(set, "locktime").trimmed().toLongLong(&ok);
    lockTime = ok ? value : 0;
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
