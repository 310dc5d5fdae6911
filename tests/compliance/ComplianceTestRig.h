#pragma once

// The compliance tests' simulator fixture: the login rig's simulator with the
// questionnaire's request classes and a logged-in customer whose prefix the
// simulator accepts.
#include "compliance/ComplianceDataModels.h"
#include "compliance/RiskAssessmentManager.h"
#include "core/NotificationCenter.h"
#include "login/LoginTestRig.h"
#include "tools/broker-sim/RiskFunctions.h"

namespace compliancetest {

class RiskSimulatorFixture : public logintest::SimulatorFixture {
protected:
    void SetUp() override
    {
        SimulatorFixture::SetUp();
        registerComplianceDataModels();
        RiskAssessmentManager::resetInstance();
    }
    void TearDown() override
    {
        RiskAssessmentManager::resetInstance();
        NotificationCenter::resetForTesting();
        SimulatorFixture::TearDown();
    }

    // Logs the customer in on the simulator's side and makes the account active.
    std::shared_ptr<Account> logIn(const QString& custid, const QString& password)
    {
        const brokersim::Customer* customer = broker().customer(custid);
        EXPECT_TRUE(customer);
        if (!customer)
            return nullptr;
        auto account = std::make_shared<Account>();
        account->customerNumber = custid;
        account->singleFlag = customer->singleFlag;
        account->commonUrlString
            = broker().openLogin(*customer, customer->funds.front().fundId, password, QStringLiteral("M:test"));
        AccountManager::getInstance()->addActiveAccount(account);
        return account;
    }

    brokersim::RiskBook& book() { return *brokersim::RiskBook::of(sim); }
};

} // namespace compliancetest
