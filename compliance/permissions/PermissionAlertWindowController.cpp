#include "compliance/permissions/PermissionAlertWindowController.h"

#include "compliance/ComplianceOutcomeRelays.h"
#include "compliance/RiskAssessmentManager.h"
#include "compliance/permissions/PermissionSettingsManager.h"
#include "core/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "shell/pages/MenuItemViewManager.h"

namespace {

// The outcome of a submit told while its result is on its way.
constexpr int kSubmitted = 0;

IPermissionWizardPresenter*& presenterSlot()
{
    static IPermissionWizardPresenter* presenter = nullptr;
    return presenter;
}

std::unique_ptr<platform::RunLoopTimer> oneSecondTimer(std::function<void()> tick)
{
    return std::make_unique<platform::RunLoopTimer>(
        1.0, true, platform::RunLoopModes::common(), std::move(tick));
}

} // namespace

IPermissionWizardPresenter* defaultPermissionWizardPresenter()
{
    return presenterSlot();
}

void setDefaultPermissionWizardPresenter(IPermissionWizardPresenter* presenter)
{
    presenterSlot() = presenter;
}

PermissionAlertWindowController::PermissionAlertWindowController(Services services)
    : permissionManager(services.permissionManager ? services.permissionManager
                                                   : PermissionSettingsManager::getInstance())
    , riskAssessmentManager(services.riskAssessmentManager ? services.riskAssessmentManager
                                                           : RiskAssessmentManager::getInstance())
    , notificationCenter(services.notificationCenter ? services.notificationCenter : NotificationCenter::getInstance())
    , makeTimer_(services.makeTimer ? std::move(services.makeTimer) : oneSecondTimer)
    , changedAfterEnd_(std::move(services.changedAfterEnd))
{
    // windowDidLoad: nothing of a step is shown before the list arrives.
    notificationCenter->addObserver(this, [this] { lockScreen(); }, kLockScreen);
}

PermissionAlertWindowController::~PermissionAlertWindowController()
{
    notificationCenter->removeObserver(this);
}

void PermissionAlertWindowController::runModalForPermissionSettings(
    const QString& contractUrl, const QString& openUrl)
{
    if (openUrl.isEmpty()) {
        stopModal(0);
        return;
    }
    state_.windowTitle = QStringLiteral("权限设置");
    account_ = ActionOutcomeRelay::activeAccount();
    _contractUrl = contractUrl;
    _openUrl = openUrl;
    setControlsStatus(true);
    permissionManager->requestQueryPermissionContract(this, _contractUrl);
}

const RDOPermissionContract* PermissionAlertWindowController::current() const
{
    return _contractIndex < _contractArray.size() ? _contractArray[_contractIndex].get() : nullptr;
}

void PermissionAlertWindowController::setControlsStatus(bool busy)
{
    state_.waiting = busy;
    state_.confirmEnabled = !busy;
    state_.cancelEnabled = !busy;
    emit changed();
}

void PermissionAlertWindowController::setControlsStatusForSign(bool busy)
{
    state_.signing = busy;
    state_.confirmEnabled = !busy;
    state_.cancelEnabled = !busy;
    emit changed();
}

void PermissionAlertWindowController::setSubmitting(bool busy)
{
    // The buttons stay as they are: cancel ends the wizard at any time, and a
    // confirm while the answers are out counts for nothing.
    state_.submitting = busy;
    emit changed();
}

void PermissionAlertWindowController::sheet(
    AlertRequest request, std::function<void()> dismissed, bool outcome)
{
    // Every sheet of the wizard goes with it when the screen locks: one that
    // tells an outcome with its window, never as read (the lock's closing of
    // message boxes may come first), to be told again.
    request.closesOnLock = !outcome;
    ++sheetsOpen_;
    const int id = ++sheetSerial_;
    if (outcome)
        unread_[id] = request;
    const platform::Lifetime::Watch alive = watch();
    alerts_->runAlert(request, [this, alive, id, dismissed = std::move(dismissed)](int) {
        if (!alive.survived())
            return;
        --sheetsOpen_;
        if (state_.closed)
            return;
        unread_.erase(id);
        if (dismissed)
            dismissed();
        if (endsWhenRead_ && sheetsOpen_ == 0)
            stopModal(*endsWhenRead_);
    });
}

void PermissionAlertWindowController::stopModalWhenRead(int result)
{
    // The sheets go with the window: a sign's message still open under the
    // open request's is read before the wizard ends.
    if (sheetsOpen_ > 0)
        endsWhenRead_ = result;
    else
        stopModal(result);
}

