// WindowController against the in-process simulator: the speed test over the
// stored server list, the start-up requests, the demo customer logged in
// through the login form's controller, the main window, logout.
#include "SessionTestRig.h"
#include "WindowTestRig.h"
#include "core/ServerListController.h"
#include "session/ServerListFile.h"
#include "session/SessionServer.h"
#include "session/WindowController.h"
#include "shell/ShellDataModels.h"
#include "shell/menu/MenuManager.h"
#include "shell/windows/LoginWindowController.h"
#include "shell/windows/SessionNotifications.h"

namespace {

using namespace std::chrono_literals;
using namespace sessiontest;
using testsupport::spinUntil;
using Field = LoginViewController::Field;

// The login window as its controller, without widgets.
class FormWindows final : public ISessionWindows {
public:
    std::unique_ptr<LoginWindowController> login;
    windowtest::RecordingAlerts formAlerts;
    QStringList log;
    std::vector<AlertRequest> boxes;
    int formEnabled = 0;

    bool hasLoginWindow() const override { return login != nullptr; }
    void showLoginWindow(std::function<void()>, std::function<void()> loginCancelled) override
    {
        if (!login) {
            login = std::make_unique<LoginWindowController>();
            login->setAlertPresenter(&formAlerts);
            QObject::connect(&login->loginViewController(), &LoginViewController::loginCancelled,
                [loginCancelled] { loginCancelled(); });
            log << "loginWindow";
        }
    }
    void closeLoginWindow() override
    {
        if (login)
            log << "closeLogin";
        login.reset();
    }
    void appLoginComplete() override
    {
        ++formEnabled;
        login->appLoginComplete();
    }
    void loginComplete() override { login->loginComplete(); }
    void resetUI() override { login->resetUI(); }
    void runAlert(const AlertRequest& request, AlertPresenter::Completion) override
    {
        boxes.push_back(request);
    }
    void showLastLoginInfoWindow(
        const QString&, const QString& content, const std::optional<QRect>& frame) override
    {
        log << (frame ? "lastLogin on main" : "lastLogin") + QStringLiteral(" ") + content.left(4);
    }
    void closeLastLoginInfoWindow() override { }
    void refreshAccountLists() override { }
    void stopModal() override { }
};

class SessionEndToEndTest : public logintest::SimulatorFixture {
protected:
    void SetUp() override
    {
        SimulatorFixture::SetUp();
        registerShellDataModels();
        MenuManager::resetInstance();
        // The client finds the simulator through its stored server list.
        ASSERT_TRUE(
            serverlistfile::write({ { QStringLiteral("127.0.0.1"), QString::number(sim.httpPort()) } },
                { { QStringLiteral("127.0.0.1"), QString::number(sim.tcPort()) } }, QStringLiteral("模拟")));
        DMServerManager::resetInstance();
        NetworkFactory::getInstance()->setServerManager(DMServerManager::getInstance());
        LoginManager::getInstance()->setRequestTimeout(10);
        mainWindow.log = &windows.log;
        WindowController::Services s;
        s.windows = &windows;
        s.mainWindow = &mainWindow;
        s.riskWindows = &riskWindows;
        s.quit = [this] { ++quits; };
        controller = std::make_unique<WindowController>(s);
    }
    void TearDown() override
    {
        controller.reset();
        windows.login.reset();
        MenuManager::resetInstance();
        SimulatorFixture::TearDown();
    }

