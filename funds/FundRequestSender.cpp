#include "funds/FundRequestSender.h"

#include "core/DataModelManager.h"
#include "login/AccountManager.h"

FundRequestSender::FundRequestSender(DataModelManager* dataModelManager, AccountManager* accountManager)
    : dataModelManager(dataModelManager ? dataModelManager : DataModelManager::getInstance())
    , accountManager(accountManager ? accountManager : AccountManager::getInstance())
{
}

void FundRequestSender::put(std::string& field, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    field.assign(bytes.constData(), size_t(bytes.size()));
}

QString FundRequestSender::activePrefix() const
{
    const AccountManager::AccountPtr active = accountManager->getActiveLoginAccount();
    return active ? active->commonUrlString : QString();
}

DataModel* FundRequestSender::dataModel(std::unique_ptr<DataModel>& slot, const char* identifier)
{
    if (!slot)
        slot = dataModelManager->getDataModel(QString::fromLatin1(identifier));
    return slot.get();
}
