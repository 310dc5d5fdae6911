#pragma once

#include <QObject>
#include <QUrl>
#include <memory>

class AppSessionWindows;
class QMenuBar;
class QWidget;
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
    // What the stores could not write yet is written (waiting a little for
    // a lock another process holds), the session's windows go, then the
    // shared services in the order they depend on each other, while the
    // application object still exists:
    // left to the end of the process they would go in an order that lets
    // one reach another already gone.
    void applicationWillTerminate();
    // createProfileFolder: the per-user folder and its "Config/".
    static bool createProfileFolder();
    // A later start on the same user folder: the window the customer works
    // in comes to the front (a modal dialog first, then the main window,
    // else the login window) with the windows it stands over.
    void bringToFront();

    // The application menu: clearing the buffers and the broker's pages.
    QMenuBar* makeMenuBar(QWidget* parent);
    // clearBuffersMenuItemClicked: the request caches are cleared.
    static void clearBuffersMenuItemClicked();
    // linkMenuItemClicked: the broker's page for a menu tag (1 and 2 the
    // mobile applications, 3 the mobile site, 4 the main site, 5 the shop);
    // an empty address for any other tag.
    static QUrl linkUrl(int tag);
    static void linkMenuItemClicked(int tag);

private:
    void terminate();

    UserDefaultConfig* userDefaultConfig = nullptr;
    std::unique_ptr<IdleLock> idleLock_;
    IdleInputFilter* inputFilter_ = nullptr;
    std::unique_ptr<AppSessionWindows> windows_;
    std::unique_ptr<WidgetMainWindowOpener> mainWindow_;
    std::unique_ptr<RiskGateWindows> riskWindows_;
    std::unique_ptr<WindowController> windowController;
    bool wroteOwedWrites_ = false;
};
