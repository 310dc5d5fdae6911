#include "shell/ui/ScreenLocker.h"

#include "shell/ui/UnlockScreenWindow.h"
#include "shell/ui/Window.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <algorithm>

namespace {
std::vector<ScreenLocker*>& lockers()
{
    static std::vector<ScreenLocker*> all;
    return all;
}

// A modal window the lock closes rather than hides: any but a message box,
// as a box telling an order's outcome waits for the unlock.
bool isClosedByLock(const QWidget* window)
{
    return window->windowModality() != Qt::NonModal && !qobject_cast<const QMessageBox*>(window);
}

// Closes a window as its cancel would: a box is dismissed with 0, a dialog
// rejected (hidden, it rejects only when told), any other closes.
void cancel(QWidget* window)
{
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->reject();
    else
        window->close();
}

bool closedAlready(const QWidget* window)
{
    const auto* own = qobject_cast<const ui::Window*>(window);
    return own && own->isClosing();
}
} // namespace

ScreenLocker::ScreenLocker(ScreenLockController::Services services, QObject* parent)
    : QObject(parent)
    , controller_(services)
{
    connect(&controller_, &ScreenLockController::locked, this, &ScreenLocker::lock);
    connect(&controller_, &ScreenLockController::unlocked, this, &ScreenLocker::restore);
    connect(&controller_, &ScreenLockController::loggedOut, this, &ScreenLocker::logOut);
    lockers().push_back(this);
}

ScreenLocker::~ScreenLocker()
{
    std::erase(lockers(), this);
    if (unlock_)
        unlock_->close();
}

UnlockScreenWindow* ScreenLocker::unlockWindow() const
{
    return unlock_;
}

bool ScreenLocker::isOnUnlockWindow(const QWidget* window) const
{
    for (const QWidget* w = window; w && unlock_; w = w->parentWidget()) {
        if (w == unlock_)
            return true;
    }
    return false;
}

bool ScreenLocker::admits(QWidget* window)
{
    ScreenLocker* holder = nullptr;
    for (ScreenLocker* locker : lockers()) {
        if (!locker->controller_.isLocked())
            continue;
        if (locker->isOnUnlockWindow(window))
            return true;
        holder = holder ? holder : locker;
    }
    if (!holder)
        return true;
    holder->keepFromScreen(window);
    return false;
}

void ScreenLocker::keepFromScreen(QWidget* window)
{
    window->hide();
    if (isClosedByLock(window)) {
        // Whoever opened it hears the cancel once it has returned: the step
        // may end by deleting what opened the window.
        QMetaObject::invokeMethod(
            window, [window] { cancel(window); }, Qt::QueuedConnection);
        return;
    }
    const auto has = [window](const std::vector<QPointer<QWidget>>& list) {
        return std::find(list.begin(), list.end(), window) != list.end();
    };
    if (has(hidden_) || has(held_))
        return;
    held_.emplace_back(window);
    // One that ends while held (its owner closes it) stays closed.
    const auto forget = [this, window] { std::erase(held_, window); };
    if (auto* dialog = qobject_cast<QDialog*>(window))
        connect(dialog, &QDialog::finished, this, forget);
    else if (auto* own = qobject_cast<ui::Window*>(window))
        connect(own, &ui::Window::windowWillClose, this, forget);
}

void ScreenLocker::lock()
{
    // No modal run outlives the lock, whatever its kind: each ends as
    // rejected, and a dialog that closes with its run is gone before the
    // windows are hidden, so it cannot come back with them.
    ui::stopAllModals();
    hidden_.clear();
    held_.clear();
    std::vector<QPointer<QWidget>> modal;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->isWindow()) {
            (isClosedByLock(window) ? modal : hidden_).emplace_back(window);
            window->hide();
        }
    }
    // A new unlock window for every lock: no earlier result carries over.
    unlock_ = new UnlockScreenWindow();
    unlock_->setWindowModality(Qt::ApplicationModal);
    ui::showOver(unlock_);
    // Nor does a modal window without a run outlive it: it closes as
    // cancelled, which its controller hears. Last, as the controllers that
    // end their own windows at the lock do: what a cancel starts (a logout)
    // happens over the lock.
    for (const QPointer<QWidget>& window : modal) {
        if (window)
            cancel(window);
    }
}

void ScreenLocker::restore()
{
    for (const QPointer<QWidget>& window : hidden_) {
        // A window closed while locked (the settings) stays closed, though
        // it may not be deleted yet.
        if (window && !closedAlready(window))
            window->show();
    }
    hidden_.clear();
    // Over the windows they opened on, each for the first time.
    for (const QPointer<QWidget>& window : std::exchange(held_, {})) {
        if (window && !closedAlready(window))
            ui::showOver(window);
    }
}

void ScreenLocker::logOut()
{
    // What waited for the unlock belongs to the session that ended: the
    // boxes the lock hid unread too, dismissed, so their openers hear it
    // rather than lose them with the windows they sit on.
    for (const QPointer<QWidget>& window : std::exchange(hidden_, {})) {
        if (window && qobject_cast<QMessageBox*>(window.data()))
            cancel(window);
    }
    for (const QPointer<QWidget>& window : std::exchange(held_, {})) {
        if (window)
            cancel(window);
    }
}
