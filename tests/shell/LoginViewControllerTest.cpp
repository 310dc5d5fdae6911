// The login form's controller, headless, against the in-process simulator.
#include "WindowTestRig.h"

#include "shell/windows/LoginViewController.h"
#include "shell/windows/SessionNotifications.h"

using namespace logintest;
using namespace windowtest;
using brokersim::kCaptchaFunction;
using brokersim::kTradeLoginFunction;
using testsupport::spinUntil;
using Field = LoginViewController::Field;

namespace {

QString pair(const QString& body, const QString& key)
{
    for (const QString& item : body.split(QLatin1Char('&'))) {
        if (item.startsWith(key + QLatin1Char('=')))
            return item.mid(key.size() + 1);
    }
    return QStringLiteral("<absent>");
}

class LoginViewControllerTest : public SimulatorFixture {
protected:
    void SetUp() override
    {
        SimulatorFixture::SetUp();
        StartUp().run();
        form = std::make_unique<LoginViewController>();
        form->setAlertPresenter(&alerts);
        form->appLoginComplete();
        ASSERT_TRUE(spinUntil([&] { return !form->identifyingCodeImage().isNull(); }, 10s));
        NotificationCenter::getInstance()->addObserver(
            &logins,
            [this](const platform::Notification& n) { logins.push_back(n.object.value<std::shared_ptr<Account>>()); },
            sessionnotify::kLoginSucceeded);
    }
    void TearDown() override
    {
        NotificationCenter::getInstance()->removeObserver(&logins);
        form.reset();
        SimulatorFixture::TearDown();
    }

    void type(const QString& account, const QString& password, bool withCaptcha = true)
    {
        form->controlTextDidChange(Field::Account, account);
        form->controlTextDidChange(Field::Password, password);
        if (withCaptcha)
            form->controlTextDidChange(Field::IdentifyingCode, broker().lastCaptchaCode());
    }
    void chooseBranch(const QString& area, const QString& branch)
    {
        form->regionOfDepartmentSelected(int(form->areaNames().indexOf(area)));
        form->businessDepartmentSelected(int(form->branchNames().indexOf(branch)));
    }
    // Presses login and waits for the end: a notice, an error box or nothing sent.
    void login()
    {
        const std::size_t boxes = alerts.shown.size();
        const std::size_t before = logins.size();
        form->loginButtonClick(true);
        ASSERT_TRUE(spinUntil([&] { return logins.size() > before || alerts.shown.size() > boxes; }, 10s));
    }
    QString sentBody() const { return lastBody(kTradeLoginFunction); }
    // A new captcha, arrived: its answer empties the captcha field.
    void freshCaptcha()
    {
        form->controlTextDidChange(Field::IdentifyingCode, QStringLiteral("x"));
        form->changeIdentifyingCode();
        ASSERT_TRUE(spinUntil([&] { return form->text(Field::IdentifyingCode).isEmpty(); }, 10s));
    }