void PermissionAlertWindowController::stopModal(int result)
{
    if (state_.closed)
        return;
    stopTimer();
    notificationCenter->removeObserver(this);
    state_.closed = true;
    state_.result = result;
    state_.waiting = state_.signing = state_.submitting = false;
    // A sign, the answers or an open or close still on its way is told by
    // its relay from now on, whatever its answer.
    renewLifetime();
    // What the window takes along unread is told where it will be read; a
    // change the customer was to see ending with 1 shows in the list all the
    // same.
    tellUnread();
    if (opened_ && result != 1 && changedAfterEnd_)
        changedAfterEnd_();
    const platform::Lifetime::Watch alive = watch();
    emit changed();
    if (alive.survived())
        emit finished(result);
}

void PermissionAlertWindowController::tellUnread()
{
    for (const auto& [id, box] : std::exchange(unread_, {}))
        ActionOutcomeRelay::tell(MenuItemViewManager::getInstance()->window(), box, account_);
}

// ---------------------------------------------------------------------------
// Steps

void PermissionAlertWindowController::showContractViewByIndex(quint64 index)
{
    if (index >= _contractArray.size())
        return;
    stopTimer();
    const RDOPermissionContract& contract = *_contractArray[index];
    state_.title.clear();
    state_.content.clear();
    state_.url.clear();
    switch (contract.type()) {
    case RDOPermissionContract::Text: {
        const auto& text = static_cast<const RDOPermissionContractText&>(contract);
        state_.body = Body::Text;
        state_.title = text.title;
        state_.content = text.content;
        break;
    }
    case RDOPermissionContract::Web:
        state_.body = Body::Web;
        state_.url = QUrl(static_cast<const RDOPermissionContractWeb&>(contract).url);
        break;
    case RDOPermissionContract::RiskAssessment:
        state_.body = Body::Questionnaire;
        selection_.setRiskAssessment(static_cast<const RDOPermissionContractRiskAssessment&>(contract).risk);
        break;
    case RDOPermissionContract::Base:
        state_.body = Body::None;
        break;
    }
    initControls(contract, index);
    emit changed();
}

void PermissionAlertWindowController::initControls(const RDOPermissionContract& contract, quint64 index)
{
    const bool hasCheck = !contract.tips().isEmpty();
    state_.checkVisible = hasCheck;
    state_.checkOn = false;
    state_.confirmEnabled = !hasCheck;
    if (hasCheck)
        checkString = contract.tips();
    state_.tip = contract.showtips();
    if (hasCheck && contract.lockTime() > 0) {
        lockTime = contract.lockTime();
        state_.checkEnabled = false;
        state_.checkTitle = QStringLiteral("%1(%2)").arg(checkString).arg(lockTime);
        enableNextTimer.reset();
        enableNextTimer = makeTimer_([this] { onEnableCheckTimer(); });
        if (enableNextTimer)
            enableNextTimer->start();
    } else {
        stopTimer();
        state_.checkEnabled = true;
        state_.checkTitle = checkString;
    }
    if (!contract.ans().isEmpty())
        state_.confirmTitle = QStringLiteral("接受");
    else if (index + 1 < _contractArray.size())
        state_.confirmTitle = QStringLiteral("下一步");
}

void PermissionAlertWindowController::onEnableCheckTimer()
{
    if (lockTime == 0 || state_.closed) {
        stopTimer();
        return;
    }
    --lockTime;
    if (lockTime == 0) {
        state_.checkTitle = checkString;
        state_.checkEnabled = true;
        stopTimer();
    } else {
        state_.checkTitle = QStringLiteral("%1(%2)").arg(checkString).arg(lockTime);
    }
    emit changed();
}

void PermissionAlertWindowController::stopTimer()
{
    // Stopped, not destroyed: the timer may be the one calling.
    if (enableNextTimer)
        enableNextTimer->stop();
}

// ---------------------------------------------------------------------------
// The user's actions

void PermissionAlertWindowController::checkButtonClicked(bool on)
{
    if (state_.closed || !state_.checkVisible || !state_.checkEnabled)
        return;
    state_.checkOn = on;
    state_.confirmEnabled = on && !state_.waiting && !state_.signing && !openUnknown_;
    emit changed();
}

void PermissionAlertWindowController::riskAssessmentTableViewCell(qint64 question, qint64 row)
{
    if (state_.closed || state_.body != Body::Questionnaire || state_.submitting)
        return;
    selection_.selectRow(question, row);
    emit changed();
}

