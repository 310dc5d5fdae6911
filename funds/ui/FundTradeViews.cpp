#include "funds/ui/FundTradeViews.h"

#include "funds/ui/FundPanels.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

using Form = OpdFundTradeViewController;

struct FieldSpec {
    Form::Field field;
    const char* title;
    const char* name;
    bool editable;
};

// The fields of each view type, top to bottom.
std::vector<FieldSpec> fieldsOf(qint32 type)
{
    const FieldSpec code { Form::Code, "基金代码:", "fundCodeText", true };
    const FieldSpec name { Form::Name, "基金名称:", "fundNameText", false };
    const FieldSpec value { Form::Value, "基金净值:", "fundValueText", false };
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
    default: return {};
    }
}

const char* buttonTitle(qint32 type)
{
    switch (type) {
    case Form::Subscribe: return "认购";
    case Form::Purchase: return "申购";
    case Form::Redeem: return "赎回";
    case Form::Transform: return "转换";
    case Form::Bonus: return "设置";
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
    for (const FieldSpec& spec : fieldsOf(controller.viewType())) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(spec.name));
        edit->setReadOnly(!spec.editable);
        if (spec.field == Form::Code || spec.field == Form::TargetCode) {
            edit->setMaxLength(Form::kCodeLength);
            connect(edit, &QLineEdit::textEdited, this,
                [this, f = spec.field](const QString& text) { controller_->controlTextDidChange(f, text); });
            connect(edit, &QLineEdit::editingFinished, this, [this, f = spec.field] {
                controller_->codeEditEnd(f);
                if (QLineEdit* next = field(controller_->focus()))
                    next->setFocus();
            });
        } else if (spec.editable) {
            connect(edit, &QLineEdit::textEdited, this,
                [this, f = spec.field](const QString& text) { controller_->setText(f, text); });
            connect(edit, &QLineEdit::returnPressed, trade_, &QPushButton::click);
        }
        fields_[spec.field] = edit;
        form->addRow(QString::fromUtf8(spec.title), edit);
    }
    if (controller.viewType() == Form::Redeem || controller.viewType() == Form::Bonus) {
        popUp_ = new QComboBox(this);
        popUp_->setObjectName(QStringLiteral("popUpButton"));
        connect(popUp_, &QComboBox::activated, this, [this](int index) { controller_->selectPopUp(index); });
        form->addRow(controller.viewType() == Form::Redeem ? QStringLiteral("巨额方式:") : QStringLiteral("分红方式:"),
            popUp_);
    }
    layout->addLayout(form);
    auto* buttons = new QHBoxLayout;
    auto* reset = new QPushButton(QStringLiteral("重填"), this);
    reset->setObjectName(QStringLiteral("resetButton"));
    trade_->setObjectName(QStringLiteral("tradeButton"));
    buttons->addStretch(1);
    buttons->addWidget(reset);
    buttons->addWidget(trade_);
    layout->addLayout(buttons);
    layout->addStretch(1);
    connect(reset, &QPushButton::clicked, this, [this] { controller_->reset(); });
    connect(trade_, &QPushButton::clicked, this, [this] { controller_->tradeButtonClicked(); });
    connect(&controller, &OpdFundTradeViewController::changed, this, [this] { refresh(); });
    refresh();
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
    }
    if (popUp_) {
        if (popUp_->count() != controller_->popUpItems().size()) {
            popUp_->clear();
            popUp_->addItems(controller_->popUpItems());
        }
        popUp_->setCurrentIndex(controller_->popUpIndex());
    }
    trade_->setEnabled(!controller_->isBusy());
}

OpdFundTradeView::OpdFundTradeView(OpdFundTradePage& page, QWidget* parent)
    : MenuItemView(page, parent)
    , page_(&page)
    , fundListView_(new QWidget(this))
    , fundTradeView_(new QWidget(this))
    , fundQuoteView_(new QWidget(this))
{
    setObjectName(page.pageClass());
    fundListView_->setObjectName(QStringLiteral("fundListView"));
    fundTradeView_->setObjectName(QStringLiteral("fundTradeView"));
    fundQuoteView_->setObjectName(QStringLiteral("fundQuoteView"));
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(fundListView_, 3);
    auto* right = new QVBoxLayout;
    right->addWidget(fundTradeView_);
    right->addWidget(fundQuoteView_);
    layout->addLayout(right, 2);
    for (QWidget* w : { fundListView_, fundTradeView_, fundQuoteView_ })
        new QVBoxLayout(w);
    connect(&page, &OpdFundTradePage::panelsChanged, this, [this] { putPanels(); });
    putPanels();
}

void OpdFundTradeView::putPanels()
{
    // The old panels go with their controllers, even when none come anew.
    for (QWidget* w : { fundListView_, fundTradeView_, fundQuoteView_ }) {
        for (QWidget* child : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            child->deleteLater();
        removeSubViewsFromView(w);
    }
    if (!page_ || !page_->fundTradeView())
        return;
    fundListView_->layout()->addWidget(new OpdFundListPanel(*page_->fundListView(), fundListView_));
    fundTradeView_->layout()->addWidget(new OpdFundTradeForm(*page_->fundTradeView(), fundTradeView_));
    fundQuoteView_->layout()->addWidget(new FundQuotePanel(*page_->fundQuoteView(), fundQuoteView_));
    page_->fundTradeView()->setParentWindow(window());
}

void registerFundTradeViews()
{
    for (const char* name : { SubscribeOpdFundViewController::kPageClass, PurchaseOpdFundViewController::kPageClass,
             RedeemOpdFundViewController::kPageClass, TransformOpdFundViewController::kPageClass,
             BonusSettingViewController::kPageClass }) {
        MenuItemViewCatalogue::shared().registerView(QString::fromLatin1(name),
            [](MenuItemViewController& controller, QWidget* parent) -> MenuItemView* {
                auto* page = qobject_cast<OpdFundTradePage*>(&controller);
                return page ? new OpdFundTradeView(*page, parent) : nullptr;
            });
    }
}
