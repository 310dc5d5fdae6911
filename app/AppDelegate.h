#pragma once

#include <QObject>
#include <memory>

class AppSessionWindows;
class IdleInputFilter;
class IdleLock;
class RiskGateWindows;
class UserDefaultConfig;
class WidgetMainWindowOpener;
class WindowController;

// The application's start-up: the settings store, the idle lock watching
// every input event, the per-user folder, the request catalogue, then the
// session controller. The application ends only when the session says so
// (exit, or the user closing the last session window), never because a
// window hand-over left no window open for a moment.
class AppDelegate final : public QObject {
    Q_OBJECT
public:
    AppDelegate();
    ~AppDelegate() override;

    // applicationDidFinishLaunching:
    void applicationDidFinishLaunching();
    // createProfileFolder: the per-user folder and its "Config/".
    static bool createProfileFolder();

private:
    void terminate();

    UserDefaultConfig* userDefaultConfig = nullptr;
    std::unique_ptr<IdleLock> idleLock_;
    IdleInputFilter* inputFilter_ = nullptr;
    std::unique_ptr<AppSessionWindows> windows_;
    std::unique_ptr<WidgetMainWindowOpener> mainWindow_;
    std::unique_ptr<RiskGateWindows> riskWindows_;
    std::unique_ptr<WindowController> windowController;
};
