#pragma once

#include "shell/ui/Window.h"
#include "shell/windows/UserSettingWindowController.h"

#include <array>

class QComboBox;
class QPushButton;

// The user settings window: one pop-up per setting with Default, Apply and
// Close; it shows its UserSettingWindowController. Turning protection off
// runs the unlock window over it.
class UserSettingWindow final : public ui::Window {
    Q_OBJECT
public:
    explicit UserSettingWindow(
        UserSettingWindowController::Services services = {}, QWidget* parent = nullptr);
    ~UserSettingWindow() override;

    UserSettingWindowController& controller() { return controller_; }

protected:
    void willClose() override { controller_.windowWillClose(); }

private:
    void refresh();

    UserSettingWindowController controller_;
    std::array<QComboBox*, UserSettingWindowController::kPopUpCount> popUps_ {};
    QPushButton* applyButton_ = nullptr;
};
