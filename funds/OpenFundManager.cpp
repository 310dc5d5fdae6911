#include "funds/OpenFundManager.h"

#include "core/NotificationCenter.h"
#include "funds/requests/FundDataModels.h"
#include "funds/requests/FundFields.h"

namespace {

using fundfields::asReceived;
using fundfields::firstOf;
using fundfields::signSerial;

// NotificationCenter types after which another customer may be working.
constexpr int32_t kCustomerNotifications[] = { 0 /* login */, 1 /* logout */, 2 /* active account changed */ };

using fundfields::token;

std::optional<QString> oneOf(const QString& what, qint64 value, std::initializer_list<qint64> allowed)
{
    for (qint64 a : allowed) {
        if (a == value)
            return std::nullopt;
    }
    return QStringLiteral("%1“%2”不正确").arg(what).arg(value);
}

std::optional<QString> lastMessage(const std::unique_ptr<DataModel>& request)
{
    if (!request)
        return std::nullopt;
    return request->getLastErrorMessage();
}

} // namespace

OpenFundManager::OpenFundManager(
    DataModelManager* dataModelManager, AccountManager* accountManager, NotificationCenter* center)
    : sender_(dataModelManager, accountManager)
    , notificationCenter(center ? center : NotificationCenter::getInstance())
{
    for (int32_t type : kCustomerNotifications)
        notificationCenter->addObserver(
            static_cast<const void*>(this), TypedNotificationCenter::PlainHandler([this] { forgetCustomer(); }), type);
}

OpenFundManager::~OpenFundManager()
{
    notificationCenter->removeObserver(static_cast<const void*>(this));
}

void OpenFundManager::forgetCustomer()
{
    // The cached fund lists stay: they are the broker's, not the customer's.
    signNumber_ = QStringLiteral("");
}

QString OpenFundManager::requestQueryOpdFund(IQueryOpdFundDelegate* observer, const QString& fundCode)
{
    return sender_.send<DMQueryOpdFund>(dmQueryOpdFund, observer, [&](tagQueryOpdFundParam& r) {
        RequestSender::put(r.fundCode, fundCode);
        return fundfields::fundCode(fundCode);
    });
}

QString OpenFundManager::requestOpdFundPosition(IQueryOpdFundPositionDelegate* observer, const QString& fundCode)
{
    return sender_.send<DMQueryOpdFundPosition>(dmQueryOpdFundPosition, observer, [&](tagOpdFundPositionParam& r) {
        RequestSender::put(r.fundCode, fundCode);
        return fundfields::fundCode(fundCode);
    });
}

QString OpenFundManager::requestSubmitBonusSetting(
    ISubmitOpdFundBonusSettingDelegate* observer, const QString& fundCode, qint64 bonusType)
{
    return sender_.send<DMSubmitOpdBonusSetting>(
        dmSubmitBonusSetting, observer, [&](tagSubmitOpdFundBonusSettingParam& r) {
            RequestSender::put(r.fundCode, fundCode);
            RequestSender::put(r.bonusType, QString::number(bonusType));
            return firstOf({ fundfields::fundCode(fundCode), oneOf(QStringLiteral("分红方式"), bonusType, { 0, 1 }) });
        });
}

std::optional<QString> OpenFundManager::getSubmitBonusSettingErrorMessage() const
{
    return lastMessage(dmSubmitBonusSetting);
}

QString OpenFundManager::requestQueryBonusSetting(
    IQueryBonusSettingDelegate* observer, const QString& fundCode, const QString& fundCorpCode)
{
    return sender_.send<DMQueryBonusSetting>(dmQueryBonusSetting, observer, [&](tagQueryBonusSettingParam& r) {
        RequestSender::put(r.fundCode, fundCode);
        RequestSender::put(r.fundCorpCode, fundCorpCode);
        return firstOf({ fundfields::fundCode(fundCode), fundfields::companyCode(fundCorpCode) });
    });
}

QString OpenFundManager::requestOpdFundCurrentOrderList(IOpdFundCurrentOrderListDelegate* observer)
{
    return sender_.send<DMQueryOpdFundCurrentOrders>(
        dmOpdFundCurrentOrders, observer, [](tagOpdFundCurrentOrderListParam&) { return std::optional<QString>(); });
}

QString OpenFundManager::requestOpdFundCancelOrder(IOpdFundCancelOrderDelegate* observer, const RDOOpdFundOrder& order)
{
    return sender_.send<DMOpdFundCancelOrder>(dmOpdFundCancelOrder, observer, [&](tagOpdFundCancelOrderParam& r) {
        RequestSender::put(r.orderNumber, order.orderNumber);
        RequestSender::put(r.fundCode, order.fundCode);
        RequestSender::put(r.orderDate, order.orderDate);
        // The order's values go back as the list gave them.
        return firstOf({ asReceived(QStringLiteral("委托编号"), order.orderNumber),
            asReceived(QStringLiteral("基金代码"), order.fundCode), asReceived(QStringLiteral("委托日期"), order.orderDate) });
    });
}

QString OpenFundManager::requestOpdQueryAppropriateness(IOpdQueryAppropriatenessDelegate* observer,
    const QString& fundCode, const QString& fundCorpCode, const QString& tradeType)
{
    return sender_.send<DMOpdQueryAppropriateness>(
        dmQueryAppropriateness, observer, [&](tagOpdQueryAppropriateness& r) {
            RequestSender::put(r.fundCode, fundCode);
            RequestSender::put(r.fundCorpCode, fundCorpCode);
            RequestSender::put(r.tradeType, tradeType);
            return firstOf({ fundfields::fundCode(fundCode), fundfields::companyCode(fundCorpCode),
                token(QStringLiteral("业务类别"), tradeType, 2, true) });
        });
}

