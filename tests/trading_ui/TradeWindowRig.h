#pragma once

// The main window of a customer logged in through the login window against
// the in-process simulator, with the trading pages and their views: the
// fixture of the trading pages' tests that go through the whole window.
#include "core/DMCDataCache.h"
#include "platform/ChinaClock.h"
#include "quotes/QuoteTestRig.h"
#include "shell/MainWindowRig.h"
#include "shell/StatusBarTestRig.h"
#include "shell/menu/MenuManager.h"
#include "shell/messages/MessageCenterManager.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/ui/LoginView.h"
#include "shell/ui/LoginWindow.h"
#include "shell/ui/MainWindow.h"
#include "shell/windows/LoginViewController.h"
#include "trading/orders/OrderManager.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/security/StockManager.h"
#include "trading/ui/OrderAlertWindow.h"
#include "trading/ui/QueryPageViews.h"
#include "trading/ui/TradingViews.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace tradewindowtest {

using namespace windowtest;
using testsupport::spinUntil;

template <class W> W* shown()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<W*>(w); found && found->isVisible())
            return found;
    }
    return nullptr;
}

class TradeWindowTest : public MainWindowRig {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerShellDataModels();
        registerTradingDataModels();
        StartUp().run();
        startTradeServer();
        installTradingViews();
        registerQueryPageViews();
    }
    void TearDown() override
    {
        closeWindows();
        OrderAlertWindowController::setViewFactory({});
        OrderAlertWindowController::setShownHookForTesting({});
        MenuItemViewManager::resetInstance();
        OrderManager::resetInstance();
        QueryInfoManager::resetInstance();
        StockManager::resetInstance();
        MenuManager::resetInstance();
        MessageCenterManager::resetInstance();
        DMCDataCache::resetInstance();
        serverManager.reset();
        MarketFixture::TearDown();
    }

    void logInThroughTheLoginWindow()
    {
        auto* login = new LoginWindow();
        login->showOver();
        login->controller().appLoginComplete();
        LoginViewController& form = login->controller().loginViewController();
        auto* image = login->findChild<QPushButton*>("identifyingCodeImage");
        ASSERT_TRUE(spinUntil([&] { return !image->icon().isNull(); }, 10s));
        QTest::keyClicks(login->findChild<QComboBox*>("accountText")->lineEdit(), "010100000001");
        QTest::keyClicks(login->findChild<QLineEdit*>("passwordText"), "111111");
        QTest::keyClicks(login->findChild<QLineEdit*>("identifyingCodeText"), broker().lastCaptchaCode());
        login->findChild<QPushButton*>("loginButton")->click();
        ASSERT_TRUE(spinUntil([&] { return form.loginSucceeded(); }, 10s));
        login->controller().loginComplete();
        login->close();
    }

    platform::ChinaClock::Override clock { platform::ChinaClock::at(2026, 12, 2, 10, 0) };
};

} // namespace tradewindowtest
