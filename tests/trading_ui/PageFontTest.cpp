// The buy page in the whole main window draws its labels, fields and pop-ups
// in one font, the page's, from the first show through a lookup, an order's
// answer box and a screen lock: also where the desktop's theme gives labels
// and pop-ups a font of their own.
#include "TradeWindowRig.h"
#include "core/NotificationCenter.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/windows/SessionNotifications.h"

#include <QAbstractItemView>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <vector>

namespace {

using namespace tradewindowtest;

// What a theme with small label and pop-up fonts gives those classes.
constexpr const char* kThemedClasses[] = { "QLabel", "QComboBox" };

class PageFontTest : public TradeWindowTest {
protected:
    void SetUp() override
    {
        TradeWindowTest::SetUp();
        for (const char* name : kThemedClasses) {
            kept.push_back(QApplication::font(name));
            QApplication::setFont(QFont(QApplication::font().family(), 6), name);
        }
    }
    void TearDown() override
    {
        for (size_t i = 0; i < kept.size(); ++i)
            QApplication::setFont(kept[i], kThemedClasses[i]);
        TradeWindowTest::TearDown();
    }
    // The labels, fields and pop-ups (with their lists) whose font is not the page's.
    static QStringList otherFonts(QWidget* page)
    {
        const QFontInfo one(page->font());
        QStringList other;
        auto check = [&](const QWidget* w, const QString& name) {
            const QFontInfo f = w->fontInfo();
            if (f.pixelSize() != one.pixelSize() || f.family() != one.family())
                other << QStringLiteral("%1 %2px").arg(name).arg(f.pixelSize());
        };
        for (QWidget* w : page->findChildren<QWidget*>()) {
            if (w->parentWidget() && w->parentWidget()->objectName() == QLatin1String("quoteView"))
                continue;
            const QString name = QString::fromLatin1(w->metaObject()->className()) + u'/' + w->objectName();
            if (qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w))
                check(w, name);
            if (auto* box = qobject_cast<QComboBox*>(w)) {
                check(w, name);
                check(box->view(), name + QStringLiteral(" list"));
            }
        }
        return other;
    }
    std::vector<QFont> kept;
};

} // namespace

TEST_F(PageFontTest, TheBuyPageKeepsOneFontThroughLookupAnswerAndUnlock)
{
    logInThroughTheLoginWindow();
    fetchMenu();
    openWindow(MainWindow::kDefaultSize);
    QWidget* page = clickEntry(QStringLiteral("买入"));
    ASSERT_TRUE(page);
    QApplication::processEvents();
    EXPECT_EQ(otherFonts(page), QStringList()) << "fresh";

    auto* code = page->findChild<QLineEdit*>("stockCodeText");
    code->setFocus();
    QTest::keyClicks(code, "600000");
    ASSERT_TRUE(spinUntil([&] { return !page->findChild<QLabel*>("maxAmountText")->text().isEmpty(); }, 10s));
    QApplication::processEvents();
    EXPECT_EQ(otherFonts(page), QStringList()) << "looked up";

    QTest::keyClicks(page->findChild<QLineEdit*>("amountText"), "100");
    OrderAlertWindowController::setShownHookForTesting([](OrderAlertWindowController& c) {
        QTimer::singleShot(0, &c, [] {
            OrderAlertWindow* dialog = shown<OrderAlertWindow>();
            ASSERT_TRUE(dialog);
            QTest::mouseClick(dialog->findChild<QPushButton*>("confirmButton"), Qt::LeftButton);
        });
    });
    page->findChild<QPushButton*>("orderButton")->click();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(spinUntil([&] { return (box = shown<QMessageBox>()) != nullptr; }, 10s));
    box->done(0);
    QApplication::processEvents();
    EXPECT_EQ(otherFonts(page), QStringList()) << "after the answer";

    NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
    ScreenLocker& locker = window->screenLocker();
    ASSERT_TRUE(spinUntil([&] { return locker.unlockWindow() != nullptr; }));
    locker.unlockWindow()->controller().identifyLogin(nullptr, QString(), RDOAccount());
    ASSERT_TRUE(spinUntil([&] { return !locker.unlockWindow(); }));
    QApplication::processEvents();
    EXPECT_EQ(otherFonts(page), QStringList()) << "after the unlock";
}
