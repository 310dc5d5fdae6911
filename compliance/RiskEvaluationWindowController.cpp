#include "compliance/RiskEvaluationWindowController.h"

#include "core/NotificationCenter.h"
#include "platform/RunLoop.h"

RiskEvaluationWindowController::RiskEvaluationWindowController(RiskAssessmentViewController::Services services)
    : services_(services)
    , notificationCenter(services.notificationCenter ? services.notificationCenter : NotificationCenter::getInstance())
{
}

RiskEvaluationWindowController::~RiskEvaluationWindowController()
{
    if (observing_)
        notificationCenter->removeObserver(static_cast<const void*>(this));
    platform::RunLoop::main()->cancelAll(this);
}

void RiskEvaluationWindowController::windowDidLoad()
{
    viewController_ = std::make_unique<RiskAssessmentViewController>(services_);
    viewController_->setDeleagate(this);
    if (!observing_) {
        notificationCenter->addObserver(static_cast<const void*>(this), [this] { lockScreen(); }, kLockScreen);
        observing_ = true;
    }
    notificationCenter->postNotification(kRestartLockTimer);
}

void RiskEvaluationWindowController::riskEvaluationSucceed(bool succeeded)
{
    if (RiskEvaluationWindowControllerDeleagate* delegate = deleagate_.get())
        delegate->riskEvaluationSucceed(succeeded, this);
}

void RiskEvaluationWindowController::lockScreen()
{
    const platform::Lifetime::Watch alive = watch();
    notificationCenter->postNotification(kCloseMessageBoxes);
    if (!alive.survived())
        return;
    if (viewController_ && viewController_->manager()) {
        // The page reports the notices unagreed, which logs the customer out.
        viewController_->manager()->closeBusinessContracts();
    } else if (RiskEvaluationWindowControllerDeleagate* delegate = deleagate_.get()) {
        delegate->riskEvaluationSucceed(false, this);
    }
    if (alive.survived())
        stopModalLater();
}

bool RiskEvaluationWindowController::windowShouldClose()
{
    if (RiskEvaluationWindowControllerDeleagate* delegate = deleagate_.get()) {
        deleagate_.reset();
        delegate->riskEvaluationSucceed(false, this);
    }
    return true;
}

void RiskEvaluationWindowController::windowWillClose()
{
    if (observing_) {
        notificationCenter->removeObserver(static_cast<const void*>(this));
        observing_ = false;
    }
    if (stopModal)
        stopModal();
}

void RiskEvaluationWindowController::stopModalLater()
{
    platform::RunLoop::main()->perform(
        platform::RunLoopModes::common(),
        [this] {
            if (stopModal)
                stopModal();
        },
        this);
}
