#include "compliance/permissions/PermissionSettingsViewController.h"

#include "compliance/RiskAssessmentViewController.h"
#include "compliance/permissions/PermissionSettingsManager.h"
#include "core/UserDefaultConfig.h"
#include "shell/pages/MenuItemViewManager.h"

PermissionSettingsViewController::PermissionSettingsViewController(BaseNode::Ptr node, Services services)
    : MenuItemViewController(std::move(node), { services.notificationCenter })
    , permissionManager(
          services.permissionManager ? services.permissionManager : PermissionSettingsManager::getInstance())
    , userDefaultConfig(services.userDefaultConfig ? services.userDefaultConfig : UserDefaultConfig::getInstance())
    , wizardPresenter(services.wizardPresenter)
    , wizardServices(std::move(services.wizard))
    , listSource(std::move(services.listSource))
{
    if (!wizardServices.permissionManager)
        wizardServices.permissionManager = permissionManager;
    if (!wizardServices.notificationCenter)
        wizardServices.notificationCenter = notificationCenter;
}

PermissionSettingsViewController::~PermissionSettingsViewController()
{
    if (wizard_)
        disconnect(wizard_.get(), nullptr, this, nullptr);
}

void PermissionSettingsViewController::awakeFromNib()
{
    observePage(pagenotify::kAccountProtectOptionChanged,
        [this](const platform::Notification&) { updateForAccountProtecteOptionChange(); });
    requestList();
}

void PermissionSettingsViewController::willDropRequests()
{
    _permissionInfoArray.clear();
    // Its links would go out under the account that replaced theirs.
    if (wizard_)
        wizard_->windowWillClose();
}

bool PermissionSettingsViewController::requestList()
{
    // Only the list asked last is shown: one asked before a permission was
    // opened or closed, answered late, would put its old status back.
    const QString handle
        = listSource ? listSource(this) : permissionManager->requestQueryPermissionInfo(this);
    askedFor().ask(QStringLiteral("list"), handle);
    return !handle.isEmpty();
}

QStringList PermissionSettingsViewController::readOwed(const QStringList& owed)
{
    ReadsAskedAgain reads(owed);
    reads.ask(owedfigure::kPermissions, [this] { return requestList(); });
    return reads.asked();
}

void PermissionSettingsViewController::updateForAccountProtecteOptionChange()
{
    emit changed();
}

std::optional<QString> PermissionSettingsViewController::objectValueForTableColumn(
    const QString& column, qsizetype row) const
{
    if (row < 0 || row >= numberOfRowsInTableView())
        return std::nullopt;
    const RDOPermission& p = _permissionInfoArray[size_t(row)];
    if (column == QLatin1String("account"))
        return userDefaultConfig->getProtectedString(p.secuid);
    if (column == QLatin1String("permission"))
        return p.title;
    if (column == QLatin1String("market"))
        return p.market;
    if (column == QLatin1String("status"))
        return p.status == 1 ? QStringLiteral("已开通") : QStringLiteral("未开通");
    if (column == QLatin1String("operate"))
        return p.status == 1 ? QStringLiteral("关闭") : QStringLiteral("开通");
    return std::nullopt;
}

void PermissionSettingsViewController::operateButtonSelected(qsizetype row, QObject* parentWindow)
{
    if (isUnloaded() || row < 0 || row >= numberOfRowsInTableView() || wizard_)
        return;
    IPermissionWizardPresenter* presenter = wizardPresenter ? wizardPresenter : defaultPermissionWizardPresenter();
    if (!presenter) {
        alerts()->runAlert(AlertRequest::error(QStringLiteral("无法打开权限设置窗口")), nullptr);
        return;
    }
    const RDOPermission permission = _permissionInfoArray[size_t(row)];
    PermissionWizardServices services = wizardServices;
    // A change the wizard no longer saw (the lock ended it first) shows here
    // all the same, while the page still shows the account it was made for.
    services.changedAfterEnd = [this, alive = MenuItemViewController::watch()] {
        if (alive.survived() && !isUnloaded())
            requestList();
    };
    wizard_ = std::make_shared<PermissionAlertWindowController>(std::move(services));
    connect(wizard_.get(), &PermissionAlertWindowController::finished, this, [this](int result) {
        // The wizard stays alive until its own signal has been told.
        std::shared_ptr<PermissionAlertWindowController> done = std::move(wizard_);
        if (result == 1 && !isUnloaded())
            requestList();
        emit changed();
        QMetaObject::invokeMethod(this, [done] { }, Qt::QueuedConnection);
    });
    // Kept from the locked screen, it asks for nothing, not even its steps:
    // nothing is sent from there.
    if (presenter->present(wizard_, parentWindow) && wizard_)
        wizard_->runModalForPermissionSettings(permission.contractUrl, permission.openUrl);
}

void PermissionSettingsViewController::queryPermissionInfo(
    DataModel*, const QString& handle, const std::vector<RDOPermission>& infos)
{
    if (!askedFor().take(QStringLiteral("list"), handle))
        return;
    _permissionInfoArray = infos;
    emit changed();
    figureRead(owedfigure::kPermissions, true);
}

bool PermissionSettingsViewController::queryPermissionInfo(DataModel*, const QString& handle, const CSError&)
{
    // The rows shown stay; while the list is owed they may be out of date.
    if (askedFor().take(QStringLiteral("list"), handle))
        figureRead(owedfigure::kPermissions, false);
    return true;
}

void registerCompliancePages()
{
    MenuItemViewManager::getInstance()->registerPageClass(QString::fromLatin1(PermissionSettingsViewController::kClassName),
        [](const BaseNode::Ptr& node) -> std::unique_ptr<MenuItemViewController> {
            return std::make_unique<PermissionSettingsViewController>(node);
        });
    registerRiskAssessmentPage();
}
