#pragma once

class QWidget;

// A later start on the same user folder: the window the customer works in
// comes to the front (a modal box first, then the main window when it is
// shown, else the login window) with the windows it stands over, each
// restored when minimized: a box never comes up alone over a main window
// left minimized. A window not shown (the lock hides them) stays hidden.
void bringClientToFront(QWidget* mainWindow, QWidget* loginWindow);
