// The login form's widgets show what the form holds: the account field what
// is checked and sent, the captcha button the picture of the captcha asked
// for last, or none.
#include "core/UserDefaultConfig.h"
#include "shell/WindowTestRig.h"
#include "shell/ui/LoginView.h"
#include "shell/ui/LoginWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace logintest;
using namespace windowtest;
using brokersim::kCaptchaFunction;
using testsupport::spinUntil;
using Field = LoginViewController::Field;

namespace {

class LoginFormWidgetTest : public SimulatorFixture {
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
    void open()
    {
        window = new LoginWindow();
        window->showOver();
        window->controller().appLoginComplete();
        ASSERT_TRUE(spinUntil([&] { return !window->coverWindow(); }));
        ASSERT_TRUE(spinUntil([&] { return !captchaButton()->icon().isNull(); }, 10s));
        for (QWidget* other : QApplication::topLevelWidgets())
            if (other != window && other->isVisible())
                other->close();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }
    template <class W> W* widget(const char* name) const
    {
        W* found = window->findChild<W*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    QPushButton* captchaButton() const { return widget<QPushButton>("identifyingCodeImage"); }
    QLineEdit* accountEdit() const { return widget<QComboBox>("accountText")->lineEdit(); }
    LoginViewController& form() { return window->controller().loginViewController(); }

    QPointer<LoginWindow> window;
};

TEST_F(LoginFormWidgetTest, TheAccountFieldShowsWhatTheFormSends)
{
    auto saved = std::make_shared<Account>();
    saved->customerNumber = QStringLiteral("010100000001");
    saved->gd_ShenA_account = QStringLiteral("0101000001");
    AccountManager::getInstance()->addAccount(saved);
    struct Case {
        const char* what;
        bool protect;
    };
    for (const Case c : { Case { "numbers shown", false }, Case { "numbers masked", true } }) {
        SCOPED_TRACE(c.what);
        UserDefaultConfig::getInstance()->setAccountProtectOption(c.protect);
        open();
        auto* kinds = widget<QComboBox>("accountTypeButton");
        kinds->setCurrentIndex(2);
        emit kinds->activated(2); // 深A股东: the saved number is offered
        ASSERT_EQ(form().accountItems().size(), 1);
        accountEdit()->setFocus();
        QTest::keyClicks(accountEdit(), QStringLiteral("0101"));
        EXPECT_EQ(accountEdit()->text(), form().text(Field::Account));
        QTest::keyClick(accountEdit(), Qt::Key_Tab);
        EXPECT_EQ(accountEdit()->text(), QStringLiteral("0101"));
        EXPECT_EQ(form().fixAccount(QString()), QStringLiteral("0000000101"));
        window->close();
        ASSERT_TRUE(spinUntil([&] { return window.isNull(); }));
    }
}

TEST_F(LoginFormWidgetTest, ACaptchaWhosePictureCannotBeReadLeavesTheButtonEmpty)
{
    open();
    sim.answerTablesNext(kCaptchaFunction,
        { brokersim::Table()
                .column(QStringLiteral("code"))
                .column(QStringLiteral("image"), brokersim::kBytes)
                .row({ QStringLiteral("c1"), QStringLiteral("not a picture") }) });
    const qsizetype captchas = sim.receivedCount(kCaptchaFunction);
    QTest::mouseClick(captchaButton(), Qt::LeftButton);
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(kCaptchaFunction) > captchas; }, 10s));
    ASSERT_TRUE(spinUntil([&] { return form().identifyingCodeImage().isNull(); }, 10s));
    EXPECT_TRUE(captchaButton()->icon().isNull());

    // The next readable one is shown again.
    QTest::mouseClick(captchaButton(), Qt::LeftButton);
    EXPECT_TRUE(spinUntil([&] { return !captchaButton()->icon().isNull(); }, 10s));
}

} // namespace
