#pragma once

#include "compliance/RiskEvaluationGate.h"

#include <QWidget>
#include <functional>

// The gate's windows on screen: the status notice (a notice window with the
// gate's buttons), the follow-up alert on the login window and the
// re-evaluation window.
class RiskGateWindows final : public IRiskGateWindows {
public:
    // `loginWindow` answers the login window, or null when none is open.
    explicit RiskGateWindows(
        std::function<QWidget*()> loginWindow, RiskAssessmentViewController::Services services = {});

    std::unique_ptr<IGateWindow> showStatusNotice(const QString& content, const QString& defaultButton,
        const QString& alterButton, const QString& title, std::function<void(int)> done) override;
    std::unique_ptr<IGateWindow> showFollowUpAlert(
        const QString& messageText, const QString& informativeText, std::function<void()> done) override;
    std::unique_ptr<IGateWindow> showEvaluationWindow(RiskEvaluationWindowControllerDeleagate* delegate) override;

private:
    std::function<QWidget*()> loginWindow_;
    RiskAssessmentViewController::Services services_;
};
