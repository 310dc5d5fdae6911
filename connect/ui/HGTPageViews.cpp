#include "connect/ui/HGTPageViews.h"

#include "connect/ui/HGTTradeView.h"
#include "shell/ui/EditingEnd.h"
#include "shell/ui/StockCodeField.h"
#include "shell/ui/tables/DVCommonTableView.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

constexpr int kCodeLength = 5;

QProgressBar* busyBar(QWidget* parent)
{
    auto* bar = new QProgressBar(parent);
    bar->setRange(0, 0); // an indicator that only turns
    bar->setMaximumWidth(120);
    bar->hide();
    return bar;
}

// A code field of five characters and its query button in one row.
QHBoxLayout* codeRow(QLineEdit* code, QPushButton* query, QProgressBar* progress)
{
    code->setObjectName(QStringLiteral("stockCodeText"));
    useStockCodeFormatter(code, kCodeLength);
    query->setObjectName(QStringLiteral("queryButton"));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("证券代码:"), code->parentWidget()));
    row->addWidget(code);
    row->addWidget(query);
    row->addWidget(progress);
    row->addStretch();
    return row;
}

} // namespace

// --- The declaration pages ---

HGTDeclareView::HGTDeclareView(HGTDeclarePage& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(controller)
    , accounts_(new QComboBox(this))
    , name_(new QLabel(this))
    , order_(new QPushButton(QStringLiteral("申报"), this))
    , positions_(new DVCommonTableView(this))
{
    order_->setObjectName(QStringLiteral("orderButton"));
    page_.setDialogParent(this);
    connect(accounts_, &QComboBox::activated, this, [this](int index) { page_.selectAccount(index); });
    connect(order_, &QPushButton::clicked, this, [this] { page_.orderButtonClick(); });
    connect(positions_, &DVCommonTableView::clicked, this, [this](const QModelIndex& index) {
        page_.positionTableClick(positions_->tableModel()->sourceRow(index.row()));
    });
    connect(&controller, &MenuItemViewController::changed, this, [this] { refresh(); });
}

HGTDeclareView::HGTDeclareView(HGTVoteViewController& controller, QWidget* parent)
    : HGTDeclareView(static_cast<HGTDeclarePage&>(controller), parent)
{
    using F = HGTVoteViewController::Field;
    build({ QStringLiteral("公告编号:"), QStringLiteral("议案编号:"), QStringLiteral("赞成数量:"),
              QStringLiteral("反对数量:"), QStringLiteral("弃权数量:") },
        [&controller](int i, const QString& t) { controller.setFieldText(F(i), t); },
        [&controller](int i) { controller.fieldEditEnd(F(i)); },
        [&controller](int i) { return i == 0 ? controller.codeText() : controller.fieldText(F(i)); });
}

HGTDeclareView::HGTDeclareView(HGTOtherVoteViewController& controller, QWidget* parent)
    : HGTDeclareView(static_cast<HGTDeclarePage&>(controller), parent)
{
    using F = HGTOtherVoteViewController::Field;
    voteTypes_ = new QComboBox(this);
    voteTypes_->setObjectName(QStringLiteral("voteTypePButton"));
    voteTypes_->addItems(HGTOtherVoteViewController::voteTypeTitles());
    connect(voteTypes_, &QComboBox::activated, this, [&controller](int index) { controller.selectVoteType(index); });
    build({ QStringLiteral("行为代码:"), QStringLiteral("投票数量:") },
        [&controller](int i, const QString& t) { controller.setFieldText(F(i), t); },
        [&controller](int i) { controller.fieldEditEnd(F(i)); },
        [&controller](int i) { return i == 0 ? controller.codeText() : controller.fieldText(F(i)); });
}

void HGTDeclareView::build(const QStringList& labels, std::function<void(int, const QString&)> set,
    std::function<void(int)> end, std::function<QString(int)> text)
{
    text_ = std::move(text);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("股东代码:"), accounts_);
    auto* code = new QLineEdit(this);
    code->setObjectName(QStringLiteral("stockCodeText"));
    useStockCodeFormatter(code, kCodeLength);
    auto* codeLine = new QHBoxLayout;
    codeLine->addWidget(code);
    codeLine->addWidget(name_);
    form->addRow(QStringLiteral("证券代码:"), codeLine);
    if (voteTypes_)
        form->addRow(QStringLiteral("业务类型:"), voteTypes_);
    fields_ << code;
    for (const QString& label : labels) {
        auto* field = new QLineEdit(this);
        useTypedValueFormatter(field);
        fields_ << field;
        form->addRow(label, field);
    }
    form->addRow(QString(), order_);
    for (int i = 0; i < fields_.size(); ++i) {
        connect(fields_[i], &QLineEdit::textEdited, this, [set, i](const QString& t) { set(i, t); });
        connect(fields_[i], &QLineEdit::returnPressed, this, [end, i] { end(i); });
    }
    // After a click elsewhere the field clicked keeps the focus.
    onEditingEnd(code, [this, code](bool toNext) {
        if (code->isModified() && page_.codeText().size() < kCodeLength) {
            code->setModified(false);
            page_.codeEditEnd(toNext);
        }
    });

    layOutOrderPage(this, form, page_, positions_);
    refresh();
}

