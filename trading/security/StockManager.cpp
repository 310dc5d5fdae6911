#include "trading/security/StockManager.h"

#include "comm/recordset/ServerNumber.h"
#include "core/DataModelManager.h"
#include "core/TypedNumber.h"
#include "core/UserDefaultConfig.h"
#include "login/AccountManager.h"
#include "login/CommonUrl.h"

namespace {

std::unique_ptr<StockManager>& instance()
{
    static std::unique_ptr<StockManager> shared;
    return shared;
}

} // namespace

StockManager* StockManager::getInstance()
{
    if (!instance()) {
        instance() = std::make_unique<StockManager>();
        installSecurityHooks(UserDefaultConfig::getInstance());
    }
    return instance().get();
}

void StockManager::resetInstance()
{
    instance().reset();
}

StockManager::StockManager(DataModelManager* dataModelManager, AccountManager* accountManager)
    : sender_(dataModelManager, accountManager)
{
}

StockManager::~StockManager() = default;

void StockManager::installSecurityHooks(UserDefaultConfig* config)
{
    if (config)
        config->setSecurityHooks({ &Security::setDefaultPriceForBuy, &Security::setDefaultPriceForSell });
}

DataModel* StockManager::dataModel(const char* identifier)
{
    return sender_.dataModel(identifier);
}

std::optional<QString> StockManager::commonUrl() const
{
    return sender_.commonUrl();
}

template <class Param, class Fill>
QString StockManager::send(
    const char* identifier, DataModelObserver* observer, qint32 timeout, Fill&& fill, QString* handle)
{
    return sender_.sendWithoutAccount<Param>(identifier, observer, timeout, fill, handle);
}

namespace {

using requestparam::setParam;

} // namespace

QString StockManager::requestQuota(
    IStockTimesharingInfoDelegate* observer, const QString& queryCode, QString* handle)
{
    return send<tagQuotaInfoParam>(
        DMStockTimesharingInfo::info.identifier, observer, kQuoteTimeout,
        [&](tagQuotaInfoParam& p, QString* m) { return setParam(p, &tagQuotaInfoParam::code, queryCode, m); },
        handle);
}

QString StockManager::requestQuotesOf5Level(IQuoteOf5LevelDelegate* observer, const QString& code)
{
    return send<tagQuote5LevelParam>(DMQuote5Level::info.identifier, observer, kQuoteTimeout,
        [&](tagQuote5LevelParam& p, QString* m) { return setParam(p, &tagQuote5LevelParam::code, code, m); });
}

QString StockManager::requestQuotesOf5LevelEx(IQuoteOf5LevelDelegate* observer, const QString& code)
{
    QString handle;
    send<tagQuote5LevelParam>(
        DMQuote5LevelEx::info.identifier, observer, kQuoteTimeout,
        [&](tagQuote5LevelParam& p, QString* m) { return setParam(p, &tagQuote5LevelParam::code, code, m); },
        &handle);
    return handle;
}

QString StockManager::requestNewStockMarketCode(INewStockInfoDelegate* observer, const QString& code)
{
    const std::optional<QString> prefix = commonUrl();
    if (!prefix)
        return QStringLiteral("没有已登录的账户");
    return send<tagQueryNewStockParam>(DMQueryNewStockInfo::info.identifier, observer, kTradeTimeout,
        [&](tagQueryNewStockParam& p, QString* m) {
            return setParam(p, &tagQueryNewStockParam::commonUrl, *prefix, m)
                && setParam(p, &tagQueryNewStockParam::stockCode, code, m);
        });
}

QString StockManager::requestQueryWarrantInfo(IQueryWarrantInfoDelegate* observer, const QString& warrantCode,
    const std::optional<QString>& marketCode, QString* handle)
{
    const std::optional<QString> prefix = commonUrl();
    if (!prefix)
        return QStringLiteral("没有已登录的账户");
    return send<tagQueryWarrantInfoParam>(
        DMQueryWarrantInfo::info.identifier, observer, kTradeTimeout,
        [&](tagQueryWarrantInfoParam& p, QString* m) {
            return setParam(p, &tagQueryWarrantInfoParam::commonUrl, *prefix, m)
                && setParam(p, &tagQueryWarrantInfoParam::warrantCode, warrantCode, m)
                && setParam(p, &tagQueryWarrantInfoParam::marketCode, marketCode.value_or(QString()), m);
        },
        handle);
}

