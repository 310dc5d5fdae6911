#pragma once

// A message store filled from the simulator's built-in messages for one
// customer of branch 0101, as the main window's poll fills it.
#include "ShellTestRig.h"

namespace shelltest {

class FilledMessageStore : public IMessageCenterListDelegate {
public:
    AccountManager accounts;
    std::unique_ptr<MessageCenterManager> store;

    ::testing::AssertionResult fill()
    {
        auto account = std::make_shared<Account>();
        account->customerNumber = QStringLiteral("010100000001");
        account->organizationCode = QStringLiteral("0101");
        accounts.addActiveAccount(account);
        accounts.setActiveLoginAccount(0);
        store = std::make_unique<MessageCenterManager>(nullptr, &accounts);
        store->requestMessageInfoList(this);
        if (!testsupport::spinUntil([&] { return listed_; }))
            return ::testing::AssertionFailure() << "no message list";
        return ::testing::AssertionSuccess();
    }
    void messageCenterList(
        DataModel*, const QString& handle, const std::vector<RDOMessageInfo>& list) override
    {
        store->updateMessageCenterInfo(list, handle);
        listed_ = true;
    }

private:
    bool listed_ = false;
};

} // namespace shelltest
