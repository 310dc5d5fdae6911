#pragma once

// The transfer tests' simulator fixture: the login rig's simulator with the
// transfer and trading request classes and a logged-in customer.
#include "core/NotificationCenter.h"
#include "login/LoginTestRig.h"
#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/BankFunctions.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "transfer/FundTransferManager.h"
#include "transfer/TransferDataModels.h"

namespace transfertest {

using namespace std::chrono_literals;

inline const QString kTradePassword = QStringLiteral("111111");
inline const QString kBankPassword = QString::fromLatin1(brokersim::kBankPassword);
inline const QString kCustomer = QStringLiteral("010100000001"); // 张三: 人民币 main, 美元 second

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

    std::shared_ptr<Account> logIn(const QString& custid = kCustomer)
    {
        const brokersim::Customer* customer = broker().customer(custid);
        EXPECT_TRUE(customer);
        auto account = std::make_shared<Account>();
        account->customerNumber = custid;
        account->commonUrlString
            = broker().openLogin(*customer, customer->funds.front().fundId, kTradePassword, QStringLiteral("M:t"));
        AccountManager::getInstance()->addActiveAccount(account);
        return account;
    }
    FundTransferManager& manager() { return *FundTransferManager::getInstance(); }
    brokersim::BackOffice::Money money(const QString& fundId)
    {
        return brokersim::backOffice(sim)->account(*broker().customer(kCustomer)).money[fundId];
    }
};

} // namespace transfertest
