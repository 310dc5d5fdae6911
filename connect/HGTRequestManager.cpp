#include "connect/HGTRequestManager.h"

#include "login/Account.h"
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

bool isDate(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^[0-9]{8}$"));
    return form.match(text).hasMatch();
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

QString HGTRequestManager::requestTrade(IHGTMakeOrder* observer, qint32 orderType, const QString& securityId,
    const QString& stockCode, const QString& price, const QString& quantity, QString* problem)
{
    // Code, price and quantity go as typed: the server judges them. The body
    // itself refuses what could rewrite it.
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

QString HGTRequestManager::organizationCode() const
{
    const std::shared_ptr<Account> account = sender_.activeAccount();
    return account && account->organizationCode ? *account->organizationCode : QString();
}

QString HGTRequestManager::requestHGTCancelOrder(
    IHGTCancelOrder* observer, const QString& orderDate, const QString& orderSNo, QString* problem)
{
    if (orderSNo.isEmpty())
        return answer({}, QStringLiteral("委托编号为空，不能撤单"), problem);
    QString handle;
    const QString why = sender_.send<tagHGTCancelOrder>(
        DMHGTCancelOrder::info.identifier, observer,
        [&](tagHGTCancelOrder& p, QString* m) {
            return setParam(p, &tagHGTCancelOrder::orderDate, orderDate, m)
                && setParam(p, &tagHGTCancelOrder::orderSno, orderSNo, m);
        },
        &handle);
    return answer(handle, why, problem);
}

QString HGTRequestManager::requestHGTQueryOrdersOfToday(
    IHGTQueryOrdersOfToday* observer, const QString& queryFlag, quint64 count, QString* problem)
{
    QString handle;
    const QString why = sender_.send<tagHGTOrdersOfToday>(
        DMHGTQueryOrdersOfToday::info.identifier, observer,
        [&](tagHGTOrdersOfToday& p, QString* m) {
            p.count = count;
            return setParam(p, &tagHGTOrdersOfToday::queryFlag, queryFlag, m);
        },
        &handle);
    return answer(handle, why, problem);
}

QString HGTRequestManager::requestHGTVote(IHGTVote* observer, const QString& stockCode, const QString& publicNo,
    const QString& billNo, const QString& upNo, const QString& downNo, const QString& freeNo,
    const QString& securityId, QString* problem)
{
    // The quantities go as typed, empty ones empty.
    const QString org = organizationCode();
    QString handle;
    const QString why = sender_.send<tagHGTVote>(
        DMHGTVote::info.identifier, observer,
        [&](tagHGTVote& p, QString* m) {
            return setParam(p, &tagHGTVote::stockCode, stockCode, m)
                && setParam(p, &tagHGTVote::publicNo, publicNo, m) && setParam(p, &tagHGTVote::billNo, billNo, m)
                && setParam(p, &tagHGTVote::upNo, upNo, m) && setParam(p, &tagHGTVote::downNo, downNo, m)
                && setParam(p, &tagHGTVote::freeNo, freeNo, m)
                && setParam(p, &tagHGTVote::securityId, securityId, m) && setParam(p, &tagHGTVote::orgId, org, m);
        },
        &handle);
    return answer(handle, why, problem);
}

template <class Param>
QString HGTRequestManager::requestDeclaration(const char* identifier, DataModelObserver* observer,
    const QString& stockCode, qint32 voteType, const QString& quantity, const QString& orgNo,
    const QString& securityId, QString* problem)
{
    if (TradeDataModel::getHKVoteTypeString(voteType).isEmpty())
        return answer({}, QStringLiteral("业务类型错误"), problem);
    // The quantity goes as typed (a withdrawal's behind its minus sign).
    const QString org = organizationCode();
    QString handle;
    const QString why = sender_.send<Param>(
        identifier, observer,
        [&](Param& p, QString* m) {
            p.voteType = voteType;
            return setParam(p, &Param::stockCode, stockCode, m) && setParam(p, &Param::quantity, quantity, m)
                && setParam(p, &Param::orgNo, orgNo, m) && setParam(p, &Param::securityId, securityId, m)
                && setParam(p, &Param::orgId, org, m);
        },
        &handle);
    return answer(handle, why, problem);
}

QString HGTRequestManager::requestHGTOtherVote(IHGTOtherVote* observer, const QString& stockCode, qint32 voteType,
    const QString& quantity, const QString& orgNo, const QString& securityId, QString* problem)
{
    return requestDeclaration<tagHGTOtherVote>(
        DMHGTOtherVote::info.identifier, observer, stockCode, voteType, quantity, orgNo, securityId, problem);
}

QString HGTRequestManager::requestHGTCancelOtherVote(IHGTCancelOtherVote* observer, const QString& stockCode,
    qint32 voteType, const QString& quantity, const QString& orgNo, const QString& securityId, QString* problem)
{
    return requestDeclaration<tagHGTCancelOtherVote>(DMHGTCancelOtherVote::info.identifier, observer, stockCode,
        voteType, quantity, orgNo, securityId, problem);
}

QString HGTRequestManager::requestHGTQueryOtherVote(
    IHGTQueryOtherVote* observer, const QString& beginDate, const QString& endDate, QString* problem)
{
    if (!isDate(beginDate) || !isDate(endDate))
        return answer({}, QStringLiteral("日期格式错误"), problem);
    QString handle;
    const QString why = sender_.send<tagHGTQueryOtherVote>(
        DMHGTQueryOtherVote::info.identifier, observer,
        [&](tagHGTQueryOtherVote& p, QString* m) {
            return setParam(p, &tagHGTQueryOtherVote::beginDate, beginDate, m)
                && setParam(p, &tagHGTQueryOtherVote::endDate, endDate, m);
        },
        &handle);
    return answer(handle, why, problem);
}

namespace {

template <class Param>
bool fillCode(Param& p, const QString& stockCode, QString* message)
{
    return setParam(p, &Param::stockCode, stockCode, message);
}

} // namespace

QString HGTRequestManager::requestHGTQueryStockTarget(
    IHGTQueryStockTarget* observer, const QString& stockCode, QString* problem)
{
    QString handle;
    const QString why = sender_.send<tagHGTQueryStockTarget>(DMHGTQueryStockTarget::info.identifier, observer,
        [&](tagHGTQueryStockTarget& p, QString* m) { return fillCode(p, stockCode, m); }, &handle);
    return answer(handle, why, problem);
}

QString HGTRequestManager::requestHGTQueryNotification(
    IHGTQueryNotification* observer, const QString& stockCode, QString* problem)
{
    QString handle;
    const QString why = sender_.send<tagHGTQueryNotification>(DMHGTQueryNotification::info.identifier, observer,
        [&](tagHGTQueryNotification& p, QString* m) { return fillCode(p, stockCode, m); }, &handle);
    return answer(handle, why, problem);
}

QString HGTRequestManager::requestHGTQueryPermissionInfo(IQueryPermissionInfoDelegate* observer, QString* problem)
{
    QString handle;
    const QString why = sender_.send<tagPermissionInfoParam>(DMHGTQueryPermissionInfo::info.identifier, observer,
        [](tagPermissionInfoParam&, QString*) { return true; }, &handle);
    return answer(handle, why, problem);
}
