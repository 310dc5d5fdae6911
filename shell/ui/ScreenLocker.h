#pragma once

#include "shell/windows/ScreenLockController.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

class UnlockScreenWindow;

// The locked state on screen: every modal run ends, every other modal window
// but a message box closes as cancelled, every window of the session is
// hidden (not shrunk) and the application-modal unlock window is the only
// one shown; a confirmed password shows them again. A message box that opens
// meanwhile on a hidden window waits hidden with it.
class ScreenLocker final : public QObject {
    Q_OBJECT
public:
    explicit ScreenLocker(ScreenLockController::Services services = {}, QObject* parent = nullptr);
    ~ScreenLocker() override;

    ScreenLockController& controller() { return controller_; }
    UnlockScreenWindow* unlockWindow() const;
    const std::vector<QPointer<QWidget>>& hiddenWindows() const { return hidden_; }

    // When a lock holds `window` hidden, `box` (opened on it) waits with it
    // for the unlock instead of showing over the lock; answers whether so.
    static bool holdWithWindow(QWidget* box, QWidget* window);

private:
    void lock();
    void restore();

    ScreenLockController controller_;
    std::vector<QPointer<QWidget>> hidden_;
    QPointer<UnlockScreenWindow> unlock_;
};
