#include "shell/ui/ScreenLocker.h"

#include "shell/ui/UnlockScreenWindow.h"
#include "shell/ui/Window.h"

#include <QApplication>

ScreenLocker::ScreenLocker(ScreenLockController::Services services, QObject* parent)
    : QObject(parent)
    , controller_(services)
{
    connect(&controller_, &ScreenLockController::locked, this, &ScreenLocker::lock);
    connect(&controller_, &ScreenLockController::unlocked, this, &ScreenLocker::restore);
    connect(&controller_, &ScreenLockController::loggedOut, this, [this] { hidden_.clear(); });
}

ScreenLocker::~ScreenLocker()
{
    if (unlock_)
        unlock_->close();
}

void ScreenLocker::lock()
{
    // No modal run outlives the lock; each ends as rejected.
    ui::stopAllModals();
    hidden_.clear();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->isWindow()) {
            hidden_.emplace_back(window);
            window->hide();
        }
    }
    // A new unlock window for every lock: no earlier result carries over.
    unlock_ = new UnlockScreenWindow();
    unlock_->setWindowModality(Qt::ApplicationModal);
    ui::showOver(unlock_);
}

void ScreenLocker::restore()
{
    for (const QPointer<QWidget>& window : hidden_) {
        if (window)
            window->show();
    }
    hidden_.clear();
}
