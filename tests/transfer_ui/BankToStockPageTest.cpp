// The bank-to-securities page as a user reaches it: log in, open 银行转证券
// from the menu of the main window, see the bank balance, transfer, confirm,
// and see the serial number, the new bank balance and the new history row. Also writes the page's
// picture when LUMORA_DOCS_DIR names a folder.
#include "TransferWindowRig.h"
#include "support_gui/WideDigits.h"
#include "tools/broker-sim/BankFunctions.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

using namespace windowtest;
using testsupport::spinUntil;

namespace {

using BankToStockPageTest = TransferWindowRig;

} // namespace

TEST_F(BankToStockPageTest, OpenFromTheMenuSeeTheBalanceAndTransfer)
{
    logInThroughTheForm();
    QWidget* page = openFromTheMenu(QStringLiteral("银行转证券"), QLatin1StringView("BankToStockViewController"));
    ASSERT_TRUE(page);
    auto* balance = page->findChild<QLabel*>("bankBalanceText");
    auto* amount = page->findChild<QLineEdit*>("amountText");
    auto* bankPassword = page->findChild<QLineEdit*>("bankPasswordText");
    auto* transfer = page->findChild<QPushButton*>("transferButton");
    auto* history = page->findChild<DVCommonTableView*>("transferInfoTable");
    ASSERT_TRUE(balance && amount && bankPassword && transfer && history);

    // The first bank needs no password for its balance: it shows by itself.
    ASSERT_TRUE(spinUntil([&] { return balance->text() == QStringLiteral("50000.00"); }, 10s));
    EXPECT_FALSE(page->findChild<QPushButton*>("queryBalanceButton")->isVisible());
    EXPECT_TRUE(bankPassword->isVisible());
    EXPECT_FALSE(page->findChild<QLineEdit*>("fundPasswordText")->isVisible());

    testsupport::commitWideDigitsInTheMiddle(amount);
    QTest::keyClicks(amount, QStringLiteral("2500.50"));
    QTest::keyClicks(bankPassword, QString::fromLatin1(brokersim::kBankPassword));
    clickConfirmWhenShown();
    QTest::mouseClick(transfer, Qt::LeftButton);
    EXPECT_EQ(dialogText, QStringLiteral("\n银行转证券\n工商银行 - 010110000001 (主)\n人民币\n2500.50"));
    ASSERT_TRUE(spinUntil([] { return !messageBoxText().isEmpty(); }, 10s));
    const QString serial = brokersim::BankBook::of(sim)->flows(*broker().customer("010100000001")).front().serial;
    EXPECT_EQ(messageBoxText(), QStringLiteral("温馨提示|转账提交已成功，流水号为%1。").arg(serial));
    EXPECT_TRUE(amount->text().isEmpty());
    EXPECT_TRUE(bankPassword->text().isEmpty());
    // The transfer moved the bank's money: the old balance is gone at once,
    // and the bank, which needs no password for it, is asked again.
    EXPECT_NE(balance->text(), QStringLiteral("50000.00"));
    ASSERT_TRUE(spinUntil([&] { return balance->text() == QStringLiteral("47499.50"); }, 10s))
        << qPrintable(balance->text());
    const int column = history->tableModel()->titles().indexOf(QStringLiteral("发生金额"));
    ASSERT_GE(column, 0);
    // Newest first: the balance query that followed the transfer, then the transfer.
    ASSERT_TRUE(spinUntil(
        [&] { return history->model()->index(1, column).data().toString() == QStringLiteral("2500.50"); },
        10s));

    if (const QByteArray docs = qgetenv("LUMORA_DOCS_DIR"); !docs.isEmpty()) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w))
                box->done(0);
        ASSERT_TRUE(spinUntil([] { return messageBox() == nullptr; }));
        EXPECT_TRUE(window->grab().save(QString::fromLocal8Bit(docs) + "/bank-to-stock.png"));
    }
}

TEST_F(BankToStockPageTest, AnAccountChangeEmptiesTheHistoryAndTheBalanceBeforeAskingAgain)
{
    logInThroughTheForm();
    QWidget* page = openFromTheMenu(QStringLiteral("银行转证券"), QLatin1StringView("BankToStockViewController"));
    ASSERT_TRUE(page);
    auto* balance = page->findChild<QLabel*>("bankBalanceText");
    auto* history = page->findChild<DVCommonTableView*>("transferInfoTable");
    ASSERT_TRUE(balance && history);
    // The balance query is the customer's first history row.
    ASSERT_TRUE(spinUntil([&] { return balance->text() == QStringLiteral("50000.00"); }, 10s));
    ASSERT_GT(history->rowCount(), 0);

    NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
    // Nothing of the previous account stays on screen while the new one is asked for.
    EXPECT_EQ(history->rowCount(), 0);
    EXPECT_TRUE(balance->text().isEmpty());
}
