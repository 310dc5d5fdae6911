#include "login/LoginManager.h"

#include "core/DMServerManager.h"
#include "core/DataModelManager.h"
#include "core/RequestParam.h"
#include "core/SystemInfo.h"
#include "core/UserDefaultConfig.h"
#include "login/AccountManager.h"
#include "login/LoginDataModels.h"
#include "login/OrgInfoManager.h"
#include "login/SharedInstance.h"
#include "platform/Crypto.h"

#include <QHostAddress>

namespace {

std::unique_ptr<LoginManager> instance;

// Copies a text into a field as it is: the request refuses it (and tells the
// observer) when it does not fit, rather than sending it cut.
void put(std::string& field, const QString& text)
{
    QByteArray bytes = text.toUtf8();
    field.assign(bytes.constData(), size_t(bytes.size()));
    platform::secureWipe(bytes);
}

void put(std::string& field, const std::optional<QString>& text)
{
    put(field, text.value_or(QString()));
}

} // namespace

LoginManager* LoginManager::getInstance()
{
    return sharedInstanceIn(instance);
}

void LoginManager::resetInstance()
{
    instance.reset();
}

LoginManager::LoginManager(Services services)
    : accountManager(services.accountManager ? services.accountManager : AccountManager::getInstance())
    , orgInfoManager(services.orgInfoManager ? services.orgInfoManager : OrgInfoManager::getInstance())
    , dataModelMgr(services.dataModelMgr ? services.dataModelMgr : DataModelManager::getInstance())
    , dmServerManager(services.dmServerManager)
    , userDefaultConfig(
          services.userDefaultConfig ? services.userDefaultConfig : UserDefaultConfig::getInstance())
    , systemInfo(services.systemInfo ? services.systemInfo : SystemInfo::getInstance())
{
}

LoginManager::~LoginManager() = default;

DataModel* LoginManager::dataModel(std::unique_ptr<DataModel>& slot, const char* identifier)
{
    if (!slot)
        slot = dataModelMgr->getDataModel(QString::fromLatin1(identifier));
    return slot.get();
}

DataModel* LoginManager::utidDataModel()
{
    return dataModel(utidDataModel_, DMUtid::info.identifier);
}
DataModel* LoginManager::appLoginDataModel()
{
    return dataModel(appLoginDataModel_, DMAppLogin::info.identifier);
}
DataModel* LoginManager::orgInfoDataModel()
{
    return dataModel(orgInfoDataModel_, DMOrganizationInfo::info.identifier);
}
DataModel* LoginManager::tradeLoginDataModel()
{
    return dataModel(tradeLoginDataModel_, DMTradeLogin::info.identifier);
}
DataModel* LoginManager::identifyLoginDataModel()
{
    return dataModel(dmIdentifyLogin, DMIdentifyLogin::info.identifier);
}
DataModel* LoginManager::identifyingCodeDataModel()
{
    return dataModel(dmIdentifyingCode, DMIdentifyingCode::info.identifier);
}
DataModel* LoginManager::querySystemMessageDataModel()
{
    return dataModel(dmQuerySystemMessage, DMQuerySystemMessage::info.identifier);
}
DataModel* LoginManager::queryRiskEvaluationStatusDataModel()
{
    return dataModel(dmQueryRiskEvaluationStatus, DMQueryRiskEvaluationStatus::info.identifier);
}

DMServerManager* LoginManager::serverManager()
{
    if (!dmServerManager)
        dmServerManager = DMServerManager::getInstance();
    return dmServerManager;
}

void LoginManager::setUtid(const std::optional<QString>& utid)
{
    _utid = utid;
    if (utid && !utid->isEmpty())
        userDefaultConfig->setUserUtid(*utid);
}

bool LoginManager::needRequestUtid()
{
    _utid = userDefaultConfig->userUtid();
    return !_utid || _utid->isEmpty();
}

