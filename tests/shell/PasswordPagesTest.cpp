// The password and greeting pages' controllers against the simulator.
#include "WindowTestRig.h"
#include "shell/pages/AccountPages.h"
#include "shell/pages/ActionOutcomeRelay.h"
#include "shell/pages/ChangePasswordViewController.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/pages/ReservationInfoViewController.h"
#include "tools/broker-sim/PasswordFunctions.h"

using namespace logintest;
using namespace windowtest;
using brokersim::kChangeFundPasswordFunction;
using brokersim::kChangeTradePasswordFunction;
using brokersim::kReservationInfoFunction;
using testsupport::spinUntil;
using Field = ChangePasswordViewController::Field;

namespace {

const QString kCustomer = QStringLiteral("010100000001");
const QString kPassword = QStringLiteral("111111");

class PasswordPagesTest : public SimulatorFixture {
protected:
    void SetUp() override
    {
        SimulatorFixture::SetUp();
        StartUp().run();
        ASSERT_TRUE(logIn(broker(), kCustomer, kPassword));
        account = AccountManager::getInstance()->getActiveLoginAccount();
        ASSERT_TRUE(account);
    }
    void fill(
        ChangePasswordViewController& page, const QString& old, const QString& fresh, const QString& again)
    {
        page.setPasswordText(Field::Current, old);
        page.setPasswordText(Field::Fresh, fresh);
        page.setPasswordText(Field::Confirm, again);
    }
    // Clicks and waits for the next box.
    QString submit(ChangePasswordViewController& page)
    {
        const std::size_t before = alerts.shown.size();
        page.confirmChangeButtonClicked();
        if (!spinUntil([&] { return alerts.shown.size() > before; }, 10s))
            return QStringLiteral("(no box)");
        return alerts.shown.back().text;
    }
    // True once every answer the simulator sent so far has been handled: a
    // query sent now is answered after them.
    bool answersSentSoFarHandled()
    {
        struct Reader final : IQueryFundInfoDelegate {
            bool answered = false;
            void queryFundInfo(DataModel*, const QString&, const std::vector<RDOFund>&) override { answered = true; }
            bool queryFundInfo(DataModel*, const QString&, const CSError&) override { return answered = true; }
        } reader;
        return account->requestFundInfo(&reader).isEmpty() && spinUntil([&] { return reader.answered; }, 10s);
    }
    std::shared_ptr<Account> account;
    RecordingAlerts alerts;
};

} // namespace

TEST_F(PasswordPagesTest, TradePasswordChecksThenChangesAndTheNewOneLogsIn)
{
    auto page = std::make_unique<ChangePasswordViewController>();
    page->setAlertPresenter(&alerts);
    page->load();
    EXPECT_EQ(page->passordEditEnd(Field::Confirm), Field::Current);

    // Refused before sending, nothing sent: a mismatch; a password too long
    // for the request (never cut to fit) or one that could rewrite it.
    const struct {
        QString fresh, again, message;
    } refused[] = {
        { "222222", "222223", "两次密码输入不相符，请重新输入！" },
        { QString(32, u'7'), QString(32, u'7'), "新密码过长：最多31个字符" },
        { "22 22&2", "22 22&2", "新密码含有不允许的字符" },
    };
    for (const auto& c : refused) {
        fill(*page, kPassword, c.fresh, c.again);
        EXPECT_EQ(submit(*page), c.message);
        EXPECT_EQ(page->passwordText(Field::Fresh), c.fresh) << "the fields keep their text";
    }
    EXPECT_EQ(sim.receivedCount(kChangeTradePasswordFunction), 0);

    // A wrong old password: the server's refusal, the prefix as it was.
    fill(*page, QStringLiteral("000000"), QStringLiteral("222222"), QStringLiteral("222222"));
    EXPECT_EQ(submit(*page), QStringLiteral("交易密码错误"));
    EXPECT_EQ(alerts.shown.back().title, QStringLiteral("错误"));
    EXPECT_EQ(account->getTradePassword(), kPassword);

    // Success with the page closed before the reply: the prefix still takes
    // the new password, and a second change waits for the first.
    sim.withholdNext(kChangeTradePasswordFunction);
    fill(*page, kPassword, QStringLiteral("222222"), QStringLiteral("222222"));
    page->confirmChangeButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(kChangeTradePasswordFunction) == 2; }, 10s));
    EXPECT_EQ(lastBody(kChangeTradePasswordFunction).section(u'&', -2),
        QStringLiteral("newpwd=222222&oldpwd=111111"));
    EXPECT_TRUE(page->isChangingTradePassword());
    page->unloadView();
    page.reset();
    ChangePasswordViewController second;
    second.setAlertPresenter(&alerts);
    second.load();
    fill(second, kPassword, QStringLiteral("333333"), QStringLiteral("333333"));
    EXPECT_EQ(submit(second), QStringLiteral("正在修改交易密码，请等待结果。"));
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return account->getTradePassword() == QStringLiteral("222222"); }, 10s));
    ASSERT_TRUE(spinUntil([&] { return !second.isChangingTradePassword(); }, 10s));

    // The next login takes the new password only.
    EXPECT_FALSE(logIn(broker(), kCustomer, kPassword));
    EXPECT_TRUE(logIn(broker(), kCustomer, QStringLiteral("222222")));
}

