// Each window opens under the offscreen platform and its controls reach its
// controller.
#include "shell/WindowTestRig.h"
#include "shell/pages/MenuItemViewController.h"
#include "shell/ui/AccountWindow.h"
#include "shell/ui/LastLoginInfoWindow.h"
#include "shell/ui/LockScreenWindow.h"
#include "shell/ui/LoginPanel.h"
#include "shell/ui/LoginView.h"
#include "shell/ui/LoginWindow.h"
#include "shell/ui/ScreenLocker.h"
#include "shell/ui/SystemMessageWindow.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/windows/SessionNotifications.h"
#include "shell/windows/UserSettingWindowController.h"
#include "support_gui/ColumnCheck.h"
#include "support_gui/ModalGuard.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QWindow>
#include <vector>

using namespace logintest;
using namespace windowtest;
using testsupport::spinUntil;

namespace {

template <class W> W* child(QWidget* window, const char* name)
{
    W* found = window->findChild<W*>(QString::fromLatin1(name));
    EXPECT_TRUE(found) << name;
    return found;
}

QMessageBox* openBox()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            return box;
    return nullptr;
}

// Whether text pixels reach the outermost rows or columns of the widget: a
// text its widget cuts.
bool inkOnTheEdge(QWidget* widget)
{
    const QImage image = widget->grab().toImage();
    const int ground = qGray(widget->palette().color(QPalette::Window).rgb());
    const auto ink = [&](int x, int y) { return std::abs(qGray(image.pixel(x, y)) - ground) > 80; };
    for (int x = 0; x < image.width(); ++x)
        if (ink(x, 0) || ink(x, image.height() - 1))
            return true;
    for (int y = 0; y < image.height(); ++y)
        if (ink(0, y) || ink(image.width() - 1, y))
            return true;
    return false;
}

void closeBoxes()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w))
            box->done(0);
}

class WindowSmokeTest : public SimulatorFixture {
protected:
    void TearDown() override
    {
        closeBoxes();
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
        testsupport::spinFor(std::chrono::milliseconds(20));
        SimulatorFixture::TearDown();
    }
};

TEST_F(WindowSmokeTest, LoginWindowShowsTheFormAndForwardsIt)
{
    StartUp().run();
    auto* window = new LoginWindow();
    window->showOver();
    EXPECT_TRUE(window->coverWindow());
    EXPECT_TRUE(child<QProgressBar>(window, "launchProgress")->isVisible());
    EXPECT_FALSE(child<QPushButton>(window, "loginButton")->isEnabled());
    window->controller().appLoginComplete();
    ASSERT_TRUE(spinUntil([&] { return !window->coverWindow(); }));
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Lumora 网上交易 V")));

    LoginViewController& form = window->controller().loginViewController();
    auto* kind = child<QComboBox>(window, "accountTypeButton");
    EXPECT_EQ(kind->count(), 8);
    emit kind->activated(1);
    EXPECT_EQ(form.selectedAccountType(), 1);
    EXPECT_TRUE(child<QComboBox>(window, "businessDepartmentButton")->isVisibleTo(window));
    emit kind->activated(0);
    EXPECT_FALSE(child<QComboBox>(window, "businessDepartmentButton")->isVisibleTo(window));
    EXPECT_EQ(child<QLabel>(window, "accountNameLabel")->text(), QStringLiteral("客户代码："));

    // The captcha from the simulator shows on its button; a click asks again.
    auto* image = child<QPushButton>(window, "identifyingCodeImage");
    ASSERT_TRUE(spinUntil([&] { return !image->icon().isNull(); }, std::chrono::seconds(10)));
    EXPECT_EQ(image->toolTip(), QStringLiteral("看不清，点击更换"));

    // The token row follows the mode.
    auto* mode = child<QComboBox>(window, "securitySelectButton");
    emit mode->activated(1);
    EXPECT_TRUE(child<QLineEdit>(window, "securityModeQeltText")->isVisibleTo(window));
    emit mode->activated(0);
    EXPECT_FALSE(child<QLineEdit>(window, "securityModeQeltText")->isVisibleTo(window));

    // Typing reaches the controller; the password field refuses a character
    // past the longest trade password.
    auto* password = child<QLineEdit>(window, "passwordText");
    password->setFocus();
    for (const QChar c : QString(32, u'7')) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(password, &key);
    }
    EXPECT_EQ(form.text(LoginViewController::Field::Password), QString(31, u'7'));

    // Login with an empty account: the error box on the window.
    child<QPushButton>(window, "loginButton")->click();
    QMessageBox* box = openBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->informativeText(), QStringLiteral("请输入账号"));
    EXPECT_FALSE(child<QPushButton>(window, "loginButton")->isChecked());
    closeBoxes();

    // The account window: one of its kind.
    child<QPushButton>(window, "accountManagerButton")->click();
    AccountWindow* accounts = window->accountWindow();
    ASSERT_TRUE(accounts);
    child<QPushButton>(window, "accountManagerButton")->click();
    EXPECT_EQ(window->accountWindow(), accounts);
    child<QPushButton>(window, "switchSiteButtonButton")->click();
    EXPECT_TRUE(window->siteWindow());
}

