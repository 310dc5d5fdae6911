#include "session/WindowController.h"

#include "core/NotificationCenter.h"
#include "login/AccountManager.h"
#include "shell/windows/SessionNotifications.h"

namespace {

WindowController* theInstance = nullptr;

RiskEvaluationGate::Services gateServices(WindowController* host, const WindowControllerServices& s)
{
    RiskEvaluationGate::Services g;
    g.host = host;
    g.windows = s.riskWindows;
    g.accountManager = s.accountManager;
    g.notificationCenter = s.notificationCenter;
    g.requestStatus = s.requestRiskStatus;
    g.cancelStatus = s.cancelRiskStatus;
    return g;
}

} // namespace

WindowController::WindowController(Services services)
    : windows(services.windows)
    , mainWindow(services.mainWindow)
    , ownServer_(services.server ? nullptr : std::make_unique<SharedSessionServer>())
    , server(services.server ? services.server : ownServer_.get())
    , notificationCenter(
          services.notificationCenter ? services.notificationCenter : NotificationCenter::getInstance())
    , timers(services.timers ? services.timers : runLoopTimers())
    , quit(services.quit)
    , startUpTimeout(services.startUpTimeout)
    , gate_(gateServices(this, services))
{
    Q_ASSERT(windows && mainWindow && services.riskWindows);
    const void* key = static_cast<const void*>(this);
    notificationCenter->addObserver(
        key,
        [this](
            const platform::Notification& n) { loginSucceed(n.object.value<AccountManager::AccountPtr>()); },
        sessionnotify::kLoginSucceeded);
    notificationCenter->addObserver(
        key, [this] { logout(); }, sessionnotify::kLogout);
    theInstance = this;
}

WindowController::~WindowController()
{
    notificationCenter->removeObserver(static_cast<const void*>(this));
    if (theInstance == this)
        theInstance = nullptr;
}

WindowController* WindowController::getInstance()
{
    return theInstance;
}

void WindowController::launch()
{
    showLoginWindow();
    testServer();
}

void WindowController::showLoginWindow()
{
    windows->showLoginWindow(
        [this, alive = alive_.watch()] {
            if (alive.survived())
                loginWindowClosedByUser();
        },
        [this, alive = alive_.watch()] {
            if (alive.survived())
                gate_.loginCancelled();
        });
}

void WindowController::testServer()
{
    timeoutTimer_.reset();
    quoteTestingStart = tradeTestingStart = true;
    sessionStarted_ = false;
    menuIsInit = orgIsInit = false;
    state_ = State::TestingServers;
    // The limit covers everything from here to the application login's reply.
    timeoutTimer_
        = timers(startUpTimeout, false, platform::RunLoopModes::defaultMode(), [this] { timeout(); });
    server->startTesting(this);
}

void WindowController::serverManagerDidFinishedTest(
    DMServerManager&, const RDOServerInfo& info, bool reachable, double)
{
    serverManagerDidFinishedTest(info.getTag(), reachable);
}

void WindowController::serverManagerDidFinishedTest(const QString& tagText, bool reachable)
{
    if (!quoteTestingStart && !tradeTestingStart)
        return; // a result after the round ended (time-out or both chosen)
    bool ok = false;
    const qint64 tag = tagText.toLongLong(&ok);
    if (!ok)
        return;
    if (quoteTestingStart && reachable && tag < DMServerManager::kTradeTagBase) {
        quoteTestingStart = false;
        server->selectServer(DMServerManager::kQuote, tagText);
    } else if (tradeTestingStart && reachable && tag >= DMServerManager::kTradeTagBase) {
        tradeTestingStart = false;
        server->selectServer(DMServerManager::kTrade, tagText);
    }
    if (tradeTestingStart)
        return;
    // One login step per round: results that still come in while the quote
    // server is searched for must not start it again.
    if (!sessionStarted_) {
        sessionStarted_ = true;
        startSession();
    }
    if (!quoteTestingStart)
        server->cancelTesting();
}

void WindowController::startSession()
{
    if (server->needRequestUtid()) {
        requestUtid();
    } else {
        server->setNetworkUtidConifg();
        requestAppLogin();
    }
}

