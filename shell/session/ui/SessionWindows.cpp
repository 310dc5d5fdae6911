#include "shell/session/ui/SessionWindows.h"

#include "shell/ui/LockScreenWindow.h"
#include "shell/ui/RunAlert.h"

AppSessionWindows::AppSessionWindows(QObject* parent)
    : QObject(parent)
{
}

AppSessionWindows::~AppSessionWindows()
{
    closingLogin_ = true;
    if (login_)
        login_->close();
    if (lastLogin_)
        lastLogin_->close();
}

void AppSessionWindows::showLoginWindow(std::function<void()> closedByUser)
{
    loginClosedByUser_ = std::move(closedByUser);
    if (!login_) {
        login_ = new LoginWindow();
        login_->setAttribute(Qt::WA_DeleteOnClose);
        connect(login_, &ui::Window::windowWillClose, this, [this] {
            if (!closingLogin_ && loginClosedByUser_)
                QMetaObject::invokeMethod(this, [cb = loginClosedByUser_] { cb(); }, Qt::QueuedConnection);
        });
    }
    login_->showOver();
}

void AppSessionWindows::closeLoginWindow()
{
    if (!login_)
        return;
    closingLogin_ = true;
    login_->close();
    closingLogin_ = false;
}

void AppSessionWindows::appLoginComplete()
{
    if (login_)
        login_->controller().appLoginComplete();
}

void AppSessionWindows::loginComplete()
{
    if (login_)
        login_->controller().loginComplete();
}

void AppSessionWindows::resetUI()
{
    if (login_)
        login_->controller().resetUI();
}

void AppSessionWindows::runAlert(const AlertRequest& request, AlertPresenter::Completion completion)
{
    QWidget* window = login_ ? login_.data() : (fallback_ ? fallback_() : nullptr);
    RunAlert::run(request, window, std::move(completion));
}

void AppSessionWindows::showLastLoginInfoWindow(
    const QString& title, const QString& content, const std::optional<QRect>& parentFrame)
{
    closeLastLoginInfoWindow();
    lastLogin_ = new LastLoginInfoWindow(title, content);
    lastLogin_->setAttribute(Qt::WA_DeleteOnClose);
    if (parentFrame)
        lastLogin_->setParentRect(*parentFrame);
    lastLogin_->showWindow();
}

void AppSessionWindows::closeLastLoginInfoWindow()
{
    if (lastLogin_)
        lastLogin_->close();
}

void AppSessionWindows::refreshAccountLists()
{
    if (accountsChanged_)
        accountsChanged_();
}

void AppSessionWindows::stopModal() { ui::stopModal(); }

WidgetMainWindowOpener::WidgetMainWindowOpener(std::function<ui::Window*()> make, QObject* parent)
    : QObject(parent)
    , make_(std::move(make))
{
}

WidgetMainWindowOpener::~WidgetMainWindowOpener()
{
    closing_ = true;
    if (window_)
        window_->close();
}

void WidgetMainWindowOpener::open(std::function<void()> closedByUser)
{
    closedByUser_ = std::move(closedByUser);
    if (!window_) {
        window_ = make_();
        window_->setAttribute(Qt::WA_DeleteOnClose);
        connect(window_, &ui::Window::windowWillClose, this, [this] {
            if (cover_)
                cover_->close();
            if (!closing_ && closedByUser_)
                QMetaObject::invokeMethod(this, [cb = closedByUser_] { cb(); }, Qt::QueuedConnection);
        });
    }
    window_->showOver();
}

void WidgetMainWindowOpener::close()
{
    if (!window_)
        return;
    closing_ = true;
    window_->close();
    closing_ = false;
}

void WidgetMainWindowOpener::lockWindow(bool locked)
{
    if (!window_)
        return;
    if (lock_) {
        lock_(window_, locked);
        return;
    }
    if (locked && !cover_) {
        auto* cover = new LockScreenWindow(window_);
        cover->setAttribute(Qt::WA_DeleteOnClose);
        cover->showOverParent();
        cover_ = cover;
    } else if (!locked && cover_) {
        cover_->close();
    }
}

QRect WidgetMainWindowOpener::frame() const { return window_ ? window_->frameGeometry() : QRect(); }
