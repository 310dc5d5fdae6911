#include "app/MainWindowFactory.h"

#include "shell/session/ui/PlaceholderMainWindow.h"

#include <QLayout>
#include <QMenuBar>

ui::Window* makeMainWindow(const std::function<void()>& exitTrading, const std::function<QMenuBar*(QWidget*)>& menuBar)
{
    auto* window = new PlaceholderMainWindow();
    window->layout()->setMenuBar(menuBar(window));
    QObject::connect(window, &PlaceholderMainWindow::exitTradingRequested, window, [exitTrading] { exitTrading(); });
    return window;
}
