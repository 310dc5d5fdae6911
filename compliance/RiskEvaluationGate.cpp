#include "compliance/RiskEvaluationGate.h"

#include "core/NotificationCenter.h"
#include "login/LoginManager.h"
#include "platform/RunLoop.h"

#include <algorithm>

namespace {

// The risk status of the last login, by its request handle.
const QString kStatusChannel = QStringLiteral("status");

} // namespace

RiskEvaluationGate::RiskEvaluationGate(Services services)
    : host(services.host)
    , windows(services.windows)
    , accountManager(services.accountManager ? services.accountManager : AccountManager::getInstance())
    , notificationCenter(services.notificationCenter ? services.notificationCenter : NotificationCenter::getInstance())
    , requestStatus(std::move(services.requestStatus))
    , cancelStatus(std::move(services.cancelStatus))
{
    Q_ASSERT(host && windows);
    if (!requestStatus) {
        requestStatus = [](IQueryRiskAssessmentStatusDelegate* observer) {
            return LoginManager::getInstance()->requestRiskEvaluationStatus(observer);
        };
    }
    if (!cancelStatus) {
        cancelStatus
            = [](const QString& handle) { LoginManager::getInstance()->cancelRiskEvaluationStatus(handle); };
    }
    const void* key = static_cast<const void*>(this);
    notificationCenter->addObserver(
        key, [this] { lockScreen(); }, kLockScreen);
    // The lock decides on its result first (a refused unlock logs everyone
    // out): the gate looks on a later pass.
    notificationCenter->addObserver(
        key, [this] { later([this] { unlocked(); }); }, kUnlockResult);
    notificationCenter->addObserver(
        key, [this] { sessionLoggedOut(); }, kLogout);
}

RiskEvaluationGate::~RiskEvaluationGate()
{
    notificationCenter->removeObserver(static_cast<const void*>(this));
    platform::RunLoop::main()->cancelAll(this);
}

void RiskEvaluationGate::later(std::function<void()> call)
{
    // Modal windows never run inside a reply callback or a lock handler.
    platform::RunLoop::main()->perform(platform::RunLoopModes::common(), std::move(call), this);
}

void RiskEvaluationGate::loginSucceed(const AccountManager::AccountPtr& account)
{
    account_ = account;
    activeBefore_ = accountManager->activeBeforeLastAdded();
    further_ = host->hasMainWindow();
    held_ = nullptr;
    if (host->hasMainWindow())
        host->lockWindow(true);
    state_ = State::WaitingForStatus;
    // The handle covers the account's prefix: each login's answer is its own.
    asked_.ask(kStatusChannel, requestStatus(this));
}

void RiskEvaluationGate::loginCancelled()
{
    // Only while the status is on its way: once it came, the gate goes on.
    const QString handle = asked_.subject(kStatusChannel);
    if (!asked_.take(kStatusChannel, handle))
        return;
    cancelStatus(handle);
    if (host->hasMainWindow())
        host->lockWindow(false);
    logoutAskedAccount();
}

void RiskEvaluationGate::queryRiskAssessmentStatus(
    DataModel*, const QString& requestHandle, const RDORiskAssessmentStatus& status)
{
    if (!asked_.take(kStatusChannel, requestHandle))
        return;
    whenUnlocked([this, status] { statusAnswered(status); });
}

void RiskEvaluationGate::statusAnswered(const RDORiskAssessmentStatus& status)
{
    if (host->hasMainWindow())
        host->lockWindow(false);
    if (!checkedAccountLoggedIn())
        return;
    if (status.status == 1 || status.status == 2)
        later([this, status] { whenUnlocked([this, status] { showRiskEvaluationWindow(status); }); });
    else
        openSession();
}

bool RiskEvaluationGate::queryRiskAssessmentStatus(DataModel*, const QString& requestHandle, const CSError& error)
{
    if (!asked_.take(kStatusChannel, requestHandle))
        return true;
    whenUnlocked([this, message = error.domain] {
        if (host->hasMainWindow())
            host->lockWindow(false);
        later([this, message] { whenUnlocked([this, message] { statusFailed(message); }); });
    });
    return true;
}

void RiskEvaluationGate::whenUnlocked(std::function<void()> step)
{
    if (host->isScreenLocked()) {
        held_ = std::move(step);
        return;
    }
    step();
}

void RiskEvaluationGate::unlocked()
{
    if (!held_ || host->isScreenLocked())
        return;
    std::function<void()> step = std::move(held_);
    held_ = nullptr;
    step();
}

void RiskEvaluationGate::sessionLoggedOut()
{
    // Every account went (a refused unlock, the last one logged out): the
    // status still asked for, or held for the unlock, is nobody's any more.
    if (state_ != State::WaitingForStatus)
        return;
    const QString handle = asked_.subject(kStatusChannel);
    if (asked_.take(kStatusChannel, handle))
        cancelStatus(handle);
    held_ = nullptr;
    account_.reset();
    state_ = State::LoggedOut;
}

bool RiskEvaluationGate::checkedAccountLoggedIn()
{
    const auto& accounts = accountManager->loginAccounts();
    if (account_ && std::ranges::find(accounts, account_) != accounts.end())
        return true;
    held_ = nullptr;
    account_.reset();
    state_ = host->hasMainWindow() ? State::SessionOpen : State::LoggedOut;
    return false;
}

void RiskEvaluationGate::statusFailed(const QString& message)
{
    if (!checkedAccountLoggedIn())
        return;
    // The main window stays as it was (closed after a first login, open after
    // a further one); only the account that could not be checked goes. When
    // it was the open session's only account (it logged in once more), the
    // session goes with it, before the error: a box on the main window would
    // close with it unread.
    const bool sessionEnds = leavesTheSessionEmpty();
    if (sessionEnds)
        logoutAll();
    host->showError(message);
    host->loginComplete();
    host->resetUI();
    if (!sessionEnds)
        logoutAskedAccount();
}

