#pragma once

#include "shell/ui/Window.h"
#include "shell/windows/SystemMessageWindowController.h"

#include <memory>

class QTextBrowser;

// The broker's system messages over the login window.
class SystemMessageWindow final : public ui::Window {
    Q_OBJECT
public:
    SystemMessageWindow(const std::vector<RDOSystemMessage>& messages, QWidget* parent = nullptr);
    ~SystemMessageWindow() override;

    const SystemMessageWindowController& controller() const { return *controller_; }
    QTextBrowser* contentTextView() const { return contentTextView_; }

private:
    std::unique_ptr<SystemMessageWindowController> controller_;
    QTextBrowser* contentTextView_ = nullptr;
};