void LoginManager::requestUtid(IUtidDelegate* observer)
{
    DataModel* request = utidDataModel();
    if (!request) {
        refuseMissingClass<IUtidDelegate>(observer, DMUtid::info.identifier);
        return;
    }
    tagRequestParam param;
    request->mallocParam(&param);
    tagUtidParam& p = *param.utid();
    put(p.softwareName, systemInfo->softwareName());
    put(p.appVersion, systemInfo->appVersion());
    put(p.machineType, systemInfo->osName());
    put(p.hardwareInfo, systemInfo->systemString());
    put(p.iMei, QString());
    put(p.iMsi, QString());
    put(p.osid, systemInfo->systemVersion());
    request->requestData(observer, param, timeout);
    request->freeParam(&param);
}

void LoginManager::setNetworkUtidConifg()
{
    serverManager()->setNetworkConfigUtid(_utid.value_or(QString()),
        systemInfo->softwareName().value_or(QString()), systemInfo->appVersion().value_or(QString()));
}

void LoginManager::requestAppLogin(IAppLoginDelegate* observer)
{
    DataModel* request = appLoginDataModel();
    if (!request) {
        refuseMissingClass<IAppLoginDelegate>(observer, DMAppLogin::info.identifier);
        return;
    }
    tagRequestParam param;
    request->mallocParam(&param);
    tagAppLoginParam& p = *param.appLogin();
    put(p.utid, _utid);
    put(p.softwareName, systemInfo->softwareName());
    put(p.appVersion, systemInfo->appVersion());
    put(p.orgId, userDefaultConfig->orgId());
    put(p.hardwareInfo, QString());
    put(p.circuit, QStringLiteral("0"));
    request->requestData(observer, param, timeout);
    request->freeParam(&param);
}

bool LoginManager::needRetryAppLogin(qint64) const
{
    return appLoginDataModel_ && appLoginDataModel_->getLastErrorCode() == kRetryAppLoginCode;
}

bool LoginManager::needRequestOrgInfo(const std::optional<QString>& orgVersion)
{
    const std::optional<QString> stored = userDefaultConfig->orgVersion();
    if (!orgVersion || !stored || *orgVersion != *stored) {
        _orgVersion = orgVersion;
        return true;
    }
    return !orgInfoManager->initializeWithLocal();
}

void LoginManager::requestOrgInfo(IOrganizationInfoDelegate* observer)
{
    DataModel* request = orgInfoDataModel();
    if (!request) {
        refuseMissingClass<IOrganizationInfoDelegate>(observer, DMOrganizationInfo::info.identifier);
        return;
    }
    tagRequestParam param; // no parameters: sent empty
    request->requestData(observer, param, timeout);
}

bool LoginManager::setOrgInfo(const RDOOrganizationInfo* info)
{
    if (!orgInfoManager->initializeWithRDOOrganizationInfo(info))
        return false;
    orgInfoManager->saveToLocal();
    userDefaultConfig->setOrgVersion(_orgVersion.value_or(QString()));
    _orgVersion.reset();
    return true;
}

void LoginManager::requestIdentifyingCode(IIdentifyingCodeDelegate* observer)
{
    if (!_utid)
        return;
    DataModel* request = identifyingCodeDataModel();
    if (!request) {
        refuseMissingClass<IIdentifyingCodeDelegate>(observer, DMIdentifyingCode::info.identifier);
        return;
    }
    tagRequestParam param;
    request->mallocParam(&param);
    tagIdentifyingCodeParam& p = *param.identifyingCode();
    put(p.utid, _utid);
    put(p.softwareName, systemInfo->softwareName());
    put(p.appVersion, systemInfo->appVersion());
    _identifyCodeHandle = request->requestData(observer, param, timeout);
    request->freeParam(&param);
}

bool LoginManager::checkNecessaryInfo() const
{
    const std::optional<QString> mac = systemInfo->macAddress();
    return mac && !mac->isEmpty();
}

std::optional<QString> LoginManager::getInputType(quint32 index)
{
    static const char* const kLetters[] = { "C", "Z", "0", "1", "2", "3", "6", "7" };
    if (index >= std::size(kLetters))
        return std::nullopt;
    return QString::fromLatin1(kLetters[index]);
}

