#pragma once

// The transfer tests' simulator fixture: the login rig's simulator with the
// transfer and trading request classes and a logged-in customer.
#include "core/NotificationCenter.h"
#include "login/LoginTestRig.h"
#include "platform/RunLoop.h"
#include "shell/windows/AlertPresenter.h"
#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/BankFunctions.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "transfer/FundTransferManager.h"
#include "transfer/TransferDataModels.h"

#include <utility>

namespace transfertest {

using namespace std::chrono_literals;

inline const QString kTradePassword = QStringLiteral("111111");
inline const QString kBankPassword = QString::fromLatin1(brokersim::kBankPassword);
inline const QString kCustomer = QStringLiteral("010100000001"); // 张三: 人民币 main, 美元 second
// 李四: 人民币 main 010210000002, 人民币 secondaries 010210000003 and 010210000004, 港币 010210000005.
inline const QString kSecondCustomer = QStringLiteral("010200000002");
inline const QString kSecondPassword = QStringLiteral("222222");

// Records every box; closes it at once unless held until closeAll.
class RecordingAlerts final : public AlertPresenter {
public:
    std::vector<AlertRequest> shown;
    bool hold = false;
    std::vector<Completion> open;
    void runAlert(const AlertRequest& request, Completion completion) override
    {
        shown.push_back(request);
        if (hold)
            open.push_back(std::move(completion));
        else if (completion)
            completion(1);
    }
    void closeAll()
    {
        for (Completion& close : std::exchange(open, {}))
            if (close)
                close(1);
    }
    QString last() const { return shown.empty() ? QString() : shown.back().text; }
};

class TransferSimulatorFixture : public logintest::SimulatorFixture {
protected:
    void SetUp() override
    {
        SimulatorFixture::SetUp();
        registerTradingDataModels();
        registerTransferDataModels();
        FundTransferManager::resetInstance();
        QueryInfoManager::resetInstance();
    }
    void TearDown() override
    {
        FundTransferManager::resetInstance();
        QueryInfoManager::resetInstance();
        NotificationCenter::resetForTesting();
        SimulatorFixture::TearDown();
    }

    std::shared_ptr<Account> logIn(const QString& custid = kCustomer, const QString& password = kTradePassword)
    {
        const brokersim::Customer* customer = broker().customer(custid);
        EXPECT_TRUE(customer);
        auto account = std::make_shared<Account>();
        account->customerNumber = custid;
        account->commonUrlString
            = broker().openLogin(*customer, customer->funds.front().fundId, password, QStringLiteral("M:t"));
        AccountManager::getInstance()->addActiveAccount(account);
        return account;
    }
    FundTransferManager& manager() { return *FundTransferManager::getInstance(); }
    // True once every answer the simulator sent so far has been handled: a
    // query of its own goes out on the same connection and is answered after them.
    bool answersSentSoFarHandled()
    {
        struct Probe final : IMoneyInfoDelegate {
            bool done = false;
            void queryMoneyInfo(DataModel*, const QString&, const RDOMoney&) override { done = true; }
            bool queryMoneyInfo(DataModel*, const QString&, const CSError&) override { return done = true; }
        } probe;
        QueryInfoManager::getInstance()->requestMoneyInfo(&probe, 9, QStringLiteral("probe"));
        return testsupport::spinUntil([&] { return probe.done; }, 10s);
    }
    // True once a timer started now for `seconds` has fired and what was
    // sent by then has been answered: a page timer started earlier for as
    // long would have fired before it, and its request been handled.
    bool timerStartedNowFired(double seconds)
    {
        bool fired = false;
        platform::RunLoopTimer later(seconds, false, platform::RunLoopModes::defaultMode(), [&] { fired = true; });
        later.start();
        return testsupport::spinUntil([&] { return fired; }, 10s) && answersSentSoFarHandled();
    }
    brokersim::BackOffice::Money money(const QString& fundId, const QString& custid = kCustomer)
    {
        return brokersim::backOffice(sim)->account(*broker().customer(custid)).money[fundId];
    }
};

} // namespace transfertest
