#include "transfer/FundTransferManager.h"

#include "core/DataModelManager.h"
#include "login/AccountManager.h"
#include "transfer/TransferDataModels.h"

#include <QCoreApplication>

namespace {

std::unique_ptr<FundTransferManager>& instance()
{
    static std::unique_ptr<FundTransferManager> shared;
    return shared;
}

// The text as it is: the request refuses a text that does not fit its field
// rather than sending it cut.
void put(std::string& field, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    field.assign(bytes.constData(), size_t(bytes.size()));
}

// Tells the observer, on a later pass of the loop, why nothing was sent.
template <class Protocol> void refuse(Protocol* observer, const QString& message)
{
    if (!observer || !QCoreApplication::instance())
        return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [ref = DataModelObserverRef(observer), message] {
            if (auto* target = dynamic_cast<Protocol*>(ref.get()))
                Protocol::error(*target, nullptr, QString(), CSError { message, DataModel::kRefusedRequestCode });
        },
        Qt::QueuedConnection);
}

constexpr qsizetype kFieldChars = 255;

} // namespace

std::optional<QString> transferinput::checkText(const QString& text, const QString& name)
{
    if (text.size() > kFieldChars)
        return QStringLiteral("%1过长。").arg(name);
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E || c == QLatin1Char('&') || c == QLatin1Char('='))
            return QStringLiteral("%1只能包含字母、数字和英文符号（“&”和“=”除外）。").arg(name);
    }
    return std::nullopt;
}

std::optional<QString> transferinput::checkPassword(const QString& password, const QString& name, bool required)
{
    if (password.isEmpty())
        return required ? std::optional(QStringLiteral("请输入%1。").arg(name)) : std::nullopt;
    return checkText(password, name);
}

FundTransferManager* FundTransferManager::getInstance()
{
    if (!instance())
        instance() = std::make_unique<FundTransferManager>();
    return instance().get();
}

void FundTransferManager::resetInstance()
{
    instance().reset();
}

FundTransferManager::FundTransferManager(DataModelManager* dataModelManager, AccountManager* accountManager)
    : dataModelManager(dataModelManager ? dataModelManager : DataModelManager::getInstance())
    , accountManager(accountManager ? accountManager : AccountManager::getInstance())
{
}

FundTransferManager::~FundTransferManager() = default;

DataModel* FundTransferManager::dataModel(std::unique_ptr<DataModel>& slot, const char* identifier)
{
    if (!slot)
        slot = dataModelManager->getDataModel(QString::fromLatin1(identifier));
    return slot.get();
}

std::optional<QString> FundTransferManager::activePrefix(const QString& fundId, QString* why) const
{
    const AccountManager::AccountPtr active = accountManager->getActiveLoginAccount();
    if (!active || active->commonUrlString.isEmpty()) {
        *why = QStringLiteral("尚未登录交易账户。");
        return std::nullopt;
    }
    std::optional<QString> prefix = prefixWithFundId(active->commonUrlString, fundId);
    if (!prefix)
        *why = QStringLiteral("无法指定资金账号，请重新登录后再试。");
    return prefix;
}

QString FundTransferManager::send(DataModel* request, DataModelObserver* observer, tagRequestParam& param)
{
    const QString handle = request->requestData(observer, param, timeout);
    request->freeParam(&param);
    return handle;
}

QString FundTransferManager::requestQueryFundTransferInfo(IQueryFundTransferInfoDelegate* observer)
{
    DataModel* request = dataModel(transferInfo_, DMQueryFundTransferInfo::info.identifier);
    QString why;
    const std::optional<QString> prefix = activePrefix(QString(), &why);
    if (!request || !prefix) {
        request ? refuse(observer, why) : refuseMissingClass(observer, DMQueryFundTransferInfo::info.identifier);
        return QString();
    }
    tagRequestParam param;
    request->mallocParam(&param);
    put(param.queryFundTransferInfo()->commonUrl, *prefix);
    return send(request, observer, param);
}

