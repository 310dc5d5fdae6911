#include "login/LoginDataModels.h"

#include "comm/recordset/ServerNumber.h"
#include "core/DMServerManager.h"
#include "core/DataModelFactory.h"

namespace {

// The first row of the first record set (replies are never empty here).
VEKTCRS firstRow(const std::vector<VEKTCRS>& sets)
{
    VEKTCRS first = sets.front();
    first.fetchFirst();
    return first;
}

// Every row of the first record set, in order.
template <class Record> std::vector<Record> rowsOf(const std::vector<VEKTCRS>& sets)
{
    VEKTCRS rows = sets.front();
    std::vector<Record> out;
    for (qint32 row = 0; row < rows.rowsAffected(); ++row) {
        if (rows.moveTo(row))
            out.emplace_back(rows);
    }
    return out;
}

} // namespace

void DMUtid::body(const tagUtidParam& p, RequestBody& b)
{
    b.add("soft_name", p.softwareName)
        .add("soft_version", p.appVersion)
        .add("model", p.machineType)
        .add("hwid", p.hardwareInfo)
        .add("imei", p.iMei)
        .add("imsi", p.iMsi)
        .add("osid", p.osid);
}

DMUtid::Result DMUtid::reply(const std::vector<VEKTCRS>& sets)
{
    return firstRow(sets).toStringWithName(QStringLiteral("UTID"));
}

DMReservationInfo::Result DMReservationInfo::reply(const std::vector<VEKTCRS>& sets)
{
    return servernumber::Row(firstRow(sets)).wholeValue("ErrCode") == 0;
}

DMAppLogin::DMAppLogin(INetworkFactory* networkCreator, DMServerManager* serverInfoManager)
    : DataModelClass(networkCreator)
    , serverInfoManager(serverInfoManager ? serverInfoManager : DMServerManager::getInstance())
{
}

void DMAppLogin::body(const tagAppLoginParam& p, RequestBody& b)
{
    b.add("utid", p.utid)
        .add("soft_name", p.softwareName)
        .add("soft_version", p.appVersion)
        .add("orgid", p.orgId)
        .add("netaddr", p.hardwareInfo)
        .add("circuit", p.circuit);
}

DMAppLogin::Result DMAppLogin::reply(const std::vector<VEKTCRS>& sets)
{
    return RDOServerVersionInfo::initWithTCRArray(sets);
}

bool DMAppLogin::respondWithError(const CSError& error, const QString& identifier)
{
    if (identifier.contains(id_DataModel, Qt::CaseInsensitive)) {
        const CSError shown = getNetworkError(error);
        lastErrorMessage = shown.domain;
        lastErrorCode = shown.code;
    }
    return DataModelClass::respondWithError(error, identifier);
}

void DMAppLogin::completeWithRecordSets(const QString& handle, const tagRequestParam& param,
    const std::vector<VEKTCRS>& recordSets, const ObserverList& observers)
{
    lastErrorCode = 0;
    lastErrorMessage.clear();
    if (serverInfoManager)
        serverInfoManager->updateServerInfo(recordSets.front());
    DataModelClass::completeWithRecordSets(handle, param, recordSets, observers);
}

DMOrganizationInfo::DMOrganizationInfo(INetworkFactory* networkCreator)
    : TradeDataModel(QString::fromLatin1(info.identifier), networkCreator)
{
}

QString DMOrganizationInfo::getRequestHandle(const tagRequestParam&) const
{
    return QStringLiteral("fixed");
}

void DMOrganizationInfo::request(const DMRequestParamObject& object)
{
    send(object, CSPacket(info.mFunc, info.sFunc, QString()));
}

bool DMOrganizationInfo::acceptsObserver(DataModelObserver* observer) const
{
    return dynamic_cast<IOrganizationInfoDelegate*>(observer) != nullptr;
}

void DMOrganizationInfo::completeWithRecordSets(const QString& handle, const tagRequestParam&,
    const std::vector<VEKTCRS>& recordSets, const ObserverList& observers)
{
    const RDOOrganizationInfo result(recordSets.front());
    const std::weak_ptr<int> alive = aliveToken();
    for (const DataModelObserverRef& entry : observers) {
        if (auto* observer = dynamic_cast<IOrganizationInfoDelegate*>(entry.get())) {
            observer->queryOrganizationInfo(this, handle, result);
            if (alive.expired())
                return;
        }
    }
}

