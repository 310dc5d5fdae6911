// The login window from the keyboard: the account field shows what the form
// sends, the captcha button no picture but the last one asked for; the ready
// form, the form's error boxes and a refused unlock leave the focus where the
// customer types next, Tab goes round the form's four fields, a trade password
// the password page takes is typed whole at the next login and at the unlock,
// and the shared instances behind a form go at process exit in good order.
#include "core/UserDefaultConfig.h"
#include "shell/WindowTestRig.h"
#include "shell/pages/ChangePasswordViewController.h"
#include "shell/ui/LoginPanel.h"
#include "shell/ui/LoginView.h"
#include "shell/ui/LoginWindow.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/ui/pages/ChangePasswordView.h"
#include "support_gui/ModalGuard.h"
#include "support_gui/WideDigits.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

using namespace logintest;
using namespace windowtest;
using testsupport::spinUntil;

namespace {

template <class W> W* child(const QWidget* host, const char* name)
{
    W* found = host->findChild<W*>(QString::fromLatin1(name));
    EXPECT_TRUE(found) << name;
    return found;
}

// The message box shown on the window, if any.
QMessageBox* shownBox(const QWidget* host)
{
    auto* box = host->findChild<QMessageBox*>();
    return box && box->isVisible() ? box : nullptr;
}

class LoginWindowKeysTest : public SimulatorFixture {
protected:
    void SetUp() override
    {
        SimulatorFixture::SetUp();
        StartUp().run();
    }
    void TearDown() override
    {
        if (window)
            window->close();
        testsupport::spinFor(std::chrono::milliseconds(20));
        SimulatorFixture::TearDown();
    }
    // The login window, ready, with its captcha shown and the keyboard's focus.
    void open()
    {
        window = new LoginWindow();
        window->showOver();
        window->controller().appLoginComplete();
        ASSERT_TRUE(spinUntil([&] { return !window->coverWindow(); }));
        auto* image = widget<QPushButton>("identifyingCodeImage");
        ASSERT_TRUE(spinUntil([&] { return !image->icon().isNull(); }, 10s));
        // The system messages the simulator has open their own window: read.
        for (QWidget* other : QApplication::topLevelWidgets())
            if (other != window && other->isVisible())
                other->close();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }
    template <class W> W* widget(const char* name) const { return child<W>(window, name); }
    QLineEdit* accountEdit() const { return widget<QComboBox>("accountText")->lineEdit(); }
    // A pop-up's item chosen from the keyboard.
    void choose(const char* popUp, int index) { choose(window, popUp, index); }
    static void choose(const QWidget* host, const char* popUp, int index)
    {
        auto* box = child<QComboBox>(host, popUp);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(box, Qt::Key_Down);
        ASSERT_EQ(box->currentIndex(), index);
    }
    // The field that has the keyboard focus (the account box for its line).
    static std::string focused()
    {
        QWidget* w = QApplication::focusWidget();
        if (!w)
            return "(none)";
        if (auto* box = qobject_cast<QComboBox*>(w->parentWidget()); box && box->lineEdit() == w)
            w = box;
        return w->objectName().toStdString();
    }
    static void press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }
    LoginViewController& form() { return window->controller().loginViewController(); }
    void errorBoxesHandTheFieldBack(QWidget* host, const LoginViewController& form);

    QPointer<LoginWindow> window;
};

TEST_F(LoginWindowKeysTest, TabGoesRoundTheFourFieldsSkippingHiddenOnes)
{
    open();
    struct Case {
        const char* what;
        int kind; // 0 hides the area and branch rows
        int mode; // 1 shows the token row
        QStringList round;
    };
    const QStringList captchaRound { "accountText", "passwordText", "identifyingCodeText" };
    const Case cases[] = {
        { "captcha shown, token hidden", 1, 0, captchaRound },
        { "token shown", 1, 1, captchaRound + QStringList { "securityModeQeltText" } },
        { "area, branch and token rows hidden", 0, 0, captchaRound },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        choose("accountTypeButton", c.kind);
        choose("securitySelectButton", c.mode);
        QTest::mouseClick(accountEdit(), Qt::LeftButton);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("010100000001"));
        // Twice round and back to the account field.
        for (qsizetype i = 0; i <= 2 * c.round.size(); ++i) {
            ASSERT_EQ(focused(), c.round[i % c.round.size()].toStdString()) << "after " << i << " Tabs";
            press(Qt::Key_Tab);
        }
        // Tab ended the account field's editing: the typed number is the account.
        EXPECT_EQ(form().accountString(), QStringLiteral("010100000001"));
    }
}

