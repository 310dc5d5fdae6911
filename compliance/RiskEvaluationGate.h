#pragma once

#include "compliance/RiskEvaluationWindowController.h"
#include "login/AccountManager.h"
#include "login/LoginDataModels.h"
#include "shell/pages/AskedFor.h"

#include <QString>
#include <functional>
#include <memory>

class NotificationCenter;

// A window or box the gate opened, which the gate may close itself.
class IGateWindow {
public:
    virtual ~IGateWindow() = default;
    // Closes it without asking anyone; a completion that still runs finds the
    // gate no longer waiting for it.
    virtual void close() = 0;
};

// The windows the gate opens. The application's are in compliance/ui; tests
// give fakes.
class IRiskGateWindows {
public:
    virtual ~IRiskGateWindows() = default;
    // The status notice: a BusinessContractWindow made with
    // initWithContent:defaultButton:alterButton: and the title, run
    // application-modal without parent; `done` gets its modal result.
    virtual std::unique_ptr<IGateWindow> showStatusNotice(const QString& content, const QString& defaultButton,
        const QString& alterButton, const QString& title, std::function<void(int)> done)
        = 0;
    // The follow-up alert on the login window: message, text, one button
    // "确认"; `done` when it is dismissed.
    virtual std::unique_ptr<IGateWindow> showFollowUpAlert(
        const QString& messageText, const QString& informativeText, std::function<void()> done)
        = 0;
    // The re-evaluation window, centred and application-modal.
    virtual std::unique_ptr<IGateWindow> showEvaluationWindow(RiskEvaluationWindowControllerDeleagate* delegate) = 0;
};

// What the session controller does for the gate.
class IRiskGateHost {
public:
    virtual ~IRiskGateHost() = default;
    virtual bool hasMainWindow() const = 0;
    // The screen lock is on: the session's windows are hidden behind the
    // unlock window, and nothing of the gate may open over it.
    virtual bool isScreenLocked() const = 0;
    // lockWindow: covers or uncovers the main window.
    virtual void lockWindow(bool locked) = 0;
    // showMainWindow (only when none exists) and showLastLoginInfoWindow:content:
    // (only with content).
    virtual void showMainWindow() = 0;
    virtual void showLastLoginInfoWindow(const QString& title, const QString& content) = 0;
    // logout: closes the main and last-login windows, a fresh login window.
    virtual void logout() = 0;
    // The login window: loginComplete, resetUI, closing it.
    virtual void loginComplete() = 0;
    virtual void resetUI() = 0;
    virtual void closeLoginWindow() = 0;
    // An error box ("错误", "确认") on the login window, or on the main window
    // when no login window is open.
    virtual void showError(const QString& message) = 0;
    // The logged-in accounts changed under the windows that list them.
    virtual void refreshAccountLists() = 0;
    // Ends the application's current modal session, if any.
    virtual void stopModal() = 0;
};

