#include "transfer/ui/TransferViews.h"

#include "core/ui/PopUp.h"
#include "shell/ui/StockCodeField.h"
#include "shell/ui/Window.h"
#include "shell/ui/tables/DVCommonTableView.h"
#include "transfer/ui/AccountTransferViews.h"
#include "trading/ui/FormControls.h"
#include "transfer/ui/TransferWidgets.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

using transferui::forward;
using transferui::named;
using transferui::passwordField;

namespace {

class PromptView : public FundBalPwdAlertView {
public:
    PromptView(FundBalPwdAlertWC& controller, QObject* parent)
        : window_(new FundBalPwdAlertWindow(controller, qobject_cast<QWidget*>(parent)))
    {
    }
    ~PromptView() override { delete window_.data(); }
    void showModal() override
    {
        if (!window_)
            return;
        window_->refresh();
        window_->setWindowModality(Qt::ApplicationModal);
        // Asked for under the screen lock: cancelled, never shown over it.
        if (!ui::mayShow(window_))
            return;
        window_->show();
        ui::centreOver(window_, window_->parentWidget() ? window_->parentWidget()->window() : nullptr);
        window_->raise();
        window_->activateWindow();
    }
    void closeWindow() override
    {
        if (window_)
            window_->hide();
    }

private:
    QPointer<FundBalPwdAlertWindow> window_;
};

} // namespace

