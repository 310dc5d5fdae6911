#include "trading/requests/TradeRequestSender.h"

DataModel* TradeRequestSender::dataModel(const char* identifier)
{
    const QString key = QString::fromLatin1(identifier);
    std::unique_ptr<DataModel>& slot = dataModels_[key];
    if (!slot)
        slot = (dataModelManager_ ? dataModelManager_ : DataModelManager::getInstance())->getDataModel(key);
    return slot.get();
}

AccountManager::AccountPtr TradeRequestSender::activeAccount() const
{
    return (accountManager_ ? accountManager_ : AccountManager::getInstance())->getActiveLoginAccount();
}

std::optional<QString> TradeRequestSender::commonUrl() const
{
    const AccountManager::AccountPtr account = activeAccount();
    if (!account || account->commonUrlString.isEmpty())
        return std::nullopt;
    return account->commonUrlString;
}
