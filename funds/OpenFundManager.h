#pragma once

#include "funds/requests/FundRecords.h"
#include "login/RequestSender.h"

#include <QString>
#include <memory>
#include <optional>

class IFundHistoricNetDelegate;
class IInvestOntimeCancelOrderDelegate;
class IOpdFundCancelOrderDelegate;
class IOpdFundCurrentOrderListDelegate;
class IOpdFundInvestOntimeDelegate;
class IOpdQueryAppropriatenessDelegate;
class IOpdQuerySignNumberDelegate;
class IQueryBonusSettingDelegate;
class IQueryInvestOntimeOrderListDelegate;
class IQueryOpdFundDelegate;
class IQueryOpdFundPositionDelegate;
class ISubmitOpdFundBonusSettingDelegate;
class NotificationCenter;

// The one front through which the fund pages send every fund request that is
// not an order of OrderManagerFunds nor a list of the list sources. Each
// operation fetches its request object once and keeps it, so equal pending
// queries merge. It also holds the risk-disclosure sign serial of the order
// being prepared. The serial belongs to one customer: it is emptied when the
// customer logs in or out or another account becomes active. Main thread
// only.
class OpenFundManager : public SharedInstance<OpenFundManager> {
public:
    static constexpr qint32 kHistoricNetDayCount = 128;

    // init: null services are the shared instances.
    explicit OpenFundManager(DataModelManager* dataModelManager = nullptr, AccountManager* accountManager = nullptr,
        NotificationCenter* notificationCenter = nullptr);
    ~OpenFundManager();
    OpenFundManager(const OpenFundManager&) = delete;
    OpenFundManager& operator=(const OpenFundManager&) = delete;

    // setSignNumber: a null text stores "".
    void setSignNumber(const QString& value) { signNumber_ = value.isNull() ? QString(QLatin1String("")) : value; }
    const QString& signNumber() const { return signNumber_; }

    // Each answers the request handle ("" when nothing was sent; a refused
    // value reaches the observer's error operation).
    QString requestQueryOpdFund(IQueryOpdFundDelegate* observer, const QString& fundCode);
    QString requestOpdFundPosition(IQueryOpdFundPositionDelegate* observer, const QString& fundCode);
    // requestSubmitBonusSetting:FundCode:BonusType: 0 reinvest, 1 cash.
    QString requestSubmitBonusSetting(ISubmitOpdFundBonusSettingDelegate* observer, const QString& fundCode, qint64 bonusType);
    // The last server message of the dividend request; nullopt before it exists.
    std::optional<QString> getSubmitBonusSettingErrorMessage() const;
    QString requestQueryBonusSetting(
        IQueryBonusSettingDelegate* observer, const QString& fundCode, const QString& fundCorpCode);
    QString requestOpdFundCurrentOrderList(IOpdFundCurrentOrderListDelegate* observer);
    QString requestOpdFundCancelOrder(IOpdFundCancelOrderDelegate* observer, const RDOOpdFundOrder& order);
    // A null company code or trade type is sent empty.
    QString requestOpdQueryAppropriateness(IOpdQueryAppropriatenessDelegate* observer, const QString& fundCode,
        const QString& fundCorpCode, const QString& tradeType);
    QString requestOpdQuerySignNumber(
        IOpdQuerySignNumberDelegate* observer, const QString& fundCode, const QString& fundCorpCode);
    // requestQueryFundHistoricNet:DayCount:FundCode:
    QString requestQueryFundHistoricNet(
        IFundHistoricNetDelegate* observer, const QString& dayCount, const QString& fundCode);
    // requestOpdFundInvestOntime:FundCode:OrderAmount:ExpireType:PeriodType:
    // PaymentDay:BeginDate:EndDate:ApplyDate:corpCode: -- the sign serial is
    // the one held here.
    QString requestOpdFundInvestOntime(IOpdFundInvestOntimeDelegate* observer, const QString& fundCode,
        const QString& orderAmount, qint64 expireType, qint64 periodType, qint64 paymentDay, const QString& beginDate,
        const QString& endDate, const QString& applyDate, const QString& corpCode);
    std::optional<QString> getOpdFundInvestOntimeErrorMessage() const;
    QString requestOpdFundInvestOntimeOrderList(IQueryInvestOntimeOrderListDelegate* observer);
    // requsstInvestOntimeCancelOrder:Order: (the selector's own spelling)
    QString requsstInvestOntimeCancelOrder(IInvestOntimeCancelOrderDelegate* observer, const RDOInvestOntimeOrder& order);

    RequestSender& sender() { return sender_; }

private:
    // The customer changed: nothing of the last one may serve the next.
    void forgetCustomer();

    RequestSender sender_;
    NotificationCenter* notificationCenter;
    std::unique_ptr<DataModel> dmQueryOpdFund;
    std::unique_ptr<DataModel> dmQueryOpdFundPosition;
    std::unique_ptr<DataModel> dmSubmitBonusSetting;
    std::unique_ptr<DataModel> dmQueryBonusSetting;
    std::unique_ptr<DataModel> dmOpdFundCurrentOrders;
    std::unique_ptr<DataModel> dmOpdFundCancelOrder;
    std::unique_ptr<DataModel> dmQueryAppropriateness;
    std::unique_ptr<DataModel> dmQuerySignNumber;
    std::unique_ptr<DataModel> dmQueryFundHistoricNet;
    std::unique_ptr<DataModel> dmOpdFundInvestOntime;
    std::unique_ptr<DataModel> dmInvestOntimeOrders;
    std::unique_ptr<DataModel> dmInvestOntimeCancelOrder;
    QString signNumber_ = QStringLiteral("");
};