TEST_F(PasswordPagesTest, FundPasswordOfTheChosenCapitalAccount)
{
    ChangePasswordViewController page;
    page.setAlertPresenter(&alerts);
    page.load();
    page.passwordTypeSelected(ChangePasswordViewController::kFundPassword);
    EXPECT_TRUE(page.fundOptionShown());
    ASSERT_TRUE(spinUntil([&] { return !page.fundItems().isEmpty(); }, 10s));
    EXPECT_EQ(page.selectedFund(), 0);

    // Switching the protection on masks the numbers and keeps the choice.
    page.fundAccountChanged(int(page.fundItems().size()) - 1);
    const int chosen = page.selectedFund();
    const QString plain = page.fundItems().value(chosen);
    UserDefaultConfig::getInstance()->setAccountProtectOption(true);
    EXPECT_EQ(page.selectedFund(), chosen);
    EXPECT_NE(page.fundItems().value(chosen), plain);
    EXPECT_TRUE(page.fundItems().value(chosen).contains(u'*'));

    fill(page, QStringLiteral("000000"), QStringLiteral("444444"), QStringLiteral("444444"));
    EXPECT_EQ(submit(page), QStringLiteral("原资金密码错误"));
    // A new password equal to the old one is the server's to judge.
    fill(page, kPassword, kPassword, kPassword);
    EXPECT_EQ(submit(page), QStringLiteral("资金密码修改成功。"));
    EXPECT_TRUE(lastBody(kChangeFundPasswordFunction).contains(QStringLiteral("fundid=") + plain + u'&'));
    EXPECT_TRUE(page.passwordText(Field::Current).isEmpty());
    // The trade password is not touched.
    EXPECT_EQ(account->getTradePassword(), kPassword);

    // Pressed again while the change is out: one request, its answer told
    // once, the second press told to wait.
    const qsizetype sent = sim.receivedCount(kChangeFundPasswordFunction);
    sim.withholdNext(kChangeFundPasswordFunction);
    fill(page, kPassword, kPassword, kPassword);
    page.confirmChangeButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
    alerts.shown.clear();
    page.confirmChangeButtonClicked();
    // Another capital account's fund password is not held up by it.
    ASSERT_GT(page.fundItems().size(), 1);
    page.fundAccountChanged(0);
    fill(page, kPassword, kPassword, kPassword);
    page.confirmChangeButtonClicked();
    ASSERT_EQ(sim.releaseWithheld(), 1);
    ASSERT_TRUE(answersSentSoFarHandled());
    EXPECT_EQ(sim.receivedCount(kChangeFundPasswordFunction), sent + 2);
    EXPECT_EQ(alerts.texts(),
        QStringList({ "正在修改资金密码，请等待结果。", "资金密码修改成功。", "资金密码修改成功。" }));

    page.passwordTypeSelected(ChangePasswordViewController::kTradePassword);
    EXPECT_FALSE(page.fundOptionShown());
}

