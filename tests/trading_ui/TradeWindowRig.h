#pragma once

// The main window of a customer logged in through the login window against
// the in-process simulator, with the trading pages and their views: the
// fixture of the trading pages' tests that go through the whole window.
#include "ShownWindow.h"
#include "comm/request/CSNetwork.h"
#include "core/DMCDataCache.h"
#include "core/NetworkFactory.h"
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
using uitest::shown;

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

    // Every request sent so far answered on both connections, and the
    // deferred deletes done.
    bool settle()
    {
        NetworkFactory* networks = NetworkFactory::getInstance();
        const bool answered = spinUntil(
            [&] {
                return networks->getNetwork(NetworkFactory::kTrade)->requestCount() == 0
                    && networks->getNetwork(NetworkFactory::kQuote)->requestCount() == 0;
            },
            10s);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return answered;
    }

    platform::ChinaClock::Override clock { platform::ChinaClock::at(2026, 12, 2, 10, 0) };
};

} // namespace tradewindowtest
