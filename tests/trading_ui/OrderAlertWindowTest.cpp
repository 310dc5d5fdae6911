#include "trading/ui/OrderAlertWindow.h"

#include "core/NotificationCenter.h"
#include "shell/ui/ScreenLocker.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/windows/SessionNotifications.h"
#include "support_gui/OverTheLock.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextLayout>
#include <QTimer>
#include <QtMath>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

struct Page : IDoConfigOrder {
    int confirmed = 0;
    int type = -1;
    OrderParam record = OrderParam::stockInfo({}, {}, {}, {}, {}, {});
    bool doConfigOrderForStockTrade(int t, const OrderParam& r) override
    {
        ++confirmed;
        type = t;
        record = r;
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
        // Where the customer dragged it: busy, it keeps its place and size.
        w->move(w->pos() + QPoint(40, 30));
        const QRect placed = w->geometry();
        QTest::keyClick(w, Qt::Key_Return);
        QTest::keyClick(w, Qt::Key_Return, Qt::NoModifier);
        EXPECT_EQ(w->geometry(), placed);
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
            if (!row.pixels)
                EXPECT_EQ(button.height(), 30);
            else
                EXPECT_GE(button.height(), w->findChild<QPushButton*>("confirmButton")->sizeHint().height());
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

namespace {

// Runs entry `n` (1 to 25) with texts as long as the customers' own.
void runEntry(OrderAlertWindowController& d, QWidget* p, int n)
{
    const QString day = "20240531";
    switch (n) {
    case 1: d.runModalForCommonBuy(p, "A123456789", "600000", "浦发银行", "限价委托", "10.00", "100", QString("1")); break;
    case 2: d.runModalForCommonSell(p, "A123456789", "600000", "浦发银行", "限价委托", "10.00", "100", QString("1")); break;
    case 3: d.runModalForLGSell(p, "H123456789", "00700", "腾讯控股", "380.20", "50"); break;
    case 4: d.runModalForExerciseWarrant(p, "A123456789", "580001", "宝钢认购权证", "4.50", "1000"); break;
    case 5: d.runModalForNewStockBuy(p, "A123456789", "730001", "新股申购", "12.50", "1000"); break;
    case 6: d.runModalForCancelOrder(p, "A123456789", "600000", "浦发银行", "10.00", "100", "买入", "12345"); break;
    case 7: d.runModalForCancelOrders(p); break;
    case 8: d.runModalForHGTVote(p, "H123456789", "00700", "腾讯控股", "2024001", "1", "100", "0", "0"); break;
    case 9: d.runModalForHGTOtherVote(p, "H123456789", "00700", "腾讯控股", 1, "要约收购", "100", "001"); break;
    case 10: d.runModalForCancelHGTOtherVote(p, "H123456789", "00700", "要约收购", 1, "100", "001"); break;
    case 11: d.runModalForCancelOtherVotes(p); break;
    case 12: d.runModalForSubscribeOpdFund(p, "稳健增长混合", "000001", "10000.00"); break;
    case 13: d.runModalForPurchaseOpdFund(p, "稳健增长混合", "000001", "10000.00"); break;
    case 14: d.runModalForRedeemOpdFund(p, "稳健增长混合", "000001", "1000.00", "顺延赎回"); break;
    case 15: d.runModalForTransformOpdFund(p, "稳健增长混合", "000001", "1000.00", "000002", "价值精选股票"); break;
    case 16: d.runModalForBonusSetting(p, "稳健增长混合", "000001", "红利再投资"); break;
    case 17:
        d.runModalForInvestOntime(p, "000001", "稳健增长混合", "前端收费", "每月", "15日", "扣款失败三次终止",
            "1000.00", day, "20250601", day);
        break;
    case 18: d.runModalForOpdFundCancelOrder(p, "稳健增长混合", "000001", "申购", "12345"); break;
    case 19: d.runModalForOpdFundCancelOrders(p); break;
    case 20:
        d.runModalForOpdFundInvestOntimeCancelOrder(p, "稳健增长混合", "000001", "每月", "15日", "1000.00",
            "扣款失败三次终止", day, "20250601", day, "12345");
        break;
    case 21: d.runModalForOpdFundInvestOntimeCancelOrders(p); break;
    case 22: d.runModalForFundTransferBankToStock(p, "工商银行", "人民币", "10000.00"); break;
    case 23: d.runModalForFundTransferStockToBank(p, "工商银行", "人民币", "10000.00"); break;
    case 24: d.runModalForFundInsideTransfer(p, "0101000001 主账户", "0101000002 辅账户", "人民币", "10000.00"); break;
    case 25: d.runModalForFundCollection(p, "0101000001"); break;
    default: ADD_FAILURE() << "no entry " << n;
    }
}

// A widget's text shows whole in it.
bool whole(const QWidget* w, const QSize& need)
{
    return w->width() >= need.width() && w->height() >= need.height();
}

} // namespace

// Every kind of confirmation: in the default font at the size and with the
// column frames it was drawn for; in the default and a 24-pixel font with
// every text whole (rows, question, message, button titles) and clear of
// the others.
TEST_F(OrderAlertWindowTest, EveryKindShowsWholeAtItsSizeAndInALargeFont)
{
    // Window height, names and values frames (x, y from the bottom, w, h).
    const struct {
        int n;
        int height;
        QRect names;
        QRect values;
    } kinds[] = {
        { 1, 300, { 0, 80, 165, 180 }, { 168, 80, 196, 180 } },
        { 2, 300, { 0, 80, 165, 180 }, { 168, 80, 196, 180 } },
        { 3, 300, { 0, 80, 165, 180 }, { 168, 80, 196, 180 } },
        { 4, 300, { 0, 80, 165, 180 }, { 168, 80, 196, 180 } },
        { 5, 280, { 0, 60, 165, 180 }, { 168, 60, 196, 180 } },
        { 6, 320, { 0, 80, 165, 200 }, { 168, 80, 196, 200 } },
        { 7, 160, {}, {} },
        { 8, 320, { 0, 100, 165, 180 }, { 168, 100, 196, 180 } },
        { 9, 300, { 0, 80, 165, 180 }, { 168, 80, 196, 180 } },
        { 10, 300, { 0, 70, 165, 180 }, { 168, 70, 196, 180 } },
        { 11, 160, {}, {} },
        { 12, 240, { 0, 40, 165, 180 }, { 168, 40, 196, 180 } },
        { 13, 240, { 0, 40, 165, 180 }, { 168, 40, 196, 180 } },
        { 14, 280, { 0, 60, 165, 180 }, { 168, 60, 196, 180 } },
        { 15, 280, { 0, 60, 165, 180 }, { 168, 60, 196, 180 } },
        { 16, 240, { 0, 40, 165, 180 }, { 168, 40, 196, 180 } },
        { 17, 400, { 0, 0, 165, 360 }, { 168, 0, 196, 360 } },
        { 18, 260, { 0, 40, 165, 180 }, { 168, 40, 196, 180 } },
        { 19, 160, {}, {} },
        { 20, 400, { 0, 0, 165, 360 }, { 168, 0, 196, 360 } },
        { 21, 160, {}, {} },
        { 22, 240, { 0, 40, 135, 180 }, { 138, 40, 224, 180 } },
        { 23, 240, { 0, 40, 135, 180 }, { 138, 40, 224, 180 } },
        { 24, 260, { 0, 40, 135, 180 }, { 138, 40, 224, 180 } },
        { 25, 220, {}, {} },
    };
    const QFont appFont = QApplication::font();
    for (const int pixels : { 0, 20, 24 }) {
        if (pixels) {
            QFont large = appFont;
            large.setPixelSize(pixels);
            QApplication::setFont(large);
        }
        for (const auto& kind : kinds) {
            SCOPED_TRACE(testing::Message() << "entry " << kind.n << " at " << pixels);
            bool seen = false;
            whenShown([&](OrderAlertWindow* w, OrderAlertWindowController& c) {
                seen = true;
                if (!w)
                    return ADD_FAILURE() << "no window";
                auto* names = w->findChild<QLabel*>("titleText");
                auto* values = w->findChild<QLabel*>("contentText");
                auto* tip = w->findChild<QLabel*>("tipText");
                auto* warning = w->findChild<QLabel*>("warningText");
                auto* confirm = w->findChild<QPushButton*>("confirmButton");
                auto* cancel = w->findChild<QPushButton*>("cancelButton");
                if (!pixels) {
                    EXPECT_EQ(w->size(), QSize(362, kind.height));
                    // A column whose rows need more height than its frame
                    // reaches lower, over the space above the question.
                    const int need = std::max(names->sizeHint().height(), values->sizeHint().height());
                    const auto fromTop = [&](const QRect& r) {
                        return QRect(
                            r.x(), kind.height - r.y() - r.height(), r.width(), std::max(r.height(), need));
                    };
                    if (kind.names.isValid()) {
                        EXPECT_EQ(names->geometry(), fromTop(kind.names));
                        EXPECT_EQ(values->geometry(), fromTop(kind.values));
                    }
                }
                QList<QWidget*> shown;
                for (QLabel* label : { names, values, tip, warning }) {
                    if (!label->isVisible() || label->text().isEmpty())
                        continue;
                    SCOPED_TRACE(label->objectName().toStdString());
                    shown.append(label);
                    const QSize need = label->wordWrap()
                        ? QSize(label->width(), label->heightForWidth(label->width()))
                        : label->sizeHint();
                    // The columns are top-aligned: their texts end there.
                    const QRect text = label == names || label == values
                        ? QRect(label->geometry().topLeft(), need)
                        : label->geometry();
                    EXPECT_TRUE(whole(label, need)) << label->width() << "x" << label->height();
                    EXPECT_TRUE(w->rect().contains(text));
                    if (label == values)
                        EXPECT_LT(text.right() + 10, w->width()); // a margin on the right
                    for (QPushButton* button : { confirm, cancel })
                        EXPECT_LT(text.bottom(), button->geometry().top());
                    if (label != tip && tip->isVisible())
                        EXPECT_LT(text.bottom(), tip->geometry().top());
                }
                for (QPushButton* button : { confirm, cancel }) {
                    SCOPED_TRACE(button->objectName().toStdString());
                    EXPECT_GE(button->width(), button->sizeHint().width());
                    // The title whole from top to bottom too; the roomy
                    // height of the default font stays as it is.
                    EXPECT_GE(button->height(), button->sizeHint().height());
                    if (!pixels)
                        EXPECT_EQ(button->height(), 30);
                    EXPECT_TRUE(w->rect().contains(button->geometry()));
                }
                EXPECT_LT(cancel->geometry().right(), confirm->geometry().left());
                c.cancelButtonClicked();
            });
            OrderAlertWindowController dialog(&page);
            runEntry(dialog, &parent, kind.n);
            EXPECT_TRUE(seen);
        }
    }
    QApplication::setFont(appFont);
}

namespace {

struct InkRow {
    int top;
    int bottom;
    int right;
};

// The rows of dark ink in a widget as drawn, top to bottom.
std::vector<InkRow> inkRows(QWidget* widget)
{
    const QImage image = widget->grab().toImage();
    std::vector<InkRow> rows;
    bool inRow = false;
    for (int y = 0; y < image.height(); ++y) {
        int right = -1;
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128)
                right = x;
        }
        if (right >= 0 && !inRow)
            rows.push_back({ y, y, right });
        else if (right >= 0)
            rows.back() = { rows.back().top, y, std::max(rows.back().right, right) };
        inRow = right >= 0;
    }
    return rows;
}

} // namespace