TEST_F(WindowSmokeTest, EnterInTheLastFieldLogsInAndTheFormNeverMoves)
{
    StartUp().run();
    auto* window = new LoginWindow();
    window->showOver();
    auto* loginButton = child<QPushButton>(window, "loginButton");
    const auto place = [&] { return QRect(loginButton->mapTo(window, QPoint(0, 0)), window->size()); };
    const QRect launching = place();
    window->controller().appLoginComplete();
    ASSERT_TRUE(spinUntil([&] { return !window->coverWindow(); }));
    auto* image = child<QPushButton>(window, "identifyingCodeImage");
    ASSERT_TRUE(spinUntil([&] { return !image->icon().isNull(); }, std::chrono::seconds(10)));
    EXPECT_EQ(place(), launching);

    LoginViewController& form = window->controller().loginViewController();
    auto* account = child<QComboBox>(window, "accountText")->lineEdit();
    auto* password = child<QLineEdit>(window, "passwordText");
    auto* captcha = child<QLineEdit>(window, "identifyingCodeText");
    // Enter moves on through the fields and logs in from the last one.
    const auto typeAndEnter = [&](const QString& pass) {
        account->clear();
        QTest::keyClicks(account, QStringLiteral("010100000001"));
        QTest::keyClick(account, Qt::Key_Return);
        password->clear();
        QTest::keyClicks(password, pass);
        QTest::keyClick(password, Qt::Key_Return);
        captcha->clear();
        QTest::keyClicks(captcha, broker().lastCaptchaCode());
        QTest::keyClick(captcha, Qt::Key_Return);
    };
    const QString firstCaptcha = broker().lastCaptchaCode();
    typeAndEnter(QStringLiteral("222222"));
    EXPECT_TRUE(form.isBusy());
    ASSERT_TRUE(spinUntil([&] { return openBox() != nullptr; }, std::chrono::seconds(10)));
    EXPECT_EQ(sim.receivedCount(brokersim::kTradeLoginFunction), 1);
    closeBoxes();
    ASSERT_TRUE(spinUntil([&] { return !form.isBusy(); }));
    // The refused attempt leaves everything where it was.
    testsupport::spinFor(std::chrono::milliseconds(20));
    EXPECT_EQ(place(), launching);

    ASSERT_TRUE(spinUntil([&] { return broker().lastCaptchaCode() != firstCaptcha; }, std::chrono::seconds(10)));
    typeAndEnter(QStringLiteral("111111"));
    ASSERT_TRUE(spinUntil([&] { return form.loginSucceeded(); }, std::chrono::seconds(10)));
    EXPECT_EQ(sim.receivedCount(brokersim::kTradeLoginFunction), 2);
    EXPECT_EQ(place(), launching);
}

