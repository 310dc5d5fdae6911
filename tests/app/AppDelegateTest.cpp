// The application's end, as the lumora executable runs it.
#include "app/AppDelegate.h"

#include "login/LoginTestRig.h"
#include "support/ShortLockWait.h"

#include <QLockFile>

using AppDelegateTest = logintest::HomeFixture;

// A first start while another client holds the settings file's lock: the
// installation key, a setting and a saved account (which waits for the key)
// cannot be written. The file free again, the end writes them before the
// stores go, and the next start reads them all.
TEST_F(AppDelegateTest, WhatTheStoresCouldNotWriteIsWrittenAtQuit)
{
    QLockFile otherWriting(home.filePath("UserDefaults.plist.lock"));
    ASSERT_TRUE(otherWriting.tryLock(0));
    UserDefaultConfig::getInstance()->setQuoteColorType(1);
    auto account = std::make_shared<Account>();
    account->customerNumber = "02";
    account->zj_account = "B2";
    AccountManager::getInstance()->addAccount(account);
    EXPECT_FALSE(AccountManager::getInstance()->saveAllAccounts());
    otherWriting.unlock();
    {
        const testsupport::ShortLockWait quitWait;
        AppDelegate delegate;
        delegate.applicationWillTerminate();
    }

    resetAll();
    EXPECT_EQ(UserDefaultConfig::getInstance()->quoteColorType(), 1);
    ASSERT_EQ(AccountManager::getInstance()->savedAccounts().size(), 1u);
    EXPECT_EQ(AccountManager::getInstance()->savedAccounts().front()->zj_account, "B2");
}