TEST_F(LoginWindowKeysTest, TheAccountFieldShowsWhatTheFormSends)
{
    auto saved = std::make_shared<Account>();
    saved->customerNumber = QStringLiteral("010100000001");
    saved->gd_ShenA_account = QStringLiteral("0101000001");
    AccountManager::getInstance()->addAccount(saved);
    for (const bool masked : { false, true }) {
        SCOPED_TRACE(masked ? "numbers masked" : "numbers shown");
        UserDefaultConfig::getInstance()->setAccountProtectOption(masked);
        open();
        choose("accountTypeButton", 2); // 深A股东: the saved number is offered
        ASSERT_EQ(form().accountItems().size(), 1);
        QTest::mouseClick(accountEdit(), Qt::LeftButton);
        QTest::keyClicks(accountEdit(), QStringLiteral("0101"));
        EXPECT_EQ(accountEdit()->text(), form().text(LoginViewController::Field::Account));
        press(Qt::Key_Tab);
        EXPECT_EQ(accountEdit()->text(), QStringLiteral("0101"));
        EXPECT_EQ(form().fixAccount(QString()), QStringLiteral("0000000101"));
        // The captcha and the token read what an input method commits, where
        // it commits it.
        using Field = LoginViewController::Field;
        testsupport::commitWideDigitsInTheMiddle(
            widget<QLineEdit>("identifyingCodeText"), [&] { return form().text(Field::IdentifyingCode); });
        testsupport::commitWideDigitsInTheMiddle(
            widget<QLineEdit>("securityModeQeltText"), [&] { return form().text(Field::Token); });
        window->close();
        ASSERT_TRUE(spinUntil([&] { return window.isNull(); }));
    }
}

TEST_F(LoginWindowKeysTest, ACaptchaWhosePictureCannotBeReadLeavesTheButtonEmpty)
{
    open();
    auto* image = widget<QPushButton>("identifyingCodeImage");
    sim.answerTablesNext(brokersim::kCaptchaFunction,
        { brokersim::Table()
                .column(QStringLiteral("code"))
                .column(QStringLiteral("image"), brokersim::kBytes)
                .row({ QStringLiteral("c1"), QStringLiteral("not a picture") }) });
    QTest::mouseClick(image, Qt::LeftButton);
    ASSERT_TRUE(spinUntil([&] { return form().identifyingCodeImage().isNull(); }, 10s));
    EXPECT_TRUE(image->icon().isNull());
    // The next readable one is shown again.
    QTest::mouseClick(image, Qt::LeftButton);
    EXPECT_TRUE(spinUntil([&] { return !image->icon().isNull(); }, 10s));
}