TEST_F(WindowSmokeTest, AccountWindowAddsAndDeletes)
{
    auto* window = new AccountWindow();
    window->showOver();
    auto* number = child<QLineEdit>(window, "customerNumberText");
    number->setText(QStringLiteral("010100000001"));
    child<QPushButton>(window, "addButton")->click();
    EXPECT_TRUE(number->text().isEmpty());
    auto* table = child<QTableView>(window, "accountInfoTableView");
    ASSERT_EQ(table->model()->rowCount(), 1);
    EXPECT_EQ(table->model()->index(0, 2).data().toString(), QStringLiteral("010100000001"));
    // The longest number and every title show whole.
    number->setText(QString(qsizetype(AccountWindowController::kMaxCustomerNumberLength), u'8'));
    child<QPushButton>(window, "addButton")->click();
    ASSERT_EQ(table->model()->rowCount(), 2);
    testsupport::spinFor(std::chrono::milliseconds(20));
    EXPECT_TRUE(testsupport::columnsShowTheirTexts(*table));
    table->selectRow(1);
    child<QPushButton>(window, "deleteButton")->click();
    table->selectRow(0);
    child<QPushButton>(window, "deleteButton")->click();
    EXPECT_EQ(table->model()->rowCount(), 0);
    // An empty field saves a bare record, listed nowhere, and no box opens.
    child<QPushButton>(window, "addButton")->click();
    EXPECT_FALSE(openBox());
    EXPECT_EQ(table->model()->rowCount(), 0);
    EXPECT_EQ(AccountManager::getInstance()->getSavedAccountsCount(), 1u);
    child<QPushButton>(window, "closeButton")->click();
}

TEST_F(WindowSmokeTest, UnlockWindowRunsModallyAndTheLockHidesTheSession)
{
    auto* session = new QWidget;
    session->setAttribute(Qt::WA_DeleteOnClose);
    session->show();
    ScreenLocker locker;
    NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
    EXPECT_FALSE(session->isVisible());
    ASSERT_TRUE(locker.unlockWindow());
    EXPECT_TRUE(locker.unlockWindow()->isVisible());
    EXPECT_EQ(locker.unlockWindow()->controller().configFlag(), 0u);
    // The exit button closes it with 0: the session is over.
    child<QPushButton>(locker.unlockWindow(), "exitButton")->click();
    EXPECT_FALSE(locker.controller().isLocked());
    EXPECT_FALSE(session->isVisible());

    // A confirmed unlock shows the session again.
    session->show();
    NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
    EXPECT_FALSE(session->isVisible());
    // A new unlock window: the earlier result does not carry over.
    EXPECT_EQ(locker.unlockWindow()->controller().configFlag(), 0u);
    NotificationCenter::getInstance()->postNotification(sessionnotify::kUnlockResult, QVariant(qulonglong(1)));
    EXPECT_TRUE(session->isVisible());

    // The settings check's modal run: the tip and the exit title; closing answers 0.
    testsupport::ExpectModalDialogs answeredHere;
    // The settings' tip keeps its words whole and shows every line in full.
    const QString settingsTip = UserSettingWindowController::protectTip();
    auto* unlock = new UnlockScreenWindow({}, session);
    QTimer::singleShot(0, [unlock] {
        EXPECT_EQ(unlock->findChild<QPushButton*>("exitButton")->text(), QStringLiteral("关闭"));
        auto* tip = unlock->findChild<QLabel*>("tipLabel");
        EXPECT_EQ(tip->text(),
            QStringLiteral("提示：关闭账户保护开关，需先对账户解锁，\n请输入当前账户的交易密码并点击［解锁］按钮。"));
        EXPECT_LE(tip->sizeHint().width(), tip->width());
        EXPECT_LE(tip->sizeHint().height(), tip->height());
        unlock->findChild<QPushButton*>("exitButton")->click();
    });
    EXPECT_EQ(unlock->runModal(settingsTip, QStringLiteral("关闭")), 0);

    struct Case {
        const char* tip;
        const char* shown;
    };
    const Case tips[] = {
        { "请先解锁", "请先解锁" },
        { "第一句，第二\n句", "第一句，\n第二句" }, // back to the clause's end
        { "没有标点的一\n句", "没有标点的一句" }, // or gone
        { "第一句，\n第二句", "第一句，\n第二句" }, // a break between clauses stays
        { "one\ntwo", "one\ntwo" }, // parts two words
        { "交易\n2", "交易\n2" },
        { "\n开头与结尾\n", "\n开头与结尾\n" },
    };
    for (const Case& c : tips)
        EXPECT_EQ(UnlockScreenWindow::displayedTip(QString::fromUtf8(c.tip)), QString::fromUtf8(c.shown)) << c.tip;
}

