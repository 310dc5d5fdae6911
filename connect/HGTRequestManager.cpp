#include "connect/HGTRequestManager.h"

#include "trading/DMOrderType.h"

#include <QRegularExpression>

using requestparam::setParam;

namespace {

QString answer(const QString& handle, const QString& why, QString* problem)
{
    if (problem)
        *problem = why;
    return why.isEmpty() ? handle : QString();
}

const QString& market()
{
    static const QString text = QString::fromLatin1(HGTRequestManager::kMarketCode);
    return text;
}

} // namespace

HGTRequestManager::HGTRequestManager(DataModelManager* dataModelManager, AccountManager* accountManager)
    : sender_(dataModelManager, accountManager)
{
}

bool HGTRequestManager::isStockCode(const QString& stockCode)
{
    static const QRegularExpression code(QStringLiteral("^[0-9]{5}$"));
    return code.match(stockCode).hasMatch();
}

QString HGTRequestManager::checkOrderInput(
    const QString& stockCode, const QString& price, const QString& quantity)
{
    static const QRegularExpression priceForm(QStringLiteral("^[0-9]{1,9}(\\.[0-9]{0,3})?$"));
    static const QRegularExpression quantityForm(QStringLiteral("^[0-9]{1,12}$"));
    if (!isStockCode(stockCode))
        return QStringLiteral("证券代码应为5位数字。");
    if (!priceForm.match(price).hasMatch() || price.toDouble() <= 0)
        return QStringLiteral("委托价格应为正数，最多3位小数。");
    if (!quantityForm.match(quantity).hasMatch() || quantity.toLongLong() <= 0)
        return QStringLiteral("委托数量应为正整数。");
    return {};
}

QString HGTRequestManager::requestHGTPosition(IPositionInfoDelegate* observer, QString* problem)
{
    QString handle;
    const QString why = sender_.send<tagPositionInfoParam>(
        DMPositionInfo::info.identifier, observer,
        [&](tagPositionInfoParam& p, QString* m) {
            p.queryFlag = 0;
            return setParam(p, &tagPositionInfoParam::market, market(), m);
        },
        &handle);
    return answer(handle, why, problem);
}

void HGTRequestManager::watchOrderOutcome()
{
    auto* model = dynamic_cast<DMHGTMakeOrder*>(sender_.dataModel(DMHGTMakeOrder::info.identifier));
    if (!model || model->outcomeUnknown)
        return;
    // An order whose answer never came is not sent again: the pages that
    // show positions read them again, so they show what the server did.
    model->outcomeUnknown = [this](const DataModel::ObserverList& told) {
        for (const DataModelObserverRef& entry : told) {
            if (auto* positions = dynamic_cast<IPositionInfoDelegate*>(entry.get()))
                requestHGTPosition(positions);
        }
    };
}

QString HGTRequestManager::requestTrade(IHGTMakeOrder* observer, qint32 orderType, const QString& securityId,
    const QString& stockCode, const QString& price, const QString& quantity, QString* problem)
{
    watchOrderOutcome();
    // The typed text goes to the server only in a form it can take.
    if (const QString bad = checkOrderInput(stockCode, price, quantity); !bad.isEmpty())
        return answer({}, bad, problem);
    QString handle;
    const QString why = sender_.send<tagHGTMakeOrder>(
        DMHGTMakeOrder::info.identifier, observer,
        [&](tagHGTMakeOrder& p, QString* m) {
            p.orderType = orderType;
            return setParam(p, &tagHGTMakeOrder::quantity, quantity, m)
                && setParam(p, &tagHGTMakeOrder::marketCode, market(), m)
                && setParam(p, &tagHGTMakeOrder::stockCode, stockCode, m)
                && setParam(p, &tagHGTMakeOrder::price, price, m)
                && setParam(p, &tagHGTMakeOrder::securityId, securityId, m);
        },
        &handle);
    return answer(handle, why, problem);
}

QString HGTRequestManager::requestHGTTradeBuy(IHGTMakeOrder* observer, const QString& securityId,
    const QString& stockCode, const QString& price, const QString& quantity, const QString& orderTypeTitle,
    const QString& classId, QString* problem)
{
    return requestTrade(observer, DMOrderType::getOderTypeFlagOfBuy(market(), classId, orderTypeTitle),
        securityId, stockCode, price, quantity, problem);
}

