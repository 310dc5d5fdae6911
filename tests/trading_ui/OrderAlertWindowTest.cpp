#include "core/NotificationCenter.h"
#include "trading/ui/OrderAlertWindow.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct Page : IDoConfigOrder {
    int confirmed = 0;
    bool doConfigOrderForStockTrade(int, const OrderParam&) override
    {
        ++confirmed;
        return true;
    }
};

OrderAlertWindow* shownWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<OrderAlertWindow*>(w); window && window->isVisible())
            return window;
    }
    return nullptr;
}

class OrderAlertWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        NotificationCenter::resetForTesting();
        registerOrderAlertWindow();
    }
    void TearDown() override
    {
        OrderAlertWindowController::setShownHookForTesting({});
        OrderAlertWindowController::setViewFactory({});
    }
    void whenShown(std::function<void(OrderAlertWindow*, OrderAlertWindowController&)> action)
    {
        OrderAlertWindowController::setShownHookForTesting([action](OrderAlertWindowController& c) {
            QTimer::singleShot(0, &c, [&c, action] { action(shownWindow(), c); });
        });
    }
    Page page;
    QWidget parent;
};

// What the user sees, Enter held down, and Esc: one confirmation, buttons
// dead and the progress spinning while busy, Esc no use until it ends.
TEST_F(OrderAlertWindowTest, EnterConfirmsOnceAndEscCancelsOnlyWhenIdle)
{
    OrderAlertWindowController dialog(&page);
    whenShown([](OrderAlertWindow* w, OrderAlertWindowController& c) {
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->windowTitle(), "委托确认提示");
        EXPECT_EQ(w->findChild<QPushButton*>("confirmButton")->text(), "买入");
        EXPECT_TRUE(w->findChild<QLabel*>("contentText")->text().contains("市价委托"));
        EXPECT_TRUE(w->findChild<QProgressBar*>("orderProgress")->isHidden());
        // Roomy targets, whatever the style's own height.
        EXPECT_EQ(w->findChild<QPushButton*>("confirmButton")->height(), 30);
        EXPECT_EQ(w->findChild<QPushButton*>("cancelButton")->height(), 30);
        QTest::keyClick(w, Qt::Key_Return);
        QTest::keyClick(w, Qt::Key_Return, Qt::NoModifier);
        EXPECT_FALSE(w->findChild<QPushButton*>("confirmButton")->isEnabled());
        EXPECT_FALSE(w->findChild<QPushButton*>("cancelButton")->isEnabled());
        EXPECT_FALSE(w->findChild<QProgressBar*>("orderProgress")->isHidden());
        QTest::keyClick(w, Qt::Key_Escape);
        EXPECT_TRUE(w->isVisible());
        c.stopRunModal();
        EXPECT_FALSE(w->isVisible());
    });
    dialog.runModalForCommonBuy(&parent, "A1", "600000", "浦发", "对方最优价格委托", "10.00", "100", QString("1"));
    EXPECT_EQ(page.confirmed, 1);

    whenShown([](OrderAlertWindow* w, OrderAlertWindowController&) {
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->findChild<QPushButton*>("confirmButton")->isEnabled());
        EXPECT_FALSE(w->findChild<QLabel*>("titleText")->isVisible());
        EXPECT_EQ(w->findChild<QLabel*>("warningText")->text(), "\n确定要撤销选中的所有委托？");
        QTest::keyClick(w, Qt::Key_Escape);
    });
    dialog.runModalForCancelOrders(&parent);
    EXPECT_FALSE(dialog.isShown());
    EXPECT_EQ(page.confirmed, 1);
}

} // namespace
