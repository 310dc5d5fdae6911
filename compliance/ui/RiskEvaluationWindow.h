#pragma once

#include "compliance/RiskEvaluationWindowController.h"
#include "shell/ui/Window.h"

#include <memory>

class RiskAssessmentPage;

// The modal re-evaluation window after login: the questionnaire page in a
// window of its own. Closing it abandons the questionnaire.
class RiskEvaluationWindow final : public ui::Window {
    Q_OBJECT
public:
    // The size it opens at when the screen has room; it has no minimum of
    // that size, so a smaller screen shows it whole, questions scrolling.
    static constexpr QSize kPreferredSize { 760, 600 };

    explicit RiskEvaluationWindow(RiskAssessmentViewController::Services services = {}, QWidget* parent = nullptr);
    ~RiskEvaluationWindow() override;

    RiskEvaluationWindowController& controller() { return *controller_; }
    RiskAssessmentPage* page() const { return page_; }
    // Closes it without telling the delegate (the delegate asked for it).
    void closeQuietly();

protected:
    void showEvent(QShowEvent* event) override;
    void willClose() override;

private:
    std::unique_ptr<RiskEvaluationWindowController> controller_;
    RiskAssessmentPage* page_ = nullptr;
    bool sized_ = false;
};