TEST_F(PasswordPagesTest, NoCapitalAccountChosenOrNoAccountSendsAndShowsNothing)
{
    ChangePasswordViewController page;
    page.setAlertPresenter(&alerts);
    page.load();
    page.passwordTypeSelected(ChangePasswordViewController::kFundPassword);
    ASSERT_TRUE(spinUntil([&] { return !page.fundItems().isEmpty(); }, 10s));
    ReservationInfoViewController greeting;
    greeting.setAlertPresenter(&alerts);
    greeting.load();
    alerts.answer = 1;
    const std::function<void()> cases[] = {
        [&] { page.fundAccountChanged(-1); }, // no capital account chosen
        [&] { AccountManager::getInstance()->logoutAllAccount(); }, // no account
    };
    for (const auto& arrange : cases) {
        arrange();
        fill(page, kPassword, QStringLiteral("444444"), QStringLiteral("444444"));
        page.confirmChangeButtonClicked();
    }
    greeting.setInputText(QStringLiteral("你好"));
    greeting.submitButtonClicked(); // the question only
    testsupport::spinFor(50ms);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].alternateButton, QStringLiteral("取消"));
    EXPECT_TRUE(greeting.controlsEnabled());
    EXPECT_EQ(sim.receivedCount(kChangeFundPasswordFunction), 0);
    EXPECT_EQ(sim.receivedCount(kReservationInfoFunction), 0);
}