// The names end in ": " on every row, the last one too: every row ends at
// the same right edge and the rows keep one pitch, beside their values.
TEST_F(OrderAlertWindowTest, TheLastNameLinesUpWithTheRowsAbove)
{
    const QFont appFont = QApplication::font();
    for (const int pixels : { 0, 16, 18, 20, 24 }) {
        for (const int entry : { 1, 17 }) {
            SCOPED_TRACE(testing::Message() << "entry " << entry << " at " << pixels);
            if (pixels) {
                QFont large = appFont;
                large.setPixelSize(pixels);
                QApplication::setFont(large);
            }
            bool seen = false;
            whenShown([&](OrderAlertWindow* w, OrderAlertWindowController& c) {
                seen = true;
                if (!w)
                    return ADD_FAILURE() << "no window";
                const std::vector<InkRow> names = inkRows(w->findChild<QLabel*>("titleText"));
                const std::vector<InkRow> values = inkRows(w->findChild<QLabel*>("contentText"));
                ASSERT_EQ(names.size(), entry == 1 ? 7u : 11u);
                ASSERT_EQ(values.size(), names.size());
                // Measured at the rows' feet: the glyphs' tops differ more.
                const int pitch = names[1].bottom - names[0].bottom;
                for (std::size_t i = 1; i < names.size(); ++i) {
                    SCOPED_TRACE(i);
                    EXPECT_NEAR(names[i].right, names[0].right, 1);
                    EXPECT_NEAR(names[i].bottom - names[i - 1].bottom, pitch, 1);
                    // Beside its value, on one row: the two share their
                    // vertical centre (within a pixel, as glyphs differ).
                    EXPECT_NEAR(names[i].top + names[i].bottom, values[i].top + values[i].bottom, 2);
                }
                c.cancelButtonClicked();
            });
            OrderAlertWindowController dialog(&page);
            runEntry(dialog, &parent, entry);
            QApplication::setFont(appFont);
            EXPECT_TRUE(seen);
        }
    }
}

