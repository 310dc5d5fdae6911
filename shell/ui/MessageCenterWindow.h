#pragma once

#include "shell/ui/Window.h"
#include "shell/windows/MessageCenterWindowController.h"

class QVBoxLayout;

// The message-centre window: one row per message with its title, date and
// expand button; the expanded row shows the body. It shows its
// MessageCenterWindowController.
class MessageCenterWindow final : public ui::Window {
    Q_OBJECT
public:
    explicit MessageCenterWindow(
        MessageCenterWindowController::Services services = {}, QWidget* parent = nullptr);
    ~MessageCenterWindow() override;

    MessageCenterWindowController& controller() { return controller_; }

protected:
    void willClose() override;

private:
    void reloadData();

    MessageCenterWindowController controller_;
    QWidget* tableView_ = nullptr;
    QVBoxLayout* rows_ = nullptr;
};
