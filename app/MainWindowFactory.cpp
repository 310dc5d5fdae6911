#include "app/MainWindowFactory.h"

#include "session/WindowController.h"
#include "shell/ui/LoginPanel.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/MenuItemView.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/ui/menueditor/MenuEditorWindow.h"
#include "shell/ui/pages/AccountPageViews.h"

#include <QLayout>
#include <QMenuBar>

ui::Window* makeMainWindow(const std::function<QMenuBar*(QWidget*)>& menuBar)
{
    // Exit trading closes the window itself; the session ends the application
    // when no login window is left.
    MainWindowServices services;
    services.screenLock.lockEndsTheSession = [] {
        const WindowController* session = WindowController::getInstance();
        return session && session->lockEndsTheSession();
    };
    auto* window = new MainWindow(services);
    window->layout()->setMenuBar(menuBar(window));
    installAccountWindows(*window);
    return window;
}
