#pragma once

#include "shell/ui/Window.h"
#include "shell/windows/AccountWindowController.h"

class QLineEdit;
class QTableView;

// The saved-accounts window; it shows its AccountWindowController.
class AccountWindow final : public ui::Window {
    Q_OBJECT
public:
    explicit AccountWindow(AccountWindowController::Services services = {}, QWidget* parent = nullptr);
    ~AccountWindow() override;

    AccountWindowController& controller() { return controller_; }

private:
    class TableModel;

    AccountWindowController controller_;
    QLineEdit* customerNumberText_ = nullptr;
    QTableView* accountInfoTableView_ = nullptr;
    TableModel* model_ = nullptr;
};
