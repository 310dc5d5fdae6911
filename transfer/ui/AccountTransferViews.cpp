#include "transfer/ui/AccountTransferViews.h"

#include "core/ui/PopUp.h"
#include "shell/ui/StockCodeField.h"
#include "shell/ui/tables/DVCommonTableView.h"
#include "trading/ui/FormControls.h"
#include "transfer/ui/TransferWidgets.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using transferui::forward;
using transferui::named;
using transferui::passwordField;

namespace {

// The label of a form row, right-aligned in column 0.
void addRow(QGridLayout* grid, int row, const QString& title, QWidget* field)
{
    grid->addWidget(new QLabel(title, field->parentWidget()), row, 0, Qt::AlignRight);
    grid->addWidget(field, row, 1);
}

QHBoxLayout* buttonRow(QPushButton* reset, QPushButton* action, QProgressBar* progress)
{
    progress->setRange(0, 0);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reset);
    buttons->addWidget(action);
    buttons->addWidget(progress);
    buttons->addStretch(1);
    return buttons;
}

// Shows a new table model once; none empties the table.
void showTable(DVCommonTableView* view, const std::shared_ptr<DTFundInfoTable>& table,
    std::shared_ptr<DTFundInfoTable>& shown)
{
    if (table != shown) {
        shown = table;
        view->reinitTableViewWithObject(table);
    }
}

} // namespace

