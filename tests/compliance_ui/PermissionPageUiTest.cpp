// The permission page as the user reaches it: a trade login, 权限设置 from the
// main window's menu, a permission opened through its wizard.
#include "compliance/ComplianceDataModels.h"
#include "compliance/permissions/PermissionSettingsManager.h"
#include "compliance/ui/BusinessContractView.h"
#include "compliance/ui/PermissionAlertWindow.h"
#include "compliance/ui/PermissionSettingsPage.h"
#include "quotes/QuoteTestRig.h"
#include "shell/MainWindowRig.h"
#include "shell/StatusBarTestRig.h"
#include "shell/messages/MessageCenterManager.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/windows/LoginViewController.h"
#include "shell/windows/SessionNotifications.h"
#include "support_gui/OverTheLock.h"
#include "tools/broker-sim/PermissionFunctions.h"
#include "trading/security/StockManager.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
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

class PermissionPageUiTest : public MainWindowRig {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerShellDataModels();
        registerComplianceDataModels();
        PermissionSettingsManager::resetInstance();
        StartUp().run();
        startTradeServer();
        registerCompliancePages();
        installComplianceViews();
    }
    void TearDown() override
    {
        closeWindows();
        resetShell();
        PermissionSettingsManager::resetInstance();
        serverManager.reset();
        MarketFixture::TearDown();
    }

    // 权限设置 after a trade login, its three permissions listed.
    void openPermissions(QTableWidget*& table)
    {
        logInThroughTheForm();
        fetchMenu();
        openWindow(QSize(1100, 700));
        window->outlineView()->setCurrentIndex(rowTitled(QStringLiteral("权限设置")));
        table = window->currentPageView()->findChild<QTableWidget*>(QStringLiteral("tableView"));
        ASSERT_TRUE(table);
        ASSERT_TRUE(spinUntil([&] { return table->rowCount() == 3; }, 10s));
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
};

} // namespace

TEST_F(PermissionPageUiTest, OpenAPermissionFromTheMenuThroughItsWizard)
{
    logInThroughTheForm();
    fetchMenu();
    openWindow(QSize(1100, 700));

    const QModelIndex entry = rowTitled(QStringLiteral("权限设置"));
    ASSERT_TRUE(entry.isValid());
    window->outlineView()->setCurrentIndex(entry);
    ASSERT_TRUE(window->currentPageView());
    auto* table = window->currentPageView()->findChild<QTableWidget*>(QStringLiteral("tableView"));
    ASSERT_TRUE(table);
    ASSERT_TRUE(spinUntil([&] { return table->rowCount() == 3; }, 10s));
    EXPECT_EQ(table->item(1, 1)->text(), QStringLiteral("风险警示股票交易权限"));
    EXPECT_EQ(table->item(1, 3)->text(), QStringLiteral("未开通"));

    sim.withholdNext(brokersim::kPermissionContractFunction);
    qobject_cast<QPushButton*>(table->cellWidget(1, 4))->click();
    ASSERT_TRUE(spinUntil([] { return wizardWindow() != nullptr; }));
    PermissionAlertWindow* wizard = wizardWindow();
    auto* confirm = wizard->findChild<QPushButton*>(QStringLiteral("confirmButton"));
    auto* check = wizard->findChild<QCheckBox*>(QStringLiteral("checkButton"));
    // While the steps load, every button shown has a title, and the busy
    // bar is a thin line, no blank button beside 取消 and 确定.
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
    for (const QAbstractButton* button : wizard->findChildren<QAbstractButton*>())
        EXPECT_TRUE(!button->isVisible() || !button->text().isEmpty()) << qPrintable(button->objectName());
    const auto* wait = wizard->findChild<QProgressBar*>(QStringLiteral("waitProgress"));
    ASSERT_TRUE(wait && wait->isVisible());
    EXPECT_FALSE(wait->isTextVisible());
    EXPECT_LE(wait->height() * 3, confirm->height());
    sim.releaseWithheld();
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

    // The open request's message comes over the sign's; read first, it
    // leaves the wizard open until the sign's is read too.
    confirm->click();
    ASSERT_TRUE(dismiss(QStringLiteral("风险警示股票交易权限开通成功")));
    testsupport::spinFor(50ms);
    EXPECT_EQ(wizardWindow(), wizard);
    ASSERT_TRUE(dismiss(QStringLiteral("《风险警示股票风险揭示书》签署成功")));
    ASSERT_TRUE(spinUntil([] { return wizardWindow() == nullptr; }));
    ASSERT_TRUE(spinUntil([&] { return table->item(1, 3) && table->item(1, 3)->text() == QStringLiteral("已开通"); }, 10s));
    EXPECT_EQ(qobject_cast<QPushButton*>(table->cellWidget(1, 4))->text(), QStringLiteral("关闭"));
}