void DMOrganizationInfo::failWithError(
    const QString& handle, const tagRequestParam&, const CSError& error, const ObserverList& observers)
{
    const std::weak_ptr<int> alive = aliveToken();
    for (const DataModelObserverRef& entry : observers) {
        if (auto* observer = dynamic_cast<IOrganizationInfoDelegate*>(entry.get())) {
            observer->queryOrganizationInfo(this, handle, error);
            if (alive.expired())
                return;
        }
    }
}

void DMIdentifyingCode::body(const tagIdentifyingCodeParam& p, RequestBody& b)
{
    b.add("utid", p.utid).add("soft_name", p.softwareName).add("soft_version", p.appVersion);
}

DMIdentifyingCode::Result DMIdentifyingCode::reply(const std::vector<VEKTCRS>& sets)
{
    return RDOIdentifyingCode(firstRow(sets));
}

void DMTradeLogin::body(const tagTradeLoginParam& p, RequestBody& b)
{
    b.add("utid", p.utid)
        .add("operway", p.operateWay)
        .add("inputtype", p.inputType)
        .add("inputid", p.inputId)
        .add("orgid", p.orgId)
        .add("trdpwd", p.password)
        .add("checkword", p.identifyingCode)
        .add("dynpwd", p.guardCode)
        .add("netaddr", p.netAddr);
}

std::optional<QString> DMTradeLogin::lacking(const Result& account)
{
    const auto blank = [](const std::optional<QString>& text) { return !text || text->trimmed().isEmpty(); };
    if (blank(account.customerId()))
        return QStringLiteral("登录应答缺少客户号，无法登录");
    if (blank(account.commonString()))
        return QStringLiteral("登录应答缺少交易请求前缀，无法登录");
    return std::nullopt;
}

void DMIdentifyLogin::body(const tagIdentifyLoginParam& p, RequestBody& b)
{
    b.add("soft_name", p.softName)
        .add("operway", p.operateWay)
        .add("inputtype", "C")
        .add("inputid", p.inputId)
        .add("orgid", p.orgId)
        .add("trdpwd", p.password);
}

void DMQuerySystemMessage::body(const tagQuerySystemMessageParam& p, RequestBody& b)
{
    b.add("soft_version", p.softVersion);
}

DMQuerySystemMessage::Result DMQuerySystemMessage::reply(const std::vector<VEKTCRS>& sets)
{
    return rowsOf<RDOSystemMessage>(sets);
}

void DMQueryRiskEvaluationStatus::body(const tagRiskAssessmentStatusParam& p, RequestBody& b)
{
    b.prefix(p.commonUrl).add("version", "1");
}

DMQueryRiskEvaluationStatus::Result DMQueryRiskEvaluationStatus::reply(const std::vector<VEKTCRS>& sets)
{
    return RDORiskAssessmentStatus(firstRow(sets));
}

DMQueryFundInfo::Result DMQueryFundInfo::reply(const std::vector<VEKTCRS>& sets)
{
    return rowsOf<RDOFund>(sets);
}

void registerLoginDataModels()
{
    DataModelFactory::registerDataModel<DMUtid>();
    DataModelFactory::registerDataModel<DMAppLogin>();
    DataModelFactory::registerDataModel<DMOrganizationInfo>();
    DataModelFactory::registerDataModel<DMIdentifyingCode>();
    DataModelFactory::registerDataModel<DMTradeLogin>();
    DataModelFactory::registerDataModel<DMIdentifyLogin>();
    DataModelFactory::registerDataModel<DMQuerySystemMessage>();
    DataModelFactory::registerDataModel<DMQueryRiskEvaluationStatus>();
    DataModelFactory::registerDataModel<DMQueryFundInfo>();
    DataModelFactory::registerDataModel<DMChangeTradePassword>();
    DataModelFactory::registerDataModel<DMChangeFundPassword>();
    DataModelFactory::registerDataModel<DMReservationInfo>();
}
