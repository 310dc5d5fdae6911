#include "compliance/permissions/PermissionRecords.h"

#include "comm/recordset/ServerNumber.h"
#include "compliance/RDOOpdAppropriateness.h"

#include <algorithm>

namespace {

QString text(const VEKTCRS& set, const char* name)
{
    return set.toStringWithName(QLatin1StringView(name));
}

// Every row of a set, the cursor on it.
template <class F> void forEachRow(VEKTCRS rows, F f)
{
    for (qint32 row = 0; row < rows.rowsAffected(); ++row) {
        if (rows.moveTo(row))
            f(rows);
    }
}

} // namespace

RDOPermission::RDOPermission(const VEKTCRS& set)
    : title(text(set, "rightname"))
    , secuid(text(set, "secuid"))
    , status(servernumber::Row(set).wholeValue("right") == 1 ? 1 : 0)
    , contractUrl(text(set, "rightshowfunc"))
    , openUrl(text(set, "rightfunc"))
    , market(text(set, "~market"))
{
}

RDOPermissionContract::RDOPermissionContract(Type type, const VEKTCRS& row)
    : type_(type)
    , tips_(text(row, "tips"))
    , ans_(text(row, "ans"))
    , showtips_(text(row, "showtips"))
{
    // Never negative, so a countdown always ends.
    lockTime_ = quint64(servernumber::waitSecondsOf(text(row, "locktime")));
}

RDOPermissionContractText::RDOPermissionContractText(const VEKTCRS& row)
    : RDOPermissionContract(Text, row)
    , title(text(row, "title"))
    , content(text(row, "content"))
{
}

RDOPermissionContractWeb::RDOPermissionContractWeb(const VEKTCRS& row)
    : RDOPermissionContract(Web, row)
    , url(text(row, "webaddr"))
{
}

RDOPermissionContractRiskAssessment::RDOPermissionContractRiskAssessment(const VEKTCRS& recordSet)
    : RDOPermissionContract(RiskAssessment)
    , risk(recordSet)
{
}

std::vector<RDOPermission> permissionsFromReply(const std::vector<VEKTCRS>& recordSets)
{
    std::vector<RDOPermission> out;
    if (!recordSets.empty())
        forEachRow(recordSets.front(), [&](const VEKTCRS& row) { out.emplace_back(row); });
    return out;
}

PermissionContracts permissionContractsFromReply(const std::vector<VEKTCRS>& recordSets)
{
    PermissionContracts out;
    if (recordSets.empty())
        return out;
    forEachRow(recordSets.front(), [&](const VEKTCRS& row) {
        const QString type = text(row, "type");
        if (type == QLatin1String("T")) {
            out.push_back(std::make_shared<RDOPermissionContractText>(row));
        } else if (type == QLatin1String("W")) {
            out.push_back(std::make_shared<RDOPermissionContractWeb>(row));
        } else if (type == QLatin1String("answer")) {
            // The set's number by its value ("2.0" is 2; "2x" names none).
            const qint64 n = servernumber::wholeValueOf(text(row, "webaddr")).value_or(0);
            if (n > 1 && quint64(n) <= recordSets.size())
                out.push_back(std::make_shared<RDOPermissionContractRiskAssessment>(recordSets[size_t(n - 1)]));
        }
    });
    return out;
}