InsideTransferPageView::InsideTransferPageView(InsideTransferViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(&controller)
    , moneyTypePButton_(named(new QComboBox(this), "moneyTypePButton"))
    , fundIdInfoPButton_(named(new QComboBox(this), "fundIdInfoPButton"))
    , toFundIdInfoPButton_(named(new QComboBox(this), "toFundIdInfoPButton"))
    , availableFundText_(named(new QLabel(this), "availableFundText"))
    , amountText_(named(new QLineEdit(this), "amountText"))
    , fundPasswordText_(passwordField(this, "fundPasswordText"))
    , resetButton_(named(new QPushButton(QStringLiteral("重置"), this), "resetButton"))
    , transferButton_(named(new QPushButton(QStringLiteral("转账"), this), "transferButton"))
    , transferProgress_(named(new QProgressBar(this), "transferProgress"))
    , fundInfoTable_(named(new DVCommonTableView(this), "fundInfoTable"))
{
    setObjectName(QString::fromLatin1(InsideTransferViewController::kPageClass));
    controller.setDialogParent(this);
    amountText_->setMaxLength(32);
    useTypedValueFormatter(amountText_);
    for (QComboBox* box : { moneyTypePButton_, fundIdInfoPButton_, toFundIdInfoPButton_ })
        box->setMinimumWidth(280);
    // Each choice asks the out account's available money again.
    chooseInOpenList(moneyTypePButton_);
    chooseInOpenList(fundIdInfoPButton_);
    auto* form = new QWidget(this);
    auto* grid = new QGridLayout(form);
    grid->setContentsMargins(0, 0, 0, 0);
    addRow(grid, 0, QStringLiteral("币种:"), moneyTypePButton_);
    addRow(grid, 1, QStringLiteral("转出账号:"), fundIdInfoPButton_);
    addRow(grid, 2, QStringLiteral("可用资金:"), availableFundText_);
    addRow(grid, 3, QStringLiteral("转入账号:"), toFundIdInfoPButton_);
    addRow(grid, 4, QStringLiteral("转账金额:"), amountText_);
    addRow(grid, 5, QStringLiteral("资金密码:"), fundPasswordText_);
    grid->addLayout(buttonRow(resetButton_, transferButton_, transferProgress_), 6, 1);
    grid->setColumnStretch(2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(form);
    layout->addWidget(new QLabel(QStringLiteral("资金账号"), this));
    layout->addWidget(fundInfoTable_, 1);

    forward(moneyTypePButton_, &QComboBox::activated, this, page_, &InsideTransferViewController::moneyTypeSelected);
    forward(fundIdInfoPButton_, &QComboBox::activated, this, page_, &InsideTransferViewController::fundAccountChanged);
    forward(toFundIdInfoPButton_, &QComboBox::activated, this, page_, &InsideTransferViewController::toFundAccountChanged);
    forward(amountText_, &QLineEdit::textEdited, this, page_, &InsideTransferViewController::setAmountText);
    forward(fundPasswordText_, &QLineEdit::textEdited, this, page_, &InsideTransferViewController::setFundPasswordText);
    // controlEditEnd: amount, password, back to the amount.
    transferui::returnMovesBetween(amountText_, fundPasswordText_);
    forward(resetButton_, &QPushButton::clicked, this, page_, &InsideTransferViewController::resetButtonClicked);
    forward(transferButton_, &QPushButton::clicked, this, page_, &InsideTransferViewController::transferButtonClicked);
    connect(&controller, &MenuItemViewController::changed, this, [this] { refresh(); });
    refresh();
}

void InsideTransferPageView::refresh()
{
    if (!page_)
        return;
    fillPopUp(moneyTypePButton_, page_->moneyNames(), int(page_->selectedMoneyIndex()));
    fillPopUp(fundIdInfoPButton_, page_->fundAccountItems(), int(page_->selectedOutIndex()));
    fillPopUp(toFundIdInfoPButton_, page_->fundAccountItems(), int(page_->selectedInIndex()));
    const bool enabled = page_->controlsEnabled() && !page_->isBusy();
    for (QWidget* w : std::initializer_list<QWidget*> { moneyTypePButton_, fundIdInfoPButton_, toFundIdInfoPButton_,
             amountText_, fundPasswordText_, resetButton_, transferButton_ })
        w->setEnabled(enabled);
    transferProgress_->setVisible(page_->isProgressVisible());
    availableFundText_->setText(page_->availableFundText());
    setIfChanged(amountText_, page_->amountText());
    setIfChanged(fundPasswordText_, page_->fundPasswordText());
    showTable(fundInfoTable_, page_->fundInfoTable(), shownTable_);
}

QueryBalancePageView::QueryBalancePageView(QueryBalanceViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(&controller)
    , grid_(new QGridLayout)
    , moneyTypePButton_(named(new QComboBox(this), "moneyTypePButton"))
    , fundIdInfoPButton_(named(new QComboBox(this), "fundIdInfoPButton"))
    , fundPasswordLabel_(named(new QLabel(QStringLiteral("资金密码:"), this), "fundPasswordLabel"))
    , fundPasswordText_(passwordField(this, "fundPasswordText"))
    , bankPasswordLabel_(named(new QLabel(QStringLiteral("银行密码:"), this), "bankPasswordLabel"))
    , bankPasswordText_(passwordField(this, "bankPasswordText"))
    , bankBalanceLabel_(named(new QLabel(QStringLiteral("银行余额:"), this), "bankBalanceLabel"))
    , bankBalanceText_(named(new QLabel(this), "bankBalanceText"))
    , resetButton_(named(new QPushButton(QStringLiteral("重置"), this), "resetButton"))
    , transferButton_(named(new QPushButton(QStringLiteral("查询"), this), "transferButton"))
    , transferProgress_(named(new QProgressBar(this), "transferProgress"))
{
    setObjectName(QString::fromLatin1(QueryBalanceViewController::kPageClass));
    controller.setDialogParent(this);
    moneyTypePButton_->setMinimumWidth(280);
    fundIdInfoPButton_->setMinimumWidth(280);
    // Where the bank needs no password each choice asks the balance at once.
    chooseInOpenList(moneyTypePButton_);
    chooseInOpenList(fundIdInfoPButton_);
    addRow(grid_, 0, QStringLiteral("币种:"), moneyTypePButton_);
    addRow(grid_, 1, QStringLiteral("资金账号:"), fundIdInfoPButton_);
    firstRow_ = 2;
    grid_->addLayout(buttonRow(resetButton_, transferButton_, transferProgress_), firstRow_ + 3, 1);
    grid_->setColumnStretch(2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid_);
    layout->addStretch(1);

    forward(moneyTypePButton_, &QComboBox::activated, this, page_, &QueryBalanceViewController::moneyTypeSelected);
    forward(fundIdInfoPButton_, &QComboBox::activated, this, page_, &QueryBalanceViewController::bankCardSelected);
    forward(fundPasswordText_, &QLineEdit::textEdited, this, page_, &QueryBalanceViewController::setFundPasswordText);
    forward(bankPasswordText_, &QLineEdit::textEdited, this, page_, &QueryBalanceViewController::setBankPasswordText);
    // controlEditEnd: fund password, bank password, over the visible ones.
    transferui::returnMovesBetween(fundPasswordText_, bankPasswordText_);
    forward(resetButton_, &QPushButton::clicked, this, page_, &QueryBalanceViewController::resetButtonClicked);
    forward(transferButton_, &QPushButton::clicked, this, page_, &QueryBalanceViewController::transferButtonClicked);
    connect(&controller, &MenuItemViewController::changed, this, [this] { refresh(); });
    refresh();
}

void QueryBalancePageView::refresh()
{
    if (!page_)
        return;
    fillPopUp(moneyTypePButton_, page_->moneyNames(), int(page_->selectedMoneyIndex()));
    fillPopUp(fundIdInfoPButton_, page_->fundAccountItems(), int(page_->selectedAccountIndex()));
    const bool enabled = page_->controlsEnabled();
    moneyTypePButton_->setEnabled(enabled);
    fundIdInfoPButton_->setEnabled(enabled && page_->hasAccount());
    fundPasswordText_->setEnabled(enabled);
    bankPasswordText_->setEnabled(enabled);
    resetButton_->setEnabled(enabled);
    transferButton_->setEnabled(enabled && !page_->isQueryBusy());
    transferProgress_->setVisible(page_->isProgressVisible());

    // Every layout starts from the rows' own places.
    const FundTransferPasswordLayout& layout = page_->passwordLayout();
    grid_->addWidget(fundPasswordLabel_, firstRow_, 0, Qt::AlignRight);
    grid_->addWidget(fundPasswordText_, firstRow_, 1);
    const int bankRow = layout.bankVisible && !layout.fundVisible ? firstRow_ : firstRow_ + 1;
    grid_->addWidget(bankPasswordLabel_, bankRow, 0, Qt::AlignRight);
    grid_->addWidget(bankPasswordText_, bankRow, 1);
    grid_->addWidget(bankBalanceLabel_, firstRow_ + page_->balanceRow(), 0, Qt::AlignRight);
    grid_->addWidget(bankBalanceText_, firstRow_ + page_->balanceRow(), 1);
    fundPasswordLabel_->setVisible(layout.fundVisible);
    fundPasswordText_->setVisible(layout.fundVisible);
    bankPasswordLabel_->setVisible(layout.bankVisible);
    bankPasswordText_->setVisible(layout.bankVisible);
    transferButton_->setVisible(page_->queryButtonVisible());
    setIfChanged(fundPasswordText_, page_->fundPasswordText());
    setIfChanged(bankPasswordText_, page_->bankPasswordText());
    bankBalanceText_->setText(page_->bankBalanceText());
}

FundCollectionPageView::FundCollectionPageView(FundCollectionViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(&controller)
    , moneyTypePButton_(named(new QComboBox(this), "moneyTypePButton"))
    , mainFundIdText_(named(new QLabel(this), "mainFundIdText"))
    , unavailableText_(named(new QLabel(this), "unavailableText"))
    , resetButton_(named(new QPushButton(QStringLiteral("重置"), this), "resetButton"))
    , transferButton_(named(new QPushButton(QStringLiteral("归集"), this), "transferButton"))
    , transferProgress_(named(new QProgressBar(this), "transferProgress"))
    , fundInfoTable_(named(new DVCommonTableView(this), "fundInfoTable"))
{
    setObjectName(QString::fromLatin1(FundCollectionViewController::kPageClass));
    controller.setDialogParent(this);
    moneyTypePButton_->setMinimumWidth(280);
    auto* grid = new QGridLayout;
    addRow(grid, 0, QStringLiteral("币种:"), moneyTypePButton_);
    addRow(grid, 1, QStringLiteral("主资金账号:"), mainFundIdText_);
    grid->addWidget(unavailableText_, 2, 1);
    grid->addLayout(buttonRow(resetButton_, transferButton_, transferProgress_), 3, 1);
    grid->setColumnStretch(2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(new QLabel(QStringLiteral("资金账号"), this));
    layout->addWidget(fundInfoTable_, 1);

    forward(moneyTypePButton_, &QComboBox::activated, this, page_, &FundCollectionViewController::moneyTypeSelected);
    forward(resetButton_, &QPushButton::clicked, this, page_, &FundCollectionViewController::resetButtonClicked);
    forward(transferButton_, &QPushButton::clicked, this, page_, &FundCollectionViewController::transferButtonClicked);
    connect(&controller, &MenuItemViewController::changed, this, [this] { refresh(); });
    refresh();
}

void FundCollectionPageView::refresh()
{
    if (!page_)
        return;
    fillPopUp(moneyTypePButton_, page_->moneyNames(), int(page_->selectedMoneyIndex()));
    const bool enabled = page_->controlsEnabled() && !page_->isBusy();
    for (QWidget* w : std::initializer_list<QWidget*> { moneyTypePButton_, resetButton_, transferButton_ })
        w->setEnabled(enabled);
    transferProgress_->setVisible(page_->isProgressVisible());
    mainFundIdText_->setText(page_->mainFundIdText());
    unavailableText_->setText(page_->unavailableText());
    unavailableText_->setVisible(!page_->unavailableText().isEmpty());
    showTable(fundInfoTable_, page_->fundInfoTable(), shownTable_);
}

namespace {

template <class Controller, class View> void registerView()
{
    MenuItemViewCatalogue::shared().registerView(QString::fromLatin1(Controller::kPageClass),
        [](MenuItemViewController& controller, QWidget* parent) -> MenuItemView* {
            auto* page = qobject_cast<Controller*>(&controller);
            return page ? new View(*page, parent) : nullptr;
        });
}

} // namespace

void registerAccountTransferViews()
{
    registerView<InsideTransferViewController, InsideTransferPageView>();
    registerView<QueryBalanceViewController, QueryBalancePageView>();
    registerView<FundCollectionViewController, FundCollectionPageView>();
}