void PermissionAlertWindowController::confirmButtonClicked()
{
    // One press, one action: a press while anything runs counts for nothing.
    if (state_.closed || !state_.confirmEnabled || state_.waiting || state_.signing || state_.submitting)
        return;
    const RDOPermissionContract* contract = current();
    if (!contract)
        return;
    const bool agreement
        = contract->type() == RDOPermissionContract::Text || contract->type() == RDOPermissionContract::Web;
    if (agreement && !contract->ans().isEmpty()) {
        setControlsStatusForSign(true);
        auto& relay = ActionOutcomeRelay::start<PermissionSignRelay>(
            ActionOutcomeRelay::Listener { this, {} }, *this, &contractSignedText);
        signHandle_ = permissionManager->requestPermissionSign(&relay, contract->ans());
        relay.sent(signHandle_);
        if (signHandle_.isEmpty()) {
            setControlsStatusForSign(false);
            sheet(AlertRequest::error(QStringLiteral("协议签署请求无效")));
        }
        return;
    }
    doNext();
}

void PermissionAlertWindowController::cancelButtonClicked()
{
    if (state_.closed || !state_.cancelEnabled)
        return;
    stopModal(0);
}

void PermissionAlertWindowController::windowWillClose()
{
    stopModal(0);
}

void PermissionAlertWindowController::lockScreen()
{
    if (state_.closed)
        return;
    // The wizard ends first, so that its sheets closing with the other message
    // boxes count as nothing (an open message closed by the lock is no 1).
    // Only the wizard's own run ends.
    NotificationCenter* centre = notificationCenter;
    stopModal(0);
    centre->postNotification(kCloseMessageBoxes);
}

void PermissionAlertWindowController::doNext()
{
    const RDOPermissionContract* contract = current();
    if (!contract)
        return;
    if (contract->type() != RDOPermissionContract::RiskAssessment) {
        showNext();
        return;
    }
    const RDORiskAssessment& risk = static_cast<const RDOPermissionContractRiskAssessment&>(*contract).risk;
    if (!selection_.isAllSelected()) {
        sheet(AlertRequest::tip(
            QStringLiteral("第%1道题未答,请完成答题后提交").arg(selection_.firstUnanswered() + 1)));
        return;
    }
    const std::optional<QString> result = risk.resultBySelectedArray(selection_.selectedIndexs().value_or(
        std::vector<std::vector<qint64>>()));
    if (!result) {
        sheet(AlertRequest::error(QStringLiteral("问卷答案无效，请重新作答")));
        return;
    }
    setSubmitting(true);
    auto& relay = ActionOutcomeRelay::start<RiskResultRelay>(ActionOutcomeRelay::Listener { this, {} }, *this,
        [](const QString& message) { return riskSubmittedText(message); });
    relay.sent(riskAssessmentManager->requestSubmitRiskAssessmentResult(
        &relay, qint32(risk.surveyCount()), *result, risk.surveySn));
}

void PermissionAlertWindowController::showNext()
{
    if (isLast()) {
        sendOpen();
        return;
    }
    ++_contractIndex;
    if (isLast())
        state_.confirmTitle = QStringLiteral("确定");
    showContractViewByIndex(_contractIndex);
}

void PermissionAlertWindowController::sendOpen()
{
    setControlsStatus(true);
    // The server changes the permission whatever becomes of the wizard: its
    // answer goes through a relay that tells it once the wizard has ended.
    auto& relay = ActionOutcomeRelay::start<PermissionAccessRelay>(
        ActionOutcomeRelay::Listener { this, {} }, *this, changedAfterEnd_);
    relay.sent(permissionManager->requestOpenPermissionAccess(&relay, _openUrl));
}

// ---------------------------------------------------------------------------
// Replies. Nothing is done once the wizard has ended.

void PermissionAlertWindowController::queryPermissionContract(
    DataModel*, const QString&, const PermissionContracts& contracts)
{
    if (state_.closed || !state_.waiting || !_contractArray.empty())
        return;
    if (contracts.empty()) {
        stopModal(0);
        return;
    }
    _contractArray = contracts;
    _contractIndex = 0;
    if (_contractArray.size() >= 2)
        state_.confirmTitle = QStringLiteral("下一步");
    setControlsStatus(false);
    showContractViewByIndex(0);
}

bool PermissionAlertWindowController::queryPermissionContract(DataModel*, const QString&, const CSError& error)
{
    if (state_.closed || !_contractArray.empty())
        return true;
    setControlsStatus(false);
    sheet(AlertRequest::error(error.domain), [this] { stopModal(0); });
    return true;
}

void PermissionAlertWindowController::permissionSign(DataModel*, const QString& handle, const QString& message)
{
    if (state_.closed || !state_.signing || handle != signHandle_)
        return;
    signHandle_.clear();
    if (!message.isEmpty())
        sheet(AlertRequest::tip(message), {}, true);
    setControlsStatusForSign(false);
    doNext();
}

bool PermissionAlertWindowController::permissionSign(DataModel*, const QString& handle, const CSError& error)
{
    if (state_.closed || !state_.signing || handle != signHandle_)
        return true;
    signHandle_.clear();
    setControlsStatusForSign(false);
    sheet(AlertRequest::error(error.domain), {}, true);
    return true;
}

