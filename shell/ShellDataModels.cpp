#include "shell/ShellDataModels.h"

#include "core/DataModelFactory.h"

void DMQueryMenuInfo::body(const tagQueryMenuInfoParam& p, RequestBody& b)
{
    b.add("utid", p.utid)
        .add("hwid", p.hardwareInfo)
        .add("cont_id", p.contId)
        .add("soft_version", p.softVersion);
}

DMQueryMenuInfo::Result DMQueryMenuInfo::reply(const std::vector<VEKTCRS>& sets)
{
    return std::make_shared<RDOMenuManager>(sets.front());
}

void DMMessageCenterList::body(const tagMessageCenterListParam& p, RequestBody& b)
{
    b.add("updatekey", p.updateKey).add("orgid", p.orgId);
}

DMMessageCenterList::Result DMMessageCenterList::reply(const std::vector<VEKTCRS>& sets)
{
    VEKTCRS rows = sets.front();
    Result out;
    for (qint32 row = 0; row < rows.rowsAffected(); ++row) {
        if (rows.moveTo(row))
            out.emplace_back(rows);
    }
    return out;
}

void DMMessageCenterDetail::body(const tagMessageCenterDetailParam& p, RequestBody& b)
{
    b.add("pd", p.pd).add("pt", p.pt);
}

DMMessageCenterDetail::Result DMMessageCenterDetail::reply(const std::vector<VEKTCRS>& sets)
{
    VEKTCRS first = sets.front();
    first.fetchFirst();
    return first.toStringWithName(QStringLiteral("html"));
}

std::optional<QString> DMMessageCenterDetail::answerLacks(const std::vector<VEKTCRS>& sets) const
{
    if (sets.empty() || sets.front().rowsAffected() <= 0)
        return QStringLiteral("应答没有消息内容");
    return std::nullopt;
}

void DMMessageCenterDetail::completeWithRecordSets(const QString& handle, const tagRequestParam& param,
    const std::vector<VEKTCRS>& sets, const DataModel::ObserverList& observers)
{
    if (const std::optional<QString> missing = answerLacks(sets)) {
        failWithError(handle, param, { *missing, CSErrorServerNoData }, observers);
        return;
    }
    DataModelClass::completeWithRecordSets(handle, param, sets, observers);
}

void registerShellDataModels()
{
    DataModelFactory::registerDataModel<DMQueryMenuInfo>();
    DataModelFactory::registerDataModel<DMMessageCenterList>();
    DataModelFactory::registerDataModel<DMMessageCenterDetail>();
}