TEST_F(LoginWindowKeysTest, TheReadyFormHasTheFocusWhereTheCustomerTypesFirst)
{
    struct Case {
        const char* what;
        QString remembered; // the last account saved
        const char* field;
    };
    const Case cases[] = {
        { "nothing remembered", QString(), "accountText" },
        { "the last account remembered", QStringLiteral("010100000001"), "passwordText" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UserDefaultConfig::getInstance()->setLastLoginAccount(c.remembered);
        open();
        EXPECT_EQ(focused(), c.field);
        window->close();
        ASSERT_TRUE(spinUntil([&] { return window.isNull(); }));
    }
}

// Each error box of the form, closed, hands the keyboard to the field the
// customer types next: the empty field a validation box asks for, and the
// emptied captcha field after a refused login, with the password kept.
void LoginWindowKeysTest::errorBoxesHandTheFieldBack(QWidget* host, const LoginViewController& form)
{
    brokersim::Broker& broker = this->broker();
    ASSERT_TRUE(QTest::qWaitForWindowActive(host));
    ASSERT_TRUE(spinUntil([&] { return !form.identifyingCodeImage().isNull(); }, 10s));
    const auto retype = [&](const char* name, const QString& text) {
        QLineEdit* edit = qstrcmp(name, "accountText") == 0 ? child<QComboBox>(host, name)->lineEdit()
                                                            : child<QLineEdit>(host, name);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    };
    // Login pressed with the mouse, which takes the focus to the button; the
    // box answered once `before` holds.
    const auto loginAndCloseTheBox = [&](const QString& message, const std::function<bool()>& before) {
        QTest::mouseClick(child<QPushButton>(host, "loginButton"), Qt::LeftButton);
        QMessageBox* box = nullptr;
        ASSERT_TRUE(spinUntil([&] { return (box = shownBox(host)); }, 10s));
        EXPECT_EQ(box->informativeText(), message);
        ASSERT_TRUE(spinUntil(before, 10s));
        box->buttons().front()->click();
        ASSERT_TRUE(spinUntil([&] { return !host->findChild<QMessageBox*>(); }));
        // The desktop gives the window back the keyboard, as the offscreen
        // platform does not.
        host->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(host));
    };

    struct Case {
        const char* message;
        int mode; // 1 shows the token row
        QString account, password, captcha;
        const char* field;
    };
    const Case cases[] = {
        { "请输入账号", 0, "", "", "", "accountText" },
        { "请输入密码", 0, "010100000001", "", "", "passwordText" },
        { "请输入验证码", 0, "010100000001", "111111", "", "identifyingCodeText" },
        { "请输入澄石令验证码", 1, "010100000001", "111111", "1234", "securityModeQeltText" },
    };
    choose(host, "accountTypeButton", 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        choose(host, "securitySelectButton", c.mode);
        retype("accountText", c.account);
        retype("passwordText", c.password);
        retype("identifyingCodeText", c.captcha);
        loginAndCloseTheBox(QString::fromUtf8(c.message), [] { return true; });
        EXPECT_EQ(focused(), c.field);
        // What is typed next lands there.
        QWidget* focus = QApplication::focusWidget();
        ASSERT_TRUE(focus);
        QTest::keyClick(focus, Qt::Key_7);
        auto* box = qobject_cast<QComboBox*>(focus);
        const QLineEdit* edit = box ? box->lineEdit() : qobject_cast<QLineEdit*>(focus);
        ASSERT_TRUE(edit);
        EXPECT_TRUE(edit->text().endsWith(u'7')) << qPrintable(edit->text());
    }

    choose(host, "securitySelectButton", 0);
    retype("passwordText", QStringLiteral("999999"));
    retype("identifyingCodeText", broker.lastCaptchaCode());
    const QString old = broker.lastCaptchaCode();
    // The new captcha comes while the box is open and empties the field.
    loginAndCloseTheBox(QStringLiteral("交易密码错误"), [&] {
        return broker.lastCaptchaCode() != old
            && form.text(LoginViewController::Field::IdentifyingCode).isEmpty();
    });
    ASSERT_EQ(focused(), "identifyingCodeText");
    EXPECT_EQ(child<QLineEdit>(host, "passwordText")->text(), QStringLiteral("999999"));
    auto* captcha = child<QLineEdit>(host, "identifyingCodeText");
    QTest::keyClicks(captcha, broker.lastCaptchaCode());
    EXPECT_EQ(captcha->text(), broker.lastCaptchaCode());
    EXPECT_EQ(form.text(LoginViewController::Field::IdentifyingCode), broker.lastCaptchaCode());
}

TEST_F(LoginWindowKeysTest, AClosedErrorBoxHandsTheKeyboardToTheFieldTypedNext)
{
    {
        SCOPED_TRACE("the start-up login window");
        open();
        errorBoxesHandTheFieldBack(window, form());
        window->close();
        ASSERT_TRUE(spinUntil([&] { return window.isNull(); }));
    }
    SCOPED_TRACE("the add-account panel");
    QWidget parent;
    parent.show();
    testsupport::ExpectModalDialogs answeredHere;
    QPointer<LoginPanel> panel = new LoginPanel({}, &parent);
    QTimer::singleShot(0, panel, [&] {
        errorBoxesHandTheFieldBack(panel, panel->controller().loginViewController());
        panel->close();
    });
    EXPECT_EQ(panel->runModal(), 0);
}