    RecordingAlerts alerts;
    std::unique_ptr<LoginViewController> form;
    std::vector<std::shared_ptr<Account>> logins;
};

TEST_F(LoginViewControllerTest, ValidationRefusesInOrderAndSendsNothing)
{
    struct Case {
        int kind;
        QString account, password, captcha, token;
        bool tokenMode;
        const char* message;
    };
    const Case cases[] = {
        { 0, "", "", "", "", false, "请输入账号" },
        { 0, "010100000001", "", "", "", false, "请输入密码" },
        { 0, "010100000001", "111111", "", "", false, "请输入验证码" },
        { 0, "010100000001", "111111", "1234", "", true, "请输入澄石令验证码" },
        { 0, "0101000000", "111111", "1234", "", false, "请输入至少11位客户代码" },
        { 1, "010110000", "111111", "1234", "", false, "请输入至少11位客户代码" },
        { 1, "0101100000", "111111", "1234", "", false, "请输入至少11位客户代码" },
        // What no login request can carry is refused here, naming the field;
        // white space alone is nothing typed.
        { 0, "０１０１０００００００１", "111111", "１２３４元", "", false, "验证码含有不能发送的字符" },
        { 0, "010100000001", "111111", QString(256, u'1'), "", false, "验证码过长：最多255个字符" },
        { 0, "010100000001", "111111", "1234", "654=21", true, "澄石令验证码含有不能发送的字符" },
        { 0, "010100000001", "111111", "\u3000\u3000", "", false, "请输入验证码" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        form->accountTypeSelected(c.kind);
        form->securitySelected(c.tokenMode ? 1 : 0);
        form->controlTextDidChange(Field::Account, c.account);
        form->controlTextDidChange(Field::Password, c.password);
        form->controlTextDidChange(Field::IdentifyingCode, c.captcha);
        form->controlTextDidChange(Field::Token, c.token);
        alerts.shown.clear();
        form->loginButtonClick(true);
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].title, QStringLiteral("错误"));
        EXPECT_EQ(alerts.shown[0].text, QString::fromUtf8(c.message));
        EXPECT_FALSE(form->isBusy());
        // The password is left as typed, never cut.
        EXPECT_EQ(form->text(Field::Password), c.password);
    }
    EXPECT_EQ(sim.receivedCount(kTradeLoginFunction), 0);
}

TEST_F(LoginViewControllerTest, ShortAccountsAreCompletedPerKind)
{
    struct Case {
        int kind;
        QString typed;
        QString sent;
    };
    const Case cases[] = {
        { 0, "01010000000", "01010000000" },
        { 1, "10000001", "010110000001" }, // the branch prefix in front of 8 digits
        { 1, "123", "010100000123" },
        { 1, "010110000001", "010110000001" },
        { 2, "101000001", "0101000001" },
        { 2, "123456", "0000123456" },
        { 2, "0101000001", "0101000001" },
        { 3, "123456", "000123456" },
        { 3, "A101000001", "A101000001" },
        { 4, "2101", "0000002101" },
        { 5, "12345678", "012345678" },
        { 6, "601000001", "0601000001" },
        { 7, "abc", "0000000abc" },
    };
    chooseBranch(QStringLiteral("上海"), QStringLiteral("上海世纪大道营业部"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        form->accountTypeSelected(c.kind);
        form->controlTextDidChange(Field::Account, c.typed);
        form->controlEditEnd(Field::Account);
        EXPECT_EQ(form->fixAccount(QStringLiteral("0101")), c.sent);
    }
}

TEST_F(LoginViewControllerTest, BranchComesFromTheChoiceOrFromTheAccount)
{
    // Capital account of 8 digits: the chosen branch's prefix and code.
    form->accountTypeSelected(1);
    EXPECT_TRUE(form->isDepartmentOptionShown());
    chooseBranch(QStringLiteral("上海"), QStringLiteral("上海世纪大道营业部"));
    type(QStringLiteral("10000001"), QStringLiteral("111111"));
    login();
    EXPECT_EQ(pair(sentBody(), "inputid"), QStringLiteral("010110000001"));
    EXPECT_EQ(pair(sentBody(), "orgid"), QStringLiteral("0101"));
    EXPECT_EQ(pair(sentBody(), "inputtype"), QStringLiteral("Z"));
    form->LoginComplete();
    // The session controller resets the form; a captcha serves one login.
    const qsizetype captchas = sim.receivedCount(kCaptchaFunction);
    form->resetUI();
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(kCaptchaFunction) > captchas; }, 10s));

    // Customer code: no branch rows; the branch comes from the number even
    // with another branch chosen.
    chooseBranch(QStringLiteral("深圳"), QStringLiteral("深圳深南大道营业部"));
    form->accountTypeSelected(0);
    EXPECT_FALSE(form->isDepartmentOptionShown());
    type(QStringLiteral("010200000002"), QStringLiteral("222222"));
    login();
    EXPECT_EQ(pair(sentBody(), "orgid"), QStringLiteral("0102"));
    EXPECT_EQ(pair(sentBody(), "inputtype"), QStringLiteral("C"));
    EXPECT_EQ(pair(sentBody(), "dynpwd"), QString());
    EXPECT_EQ(logins.size(), 2u);
}

