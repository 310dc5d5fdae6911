#pragma once

#include "shell/ui/Window.h"

#include <functional>

// Makes the session's main window; `exitTrading` ends the application.
ui::Window* makeMainWindow(const std::function<void()>& exitTrading);
