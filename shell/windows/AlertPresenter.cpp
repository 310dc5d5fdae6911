#include "shell/windows/AlertPresenter.h"

#include <QDebug>
#include <utility>

AlertRequest AlertRequest::error(const QString& text)
{
    AlertRequest request;
    request.title = QStringLiteral("错误");
    request.text = text;
    request.closesOnLock = false;
    return request;
}

AlertRequest AlertRequest::tip(const QString& text)
{
    AlertRequest request;
    request.title = QStringLiteral("温馨提示");
    request.text = text;
    return request;
}

namespace {
class HeadlessAlerts final : public AlertPresenter {
public:
    void runAlert(const AlertRequest& request, Completion completion) override
    {
        qWarning().noquote() << "alert without a window:" << request.title << request.text;
        if (completion)
            completion(0);
    }
};
} // namespace

AlertPresenter* AlertPresenter::headless()
{
    static HeadlessAlerts alerts;
    return &alerts;
}

void OneBoxAtATime::tell(AlertPresenter* alerts, const AlertRequest& request)
{
    if (std::exchange(*open_, true))
        return;
    // The box may outlive its page: it closes a flag, not the page's.
    alerts->runAlert(request, [open = std::weak_ptr<bool>(open_)](int) {
        if (const std::shared_ptr<bool> flag = open.lock())
            *flag = false;
    });
}
