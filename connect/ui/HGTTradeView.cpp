#include "connect/ui/HGTTradeView.h"

#include "compliance/ui/PermissionSettingsPage.h"
#include "connect/pages/HGTCancelOrderViewController.h"
#include "connect/ui/HGTPageViews.h"
#include "core/ui/PopUp.h"
#include "shell/ui/EditingEnd.h"
#include "shell/ui/StockCodeField.h"
#include "shell/ui/tables/DVCommonTableView.h"
#include "trading/quotepanel/QuoteInfoView.h"
#include "trading/ui/FormControls.h"
#include "trading/ui/QueryPageViews.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

HGTTradeView::HGTTradeView(HGTTradeViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(controller)
    , accounts_(new QComboBox(this))
    , orderTypes_(new QComboBox(this))
    , code_(new QLineEdit(this))
    , name_(new QLabel(this))
    , price_(new QLineEdit(this))
    , up_(new QPushButton(QStringLiteral("▲"), this))
    , down_(new QPushButton(QStringLiteral("▼"), this))
    , quantity_(new QLineEdit(this))
    , max_(new QLabel(this))
    , step_(new QLabel(this))
    , lot_(new QLabel(this))
    , order_(new QPushButton(this))
    , positions_(new DVCommonTableView(this))
{
    code_->setObjectName(QStringLiteral("stockCodeText"));
    useStockCodeFormatter(code_, 5);
    price_->setObjectName(QStringLiteral("priceText"));
    quantity_->setObjectName(QStringLiteral("amountText"));
    order_->setObjectName(QStringLiteral("orderButton"));
    order_->setText(controller.isSale() ? QStringLiteral("卖出") : QStringLiteral("买入"));
    accounts_->setObjectName(QStringLiteral("securityIdPButton"));
    orderTypes_->setObjectName(QStringLiteral("orderTypePButton"));
    usePriceAndQuantityFormatters(price_, quantity_);
    // A click on a button or a pop-up leaves the field being edited with its
    // editing; Tab still reaches them, Enter then presses the button focused
    // and the arrow keys or Space open the pop-up's list. An order type
    // chosen asks the server at once, so it is chosen in the open list only.
    chooseInOpenList(orderTypes_);
    for (QWidget* control : std::initializer_list<QWidget*> { accounts_, orderTypes_, up_, down_, order_ })
        control->setFocusPolicy(Qt::TabFocus);
    for (QPushButton* button : { up_, down_, order_ })
        button->setAutoDefault(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("股东代码:"), accounts_);
    auto* codeRow = new QHBoxLayout;
    codeRow->addWidget(code_);
    codeRow->addWidget(name_);
    form->addRow(QStringLiteral("证券代码:"), codeRow);
    if (controller.kind() != HGTTradeViewController::Kind::OddLotSell)
        form->addRow(QStringLiteral("委托方式:"), orderTypes_);
    else
        orderTypes_->hide();
    auto* priceRow = new QHBoxLayout;
    priceRow->addWidget(price_);
    up_->setFixedWidth(32);
    down_->setFixedWidth(32);
    priceRow->addWidget(up_);
    priceRow->addWidget(down_);
    form->addRow(QStringLiteral("委托价格:"), priceRow);
    form->addRow(QStringLiteral("价格步长:"), step_);
    form->addRow(controller.isSale() ? QStringLiteral("最大可卖:") : QStringLiteral("最大可买:"), max_);
    form->addRow(QStringLiteral("每手股数:"), lot_);
    form->addRow(QStringLiteral("委托数量:"), quantity_);
    form->addRow(QString(), order_);

    layOutOrderPage(this, form, controller, positions_);

    connect(code_, &QLineEdit::textEdited, this, [this](const QString& text) { page_.setCodeText(text); });
    // Every end of editing of the code and the price does the field's work.
    // A click into another field ends the editing as Return or Tab do, but
    // the field clicked keeps the focus, so what is typed next lands there.
    onEveryEditingEnd(code_, [this](bool toNext) { page_.codeEditEnd(toNext); });
    connect(price_, &QLineEdit::textEdited, this, [this](const QString& text) { page_.setPriceText(text); });
    onEveryEditingEnd(price_, [this](bool toNext) { page_.priceEditEnd(toNext); });
    connect(quantity_, &QLineEdit::textEdited, this,
        [this](const QString& text) { page_.setQuantityText(text); });
    // Return in the quantity goes back to the code; Tab goes on to the order
    // button, which alone places the order.
    connect(quantity_, &QLineEdit::returnPressed, this, [this] { page_.quantityEditEnd(); });
    connect(up_, &QPushButton::clicked, this, [this] { page_.priceStepperClick(true); });
    connect(down_, &QPushButton::clicked, this, [this] { page_.priceStepperClick(false); });
    connect(accounts_, &QComboBox::activated, this, [this](int index) { page_.selectAccount(index); });
    connect(orderTypes_, &QComboBox::activated, this, [this](int index) { page_.orderTypeChanged(index); });
    connect(order_, &QPushButton::clicked, this, [this] { page_.orderButtonClick(); });
    connect(positions_, &DVCommonTableView::clicked, this, [this](const QModelIndex& index) {
        page_.positionTableClick(positions_->tableModel()->sourceRow(index.row()));
    });
    page_.setDialogParent(this);
    connect(&controller, &MenuItemViewController::changed, this, [this] { refresh(); });
    refresh();
}

void layOutOrderPage(QWidget* page, QLayout* form, HGTTradeViewController& controller, QWidget* positions)
{
    auto* top = new QHBoxLayout;
    auto* left = new QWidget(page);
    left->setLayout(form);
    left->setFixedWidth(300);
    top->addWidget(left);
    if (QuoteInfoViewController* panel = controller.quotePanel()) {
        auto* quote = new QuoteInfoView(*panel, page);
        quote->setFrameSize(QSize(360, 460));
        quote->setMinimumSize(360, 460);
        top->addWidget(quote);
    }
    auto* all = new QVBoxLayout(page);
    all->addLayout(top);
    all->addWidget(positions, 1);
}

void HGTTradeView::refresh()
{
    const QSignalBlocker a(accounts_);
    const QSignalBlocker b(orderTypes_);
    if (accounts_->count() != page_.accountTitles().size()) {
        accounts_->clear();
        accounts_->addItems(page_.accountTitles());
    }
    accounts_->setCurrentIndex(page_.selectedAccount());
    if (orderTypes_->count() != page_.orderTypeTitles().size()) {
        orderTypes_->clear();
        orderTypes_->addItems(page_.orderTypeTitles());
    }
    orderTypes_->setCurrentIndex(page_.selectedOrderType());
    if (code_->text() != page_.codeText())
        code_->setText(page_.codeText());
    name_->setText(page_.nameText());
    name_->setVisible(!page_.nameHidden());
    if (price_->text() != page_.priceText())
        price_->setText(page_.priceText());
    if (quantity_->text() != page_.quantityText())
        quantity_->setText(page_.quantityText());
    max_->setText(page_.maxQuantityText());
    step_->setText(page_.priceStepText());
    lot_->setText(page_.lotText());
    order_->setEnabled(!page_.isBusy());
    if (page_.positions() != shownPositions_) { // none: the account changed
        shownPositions_ = page_.positions();
        positions_->reinitTableViewWithObject(shownPositions_);
    }
    if (page_.focusMoves() != shownFocusMoves_) {
        shownFocusMoves_ = page_.focusMoves();
        focusField(page_.focusedField());
    }
}

void HGTTradeView::focusField(int field)
{
    QLineEdit* fields[] = { code_, price_, quantity_ };
    if (field >= 0 && field < 3 && isVisible())
        fields[field]->setFocus();
}

namespace {

// The widget of a page class: the view made for the controller when it is
// of the page type the view shows.
template <class Page, class View> void registerView(const char* className)
{
    MenuItemViewCatalogue::shared().registerView(QString::fromLatin1(className),
        [](MenuItemViewController& controller, QWidget* parent) -> MenuItemView* {
            auto* page = qobject_cast<Page*>(&controller);
            return page ? new View(*page, parent) : nullptr;
        });
}

} // namespace

void installConnectViews()
{
    for (const char* name :
        { "HGTTradeViewController", "HGTZSSellViewController", "HGTLGSellViewController" })
        registerView<HGTTradeViewController, HGTTradeView>(name);
    // The Stock Connect cancel and permission pages are the ordinary ones
    // with another source.
    registerView<DeputeCancelViewController, DeputeCancelView>(HGTCancelOrderViewController::kPageClass);
    registerView<PermissionSettingsViewController, PermissionSettingsPage>(
        HGTPermissionSettingsViewController::kPageClass);
    registerView<HGTVoteViewController, HGTDeclareView>(HGTVoteViewController::kPageClass);
    registerView<HGTOtherVoteViewController, HGTDeclareView>(HGTOtherVoteViewController::kPageClass);
    registerView<HGTCancelVoteViewController, HGTCancelVoteView>(HGTCancelVoteViewController::kPageClass);
    registerView<HGTQueryNotificationViewController, HGTQueryNotificationView>(
        HGTQueryNotificationViewController::kPageClass);
    registerView<HGTQueryStockTargetViewController, HGTQueryStockTargetView>(
        HGTQueryStockTargetViewController::kPageClass);
    installCancelConfirmWindow();
}
