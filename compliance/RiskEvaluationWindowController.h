#pragma once

#include "compliance/RiskAssessmentViewController.h"
#include "platform/Lifetime.h"

#include <functional>
#include <memory>

class NotificationCenter;
class RiskEvaluationWindowController;

// riskEvaluationSucceed:windowController: the questionnaire and its notices
// were completed (true) or abandoned (false).
class RiskEvaluationWindowControllerDeleagate : public platform::Lifetime {
public:
    virtual ~RiskEvaluationWindowControllerDeleagate() = default;
    virtual void riskEvaluationSucceed(bool passed, RiskEvaluationWindowController* windowController) = 0;
};

// The modal re-evaluation window after login: the questionnaire page inside
// a window of its own. Closing it, or a screen lock, counts as abandoning.
class RiskEvaluationWindowController : public RiskAssessmentViewControllerDeleagate {
public:
    static constexpr int32_t kLockScreen = 3; // NotificationCenter types
    static constexpr int32_t kRestartLockTimer = 18;
    static constexpr int32_t kCloseMessageBoxes = 20;

    explicit RiskEvaluationWindowController(RiskAssessmentViewController::Services services = {});
    ~RiskEvaluationWindowController() override;
    RiskEvaluationWindowController(const RiskEvaluationWindowController&) = delete;
    RiskEvaluationWindowController& operator=(const RiskEvaluationWindowController&) = delete;

    void setDeleagate(RiskEvaluationWindowControllerDeleagate* delegate) { deleagate_ = delegate; }
    RiskEvaluationWindowControllerDeleagate* deleagate() const { return deleagate_.get(); }

    // windowDidLoad: makes the page (the view then calls its awakeFromNib),
    // listens for the screen lock and restarts the idle-lock timer.
    void windowDidLoad();
    RiskAssessmentViewController* viewController() const { return viewController_.get(); }

    // The page's report, forwarded to the delegate.
    void riskEvaluationSucceed(bool succeeded) override;
    void lockScreen();
    // windowShouldClose: the customer closes the window: abandoned.
    bool windowShouldClose();
    void windowWillClose();

    // stopModal: ends the window's modal run; the view sets it.
    std::function<void()> stopModal;

private:
    void stopModalLater();

    RiskAssessmentViewController::Services services_;
    NotificationCenter* notificationCenter;
    std::unique_ptr<RiskAssessmentViewController> viewController_;
    platform::WeakRef<RiskEvaluationWindowControllerDeleagate> deleagate_;
    bool observing_ = false;
};