    FormWindows windows;
    FakeMainWindow mainWindow;
    FakeRiskWindows riskWindows;
    std::unique_ptr<WindowController> controller;
    int quits = 0;
};

TEST_F(SessionEndToEndTest, DemoCustomerReachesTheMainWindowAndLogoutReturnsToTheForm)
{
    controller->launch();
    ASSERT_TRUE(spinUntil([&] { return controller->state() == WindowController::State::LoginReady; }, 20s))
        << int(controller->state()) << " " << windows.boxes.size();
    EXPECT_FALSE(controller->isStartUpTimerRunning());
    LoginViewController& form = windows.login->loginViewController();
    ASSERT_TRUE(form.isEnabled());
    qint64 captcha = 0;
    const auto logIn = [&] {
        ASSERT_TRUE(spinUntil([&] { return form.identifyingCodeImage().cacheKey() != captcha; }, 10s));
        captcha = form.identifyingCodeImage().cacheKey();
        form.controlTextDidChange(Field::Account, QStringLiteral("010100000001"));
        form.controlTextDidChange(Field::Password, QStringLiteral("111111"));
        form.controlTextDidChange(Field::IdentifyingCode, broker().lastCaptchaCode());
        form.loginButtonClick(true);
    };

    // Cancelled (取 消) while the session asks the risk status: the account
    // goes, and its status, answered before the next login's, opens nothing.
    sim.withholdNext(brokersim::kRiskStatusFunction);
    logIn();
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kRiskStatusFunction) == 1; }, 20s));
    ASSERT_TRUE(form.isBusy());
    form.loginButtonClick(false);
    EXPECT_TRUE(AccountManager::getInstance()->loginAccounts().empty());
    ASSERT_EQ(sim.releaseWithheld(), 1);

    logIn();
    ASSERT_TRUE(spinUntil([&] { return mainWindow.open_ || !windows.formAlerts.shown.empty(); }, 20s));
    EXPECT_EQ(sim.receivedCount(brokersim::kRiskStatusFunction), 2);
    ASSERT_TRUE(mainWindow.open_) << qPrintable(windows.formAlerts.texts().join('|'));
    EXPECT_FALSE(windows.hasLoginWindow());
    EXPECT_EQ(AccountManager::getInstance()->loginAccounts().size(), 1u);
    // The customer has logged in before: the last-login window on the main one.
    EXPECT_TRUE(windows.log.filter("lastLogin on main").size() == 1) << qPrintable(windows.log.join('|'));

    const int enabled = windows.formEnabled;
    AccountManager::getInstance()->logoutAllAccount();
    NotificationCenter::getInstance()->postNotification(sessionnotify::kLogout);
    EXPECT_FALSE(mainWindow.open_);
    ASSERT_TRUE(windows.hasLoginWindow());
    EXPECT_EQ(windows.formEnabled, enabled + 1);
    EXPECT_TRUE(windows.login->loginViewController().isEnabled());
    EXPECT_EQ(quits, 0);
    EXPECT_TRUE(windows.boxes.empty());
}

TEST_F(SessionEndToEndTest, ATradeLoginReplyWithoutWhatTheSessionNeedsLogsNobodyIn)
{
    controller->launch();
    ASSERT_TRUE(spinUntil([&] { return controller->state() == WindowController::State::LoginReady; }, 20s));
    LoginViewController& form = windows.login->loginViewController();
    using brokersim::Table;
    Table customerOnly;
    customerOnly.column(QStringLiteral("custid")).row({ QStringLiteral("010100000001") });
    Table noRows;
    noRows.column(QStringLiteral("custid")).column(QStringLiteral("name")).column(QStringLiteral("com_url"));
    Table blankPrefix = noRows;
    blankPrefix.row({ QStringLiteral("010100000001"), QStringLiteral("张三"), QString() });
    Table noCustomer = noRows;
    noCustomer.row({ QString(), QStringLiteral("张三"), QStringLiteral("custorgid=0101&trdpwd=111111") });
    const QString noNumber = QStringLiteral("登录应答缺少客户号，无法登录");
    const QString noPrefix = QStringLiteral("登录应答缺少交易请求前缀，无法登录");
    const struct {
        const char* what;
        Table table;
        QString message;
    } cases[] = {
        { "no rows", noRows, noNumber },
        { "only the customer number", customerOnly, noPrefix },
        { "a blank prefix", blankPrefix, noPrefix },
        { "a blank customer number", noCustomer, noNumber },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(spinUntil([&] { return !form.identifyingCodeImage().isNull() && !form.isBusy(); }, 10s));
        const qint64 captcha = form.identifyingCodeImage().cacheKey();
        sim.answerTablesNext(brokersim::kTradeLoginFunction, { c.table });
        form.controlTextDidChange(Field::Account, QStringLiteral("010100000001"));
        form.controlTextDidChange(Field::Password, QStringLiteral("111111"));
        form.controlTextDidChange(Field::IdentifyingCode, broker().lastCaptchaCode());
        const qsizetype before = sim.receivedCount();
        const std::size_t boxes = windows.formAlerts.shown.size();
        form.loginButtonClick(true);
        ASSERT_TRUE(spinUntil([&] { return windows.formAlerts.shown.size() > boxes; }, 20s));
        EXPECT_EQ(windows.formAlerts.shown.back().title, QStringLiteral("错误"));
        EXPECT_EQ(windows.formAlerts.shown.back().text, c.message);
        EXPECT_FALSE(form.loginSucceeded());
        ASSERT_TRUE(spinUntil([&] { return form.identifyingCodeImage().cacheKey() != captcha; }, 10s));
        testsupport::spinFor(100ms);
        // Nobody logged in, no main window, and after the login only a new captcha went out.
        EXPECT_TRUE(AccountManager::getInstance()->loginAccounts().empty());
        EXPECT_FALSE(mainWindow.open_);
        EXPECT_TRUE(windows.hasLoginWindow());
        QStringList after;
        for (const brokersim::Request& r : sim.received().mid(before))
            if (!r.logon && r.function != brokersim::kCaptchaFunction)
                after << QStringLiteral("%1/%2").arg(r.function.main).arg(r.function.sub);
        EXPECT_EQ(after, QStringList { QStringLiteral("501/500") });
    }
}

} // namespace

