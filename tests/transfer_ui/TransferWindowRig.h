#pragma once

// The main window with the transfer pages, against the simulator: what the
// transfer pages' user-level tests log in to.
#include "core/DMCDataCache.h"
#include "quotes/QuoteTestRig.h"
#include "shell/MainWindowRig.h"
#include "shell/StatusBarTestRig.h"
#include "shell/menu/MenuManager.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/MenuItemView.h"
#include "shell/ui/tables/DVCommonTableView.h"
#include "shell/windows/LoginViewController.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/ui/TradingViews.h"
#include "transfer/FundTransferManager.h"
#include "transfer/ui/TransferViews.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace windowtest {

class TransferWindowRig : public MainWindowRig {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerShellDataModels();
        registerTradingDataModels();
        registerTransferDataModels();
        StartUp().run();
        startTradeServer();
        installTradingViews();
        registerTransferPages();
        registerTransferPageViews();
    }
    void TearDown() override
    {
        OrderAlertWindowController::setShownHookForTesting(nullptr);
        FundBalPwdAlertWC::setShownHookForTesting(nullptr);
        closeWindows();
        resetShell();
        FundTransferManager::resetInstance();
        QueryInfoManager::resetInstance();
        DMCDataCache::resetInstance();
        serverManager.reset();
        MarketFixture::TearDown();
    }

    // After the log-in: the page of a menu entry in a window of the usual
    // size; null unless the entry opened the page of that class.
    QWidget* openFromTheMenu(const QString& entry, QLatin1StringView pageClass)
    {
        fetchMenu();
        openWindow(QSize(1100, 700));
        QWidget* page = clickEntry(entry);
        return page && page->objectName() == pageClass ? page : nullptr;
    }
    // The next confirmation dialog is confirmed by a click on its button;
    // what it showed is kept in dialogText.
    void clickConfirmWhenShown()
    {
        OrderAlertWindowController::setShownHookForTesting([this](OrderAlertWindowController& dialog) {
            dialogText = dialog.contentText();
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("OrderAlertWindowController") && w->isVisible())
                    QTest::mouseClick(w->findChild<QPushButton*>("confirmButton"), Qt::LeftButton);
        });
    }
    QString dialogText;

    // The message box on screen, if one is.
    static QMessageBox* messageBox()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                return box;
        return nullptr;
    }
    // Its title and text, "" when none is on screen.
    static QString messageBoxText()
    {
        QMessageBox* box = messageBox();
        return box ? box->text() + QLatin1Char('|') + box->informativeText() : QString();
    }
};

} // namespace windowtest