TEST_F(PasswordPagesTest, GreetingLimitsConfirmationAndServerAnswers)
{
    ReservationInfoViewController page;
    page.setAlertPresenter(&alerts);
    page.load();
    EXPECT_EQ(page.currentText(), account->promptInfo().value_or(QString()));

    const struct {
        QString input, message;
    } refused[] = {
        { "", "请输入新预留信息！" },
        { QString(51, u'好'), "您输入的信息不能大于50个字！" },
        { "早上 好", "您输入的字符包含了非法字符（：#%&+/\\=? .:）！" },
        { "早上：好", "您输入的字符包含了非法字符（：#%&+/\\=? .:）！" },
    };
    for (const auto& c : refused) {
        page.setInputText(c.input);
        page.submitButtonClicked();
        EXPECT_EQ(alerts.shown.back().text, c.message);
        EXPECT_EQ(alerts.shown.back().title, QStringLiteral("温馨提示"));
    }
    // Each of the twelve forbidden characters alone, anywhere in the text, is
    // refused; look-alikes that are not on the list pass.
    const QString forbidden[] = { "：", "#", "%", "&", "+", "/", "\\", "=", "?", " ", ".", ":" };
    for (const QString& ch : forbidden) {
        for (const QString& text : { ch + "早上好", "早上" + ch + "好", "早上好" + ch }) {
            page.setInputText(text);
            EXPECT_FALSE(page.checkReserveInput()) << text.toStdString();
            page.submitButtonClicked();
            EXPECT_EQ(alerts.shown.back().text, QStringLiteral("您输入的字符包含了非法字符（：#%&+/\\=? .:）！"))
                << text.toStdString();
        }
    }
    for (const QString& text : { "早上好！", "早上-好", "早上_好", "早上，好。", "早上？好", "早上＃好", "a1" }) {
        page.setInputText(text);
        EXPECT_TRUE(page.checkReserveInput()) << text.toStdString();
    }
    EXPECT_EQ(sim.receivedCount(kReservationInfoFunction), 0);

    // Cancelling the question sends nothing.
    const QString longest(50, u'好');
    page.setInputText(longest);
    alerts.answer = 0;
    page.submitButtonClicked();
    EXPECT_EQ(alerts.shown.back().text, QStringLiteral("您确定要将预留信息修改为：%1？").arg(longest));
    EXPECT_EQ(alerts.shown.back().alternateButton, QStringLiteral("取消"));
    EXPECT_TRUE(page.controlsEnabled());

    // The longest greeting goes through; the next login brings it back.
    alerts.answer = 1;
    page.submitButtonClicked();
    EXPECT_FALSE(page.controlsEnabled());
    ASSERT_TRUE(spinUntil([&] { return page.controlsEnabled(); }, 10s));
    EXPECT_EQ(alerts.shown.back().text, QStringLiteral("修改已成功！"));
    EXPECT_EQ(page.currentText(), longest);
    EXPECT_TRUE(page.inputText().isEmpty());
    EXPECT_EQ(broker().customer(kCustomer)->prompt, longest);
    ReservationInfoViewController reopened;
    reopened.load();
    EXPECT_EQ(reopened.currentText(), longest);

    // The server judges for itself: a greeting that skipped the page's checks
    // is refused there, and the page shows why.
    ASSERT_TRUE(account->requestReservationInfo(&page, QString(51, u'好')).isEmpty());
    ASSERT_TRUE(spinUntil([&] { return alerts.shown.back().title == QStringLiteral("错误"); }, 10s));
    EXPECT_EQ(alerts.shown.back().text, QStringLiteral("预留信息不能超过50个字"));
    EXPECT_EQ(broker().customer(kCustomer)->prompt, longest);

    // A server error is shown; a result other than "0" (or none) only
    // re-enables the page, without a word. The fields stay either way.
    sim.answerErrorNext(kReservationInfoFunction, 1000, QStringLiteral("预留信息含有非法字符"));
    page.setInputText(QStringLiteral("你好"));
    page.submitButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return page.controlsEnabled(); }, 10s));
    EXPECT_EQ(alerts.shown.back().text, QStringLiteral("预留信息含有非法字符"));
    // "ErrCode" counts by its value: "0.000" from a number field is done.
    for (const char* errCode : std::initializer_list<const char*> { "1", nullptr, "0.000" }) {
        const bool done = errCode && errCode[0] == '0';
        sim.registerFunction(kReservationInfoFunction.main, kReservationInfoFunction.sub,
            [errCode](const brokersim::Request&, brokersim::BrokerState&) {
                brokersim::Table t;
                if (errCode)
                    t.column(QStringLiteral("ErrCode")).row({ QString::fromLatin1(errCode) });
                else
                    t.column(QStringLiteral("ErrMsg")).row({ QStringLiteral("ok") });
                return brokersim::Reply::withTable(t);
            });
        page.submitButtonClicked();
        const qsizetype boxes = alerts.shown.size(); // the question
        ASSERT_TRUE(spinUntil([&] { return page.controlsEnabled(); }, 10s));
        EXPECT_EQ(alerts.shown.size(), boxes + (done ? 1 : 0)) << (errCode ? errCode : "missing");
        EXPECT_EQ(page.currentText(), done ? QStringLiteral("你好") : longest);
        EXPECT_EQ(page.inputText(), done ? QString() : QStringLiteral("你好"));
    }
    EXPECT_EQ(alerts.shown.back().text, QStringLiteral("修改已成功！"));
}

TEST_F(PasswordPagesTest, MenuLinksOpenThePagesAndAnAccountChangeFreesTheGreeting)
{
    MenuItemViewManager manager;
    registerAccountPages(&manager);
    auto entry = [](qint64 linkId) {
        auto node = ChildNode::initLeaf();
        node->nodeLinkType = 4;
        node->nodeLinkId = linkId;
        return node;
    };
    EXPECT_TRUE(dynamic_cast<ChangePasswordViewController*>(manager.getViewController(entry(60000)).get()));
    auto page = manager.getViewController(entry(60002));
    auto* greeting = dynamic_cast<ReservationInfoViewController*>(page.get());
    ASSERT_TRUE(greeting);

    // The reply of a greeting sent for the previous account reaches nobody;
    // the page is usable again at once.
    greeting->setAlertPresenter(&alerts);
    sim.withholdNext(kReservationInfoFunction);
    greeting->setInputText(QStringLiteral("你好"));
    greeting->submitButtonClicked();
    EXPECT_FALSE(greeting->controlsEnabled());
    NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
    EXPECT_TRUE(greeting->controlsEnabled());
    EXPECT_TRUE(greeting->inputText().isEmpty());
}

