#include "compliance/ui/RiskGateWindows.h"

#include "compliance/ui/BusinessContractView.h"
#include "compliance/ui/RiskEvaluationWindow.h"
#include "shell/ui/RunAlert.h"

#include <QMessageBox>
#include <QPointer>

namespace {

// Closes a widget if it is still there.
template <class W, class Close> class WidgetHandle final : public IGateWindow {
public:
    WidgetHandle(W* widget, Close closeIt)
        : widget_(widget)
        , close_(std::move(closeIt))
    {
    }
    void close() override
    {
        if (widget_)
            close_(widget_.data());
    }

private:
    QPointer<W> widget_;
    Close close_;
};

template <class W, class Close> std::unique_ptr<IGateWindow> handle(W* widget, Close closeIt)
{
    return std::make_unique<WidgetHandle<W, Close>>(widget, std::move(closeIt));
}

} // namespace

RiskGateWindows::RiskGateWindows(std::function<QWidget*()> loginWindow, RiskAssessmentViewController::Services services)
    : loginWindow_(std::move(loginWindow))
    , services_(services)
{
}

std::unique_ptr<IGateWindow> RiskGateWindows::showStatusNotice(const QString& content, const QString& defaultButton,
    const QString& alterButton, const QString& title, std::function<void(int)> done)
{
    auto controller = std::make_shared<BusinessContractWindow>(content, defaultButton, alterButton);
    QObject::connect(controller.get(), &BusinessContractWindow::finished, std::move(done));
    controller->windowDidLoad();
    controller->setWindowTitle(title);
    auto* view = new BusinessContractView(controller);
    view->setWindowTitle(title);
    view->setWindowModality(Qt::ApplicationModal);
    view->showOver();
    return handle(view, [](BusinessContractView* v) { v->close(); });
}

std::unique_ptr<IGateWindow> RiskGateWindows::showFollowUpAlert(
    const QString& messageText, const QString& informativeText, std::function<void()> done)
{
    QMessageBox* box = RunAlert::runAlertWithMessageText(messageText, QStringLiteral("确认"), QString(), QString(),
        informativeText, loginWindow_ ? loginWindow_() : nullptr, [done = std::move(done)](int) {
            if (done)
                done();
        });
    return handle(box, [](QMessageBox* b) { b->close(); });
}

std::unique_ptr<IGateWindow> RiskGateWindows::showEvaluationWindow(RiskEvaluationWindowControllerDeleagate* delegate)
{
    auto* window = new RiskEvaluationWindow(services_);
    window->controller().setDeleagate(delegate);
    window->setWindowModality(Qt::ApplicationModal);
    window->showOver();
    return handle(window, [](RiskEvaluationWindow* w) { w->closeQuietly(); });
}