QString StockManager::requestQueryStockIndexInfo(IQueryStockIndexInfoDelegate* observer, const QString& link)
{
    return DMQueryStockIndexInfo::send(sender_, observer, link, kQuoteTimeout);
}

QString StockManager::requestQuerySTStockList(IQuerySTStockListDelegate* observer)
{
    const std::optional<QString> prefix = commonUrl();
    if (!prefix)
        return QStringLiteral("没有已登录的账户");
    return send<tagQuerySTStockListParam>(DMQuerySTStockList::info.identifier, observer, kTradeTimeout,
        [&](tagQuerySTStockListParam& p, QString* m) {
            return setParam(p, &tagQuerySTStockListParam::commonUrl, *prefix, m);
        });
}

QString StockManager::requestResetStockCost(IResetCostDelegate* observer, const CostPricePosition& position,
    const QString& costPrice, QString* handle)
{
    // The price goes as typed once it cannot rewrite the body: its value is
    // the server's to judge.
    if (!commonurl::isSafeValue(costPrice))
        return typednumber::refusal(QStringLiteral("成本价"));
    const std::optional<QString> prefix = commonUrl();
    if (!prefix)
        return QStringLiteral("没有已登录的账户");
    return send<tagResetCostParam>(
        DMResetStockCostPrice::info.identifier, observer, kTradeTimeout,
        [&](tagResetCostParam& p, QString* m) {
            return setParam(p, &tagResetCostParam::commonUrl, *prefix, m)
                && setParam(p, &tagResetCostParam::stockCode, position.stockCode, m)
                && setParam(p, &tagResetCostParam::marketCode, position.marketCode, m)
                && setParam(p, &tagResetCostParam::secuid, position.securityId, m)
                && setParam(p, &tagResetCostParam::costPrice, costPrice, m);
        },
        handle);
}

std::unique_ptr<Security> StockManager::makeSecurity(qint32 classId)
{
    if (classId == 1004 || classId == 106)
        return std::make_unique<ReverseRepo>();
    if ((classId & ~3) == 104)
        return std::make_unique<Bond>();
    switch (classId) {
    case -1:
        return std::make_unique<IPOStock>();
    case 5:
        return std::make_unique<Warrant>();
    case 108:
        return std::make_unique<HStock>();
    default:
        return std::make_unique<Stock>();
    }
}

StockManager::SecurityPtr StockManager::createSecurity(qint32 classId, const QString& code)
{
    // A record without a code is not filed: it would stand for every such record.
    if (code.isEmpty())
        return makeSecurity(classId);
    SecurityPtr& slot = securityDict[code];
    if (!slot)
        slot = makeSecurity(classId);
    return slot;
}

StockManager::SecurityPtr StockManager::getSecurity(const QString& code) const
{
    const auto found = securityDict.find(code);
    return found == securityDict.end() ? nullptr : found->second;
}

void StockManager::clearSecurityObjects()
{
    securityDict.clear();
}

StockManager::SecurityPtr StockManager::updateQuotes(const RDOStock& record)
{
    SecurityPtr security = createSecurity(record.classId, record.code);
    security->setTimesharingInfo(record);
    return security;
}

void StockManager::updateQuotesOf5Level(const RDOQuotesOf5Level& record)
{
    updateQuotesOf5LevelEx(record);
}

StockManager::SecurityPtr StockManager::updateQuotesOf5LevelEx(const RDOQuotesOf5Level& record)
{
    // The class by its value ("108.000" is 108); none, or one past 32 bits, is 0.
    const qint64 classId = servernumber::wholeValueOf(record.classId).value_or(0);
    SecurityPtr security
        = createSecurity(classId == qint32(classId) ? qint32(classId) : 0, record.identifycode);
    security->setQuotesOf5Level(record);
    return security;
}

void StockManager::updateNewStock(const RDONewStock& record)
{
    createSecurity(-1, record.stockCode)->setNewStockInfo(record);
}
