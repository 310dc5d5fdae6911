#include "funds/ui/FundTradeViews.h"

#include "core/ui/PopUp.h"
#include "funds/ui/FundListView.h"
#include "funds/ui/FundPanels.h"
#include "shell/ui/Buttons.h"
#include "shell/ui/EditingEnd.h"
#include "shell/ui/StockCodeField.h"
#include "shell/ui/tables/DVCommonTableView.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {

using Form = OpdFundTradeViewController;

struct FieldLayout {
    Form::Field field;
    const char* title;
    const char* name;
    bool editable;
};

// The fields of each view type, top to bottom.
std::vector<FieldLayout> fieldsOf(qint32 type)
{
    const FieldLayout code { Form::Code, "基金代码:", "fundCodeText", true };
    const FieldLayout name { Form::Name, "基金名称:", "fundNameText", false };
    const FieldLayout value { Form::Value, "基金净值:", "fundValueText", false };
    switch (type) {
    case Form::Subscribe:
    case Form::Purchase:
        return { code, name, value, { Form::AvailableBalance, "可用资金:", "availableBalanceText", false },
            { Form::Amount, type == Form::Subscribe ? "认购金额:" : "申购金额:", "tradeAmountText", true } };
    case Form::Redeem:
        return { code, name, value, { Form::Available, "可用份额:", "fundAvailableText", false },
            { Form::Amount, "赎回份额:", "redeemAmountText", true } };
    case Form::Transform:
        return { { Form::Code, "转出代码:", "fundCodeText", true }, { Form::Name, "转出名称:", "fundNameText", false },
            { Form::TargetCode, "转入代码:", "transformToFundCodeText", true },
            { Form::TargetName, "转入名称:", "transformToFundNameText", false },
            { Form::Available, "可用份额:", "fundAvailableText", false },
            { Form::Amount, "转换份额:", "transformAmountText", true } };
    case Form::Bonus: return { code, name, value };
    case Form::Plan:
        return { { Form::Code, "基金代码:", "timing_FundCodeText", true },
            { Form::Name, "基金名称:", "timing_FundNameText", false },
            { Form::Value, "基金净值:", "timing_FundValueText", false },
            { Form::ApplyDate, "申请日期:", "timing_CurrentDateText", false },
            { Form::ChargeType, "收费方式:", "timing_ChargeType", false },
            { Form::Amount, "每期金额:", "timing_MoneyAmoutText", true } };
    default: return {};
    }
}

constexpr int kInnerMargin = 2; // each side of a line edit's text, as the edit keeps it

// The width at which a line edit shows its whole text: the text, the
// margins the edit keeps inside its frame, and the frame.
int wholeTextWidth(const QLineEdit& edit)
{
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.lineWidth = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit);
    const QMargins margins = edit.textMargins();
    const QSize text(edit.fontMetrics().horizontalAdvance(edit.text()) + 2 * kInnerMargin + margins.left()
            + margins.right() + 1,
        edit.fontMetrics().height());
    return edit.style()->sizeFromContents(QStyle::CT_LineEdit, &option, text, &edit).width();
}

// The field of a name the server sends. A fund's name may be long: the field
// keeps the width the form gives it, and a name wider than that shows its
// start and "…", never a cut without a mark. Its text stays the whole name.
class NameField final : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QStyleOptionFrame option;
        initStyleOption(&option);
        const QRect room = style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, this)
                               .marginsRemoved(textMargins())
                               .adjusted(kInnerMargin, 0, -kInnerMargin, 0);
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
        if (shown == text()) {
            QLineEdit::paintEvent(event);
            return;
        }
        QPainter painter(this);
        style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(room, int(Qt::AlignLeft | Qt::AlignVCenter), shown);
    }
};

bool isName(Form::Field field)
{
    return field == Form::Name || field == Form::TargetName;
}

const char* buttonTitle(qint32 type)
{
    switch (type) {
    case Form::Subscribe: return "认购";
    case Form::Purchase: return "申购";
    case Form::Redeem: return "赎回";
    case Form::Transform: return "转换";
    case Form::Bonus: return "设置";
    case Form::Plan: return "定投";
    default: return "确定";
    }
}

} // namespace

