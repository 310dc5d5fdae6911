#include "shell/ui/AccountWindow.h"

#include "core/ui/ColumnFit.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

// The controller's rows, one column per identifier.
class AccountWindow::TableModel final : public QAbstractTableModel {
public:
    TableModel(AccountWindowController& controller, QObject* parent)
        : QAbstractTableModel(parent)
        , controller_(controller)
    {
    }
    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : controller_.numberOfRowsInTableView();
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        static const char* const ids[] = { AccountWindowController::kSortNumberColumn,
            AccountWindowController::kLoginTypeColumn, AccountWindowController::kCustomerNumberColumn };
        return controller_.objectValue(QString::fromLatin1(ids[index.column()]), index.row());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        static const QStringList titles
            = { QStringLiteral("序号"), QStringLiteral("登录方式"), QStringLiteral("客户代码") };
        return titles.value(section);
    }
    void reload()
    {
        beginResetModel();
        endResetModel();
    }

private:
    AccountWindowController& controller_;
};

AccountWindow::AccountWindow(AccountWindowController::Services services, QWidget* parent)
    : ui::Window(parent)
    , controller_(services)
{
    setObjectName(QStringLiteral("accountWindow"));
    setWindowTitle(QStringLiteral("账户管理"));

    auto* loginType = new QComboBox(this);
    loginType->setObjectName(QStringLiteral("loginTypePButton"));
    loginType->addItems(AccountWindowController::loginTypes());
    customerNumberText_ = new QLineEdit(this);
    customerNumberText_->setObjectName(QStringLiteral("customerNumberText"));
    customerNumberText_->setValidator(controller_.customerNumberFormatter());
    customerNumberText_->setPlaceholderText(QStringLiteral("客户代码"));
    auto* add = new QPushButton(QStringLiteral("添加"), this);
    add->setObjectName(QStringLiteral("addButton"));
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(loginType);
    addRow->addWidget(customerNumberText_, 1);
    addRow->addWidget(add);

    accountInfoTableView_ = new QTableView(this);
    accountInfoTableView_->setObjectName(QStringLiteral("accountInfoTableView"));
    model_ = new TableModel(controller_, this);
    accountInfoTableView_->setModel(model_);
    accountInfoTableView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    accountInfoTableView_->setSelectionMode(QAbstractItemView::SingleSelection);
    accountInfoTableView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    accountInfoTableView_->verticalHeader()->hide();
    fitColumnsToContents(accountInfoTableView_);

    auto* remove = new QPushButton(QStringLiteral("删除"), this);
    remove->setObjectName(QStringLiteral("deleteButton"));
    auto* removeAll = new QPushButton(QStringLiteral("全部删除"), this);
    removeAll->setObjectName(QStringLiteral("removeAllButton"));
    auto* closeButton = new QPushButton(QStringLiteral("关闭"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(remove);
    buttons->addWidget(removeAll);
    buttons->addStretch();
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(addRow);
    layout->addWidget(accountInfoTableView_);
    layout->addLayout(buttons);
    resize(420, 320);

    connect(customerNumberText_, &QLineEdit::textChanged, &controller_,
        &AccountWindowController::setCustomerNumberText);
    connect(add, &QPushButton::clicked, this, [this] {
        if (controller_.addButtonClicked())
            customerNumberText_->clear();
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        const QModelIndexList rows = accountInfoTableView_->selectionModel()->selectedRows();
        controller_.deleteButtonClicked(rows.isEmpty() ? -1 : rows.first().row());
    });
    connect(removeAll, &QPushButton::clicked, &controller_, &AccountWindowController::removeAllButtonClicked);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(&controller_, &AccountWindowController::reloadData, this, [this] {
        model_->reload();
        fitColumnsToContents(accountInfoTableView_);
    });
}

AccountWindow::~AccountWindow() = default;
