#include "compliance/ui/RiskEvaluationWindow.h"

#include "compliance/ui/RiskAssessmentPage.h"

#include <QVBoxLayout>

RiskEvaluationWindow::RiskEvaluationWindow(RiskAssessmentViewController::Services services, QWidget* parent)
    : ui::Window(parent)
    , controller_(std::make_unique<RiskEvaluationWindowController>(services))
{
    setObjectName(QStringLiteral("riskEvaluationWindow"));
    setWindowTitle(QStringLiteral("风险承受能力评估"));
    // The page the window shows is the controller's, so the lock reaches its notices.
    controller_->windowDidLoad();
    page_ = new RiskAssessmentPage(controller_->viewController(), this);
    page_->setObjectName(QStringLiteral("riskEvaluationView"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(page_);
    controller_->stopModal = [this] { close(); };
}

void RiskEvaluationWindow::showEvent(QShowEvent* event)
{
    // Roomy for the questions where the screen allows; placing it fits it to
    // a smaller screen, where the questions scroll inside it.
    if (!sized_) {
        sized_ = true;
        resize(kPreferredSize);
    }
    ui::Window::showEvent(event);
}

RiskEvaluationWindow::~RiskEvaluationWindow()
{
    controller_->stopModal = nullptr;
    // The page shows the controller's page controller: it goes first.
    delete page_;
}

void RiskEvaluationWindow::closeQuietly()
{
    controller_->setDeleagate(nullptr);
    close();
}

void RiskEvaluationWindow::willClose()
{
    controller_->stopModal = nullptr;
    controller_->windowShouldClose();
    controller_->windowWillClose();
}
