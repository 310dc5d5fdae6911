#include "compliance/permissions/PermissionDataModels.h"

#include "comm/recordset/ServerNumber.h"
#include "core/DataModelFactory.h"
#include "login/OwedReads.h"
#include "shell/menu/MenuLink.h"

namespace {

const QString kMainFunction = QStringLiteral("tc_mfuncno");
const QString kSubFunction = QStringLiteral("tc_sfuncno");

std::optional<quint64> functionNumber(const QMap<QString, QString>& parts, const QString& key)
{
    const auto it = parts.constFind(key);
    if (it == parts.cend())
        return std::nullopt;
    // By its value, as every link's: "500.000" is 500; "", "8x" and "8.5"
    // name no function.
    const std::optional<qint64> number = servernumber::wholeValueOf(*it);
    return number && *number >= 0 ? std::optional<quint64>(quint64(*number)) : std::nullopt;
}

QString firstRowText(const std::vector<VEKTCRS>& sets, const char* name)
{
    VEKTCRS first = sets.front();
    first.fetchFirst();
    return first.toStringWithName(QLatin1StringView(name));
}

} // namespace

PermissionLink parsePermissionLink(std::string_view link)
{
    PermissionLink out;
    const auto parts = analyzeUrlAndSymbolByKeys(
        QString::fromLatin1(link.data(), qsizetype(link.size())), { kMainFunction, kSubFunction });
    if (!parts)
        return out;
    out.otherUrl = parts->value(QString::fromLatin1(kOtherUrlKey));
    const std::optional<quint64> mFunc = functionNumber(*parts, kMainFunction);
    const std::optional<quint64> sFunc = functionNumber(*parts, kSubFunction);
    if (mFunc && sFunc)
        out.functions = std::make_pair(*mFunc, *sFunc);
    return out;
}

DMPermissionSign::Result DMPermissionSign::reply(const std::vector<VEKTCRS>& sets)
{
    return firstRowText(sets, "msg");
}

DMOpenPermissionAccess::Result DMOpenPermissionAccess::reply(const std::vector<VEKTCRS>& sets)
{
    return firstRowText(sets, "~msgok");
}

void DMOpenPermissionAccess::failWithError(const QString& handle, const tagRequestParam& param,
    const CSError& error, const DataModel::ObserverList& observers)
{
    if (!leavesOutcomeUnknown(error)) {
        PermissionLinkDataModel::failWithError(handle, param, error, observers);
        return;
    }
    const std::weak_ptr<int> alive = aliveToken();
    const QString told = getNetworkError(error).domain + QStringLiteral("，")
        + QString::fromUtf8(kPermissionAccessUnknownOutcome);
    PermissionLinkDataModel::failWithError(handle, param, { told, CSErrorOutcomeUnknown }, observers);
    const RequestLedger::Answer* answer = RequestLedger::answering();
    if (!alive.expired() && answer)
        OwedReads::getInstance()->owe({ QString::fromLatin1(owedfigure::kPermissions) }, *answer);
}

void registerPermissionDataModels()
{
    DataModelFactory::registerDataModel<DMQueryPermissionInfo>();
    DataModelFactory::registerDataModel<DMQueryPermissionContract>();
    DataModelFactory::registerDataModel<DMPermissionSign>();
    DataModelFactory::registerDataModel<DMOpenPermissionAccess>();
}