// A second entry while a dialog is shown changes nothing: the dialog keeps
// what it shows, and confirming hands over the record shown, whichever
// entry came second.
TEST_F(OrderAlertWindowTest, ASecondEntryWhileOneIsShownChangesNothing)
{
    for (int second = 1; second <= 25; ++second) {
        SCOPED_TRACE(testing::Message() << "second entry " << second);
        Page page;
        bool seen = false;
        whenShown([&](OrderAlertWindow* w, OrderAlertWindowController& c) {
            seen = true;
            if (!w)
                return ADD_FAILURE() << "no window";
            const QString shown = w->findChild<QLabel*>("contentText")->text();
            OrderAlertWindowController::setShownHookForTesting([](OrderAlertWindowController&) {
                ADD_FAILURE() << "a second dialog";
            });
            runEntry(c, &parent, second);
            EXPECT_TRUE(c.isShown());
            EXPECT_EQ(c.theType(), 0);
            EXPECT_EQ(w->windowTitle(), "委托确认提示");
            EXPECT_EQ(w->findChild<QLabel*>("contentText")->text(), shown);
            c.confirmButtonClicked();
            c.stopRunModal();
        });
        OrderAlertWindowController dialog(&page);
        dialog.runModalForCommonBuy(&parent, "A1", "600000", "浦发", "限价委托", "10.00", "100", QString("1"));
        EXPECT_TRUE(seen);
        EXPECT_EQ(page.confirmed, 1);
        EXPECT_EQ(page.type, 0);
        const OrderParam& r = page.record;
        EXPECT_EQ(QStringList({ r.securityId(), r.stockCode(), r.stockName(), r.orderType(), r.price(),
                      r.quantity() }).join(' ').toStdString(),
            "A1 600000 浦发 限价委托 10.00 100");
    }
}

