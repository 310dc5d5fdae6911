// Message boxes and the window pattern under the offscreen platform.
#include "core/NotificationCenter.h"
#include "shell/ui/AlertWindow.h"
#include "shell/ui/Buttons.h"
#include "shell/ui/RunAlert.h"
#include "shell/ui/TextGeometry.h"
#include "shell/ui/Window.h"
#include "shell/windows/SessionNotifications.h"
#include "support/Spin.h"
#include "support_gui/ModalGuard.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using testsupport::spinUntil;

namespace {

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        NotificationCenter::resetForTesting();
        parent.resize(600, 400);
        parent.show();
    }
    void TearDown() override { NotificationCenter::resetForTesting(); }
    QWidget parent;
};

TEST_F(MessageBoxTest, AHundredKilobyteServerTextKeepsTheBoxOnScreen)
{
    struct Case {
        const char* name;
        QString text;
    };
    const Case cases[] = {
        { "Chinese", QString(100 * 1024 / 3, u'错') },
        { "one word", QString(100 * 1024, u'x') },
        { "lines", QStringLiteral("第一行\n").repeated(100 * 1024 / 10) },
        { "words", QStringLiteral("error text ").repeated(100 * 1024 / 11) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int> answers;
        QPointer<QMessageBox> box
            = RunAlert::runAlertWithErrorMessageText(c.text, &parent, [&](int r) { answers.push_back(r); });
        ASSERT_TRUE(spinUntil([&] { return box->isVisible(); }));
        testsupport::spinFor(20ms);
        // The start of the text, cut visibly.
        QString shown = box->informativeText();
        EXPECT_TRUE(shown.endsWith(u'…'));
        shown.remove(QChar(0x200B));
        EXPECT_TRUE(c.text.startsWith(shown.chopped(1)));
        EXPECT_LE(shown.size(), RunAlert::kMaxTextLength + 1);

        const QRect screen = box->screen()->availableGeometry();
        EXPECT_LE(box->frameGeometry().height(), screen.height());
        EXPECT_LE(box->frameGeometry().width(), screen.width());
        ASSERT_EQ(box->buttons().size(), 1);
        QAbstractButton* button = box->buttons()[0];
        const QRect onScreen(button->mapToGlobal(QPoint(0, 0)), button->size());
        EXPECT_TRUE(screen.contains(onScreen)) << onScreen.y() << " " << screen.bottom();
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(answers, std::vector<int> { 1 });
        ASSERT_TRUE(spinUntil([&] { return box.isNull(); }));
    }
    // A short text is shown whole.
    EXPECT_EQ(RunAlert::fittingText(QStringLiteral("资金不足")), QStringLiteral("资金不足"));
}

TEST_F(MessageBoxTest, AShortTextStaysOnOneLineAndALongOneWrapsAtAReadableWidth)
{
    struct Case {
        const char* name;
        QString text;
        bool wraps;
    };
    const Case cases[] = {
        { "an order number", QStringLiteral("委托申请已提交，序号为100001。"), false },
        { "a bare time-out", QStringLiteral("请求超时"), false },
        { "a long notice",
            QStringLiteral("您的风险承受能力等级与该产品的风险等级不匹配，请确认是否继续。").repeated(4),
            true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QPointer<QMessageBox> box = RunAlert::runAlertWithTipMessageText(c.text, &parent, nullptr);
        ASSERT_TRUE(spinUntil([&] { return box->isVisible(); }));
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
        ASSERT_TRUE(label);
        ASSERT_EQ(label->text(), c.text);
        // The lines the label lays the text out in at the width it was given
        // (the text has no line break: unbounded, it takes one line).
        const int lines
            = qRound(double(label->heightForWidth(label->width())) / label->heightForWidth(QWIDGETSIZE_MAX));
        const int han = label->fontMetrics().horizontalAdvance(QChar(0x4E2D));
        const int width = label->contentsRect().width();
        if (c.wraps) {
            EXPECT_GT(lines, 1);
            // Lines of the readable length, neither longer nor much shorter.
            EXPECT_LE(width, han * RunAlert::kLineLength);
            EXPECT_GE(width, han * (RunAlert::kLineLength - 1));
        } else {
            EXPECT_EQ(lines, 1) << width;
            // Never as narrow as a few characters: the title bar keeps room
            // for the title.
            EXPECT_GE(width, han * RunAlert::kMinLineLength);
        }
        box->done(0);
        ASSERT_TRUE(spinUntil([&] { return box.isNull(); }));
    }
}

TEST_F(MessageBoxTest, ATipBoxClosesAtALockWhileAnErrorBoxStays)
{
    std::vector<int> tipAnswers;
    std::vector<int> errorAnswers;
    QPointer<QMessageBox> tip
        = RunAlert::runAlertWithTipMessageText("会话即将结束", &parent, [&](int r) { tipAnswers.push_back(r); });
    QPointer<QMessageBox> error
        = RunAlert::runAlertWithErrorMessageText("密码错误", &parent, [&](int r) { errorAnswers.push_back(r); });
    EXPECT_EQ(tip->windowTitle(), QStringLiteral("温馨提示"));
    EXPECT_EQ(error->windowTitle(), QStringLiteral("错误"));
    EXPECT_EQ(error->informativeText(), QStringLiteral("密码错误"));
    EXPECT_EQ(error->windowModality(), Qt::WindowModal);
    ASSERT_EQ(error->buttons().size(), 1);
    EXPECT_EQ(error->buttons()[0]->text(), QStringLiteral("确认"));

    NotificationCenter::getInstance()->postNotification(sessionnotify::kCloseMessageBoxes);
    EXPECT_EQ(tipAnswers, std::vector<int> { 0 });
    ASSERT_TRUE(spinUntil([&] { return tip.isNull(); }));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->isVisible());
    EXPECT_TRUE(errorAnswers.empty());

    error->buttons()[0]->click();
    EXPECT_EQ(errorAnswers, std::vector<int> { 1 });
    // A closed box observes nothing any more.
    NotificationCenter::getInstance()->postNotification(sessionnotify::kCloseMessageBoxes);
    EXPECT_EQ(tipAnswers.size(), 1u);
}

TEST_F(MessageBoxTest, ButtonsAnswerOneZeroMinusOne)
{
    struct Case {
        QString alternate, other;
        int click;
        int answer;
    };
    const Case cases[] = { { "", "", 0, 1 }, { "取消", "", 1, 0 }, { "取消", "稍后", 2, -1 } };
    for (const Case& c : cases) {
        std::vector<int> answers;
        QMessageBox* box = RunAlert::runAlertWithMessageText(
            "警告", "确认", c.alternate, c.other, "<b>原样显示</b>", &parent, [&](int r) { answers.push_back(r); });
        EXPECT_EQ(box->buttons().size(), 1 + !c.alternate.isEmpty() + !c.other.isEmpty());
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        QList<QAbstractButton*> buttons = box->buttons();
        for (QAbstractButton* b : buttons)
            if ((c.click == 0 && b->text() == "确认") || (c.click == 1 && b->text() == "取消")
                || (c.click == 2 && b->text() == "稍后"))
                b->click();
        EXPECT_EQ(answers, std::vector<int> { c.answer });
    }
}

TEST_F(MessageBoxTest, OneWindowOfAKindCentredAndDetachedWhenClosed)
{
    ui::WindowSlot<ui::Window> slot;
    int made = 0;
    const auto make = [&] {
        ++made;
        auto* window = new ui::Window(&parent);
        window->resize(200, 100);
        return window;
    };
    ui::Window* first = slot.open(make);
    EXPECT_EQ(slot.open(make), first);
    EXPECT_EQ(made, 1);
    EXPECT_TRUE(first->isVisible());
    const QRect p = parent.frameGeometry();
    const QRect w = first->frameGeometry();
    EXPECT_NEAR(w.center().x(), p.center().x(), 1);
    EXPECT_NEAR(w.center().y(), p.center().y(), 1);

    first->close();
    ASSERT_TRUE(spinUntil([&] { return !slot.isOpen(); }));
    EXPECT_TRUE(parent.findChildren<ui::Window*>().isEmpty());
    slot.open(make);
    EXPECT_EQ(made, 2);
    slot.close();
}

TEST_F(MessageBoxTest, StoppingTheModalRunRejects)
{
    testsupport::ExpectModalDialogs answeredHere;
    auto* window = new ui::Window(&parent);
    QTimer::singleShot(0, [window] {
        window->endModal(1); // accepted...
        ui::stopModal(); // ...then the run is stopped from outside: rejected
    });
    EXPECT_EQ(window->runModal(), 0);
    EXPECT_EQ(ui::modalDepth(), 0);

    QTimer::singleShot(0, [window] { window->endModal(1); });
    EXPECT_EQ(window->runModal(), 1);
    QTimer::singleShot(0, [window] { window->close(); });
    EXPECT_EQ(window->runModal(), 0);
}

// A modal run that no test answers fails the test and ends, rather than
// waiting for the test runner's time-out.
TEST_F(MessageBoxTest, AModalRunNoTestAnswersFailsAtOnce)
{
    auto* window = new ui::Window(&parent);
    int code = -1;
    EXPECT_NONFATAL_FAILURE(code = window->runModal(), "a modal dialog the test did not expect");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ui::modalDepth(), 0);
    window->close();
}

