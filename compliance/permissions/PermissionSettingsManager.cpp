#include "compliance/permissions/PermissionSettingsManager.h"

#include "compliance/permissions/PermissionDataModels.h"
#include "core/DataModelManager.h"
#include "login/AccountManager.h"

namespace {

std::unique_ptr<PermissionSettingsManager>& instance()
{
    static std::unique_ptr<PermissionSettingsManager> shared;
    return shared;
}

// The text as it is: the request refuses what does not fit its field or is
// not ASCII rather than sending it cut or re-encoded.
void put(std::string& field, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    field.assign(bytes.constData(), size_t(bytes.size()));
}

} // namespace

PermissionSettingsManager* PermissionSettingsManager::getInstance()
{
    if (!instance())
        instance() = std::make_unique<PermissionSettingsManager>();
    return instance().get();
}

void PermissionSettingsManager::resetInstance()
{
    instance().reset();
}

PermissionSettingsManager::PermissionSettingsManager(
    DataModelManager* dataModelManager, AccountManager* accountManager)
    : dataModelManager(dataModelManager)
    , accountManager(accountManager)
{
    // The shared services are fetched on first use: the notice windows take
    // this manager as their signer long before anything is signed.
}

PermissionSettingsManager::~PermissionSettingsManager() = default;

QString PermissionSettingsManager::activePrefix() const
{
    AccountManager* accounts = accountManager ? accountManager : AccountManager::getInstance();
    const AccountManager::AccountPtr active = accounts->getActiveLoginAccount();
    return active ? active->commonUrlString : QString();
}

template <class Param>
QString PermissionSettingsManager::send(std::unique_ptr<DataModel>& slot, const char* identifier,
    DataModelObserver* observer, std::string Param::*link, const QString& linkText)
{
    if (!slot)
        slot = (dataModelManager ? dataModelManager : DataModelManager::getInstance())
                   ->getDataModel(QString::fromLatin1(identifier));
    if (!slot)
        return QString();
    tagRequestParam param;
    slot->mallocParam(&param);
    Param* record = param.get<Param>();
    put(record->commonUrl, activePrefix());
    if (link)
        put(record->*link, linkText);
    const QString handle = slot->requestData(observer, param, timeout);
    slot->freeParam(&param);
    return handle;
}

QString PermissionSettingsManager::requestQueryPermissionInfo(IQueryPermissionInfoDelegate* observer)
{
    return send<tagPermissionInfoParam>(
        queryInfo_, DMQueryPermissionInfo::info.identifier, observer, nullptr, QString());
}

QString PermissionSettingsManager::requestQueryPermissionContract(
    IQueryPermissionContractDelegate* observer, const QString& requestUrl)
{
    return send(queryContract_, DMQueryPermissionContract::info.identifier, observer,
        &tagPermissionContractParam::requestUrl, requestUrl);
}

QString PermissionSettingsManager::requestOpenPermissionAccess(
    IOpenPermissionAccessDelegate* observer, const QString& requestUrl)
{
    return send(openAccess_, DMOpenPermissionAccess::info.identifier, observer,
        &tagPermissionAccessParam::requestUrl, requestUrl);
}

QString PermissionSettingsManager::requestPermissionSign(IPermissionSign* observer, const QString& signLink)
{
    return send(sign_, DMPermissionSign::info.identifier, observer, &tagPermissionSignParam::ans, signLink);
}