// The start-up probes and selects only what the network dials: entries no
// socket dials are passed over, and one the socket dials once white space is
// dropped is found and selected, and the network takes it as it is dialled.
TEST_F(SessionEndToEndTest, TheStartUpSelectsOnlyWhatTheNetworkDials)
{
    const QString http = QString::number(sim.httpPort());
    const QString tc = QString::number(sim.tcPort());
    ASSERT_TRUE(
        serverlistfile::write({ { QStringLiteral("[::1]"), http }, { QStringLiteral("127.0.0.1 "), http } },
            { { QStringLiteral("999.1.1.1"), tc }, { QStringLiteral("127.0.0.1 "), tc } },
            QStringLiteral("模拟")));
    DMServerManager::resetInstance();
    DMServerManager* servers = DMServerManager::getInstance();
    // The application login (which would rebuild the lists) waits.
    sim.withholdNext(brokersim::kAppLoginFunction);
    controller->launch();
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 20s)) << int(controller->state());
    ASSERT_TRUE(spinUntil([&] { return !servers->isTesting(); }, 20s));
    for (const int32_t kind : { DMServerManager::kQuote, DMServerManager::kTrade }) {
        EXPECT_EQ(servers->indexOfSelectedByType(kind), 1);
        const std::optional<CSServerInfo> selected = servers->serverInfoOfSelectedByType(kind);
        ASSERT_TRUE(selected);
        EXPECT_EQ(selected->address(), QStringLiteral("127.0.0.1"));
    }
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return controller->state() == WindowController::State::LoginReady; }, 20s));
}

// The start-up runs its own speed test, whatever test the server-list window
// has running, and cancels only its own: a test the window started since goes on.
TEST_F(SessionEndToEndTest, TheStartUpCancelsOnlyItsOwnSpeedTest)
{
    DMServerManager* servers = DMServerManager::getInstance();
    struct Heard : DMServerManagerDelegate {
        int finished = 0;
        void serverManagerDidFinishedTest(DMServerManager&, const RDOServerInfo&, bool, double) override
        {
            ++finished;
        }
    } startUp;
    SharedSessionServer server;
    ServerListController window(servers);
    window.windowDidLoad();

    ASSERT_TRUE(window.testSpeedButtonClick(0));
    const quint64 windows = servers->runningTest();
    server.startTesting(&startUp);
    const quint64 own = servers->runningTest();
    EXPECT_NE(own, windows);
    EXPECT_EQ(servers->delegate(), &startUp);
    ASSERT_TRUE(spinUntil([&] { return !servers->isTesting(); }));
    EXPECT_EQ(startUp.finished, 2); // one quote and one trade server
    EXPECT_EQ(window.numberOfRowsInTableView(), 0);

    ASSERT_TRUE(window.testSpeedButtonClick(0));
    const quint64 later = servers->runningTest();
    server.cancelTesting();
    EXPECT_EQ(servers->runningTest(), later);
    ASSERT_TRUE(spinUntil([&] { return !servers->isTesting(); }));
    EXPECT_EQ(window.numberOfRowsInTableView(), 1);
}
