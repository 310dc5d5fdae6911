#include "compliance/ui/PermissionSettingsPage.h"

#include "compliance/ui/PermissionAlertWindow.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const char* const kColumns[] = { "account", "permission", "market", "status", "operate" };

} // namespace

PermissionSettingsPage::PermissionSettingsPage(PermissionSettingsViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(controller)
    , tableView_(new QTableWidget(0, 5, this))
{
    setObjectName(QStringLiteral("permissionSettingsPage"));
    tableView_->setObjectName(QStringLiteral("tableView"));
    tableView_->setHorizontalHeaderLabels({ QStringLiteral("股东账号"), QStringLiteral("权限名称"),
        QStringLiteral("市场"), QStringLiteral("状态"), QStringLiteral("操作") });
    tableView_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    tableView_->verticalHeader()->hide();
    tableView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableView_->setSelectionMode(QAbstractItemView::NoSelection);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tableView_);
    refresh();
}

void PermissionSettingsPage::refresh()
{
    const qsizetype rows = page_.numberOfRowsInTableView();
    tableView_->setRowCount(int(rows));
    const QColor grey = QColor::fromRgbF(0.419f, 0.419f, 0.419f, 1.0f);
    for (int row = 0; row < int(rows); ++row) {
        for (int column = 0; column < 4; ++column) {
            auto* item = new QTableWidgetItem(
                page_.objectValueForTableColumn(QLatin1String(kColumns[column]), row).value_or(QString()));
            item->setTextAlignment(Qt::AlignCenter);
            item->setForeground(grey);
            tableView_->setItem(row, column, item);
        }
        auto* button = new QPushButton(
            page_.objectValueForTableColumn(QStringLiteral("operate"), row).value_or(QString()));
        button->setObjectName(QStringLiteral("operate%1").arg(row));
        connect(button, &QPushButton::clicked, this, [this, row] { page_.operateButtonSelected(row, window()); });
        tableView_->setCellWidget(row, 4, button);
    }
}

void installPermissionViews()
{
    static PermissionWizardPresenter presenter;
    setDefaultPermissionWizardPresenter(&presenter);
    MenuItemViewCatalogue::shared().registerView(QString::fromLatin1(PermissionSettingsViewController::kClassName),
        [](MenuItemViewController& controller, QWidget* parent) -> MenuItemView* {
            return new PermissionSettingsPage(static_cast<PermissionSettingsViewController&>(controller), parent);
        });
}
