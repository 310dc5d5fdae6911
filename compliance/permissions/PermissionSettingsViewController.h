#pragma once

#include "compliance/permissions/PermissionAlertWindowController.h"
#include "shell/pages/MenuItemViewController.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class UserDefaultConfig;

// What the permission page works with; null ones are the shared instances
// (the wizard presenter: the one the application set).
struct PermissionSettingsPageServices {
    NotificationCenter* notificationCenter = nullptr;
    PermissionSettingsManager* permissionManager = nullptr;
    UserDefaultConfig* userDefaultConfig = nullptr;
    IPermissionWizardPresenter* wizardPresenter = nullptr;
    PermissionWizardServices wizard; // handed to every wizard it runs
    // Where the list comes from; null: the permission manager's list.
    std::function<QString(IQueryPermissionInfoDelegate*)> listSource;
};

// The permission settings page (link id 60001): the active account's
// permissions, whether each is opened, and per row a button that runs the
// opening wizard with the row's links. The list is asked for at set-up and
// again after a wizard that ended with 1, or whose open or close succeeded
// only after the wizard had ended (the page still on the same account).
class PermissionSettingsViewController : public MenuItemViewController, public IQueryPermissionInfoDelegate {
    Q_OBJECT
public:
    using Services = PermissionSettingsPageServices;
    static constexpr char kClassName[] = "PermissionSettingsViewController";

    // initWithNodeInfo:
    explicit PermissionSettingsViewController(BaseNode::Ptr node = nullptr, Services services = Services());
    ~PermissionSettingsViewController() override;

    // numberOfRowsInTableView:
    qsizetype numberOfRowsInTableView() const { return qsizetype(_permissionInfoArray.size()); }
    // tableView:objectValueForTableColumn:row: by column identifier ("account",
    // "permission", "market", "status", "operate"); nullopt for another column
    // or a row beyond the list.
    std::optional<QString> objectValueForTableColumn(const QString& column, qsizetype row) const;
    const std::vector<RDOPermission>& permissions() const { return _permissionInfoArray; }

    // operateButtonSelected: the button of a row; the wizard opens over
    // `parentWindow`. A row beyond the list, or a press while a wizard runs,
    // does nothing.
    void operateButtonSelected(qsizetype row, QObject* parentWindow = nullptr);
    // The wizard while it runs.
    const std::shared_ptr<PermissionAlertWindowController>& wizard() const { return wizard_; }

    // IQueryPermissionInfoDelegate
    void queryPermissionInfo(DataModel*, const QString&, const std::vector<RDOPermission>& infos) override;
    bool queryPermissionInfo(DataModel*, const QString& handle, const CSError&) override;

protected:
    void awakeFromNib() override;
    // The list, read again while an open or close of unknown outcome left it
    // owed.
    QStringList figuresShown() const override { return { owedfigure::kPermissions }; }
    QStringList readOwed(const QStringList& owed) override;
    // The rows, and the wizard run for one of them, belong to the account
    // they were asked for.
    void willDropRequests() override;

private:
    void updateForAccountProtecteOptionChange();
    // Answers whether the list was asked for.
    bool requestList();

    PermissionSettingsManager* permissionManager;
    UserDefaultConfig* userDefaultConfig;
    IPermissionWizardPresenter* wizardPresenter;
    PermissionWizardServices wizardServices;
    std::function<QString(IQueryPermissionInfoDelegate*)> listSource;
    std::vector<RDOPermission> _permissionInfoArray;
    std::shared_ptr<PermissionAlertWindowController> wizard_;
};

// Makes the permission page and the questionnaire page the menu's page
// dispatch can open.
void registerCompliancePages();