// Both ways the unlock window runs: shown over the locked session, and run
// modally as the settings' check before protection goes off.
TEST_F(LoginWindowKeysTest, AWrongUnlockPasswordHandsTheFieldBackOnceItsBoxIsClosed)
{
    ASSERT_TRUE(logIn(broker(), QStringLiteral("010100000001"), QStringLiteral("111111")));
    // A wrong password, its box answered, then the right one: the field is
    // ready for the next try and what is typed replaces the refused one.
    const auto tryAgain = [](QPointer<UnlockScreenWindow> unlock) {
        ASSERT_TRUE(QTest::qWaitForWindowActive(unlock));
        const QRect frame = unlock->geometry();
        auto* field = unlock->findChild<QLineEdit*>(QStringLiteral("passwordText"));
        ASSERT_TRUE(field);
        field->setFocus();
        QTest::keyClicks(field, QStringLiteral("999999"));
        QTest::keyClick(field, Qt::Key_Return);
        QMessageBox* box = nullptr;
        ASSERT_TRUE(spinUntil([&] { return (box = shownBox(unlock)); }, 10s));
        EXPECT_EQ(box->windowTitle(), QStringLiteral("错误"));
        ASSERT_EQ(box->buttons().size(), 1);
        box->buttons().front()->click();
        ASSERT_TRUE(spinUntil([&] { return !unlock || !unlock->findChild<QMessageBox*>(); }));
        // The window stays for another try, where it was and as large, with
        // the field ready for it.
        ASSERT_TRUE(unlock);
        EXPECT_EQ(unlock->geometry(), frame);
        const QWidget* focus = unlock->focusWidget();
        EXPECT_EQ(focus, field) << (focus ? qPrintable(focus->objectName()) : "(none)");
        EXPECT_TRUE(field->isEnabled());
        QTest::keyClicks(field, QStringLiteral("111111"));
        EXPECT_EQ(field->text(), QStringLiteral("111111"));
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_TRUE(spinUntil([&] { return !unlock || !unlock->isVisible(); }, 10s));
        if (unlock && unlock->isVisible())
            unlock->close();
    };

    QPointer<UnlockScreenWindow> shownOver = new UnlockScreenWindow();
    shownOver->showOver();
    tryAgain(shownOver);

    testsupport::ExpectModalDialogs answeredHere;
    QPointer<UnlockScreenWindow> check = new UnlockScreenWindow();
    QTimer::singleShot(0, check, [&] { tryAgain(check); });
    EXPECT_EQ(check->runModal(QStringLiteral("关闭账户保护需要验证交易密码。"), QStringLiteral("取消")), 1);
}