QString LoginManager::tradeLoginNetAddr() const
{
    const QString local = systemInfo->ipAddress().value_or(QString());
    const std::optional<QString> published = systemInfo->publicIPAddress();
    // Only a real address stands in the public slot.
    QHostAddress address;
    const bool valid = published && !published->isEmpty() && address.setAddress(*published);
    return QStringLiteral("M:%1|%2|MAC:%3|SN:%4|DN:%5|ver%6")
        .arg(local, valid ? *published : local, systemInfo->macAddress().value_or(QString()),
            systemInfo->serialNumber().value_or(QString()), systemInfo->diskSerialNumber(),
            systemInfo->appVersion().value_or(QString()));
}

void LoginManager::requestTradeLogin(ITradeLoginDelegate* observer, const QString& account,
    const QString& password, quint32 inputType, const QString& organizationId, const QString& identifyingCode,
    const QString& guardCode)
{
    DataModel* request = tradeLoginDataModel();
    if (!request) {
        refuseMissingClass<ITradeLoginDelegate>(observer, DMTradeLogin::info.identifier);
        return;
    }
    tagRequestParam param;
    request->mallocParam(&param);
    tagTradeLoginParam& p = *param.tradeLogin();
    put(p.utid, _utid);
    put(p.operateWay, QStringLiteral("8"));
    put(p.inputType, getInputType(inputType));
    put(p.inputId, account);
    put(p.orgId, organizationId);
    put(p.password, password);
    put(p.identifyingCode, identifyingCode);
    put(p.guardCode, guardCode);
    put(p.netAddr, tradeLoginNetAddr());
    loginHandle = request->requestData(observer, param, timeout);
    request->freeParam(&param);
}

void LoginManager::cancelTradeLogin()
{
    if (tradeLoginDataModel_ && !loginHandle.isEmpty())
        tradeLoginDataModel_->cancelRequest(loginHandle);
}

void LoginManager::requestIdentifyLogin(IIdentifyLoginDelegate* observer, const QString& account,
    const QString& password, const QString& organizationId)
{
    DataModel* request = identifyLoginDataModel();
    if (!request) {
        refuseMissingClass<IIdentifyLoginDelegate>(observer, DMIdentifyLogin::info.identifier);
        return;
    }
    tagRequestParam param;
    request->mallocParam(&param);
    tagIdentifyLoginParam& p = *param.identifyLogin();
    put(p.softName, systemInfo->softwareName());
    put(p.operateWay, QStringLiteral("8"));
    put(p.inputId, account);
    put(p.orgId, organizationId);
    put(p.password, password);
    identifyLoginHandle = request->requestData(observer, param, timeout);
    request->freeParam(&param);
}

void LoginManager::cancelIdentifyLogin()
{
    if (dmIdentifyLogin && !identifyLoginHandle.isEmpty())
        dmIdentifyLogin->cancelRequest(identifyLoginHandle);
}

QString LoginManager::requestRiskEvaluationStatus(IQueryRiskAssessmentStatusDelegate* observer)
{
    DataModel* request = queryRiskEvaluationStatusDataModel();
    if (!request) {
        refuseMissingClass<IQueryRiskAssessmentStatusDelegate>(
            observer, DMQueryRiskEvaluationStatus::info.identifier);
        return QString();
    }
    const AccountManager::AccountPtr active = accountManager->getActiveLoginAccount();
    tagRequestParam param;
    request->mallocParam(&param);
    put(param.riskAssessmentStatus()->commonUrl, active ? active->commonUrlString : QString());
    const QString handle = request->requestData(observer, param, timeout);
    request->freeParam(&param);
    return handle;
}

void LoginManager::cancelRiskEvaluationStatus(const QString& handle)
{
    if (dmQueryRiskEvaluationStatus && !handle.isEmpty())
        dmQueryRiskEvaluationStatus->cancelRequest(handle);
}

QString LoginManager::requestSystemMessage(IQuerySystemMessageDelegate* observer)
{
    DataModel* request = querySystemMessageDataModel();
    if (!request) {
        refuseMissingClass<IQuerySystemMessageDelegate>(observer, DMQuerySystemMessage::info.identifier);
        return QString();
    }
    tagRequestParam param;
    request->mallocParam(&param);
    put(param.querySystemMessage()->softVersion, systemInfo->appVersion());
    const QString handle = request->requestData(observer, param, timeout);
    request->freeParam(&param);
    return handle;
}

std::optional<QStringList> LoginManager::getAccountArray(qint64 type) const
{
    return accountManager->getAccountArray(type);
}