bool RiskEvaluationGate::othersLoggedIn() const
{
    const auto& accounts = accountManager->loginAccounts();
    return std::ranges::any_of(accounts, [this](const auto& a) { return a != account_; });
}

bool RiskEvaluationGate::leavesTheSessionEmpty() const
{
    return host->hasMainWindow() && !othersLoggedIn();
}

void RiskEvaluationGate::logoutAskedAccount()
{
    // The main window never stays open without an account.
    if (leavesTheSessionEmpty()) {
        logoutAll();
        return;
    }
    // The account checked goes, whichever is active now: two numbers of one
    // customer may show the same line, and the list may have made the other
    // one active again.
    const AccountManager::AccountPtr active = accountManager->getActiveLoginAccount();
    const auto& accounts = accountManager->loginAccounts();
    if (const auto at = std::ranges::find(accounts, account_); at != accounts.end()) {
        accountManager->setActiveLoginAccount(qint64(at - accounts.begin()));
        accountManager->logoutCurrentActiveAccount();
    }
    // Another logged-in account is active, so no list or page keeps pointing
    // at the one that went: the other one made active meanwhile, else the
    // one active before this login, else the last one.
    const qint64 remaining = qint64(accounts.size());
    auto kept = std::ranges::find(accounts, active);
    if (kept == accounts.end())
        kept = std::ranges::find(accounts, activeBefore_.lock());
    accountManager->setActiveLoginAccount(
        kept != accounts.end() ? qint64(kept - accounts.begin()) : remaining - 1);
    account_.reset();
    host->refreshAccountLists();
    if (remaining > 0)
        notificationCenter->postNotification(kActiveAccountChanged);
    state_ = host->hasMainWindow() ? State::SessionOpen : State::Idle;
}

void RiskEvaluationGate::showRiskEvaluationWindow(const RDORiskAssessmentStatus& status)
{
    if (!checkedAccountLoggedIn())
        return;
    // The idle lock guards the gate too.
    if (!host->hasMainWindow())
        notificationCenter->postNotification(kRestartLockTimer);
    state_ = State::Notice;
    businessContractWindow_ = windows->showStatusNotice(status.tips, QStringLiteral("马上重新评估"),
        status.status == 1 ? QStringLiteral("稍后重新评估") : QString(), QStringLiteral("风险评测提示"),
        [this, status](int result) { statusNoticeEnded(status, result); });
}

void RiskEvaluationGate::statusNoticeEnded(const RDORiskAssessmentStatus& status, int result)
{
    // Taken away by the screen lock: the customer is already logged out.
    if (!businessContractWindow_)
        return;
    // The window may still be closing itself; it goes on a later pass.
    later([window = std::shared_ptr<IGateWindow>(std::move(businessContractWindow_))] { });
    if (status.status == 1 && result == 0) {
        openSession();
        return;
    }
    state_ = State::Alert;
    riskEvaluationAlert_ = windows->showFollowUpAlert(status.fctipstitle, status.fctips, [this] {
        // Closed by the screen lock: no questionnaire afterwards.
        if (riskEvaluationAlert_)
            showEvaluationWindow();
    });
}

void RiskEvaluationGate::showEvaluationWindow()
{
    later([window = std::shared_ptr<IGateWindow>(std::move(riskEvaluationAlert_))] { });
    host->loginComplete();
    host->closeLoginWindow();
    state_ = State::Questionnaire;
    riskEvaluationWindowController_ = windows->showEvaluationWindow(this);
}

void RiskEvaluationGate::riskEvaluationSucceed(bool passed, RiskEvaluationWindowController*)
{
    // One outcome per window: a second report (the page and the lock both
    // answering) finds it gone.
    std::unique_ptr<IGateWindow> window = std::move(riskEvaluationWindowController_);
    if (!window)
        return;
    window->close();
    later([gone = std::shared_ptr<IGateWindow>(std::move(window))] { });
    if (passed)
        openSession();
    else
        turnAway();
}

void RiskEvaluationGate::openSession()
{
    host->showMainWindow();
    if (account_) {
        host->showLastLoginInfoWindow(
            account_->lastLoginInfoTitle().value_or(QString()), account_->lastLoginInfoContent().value_or(QString()));
    }
    account_.reset();
    state_ = State::SessionOpen;
}

bool RiskEvaluationGate::turnsEveryoneAway() const
{
    return !further_ || !host->hasMainWindow() || !othersLoggedIn();
}

void RiskEvaluationGate::turnAway()
{
    // Not passing ends the session the check would have opened. A further
    // login's session is already open on accounts that passed: only the
    // account checked leaves it, as when its status fails.
    if (turnsEveryoneAway())
        logoutAll();
    else
        logoutAskedAccount();
}

void RiskEvaluationGate::logoutAll()
{
    account_.reset();
    accountManager->logoutAllAccount();
    state_ = State::LoggedOut;
    host->logout();
}

void RiskEvaluationGate::closeRiskEvaluationAlert()
{
    std::unique_ptr<IGateWindow> notice = std::move(businessContractWindow_);
    std::unique_ptr<IGateWindow> alert = std::move(riskEvaluationAlert_);
    if (notice)
        notice->close();
    if (alert)
        alert->close();
    later([notice = std::shared_ptr<IGateWindow>(std::move(notice)),
              alert = std::shared_ptr<IGateWindow>(std::move(alert))] { });
}

void RiskEvaluationGate::lockScreen()
{
    if (isDoingRiskEvaluation()) {
        closeRiskEvaluationAlert();
        turnAway();
    }
    later([this] { host->stopModal(); });
}
