#pragma once

// Logged-in accounts without a login: customer numbers with their branch
// (the first four digits) and a short name, the first one active.
#include "login/Account.h"
#include "login/AccountManager.h"

#include <initializer_list>
#include <memory>

namespace shelltest {

inline void addLoggedInAccounts(AccountManager& accounts, std::initializer_list<const char*> numbers)
{
    for (const char* number : numbers) {
        auto account = std::make_shared<Account>();
        account->name = QString::fromLatin1(number).right(2);
        account->customerNumber = QString::fromLatin1(number);
        account->organizationCode = QString::fromLatin1(number).left(4);
        accounts.addActiveAccount(account);
    }
    accounts.setActiveLoginAccount(0);
}

} // namespace shelltest