// Where the dialog opens and how its rows stand: centred over the page's
// window; the rows 5 points apart beyond the tallest line of either column;
// a column with more rows than the other (a value the server sent over two
// lines) whole, down to its last row.
TEST_F(OrderAlertWindowTest, CentredOverItsWindowWithRowsFivePointsApart)
{
    parent.setGeometry(40, 30, 520, 420);
    parent.show();
    const QFont appFont = QApplication::font();
    QFont large = appFont;
    large.setPixelSize(24);
    QApplication::setFont(large);
    bool seen = false;
    whenShown([&](OrderAlertWindow* w, OrderAlertWindowController& c) {
        seen = true;
        if (!w)
            return ADD_FAILURE() << "no window";
        EXPECT_NEAR(w->frameGeometry().center().x(), parent.frameGeometry().center().x(), 1);
        EXPECT_NEAR(w->frameGeometry().center().y(), parent.frameGeometry().center().y(), 1);

        auto* names = w->findChild<QLabel*>("titleText");
        auto* values = w->findChild<QLabel*>("contentText");
        qreal tallest = QFontMetricsF(names->font()).height();
        for (const QString& text : { c.titleText(), c.contentText() }) {
            for (const QString& line : text.split('\n')) {
                QTextLayout layout(line, names->font());
                layout.beginLayout();
                tallest = std::max(tallest, layout.createLine().height());
                layout.endLayout();
            }
        }
        const std::vector<InkRow> rows = inkRows(names);
        ASSERT_GE(rows.size(), 2u);
        EXPECT_NEAR(rows[1].bottom - rows[0].bottom, qCeil(tallest) + 5, 1);

        const std::vector<InkRow> shown = inkRows(values);
        EXPECT_EQ(shown.size(), rows.size() + 1); // the name over two lines
        EXPECT_GE(values->height(), values->sizeHint().height());
        EXPECT_LT(values->geometry().top() + values->sizeHint().height(),
            w->findChild<QLabel*>("tipText")->geometry().top());
        c.cancelButtonClicked();
    });
    OrderAlertWindowController dialog(&page);
    dialog.runModalForCommonBuy(
        &parent, "A123456789", "600000", "浦发\n银行", "限价委托", "10.00", "100", QString("1"));
    QApplication::setFont(appFont);
    EXPECT_TRUE(seen);
}

