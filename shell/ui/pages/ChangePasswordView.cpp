#include "shell/ui/pages/ChangePasswordView.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

using Field = ChangePasswordViewController::Field;

ChangePasswordView::ChangePasswordView(ChangePasswordViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(controller)
{
    passwordTypeSegment_ = new QButtonGroup(this);
    passwordTypeSegment_->setObjectName(QStringLiteral("passwordTypeSegment"));
    auto* segments = new QHBoxLayout;
    const QStringList titles { QStringLiteral("交易密码"), QStringLiteral("资金密码") };
    for (int i = 0; i < titles.size(); ++i) {
        auto* button = new QPushButton(titles[i], this);
        button->setObjectName(QStringLiteral("passwordTypeSegment%1").arg(i));
        button->setCheckable(true);
        passwordTypeSegment_->addButton(button, i);
        segments->addWidget(button);
    }
    segments->addStretch();

    fundLabel_ = new QLabel(QStringLiteral("资金账号："), this);
    fundLabel_->setObjectName(QStringLiteral("fundLabel"));
    fundButton_ = new QComboBox(this);
    fundButton_->setObjectName(QStringLiteral("fundButton"));
    auto* form = new QFormLayout;
    form->addRow(fundLabel_, fundButton_);
    const char* const names[] = { "currentPasswordText", "freshPasswordText", "confirmPasswordText" };
    const QStringList labels { QStringLiteral("旧密码："), QStringLiteral("新密码："),
        QStringLiteral("确认新密码：") };
    for (size_t i = 0; i < fields_.size(); ++i) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(names[i]));
        edit->setEchoMode(QLineEdit::Password);
        // A keystroke or a paste that would not fit leaves the field as it was.
        edit->setValidator(page_.passwordFormatter());
        fields_[i] = edit;
        form->addRow(labels[int(i)], edit);
        const Field which = Field(i);
        connect(edit, &QLineEdit::textEdited, this,
            [this, which](const QString& text) { page_.setPasswordText(which, text); });
        connect(edit, &QLineEdit::returnPressed, this,
            [this, which] { field(page_.passordEditEnd(which))->setFocus(); });
    }
    auto* submit = new QPushButton(QStringLiteral("确认修改"), this);
    submit->setObjectName(QStringLiteral("submitButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(submit);

    // The form keeps its own width however wide the page: the fields a
    // password's width and the button under them, not at the page's edge.
    auto* column = new QVBoxLayout;
    column->addLayout(segments);
    column->addLayout(form);
    column->addLayout(buttons);
    auto* row = new QHBoxLayout;
    row->addLayout(column);
    row->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addStretch(1);

    connect(passwordTypeSegment_, &QButtonGroup::idClicked, &page_,
        &ChangePasswordViewController::passwordTypeSelected);
    connect(fundButton_, &QComboBox::activated, &page_, &ChangePasswordViewController::fundAccountChanged);
    connect(submit, &QPushButton::clicked, &page_, &ChangePasswordViewController::confirmChangeButtonClicked);
    refresh();
}

void ChangePasswordView::refresh()
{
    if (QAbstractButton* segment = passwordTypeSegment_->button(page_.passwordType()))
        segment->setChecked(true);
    fundLabel_->setVisible(page_.fundOptionShown());
    fundButton_->setVisible(page_.fundOptionShown());
    {
        const QSignalBlocker block(fundButton_);
        fundButton_->clear();
        fundButton_->addItems(page_.fundItems());
        fundButton_->setCurrentIndex(page_.selectedFund());
    }
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i]->text() != page_.passwordText(Field(i)))
            fields_[i]->setText(page_.passwordText(Field(i)));
    }
}
