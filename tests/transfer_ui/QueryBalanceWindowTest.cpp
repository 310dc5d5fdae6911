// The bank balance page as a user reaches it: log in, open 银行余额 from the
// menu, and choose links that ask for no password, for both and for the bank
// password only. The rows below the account must stand where each link puts
// them, whatever was shown before.
#include "TransferWindowRig.h"
#include "core/NotificationCenter.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/windows/SessionNotifications.h"
#include "support_gui/ModalGuard.h"
#include "support_gui/OverTheLock.h"
#include "tools/broker-sim/BankFunctions.h"
#include "transfer/pages/FundBalPwdAlertWC.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>

using namespace windowtest;
using testsupport::spinUntil;

namespace {

using QueryBalanceWindowTest = TransferWindowRig;

// Chooses item `index` of a pop-up with the keyboard, as a user would: an
// arrow opens its list, the choice is made in the list.
void choose(QComboBox* box, int index)
{
    if (box->currentIndex() == index)
        return;
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down);
    QAbstractItemView* list = box->view();
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(list->currentIndex().row(), box->currentIndex());
    for (int row = box->currentIndex(); row < index; ++row)
        QTest::keyClick(list, Qt::Key_Down);
    for (int row = box->currentIndex(); row > index; --row)
        QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(box->currentIndex(), index);
}

} // namespace

TEST_F(QueryBalanceWindowTest, EveryLinkPutsThePasswordAndBalanceRowsInTheirPlaces)
{
    logInThroughTheForm(); // 张三: 工商银行 (no password), 农业银行 (both) in 人民币, 中国银行 in 美元
    QWidget* page = openFromTheMenu(QStringLiteral("银行余额"), QLatin1StringView("QueryBalanceViewController"));
    ASSERT_TRUE(page);
    auto* money = page->findChild<QComboBox*>("moneyTypePButton");
    auto* account = page->findChild<QComboBox*>("fundIdInfoPButton");
    auto* fundPassword = page->findChild<QLineEdit*>("fundPasswordText");
    auto* bankPassword = page->findChild<QLineEdit*>("bankPasswordText");
    auto* balance = page->findChild<QLabel*>("bankBalanceText");
    auto* balanceLabel = page->findChild<QLabel*>("bankBalanceLabel");
    auto* query = page->findChild<QPushButton*>("transferButton");
    ASSERT_TRUE(money && account && fundPassword && bankPassword && balance && balanceLabel && query);
    // The password-free link fills its balance by itself.
    ASSERT_TRUE(spinUntil([&] { return balance->text() == QStringLiteral("50000.00"); }, 10s));

    // The rows as the link that asks for both passwords lays them out.
    choose(account, 1);
    ASSERT_TRUE(spinUntil([&] {
        return fundPassword->isVisible() && bankPassword->isVisible() && fundPassword->y() < bankPassword->y()
            && bankPassword->y() < balance->y();
    }));
    const int rows[] = { fundPassword->y(), bankPassword->y(), balance->y() };
    EXPECT_GT(rows[0], account->y());

    const struct {
        int money, account;
        bool fund, bank;
        int bankRow, balanceRow;
    } links[] = {
        { 0, 0, false, false, -1, 0 }, // 工商银行: no password
        { 1, 0, false, true, 0, 1 }, // 中国银行: the bank password
        { 0, 1, true, true, 1, 2 }, // 农业银行: both
        { 1, 0, false, true, 0, 1 },
        { 0, 0, false, false, -1, 0 },
        { 0, 1, true, true, 1, 2 },
    };
    for (const auto& l : links) {
        SCOPED_TRACE(testing::Message() << "money " << l.money << " account " << l.account);
        choose(money, l.money);
        choose(account, l.account);
        // Laid out as expected; what differs is told below.
        spinUntil([&] {
            return fundPassword->isVisible() == l.fund && bankPassword->isVisible() == l.bank
                && (!l.fund || fundPassword->y() == rows[0]) && (!l.bank || bankPassword->y() == rows[l.bankRow])
                && balance->y() == rows[l.balanceRow];
        });
        EXPECT_EQ(fundPassword->isVisible(), l.fund);
        EXPECT_EQ(bankPassword->isVisible(), l.bank);
        EXPECT_EQ(query->isVisible(), l.fund || l.bank);
        if (l.fund)
            EXPECT_EQ(fundPassword->y(), rows[0]);
        if (l.bank)
            EXPECT_EQ(bankPassword->y(), rows[l.bankRow]);
        EXPECT_TRUE(balance->isVisible());
        EXPECT_EQ(balance->y(), rows[l.balanceRow]);
        // In line with the account row's selector.
        EXPECT_EQ(balance->x(), account->x());
    }
}