// Cancelling the wizard with its button, or closing its window, leaves the
// page as it was: no new list is asked for.
TEST_F(PermissionPageUiTest, ACancelledWizardAsksForNoNewList)
{
    QTableWidget* table = nullptr;
    ASSERT_NO_FATAL_FAILURE(openPermissions(table));
    for (const bool byButton : { true, false }) {
        SCOPED_TRACE(byButton ? "cancel button" : "window closed");
        const qsizetype lists = receivedOf(brokersim::kPermissionListFunction).size();
        qobject_cast<QPushButton*>(table->cellWidget(1, 4))->click();
        ASSERT_TRUE(spinUntil([] { return wizardWindow() != nullptr; }));
        PermissionAlertWindow* wizard = wizardWindow();
        auto* cancel = wizard->findChild<QPushButton*>(QStringLiteral("cancelButton"));
        ASSERT_TRUE(spinUntil([&] { return cancel->isEnabled(); }, 10s));
        if (byButton)
            QTest::mouseClick(cancel, Qt::LeftButton);
        else
            wizard->close();
        ASSERT_TRUE(spinUntil([] { return wizardWindow() == nullptr; }));
        testsupport::spinFor(200ms);
        EXPECT_EQ(receivedOf(brokersim::kPermissionListFunction).size(), lists);
        EXPECT_TRUE(receivedOf(brokersim::kPermissionOpenFunction).isEmpty());
        EXPECT_EQ(table->item(1, 3)->text(), QStringLiteral("未开通"));
    }
}

// A permission's wizard asked for while the screen is locked (a click that
// reaches the page after the lock) never shows over it: it ends at once as
// cancelled, nothing is read, signed or opened, and neither the unlock nor
// 退出 brings it back. After the unlock the next click opens it as before.
TEST_F(PermissionPageUiTest, AWizardAskedForUnderTheLockEndsAtOnce)
{
    QTableWidget* table = nullptr;
    ASSERT_NO_FATAL_FAILURE(openPermissions(table));
    const auto anyWizard = [] {
        const QWidgetList all = QApplication::topLevelWidgets();
        return std::any_of(all.begin(), all.end(),
            [](QWidget* w) { return qobject_cast<PermissionAlertWindow*>(w) != nullptr; });
    };
    ScreenLocker& locker = window->screenLocker();
    for (const bool unlock : { true, false }) {
        SCOPED_TRACE(unlock ? "unlocked" : "logged out");
        const qsizetype steps = receivedOf(brokersim::kPermissionContractFunction).size();
        const testsupport::OverTheLock over(
            [&] { return locker.controller().isLocked(); }, [&] { return locker.unlockWindow(); });
        NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
        ASSERT_TRUE(locker.controller().isLocked());
        qobject_cast<QPushButton*>(table->cellWidget(1, 4))->click();
        EXPECT_TRUE(spinUntil([&] { return !anyWizard(); }));
        EXPECT_TRUE(over.shown().isEmpty()) << qPrintable(over.shown().join(u','));
        if (unlock)
            locker.unlockWindow()->controller().identifyLogin(nullptr, QString(), RDOAccount());
        else
            locker.unlockWindow()->findChild<QPushButton*>(QStringLiteral("exitButton"))->click();
        ASSERT_TRUE(spinUntil([&] { return !locker.controller().isLocked(); }));
        testsupport::spinFor(50ms);
        EXPECT_EQ(wizardWindow(), nullptr);
        EXPECT_EQ(receivedOf(brokersim::kPermissionContractFunction).size(), steps);
        EXPECT_TRUE(receivedOf(brokersim::kPermissionSignFunction).isEmpty());
        EXPECT_TRUE(receivedOf(brokersim::kPermissionOpenFunction).isEmpty());
        if (!unlock)
            break;
        qobject_cast<QPushButton*>(table->cellWidget(1, 4))->click();
        ASSERT_TRUE(spinUntil([] { return wizardWindow() != nullptr; }));
        ASSERT_TRUE(spinUntil(
            [&] { return receivedOf(brokersim::kPermissionContractFunction).size() > steps; }, 10s));
        wizardWindow()->close();
        ASSERT_TRUE(spinUntil([&] { return !anyWizard(); }));
    }
}
