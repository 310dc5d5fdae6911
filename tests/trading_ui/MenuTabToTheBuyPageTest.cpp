// From the menu into the buy page by keyboard, in the whole main window: the
// first Tab from the outline is the code field, so the digits typed next
// look the security up.
#include "TradeWindowRig.h"

#include <QLabel>
#include <QTreeView>

namespace {

using namespace tradewindowtest;

class MenuTabToTheBuyPageTest : public TradeWindowTest { };

} // namespace

TEST_F(MenuTabToTheBuyPageTest, TheFirstTabFromTheMenuIsTheCodeField)
{
    logInThroughTheLoginWindow();
    fetchMenu();
    openWindow(MainWindow::kDefaultSize);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QWidget* page = clickEntry(QStringLiteral("买入"));
    ASSERT_TRUE(page);
    ASSERT_TRUE(window->outlineView()->hasFocus());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    auto* code = page->findChild<QLineEdit*>("stockCodeText");
    ASSERT_TRUE(code->hasFocus()) << qPrintable(QApplication::focusWidget()->objectName());
    QTest::keyClicks(QApplication::focusWidget(), "600000");
    EXPECT_EQ(code->text(), QStringLiteral("600000"));
    EXPECT_TRUE(spinUntil([&] { return !page->findChild<QLabel*>("stockNameText")->text().isEmpty(); }, 10s));
}