void WindowController::requestUtid()
{
    state_ = State::TerminalId;
    server->requestUtid(this);
}

void WindowController::requestAppLogin()
{
    state_ = State::ApplicationLogin;
    server->requestAppLogin(this);
}

void WindowController::queryUtid(DataModel*, const QString&, const QString& utid)
{
    if (state_ != State::TerminalId)
        return;
    server->setUtid(utid);
    server->setNetworkUtidConifg();
    requestAppLogin();
}

bool WindowController::queryUtid(DataModel*, const QString&, const CSError& error)
{
    if (state_ != State::TerminalId)
        return true;
    // The start-up time-out still runs and offers "重试".
    state_ = State::Stopped;
    showError(error.domain);
    return true;
}

void WindowController::appLogin(DataModel*, const QString&, const std::optional<RDOServerVersionInfo>& info)
{
    if (state_ != State::ApplicationLogin)
        return;
    timeoutTimer_.reset();
    state_ = State::Bootstrap;
    if (info && info->contId())
        server->setContId(*info->contId());
    const bool needOrg = server->needRequestOrgInfo(info ? info->organizationVersion() : std::nullopt);
    const bool needMenu
        = server->needRequestMenuInfo(info ? info->menuVersion().value_or(QString()) : QString());
    orgIsInit = !needOrg;
    menuIsInit = !needMenu;
    const auto alive = alive_.watch();
    if (needOrg)
        server->requestOrgInfo(this);
    if (!alive.survived())
        return;
    if (needMenu && state_ == State::Bootstrap && !server->requestMenuInfo(this))
        bootstrapFailed(QStringLiteral("无法请求菜单。"), AfterError::End);
    checkBootstrap();
}

bool WindowController::appLogin(DataModel*, const QString&, const CSError& error)
{
    if (state_ != State::ApplicationLogin)
        return true;
    // Only a 90001 of this very reply restarts; a time-out after one is a
    // time-out.
    if (server->needRetryAppLogin(error.code) && appLoginRetryTime_ < kMaxAppLoginRetries) {
        ++appLoginRetryTime_;
        requestUtid();
        return true;
    }
    // The box ends the application; the time-out has nothing left to offer.
    timeoutTimer_.reset();
    quoteTestingStart = tradeTestingStart = false;
    state_ = State::Halted;
    windows->runAlert(AlertRequest::error(error.domain), [this, alive = alive_.watch()](int) {
        if (alive.survived())
            endApplication();
    });
    return true;
}

void WindowController::queryOrganizationInfo(DataModel*, const QString&, const RDOOrganizationInfo& info)
{
    if (state_ != State::Bootstrap)
        return;
    orgIsInit = server->setOrgInfo(info);
    if (!orgIsInit) {
        bootstrapFailed(QStringLiteral("营业部信息无效。"), AfterError::Retry);
        return;
    }
    checkBootstrap();
}

bool WindowController::queryOrganizationInfo(DataModel*, const QString&, const CSError& error)
{
    bootstrapFailed(error.domain, AfterError::Retry);
    return true;
}

void WindowController::queryMenuInfo(DataModel*, const QString&, const std::shared_ptr<RDOMenuManager>& menu)
{
    if (state_ != State::Bootstrap)
        return;
    // No entries (a glitch) is a failed fetch: nothing is kept, and the next
    // start asks again.
    if (!menu || menu->allMenuItemsArray().empty()) {
        bootstrapFailed(QString::fromUtf8(kEmptyMenuText), AfterError::End);
        return;
    }
    menuIsInit = true;
    server->setMenuInfo(menu);
    checkBootstrap();
}

bool WindowController::queryMenuInfo(DataModel*, const QString&, const CSError& error)
{
    bootstrapFailed(error.domain, AfterError::End);
    return true;
}

void WindowController::bootstrapFailed(const QString& message, AfterError after)
{
    if (state_ != State::Bootstrap)
        return;
    // Without a branch list the form would stay disabled for ever: after
    // the error the start-up alert offers a new round ("重试") or the end.
    // Without a menu there is nothing to trade with: the error ends it.
    state_ = State::Halted;
    windows->runAlert(AlertRequest::error(message), [this, after, alive = alive_.watch()](int) {
        if (!alive.survived() || state_ != State::Halted)
            return;
        if (after == AfterError::Retry)
            showTimeoutAlert();
        else
            endApplication();
    });
}

