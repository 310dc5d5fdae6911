#pragma once

// The main window as the widget tests reach it: a trade login through the
// login form against the in-process simulator, the served menu, the window
// with the status bar's local trade server, and a click on a menu entry.
// Kept in one place so that a change to how the user gets there is made once.
#include "quotes/QuoteTestRig.h"
#include "shell/StatusBarTestRig.h"
#include "shell/WindowTestRig.h"
#include "shell/menu/MenuManager.h"
#include "shell/messages/MessageCenterManager.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/ui/LoginWindow.h"
#include "shell/ui/MainWindow.h"
#include "shell/windows/LoginViewController.h"
#include "trading/security/StockManager.h"

#include <QApplication>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QSize>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include <memory>
#include <optional>

namespace windowtest {

// A mouse click on the check box of a table row, where a customer clicks it.
inline void clickCheckBoxOfRow(QTableView* table, int row)
{
    QStyleOptionViewItem option;
    option.initFrom(table);
    option.rect = table->visualRect(table->model()->index(row, 0));
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
        table->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, table).center());
}

class MainWindowRig : public quotetest::MarketFixture, public IQueryMenuInfoDelegate {
protected:
    // After StartUp: the status bar reads its server from here.
    void startTradeServer()
    {
        serverManager = statusbartest::localTradeServer(home.path(), QStringLiteral("模拟交易"), sim.tcPort());
    }
    // Boxes answered and windows closed first, so that no page outlives the
    // singletons it uses.
    void closeWindows()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w))
                box->done(0);
        delete window.data();
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
        testsupport::spinFor(std::chrono::milliseconds(20));
    }
    void resetShell()
    {
        MenuItemViewManager::resetInstance();
        StockManager::resetInstance();
        MenuManager::resetInstance();
        MessageCenterManager::resetInstance();
    }

    // The trade login through the login form, as the user does it.
    void logInThroughTheForm(
        const QString& customer = QStringLiteral("010100000001"), const QString& password = QStringLiteral("111111"))
    {
        LoginViewController form;
        RecordingAlerts alerts;
        form.setAlertPresenter(&alerts);
        form.appLoginComplete();
        ASSERT_TRUE(testsupport::spinUntil([&] { return !form.identifyingCodeImage().isNull(); }, 10s));
        form.accountTypeSelected(0);
        form.controlTextDidChange(LoginViewController::Field::Account, customer);
        form.controlTextDidChange(LoginViewController::Field::Password, password);
        form.controlTextDidChange(LoginViewController::Field::IdentifyingCode, broker().lastCaptchaCode());
        form.loginButtonClick(true);
        ASSERT_TRUE(testsupport::spinUntil([&] { return form.loginSucceeded() || !alerts.shown.empty(); }, 10s));
        ASSERT_TRUE(form.loginSucceeded()) << qPrintable(alerts.texts().join(u'|'));
        form.LoginComplete();
    }
    // The trade login through the login window's widgets, as the user does it.
    void logInThroughTheLoginWindow()
    {
        auto* login = new LoginWindow();
        login->showOver();
        login->controller().appLoginComplete();
        LoginViewController& form = login->controller().loginViewController();
        auto* image = login->findChild<QPushButton*>("identifyingCodeImage");
        ASSERT_TRUE(testsupport::spinUntil([&] { return !image->icon().isNull(); }, 10s));
        QTest::keyClicks(login->findChild<QComboBox*>("accountText")->lineEdit(), "010100000001");
        QTest::keyClicks(login->findChild<QLineEdit*>("passwordText"), "111111");
        QTest::keyClicks(login->findChild<QLineEdit*>("identifyingCodeText"), broker().lastCaptchaCode());
        login->findChild<QPushButton*>("loginButton")->click();
        ASSERT_TRUE(testsupport::spinUntil([&] { return form.loginSucceeded(); }, 10s));
        login->controller().loginComplete();
        login->close();
    }
    // The served menu, as the session flow fetches it at start-up.
    void fetchMenu()
    {
        UserDefaultConfig::getInstance()->setContId(broker().data().contId);
        MenuManager::getInstance()->requestMenuInfo(this);
        ASSERT_TRUE(testsupport::spinUntil([&] { return menu || error; }, 10s));
        ASSERT_TRUE(menu) << qPrintable(error->domain);
        MenuManager::getInstance()->setMenuInfo(menu);
    }
    void queryMenuInfo(DataModel*, const QString&, const std::shared_ptr<RDOMenuManager>& m) override { menu = m; }
    bool queryMenuInfo(DataModel*, const QString&, const CSError& e) override
    {
        error = e;
        return true;
    }

    // The window's services: the status bar on the rig's trade server.
    MainWindowServices windowServices() const
    {
        MainWindowServices services;
        services.statusBar.serverManager = serverManager.get();
        return services;
    }
    // An invalid size keeps the window's own. The size is set once shown:
    // at its first show the window fits itself to the test's screen, which
    // is smaller than the one the default size is made for.
    void openWindow(QSize size = QSize())
    {
        window = new MainWindow(windowServices());
        // A menu bar in the window, as the application gives it on a desktop
        // without a global one: the pages have the room they have there.
        auto* bar = new QMenuBar(window);
        bar->addMenu(QStringLiteral("Lumora"));
        window->layout()->setMenuBar(bar);
        window->show();
        if (size.isValid())
            window->resize(size);
    }
    QModelIndex rowTitled(const QString& title) const
    {
        const QAbstractItemModel* model = window->outlineView()->model();
        const QModelIndexList found
            = model->match(model->index(0, 0), Qt::DisplayRole, title, 1, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? QModelIndex() : found.front();
    }
    // A mouse click on the outline's entry `title`; the page shown after it,
    // or null (with a failure) where the menu has no such entry.
    QWidget* clickEntry(const QString& title)
    {
        const QModelIndex entry = rowTitled(title);
        if (!entry.isValid()) {
            ADD_FAILURE() << "no menu entry " << qPrintable(title);
            return nullptr;
        }
        QTreeView* outline = window->outlineView();
        outline->scrollTo(entry);
        QTest::mouseClick(outline->viewport(), Qt::LeftButton, {}, outline->visualRect(entry).center());
        return window->currentPageView();
    }
    // The same for the entry of the menu's page `linkId` (10000: 买入).
    QWidget* clickEntryOfPage(qint64 linkId)
    {
        const BaseNode::Ptr node = findNodeWithLinkId(window->controller().treeContent(), linkId);
        if (!node) {
            ADD_FAILURE() << "no menu entry of page " << linkId;
            return nullptr;
        }
        return clickEntry(node->nodeTitle);
    }

    std::unique_ptr<DMServerManager> serverManager;
    std::shared_ptr<RDOMenuManager> menu;
    std::optional<CSError> error;
    QPointer<MainWindow> window;
};

} // namespace windowtest