TEST_F(LoginViewControllerTest, SuccessPostsTheAccountAndRemembersItWhenAsked)
{
    alerts.answer = 1;
    form->saveAccountButtonClick(true);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].title, QStringLiteral("警告"));
    EXPECT_EQ(alerts.shown[0].text, QStringLiteral("账户信息将会以加密的形式保存。"));
    EXPECT_EQ(alerts.shown[0].alternateButton, QStringLiteral("取消"));
    EXPECT_TRUE(form->isSaveAccountChecked());

    form->accountTypeSelected(0);
    type(QStringLiteral("010100000001"), QStringLiteral("111111"));
    login();
    ASSERT_EQ(logins.size(), 1u);
    ASSERT_TRUE(logins[0]);
    EXPECT_EQ(logins[0]->customerNumber, QStringLiteral("010100000001"));
    EXPECT_TRUE(form->loginSucceeded());
    EXPECT_TRUE(form->isBusy()); // until the session controller ends it
    EXPECT_TRUE(form->text(Field::Password).isEmpty());
    EXPECT_EQ(AccountManager::getInstance()->getActiveLoginAccount(), logins[0]);
    EXPECT_EQ(UserDefaultConfig::getInstance()->lastLoginAccount(), QStringLiteral("010100000001"));
    EXPECT_EQ(UserDefaultConfig::getInstance()->orgId(), QStringLiteral("0101"));
    EXPECT_EQ(AccountManager::getInstance()->getAccountArray(0), QStringList { QStringLiteral("010100000001") });
    form->LoginComplete();
    EXPECT_FALSE(form->isBusy());

    // "取消" unticks the box and stores nothing.
    form->saveAccountButtonClick(false);
    alerts.answer = 0;
    form->saveAccountButtonClick(true);
    EXPECT_FALSE(form->isSaveAccountChecked());
    EXPECT_EQ(UserDefaultConfig::getInstance()->doSaveAccount(), 0);
}

TEST_F(LoginViewControllerTest, ALoginWithTheSaveBoxUntickedLeavesNoLastAccount)
{
    // A number a former login stored must not outlive a login that asked not to.
    UserDefaultConfig::getInstance()->setLastLoginAccount(QStringLiteral("010100000001"));
    ASSERT_FALSE(form->isSaveAccountChecked());
    form->accountTypeSelected(0);
    type(QStringLiteral("010100000001"), QStringLiteral("111111"));
    login();
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_TRUE(UserDefaultConfig::getInstance()->lastLoginAccount().isEmpty());
    const auto saved = AccountManager::getInstance()->getAccountArray(0);
    EXPECT_TRUE(!saved || saved->isEmpty());
}