// The password prompt of 银行转证券's balance query runs modal; the screen
// lock ends it as cancelled, so nothing is asked, and after the unlock the
// page is back without it and asks again at the next click.
TEST_F(QueryBalanceWindowTest, TheLockEndsThePasswordPromptForGood)
{
    logInThroughTheForm();
    QWidget* page = openFromTheMenu(QStringLiteral("银行转证券"), QLatin1StringView("BankToStockViewController"));
    ASSERT_TRUE(page);
    auto* query = page->findChild<QPushButton*>("queryBalanceButton");
    // The password-free bank's own balance first, then 农业银行, which asks both.
    auto* balance = page->findChild<QLabel*>("bankBalanceText");
    auto* account = page->findChild<QComboBox*>("fundIdInfoPButton");
    ASSERT_TRUE(spinUntil([&] { return balance->text() == QStringLiteral("50000.00"); }, 10s));
    choose(account, 1);
    ASSERT_TRUE(spinUntil([&] { return query->isVisible(); }, 10s));
    const auto promptShown = [] {
        const QWidgetList all = QApplication::topLevelWidgets();
        return std::any_of(all.begin(), all.end(),
            [](QWidget* w) { return w->objectName() == QLatin1String("FundBalPwdAlertWC") && w->isVisible(); });
    };
    const qsizetype asked = sim.receivedCount(brokersim::kBankBalanceFunction);

    // The lock comes while the prompt waits; a prompt it left running ends
    // here, so the test fails rather than waits.
    int prompts = 0;
    bool shownAtTheLock = false, endedByTheLock = false;
    FundBalPwdAlertWC::setShownHookForTesting([&](FundBalPwdAlertWC& prompt) {
        if (++prompts > 1) {
            prompt.cancelButtonClicked();
            return;
        }
        QTimer::singleShot(0, &prompt, [&] {
            shownAtTheLock = promptShown();
            bool ended = false;
            const QMetaObject::Connection c
                = QObject::connect(&prompt, &FundBalPwdAlertWC::changed, [&] { ended = true; });
            NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
            QObject::disconnect(c);
            endedByTheLock = ended;
            if (!ended)
                prompt.windowWillClose();
        });
    });
    QTest::mouseClick(query, Qt::LeftButton);
    EXPECT_TRUE(shownAtTheLock);
    EXPECT_TRUE(endedByTheLock);
    ScreenLocker& locker = window->screenLocker();
    ASSERT_TRUE(locker.controller().isLocked());
    EXPECT_FALSE(promptShown());

    locker.unlockWindow()->controller().identifyLogin(nullptr, QString(), RDOAccount());
    ASSERT_TRUE(spinUntil([&] { return !locker.controller().isLocked() && window->isVisible(); }));
    EXPECT_FALSE(promptShown());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    QTest::mouseClick(query, Qt::LeftButton);
    EXPECT_EQ(prompts, 2);
    // Nothing went out for the prompt the lock ended: the next balance query
    // the server hears is the password-free bank's, chosen now.
    choose(account, 0);
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kBankBalanceFunction) > asked; }, 10s));
    const auto received = sim.receivedOf(brokersim::kBankBalanceFunction);
    EXPECT_EQ(received[asked].rawBody, received.front().rawBody);
}

// The password prompt asked for while the screen is locked (a click that
// reaches the page after the lock) never shows over it and asks the bank
// nothing: its step ends at once, whether the lock then ends in an unlock or
// in 退出. After the unlock the next click prompts as before.
TEST_F(QueryBalanceWindowTest, APromptAskedForUnderTheLockEndsAtOnce)
{
    logInThroughTheForm();
    QWidget* page
        = openFromTheMenu(QStringLiteral("银行转证券"), QLatin1StringView("BankToStockViewController"));
    ASSERT_TRUE(page);
    auto* query = page->findChild<QPushButton*>("queryBalanceButton");
    auto* balance = page->findChild<QLabel*>("bankBalanceText");
    ASSERT_TRUE(spinUntil([&] { return balance->text() == QStringLiteral("50000.00"); }, 10s));
    choose(page->findChild<QComboBox*>("fundIdInfoPButton"), 1);
    ASSERT_TRUE(spinUntil([&] { return query->isVisible(); }, 10s));
    // One a customer could see is answered, as one would.
    int seen = 0;
    FundBalPwdAlertWC::setShownHookForTesting([&](FundBalPwdAlertWC& prompt) {
        QTimer::singleShot(0, &prompt, [&] {
            const QWidgetList all = QApplication::topLevelWidgets();
            if (std::any_of(all.begin(), all.end(), [](QWidget* w) {
                    return w->objectName() == QLatin1String("FundBalPwdAlertWC") && w->isVisible();
                })) {
                ++seen;
                prompt.setFundPwdText(QStringLiteral("111111"));
                prompt.setBankPwdText(QString::fromLatin1(brokersim::kBankPassword));
                prompt.confirmButtonClicked();
            } else {
                prompt.cancelButtonClicked();
            }
        });
    });
    ScreenLocker& locker = window->screenLocker();
    for (const bool unlock : { true, false }) {
        SCOPED_TRACE(unlock ? "unlocked" : "logged out");
        const qsizetype asked = sim.receivedCount(brokersim::kBankBalanceFunction);
        const testsupport::OverTheLock over(
            [&] { return locker.controller().isLocked(); }, [&] { return locker.unlockWindow(); });
        NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
        ASSERT_TRUE(locker.controller().isLocked());
        query->click();
        EXPECT_TRUE(over.shown().isEmpty()) << qPrintable(over.shown().join(u','));
        EXPECT_EQ(seen, 0);
        if (unlock)
            locker.unlockWindow()->controller().identifyLogin(nullptr, QString(), RDOAccount());
        else
            locker.unlockWindow()->findChild<QPushButton*>("exitButton")->click();
        ASSERT_TRUE(spinUntil([&] { return !locker.controller().isLocked(); }));
        testsupport::spinFor(50ms);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << testsupport::describeModalWidget();
        EXPECT_EQ(sim.receivedCount(brokersim::kBankBalanceFunction), asked);
        if (!unlock)
            break;
        query->click();
        EXPECT_EQ(seen, 1);
        // Its answer is in before the next lock.
        ASSERT_TRUE(spinUntil(
            [&] {
                bool number = false;
                balance->text().toDouble(&number);
                return sim.receivedCount(brokersim::kBankBalanceFunction) == asked + 1 && number;
            },
            10s));
        seen = 0;
    }
}
