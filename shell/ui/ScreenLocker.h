#pragma once

#include "shell/windows/ScreenLockController.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

class UnlockScreenWindow;

// The locked state on screen: while locked every window of the session is
// hidden (not shrunk) and the application-modal unlock window is the only
// one shown; a confirmed password shows them again.
class ScreenLocker final : public QObject {
    Q_OBJECT
public:
    explicit ScreenLocker(ScreenLockController::Services services = {}, QObject* parent = nullptr);
    ~ScreenLocker() override;

    ScreenLockController& controller() { return controller_; }
    UnlockScreenWindow* unlockWindow() const { return unlock_; }
    const std::vector<QPointer<QWidget>>& hiddenWindows() const { return hidden_; }

private:
    void lock();
    void restore();

    ScreenLockController controller_;
    std::vector<QPointer<QWidget>> hidden_;
    QPointer<UnlockScreenWindow> unlock_;
};
