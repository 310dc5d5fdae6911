#pragma once

#include "compliance/permissions/PermissionSettingsViewController.h"
#include "shell/ui/MenuItemView.h"

class QTableWidget;

// The permission settings page: one row per permission with its account,
// name, market, state and the button that runs the opening wizard.
class PermissionSettingsPage final : public MenuItemView {
    Q_OBJECT
public:
    explicit PermissionSettingsPage(PermissionSettingsViewController& controller, QWidget* parent = nullptr);

    QTableWidget* tableView() const { return tableView_; }

protected:
    void refresh() override;

private:
    PermissionSettingsViewController& page_;
    QTableWidget* tableView_;
};

// Makes the permission page's widget and the wizard's window the ones the
// application uses.
void installPermissionViews();