TEST_F(MessageBoxTest, AlertWindowAnswersAndClosesAtALock)
{
    testsupport::ExpectModalDialogs answeredHere;
    const auto run = [&](std::function<void(QWidget*)> act) {
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == "alertWindow" && w->isVisible())
                    act(w);
        });
        return AlertWindow::runModalForParentWindow(&parent, QStringLiteral("提示"), QStringLiteral("确定退出？"));
    };
    EXPECT_EQ(run([](QWidget* w) { w->findChild<QPushButton*>("confirmButton")->click(); }), 1);
    EXPECT_EQ(run([](QWidget* w) { w->findChild<QPushButton*>("cancelButton")->click(); }), 0);
    EXPECT_EQ(run([](QWidget*) { NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen); }), 0);
    EXPECT_EQ(ui::modalDepth(), 0);
}

TEST_F(MessageBoxTest, HoverFrameAndTextMeasures)
{
    EXPECT_EQ(ColorRectButton::trackingRect(QRectF(0, 0, 80, 30)), QRectF(1, 5, 78, 16));
    ColorRectButton button(QStringLiteral("账户管理"));
    EXPECT_EQ(button.boundsColor(), QColor(Qt::white));
    EXPECT_FALSE(button.isEntered());

    QFont font;
    font.setPixelSize(15);
    EXPECT_EQ(textgeometry::sizeForWidth(QString(), 100, 100, font), QSizeF());
    const double one = textgeometry::heightForWidth(QStringLiteral("第一行"), 464, font);
    EXPECT_GT(one, 0.0);
    EXPECT_EQ(textgeometry::heightForWidth(QStringLiteral("第一行\n"), 464, font), one);
    EXPECT_GT(textgeometry::heightForWidth(QStringLiteral("第一行\n第二行"), 464, font), one);
}

} // namespace