TEST_F(WindowSmokeTest, UnlockWindowShowsTheAccountActiveNow)
{
    for (const char* number : { "010100000001", "010200000002" }) {
        auto account = std::make_shared<Account>();
        account->customerNumber = QString::fromLatin1(number);
        AccountManager::getInstance()->addActiveAccount(account);
    }
    AccountManager::getInstance()->setActiveLoginAccount(0);
    UnlockScreenWindow unlock;
    unlock.show();
    auto* number = child<QLabel>(&unlock, "customerNumberText");
    auto* password = child<QLineEdit>(&unlock, "passwordText");
    EXPECT_EQ(number->text(), QStringLiteral("010******001"));
    QTest::keyClicks(password, QStringLiteral("111111"));
    ASSERT_EQ(unlock.controller().password(), QStringLiteral("111111"));

    AccountManager::getInstance()->setActiveLoginAccount(1);
    NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
    EXPECT_EQ(number->text(), QStringLiteral("010******002"));
    EXPECT_TRUE(password->text().isEmpty());
}

TEST_F(WindowSmokeTest, NoticeWindowsAndTheCover)
{
    QWidget parent;
    parent.setGeometry(100, 100, 800, 600);
    parent.show();
    auto* cover = new LockScreenWindow(&parent);
    cover->showOverParent();
    EXPECT_EQ(cover->geometry().height(), parent.frameGeometry().height() - 40);
    cover->close();

    auto* messages = new SystemMessageWindow(std::vector<RDOSystemMessage>(2), &parent);
    messages->showOver();
    EXPECT_LE(messages->height(), 390);
    EXPECT_TRUE(child<QTextBrowser>(messages, "contentTextView")->isVisible());
    messages->close();

    QPointer<LastLoginInfoWindow> last = new LastLoginInfoWindow(
        QStringLiteral("上次登录信息"), QStringLiteral("时间：2024-05-31\n地址：192.168.1.20"), nullptr,
        std::chrono::milliseconds(100));
    last->setParentRect(parent.frameGeometry());
    last->showWindow();
    EXPECT_TRUE(last->isVisible());
    EXPECT_EQ(child<QLabel>(last, "contentLabel")->text(), QStringLiteral("时间：2024-05-31\n地址：192.168.1.20"));
    ASSERT_TRUE(spinUntil([&] { return last.isNull(); }));

    // Closed by its title bar long before its timer: it fades out first too.
    last = new LastLoginInfoWindow(QStringLiteral("上次登录信息"), QStringLiteral("时间：2024-05-31"));
    last->showWindow();
    ASSERT_TRUE(last->windowHandle());
    EXPECT_FALSE(last->windowHandle()->close());
    EXPECT_TRUE(last->isVisible());
    EXPECT_TRUE(last->controller().isShuttingDown());
    EXPECT_FALSE(last->controller().isTimerRunning());
    ASSERT_TRUE(spinUntil([&] { return last.isNull(); }));
}