FundTransferPageView::FundTransferPageView(FundTransferBaseViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(&controller)
    , bankToStock_(qobject_cast<BankToStockViewController*>(&controller))
    , stockToBank_(qobject_cast<StockToBankViewController*>(&controller))
    , grid_(new QGridLayout)
    , moneyTypePButton_(named(new QComboBox(this), "moneyTypePButton"))
    , fundIdInfoPButton_(named(new QComboBox(this), "fundIdInfoPButton"))
    , amountText_(named(new QLineEdit(this), "amountText"))
    , fundPasswordLabel_(named(new QLabel(QStringLiteral("资金密码:"), this), "fundPasswordLabel"))
    , fundPasswordText_(passwordField(this, "fundPasswordText"))
    , bankPasswordLabel_(named(new QLabel(QStringLiteral("银行密码:"), this), "bankPasswordLabel"))
    , bankPasswordText_(passwordField(this, "bankPasswordText"))
    , resetButton_(named(new QPushButton(QStringLiteral("重置"), this), "resetButton"))
    , transferButton_(named(new QPushButton(QStringLiteral("转账"), this), "transferButton"))
    , transferProgress_(named(new QProgressBar(this), "transferProgress"))
    , transferInfoTable_(named(new DVCommonTableView(this), "transferInfoTable"))
{
    setObjectName(QString::fromLatin1(
        bankToStock_ ? BankToStockViewController::kPageClass : StockToBankViewController::kPageClass));
    controller.setDialogParent(this);
    amountText_->setMaxLength(32);
    useTypedValueFormatter(amountText_);
    moneyTypePButton_->setMinimumWidth(280);
    fundIdInfoPButton_->setMinimumWidth(280);
    // Each choice asks the bank balance, the history or the money available again.
    chooseInOpenList(moneyTypePButton_);
    chooseInOpenList(fundIdInfoPButton_);
    transferProgress_->setRange(0, 0);
    int row = 0;
    auto addRow = [&](const QString& title, QWidget* field, QWidget* extra = nullptr) {
        grid_->addWidget(new QLabel(title, this), row, 0, Qt::AlignRight);
        grid_->addWidget(field, row, 1);
        if (extra)
            grid_->addWidget(extra, row, 2);
        ++row;
    };
    addRow(QStringLiteral("币种:"), moneyTypePButton_);
    addRow(QStringLiteral("资金账号:"), fundIdInfoPButton_);
    if (bankToStock_) {
        balanceText_ = named(new QLabel(this), "bankBalanceText");
        queryBalanceButton_ = named(new QPushButton(QStringLiteral("查询余额"), this), "queryBalanceButton");
        addRow(QStringLiteral("银行余额:"), balanceText_, queryBalanceButton_);
        connect(queryBalanceButton_, &QPushButton::clicked, this, [this] {
            if (page_)
                page_->queryButtonClicked();
        });
    } else if (stockToBank_) {
        balanceText_ = named(new QLabel(this), "availableFundText");
        addRow(QStringLiteral("可取资金:"), balanceText_);
    }
    addRow(QStringLiteral("转账金额:"), amountText_);
    firstPasswordRow_ = row;
    row += 2;
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(resetButton_);
    buttons->addWidget(transferButton_);
    buttons->addWidget(transferProgress_);
    buttons->addStretch(1);
    grid_->addLayout(buttons, row, 1, 1, 2);
    grid_->setColumnStretch(3, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid_);
    layout->addWidget(new QLabel(QStringLiteral("转账流水"), this));
    layout->addWidget(transferInfoTable_, 1);

    forward(moneyTypePButton_, &QComboBox::activated, this, page_, &FundTransferBaseViewController::moneyTypeSelected);
    forward(fundIdInfoPButton_, &QComboBox::activated, this, page_, &FundTransferBaseViewController::bankCardSelected);
    forward(amountText_, &QLineEdit::textEdited, this, page_, &FundTransferBaseViewController::setAmountText);
    forward(fundPasswordText_, &QLineEdit::textEdited, this, page_, &FundTransferBaseViewController::setFundPasswordText);
    forward(bankPasswordText_, &QLineEdit::textEdited, this, page_, &FundTransferBaseViewController::setBankPasswordText);
    for (QLineEdit* field : { amountText_, fundPasswordText_, bankPasswordText_ })
        connect(field, &QLineEdit::returnPressed, this, [this, field] { controlEditEnd(field); });
    forward(resetButton_, &QPushButton::clicked, this, page_, &FundTransferBaseViewController::resetButtonClicked);
    forward(transferButton_, &QPushButton::clicked, this, page_, &FundTransferBaseViewController::transferButtonClicked);
    connect(&controller, &MenuItemViewController::changed, this, [this] { refresh(); });
    refresh();
}

void FundTransferPageView::controlEditEnd(QLineEdit* field)
{
    const std::vector<QLineEdit*> order { amountText_, fundPasswordText_, bankPasswordText_ };
    std::vector<bool> visible;
    qsizetype current = -1;
    for (size_t i = 0; i < order.size(); ++i) {
        visible.push_back(!order[i]->isHidden());
        if (order[i] == field)
            current = qsizetype(i);
    }
    const qsizetype next = FundTransferBaseViewController::nextFocus(visible, current);
    if (next >= 0)
        order[size_t(next)]->setFocus();
}

void FundTransferPageView::refresh()
{
    if (!page_)
        return;
    fillPopUp(moneyTypePButton_, page_->moneyNames(), int(page_->selectedMoneyIndex()));
    fillPopUp(fundIdInfoPButton_, page_->fundAccountItems(), int(page_->selectedAccountIndex()));
    const bool enabled = page_->controlsEnabled();
    const bool account = page_->hasAccount();
    const bool idle = !page_->isTransferBusy();
    moneyTypePButton_->setEnabled(enabled && idle);
    fundIdInfoPButton_->setEnabled(enabled && idle && account);
    amountText_->setEnabled(enabled && account);
    fundPasswordText_->setEnabled(enabled && account);
    bankPasswordText_->setEnabled(account);
    transferButton_->setEnabled(enabled && account && idle);
    resetButton_->setEnabled(enabled);
    transferProgress_->setVisible(page_->isProgressVisible());

    const FundTransferPasswordLayout& layout = page_->passwordLayout();
    const int bankRow = layout.bankInFirstRow ? firstPasswordRow_ : firstPasswordRow_ + 1;
    grid_->addWidget(fundPasswordLabel_, firstPasswordRow_, 0, Qt::AlignRight);
    grid_->addWidget(fundPasswordText_, firstPasswordRow_, 1);
    if (layout.bankVisible) {
        grid_->addWidget(bankPasswordLabel_, bankRow, 0, Qt::AlignRight);
        grid_->addWidget(bankPasswordText_, bankRow, 1);
    }
    fundPasswordLabel_->setVisible(layout.fundVisible && account);
    fundPasswordText_->setVisible(layout.fundVisible && account);
    bankPasswordLabel_->setVisible(layout.bankVisible && account);
    bankPasswordText_->setVisible(layout.bankVisible && account);
    setIfChanged(amountText_, page_->amountText());
    setIfChanged(fundPasswordText_, page_->fundPasswordText());
    setIfChanged(bankPasswordText_, page_->bankPasswordText());

    if (bankToStock_) {
        balanceText_->setText(bankToStock_->bankBalanceText());
        queryBalanceButton_->setVisible(bankToStock_->queryBalanceButtonVisible() && account);
        queryBalanceButton_->setEnabled(!bankToStock_->isQueryBusy());
    } else if (stockToBank_) {
        balanceText_->setText(stockToBank_->availableFundText());
    }
    // No history (a new account's not read yet) empties the table.
    if (page_->transferInfoTable() != shownTable_) {
        shownTable_ = page_->transferInfoTable();
        transferInfoTable_->reinitTableViewWithObject(shownTable_);
    }
}

FundBalPwdAlertWindow::FundBalPwdAlertWindow(FundBalPwdAlertWC& controller, QWidget* parent)
    : QWidget(parent, Qt::Dialog)
    , controller_(controller)
    , fundPwdLabel_(named(new QLabel(QStringLiteral("资金密码:"), this), "fundPwdLabel"))
    , fundPwdText_(passwordField(this, "fundPwdText"))
    , bankPwdLabel_(named(new QLabel(QStringLiteral("银行密码:"), this), "bankPwdLabel"))
    , bankPwdText_(passwordField(this, "bankPwdText"))
{
    setObjectName(QStringLiteral("FundBalPwdAlertWC"));
    setWindowTitle(QStringLiteral("查询银行余额"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(fundPwdLabel_, 0, 0, Qt::AlignRight);
    grid->addWidget(fundPwdText_, 0, 1);
    grid->addWidget(bankPwdLabel_, 1, 0, Qt::AlignRight);
    grid->addWidget(bankPwdText_, 1, 1);
    auto* cancel = named(new QPushButton(QStringLiteral("取消"), this), "cancelButton");
    auto* confirm = named(new QPushButton(QStringLiteral("确定"), this), "confirmButton");
    confirm->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(confirm);
    grid->addLayout(buttons, 2, 0, 1, 2);
    connect(fundPwdText_, &QLineEdit::textEdited, this, [this](const QString& t) { controller_.setFundPwdText(t); });
    connect(bankPwdText_, &QLineEdit::textEdited, this, [this](const QString& t) { controller_.setBankPwdText(t); });
    // Return moves to the other visible field; with one field it stays.
    transferui::returnMovesBetween(fundPwdText_, bankPwdText_);
    connect(cancel, &QPushButton::clicked, this, [this] { controller_.cancelButtonClicked(); });
    connect(confirm, &QPushButton::clicked, this, [this] { controller_.confirmButtonClicked(); });
}

void FundBalPwdAlertWindow::refresh()
{
    fundPwdLabel_->setVisible(controller_.fundPwdVisible());
    fundPwdText_->setVisible(controller_.fundPwdVisible());
    bankPwdLabel_->setVisible(controller_.bankPwdVisible());
    bankPwdText_->setVisible(controller_.bankPwdVisible());
    fundPwdText_->clear();
    bankPwdText_->clear();
    (controller_.fundPwdVisible() ? fundPwdText_ : bankPwdText_)->setFocus();
}

void FundBalPwdAlertWindow::closeEvent(QCloseEvent* event)
{
    // Closed from the title bar: a cancel.
    fundPwdText_->clear();
    bankPwdText_->clear();
    controller_.windowWillClose();
    QWidget::closeEvent(event);
}

void registerTransferPageViews()
{
    for (const char* pageClass : { BankToStockViewController::kPageClass, StockToBankViewController::kPageClass }) {
        MenuItemViewCatalogue::shared().registerView(QString::fromLatin1(pageClass),
            [](MenuItemViewController& controller, QWidget* parent) -> MenuItemView* {
                auto* page = qobject_cast<FundTransferBaseViewController*>(&controller);
                return page ? new FundTransferPageView(*page, parent) : nullptr;
            });
    }
    registerAccountTransferViews();
    FundBalPwdAlertWC::setViewFactory([](FundBalPwdAlertWC& controller, QObject* parent) {
        return std::make_unique<PromptView>(controller, parent);
    });
}