// Every entry (orders, cancels, votes, fund orders, transfers) asked for
// while the screen is locked: nothing shows over the lock, its run ends at
// once as cancelled and nothing is confirmed, whether the lock then ends in
// an unlock or in 退出; after an unlock the next entry shows as before.
TEST_F(OrderAlertWindowTest, AnEntryUnderTheLockEndsAtOnceAsCancelled)
{
    struct AnyPage : IDoConfigOrder {
        int confirmed = 0;
        bool doConfigOrderForStockTrade(int, const OrderParam&) override { return ++confirmed; }
        bool doConfigOrderForHKVote(int, const OrderParam&) override { return ++confirmed; }
        bool doConfigOrderForHKOtherVote(int, const OrderParam&) override { return ++confirmed; }
        bool doConfigOrder(int) override { return ++confirmed; }
    };
    parent.show();
    for (int n = 1; n <= 25; ++n) {
        for (const bool unlock : { true, false }) {
            SCOPED_TRACE(testing::Message() << "entry " << n << (unlock ? ", unlocked" : ", logged out"));
            ScreenLocker locker;
            const testsupport::OverTheLock over(
                [&] { return locker.controller().isLocked(); }, [&] { return locker.unlockWindow(); });
            NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
            AnyPage page;
            // One a customer could see is confirmed, as one would.
            bool seen = false;
            whenShown([&](OrderAlertWindow* w, OrderAlertWindowController& c) {
                seen = w != nullptr;
                if (seen || c.isShown())
                    c.confirmButtonClicked();
                c.stopRunModal();
            });
            OrderAlertWindowController dialog(&page);
            runEntry(dialog, &parent, n);
            EXPECT_FALSE(dialog.isShown());
            EXPECT_TRUE(over.shown().isEmpty()) << qPrintable(over.shown().join(u','));
            EXPECT_FALSE(seen);
            EXPECT_EQ(page.confirmed, 0);

            ASSERT_TRUE(locker.unlockWindow());
            testsupport::endTheLock(locker, unlock);
            ASSERT_FALSE(locker.controller().isLocked());
            EXPECT_EQ(shownWindow(), nullptr);
            EXPECT_EQ(page.confirmed, 0);
            if (!unlock)
                continue;
            whenShown([&](OrderAlertWindow* w, OrderAlertWindowController& c) {
                seen = w != nullptr;
                c.cancelButtonClicked();
            });
            runEntry(dialog, &parent, n);
            EXPECT_TRUE(seen);
            EXPECT_EQ(page.confirmed, 0);
        }
    }
}