namespace {

// The heights of the bands of white ink in a picture, top to bottom.
QList<int> inkBands(const QImage& image)
{
    QList<int> bands;
    bool inBand = false;
    for (int y = 0; y < image.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < image.width() && !ink; ++x)
            ink = qGray(image.pixel(x, y)) > 200;
        if (ink && !inBand)
            bands.append(0);
        if (ink)
            ++bands.last();
        inBand = ink;
    }
    return bands;
}

} // namespace

// The login window's links and the last-login notice show their texts
// whole: in the default font at the sizes they were drawn for, and in a
// larger font.
// A window larger than the screen opens on it, shrunk to its usable area,
// title bar and all; one that cannot shrink keeps its title bar on it. A
// child over a parent near the edge moves in.
TEST_F(WindowSmokeTest, AWindowLargerThanTheScreenOpensOnIt)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QPointer<ui::Window> large = new ui::Window();
    large->resize(screen.width() + 340, screen.height() + 300);
    large->showOver();
    EXPECT_TRUE(screen.contains(large->frameGeometry()))
        << qPrintable(QDebug::toString(large->frameGeometry()));

    QPointer<ui::Window> fixed = new ui::Window();
    fixed->setMinimumSize(screen.width() + 100, screen.height() + 100);
    fixed->showOver();
    EXPECT_EQ(fixed->frameGeometry().topLeft(), screen.topLeft());

    large->resize(300, 200);
    large->move(screen.right() - 200, screen.bottom() - 100);
    auto* child = new ui::Window(large);
    child->resize(280, 180);
    child->showOver();
    EXPECT_TRUE(screen.contains(child->frameGeometry()))
        << qPrintable(QDebug::toString(child->frameGeometry()));

    // Framed only once it shows, as an X11 window manager frames it, or
    // framed first with less than the title bar drawn later: it is placed
    // again each time, its title bar and its bottom on the screen. Once the
    // customer moved it (and maximised and restored it, without a frame
    // meanwhile), it stays where it was put whatever its frame does.
    QMargins frame;
    ui::setFrameMarginsForTesting([&](const QWidget*) { return frame; });
    const QMargins none, partial(2, 8, 2, 2), titleBar(2, 30, 2, 2);
    enum Customer { LeftIt, MovedIt, MovedAndMaximisedIt };
    const struct {
        const char* name;
        std::vector<QMargins> steps;
        Customer customer;
    } frameRows[] = {
        { "framed late", { none, titleBar }, LeftIt },
        { "a taller frame drawn later", { partial, titleBar }, LeftIt },
        { "framed late, taller later", { none, partial, titleBar }, LeftIt },
        { "moved", { titleBar, partial }, MovedIt },
        { "moved, maximised and restored", { titleBar, titleBar }, MovedAndMaximisedIt },
    };
    for (const auto& [name, steps, customer] : frameRows) {
        SCOPED_TRACE(name);
        frame = steps.front();
        QPointer<ui::Window> late = new ui::Window();
        late->resize(screen.width() + 340, screen.height() + 300);
        late->showOver();
        // The fitter looks at every event: one, then the placing it may queue.
        const auto settled = [&] {
            QEvent poke(QEvent::User);
            QCoreApplication::sendEvent(late, &poke);
            bool after = false;
            QTimer::singleShot(0, late, [&] { after = true; });
            return spinUntil([&] { return after; });
        };
        const QPoint put = screen.topLeft() + QPoint(40, 60);
        if (customer != LeftIt) {
            // On the screen, as the customer saw it, before it is moved.
            ASSERT_TRUE(QTest::qWaitForWindowExposed(late));
            late->resize(300, 200);
            late->move(put);
        }
        if (customer == MovedAndMaximisedIt) {
            late->showMaximized();
            frame = none;
            ASSERT_TRUE(settled());
            late->showNormal();
            ASSERT_TRUE(settled());
        }
        for (const QMargins& next : steps) {
            frame = next;
            late->update();
            if (customer != LeftIt) {
                ASSERT_TRUE(settled());
                EXPECT_EQ(late->pos(), put);
                continue;
            }
            EXPECT_TRUE(spinUntil([&] { return screen.contains(late->geometry().marginsAdded(frame)); }))
                << qPrintable(QDebug::toString(late->geometry())) << " in a frame of " << frame.top();
        }
        late->close();
        ASSERT_TRUE(spinUntil([&] { return late.isNull(); }));
    }
    ui::setFrameMarginsForTesting(nullptr);

    fixed->close();
    large->close();
    ASSERT_TRUE(spinUntil([&] { return large.isNull() && fixed.isNull(); }));
}