TEST_F(LoginViewControllerTest, ASavedLoginComesBackAsAKindAndNumberThatLogIn)
{
    struct Case {
        const char* what;
        const char* branch;
        int kind;
        QString typed, password;
        int kindAtExit; // the kind chosen last, before the application ended
        int restoredKind;
        QString restored;
    };
    const Case cases[] = {
        { "customer code", "上海世纪大道营业部", 0, "010100000001", "111111", 0, 0, "010100000001" },
        { "Shenzhen A shareholder", "上海世纪大道营业部", 2, "0101000001", "111111", 2, 2, "0101000001" },
        { "Shanghai A shareholder", "上海世纪大道营业部", 3, "A101000001", "111111", 3, 3, "A101000001" },
        // The kind chosen last has no number of this customer: the customer
        // number as a customer code.
        { "kind without a number", "上海南京西路营业部", 2, "0102000002", "222222", 4, 0, "010200000002" },
    };
    alerts.answer = 1;
    form->saveAccountButtonClick(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        freshCaptcha();
        chooseBranch(QStringLiteral("上海"), QString::fromUtf8(c.branch));
        form->accountTypeSelected(c.kind);
        type(c.typed, c.password);
        const std::size_t before = logins.size();
        login();
        ASSERT_EQ(logins.size(), before + 1) << qPrintable(alerts.texts().join(u'|'));
        form->LoginComplete();
        form->accountTypeSelected(c.kindAtExit);

        // The next start builds a new form from what was stored.
        form = std::make_unique<LoginViewController>();
        form->setAlertPresenter(&alerts);
        form->appLoginComplete();
        EXPECT_EQ(form->selectedAccountType(), c.restoredKind);
        EXPECT_EQ(form->text(Field::Account), c.restored);
        freshCaptcha();
        form->controlTextDidChange(Field::Password, c.password);
        form->controlTextDidChange(Field::IdentifyingCode, broker().lastCaptchaCode());
        login();
        ASSERT_EQ(logins.size(), before + 2) << qPrintable(alerts.texts().join(u'|'));
        EXPECT_EQ(pair(sentBody(), "inputid"), c.restored);
        form->LoginComplete();
    }
}

TEST_F(LoginViewControllerTest, SavedAccountsAreMaskedAndTheRealNumberIsSent)
{
    UserDefaultConfig::getInstance()->setAccountProtectOption(true);
    auto saved = std::make_shared<Account>();
    saved->customerNumber = QStringLiteral("010100000001");
    saved->gd_ShenA_account = QStringLiteral("0101000001");
    AccountManager::getInstance()->addAccount(saved);
    NotificationCenter::getInstance()->postNotification(sessionnotify::kSavedAccountsChanged);

    form->accountTypeSelected(2);
    ASSERT_EQ(form->accountItems(), QStringList { QStringLiteral("0101****01") });
    form->accountItemSelected(0);
    EXPECT_EQ(form->text(Field::Account), QStringLiteral("0101****01"));
    EXPECT_EQ(form->accountString(), QStringLiteral("0101000001"));
    chooseBranch(QStringLiteral("上海"), QStringLiteral("上海世纪大道营业部"));
    type(QStringLiteral("0101****01"), QStringLiteral("111111"));
    // Typing over the field forgot the saved number; choose it again.
    form->accountItemSelected(0);
    login();
    EXPECT_EQ(pair(sentBody(), "inputid"), QStringLiteral("0101000001"));
    form->LoginComplete();

    // Deleting one character of the masked text empties the field; a typed
    // number is then what goes out.
    form->controlTextDidChange(Field::Account, QStringLiteral("0101****0"));
    EXPECT_TRUE(form->text(Field::Account).isEmpty());
    EXPECT_FALSE(form->accountString().has_value());
}

TEST_F(LoginViewControllerTest, CaptchaAndTokenModes)
{
    // A click on the image asks for a new one.
    const qsizetype captchas = sim.receivedCount(kCaptchaFunction);
    form->changeIdentifyingCode();
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(kCaptchaFunction) > captchas; }, 10s));
    EXPECT_TRUE(form->text(Field::IdentifyingCode).isEmpty());

    // Token mode sends the token code; switching back empties it.
    form->securitySelected(1);
    EXPECT_FALSE(form->isIdentifyingCodeMode());
    EXPECT_EQ(form->tokenLabel(), QStringLiteral("澄石令"));
    EXPECT_EQ(form->controlEditEnd(Field::IdentifyingCode), Field::Token);
    form->accountTypeSelected(0);
    type(QStringLiteral("020100000003"), QStringLiteral("333333"));
    form->controlTextDidChange(Field::Token, QStringLiteral("654321"));
    login();
    EXPECT_EQ(pair(sentBody(), "dynpwd"), QStringLiteral("654321"));
    EXPECT_EQ(logins.size(), 1u);
    form->LoginComplete();
    form->securitySelected(0);
    EXPECT_TRUE(form->text(Field::Token).isEmpty());
    EXPECT_EQ(form->controlEditEnd(Field::IdentifyingCode), Field::Account);
}