TEST_F(LoginWindowKeysTest, APasswordThePasswordPageTakesIsTypedWholeAtTheNextLogin)
{
    // The longest trade password the page takes.
    const QString longest = QStringLiteral("Abc") + QString(28, u'9');
    ASSERT_EQ(longest.size(), Account::kMaxPasswordLength);
    ASSERT_TRUE(logIn(broker(), QStringLiteral("010100000001"), QStringLiteral("111111")));
    {
        RecordingAlerts alerts;
        ChangePasswordViewController page;
        page.setAlertPresenter(&alerts);
        page.load();
        using Field = ChangePasswordViewController::Field;
        page.setPasswordText(Field::Current, QStringLiteral("111111"));
        page.setPasswordText(Field::Fresh, longest);
        page.setPasswordText(Field::Confirm, longest);
        page.confirmChangeButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return !alerts.shown.empty(); }, 10s));
        ASSERT_EQ(alerts.shown.back().text, QStringLiteral("交易密码修改成功。"));
    }
    AccountManager::getInstance()->logoutAllAccount();

    open();
    choose("accountTypeButton", 0);
    QTest::mouseClick(accountEdit(), Qt::LeftButton);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("010100000001"));
    press(Qt::Key_Tab);
    ASSERT_EQ(focused(), "passwordText");
    // One character more than fits is refused, without a word.
    const QString typed = longest + QStringLiteral("X");
    QTest::keyClicks(QApplication::focusWidget(), typed);
    EXPECT_EQ(widget<QLineEdit>("passwordText")->text(), longest);
    EXPECT_FALSE(QToolTip::isVisible());
    press(Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), broker().lastCaptchaCode());
    press(Qt::Key_Return);
    ASSERT_TRUE(spinUntil([&] { return form().loginSucceeded(); }, 10s));
    const QString body = lastBody(brokersim::kTradeLoginFunction);
    EXPECT_TRUE(body.contains(QStringLiteral("&trdpwd=") + longest + QStringLiteral("&")))
        << qPrintable(body);

    // The same keystrokes at the unlock window unlock: its field keeps what
    // the login field keeps.
    QPointer<UnlockScreenWindow> unlock = new UnlockScreenWindow();
    unlock->showOver();
    auto* field = unlock->findChild<QLineEdit*>(QStringLiteral("passwordText"));
    ASSERT_TRUE(field);
    field->setFocus();
    QTest::keyClicks(field, typed);
    EXPECT_EQ(field->text(), longest);
    quint64 result = 0;
    QObject::connect(&unlock->controller(), &UnlockScreenWindowController::closeRequested,
        [&] { result = unlock->controller().configFlag(); });
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_TRUE(spinUntil([&] { return unlock.isNull(); }, 10s));
    EXPECT_EQ(result, 1u);
    const QString identity = lastBody(brokersim::kIdentityLoginFunction);
    EXPECT_TRUE(identity.contains(QStringLiteral("trdpwd=") + longest)) << qPrintable(identity);
}

TEST_F(LoginWindowKeysTest, ThePasswordPageRefusesAKeystrokeWithoutAWord)
{
    ASSERT_TRUE(logIn(broker(), QStringLiteral("010100000001"), QStringLiteral("111111")));
    ChangePasswordViewController page;
    ChangePasswordView view(page);
    view.show();
    auto* fresh = view.findChild<QLineEdit*>(QStringLiteral("freshPasswordText"));
    ASSERT_TRUE(fresh);
    for (const QString& refused : { QStringLiteral("!"), QString(32, u'1') }) {
        fresh->clear();
        QToolTip::hideText();
        fresh->setFocus();
        QTest::keyClicks(fresh, refused);
        EXPECT_EQ(fresh->text(), refused.size() > 1 ? QString(31, u'1') : QString());
        EXPECT_FALSE(QToolTip::isVisible()) << qPrintable(refused);
        for (QWidget* w : QApplication::topLevelWidgets())
            EXPECT_FALSE(qobject_cast<QMessageBox*>(w) && w->isVisible()) << qPrintable(refused);
    }
}

// Run again in a child process, this test builds a login form with its
// default services and leaves the shared instances it made to the process
// exit; the sanitizers report any of them calling into one already gone.
TEST(LoginFormExitTest, SharedInstancesGoAtExitWithoutCallingIntoOnesAlreadyGone)
{
    static constexpr char kChild[] = "LUMORA_LOGIN_FORM_EXIT_CHILD";
    if (qEnvironmentVariableIsSet(kChild)) {
        LoginViewController form;
        LoginView view(form);
        form.awakeFromNib();
        return;
    }
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kChild), QStringLiteral("1"));
    environment.insert(QStringLiteral("LUMORA_HOME"), home.path());
    QProcess child;
    child.setProcessEnvironment(environment);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    child.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("--gtest_filter=%1.%2")
                .arg(QString::fromLatin1(test->test_suite_name()), QString::fromLatin1(test->name())) });
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << qPrintable(errors);
    EXPECT_EQ(child.exitCode(), 0) << qPrintable(errors);
    EXPECT_FALSE(errors.contains(QStringLiteral("Sanitizer"))) << qPrintable(errors);
}

} // namespace