void HGTDeclareView::refresh()
{
    if (!text_)
        return;
    const QSignalBlocker block(accounts_);
    if (accounts_->count() != page_.accountTitles().size()) {
        accounts_->clear();
        accounts_->addItems(page_.accountTitles());
    }
    accounts_->setCurrentIndex(page_.selectedAccount());
    if (auto* other = qobject_cast<HGTOtherVoteViewController*>(&page_))
        voteTypes_->setCurrentIndex(other->selectedVoteType());
    for (int i = 0; i < fields_.size(); ++i) {
        if (fields_[i]->text() != text_(i))
            fields_[i]->setText(text_(i));
    }
    name_->setText(page_.nameText());
    order_->setEnabled(!page_.isBusy());
    if (page_.positions() != shownPositions_) { // none: the account changed
        shownPositions_ = page_.positions();
        positions_->reinitTableViewWithObject(shownPositions_);
    }
    if (page_.focusMoves() != shownFocusMoves_ && isVisible()) {
        shownFocusMoves_ = page_.focusMoves();
        if (QLineEdit* f = fields_.value(page_.focusedField()))
            f->setFocus();
    }
}

// --- Declarations and their withdrawal ---

HGTCancelVoteView::HGTCancelVoteView(HGTCancelVoteViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(controller)
    , begin_(new QDateEdit(this))
    , end_(new QDateEdit(this))
    , query_(new QPushButton(QStringLiteral("查询"), this))
    , progress_(busyBar(this))
    , count_(new QLabel(this))
    , table_(new DVCommonTableView(this))
{
    begin_->setObjectName(QStringLiteral("beginDatePicker"));
    end_->setObjectName(QStringLiteral("endDatePicker"));
    query_->setObjectName(QStringLiteral("queryButton"));
    count_->setObjectName(QStringLiteral("countText"));
    table_->setObjectName(QStringLiteral("ordersTableView"));
    for (QDateEdit* d : { begin_, end_ }) {
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setCalendarPopup(true);
    }
    page_.ordersTableView().attach(table_->tableModel(),
        [this](std::shared_ptr<const DTTable> t, bool) { table_->reinitTableViewWithObject(std::move(t)); });
    page_.setParentWindow(this);
    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("起始日期:"), this));
    bar->addWidget(begin_);
    bar->addWidget(new QLabel(QStringLiteral("结束日期:"), this));
    bar->addWidget(end_);
    bar->addWidget(query_);
    bar->addWidget(progress_);
    bar->addStretch();
    bar->addWidget(new QLabel(QStringLiteral("申报笔数:"), this));
    bar->addWidget(count_);
    auto* all = new QVBoxLayout(this);
    all->addLayout(bar);
    all->addWidget(table_, 1);
    all->addWidget(new QLabel(QStringLiteral("单击一笔申报撤销。"), this));
    connect(begin_, &QDateEdit::dateChanged, this, [this](const QDate& d) { page_.setBeginDate(d); });
    connect(end_, &QDateEdit::dateChanged, this, [this](const QDate& d) { page_.setEndDate(d); });
    connect(query_, &QPushButton::clicked, this, [this] { page_.queryButtonClicked(); });
    connect(table_, &DVCommonTableView::clicked, this, [this](const QModelIndex& index) {
        page_.ordersTableViewClicked(table_->tableModel()->sourceRow(index.row()));
    });
    connect(&controller, &MenuItemViewController::changed, this, [this] { refresh(); });
    refresh();
}

void HGTCancelVoteView::refresh()
{
    const QSignalBlocker a(begin_);
    const QSignalBlocker b(end_);
    begin_->setDate(page_.beginDate());
    end_->setDate(page_.endDate());
    begin_->setEnabled(!page_.isQuerying());
    end_->setEnabled(!page_.isQuerying());
    progress_->setVisible(page_.progressShown());
    count_->setText(page_.countText());
}

// --- Notifications ---

