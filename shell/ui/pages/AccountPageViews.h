#pragma once

class MainWindow;

// Registers the account's own pages (password, reserved greeting): their
// controllers with the shared page dispatch and their widgets with the
// page-view catalogue.
void registerAccountPageViews();
// Gives the main window its settings and message-centre windows.
void installAccountWindows(MainWindow& window);
