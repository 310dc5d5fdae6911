#include "login/RequestSender.h"

#include "login/AccountManager.h"

DataModel* RequestSender::dataModel(const char* identifier)
{
    return dataModel(dataModels_[QString::fromLatin1(identifier)], identifier);
}

DataModel* RequestSender::dataModel(std::unique_ptr<DataModel>& slot, const char* identifier)
{
    if (!slot)
        slot = (dataModelManager_ ? dataModelManager_ : DataModelManager::getInstance())
                   ->getDataModel(QString::fromLatin1(identifier));
    return slot.get();
}

std::shared_ptr<Account> RequestSender::activeAccount() const
{
    return (accountManager_ ? accountManager_ : AccountManager::getInstance())->getActiveLoginAccount();
}

std::optional<QString> RequestSender::commonUrl() const
{
    const AccountManager::AccountPtr account = activeAccount();
    if (!account || account->commonUrlString.isEmpty())
        return std::nullopt;
    return account->commonUrlString;
}

void RequestSender::put(std::string& field, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    field.assign(bytes.constData(), size_t(bytes.size()));
}
