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
} // namespace

ScreenLocker::ScreenLocker(ScreenLockController::Services services, QObject* parent)
    : QObject(parent)
    , controller_(services)
{
    connect(&controller_, &ScreenLockController::locked, this, &ScreenLocker::lock);
    connect(&controller_, &ScreenLockController::unlocked, this, &ScreenLocker::restore);
    connect(&controller_, &ScreenLockController::loggedOut, this, [this] { hidden_.clear(); });
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

bool ScreenLocker::holdWithWindow(QWidget* box, QWidget* window)
{
    for (ScreenLocker* locker : lockers()) {
        std::vector<QPointer<QWidget>>& hidden = locker->hidden_;
        if (window && locker->controller_.isLocked()
            && std::find(hidden.begin(), hidden.end(), window) != hidden.end()) {
            hidden.emplace_back(box);
            return true;
        }
    }
    return false;
}

void ScreenLocker::lock()
{
    // No modal run outlives the lock, whatever its kind: each ends as
    // rejected, and a dialog that closes with its run is gone before the
    // windows are hidden, so it cannot come back with them.
    ui::stopAllModals();
    hidden_.clear();
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
        if (auto* dialog = qobject_cast<QDialog*>(window.data()))
            dialog->reject(); // hidden, it rejects only when told
        else if (window)
            window->close();
    }
}

void ScreenLocker::restore()
{
    for (const QPointer<QWidget>& window : hidden_) {
        // A window closed while locked (the settings) stays closed, though
        // it may not be deleted yet.
        const auto* own = qobject_cast<const ui::Window*>(window.data());
        if (window && !(own && own->isClosing()))
            window->show();
    }
    hidden_.clear();
}