TEST_F(WindowSmokeTest, LoginLinksAndLastLoginShowWholeAlsoInALargerFont)
{
    const QFont appFont = QApplication::font();
    for (const int pixels : { 0, 20, 24 }) {
        SCOPED_TRACE(pixels);
        if (pixels) {
            QFont large = appFont;
            large.setPixelSize(pixels);
            QApplication::setFont(large);
        }
        auto* login = new LoginWindow();
        // The banner's title grows with the window's font, sized in points
        // or in pixels, and shows whole: its white ink is as tall as the
        // title's glyphs in the grown font.
        QFont title = QApplication::font();
        if (pixels)
            title.setPixelSize(qRound(pixels * 1.9));
        else
            title.setPointSizeF(title.pointSizeF() * 1.9);
        title.setBold(true);
        QFont subtitle = QApplication::font();
        if (pixels)
            subtitle.setPixelSize(qRound(pixels * 1.05));
        else
            subtitle.setPointSizeF(subtitle.pointSizeF() * 1.05);
        const QList<int> ink = inkBands(login->grab(QRect(28, 0, login->width() - 56, 140)).toImage());
        ASSERT_GE(ink.size(), 2);
        EXPECT_NEAR(ink[0], QFontMetrics(title).tightBoundingRect(QStringLiteral("Lumora 网上交易")).height(), 2);
        EXPECT_NEAR(ink[1],
            QFontMetrics(subtitle)
                .tightBoundingRect(QStringLiteral("沪深 A 股 · B 股 · 债券 · 基金 · 安全便捷的证券交易"))
                .height(),
            2);
        login->showOver();
        if (!pixels)
            EXPECT_EQ(login->width(), 460);
        for (const char* name : { "accountManagerButton", "switchSiteButtonButton",
                 "reserveAccountButtonButton", "riskTipsButtonButton", "webLinkButton" }) {
            auto* link = child<QPushButton>(login, name);
            EXPECT_GE(link->width(), link->sizeHint().width()) << name;
            EXPECT_TRUE(login->rect().contains(QRect(link->mapTo(login, QPoint()), link->size()))) << name;
        }
        // The banner's white texts end clear of their right margin.
        const QImage banner = login->grab(QRect(login->width() - 32, 14, 4, 68)).toImage();
        for (int x = 0; x < banner.width(); ++x)
            for (int y = 0; y < banner.height(); ++y)
                ASSERT_LT(qGray(banner.pixel(x, y)), 160) << x << "," << y;
        login->close();

        const QString content
            = QStringLiteral("上次登录时间：2024-05-31 09:30:12\n上次登录地址：192.168.100.200 (上海浦东)");
        QPointer<LastLoginInfoWindow> last = new LastLoginInfoWindow(QStringLiteral("上次登录信息"), content);
        last->showWindow();
        auto* label = child<QLabel>(last, "contentLabel");
        EXPECT_TRUE(last->rect().contains(label->geometry()));
        EXPECT_FALSE(inkOnTheEdge(label));
        last->closeNow();
        QApplication::setFont(appFont);
        ASSERT_TRUE(spinUntil([&] { return last.isNull(); }));
    }
}