TEST_F(PasswordPagesTest, TheOutcomeOfAChangeForThePreviousAccountIsNotShown)
{
    ChangePasswordViewController page;
    page.setAlertPresenter(&alerts);
    page.load();
    struct Case {
        const char* what;
        QString old;
        bool changed;
    };
    for (const Case& c : { Case { "refused", QStringLiteral("000000"), false },
             Case { "taken", kPassword, true } }) {
        SCOPED_TRACE(c.what);
        const qsizetype sent = sim.receivedCount(kChangeTradePasswordFunction);
        sim.withholdNext(kChangeTradePasswordFunction);
        fill(page, c.old, QStringLiteral("222222"), QStringLiteral("222222"));
        page.confirmChangeButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(kChangeTradePasswordFunction) > sent; }, 10s));

        // Another account becomes the active one; the customer types for it.
        ASSERT_TRUE(logIn(broker(), QStringLiteral("010200000002"), QStringLiteral("222222")));
        NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
        fill(page, QStringLiteral("222222"), QStringLiteral("555555"), QStringLiteral("555555"));
        const std::size_t boxes = alerts.shown.size();
        ASSERT_EQ(sim.releaseWithheld(), 1);
        ASSERT_TRUE(answersSentSoFarHandled());
        // The change still ends for the account it was asked for.
        EXPECT_EQ(account->getTradePassword(), c.changed ? QStringLiteral("222222") : kPassword);
        EXPECT_EQ(alerts.shown.size(), boxes) << qPrintable(alerts.texts().join(u'|'));
        EXPECT_EQ(page.passwordText(Field::Current), QStringLiteral("222222"));
        AccountManager::getInstance()->setActiveLoginAccount(0);
        NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
    }
}

TEST_F(PasswordPagesTest, AnAccountChangeOrRefillingEndsTheGreetingQuestion)
{
    // Keeps each box open until the test answers it.
    struct HeldAlerts final : AlertPresenter {
        std::vector<Completion> open;
        void runAlert(const AlertRequest&, Completion completion) override { open.push_back(std::move(completion)); }
    } held;
    ReservationInfoViewController page;
    page.setAlertPresenter(&held);
    page.load();
    const std::function<void()> interruptions[] = {
        [&] { NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged); },
        [&] { page.resetButtonClicked(); },
    };
    for (const auto& interrupt : interruptions) {
        page.setInputText(QStringLiteral("你好"));
        page.submitButtonClicked();
        ASSERT_EQ(held.open.size(), 1u);
        interrupt();
        AlertPresenter::Completion answer = std::move(held.open.front());
        held.open.clear();
        answer(1); // 确定
        EXPECT_TRUE(page.controlsEnabled());
    }
    // A question left open the whole time still sends.
    page.setInputText(QStringLiteral("你好"));
    page.submitButtonClicked();
    ASSERT_EQ(held.open.size(), 1u);
    held.open.front()(1);
    EXPECT_FALSE(page.controlsEnabled());
    ASSERT_TRUE(spinUntil([&] { return page.controlsEnabled(); }, 10s));
    EXPECT_EQ(sim.receivedCount(kReservationInfoFunction), 1);
    EXPECT_EQ(broker().customer(kCustomer)->prompt, QStringLiteral("你好"));
}