QString HGTRequestManager::requestHGTTradeSale(IHGTMakeOrder* observer, const QString& securityId,
    const QString& stockCode, const QString& price, const QString& quantity, const QString& orderTypeTitle,
    const QString& classId, QString* problem)
{
    return requestTrade(observer, DMOrderType::getOderTypeFlagOfSale(market(), classId, orderTypeTitle),
        securityId, stockCode, price, quantity, problem);
}

template <class Param>
QString HGTRequestManager::requestQuote(
    const char* identifier, DataModelObserver* observer, const QString& stockCode, QString* problem)
{
    if (!isStockCode(stockCode))
        return answer({}, QStringLiteral("证券代码应为5位数字。"), problem);
    DataModel* model = sender_.dataModel(identifier);
    if (!model)
        return answer({}, QStringLiteral("请求类未登记"), problem);
    if (!observer)
        return answer({}, QStringLiteral("请求没有接收者"), problem);
    tagRequestParam param;
    model->mallocParam(&param);
    QString why;
    QString handle;
    if (setParam(*param.get<Param>(), &Param::code, stockCode + QStringLiteral(".6"), &why))
        handle = model->requestData(observer, param, RequestSender::kTradeTimeout);
    model->freeParam(&param);
    if (why.isEmpty() && handle.isEmpty())
        why = QStringLiteral("请求未被接受");
    return answer(handle, why, problem);
}

QString HGTRequestManager::requestHGTQueryPrice5(
    IQuoteOf5LevelDelegate* observer, const QString& stockCode, QString* problem)
{
    return requestQuote<tagQuote5LevelParam>(DMQuote5LevelEx::info.identifier, observer, stockCode, problem);
}

QString HGTRequestManager::requestHGTTimesharing(
    IStockTimesharingInfoDelegate* observer, const QString& stockCode, QString* problem)
{
    return requestQuote<tagQuotaInfoParam>(
        DMStockTimesharingInfo::info.identifier, observer, stockCode, problem);
}

QString HGTRequestManager::requestHGTQueryExchangeRate(IHGTQueryExchangeRate* observer, QString* problem)
{
    QString handle;
    const QString why = sender_.send<tagHGTQueryExchangeRate>(
        DMHGTQueryExchangeRate::info.identifier, observer,
        [](tagHGTQueryExchangeRate&, QString*) { return true; }, &handle);
    return answer(handle, why, problem);
}

QString HGTRequestManager::requestHGTQueryCombInfo(IHGTQueryCombInfo* observer, const QString& stockCode,
    const QString& securityId, bool isSale, const QString& price, const QString& orderTypeTitle,
    const QString& classId, QString* problem)
{
    qint32 orderType = 0;
    if (isSale) {
        const QString title = orderTypeTitle.isEmpty() ? DMOrderType::oddLotSellTitle() : orderTypeTitle;
        orderType = DMOrderType::getOderTypeFlagOfSale(market(), classId, title);
    } else {
        orderType = DMOrderType::getOderTypeFlagOfBuy(market(), classId, orderTypeTitle);
    }
    QString handle;
    const QString why = sender_.send<tagHGTQueryCombInfo>(
        DMHGTQueryCombInfo::info.identifier, observer,
        [&](tagHGTQueryCombInfo& p, QString* m) {
            p.bsFlag = isSale ? 1 : 0;
            p.orderType = orderType;
            return setParam(p, &tagHGTQueryCombInfo::stockCode, stockCode, m)
                && setParam(p, &tagHGTQueryCombInfo::securityId, securityId, m)
                && setParam(p, &tagHGTQueryCombInfo::price, price, m);
        },
        &handle);
    return answer(handle, why, problem);
}

QString HGTRequestManager::requestHGTQueryQuantityOfUnit(
    IHGTQueryQuantityOfUnit* observer, const QString& stockCode, QString* problem)
{
    QString handle;
    const QString why = sender_.send<tagHGTQueryQuantityOfUnit>(
        DMHGTQueryQuantityOfUnit::info.identifier, observer,
        [&](tagHGTQueryQuantityOfUnit& p, QString* m) {
            return setParam(p, &tagHGTQueryQuantityOfUnit::stockCode, stockCode, m);
        },
        &handle);
    return answer(handle, why, problem);
}
