#pragma once

#include "compliance/permissions/PermissionAlertWindowController.h"
#include "shell/ui/RunAlert.h"
#include "shell/ui/Window.h"

#include <memory>

class NoticeTextBrowser;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class RiskAssessmentTableView;

// The opening wizard's window: the step (agreement text, web page or
// questionnaire), the check box, the notice line, cancel and confirm. It
// shows the controller's state and forwards the clicks; closing it ends the
// wizard with 0.
class PermissionAlertWindow final : public ui::Window {
    Q_OBJECT
public:
    PermissionAlertWindow(std::shared_ptr<PermissionAlertWindowController> controller, QWidget* parent = nullptr);
    ~PermissionAlertWindow() override;

    PermissionAlertWindowController& controller() { return *controller_; }

protected:
    void willClose() override;

private:
    void refresh();

    std::shared_ptr<PermissionAlertWindowController> controller_;
    WindowAlertPresenter alerts_;
    QLabel* titleTextField_;
    NoticeTextBrowser* contentTextView_;
    RiskAssessmentTableView* riskAssessmentTableView_;
    QCheckBox* checkButton_;
    QLabel* showTipLabel_;
    QProgressBar* waitProgress_;
    QPushButton* cancelButton_;
    QPushButton* confirmButton_;
    PermissionAlertWindowController::Body shownBody_ = PermissionAlertWindowController::Body::None;
    const void* shownStep_ = nullptr;
};

// Shows wizards application-modal over their parent.
class PermissionWizardPresenter final : public IPermissionWizardPresenter {
public:
    bool present(const std::shared_ptr<PermissionAlertWindowController>& wizard, QObject* parent) override;
};
