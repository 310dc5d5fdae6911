// The permission page as the user reaches it: a trade login, 权限设置 from the
// main window's menu, a permission opened through its wizard.
#include "compliance/ComplianceDataModels.h"
#include "compliance/permissions/PermissionSettingsManager.h"
#include "compliance/ui/BusinessContractView.h"
#include "compliance/ui/PermissionAlertWindow.h"
#include "compliance/ui/PermissionSettingsPage.h"
#include "quotes/QuoteTestRig.h"
#include "shell/StatusBarTestRig.h"
#include "shell/WindowTestRig.h"
#include "shell/messages/MessageCenterManager.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/ui/MainWindow.h"
#include "shell/windows/LoginViewController.h"
#include "trading/security/StockManager.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeView>

using namespace windowtest;
using testsupport::spinUntil;

namespace {

PermissionAlertWindow* wizardWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* wizard = qobject_cast<PermissionAlertWindow*>(w); wizard && wizard->isVisible())
            return wizard;
    return nullptr;
}

class PermissionPageUiTest : public quotetest::MarketFixture, public IQueryMenuInfoDelegate {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerShellDataModels();
        registerComplianceDataModels();
        PermissionSettingsManager::resetInstance();
        StartUp().run();
        serverManager = statusbartest::localTradeServer(home.path(), QStringLiteral("模拟交易"), sim.tcPort());
        registerCompliancePages();
        installComplianceViews();
    }
    void TearDown() override
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w))
                box->done(0);
        delete window.data();
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
        testsupport::spinFor(std::chrono::milliseconds(20));
        MenuItemViewManager::resetInstance();
        StockManager::resetInstance();
        MenuManager::resetInstance();
        MessageCenterManager::resetInstance();
        PermissionSettingsManager::resetInstance();
        serverManager.reset();
        MarketFixture::TearDown();
    }

    void logInThroughTheForm()
    {
        LoginViewController form;
        RecordingAlerts alerts;
        form.setAlertPresenter(&alerts);
        form.appLoginComplete();
        ASSERT_TRUE(spinUntil([&] { return !form.identifyingCodeImage().isNull(); }, 10s));
        form.accountTypeSelected(0);
        form.controlTextDidChange(LoginViewController::Field::Account, QStringLiteral("010100000001"));
        form.controlTextDidChange(LoginViewController::Field::Password, QStringLiteral("111111"));
        form.controlTextDidChange(LoginViewController::Field::IdentifyingCode, broker().lastCaptchaCode());
        form.loginButtonClick(true);
        ASSERT_TRUE(spinUntil([&] { return form.loginSucceeded() || !alerts.shown.empty(); }, 10s));
        ASSERT_TRUE(form.loginSucceeded()) << qPrintable(alerts.texts().join(u'|'));
        form.LoginComplete();
    }
    void fetchMenu()
    {
        UserDefaultConfig::getInstance()->setContId(broker().data().contId);
        MenuManager::getInstance()->requestMenuInfo(this);
        ASSERT_TRUE(spinUntil([&] { return menu != nullptr; }, 10s));
        MenuManager::getInstance()->setMenuInfo(menu);
    }
    void queryMenuInfo(DataModel*, const QString&, const std::shared_ptr<RDOMenuManager>& m) override { menu = m; }
    bool queryMenuInfo(DataModel*, const QString&, const CSError&) override { return true; }

    QModelIndex rowTitled(const QString& title) const
    {
        const QAbstractItemModel* model = window->outlineView()->model();
        const QModelIndexList found
            = model->match(model->index(0, 0), Qt::DisplayRole, title, 1, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? QModelIndex() : found.front();
    }
    // Presses the default button of the message box showing `text` (the sign's
    // message and the open message may be up together).
    static bool dismiss(const QString& text)
    {
        QMessageBox* found = nullptr;
        spinUntil([&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box->informativeText() == text)
                    found = box;
            return found != nullptr;
        }, 10s);
        if (found)
            found->done(QMessageBox::Ok);
        return found != nullptr;
    }

    std::unique_ptr<DMServerManager> serverManager;
    std::shared_ptr<RDOMenuManager> menu;
    QPointer<MainWindow> window;
};

} // namespace

TEST_F(PermissionPageUiTest, OpenAPermissionFromTheMenuThroughItsWizard)
{
    logInThroughTheForm();
    fetchMenu();
    MainWindowServices services;
    services.statusBar.serverManager = serverManager.get();
    window = new MainWindow(services);
    window->resize(1100, 700);
    window->show();

    const QModelIndex entry = rowTitled(QStringLiteral("权限设置"));
    ASSERT_TRUE(entry.isValid());
    window->outlineView()->setCurrentIndex(entry);
    ASSERT_TRUE(window->currentPageView());
    auto* table = window->currentPageView()->findChild<QTableWidget*>(QStringLiteral("tableView"));
    ASSERT_TRUE(table);
    ASSERT_TRUE(spinUntil([&] { return table->rowCount() == 3; }, 10s));
    EXPECT_EQ(table->item(1, 1)->text(), QStringLiteral("风险警示股票交易权限"));
    EXPECT_EQ(table->item(1, 3)->text(), QStringLiteral("未开通"));

    qobject_cast<QPushButton*>(table->cellWidget(1, 4))->click();
    ASSERT_TRUE(spinUntil([] { return wizardWindow() != nullptr; }));
    PermissionAlertWindow* wizard = wizardWindow();
    auto* confirm = wizard->findChild<QPushButton*>(QStringLiteral("confirmButton"));
    auto* check = wizard->findChild<QCheckBox*>(QStringLiteral("checkButton"));
    ASSERT_TRUE(spinUntil([&] { return check->isVisible(); }, 10s));
    EXPECT_EQ(confirm->text(), QStringLiteral("接受"));
    EXPECT_FALSE(confirm->isEnabled());
    check->click();
    EXPECT_TRUE(confirm->isEnabled());

    if (const QByteArray dir = qgetenv("LUMORA_DOCS_PICTURES"); !dir.isEmpty()) {
        QPixmap picture = window->grab();
        QPainter painter(&picture);
        const QPixmap over = wizard->grab();
        painter.drawPixmap((picture.width() - over.width()) / 2, (picture.height() - over.height()) / 2, over);
        painter.end();
        picture.save(QString::fromLocal8Bit(dir) + QStringLiteral("/permission-settings.png"));
    }

    confirm->click();
    ASSERT_TRUE(dismiss(QStringLiteral("《风险警示股票风险揭示书》签署成功")));
    ASSERT_TRUE(dismiss(QStringLiteral("风险警示股票交易权限开通成功")));
    ASSERT_TRUE(spinUntil([] { return wizardWindow() == nullptr; }));
    ASSERT_TRUE(spinUntil([&] { return table->item(1, 3) && table->item(1, 3)->text() == QStringLiteral("已开通"); }, 10s));
    EXPECT_EQ(qobject_cast<QPushButton*>(table->cellWidget(1, 4))->text(), QStringLiteral("关闭"));
}
