#include "app/MainWindowFactory.h"

#include "shell/session/ui/PlaceholderMainWindow.h"

ui::Window* makeMainWindow(const std::function<void()>& exitTrading)
{
    auto* window = new PlaceholderMainWindow();
    QObject::connect(window, &PlaceholderMainWindow::exitTradingRequested, window, [exitTrading] { exitTrading(); });
    return window;
}