QString OpenFundManager::requestOpdQuerySignNumber(
    IOpdQuerySignNumberDelegate* observer, const QString& fundCode, const QString& fundCorpCode)
{
    return sender_.send<DMOpdQuerySignNumber>(dmQuerySignNumber, observer, [&](tagOpdQuerySignNumber& r) {
        RequestSender::put(r.fundCode, fundCode);
        RequestSender::put(r.fundCorpCode, fundCorpCode);
        return firstOf({ fundfields::fundCode(fundCode), fundfields::companyCode(fundCorpCode) });
    });
}

QString OpenFundManager::requestQueryFundHistoricNet(
    IFundHistoricNetDelegate* observer, const QString& dayCount, const QString& fundCode)
{
    return sender_.send<DMQueryFundHistoricNet>(dmQueryFundHistoricNet, observer, [&](tagFundHistoricNetParam& r) {
        RequestSender::put(r.recordCount, dayCount);
        RequestSender::put(r.fundCode, fundCode);
        bool ok = false;
        const int count = dayCount.toInt(&ok);
        return firstOf({ ok && count > 0 && count <= 9999 && !dayCount.startsWith(u'+')
                    ? std::nullopt
                    : std::optional<QString>(QStringLiteral("天数“%1”不正确").arg(dayCount)),
            fundfields::fundCode(fundCode) });
    });
}

QString OpenFundManager::requestOpdFundInvestOntime(IOpdFundInvestOntimeDelegate* observer, const QString& fundCode,
    const QString& orderAmount, qint64 expireType, qint64 periodType, qint64 paymentDay, const QString& beginDate,
    const QString& endDate, const QString& applyDate, const QString& corpCode)
{
    return sender_.send<DMOpdFundInvestOntime>(dmOpdFundInvestOntime, observer, [&](tagOpdFundInvestOntimeParam& r) {
        RequestSender::put(r.fundCode, fundCode);
        RequestSender::put(r.orderAmount, orderAmount);
        RequestSender::put(r.expireType, QString::number(expireType));
        RequestSender::put(r.periodType, QString::number(periodType));
        RequestSender::put(r.paymentDay, QString::number(paymentDay));
        RequestSender::put(r.beginDate, beginDate);
        RequestSender::put(r.endDate, endDate);
        RequestSender::put(r.applyDate, applyDate);
        RequestSender::put(r.seriesNumber, signNumber_);
        RequestSender::put(r.fundCorpCode, corpCode);
        const qint64 lastDay = periodType == 3 ? 5 : 26;
        return firstOf({ fundfields::fundCode(fundCode), fundfields::amount(orderAmount),
            oneOf(QStringLiteral("期满条件"), expireType, { 0 }), oneOf(QStringLiteral("扣款周期"), periodType, { 0, 3 }),
            paymentDay >= 1 && paymentDay <= lastDay
                ? std::nullopt
                : std::optional<QString>(QStringLiteral("扣款日期“%1”不正确").arg(paymentDay)),
            fundfields::date8(beginDate), fundfields::date8(endDate), fundfields::isoDate(applyDate),
            signSerial(signNumber_), fundfields::companyCode(corpCode) });
    });
}

std::optional<QString> OpenFundManager::getOpdFundInvestOntimeErrorMessage() const
{
    return lastMessage(dmOpdFundInvestOntime);
}

QString OpenFundManager::requestOpdFundInvestOntimeOrderList(IQueryInvestOntimeOrderListDelegate* observer)
{
    return sender_.send<DMQueryInvestOntimeOrderList>(
        dmInvestOntimeOrders, observer, [](tagQueryInvestOntimeOrderListParam&) { return std::optional<QString>(); });
}

QString OpenFundManager::requsstInvestOntimeCancelOrder(
    IInvestOntimeCancelOrderDelegate* observer, const RDOInvestOntimeOrder& order)
{
    return sender_.send<DMInvestOntimeCancelOrder>(
        dmInvestOntimeCancelOrder, observer, [&](tagInvestOntimeCancelOrderParam& r) {
            RequestSender::put(r.orderNumber, order.orderNumber);
            RequestSender::put(r.fundCode, order.fundCode);
            RequestSender::put(r.orderDate, order.orderDate);
            RequestSender::put(r.sendNumber, order.sendNumber);
            RequestSender::put(r.orderAmount, order.orderAmount);
            RequestSender::put(r.beginDate, order.beginDate);
            RequestSender::put(r.endDate, order.endDate);
            RequestSender::put(r.paymentDay, order.paymentDay);
            // The plan's stored values go back as the list gave them.
            return firstOf({ asReceived(QStringLiteral("委托序号"), order.orderNumber),
                asReceived(QStringLiteral("基金代码"), order.fundCode), asReceived(QStringLiteral("申请日期"), order.orderDate),
                asReceived(QStringLiteral("发送流水号"), order.sendNumber),
                asReceived(QStringLiteral("定投金额"), order.orderAmount), asReceived(QStringLiteral("开始日期"), order.beginDate),
                asReceived(QStringLiteral("结束日期"), order.endDate), asReceived(QStringLiteral("扣款日期"), order.paymentDay) });
        });
}