// An input method in full-width mode types the captcha and the token in
// full-width digits: the form reads and sends their digits.
TEST_F(LoginViewControllerTest, AFullWidthCaptchaAndTokenAreTheirDigits)
{
    const auto wide = [](QString digits) {
        for (QChar& c : digits)
            c = QChar(char16_t(c.unicode() - u'0' + u'０'));
        return digits;
    };
    form->securitySelected(1);
    form->accountTypeSelected(0);
    type(QStringLiteral("020100000003"), QStringLiteral("333333"), false);
    const QString code = broker().lastCaptchaCode();
    form->controlTextDidChange(Field::IdentifyingCode, QChar(u'\u3000') + wide(code));
    form->controlTextDidChange(Field::Token, wide(QStringLiteral("654321")));
    EXPECT_EQ(form->text(Field::IdentifyingCode), code);
    login();
    EXPECT_EQ(pair(sentBody(), "checkword"), code);
    EXPECT_EQ(pair(sentBody(), "dynpwd"), QStringLiteral("654321"));
    EXPECT_EQ(logins.size(), 1u);
}

TEST_F(LoginViewControllerTest, AFailedCaptchaLeavesNoPictureOfTheOneBefore)
{
    ASSERT_FALSE(form->identifyingCodeImage().isNull());
    sim.answerErrorNext(kCaptchaFunction, -1, QStringLiteral("验证码服务忙"));
    form->changeIdentifyingCode();
    EXPECT_TRUE(spinUntil([&] { return form->identifyingCodeImage().isNull(); }, 10s));
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(LoginViewControllerTest, BusyStateSendsOnceAndCancelDropsTheAnswer)
{
    form->accountTypeSelected(0);
    type(QStringLiteral("010100000001"), QStringLiteral("111111"));
    sim.withholdNext(kTradeLoginFunction);
    form->loginButtonClick(true);
    EXPECT_TRUE(form->isBusy());
    form->loginButtonClick(true); // a held Enter
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(kTradeLoginFunction) == 1; }, 10s));
    form->accountTypeSelected(3); // refused while busy
    EXPECT_EQ(form->selectedAccountType(), 0);

    const qsizetype captchas = sim.receivedCount(kCaptchaFunction);
    form->loginButtonClick(false);
    EXPECT_FALSE(form->isBusy());
    EXPECT_FALSE(form->loginSucceeded());
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(kCaptchaFunction) > captchas; }, 10s));
    testsupport::spinFor(200ms);
    EXPECT_TRUE(logins.empty());
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_EQ(sim.receivedCount(kTradeLoginFunction), 1);
}

TEST_F(LoginViewControllerTest, WrongPasswordShowsTheServersMessageAndRenewsTheCaptcha)
{
    form->accountTypeSelected(0);
    type(QStringLiteral("010100000001"), QStringLiteral("999999"));
    const QString captcha = broker().lastCaptchaCode();
    login();
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].title, QStringLiteral("错误"));
    EXPECT_EQ(alerts.shown[0].text, QStringLiteral("交易密码错误"));
    EXPECT_FALSE(alerts.shown[0].closesOnLock);
    EXPECT_TRUE(logins.empty());
    EXPECT_FALSE(form->isBusy());
    EXPECT_EQ(form->text(Field::Password), QStringLiteral("999999"));
    // The simulator issues the new captcha before the client hears of it:
    // wait for the client's side, the emptied field.
    EXPECT_TRUE(spinUntil([&] { return form->text(Field::IdentifyingCode).isEmpty(); }, 10s));
    EXPECT_NE(broker().lastCaptchaCode(), captcha);
}

} // namespace