// A change answered after its page was left or another account became the
// active one: its relay tells the outcome once on the main window, naming
// the account it was sent for after an account change, and that account
// takes what the server took (a new trade password, a greeting) all the
// same, so a page opened later shows it.
TEST_F(PasswordPagesTest, AnOutcomeIsToldOnceWhateverBecameOfItsPage)
{
    enum Kind { Trade, Fund, Greeting };
    enum Way { PageLeft, OtherAccount, OtherAccountAndBack };
    const brokersim::Function functions[]
        = { kChangeTradePasswordFunction, kChangeFundPasswordFunction, kReservationInfoFunction };
    const struct {
        Kind kind;
        Way way;
        QString old, fresh; // the passwords, or the greeting
        QString told;
        bool refused = false;
    } rows[] = {
        { Trade, PageLeft, kPassword, "222222", "交易密码修改成功。" },
        { Trade, OtherAccount, "222222", kPassword, "交易密码修改成功。" },
        { Fund, PageLeft, kPassword, kPassword, "资金密码修改成功。" },
        { Fund, OtherAccount, "000000", "444444", "原资金密码错误", true },
        { Greeting, PageLeft, {}, "早上好", "修改已成功！" },
        { Greeting, OtherAccount, {}, "晚上好", "修改已成功！" },
        // Back on the account by the time the reply comes: the page shows
        // the greeting taken, and the box on the page's own window.
        { Greeting, OtherAccountAndBack, {}, "午安", "修改已成功！" },
    };
    RecordingAlerts mainWindow;
    MenuItemViewManager::getInstance()->setWindow(&mainWindow);
    for (const auto& row : rows) {
        SCOPED_TRACE(qPrintable(row.told + ' ' + QString::number(row.way)));
        const std::optional<QString> password = account->getTradePassword();
        const std::size_t waiting = ActionOutcomeRelay::pendingCount(); // an earlier test's, never answered
        sim.withholdNext(functions[row.kind]);
        std::unique_ptr<MenuItemViewController> page;
        if (row.kind == Greeting) {
            auto greeting = std::make_unique<ReservationInfoViewController>();
            greeting->setAlertPresenter(&alerts);
            greeting->load();
            greeting->setInputText(row.fresh);
            greeting->submitButtonClicked();
            page = std::move(greeting);
        } else {
            auto change = std::make_unique<ChangePasswordViewController>();
            change->setAlertPresenter(&alerts);
            change->load();
            change->passwordTypeSelected(row.kind);
            ASSERT_TRUE(spinUntil([&] { return row.kind == Trade || !change->fundItems().isEmpty(); }, 10s));
            fill(*change, row.old, row.fresh, row.fresh);
            change->confirmChangeButtonClicked();
            page = std::move(change);
        }
        ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
        alerts.shown.clear();
        if (row.way == PageLeft)
            page.reset();
        else
            ASSERT_TRUE(logIn(broker(), QStringLiteral("010200000002"), QStringLiteral("222222")));
        NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
        QString shown; // the current greeting as the view last showed it
        if (row.way == OtherAccountAndBack) {
            AccountManager::getInstance()->setActiveLoginAccount(0);
            NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
            auto* greeting = static_cast<ReservationInfoViewController*>(page.get());
            QObject::connect(greeting, &MenuItemViewController::changed,
                [&shown, greeting] { shown = greeting->currentText(); });
        }
        ASSERT_EQ(sim.releaseWithheld(), 1);
        RecordingAlerts& told = row.way == OtherAccountAndBack ? alerts : mainWindow;
        ASSERT_TRUE(spinUntil([&] { return !told.shown.empty(); }, 10s) && answersSentSoFarHandled());
        ASSERT_EQ(told.texts(),
            QStringList { row.way == OtherAccount
                    ? QString::fromUtf8(ActionOutcomeRelay::kAccountFormat).arg(kCustomer, row.told)
                    : row.told });
        EXPECT_EQ(told.shown[0].title, row.refused ? "错误" : "温馨提示");
        EXPECT_EQ(alerts.shown.size() + mainWindow.shown.size(), 1u) << qPrintable(alerts.texts().join(u'|'));
        if (row.way == OtherAccountAndBack)
            EXPECT_EQ(shown, row.fresh);
        EXPECT_EQ(ActionOutcomeRelay::pendingCount(), waiting);
        mainWindow.shown.clear();
        AccountManager::getInstance()->setActiveLoginAccount(0);
        NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
        EXPECT_EQ(account->getTradePassword(), row.kind == Trade ? row.fresh : password);
        ReservationInfoViewController reopened;
        reopened.load();
        if (row.kind == Greeting)
            EXPECT_EQ(reopened.currentText(), row.fresh);
    }
    MenuItemViewManager::getInstance()->setWindow(nullptr);
}
