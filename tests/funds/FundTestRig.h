#pragma once

// The fund tests' simulator fixture: the compliance rig's simulator and
// logged-in customer with the fund request classes, and recording observers.
#include "core/DMCDataCache.h"
#include "core/NotificationCenter.h"
#include "funds/FundTradeOperations.h"
#include "funds/OpenFundManager.h"
#include "funds/requests/FundDataModels.h"
#include "compliance/ComplianceTestRig.h"
#include "shell/windows/AlertPresenter.h"
#include "tools/broker-sim/FundFunctions.h"

#include <QDate>
#include <vector>

namespace fundtest {

using namespace std::chrono_literals;
using testsupport::spinUntil;

// An observer of one protocol that keeps what it heard.
#define FUND_RECORDER(Name, Protocol, verb)                                                                       \
    struct Name : Protocol {                                                                                      \
        std::vector<Result> results;                                                                              \
        std::vector<QString> handles;                                                                             \
        std::vector<CSError> errors;                                                                              \
        void verb(DataModel*, const QString& h, const Result& r) override                                         \
        {                                                                                                         \
            handles.push_back(h);                                                                                 \
            results.push_back(r);                                                                                 \
        }                                                                                                         \
        bool verb(DataModel*, const QString&, const CSError& e) override                                          \
        {                                                                                                         \
            errors.push_back(e);                                                                                  \
            return true;                                                                                          \
        }                                                                                                         \
        bool heard() const { return !results.empty() || !errors.empty(); }                                       \
    };

FUND_RECORDER(TradeRecorder, IOpdFundTradeDelegate, openFundTrade)
FUND_RECORDER(RedeemRecorder, IRedeemOpdFundDelegate, redeemOpdFund)
FUND_RECORDER(TransformRecorder, ITransformOpdFundDelegate, transformOpdFund)
FUND_RECORDER(CancelRecorder, IOpdFundCancelOrderDelegate, openFundCancelOrder)
FUND_RECORDER(OrdersRecorder, IOpdFundCurrentOrderListDelegate, queryOpdFundCurrentOrderList)
FUND_RECORDER(AppropriatenessRecorder, IOpdQueryAppropriatenessDelegate, opdQueryAppropriateness)
FUND_RECORDER(PlanRecorder, IOpdFundInvestOntimeDelegate, openFundInvestOntime)
FUND_RECORDER(PlanListRecorder, IQueryInvestOntimeOrderListDelegate, queryInvestOntimeOrderList)
FUND_RECORDER(PlanCancelRecorder, IInvestOntimeCancelOrderDelegate, investOntimeCancelOrder)
FUND_RECORDER(BonusRecorder, IQueryBonusSettingDelegate, queryBonusSetting)

class FundSimulatorFixture : public compliancetest::RiskSimulatorFixture {
protected:
    void SetUp() override
    {
        RiskSimulatorFixture::SetUp();
        registerFundDataModels();
        resetFunds();
    }
    void TearDown() override
    {
        resetFunds();
        RiskSimulatorFixture::TearDown();
    }
    static void resetFunds()
    {
        OpenFundManager::resetInstance();
        OrderManagerFunds::resetInstance();
        QueryInfoManagerFunds::resetInstance();
        DMCDataCache::resetInstance();
    }

    using RiskSimulatorFixture::logIn;
    // The customer with fund holdings.
    std::shared_ptr<Account> logIn() { return logIn(QStringLiteral("010100000001"), QStringLiteral("111111")); }

    brokersim::FundBook& book() { return *brokersim::FundBook::of(sim); }
    qsizetype count(brokersim::Function f) const { return receivedOf(f).size(); }
};

// Message boxes as "error:" or "tip:" and their text; read and confirmed at
// once unless held (the lock holds them until it ends).
struct FundAlerts : AlertPresenter {
    QStringList shown;
    bool hold = false;
    std::vector<Completion> held;
    void runAlert(const AlertRequest& request, Completion completion) override
    {
        shown << (request.title == QStringLiteral("错误") ? "error:" : "tip:") + request.text;
        if (hold)
            held.push_back(std::move(completion));
        else if (completion)
            completion(1);
    }
    // The boxes held, dismissed unread as the logout from the locked screen does.
    void dismissHeld()
    {
        for (Completion& completion : std::exchange(held, {}))
            if (completion)
                completion(0);
    }
};

// The shared services the form and page tests reset (TradingServices.cpp).
void registerMoneyQuery();
void resetMoneyQuery();

// Today's purchase of 1000 in 000001 by the customer with fund holdings,
// with its status ("0" cancellable).
inline brokersim::SimFundOrder pendingPurchase(const QString& sno, const QString& status = QStringLiteral("0"))
{
    brokersim::SimFundOrder o;
    o.custid = "010100000001";
    o.sno = sno;
    o.tradeId = "240022";
    o.code = "000001";
    o.amount = "1000.00";
    o.date = QDate::currentDate().toString("yyyyMMdd");
    o.time = "093000";
    o.status = status;
    return o;
}

// A plan of 500.00 a month in 000001 by the customer with fund holdings.
inline brokersim::SimFundPlan pendingPlan(
    const QString& sno, const QString& amount = "500.00", const QString& beginDate = "20260101")
{
    brokersim::SimFundPlan plan;
    plan.custid = "010100000001";
    plan.sno = sno;
    plan.sendSn = "1";
    plan.code = "000001";
    plan.amount = amount;
    plan.periodCode = "0";
    plan.paymentDay = "8";
    plan.beginDate = beginDate;
    plan.endDate = "20270101";
    plan.applyDate = "20260101";
    return plan;
}

// A record set with described fields, as the simulator sends them.
inline VEKTCRS described(const brokersim::DescribedTable& table)
{
    std::optional<VEKTCRS> set = brokersim::describedRecordSet(table, 2);
    EXPECT_TRUE(set.has_value());
    return set.value_or(VEKTCRS());
}

} // namespace fundtest