HGTQueryNotificationView::HGTQueryNotificationView(HGTQueryNotificationViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(controller)
    , code_(new QLineEdit(this))
    , progress_(busyBar(this))
{
    auto* query = new QPushButton(QStringLiteral("查询"), this);
    auto* holder = new QWidget;
    list_ = new QVBoxLayout(holder);
    list_->addStretch();
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("notificationTableView"));
    scroll->setWidgetResizable(true);
    scroll->setWidget(holder);
    auto* all = new QVBoxLayout(this);
    all->addLayout(codeRow(code_, query, progress_));
    all->addWidget(scroll, 1);
    connect(code_, &QLineEdit::textEdited, this, [this](const QString& t) { page_.setCodeText(t); });
    connect(code_, &QLineEdit::returnPressed, this, [this] { page_.queryButtonClick(); });
    connect(query, &QPushButton::clicked, this, [this] { page_.queryButtonClick(); });
    connect(&controller, &MenuItemViewController::changed, this, [this] { refresh(); });
    refresh();
}

void HGTQueryNotificationView::refresh()
{
    progress_->setVisible(page_.progressShown());
    if (page_.notifications() == shown_)
        return;
    shown_ = page_.notifications();
    while (list_->count() > 1) {
        QLayoutItem* item = list_->takeAt(0);
        delete item->widget();
        delete item;
    }
    int at = 0;
    for (const std::shared_ptr<DTHGTNotificationInfoTable>& notice : shown_) {
        auto* title = new QLabel(notice->title);
        title->setObjectName(QStringLiteral("NotificationCellLabel"));
        auto* table = new DVCommonTableView;
        table->setObjectName(QStringLiteral("NotificationCellTable"));
        table->setFixedHeight(75);
        table->reinitTableViewWithObject(notice);
        list_->insertWidget(at++, title);
        list_->insertWidget(at++, table);
    }
}

// --- Eligible stocks ---

HGTQueryStockTargetView::HGTQueryStockTargetView(HGTQueryStockTargetViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(controller)
    , code_(new QLineEdit(this))
    , progress_(busyBar(this))
    , table_(new DVCommonTableView(this))
{
    auto* query = new QPushButton(QStringLiteral("查询"), this);
    table_->setObjectName(QStringLiteral("targetInfoTableView"));
    auto* all = new QVBoxLayout(this);
    all->addLayout(codeRow(code_, query, progress_));
    all->addWidget(table_, 1);
    connect(code_, &QLineEdit::textEdited, this, [this](const QString& t) { page_.setCodeText(t); });
    connect(code_, &QLineEdit::returnPressed, this, [this] { page_.queryButtonClick(); });
    connect(query, &QPushButton::clicked, this, [this] { page_.queryButtonClick(); });
    connect(&controller, &MenuItemViewController::changed, this, [this] { refresh(); });
    refresh();
}

void HGTQueryStockTargetView::refresh()
{
    progress_->setVisible(page_.progressShown());
    if (page_.targets() != shown_) { // none: the account changed
        shown_ = page_.targets();
        table_->reinitTableViewWithObject(shown_);
    }
}

// --- The withdrawal quantity window ---

void installCancelConfirmWindow()
{
    HGTCancelConfirmAlertWC::setViewFactory([](HGTCancelConfirmAlertWC& window, QObject* parentWindow) {
        auto* dialog = new QDialog(qobject_cast<QWidget*>(parentWindow));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setWindowTitle(QStringLiteral("公司行为申报撤销"));
        dialog->setWindowModality(Qt::ApplicationModal);
        auto* form = new QFormLayout(dialog);
        form->addRow(QStringLiteral("股东代码:"), new QLabel(window.securityId(), dialog));
        form->addRow(QStringLiteral("证券代码:"), new QLabel(window.stockCode(), dialog));
        form->addRow(QStringLiteral("业务类型:"), new QLabel(window.voteTypeDesc(), dialog));
        form->addRow(QStringLiteral("行为代码:"), new QLabel(window.orgNo(), dialog));
        auto* quantity = new QLineEdit(dialog);
        quantity->setObjectName(QStringLiteral("quantityText"));
        useTypedValueFormatter(quantity);
        form->addRow(QStringLiteral("撤销数量:"), quantity);
        auto* buttons = new QDialogButtonBox(dialog);
        buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
        buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole)->setFocus();
        form->addRow(buttons);
        const QPointer<HGTCancelConfirmAlertWC> owner(&window);
        QObject::connect(quantity, &QLineEdit::textEdited, dialog, [owner](const QString& t) {
            if (owner)
                owner->setQuantityText(t);
        });
        QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [owner] {
            if (owner)
                owner->confirmButtonClicked();
        });
        QObject::connect(dialog, &QDialog::rejected, dialog, [owner] {
            if (owner)
                owner->windowWillClose();
        });
        QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
        QObject::connect(&window, &HGTCancelConfirmAlertWC::closeRequested, dialog, &QDialog::accept);
        dialog->open();
    });
}
