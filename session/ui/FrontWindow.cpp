#include "session/ui/FrontWindow.h"

#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <vector>

void bringClientToFront(QWidget* mainWindow, QWidget* loginWindow)
{
    // A window that is not shown (the lock hides the session's) stays so:
    // only a minimized one is restored.
    const auto shown = [](QWidget* w) { return w && w->window()->isVisible() ? w->window() : nullptr; };
    QWidget* base = shown(mainWindow);
    if (!base)
        base = shown(loginWindow);
    QWidget* front = QApplication::activeModalWidget();
    if (!front)
        front = base;
    if (!front)
        return;
    // Bottom first: the session's window, then each window the front one
    // stands over, outermost first, then the front one.
    std::vector<QWidget*> stack;
    for (QWidget* w = front->window(); w; w = w->parentWidget() ? w->parentWidget()->window() : nullptr)
        stack.insert(stack.begin(), w);
    if (base && std::find(stack.begin(), stack.end(), base) == stack.end())
        stack.insert(stack.begin(), base);
    for (QWidget* w : stack) {
        if (!w->isVisible())
            continue;
        if (w->isMinimized())
            w->showNormal();
        w->raise();
    }
    front->activateWindow();
}