QString FundTransferManager::requestFundTransfer(IFundTransferDelegate* observer, qint32 moneyType,
    const QString& fundId, const QString& bankCode, const QString& amount, qint32 tranferType,
    const QString& fundPassword, const QString& bankPassword)
{
    DataModel* request = dataModel(transfer_, DMFundTransfer::info.identifier);
    QString why;
    // The prefix is checked here so that the observer hears a plain reason;
    // the record keeps the prefix as it is and the body names the account.
    if (!request || !activePrefix(fundId, &why)) {
        request ? refuse(observer, why) : refuseMissingClass(observer, DMFundTransfer::info.identifier);
        return QString();
    }
    tagRequestParam param;
    request->mallocParam(&param);
    tagFundTransferParam* record = param.fundTransfer();
    put(record->commonUrl, accountManager->getActiveLoginAccount()->commonUrlString);
    put(record->moneyType, QString::number(moneyType));
    put(record->fundId, fundId);
    put(record->bankCode, bankCode);
    put(record->transferAmount, amount);
    put(record->transferType, QString::number(tranferType));
    put(record->fundPassword, fundPassword);
    put(record->bankPassword, bankPassword);
    return send(request, observer, param);
}

QString FundTransferManager::requestFundInsideTransfer(IFundInsideTransferDelegate* observer,
    const QString& outFundId, const QString& inFundId, qint32 moneyType, const QString& amount,
    const QString& fundPassword)
{
    DataModel* request = dataModel(insideTransfer_, DMFundInsideTransfer::info.identifier);
    QString why;
    const std::optional<QString> prefix = activePrefix(QString(), &why);
    if (!request || !prefix) {
        request ? refuse(observer, why) : refuseMissingClass(observer, DMFundInsideTransfer::info.identifier);
        return QString();
    }
    tagRequestParam param;
    request->mallocParam(&param);
    tagFundInsideTransferParam* record = param.fundInsideTransfer();
    put(record->commonUrl, *prefix);
    put(record->moneyType, QString::number(moneyType));
    put(record->outFundId, outFundId);
    put(record->inFundId, inFundId);
    put(record->transferAmount, amount);
    put(record->fundPassword, fundPassword);
    return send(request, observer, param);
}

QString FundTransferManager::requestFundCollection(IFundCollectionDelegate* observer, qint32 moneyType)
{
    DataModel* request = dataModel(collection_, DMFundCollection::info.identifier);
    QString why;
    const std::optional<QString> prefix = activePrefix(QString(), &why);
    if (!request || !prefix) {
        request ? refuse(observer, why) : refuseMissingClass(observer, DMFundCollection::info.identifier);
        return QString();
    }
    tagRequestParam param;
    request->mallocParam(&param);
    put(param.fundCollection()->commonUrl, *prefix);
    put(param.fundCollection()->moneyType, QString::number(moneyType));
    return send(request, observer, param);
}

QString FundTransferManager::requestBankBalance(IQueryBankBalanceDelegate* observer, qint32 moneyType,
    const QString& fundId, const QString& bankCode, const QString& fundPassword, const QString& bankPassword)
{
    DataModel* request = dataModel(bankBalance_, DMQueryBankBalance::info.identifier);
    QString why;
    if (!request || !activePrefix(fundId, &why)) {
        request ? refuse(observer, why) : refuseMissingClass(observer, DMQueryBankBalance::info.identifier);
        return QString();
    }
    tagRequestParam param;
    request->mallocParam(&param);
    tagQueryBankBalanceParam* record = param.queryBankBalance();
    put(record->commonUrl, accountManager->getActiveLoginAccount()->commonUrlString);
    put(record->moneyType, QString::number(moneyType));
    put(record->fundId, fundId);
    put(record->bankCode, bankCode);
    put(record->fundPassword, fundPassword);
    put(record->bankPassword, bankPassword);
    return send(request, observer, param);
}

QString FundTransferManager::requestBSTransferInfo(IQueryBSTransferDelegate* observer, const QString& link)
{
    DataModel* request = dataModel(history_, DMQueryBSTransfer::info.identifier);
    QString why;
    const std::optional<QString> prefix = activePrefix(QString(), &why);
    if (!request || !prefix) {
        request ? refuse(observer, why) : refuseMissingClass(observer, DMQueryBSTransfer::info.identifier);
        return QString();
    }
    tagRequestParam param;
    request->mallocParam(&param);
    put(param.queryBSTransfer()->commonUrl, *prefix);
    auto* history = dynamic_cast<DMQueryBSTransfer*>(request);
    if (!history)
        return send(request, observer, param);
    const QString handle = history->requestForLink(observer, param, timeout, link);
    request->freeParam(&param);
    return handle;
}
