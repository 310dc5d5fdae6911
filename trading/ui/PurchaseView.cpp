#include "trading/ui/PurchaseView.h"

#include "core/ui/PopUp.h"
#include "shell/ui/tables/DVCommonTableView.h"
#include "trading/pages/PurchaseViewController.h"
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

namespace {

template <class W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

PurchaseView::PurchaseView(PurchaseViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(controller)
    , warningLabel_(named(new QLabel(QStringLiteral("新股列表查询失败，请稍后再试。"), this), "warningLabel"))
    , stockInfoTable_(named(new DVCommonTableView(this), "stockInfoTable"))
    , securityIdPButton_(named(new QComboBox(this), "securityIdPButton"))
    , availableMoneyText_(named(new QLabel(this), "availableMoneyText"))
    , stockInfoButton_(named(new QComboBox(this), "stockInfoButton"))
    , stockPriceText_(named(new QLineEdit(this), "stockPriceText"))
    , priceStepper_(makePriceStepper(this,
          [this](int direction) {
              page_.priceStepperClicked(
                  page_.stepperValue() + direction * PurchaseViewController::kStepperIncrement);
          }))
    , subButton_(named(new QToolButton(this), "subButton"))
    , addButton_(named(new QToolButton(this), "addButton"))
    , limitDownText_(named(new QLabel(this), "limitDownText"))
    , limitUpText_(named(new QLabel(this), "limitUpText"))
    , maxCanPurchaseText_(named(new QLabel(this), "maxCanPurchaseText"))
    , purchaseQuantityText_(named(new QLineEdit(this), "purchaseQuantityText"))
    , purchaseButton_(named(new QPushButton(QStringLiteral("申购"), this), "purchaseButton"))
{
    subButton_->setText(QStringLiteral("-"));
    addButton_->setText(QStringLiteral("+"));
    subButton_->setFocusPolicy(Qt::NoFocus);
    addButton_->setFocusPolicy(Qt::NoFocus);
    stockPriceText_->setMaxLength(10);
    purchaseQuantityText_->setMaxLength(12);
    usePriceAndQuantityFormatters(stockPriceText_, purchaseQuantityText_);
    const PageTable::Show show = [this](std::shared_ptr<const DTTable> t, bool rebuild) {
        if (rebuild)
            stockInfoTable_->reinitTableViewWithObject(t);
        else
            stockInfoTable_->initTableViewWithObject(t);
    };
    page_.stockInfoTableView().attach(stockInfoTable_->tableModel(), show);

    // Each choice asks the maximum again.
    chooseInOpenList(securityIdPButton_);
    chooseInOpenList(stockInfoButton_);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("股东代码:"), securityIdPButton_);
    form->addRow(QStringLiteral("可用资金:"), availableMoneyText_);
    form->addRow(QStringLiteral("新股代码:"), stockInfoButton_);
    auto* priceRow = new QHBoxLayout;
    priceRow->addWidget(stockPriceText_);
    priceRow->addWidget(priceStepper_);
    priceRow->addWidget(subButton_);
    priceRow->addWidget(addButton_);
    form->addRow(QStringLiteral("申购价格:"), priceRow);
    form->addRow(QStringLiteral("申购下限:"), limitDownText_);
    form->addRow(QStringLiteral("申购上限:"), limitUpText_);
    form->addRow(QStringLiteral("最大可申购:"), maxCanPurchaseText_);
    form->addRow(QStringLiteral("申购数量:"), purchaseQuantityText_);
    form->addRow(QString(), purchaseButton_);
    auto* formBox = new QWidget(this);
    formBox->setLayout(form);
    formBox->setFixedWidth(300);
    useOneFont({ formBox, warningLabel_ }, font());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(warningLabel_);
    layout->addWidget(stockInfoTable_, 1);
    layout->addWidget(formBox, 0, Qt::AlignLeft);
    setTabOrder(stockPriceText_, purchaseQuantityText_);
    setTabOrder(purchaseQuantityText_, purchaseButton_);

    connect(securityIdPButton_, &QComboBox::currentIndexChanged, this,
        [this](int i) { page_.securityIdChanged(i); });
    connect(stockInfoButton_, &QComboBox::currentIndexChanged, this,
        [this](int i) { page_.stockSelectionChanged(i); });
    connect(stockInfoTable_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        // The issue of the reply's row, however the table is sorted.
        page_.stockInfoTableClicked(stockInfoTable_->tableModel()->sourceRow(index.row()));
    });
    connect(
        stockPriceText_, &QLineEdit::textEdited, this, [this](const QString& t) { page_.setPriceText(t); });
    connect(subButton_, &QToolButton::clicked, this, [this] { page_.subButtonClicked(); });
    connect(addButton_, &QToolButton::clicked, this, [this] { page_.addButtonClicked(); });
    connect(purchaseQuantityText_, &QLineEdit::textEdited, this,
        [this](const QString& t) { page_.setQuantityText(t); });
    connect(
        purchaseQuantityText_, &QLineEdit::returnPressed, this, [this] { page_.purchaseButtonClicked(); });
    connect(purchaseButton_, &QPushButton::clicked, this, [this] { page_.purchaseButtonClicked(); });
    page_.setDialogParent(this);
    refresh();
}

void PurchaseView::refresh()
{
    warningLabel_->setVisible(page_.warningShown());
    fillPopUp(securityIdPButton_, page_.accountTitles(), page_.selectedAccount());
    availableMoneyText_->setText(page_.availableMoneyText());
    fillPopUp(stockInfoButton_, page_.stockTitles(), page_.selectedStock());
    setIfChanged(stockPriceText_, page_.stockPriceText());
    limitDownText_->setText(page_.limitDownText());
    limitUpText_->setText(page_.limitUpText());
    maxCanPurchaseText_->setText(page_.maxCanPurchaseText());
    setIfChanged(purchaseQuantityText_, page_.purchaseQuantityText());
    purchaseButton_->setEnabled(!page_.isBusy());
    // The pop-up's choice moves a selected table row with it.
    if (const int row = page_.selectedTableRow(); row >= 0) {
        stockInfoTable_->selectSourceRow(row);
        if (stockInfoTable_->currentIndex().isValid())
            stockInfoTable_->scrollTo(stockInfoTable_->currentIndex());
    }
}

void registerPurchaseView()
{
    MenuItemViewCatalogue::shared().registerView(QString::fromLatin1(PurchaseViewController::kPageClass),
        [](MenuItemViewController& c, QWidget* parent) -> MenuItemView* {
            auto* page = qobject_cast<PurchaseViewController*>(&c);
            return page ? new PurchaseView(*page, parent) : nullptr;
        });
}
