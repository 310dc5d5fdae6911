#pragma once

#include "compliance/RiskEvaluationGate.h"
#include "core/DMServerManager.h"
#include "login/LoginDataModels.h"
#include "session/SessionServer.h"
#include "session/SessionTimers.h"
#include "session/SessionWindows.h"
#include "shell/ShellDataModels.h"

#include <QString>
#include <functional>
#include <memory>

class AccountManager;
class NotificationCenter;

// What WindowController works with; null ones are the shared instances.
struct WindowControllerServices {
    ISessionWindows* windows = nullptr; // required
    IMainWindowOpener* mainWindow = nullptr; // required
    IRiskGateWindows* riskWindows = nullptr; // required
    ISessionServer* server = nullptr; // null: the shared managers
    AccountManager* accountManager = nullptr;
    NotificationCenter* notificationCenter = nullptr;
    SessionTimerFactory timers; // empty: run-loop timers
    // Sends the risk-status request and answers its handle, and drops the
    // request of a handle; empty: the login sequence's.
    std::function<QString(IQueryRiskAssessmentStatusDelegate*)> requestRiskStatus;
    std::function<void(const QString&)> cancelRiskStatus;
    // Ends the application; empty: nothing.
    std::function<void()> quit;
    double startUpTimeout = 10.0; // seconds
};

// The session state machine: the login window, the speed test of the server
// lists, the terminal id, the application login (at most three restarts on
// 90001), the branch list and the menu when their versions changed, the form
// enabled; after each trade login the risk gate, then the main window and
// the last-login window; logout back to the login window. The risk gate
// handles the screen lock itself. Main thread only.
class WindowController final : public DMServerManagerDelegate,
                               public IRiskGateHost,
                               public IUtidDelegate,
                               public IAppLoginDelegate,
                               public IOrganizationInfoDelegate,
                               public IQueryMenuInfoDelegate {
public:
    using Services = WindowControllerServices;
    static constexpr qint64 kMaxAppLoginRetries = 3;
    static constexpr char kTimeoutTitle[] = "错误提示";
    static constexpr char kTimeoutText[] = "无法连接服务器或登录服务器失败。";
    // The error of a menu reply without entries.
    static constexpr char kEmptyMenuText[] = "菜单为空，请稍后重新启动。";

    enum class State {
        Idle, // before launch
        TestingServers,
        TerminalId,
        ApplicationLogin,
        Bootstrap, // branch list and menu
        LoginReady, // the form is usable; after it the gate tells the state
        TimeOutAlert,
        Stopped, // terminal-id failure: waits for the time-out alert
        Halted, // a failure box before the retry alert
        Ended,
    };

    explicit WindowController(Services services);
    ~WindowController() override;
    WindowController(const WindowController&) = delete;
    WindowController& operator=(const WindowController&) = delete;

    // The application's controller while one exists.
    static WindowController* getInstance();

    void launch();
    void testServer();
    void timeout();
    void showLoginWindow();
    bool isDoingRiskEvaluation() const { return gate_.isDoingRiskEvaluation(); }
    bool lockEndsTheSession() const { return gate_.lockEndsTheSession(); }

    State state() const { return state_; }
    const RiskEvaluationGate& gate() const { return gate_; }
    qint64 appLoginRetryTime() const { return appLoginRetryTime_; }
    bool isStartUpTimerRunning() const { return timeoutTimer_ != nullptr; }

    // DMServerManagerDelegate: a probe result, by the server's tag.
    void serverManagerDidFinishedTest(
        DMServerManager& manager, const RDOServerInfo& server, bool reachable, double trafficTime) override;
    void serverManagerDidFinishedTest(const QString& tag, bool reachable);

    // The login sequence and the menu.
    void queryUtid(DataModel* request, const QString& requestHandle, const QString& utid) override;
    bool queryUtid(DataModel* request, const QString& requestHandle, const CSError& error) override;
    void appLogin(DataModel* request, const QString& requestHandle,
        const std::optional<RDOServerVersionInfo>& info) override;
    bool appLogin(DataModel* request, const QString& requestHandle, const CSError& error) override;
    void queryOrganizationInfo(
        DataModel* request, const QString& requestHandle, const RDOOrganizationInfo& info) override;
    bool queryOrganizationInfo(
        DataModel* request, const QString& requestHandle, const CSError& error) override;
    void queryMenuInfo(DataModel* request, const QString& requestHandle,
        const std::shared_ptr<RDOMenuManager>& menu) override;
    bool queryMenuInfo(DataModel* request, const QString& requestHandle, const CSError& error) override;

    // Notifications: a trade login (type 0), logout (type 1).
    void loginSucceed(const AccountManager::AccountPtr& account);

    // IRiskGateHost
    bool hasMainWindow() const override;
    bool isScreenLocked() const override;
    void lockWindow(bool locked) override;
    void showMainWindow() override;
    void showLastLoginInfoWindow(const QString& title, const QString& content) override;
    void logout() override;
    void loginComplete() override;
    void resetUI() override;
    void closeLoginWindow() override;
    void showError(const QString& message) override;
    void refreshAccountLists() override;
    void stopModal() override;

private:
    void startSession();
    void requestUtid();
    void requestAppLogin();
    // After the error of a failed branch list the start-up alert's "重试";
    // after that of a failed menu the end of the application.
    enum class AfterError { Retry, End };
    void bootstrapFailed(const QString& message, AfterError after);
    void checkBootstrap();
    void showTimeoutAlert();
    void loginWindowClosedByUser();
    void mainWindowClosedByUser();
    void endApplication();

    ISessionWindows* windows;
    IMainWindowOpener* mainWindow;
    std::unique_ptr<ISessionServer> ownServer_;
    ISessionServer* server;
    NotificationCenter* notificationCenter;
    SessionTimerFactory timers;
    std::function<void()> quit;
    double startUpTimeout;
    RiskEvaluationGate gate_;

    State state_ = State::Idle;
    qint64 appLoginRetryTime_ = 0;
    bool menuIsInit = false;
    bool orgIsInit = false;
    bool quoteTestingStart = false;
    bool tradeTestingStart = false;
    // The login step started in this round of tests: later probe results
    // only pick the quote server.
    bool sessionStarted_ = false;
    std::unique_ptr<SessionTimer> timeoutTimer_;
    platform::Lifetime alive_;
};
