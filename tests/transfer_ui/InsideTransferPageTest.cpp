// The inside transfer page as a user reaches it: log in, open 资金内转 from
// the menu of the main window, move money between two own capital accounts,
// confirm, and see both serial numbers and the new available money. Also
// writes the page's picture when LUMORA_DOCS_DIR names a folder.
#include "TransferWindowRig.h"
#include "support_gui/WideDigits.h"
#include "tools/broker-sim/BackOffice.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using namespace windowtest;
using testsupport::spinUntil;

namespace {

using InsideTransferPageTest = TransferWindowRig;

} // namespace

TEST_F(InsideTransferPageTest, OpenFromTheMenuMoveMoneyAndSeeBothSerials)
{
    logInThroughTheForm(QStringLiteral("010200000002"), QStringLiteral("222222")); // 李四
    QWidget* page = openFromTheMenu(QStringLiteral("资金内转"), QLatin1StringView("InsideTransferViewController"));
    ASSERT_TRUE(page);
    auto* out = page->findChild<QComboBox*>("fundIdInfoPButton");
    auto* in = page->findChild<QComboBox*>("toFundIdInfoPButton");
    auto* available = page->findChild<QLabel*>("availableFundText");
    auto* amount = page->findChild<QLineEdit*>("amountText");
    auto* password = page->findChild<QLineEdit*>("fundPasswordText");
    auto* transfer = page->findChild<QPushButton*>("transferButton");
    auto* accounts = page->findChild<DVCommonTableView*>("fundInfoTable");
    ASSERT_TRUE(out && in && available && amount && password && transfer && accounts);
    ASSERT_TRUE(spinUntil([&] { return available->text() == QStringLiteral("50000.00元"); }, 10s));
    ASSERT_TRUE(spinUntil([&] { return accounts->model() && accounts->model()->rowCount() == 4; }, 10s));
    EXPECT_EQ(out->currentText(), QStringLiteral("建设银行 - 010210000002 (主)"));

    // Into the 工商银行 account: chosen with the keyboard, as a user would.
    in->setFocus();
    QTest::keyClick(in, Qt::Key_Down);
    EXPECT_EQ(in->currentText(), QStringLiteral("工商银行 - 010210000003 "));
    testsupport::commitWideDigitsInTheMiddle(amount);
    QTest::keyClicks(amount, QStringLiteral("300.25"));
    QTest::keyClicks(password, QStringLiteral("222222"));
    clickConfirmWhenShown();
    QTest::mouseClick(transfer, Qt::LeftButton);
    EXPECT_EQ(dialogText,
        QStringLiteral("资金账号内转\n人民币\n建设银行 - 010210000002 (主)\n工商银行 - 010210000003 \n300.25"));
    ASSERT_TRUE(spinUntil([] { return messageBox() != nullptr; }, 10s));
    const QString shown = messageBoxText();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^温馨提示\\|资金内转提交已成功。\n转出合同号:\\d+\n转入合同号:\\d+$"))
                    .match(shown)
                    .hasMatch())
        << qPrintable(shown);
    EXPECT_TRUE(amount->text().isEmpty());
    EXPECT_TRUE(password->text().isEmpty());
    ASSERT_TRUE(spinUntil([&] { return available->text() == QStringLiteral("49699.75元"); }, 10s));
    // The list of capital accounts shows the moved money too, once it has
    // been read again (its columns come with the reply).
    ASSERT_TRUE(spinUntil(
        [&] {
            const int column = accounts->tableModel()->titles().indexOf(QStringLiteral("可用资金"));
            return column >= 0 && accounts->model()->index(1, column).data().toString() == QStringLiteral("8300.25");
        },
        10s));
    const auto& money = brokersim::backOffice(sim)->account(*broker().customer("010200000002")).money;
    EXPECT_EQ(money.at(QStringLiteral("010210000003")).balance, 8300250);

    if (const QByteArray docs = qgetenv("LUMORA_DOCS_DIR"); !docs.isEmpty()) {
        messageBox()->done(0);
        ASSERT_TRUE(spinUntil([] { return messageBox() == nullptr; }));
        EXPECT_TRUE(window->grab().save(QString::fromLocal8Bit(docs) + "/inside-transfer.png"));
    } else {
        messageBox()->done(0);
    }
}
