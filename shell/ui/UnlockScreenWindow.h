#pragma once

#include "shell/ui/RunAlert.h"
#include "shell/ui/Window.h"
#include "shell/windows/UnlockScreenWindowController.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The unlock window: the masked customer number, the trade password and the
// unlock and exit buttons; it shows its UnlockScreenWindowController.
class UnlockScreenWindow final : public ui::Window {
    Q_OBJECT
public:
    explicit UnlockScreenWindow(UnlockScreenWindowController::Services services = {}, QWidget* parent = nullptr);
    ~UnlockScreenWindow() override;

    UnlockScreenWindowController& controller() { return controller_; }
    // runModal: with the tip and the exit button's title; answers configFlag.
    int runModal(const QString& tip, const QString& closeButtonTitle);
    using ui::Window::runModal;

    // The tip as the window shows it: a line break that falls inside a word
    // moves back to the end of the clause before it (or goes), since the
    // lines are the window's own, not those of the text's source.
    static QString displayedTip(const QString& tip);

protected:
    void willClose() override;

private:
    void refresh();

    UnlockScreenWindowController controller_;
    WindowAlertPresenter alerts_;
    QLabel* customerNumberText_ = nullptr;
    QLineEdit* passwordText_ = nullptr;
    QProgressBar* progressIndicator_ = nullptr;
    QPushButton* unlockButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    QLabel* tipLabel_ = nullptr;
};
