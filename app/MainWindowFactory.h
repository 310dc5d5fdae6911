#pragma once

#include "shell/ui/Window.h"

#include <functional>

class QMenuBar;

// Makes the session's main window; `menuBar` makes the application menu for it.
ui::Window* makeMainWindow(const std::function<QMenuBar*(QWidget*)>& menuBar);
