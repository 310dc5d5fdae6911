// The application's end, as the lumora executable runs it.
#include "app/AppDelegate.h"

#include "login/LoginTestRig.h"
#include "platform/PropertyList.h"
#include "support/ShortLockWait.h"

#include <QLockFile>

namespace {

using AppDelegateTest = logintest::HomeFixture;

} // namespace

// What the stores could not write for another client's lock goes at quit,
// before the stores do: a setting, and a saved account with the installation
// key it waited for. The next start reads both.
TEST_F(AppDelegateTest, WhatTheStoresCouldNotWriteIsWrittenAtQuit)
{
    enum Owed { ASetting, AnAccount };
    for (const Owed owed : { ASetting, AnAccount }) {
        SCOPED_TRACE(owed == ASetting ? "a setting" : "a saved account");
        resetAll();
        QFile::remove(home.filePath("UserDefaults.plist"));
        QFile::remove(AccountManager::filePath());
        UserDefaultConfig::getInstance();
        QLockFile otherWriting(home.filePath("UserDefaults.plist.lock"));
        ASSERT_TRUE(otherWriting.tryLock(0));
        if (owed == ASetting) {
            UserDefaultConfig::getInstance()->setQuoteColorType(1);
        } else {
            resetAll(); // a first start: no key stored yet
            QFile::remove(home.filePath("UserDefaults.plist"));
            auto account = std::make_shared<Account>();
            account->customerNumber = "02";
            account->zj_account = "B2";
            AccountManager::getInstance()->addAccount(account);
            EXPECT_FALSE(AccountManager::getInstance()->saveAllAccounts());
        }
        otherWriting.unlock();
        {
            const testsupport::ShortLockWait quitWait;
            AppDelegate delegate;
            delegate.applicationWillTerminate();
        }

        resetAll();
        if (owed == ASetting) {
            EXPECT_EQ(UserDefaultConfig::getInstance()->quoteColorType(), 1);
        } else {
            ASSERT_EQ(AccountManager::getInstance()->savedAccounts().size(), 1u);
            EXPECT_EQ(AccountManager::getInstance()->savedAccounts().front()->zj_account, "B2");
        }
    }
}