// A second application login on the same login window brings its own
// system messages; they show, in place of the first ones.
TEST_F(WindowSmokeTest, EveryApplicationLoginShowsItsSystemMessages)
{
    StartUp().run();
    auto* window = new LoginWindow();
    window->showOver();
    const auto shown = [&] {
        SystemMessageWindow* messages = window->systemMessageWindow();
        return messages && messages->isVisible() ? messages->contentTextView()->toPlainText() : QString();
    };
    for (const QString& title : { QStringLiteral("系统维护通知"), QStringLiteral("新规则通知") }) {
        brokersim::BrokerData data = broker().data();
        data.systemMessages = { { title, QStringLiteral("请留意。"), QStringLiteral("2026-01-05"), QString() } };
        broker().reset(data);
        window->controller().appLoginComplete();
        ASSERT_TRUE(spinUntil([&] { return shown().contains(title); })) << qPrintable(title);
    }
    const QWidgetList all = QApplication::topLevelWidgets();
    EXPECT_EQ(std::count_if(all.begin(), all.end(),
                  [](QWidget* w) { return qobject_cast<SystemMessageWindow*>(w) && w->isVisible(); }),
        1);
}

// The broker's system message stays over the login window whatever window
// was in front when it came, once that one closes.
TEST_F(WindowSmokeTest, SystemMessagesOutliveTheWindowInFront)
{
    StartUp().run();
    brokersim::BrokerData data = broker().data();
    data.systemMessages
        = { { QStringLiteral("系统维护通知"), QStringLiteral("请留意。"), QString(), QString() } };
    broker().reset(data);
    struct Row {
        const char* name;
        std::function<QWidget*(LoginWindow*)> open; // the window in front
    };
    const Row rows[] = {
        { "account window",
            [](LoginWindow* w) -> QWidget* {
                child<QPushButton>(w, "accountManagerButton")->click();
                return w->accountWindow();
            } },
        { "server list",
            [](LoginWindow* w) -> QWidget* {
                child<QPushButton>(w, "switchSiteButtonButton")->click();
                return w->siteWindow();
            } },
        { "box",
            [](LoginWindow* w) -> QWidget* {
                return RunAlert::runAlertWithErrorMessageText(QStringLiteral("请输入账号"), w, {});
            } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto* window = new LoginWindow();
        window->showOver();
        QPointer<QWidget> front = row.open(window);
        ASSERT_TRUE(front);
        ASSERT_TRUE(spinUntil([&] { return QApplication::activeWindow() == front; }));
        window->controller().appLoginComplete();
        ASSERT_TRUE(spinUntil(
            [&] { return window->systemMessageWindow() && window->systemMessageWindow()->isVisible(); }));
        QPointer<SystemMessageWindow> messages = window->systemMessageWindow();
        front->close();
        ASSERT_TRUE(spinUntil([&] { return !front; }));
        EXPECT_TRUE(messages && messages->isVisible());
        window->close();
        ASSERT_TRUE(spinUntil([&] { return !messages; }));
    }
}

TEST_F(WindowSmokeTest, LoginPanelEndsOnAnyLogin)
{
    QWidget parent;
    parent.show();
    testsupport::ExpectModalDialogs answeredHere;
    auto* panel = new LoginPanel({}, &parent);
    EXPECT_TRUE(child<QPushButton>(panel, "loginButton")->isEnabled());
    // Usable at once: the customer types the account first.
    EXPECT_EQ(panel->focusWidget(), child<QComboBox>(panel, "accountText"));
    QTimer::singleShot(0, [] {
        auto other = std::make_shared<Account>();
        NotificationCenter::getInstance()->postNotification(sessionnotify::kLoginSucceeded, QVariant::fromValue(other));
    });
    EXPECT_EQ(panel->runModal(), 0); // another form's login: this one did not succeed

    auto* closed = new LoginPanel({}, &parent);
    QTimer::singleShot(0, [closed] { closed->close(); });
    EXPECT_EQ(closed->runModal(), 0);
}

} // namespace