// The risk-evaluation gate that runs after every successful trade login,
// before the main window opens: the status request, the notice, the
// follow-up alert, the questionnaire window, and the screen lock while they
// are open. WindowController owns one and forwards the login (type 0); the
// gate itself listens for the screen lock (type 3), the unlock (type 5) and
// the logout (type 1). A status answered while the screen is locked waits for
// the unlock; one for an account logged out since opens nothing. Main thread
// only.
class RiskEvaluationGate : public IQueryRiskAssessmentStatusDelegate,
                           public RiskEvaluationWindowControllerDeleagate {
public:
    static constexpr int32_t kLogout = 1; // NotificationCenter types
    static constexpr int32_t kActiveAccountChanged = 2;
    static constexpr int32_t kLockScreen = 3;
    static constexpr int32_t kUnlockResult = 5;
    static constexpr int32_t kRestartLockTimer = 18;

    enum class State { Idle, WaitingForStatus, Notice, Alert, Questionnaire, SessionOpen, LoggedOut };

    struct Services {
        IRiskGateHost* host = nullptr; // required
        IRiskGateWindows* windows = nullptr; // required
        AccountManager* accountManager = nullptr; // null: the shared one
        NotificationCenter* notificationCenter = nullptr; // null: the shared one
        // Sends the status request and answers its request handle; empty:
        // LoginManager requestRiskEvaluationStatus:.
        std::function<QString(IQueryRiskAssessmentStatusDelegate*)> requestStatus;
        // Drops the status request of that handle; empty: LoginManager's.
        std::function<void(const QString&)> cancelStatus;
    };

    explicit RiskEvaluationGate(Services services);
    ~RiskEvaluationGate() override;
    RiskEvaluationGate(const RiskEvaluationGate&) = delete;
    RiskEvaluationGate& operator=(const RiskEvaluationGate&) = delete;

    // loginSucceed: a trade login succeeded for this account.
    void loginSucceed(const AccountManager::AccountPtr& account);
    // lockScreen: type 3.
    void lockScreen();
    // The customer cancelled the login whose status is still asked for: the
    // request is dropped and the account logged out, as if it had never
    // logged in. At any other time it changes nothing.
    void loginCancelled();

    // queryRiskAssessmentStatus:requestHandle:completeWithStatus: and :error:
    void queryRiskAssessmentStatus(
        DataModel* request, const QString& requestHandle, const RDORiskAssessmentStatus& status) override;
    bool queryRiskAssessmentStatus(DataModel* request, const QString& requestHandle, const CSError& error) override;
    // riskEvaluationSucceed:windowController:
    void riskEvaluationSucceed(bool passed, RiskEvaluationWindowController* windowController) override;

    // isDoingRiskEvaluation: the status notice or the follow-up alert is shown.
    bool isDoingRiskEvaluation() const { return businessContractWindow_ || riskEvaluationAlert_; }
    // A screen lock now would end the session rather than lock it: the
    // login checked would be turned away with every account.
    bool lockEndsTheSession() const
    {
        return (isDoingRiskEvaluation() || state_ == State::Questionnaire) && turnsEveryoneAway();
    }
    State state() const { return state_; }
    const AccountManager::AccountPtr& account() const { return account_; }

private:
    // Runs `step` now, or holds it until the screen is unlocked.
    void whenUnlocked(std::function<void()> step);
    void unlocked();
    void sessionLoggedOut();
    // The account the gate checks is still logged in; otherwise the gate's
    // step ends here.
    bool checkedAccountLoggedIn();
    void statusAnswered(const RDORiskAssessmentStatus& status);
    void showRiskEvaluationWindow(const RDORiskAssessmentStatus& status);
    void statusNoticeEnded(const RDORiskAssessmentStatus& status, int result);
    void showEvaluationWindow();
    void openSession();
    // The login checked did not pass (its questionnaire abandoned, or the
    // screen locked while its notice was up).
    void turnAway();
    bool turnsEveryoneAway() const;
    // An account other than `account_` is logged in. Logging in once more
    // replaces an account's object: the one in is then `account_` itself.
    bool othersLoggedIn() const;
    // The main window is open and would have no account once `account_` goes.
    bool leavesTheSessionEmpty() const;
    void logoutAll();
    void statusFailed(const QString& message);
    void logoutAskedAccount();
    void closeRiskEvaluationAlert();
    void later(std::function<void()> call);

    IRiskGateHost* host;
    IRiskGateWindows* windows;
    AccountManager* accountManager;
    NotificationCenter* notificationCenter;
    std::function<QString(IQueryRiskAssessmentStatusDelegate*)> requestStatus;
    std::function<void(const QString&)> cancelStatus;

    // The status asked for `account_`, under its request handle: an answer
    // asked for an earlier login is late.
    AskedFor asked_;
    AccountManager::AccountPtr account_;
    // The account active before `account_` logged in: a further login turned
    // away hands the session back to it.
    std::weak_ptr<Account> activeBefore_;
    // `account_` logged in from the open session (a further login).
    bool further_ = false;
    std::unique_ptr<IGateWindow> businessContractWindow_;
    std::unique_ptr<IGateWindow> riskEvaluationAlert_;
    std::unique_ptr<IGateWindow> riskEvaluationWindowController_;
    // The step an answer took while the screen was locked.
    std::function<void()> held_;
    State state_ = State::Idle;
};
