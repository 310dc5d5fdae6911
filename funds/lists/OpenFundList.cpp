#include "funds/lists/OpenFundList.h"

#include "core/DMCDataCache.h"
#include "core/DataModelManager.h"
#include "funds/FundTradeOperations.h"
#include "login/AccountManager.h"
#include "login/RequestSender.h"

namespace {

const QString kHoldingsTitle = QStringLiteral("基金份额列表");
const QString kListChannel = QStringLiteral("list");

} // namespace

OpenFundList::OpenFundList(Services services)
    : OpenFundList(Kind::None, QString(), 0, std::nullopt, services)
{
}

OpenFundList::OpenFundList(
    Kind kind, QString title, int32_t tableId, std::optional<QString> listType, Services services)
    : kind_(kind)
    , listTitle_(std::move(title))
    , tableId_(tableId)
    , listType_(std::move(listType))
    , dataModelManager(services.dataModelManager ? services.dataModelManager : DataModelManager::getInstance())
    , dataCache(services.dataCache ? services.dataCache : DMCDataCache::getInstance())
    , accountManager(services.accountManager ? services.accountManager : AccountManager::getInstance())
    , queryInfoManager(services.queryInfoManager ? services.queryInfoManager : QueryInfoManagerFunds::getInstance())
{
    if (kind_ == Kind::FundList)
        dmFundList = dataModelManager->getDataModel(QString::fromLatin1(DMQueryOpdFundList::info.identifier));
}

OpenFundList::~OpenFundList() = default;

void OpenFundList::requestContent(IRequestContentDelegate* observer)
{
    theObserver_ = observer;
    asked_.forgetAll();
    if (kind_ == Kind::Positions) {
        asked_.ask(kListChannel, queryInfoManager->requestOpdFundPositionList(this));
        return;
    }
    if (kind_ != Kind::FundList || !dmFundList || !listType_)
        return;
    tagRequestParam param;
    dmFundList->mallocParam(&param);
    tagQueryOpdFundListParam* record = param.queryOpdFundList();
    const AccountManager::AccountPtr active = accountManager->getActiveLoginAccount();
    RequestSender::put(record->commonUrl, active ? active->commonUrlString : QString());
    RequestSender::put(record->listType, *listType_);
    if (OpdFundTablePtr table = DMQueryOpdFundList::cachedList(
            dataCache->getDataCache(DMQueryOpdFundList::getDataCacheType(*listType_)))) {
        dmFundList->freeParam(&param);
        if (IRequestContentDelegate* shown = theObserver_.get())
            shown->requestContentComplete(table);
        return;
    }
    asked_.ask(kListChannel, dmFundList->requestData(this, param, RequestSender::kTimeout));
    dmFundList->freeParam(&param);
}

void OpenFundList::deliver(const QString& handle, const OpdFundTablePtr& table)
{
    if (!asked_.take(kListChannel, handle))
        return;
    if (IRequestContentDelegate* observer = theObserver_.get())
        observer->requestContentComplete(table);
}

void OpenFundList::deliverError(const QString& handle, const CSError& error)
{
    if (!asked_.take(kListChannel, handle))
        return;
    if (IRequestContentDelegate* observer = theObserver_.get())
        observer->requestContentError(error);
}

void OpenFundList::queryOpdFundList(DataModel*, const QString& handle, const OpdFundTablePtr& table)
{
    if (listType_) {
        if (const int32_t key = DMQueryOpdFundList::getDataCacheType(*listType_))
            dataCache->setDataCache(key, QVariant::fromValue(table));
    }
    deliver(handle, table);
}

bool OpenFundList::queryOpdFundList(DataModel*, const QString& handle, const CSError& error)
{
    deliverError(handle, error);
    return true;
}

void OpenFundList::queryOpdFundPoistionList(DataModel*, const QString& handle, const OpdFundTablePtr& table)
{
    deliver(handle, table);
}

bool OpenFundList::queryOpdFundPoistionList(DataModel*, const QString& handle, const CSError& error)
{
    deliverError(handle, error);
    return true;
}

SubscribeOpenFundList::SubscribeOpenFundList(Services services)
    : OpenFundList(Kind::FundList, QStringLiteral("认购基金列表"), 4, QStringLiteral("1"), services)
{
}

PurchaseOpenFundList::PurchaseOpenFundList(Services services)
    : OpenFundList(Kind::FundList, QStringLiteral("申购基金列表"), 5, QStringLiteral("2"), services)
{
}

InvestOntimeOpenFundList::InvestOntimeOpenFundList(Services services)
    : OpenFundList(Kind::FundList, QStringLiteral("定投基金列表"), 9, QStringLiteral("0"), services)
{
}

RedeemOpenFundList::RedeemOpenFundList(Services services)
    : OpenFundList(Kind::Positions, kHoldingsTitle, 6, std::nullopt, services)
{
}

TransformOpenFundList::TransformOpenFundList(Services services)
    : OpenFundList(Kind::Positions, kHoldingsTitle, 7, std::nullopt, services)
{
}

BonusSettingOpenFundList::BonusSettingOpenFundList(Services services)
    : OpenFundList(Kind::Positions, kHoldingsTitle, 8, std::nullopt, services)
{
}