void WindowController::checkBootstrap()
{
    if (state_ != State::Bootstrap || !orgIsInit || !menuIsInit)
        return;
    state_ = State::LoginReady;
    windows->appLoginComplete();
}

void WindowController::timeout()
{
    timeoutTimer_.reset();
    server->cancelTesting();
    // Results and replies of the abandoned round are not taken any more.
    quoteTestingStart = tradeTestingStart = false;
    showTimeoutAlert();
}

void WindowController::showTimeoutAlert()
{
    state_ = State::TimeOutAlert;
    AlertRequest request;
    request.title = QString::fromUtf8(kTimeoutTitle);
    request.text = QString::fromUtf8(kTimeoutText);
    request.defaultButton = QStringLiteral("重试");
    request.alternateButton = QStringLiteral("退出");
    request.closesOnLock = false;
    windows->runAlert(request, [this, alive = alive_.watch()](int answer) {
        if (!alive.survived() || state_ != State::TimeOutAlert)
            return;
        if (answer == 1)
            testServer();
        else
            endApplication();
    });
}

void WindowController::loginSucceed(const AccountManager::AccountPtr& account)
{
    if (!account)
        return;
    gate_.loginSucceed(account);
}

bool WindowController::hasMainWindow() const
{
    return mainWindow->isOpen();
}

bool WindowController::isScreenLocked() const
{
    return mainWindow->isOpen() && mainWindow->isScreenLocked();
}

void WindowController::lockWindow(bool locked)
{
    if (mainWindow->isOpen())
        mainWindow->lockWindow(locked);
}

void WindowController::showMainWindow()
{
    // A further account logged in from the main window: it adds the account
    // itself.
    if (mainWindow->isOpen())
        return;
    windows->loginComplete();
    // The main window is up before the login window goes, so the hand-over
    // never leaves the application without a window.
    mainWindow->open([this, alive = alive_.watch()] {
        if (alive.survived())
            mainWindowClosedByUser();
    });
    windows->closeLoginWindow();
}

void WindowController::showLastLoginInfoWindow(const QString& title, const QString& content)
{
    if (content.isEmpty())
        return;
    windows->showLastLoginInfoWindow(
        title, content, mainWindow->isOpen() ? std::optional<QRect>(mainWindow->frame()) : std::nullopt);
}

void WindowController::logout()
{
    if (state_ == State::Ended)
        return;
    // The new login window first, for the same reason as above.
    showLoginWindow();
    mainWindow->close();
    windows->closeLastLoginInfoWindow();
    // No new test or application login: the form is usable at once.
    windows->loginComplete();
    windows->appLoginComplete();
    state_ = State::LoginReady;
}

void WindowController::loginComplete()
{
    windows->loginComplete();
}
void WindowController::resetUI()
{
    windows->resetUI();
}
void WindowController::closeLoginWindow()
{
    windows->closeLoginWindow();
}
void WindowController::showError(const QString& message)
{
    windows->runAlert(AlertRequest::error(message), {});
}
void WindowController::refreshAccountLists()
{
    windows->refreshAccountLists();
}
void WindowController::stopModal()
{
    windows->stopModal();
}

void WindowController::loginWindowClosedByUser()
{
    if (!mainWindow->isOpen() && !gate_.isDoingRiskEvaluation()
        && gate_.state() != RiskEvaluationGate::State::Questionnaire)
        endApplication();
}

void WindowController::mainWindowClosedByUser()
{
    // The last-login notice belongs to the main window: it goes with it.
    if (!windows->hasLoginWindow())
        endApplication();
}

void WindowController::endApplication()
{
    if (state_ == State::Ended)
        return;
    state_ = State::Ended;
    timeoutTimer_.reset();
    if (quoteTestingStart || tradeTestingStart)
        server->cancelTesting();
    quoteTestingStart = tradeTestingStart = false;
    // Every window of the session goes here, whichever closed first: the
    // end never waits for a window to agree to close.
    windows->closeLoginWindow();
    mainWindow->close();
    windows->closeLastLoginInfoWindow();
    if (quit)
        quit();
}
