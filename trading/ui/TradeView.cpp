#include "trading/ui/TradeView.h"

#include "core/ui/PopUp.h"
#include "shell/tables/DVTableModel.h"
#include "shell/ui/Buttons.h"
#include "shell/ui/EditingEnd.h"
#include "shell/ui/StockCodeField.h"
#include "shell/ui/tables/DVCommonTableView.h"
#include "trading/pages/TradeViewController.h"
#include "trading/quotepanel/QuoteInfoView.h"
#include "trading/quotepanel/QuotePanelGeometry.h"
#include "trading/ui/FormControls.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

TradeView::TradeView(TradeViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(controller)
    , stockCodeText_(new QLineEdit(this))
    , stockNameText_(new QLabel(this))
    , shareholderCodePButton_(new QComboBox(this))
    , orderTypePButton_(new QComboBox(this))
    , priceLabel_(new QLabel(this))
    , priceText_(new QLineEdit(this))
    , marketPriceLabel_(new QLabel(QStringLiteral("市价委托"), this))
    , addButton_(new QToolButton(this))
    , subButton_(new QToolButton(this))
    , priceStepper_(makePriceStepper(this,
          [this](int direction) {
              page_.pricesStepperClicked(page_.stepperValue() + direction * page_.stepperIncrement());
          }))
    , maxAmountLabel_(new QLabel(this))
    , maxAmountText_(new QLabel(this))
    , amountLabel_(new QLabel(this))
    , amountText_(new QLineEdit(this))
    , availableMoneyLabel_(new QLabel(QStringLiteral("可用资金:"), this))
    , availableMoneyText_(new QLabel(this))
    , orderButton_(new QPushButton(this))
    , quoteView_(new QuoteInfoView(*controller.quotePanel(), this))
    , positionTableView_(new DVCommonTableView(this))
{
    stockCodeText_->setObjectName(QStringLiteral("stockCodeText"));
    stockNameText_->setObjectName(QStringLiteral("stockNameText"));
    shareholderCodePButton_->setObjectName(QStringLiteral("shareholderCodePButton"));
    orderTypePButton_->setObjectName(QStringLiteral("orderTypePButton"));
    // Each choice asks the server again (the maximum, the money).
    chooseInOpenList(shareholderCodePButton_);
    chooseInOpenList(orderTypePButton_);
    priceText_->setObjectName(QStringLiteral("priceText"));
    marketPriceLabel_->setObjectName(QStringLiteral("marketPriceLabel"));
    addButton_->setObjectName(QStringLiteral("addButton"));
    subButton_->setObjectName(QStringLiteral("subButton"));
    maxAmountText_->setObjectName(QStringLiteral("maxAmountText"));
    amountText_->setObjectName(QStringLiteral("amountText"));
    availableMoneyText_->setObjectName(QStringLiteral("availableMoneyText"));
    orderButton_->setObjectName(QStringLiteral("orderButton"));
    quoteView_->setObjectName(QStringLiteral("quoteView"));
    positionTableView_->setObjectName(QStringLiteral("positionTableView"));
    addButton_->setText(QStringLiteral("+"));
    subButton_->setText(QStringLiteral("-"));
    addButton_->setFocusPolicy(Qt::NoFocus);
    subButton_->setFocusPolicy(Qt::NoFocus);
    shareholderCodePButton_->setFocusPolicy(Qt::ClickFocus);
    orderTypePButton_->setFocusPolicy(Qt::ClickFocus);
    useStockCodeFormatter(stockCodeText_);
    usePriceAndQuantityFormatters(priceText_, amountText_);
    // Enter on the focused order button presses it, as Space does.
    orderButton_->setAutoDefault(true);

    auto* form = form_ = new QFormLayout;
    form->addRow(QStringLiteral("证券代码:"), stockCodeText_);
    form->addRow(QStringLiteral("证券名称:"), stockNameText_);
    form->addRow(QStringLiteral("股东代码:"), shareholderCodePButton_);
    form->addRow(QStringLiteral("委托方式:"), orderTypePButton_);
    auto* priceRow = new QHBoxLayout;
    priceRow->addWidget(priceText_);
    priceRow->addWidget(marketPriceLabel_);
    priceRow->addWidget(priceStepper_);
    priceRow->addWidget(subButton_);
    priceRow->addWidget(addButton_);
    form->addRow(priceLabel_, priceRow);
    form->addRow(availableMoneyLabel_, availableMoneyText_);
    form->addRow(maxAmountLabel_, maxAmountText_);
    form->addRow(amountLabel_, amountText_);
    form->addRow(QString(), orderButton_);
    auto* formBox = new QWidget(this);
    formBox->setLayout(form);
    formBox->setFixedWidth(300);
    // The panel draws the chart and the five-level book side by side at a
    // fixed width: it takes the page's whole width under the form and the
    // positions, so that neither is cut off in a window of a laptop's size.
    useOneFont({ formBox }, font());
    quoteView_->setMinimumSize(int(quotepanel::kPanelWidth), kQuotePanelMinimumHeight);
    quoteView_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* top = new QHBoxLayout;
    top->addWidget(formBox, 0, Qt::AlignTop);
    top->addWidget(positionTableView_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(quoteView_, 1);
    setTabOrder(stockCodeText_, priceText_);
    setTabOrder(priceText_, amountText_);
    setTabOrder(amountText_, orderButton_);

    connect(stockCodeText_, &QLineEdit::textEdited, this, [this](const QString& t) { page_.setCodeText(t); });
    // End of editing is Return, Tab or a click elsewhere: a short code is
    // padded and looked up. The price is next only after Return or Tab; a
    // click keeps the field clicked, so what is typed next lands there.
    onEditingEnd(stockCodeText_, [this](bool toNext) {
        page_.stockCodeEditEnd();
        if (toNext)
            focusAfterCode();
    });
    connect(shareholderCodePButton_, &QComboBox::currentIndexChanged, this,
        [this](int i) { page_.shareholderCodePButtonSelectedChanged(i); });
    connect(orderTypePButton_, &QComboBox::currentIndexChanged, this,
        [this](int i) { page_.orderTypePButtonSelected(i); });
    connect(priceText_, &QLineEdit::textEdited, this, [this](const QString& t) { page_.setPriceText(t); });
    // End of editing is Return, Tab or a click elsewhere: each asks the
    // maximum quantity again for the price left in the field.
    connect(priceText_, &QLineEdit::editingFinished, this, [this] { page_.priceEditEnd(); });
    connect(priceText_, &QLineEdit::returnPressed, this, [this] { amountText_->setFocus(); });
    connect(addButton_, &QToolButton::clicked, this, [this] { page_.addButtonClick(); });
    connect(subButton_, &QToolButton::clicked, this, [this] { page_.subButtonClick(); });
    connect(
        amountText_, &QLineEdit::textEdited, this, [this](const QString& t) { page_.setQuantityText(t); });
    // Return in the quantity goes back to the code for the next order; the
    // order goes by the order button alone (a click, or Tab to it and Enter
    // or Space).
    connect(amountText_, &QLineEdit::returnPressed, this, [this] { stockCodeText_->setFocus(); });
    connect(orderButton_, &QPushButton::clicked, this, [this] { page_.orderButtonClicked(); });
    connect(positionTableView_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        page_.positionTableViewClicked(positionTableView_->tableModel()->sourceRow(index.row()));
    });
    // The cross-hair shows the minute of the form's security, not of
    // whatever the panel showed last.
    quoteView_->setUpdateDelegate(&page_);
    page_.setDialogParent(this);
    refresh();
}

void TradeView::refresh()
{
    setIfChanged(stockCodeText_, page_.codeText());
    stockNameText_->setText(page_.nameText());
    fillPopUp(shareholderCodePButton_, page_.accountTitles(), page_.selectedAccount());
    fillPopUp(orderTypePButton_, page_.orderTypeTitles(), page_.selectedOrderType());
    form_->setRowVisible(orderTypePButton_, !page_.orderTypeRowHidden());
    if (auto* label = qobject_cast<QLabel*>(form_->labelForField(stockCodeText_)))
        label->setText(page_.stockCodeLabel() + QStringLiteral(":"));
    priceLabel_->setText(page_.priceLabel());
    setIfChanged(priceText_, page_.priceText());
    priceText_->setVisible(!page_.priceHidden());
    priceStepper_->setVisible(!page_.priceHidden());
    marketPriceLabel_->setVisible(page_.priceHidden());
    maxAmountLabel_->setText(page_.maxAmountLabel());
    maxAmountText_->setText(page_.maxAmountText());
    amountLabel_->setText(page_.amountLabel());
    setIfChanged(amountText_, page_.quantityText());
    availableMoneyLabel_->setVisible(!page_.moneyRowHidden());
    availableMoneyText_->setVisible(!page_.moneyRowHidden());
    availableMoneyText_->setText(page_.availableMoneyText());
    orderButton_->setText(page_.orderButtonTitle());
    orderButton_->setEnabled(!page_.isBusy());
    // A table once shown may be emptied (the page forgot it), never built
    // from nothing: its columns come from the first table.
    if (page_.positions() != shownPositions_ && (page_.positions() || shownPositions_)) {
        shownPositions_ = page_.positions();
        positionTableView_->initTableViewWithObject(shownPositions_);
    }
    positionTableView_->selectSourceRow(page_.selectedPositionRow());
    quoteView_->update();
}

void TradeView::focusAfterCode()
{
    if (page_.priceHidden())
        amountText_->setFocus();
    else
        priceText_->setFocus();
}

void registerTradeViews()
{
    // The after-hours and warrant exercise pages are the same form with
    // their own rows and labels.
    for (const char* name :
        { "TradeViewController", "AfTradeViewController", "WarrantExerciseViewController" })
        MenuItemViewCatalogue::shared().registerView(
            QString::fromLatin1(name), [](MenuItemViewController& c, QWidget* parent) -> MenuItemView* {
                auto* page = qobject_cast<TradeViewController*>(&c);
                return page ? new TradeView(*page, parent) : nullptr;
            });
}