void PermissionAlertWindowController::submitRiskAssessmentResult(
    DataModel*, const QString&, const QString& message)
{
    if (state_.closed || !state_.submitting)
        return;
    const RDOPermissionContract* contract = current();
    if (!contract || contract->type() != RDOPermissionContract::RiskAssessment) {
        setSubmitting(false);
        return;
    }
    // Told by the result that follows; by itself should the wizard end first.
    unread_[kSubmitted] = AlertRequest::tip(riskSubmittedText(message));
    riskAssessmentManager->requestQueryRiskAssessmentMatch(
        this, static_cast<const RDOPermissionContractRiskAssessment&>(*contract).risk.surveySn);
}

bool PermissionAlertWindowController::submitRiskAssessmentResult(DataModel*, const QString&, const CSError& error)
{
    if (state_.closed || !state_.submitting)
        return true;
    setSubmitting(false);
    sheet(AlertRequest::error(error.domain), {}, true);
    return true;
}

void PermissionAlertWindowController::queryRiskAssessmentMatch(
    DataModel*, const QString&, const RDORiskAssessmentMatch& match)
{
    if (state_.closed || !state_.submitting)
        return;
    unread_.erase(kSubmitted);
    AlertRequest request;
    request.title = QStringLiteral("测评结果");
    request.defaultButton = QStringLiteral("确认");
    if (!match.isOK) {
        setSubmitting(false);
        request.text = match.reason.value_or(QString());
        sheet(request, {}, true);
        return;
    }
    request.text = QStringLiteral("内容：您本次测评的得分为：%1，评级级别为：%2")
                       .arg(match.score.value_or(QString()), match.level.value_or(QString()));
    // A confirm counts for nothing until the sheet is dismissed: the step is done.
    sheet(
        request,
        [this] {
            setSubmitting(false);
            showNext();
        },
        true);
}

bool PermissionAlertWindowController::queryRiskAssessmentMatch(DataModel*, const QString&, const CSError& error)
{
    if (state_.closed || !state_.submitting)
        return true;
    unread_.erase(kSubmitted);
    setSubmitting(false);
    AlertRequest request;
    request.title = QStringLiteral("错误提示");
    request.defaultButton = QStringLiteral("确定");
    request.text = error.domain;
    // The answers were taken: the result's failure is what the customer reads of them.
    sheet(request, {}, true);
    return true;
}

void PermissionAlertWindowController::openPermissionAccess(DataModel*, const QString&, const QString& message)
{
    if (state_.closed || !state_.waiting)
        return;
    opened_ = true;
    setControlsStatus(false);
    sheet(
        AlertRequest::tip(message), [this] { stopModalWhenRead(1); }, true);
}

bool PermissionAlertWindowController::openPermissionAccess(DataModel*, const QString&, const CSError& error)
{
    if (state_.closed || !state_.waiting)
        return true;
    if (ActionOutcomeRelay::isUnknownOutcome(error)) {
        // The server may have done it: confirming again would send it again,
        // so the wizard ends once the customer has read why, and the list
        // shows what the server has.
        openUnknown_ = true;
        state_.waiting = false;
        state_.confirmEnabled = false;
        state_.cancelEnabled = true;
        emit changed();
        sheet(
            AlertRequest::error(PermissionAccessRelay::failureText(error)), [this] { stopModalWhenRead(0); },
            true);
        return true;
    }
    setControlsStatus(false);
    sheet(AlertRequest::error(PermissionAccessRelay::failureText(error)), {}, true);
    return true;
}

// ---------------------------------------------------------------------------
// The open or close's relay

PermissionAccessRelay::PermissionAccessRelay(
    Listener wizard, IOpenPermissionAccessDelegate& hears, std::function<void()> changedAfterEnd)
    : ActionOutcomeRelay(std::move(wizard), false)
    , hears_(&hears)
    , changedAfterEnd_(std::move(changedAfterEnd))
{
}

void PermissionAccessRelay::openPermissionAccess(DataModel* request, const QString& handle, const QString& message)
{
    // The wizard shows the server's message itself.
    const Route route = take(handle, true, message);
    if (route == Route::Page)
        hears_->openPermissionAccess(request, handle, message);
    else if (route == Route::Told && changedAfterEnd_)
        changedAfterEnd_();
}

bool PermissionAccessRelay::openPermissionAccess(DataModel* request, const QString& handle, const CSError& error)
{
    if (take(handle, false, failureText(error), isUnknownOutcome(error)) == Route::Page)
        return hears_->openPermissionAccess(request, handle, error);
    return true;
}
