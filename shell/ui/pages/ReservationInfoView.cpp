#include "shell/ui/pages/ReservationInfoView.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ReservationInfoView::ReservationInfoView(ReservationInfoViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , page_(controller)
{
    currentTextField_ = new QLineEdit(this);
    currentTextField_->setObjectName(QStringLiteral("currentTextField"));
    currentTextField_->setReadOnly(true);
    // No length limit on the field: a greeting that is too long is refused
    // with a message, not cut.
    inputTextField_ = new QLineEdit(this);
    inputTextField_->setObjectName(QStringLiteral("inputTextField"));
    inputTextField_->setPlaceholderText(QStringLiteral("不超过50个字"));
    resetButton_ = new QPushButton(QStringLiteral("重置"), this);
    resetButton_->setObjectName(QStringLiteral("resetButton"));
    submitButton_ = new QPushButton(QStringLiteral("确定"), this);
    submitButton_->setObjectName(QStringLiteral("submitButton"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("当前预留信息："), currentTextField_);
    form->addRow(QStringLiteral("新预留信息："), inputTextField_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(resetButton_);
    buttons->addWidget(submitButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addStretch(1);

    connect(inputTextField_, &QLineEdit::textEdited, &page_, &ReservationInfoViewController::setInputText);
    connect(inputTextField_, &QLineEdit::returnPressed, &page_,
        &ReservationInfoViewController::submitButtonClicked);
    connect(resetButton_, &QPushButton::clicked, &page_, &ReservationInfoViewController::resetButtonClicked);
    connect(
        submitButton_, &QPushButton::clicked, &page_, &ReservationInfoViewController::submitButtonClicked);
    refresh();
}

void ReservationInfoView::refresh()
{
    currentTextField_->setText(page_.currentText());
    if (inputTextField_->text() != page_.inputText())
        inputTextField_->setText(page_.inputText());
    for (QWidget* control :
        { static_cast<QWidget*>(inputTextField_), static_cast<QWidget*>(currentTextField_),
            static_cast<QWidget*>(resetButton_), static_cast<QWidget*>(submitButton_) })
        control->setEnabled(page_.controlsEnabled());
}