OpdFundTradeForm::OpdFundTradeForm(OpdFundTradeViewController& controller, QWidget* parent)
    : QWidget(parent)
    , controller_(&controller)
    , trade_(new QPushButton(QString::fromUtf8(buttonTitle(controller.viewType())), this))
{
    setObjectName(QStringLiteral("OpdFundTradeViewController"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    for (const FieldLayout& row : fieldsOf(controller.viewType())) {
        auto* edit = isName(row.field) ? new NameField(this) : new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(row.name));
        edit->setReadOnly(!row.editable);
        if (row.field == Form::Code || row.field == Form::TargetCode) {
            // Six characters at most, as they are read: a full-width code
            // typed, or one pasted with white space around it, fits.
            useTypedValueFormatter(edit, Form::kCodeLength);
            connect(edit, &QLineEdit::textEdited, this,
                [this, f = row.field](const QString& text) { controller_->controlTextDidChange(f, text); });
            // A short code is padded and looked up however the editing ends;
            // the next field takes the focus only after Return or Tab, a
            // field clicked keeps it.
            onEditingEnd(edit, [this, f = row.field](bool toNext) {
                // The form's controller goes first on another account: the
                // field's editing then ends as it is taken away, for nobody.
                if (!controller_)
                    return;
                controller_->codeEditEnd(f);
                if (!toNext)
                    return;
                if (QLineEdit* next = field(controller_->focus()))
                    next->setFocus();
            });
        } else if (row.editable) {
            useTypedValueFormatter(edit);
            connect(edit, &QLineEdit::textEdited, this,
                [this, f = row.field](const QString& text) { controller_->setText(f, text); });
            // Return moves on in the form's cycle; the order goes by the
            // trade button alone.
            connect(edit, &QLineEdit::returnPressed, this, [this, f = row.field] {
                controller_->controlEditEnd(f);
                if (QLineEdit* next = field(controller_->focus()))
                    next->setFocus();
            });
        }
        fields_[row.field] = edit;
        form->addRow(QString::fromUtf8(row.title), edit);
    }
    if (controller.viewType() == Form::Redeem || controller.viewType() == Form::Bonus) {
        popUp_ = new QComboBox(this);
        popUp_->setObjectName(QStringLiteral("popUpButton"));
        connect(popUp_, &QComboBox::activated, this, [this](int index) { controller_->selectPopUp(index); });
        form->addRow(controller.viewType() == Form::Redeem ? QStringLiteral("巨额方式:") : QStringLiteral("分红方式:"),
            popUp_);
    }
    if (controller.viewType() == Form::Plan)
        addPlanControls(*form);
    layout->addLayout(form);
    auto* buttons = new QHBoxLayout;
    auto* reset = new QPushButton(QStringLiteral("重填"), this);
    reset->setObjectName(QStringLiteral("resetButton"));
    trade_->setObjectName(QStringLiteral("tradeButton"));
    buttons->addStretch(1);
    buttons->addWidget(reset);
    buttons->addWidget(trade_);
    setTabOrder(reset, trade_);
    layout->addLayout(buttons);
    layout->addStretch(1);
    connect(reset, &QPushButton::clicked, this, [this] { controller_->reset(); });
    connect(trade_, &QPushButton::clicked, this, [this] { controller_->tradeButtonClicked(); });
    connect(&controller, &OpdFundTradeViewController::changed, this, [this] { refresh(); });
    refresh();
}

void OpdFundTradeForm::addPlanControls(QFormLayout& form)
{
    period_ = new QComboBox(this);
    period_->setObjectName(QStringLiteral("timing_PaymentPeriodPButton"));
    day_ = new QComboBox(this);
    day_->setObjectName(QStringLiteral("timing_PaymentDayPButton"));
    expire_ = new QComboBox(this);
    expire_->setObjectName(QStringLiteral("timing_ExpireConditionPButton"));
    begin_ = new QDateEdit(this);
    begin_->setObjectName(QStringLiteral("timing_BeginDatePicker"));
    end_ = new QDateEdit(this);
    end_->setObjectName(QStringLiteral("timing_EndDatePicker"));
    for (QDateEdit* d : { begin_, end_ })
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    connect(period_, &QComboBox::activated, this, [this](int index) { controller_->paymentPeriodChanged(index); });
    connect(day_, &QComboBox::activated, this, [this](int index) { controller_->selectPaymentDay(index); });
    connect(expire_, &QComboBox::activated, this, [this](int index) { controller_->selectExpire(index); });
    connect(begin_, &QDateEdit::dateChanged, this, [this](QDate d) { controller_->setBeginDate(d); });
    connect(end_, &QDateEdit::dateChanged, this, [this](QDate d) { controller_->setEndDate(d); });
    form.addRow(QStringLiteral("扣款周期:"), period_);
    form.addRow(QStringLiteral("扣款日期:"), day_);
    form.addRow(QStringLiteral("期满条件:"), expire_);
    form.addRow(QStringLiteral("开始日期:"), begin_);
    form.addRow(QStringLiteral("结束日期:"), end_);
}

QLineEdit* OpdFundTradeForm::field(OpdFundTradeViewController::Field f) const
{
    const auto it = fields_.find(f);
    return it == fields_.end() ? nullptr : it->second;
}

void OpdFundTradeForm::refresh()
{
    if (!controller_)
        return;
    for (const auto& [f, edit] : fields_) {
        if (edit->text() != controller_->text(f))
            edit->setText(controller_->text(f));
        // A figure the server fills (net value, shares, money) is never
        // narrower than its text: a line edit cuts a text without a mark.
        // A name shows "…" instead, and never widens the form.
        if (edit->isReadOnly() && !isName(f))
            edit->setMinimumWidth(wholeTextWidth(*edit));
    }
    if (popUp_) {
        if (popUp_->count() != controller_->popUpItems().size()) {
            popUp_->clear();
            popUp_->addItems(controller_->popUpItems());
        }
        popUp_->setCurrentIndex(controller_->popUpIndex());
    }
    if (period_) {
        fillPopUp(period_, controller_->periodItems(), controller_->periodIndex());
        fillPopUp(day_, controller_->paymentDayItems(), controller_->paymentDayIndex());
        fillPopUp(expire_, controller_->expireItems(), controller_->expireIndex());
        const QSignalBlocker b(begin_), e(end_);
        begin_->setDate(controller_->beginDate());
        end_->setDate(controller_->endDate());
    }
    trade_->setEnabled(!controller_->isBusy());
}

OpdFundTradeView::OpdFundTradeView(OpdFundTradePage& page, QWidget* parent)
    : MenuItemView(page, parent)
    , page_(&page)
    , workView_(new QWidget(this))
    , fundListView_(new QWidget(workView_))
    , fundTradeView_(new QWidget(workView_))
    , fundQuoteView_(new QWidget(workView_))
{
    setObjectName(page.pageClass());
    workView_->setObjectName(QStringLiteral("workView"));
    fundListView_->setObjectName(QStringLiteral("fundListView"));
    fundTradeView_->setObjectName(QStringLiteral("fundTradeView"));
    fundQuoteView_->setObjectName(QStringLiteral("fundQuoteView"));
    // The working area is one widget, so that on the plan page it and the
    // agreement each take the whole page while shown, and nothing while hidden.
    auto* layout = new QHBoxLayout(this);
    work_ = new QBoxLayout(QBoxLayout::LeftToRight, workView_);
    work_->setContentsMargins(0, 0, 0, 0);
    // arrange() sets the area's least size for the arrangement in use.
    work_->setSizeConstraint(QLayout::SetNoConstraint);
    // The list takes the larger share, so that its figures show whole; the
    // chart narrows to leave it room.
    work_->addWidget(fundListView_, 2);
    auto* right = new QVBoxLayout;
    right->addWidget(fundTradeView_);
    right->addWidget(fundQuoteView_);
    work_->addLayout(right, 1);
    layout->addWidget(workView_);
    for (QWidget* w : { fundListView_, fundTradeView_, fundQuoteView_ })
        new QVBoxLayout(w);
    connect(&page, &OpdFundTradePage::panelsChanged, this, [this] { putPanels(); });
    if (auto* plan = qobject_cast<InvestOntimeViewController*>(&page)) {
        // The plan page: its agreement stands over the working area until accepted.
        protocolView_ = new QWidget(this);
        protocolView_->setObjectName(QStringLiteral("protocolView"));
        auto* v = new QVBoxLayout(protocolView_);
        auto* text = new QPlainTextEdit(InvestOntimeViewController::protocolText(), protocolView_);
        text->setObjectName(QStringLiteral("protocolText"));
        text->setReadOnly(true);
        auto* accept = new QPushButton(QStringLiteral("同意"), protocolView_);
        accept->setObjectName(QStringLiteral("acceptButton"));
        connect(accept, &QPushButton::clicked, plan, &InvestOntimeViewController::acceptButtonClicked);
        v->addWidget(text);
        v->addWidget(accept, 0, Qt::AlignRight);
        layout->addWidget(protocolView_);
    }
    putPanels();
}

void OpdFundTradeView::resizeEvent(QResizeEvent* event)
{
    MenuItemView::resizeEvent(event);
    arrange();
}

bool OpdFundTradeView::event(QEvent* event)
{
    const bool handled = MenuItemView::event(event);
    // A panel's least size changed (a field's text, the list's rows).
    if (event->type() == QEvent::LayoutRequest)
        arrange();
    return handled;
}

void OpdFundTradeView::arrangeLater()
{
    if (std::exchange(arrangePending_, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            arrangePending_ = false;
            arrange();
        },
        Qt::QueuedConnection);
}

void OpdFundTradeView::arrange()
{
    // The list stands beside the form and the chart while the page has the
    // width of both, and above them on a narrower page (a small screen, a
    // large font), which then scrolls down only: the buttons and the
    // figures are never off to the side.
    const QMargins margins = layout()->contentsMargins();
    const int room = width() - margins.left() - margins.right();
    int besideWidth = work_->spacing() * (work_->count() - 1);
    int widest = 0;
    for (int i = 0; i < work_->count(); ++i) {
        const int least = work_->itemAt(i)->minimumSize().width();
        besideWidth += least;
        widest = std::max(widest, least);
    }
    // Beside the form the list still shows its net values whole.
    int listWidth = 0;
    if (auto* list = fundListView_->findChild<FundListView*>()) {
        const QMargins inList = fundListView_->layout()->contentsMargins();
        listWidth = list->widthShowingNetValues() + inList.left() + inList.right();
        besideWidth += std::max(0, listWidth - work_->itemAt(0)->minimumSize().width());
    }
    const bool beside = room >= besideWidth;
    // And gets that width whatever the shares of the layout would give it.
    fundListView_->setMinimumWidth(beside ? listWidth : 0);
    // Above the form the list keeps the height it would like, not a row or two.
    fundListView_->setMinimumHeight(beside ? 0 : fundListView_->sizeHint().height());
    work_->setDirection(beside ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    workView_->setMinimumSize(widest, work_->minimumSize().height());
}

void OpdFundTradeView::putPanels()
{
    // The old panels go with their controllers, even when none come anew.
    for (QWidget* w : { fundListView_, fundTradeView_, fundQuoteView_ }) {
        for (QWidget* child : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            child->deleteLater();
        removeSubViewsFromView(w);
    }
    const bool working = page_ && page_->fundTradeView();
    if (protocolView_) {
        protocolView_->setVisible(!working);
        workView_->setVisible(working);
    }
    if (!working)
        return;
    fundListView_->layout()->addWidget(new OpdFundListPanel(*page_->fundListView(), fundListView_));
    // The width the list needs beside the form follows its columns, which
    // widen with the rows.
    if (auto* list = fundListView_->findChild<FundListView*>())
        connect(list->table()->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this] { arrangeLater(); });
    fundTradeView_->layout()->addWidget(new OpdFundTradeForm(*page_->fundTradeView(), fundTradeView_));
    fundQuoteView_->layout()->addWidget(new FundQuotePanel(*page_->fundQuoteView(), fundQuoteView_));
    page_->fundTradeView()->setParentWindow(window());
}

void registerFundTradeViews()
{
    for (const char* name : { SubscribeOpdFundViewController::kPageClass, PurchaseOpdFundViewController::kPageClass,
             RedeemOpdFundViewController::kPageClass, TransformOpdFundViewController::kPageClass,
             BonusSettingViewController::kPageClass, InvestOntimeViewController::kPageClass }) {
        MenuItemViewCatalogue::shared().registerView(QString::fromLatin1(name),
            [](MenuItemViewController& controller, QWidget* parent) -> MenuItemView* {
                auto* page = qobject_cast<OpdFundTradePage*>(&controller);
                return page ? new OpdFundTradeView(*page, parent) : nullptr;
            });
    }
}
