#include "session/ui/SessionWindows.h"

#include "shell/ui/LockScreenWindow.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/RunAlert.h"
#include "shell/ui/Window.h"

#include <QMessageBox>

SessionWindowSlot::~SessionWindowSlot()
{
    close();
}

void SessionWindowSlot::open(const std::function<ui::Window*()>& make, std::function<void()> closedByUser)
{
    closedByUser_ = std::move(closedByUser);
    if (!window_) {
        window_ = make();
        window_->setAttribute(Qt::WA_DeleteOnClose);
        connect(window_, &ui::Window::windowWillClose, this, [this] {
            emit willClose();
            // Closed means gone, although deleted only later: the session
            // never counts it as open, nor shows it again.
            window_.clear();
            // After the close has run: the session may open or close windows.
            if (!closing_ && closedByUser_)
                QMetaObject::invokeMethod(
                    this, [cb = closedByUser_] { cb(); }, Qt::QueuedConnection);
        });
    }
    // Centred at the size the window chose (one that never chose gets its
    // size hint from show()), in front.
    if (!window_->isVisible()) {
        ui::centreOver(window_, nullptr);
        window_->show();
        ui::centreOver(window_, nullptr);
    }
    window_->raise();
    window_->activateWindow();
}

void SessionWindowSlot::close()
{
    if (!window_)
        return;
    closing_ = true;
    window_->close();
    closing_ = false;
}

void AnyWindowAlerts::runAlert(const AlertRequest& request, Completion completion)
{
    // The box belongs to no window: the login window closes at the next
    // login, and a box of its own would go with it unread.
    QMessageBox* box = RunAlert::run(request, nullptr, std::move(completion));
    if (QWidget* window = window_(); window && window->isVisible())
        ui::centreOver(box, window);
}

AppSessionWindows::AppSessionWindows(QObject* parent)
    : QObject(parent)
{
}

AppSessionWindows::~AppSessionWindows()
{
    if (lastLogin_)
        lastLogin_->closeNow();
}

void AppSessionWindows::showLoginWindow(std::function<void()> closedByUser, std::function<void()> loginCancelled)
{
    loginCancelled_ = std::move(loginCancelled);
    login_.open(
        [this] {
            auto* window = new LoginWindow();
            connect(&window->controller().loginViewController(), &LoginViewController::loginCancelled, this,
                [this] {
                    if (loginCancelled_)
                        loginCancelled_();
                });
            return window;
        },
        std::move(closedByUser));
}

void AppSessionWindows::closeLoginWindow()
{
    login_.close();
}

void AppSessionWindows::appLoginComplete()
{
    if (LoginWindow* login = loginWindow())
        login->controller().appLoginComplete();
}

void AppSessionWindows::loginComplete()
{
    if (LoginWindow* login = loginWindow())
        login->controller().loginComplete();
}

void AppSessionWindows::resetUI()
{
    if (LoginWindow* login = loginWindow())
        login->controller().resetUI();
}

void AppSessionWindows::runAlert(const AlertRequest& request, AlertPresenter::Completion completion)
{
    QWidget* window = login_.get() ? login_.get() : (fallback_ ? fallback_() : nullptr);
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
        lastLogin_->closeNow();
}

void AppSessionWindows::refreshAccountLists()
{
    if (accountsChanged_)
        accountsChanged_();
}

void AppSessionWindows::stopModal()
{
    ui::stopModal();
}

WidgetMainWindowOpener::WidgetMainWindowOpener(std::function<ui::Window*()> make, QObject* parent)
    : QObject(parent)
    , make_(std::move(make))
{
    connect(&window_, &SessionWindowSlot::willClose, this, [this] {
        if (cover_)
            cover_->close();
    });
}

WidgetMainWindowOpener::~WidgetMainWindowOpener() = default;

void WidgetMainWindowOpener::open(std::function<void()> closedByUser)
{
    window_.open(make_, std::move(closedByUser));
}

void WidgetMainWindowOpener::close()
{
    window_.close();
}

void WidgetMainWindowOpener::lockWindow(bool locked)
{
    ui::Window* window = window_.get();
    if (!window)
        return;
    if (lock_) {
        lock_(window, locked);
        return;
    }
    if (locked && !cover_) {
        auto* cover = new LockScreenWindow(window);
        cover->setAttribute(Qt::WA_DeleteOnClose);
        cover->showOverParent();
        cover_ = cover;
    } else if (!locked && cover_) {
        cover_->close();
    }
}

bool WidgetMainWindowOpener::isScreenLocked() const
{
    auto* window = qobject_cast<MainWindow*>(window_.get());
    return window && window->windowIsLocked();
}

QRect WidgetMainWindowOpener::frame() const
{
    return window_.get() ? window_.get()->frameGeometry() : QRect();
}
