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

// Every row whole, in the default font (in the frames it was drawn for) and
// in a larger one, clear of the question and the buttons: the customer sees
// the quantity before confirming.
TEST_F(OrderAlertWindowTest, EveryRowShowsWholeAlsoInALargerFont)
{
    enum class Entry { Buy, InvestPlan };
    const struct {
        int pixels; // 0: the application's font
        Entry entry;
        QString lastRow;
    } rows[] = {
        { 0, Entry::Buy, "委托数量" },
        { 20, Entry::Buy, "委托数量" },
        { 0, Entry::InvestPlan, "申请日期" },
        { 20, Entry::InvestPlan, "申请日期" },
    };
    const QFont appFont = QApplication::font();
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.pixels << " " << row.lastRow.toStdString());
        if (row.pixels) {
            QFont large = appFont;
            large.setPixelSize(row.pixels);
            QApplication::setFont(large);
        }
        bool seen = false;
        whenShown([&](OrderAlertWindow* w, OrderAlertWindowController& c) {
            seen = true;
            if (!w)
                return ADD_FAILURE() << "no window";
            auto* names = w->findChild<QLabel*>("titleText");
            auto* values = w->findChild<QLabel*>("contentText");
            const QRect tip = w->findChild<QLabel*>("tipText")->geometry();
            const QRect button = w->findChild<QPushButton*>("confirmButton")->geometry();
            if (!row.pixels && row.entry == Entry::Buy) {
                EXPECT_EQ(w->size(), QSize(362, 300));
                EXPECT_EQ(names->geometry(), QRect(0, 40, 165, 180));
                EXPECT_EQ(values->geometry(), QRect(168, 40, 196, 180));
                EXPECT_EQ(tip, QRect(10, 225, 342, 20));
            }
            EXPECT_TRUE(names->text().contains(row.lastRow));
            for (QLabel* label : { names, values }) {
                SCOPED_TRACE(label->objectName().toStdString());
                // The texts are top-aligned: this is where they end.
                const QRect text(label->geometry().topLeft(), label->sizeHint());
                EXPECT_TRUE(label->geometry().contains(text));
                EXPECT_TRUE(w->rect().contains(text));
                EXPECT_LT(text.right() + 10, w->width()); // a margin on the right
                EXPECT_LT(text.bottom(), tip.top());
                EXPECT_LT(text.bottom(), button.top());
            }
            EXPECT_GE(tip.height(), w->findChild<QLabel*>("tipText")->sizeHint().height());
            EXPECT_LE(tip.bottom(), button.top());
            EXPECT_EQ(button.height(), 30);
            c.cancelButtonClicked();
        });
        OrderAlertWindowController dialog(&page);
        if (row.entry == Entry::Buy)
            dialog.runModalForCommonBuy(&parent, "A123456789", "600000", "浦发银行", "对方最优价格委托",
                "10.00", "100", QString("1"));
        else
            dialog.runModalForInvestOntime(&parent, "000001", "稳健增长混合型证券投资基金", "前端收费",
                "每月", "15日", "扣款失败三次终止", "1000.00", "20240601", "20250601", "20240531");
        QApplication::setFont(appFont);
        EXPECT_TRUE(seen);
    }
}

} // namespace
