#include "shell/ui/LoginView.h"

#include "core/ui/PopUp.h"
#include "shell/ui/StockCodeField.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

using Field = LoginViewController::Field;

namespace {

template <class W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// An editable box keeps the text typed in it.
void setItems(QComboBox* box, const QStringList& items, int selected)
{
    if (box->isEditable())
        fillPopUpItems(box, items);
    else
        fillPopUp(box, items, selected);
}

void setText(QLineEdit* edit, const QString& text)
{
    if (edit->text() != text) {
        const QSignalBlocker block(edit);
        edit->setText(text);
    }
}

} // namespace

void keepPlaceWhenHidden(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

LoginView::LoginView(LoginViewController& controller, QWidget* parent)
    : QWidget(parent)
    , controller_(controller)
{
    setObjectName(QStringLiteral("loginView"));
    accountTypeButton_ = named(new QComboBox(this), "accountTypeButton");
    accountTypeButton_->addItems(LoginViewController::accountTypeTitles());
    regionOfDepartmentButton_ = named(new QComboBox(this), "regionOfDepartmentButton");
    businessDepartmentButton_ = named(new QComboBox(this), "businessDepartmentButton");
    accountText_ = named(new QComboBox(this), "accountText");
    accountText_->setEditable(true);
    accountText_->setInsertPolicy(QComboBox::NoInsert);
    // No inline completion: the field shows what was typed or chosen, which is
    // what the form checks and sends.
    accountText_->setCompleter(nullptr);
    accountText_->lineEdit()->setPlaceholderText(QStringLiteral("请输入账号"));
    passwordText_ = named(new QLineEdit(this), "passwordText");
    passwordText_->setEchoMode(QLineEdit::Password);
    passwordText_->setValidator(controller_.passwordFormatter());
    passwordText_->setPlaceholderText(QStringLiteral("交易密码"));
    securitySelectButton_ = named(new QComboBox(this), "securitySelectButton");
    securitySelectButton_->addItems(LoginViewController::securityModeTitles());
    identifyingCodeText_ = named(new QLineEdit(this), "identifyingCodeText");
    identifyingCodeText_->setPlaceholderText(QStringLiteral("请输入右侧数字"));
    useTypedValueFormatter(identifyingCodeText_);
    identifyingCodeImage_ = named(new QPushButton(this), "identifyingCodeImage");
    identifyingCodeImage_->setFlat(true);
    identifyingCodeImage_->setFixedSize(96, 32);
    identifyingCodeImage_->setIconSize(QSize(96, 32));
    identifyingCodeImage_->setCursor(Qt::PointingHandCursor);
    identifyingCodeImage_->setToolTip(LoginViewController::identifyingCodeToolTip());
    securityModeQeltLabel_ = named(new QLabel(this), "securityModeQeltLabel");
    securityModeQeltText_ = named(new QLineEdit(this), "securityModeQeltText");
    securityModeQeltText_->setEchoMode(QLineEdit::Password);
    useTypedValueFormatter(securityModeQeltText_);
    saveAccountCheck_ = named(new QCheckBox(QStringLiteral("保存账号"), this), "saveAccountCheck");
    loginButton_ = named(new QPushButton(QStringLiteral("登  录"), this), "loginButton");
    loginButton_->setCheckable(true);
    loginButton_->setMinimumHeight(34);
    loginButton_->setStyleSheet(QStringLiteral(
        "QPushButton { background: #c8102e; color: white; border: none; border-radius: 4px; font-size: 15px; }"
        "QPushButton:checked { background: #8a8d91; }"
        "QPushButton:disabled { background: #d9a3ab; }"));
    loginProgress_ = named(new QProgressBar(this), "loginProgress");
    loginProgress_->setRange(0, 0);
    loginProgress_->setMaximumHeight(4);
    loginProgress_->setTextVisible(false);
    keepPlaceWhenHidden(loginProgress_);

    accountNameLabel_ = named(new QLabel(this), "accountNameLabel");
    auto* captchaRow = new QHBoxLayout;
    captchaRow->addWidget(identifyingCodeText_);
    captchaRow->addWidget(identifyingCodeImage_);
    form_ = new QFormLayout;
    form_->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form_->setVerticalSpacing(10);
    form_->addRow(QStringLiteral("账户类型："), accountTypeButton_);
    form_->addRow(QStringLiteral("营业部区域："), regionOfDepartmentButton_);
    form_->addRow(named(new QLabel(QStringLiteral("营 业 部："), this), "businessDepartmentLabel"),
        businessDepartmentButton_);
    form_->addRow(accountNameLabel_, accountText_);
    form_->addRow(named(new QLabel(QStringLiteral("交易密码："), this), "passwordLabel"), passwordText_);
    form_->addRow(named(new QLabel(QStringLiteral("安全方式："), this), "securitySelectLabel"), securitySelectButton_);
    form_->addRow(named(new QLabel(QStringLiteral("验 证 码："), this), "identifyingCodeLabel"), captchaRow);
    form_->addRow(securityModeQeltLabel_, securityModeQeltText_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(36, 18, 36, 12);
    layout->addLayout(form_);
    layout->addWidget(saveAccountCheck_, 0, Qt::AlignLeft);
    layout->addSpacing(6);
    layout->addWidget(loginButton_);
    layout->addWidget(loginProgress_);

    connect(accountTypeButton_, &QComboBox::activated, &controller_, &LoginViewController::accountTypeSelected);
    connect(regionOfDepartmentButton_, &QComboBox::activated, &controller_,
        &LoginViewController::regionOfDepartmentSelected);
    connect(businessDepartmentButton_, &QComboBox::activated, &controller_,
        &LoginViewController::businessDepartmentSelected);
    connect(securitySelectButton_, &QComboBox::activated, &controller_, &LoginViewController::securitySelected);
    connect(accountText_, &QComboBox::activated, &controller_, &LoginViewController::accountItemSelected);
    connect(saveAccountCheck_, &QCheckBox::clicked, &controller_, &LoginViewController::saveAccountButtonClick);
    connect(loginButton_, &QPushButton::clicked, &controller_, &LoginViewController::loginButtonClick);
    connect(identifyingCodeImage_, &QPushButton::clicked, &controller_, &LoginViewController::changeIdentifyingCode);
    forwardEdits(accountText_->lineEdit(), Field::Account);
    forwardEdits(passwordText_, Field::Password);
    forwardEdits(identifyingCodeText_, Field::IdentifyingCode);
    forwardEdits(securityModeQeltText_, Field::Token);
    connect(&controller_, &LoginViewController::changed, this, &LoginView::refresh);
    connect(&controller_, &LoginViewController::focusRequested, this,
        [this](Field field) { fieldEdit(field)->setFocus(); });
    refresh();
    // A form usable from the start (the add-account panel) gets no request.
    if (controller_.isEnabled())
        fieldEdit(controller_.firstField())->setFocus();
}

QLineEdit* LoginView::fieldEdit(Field field) const
{
    switch (field) {
    case Field::Account:
        return accountText_->lineEdit();
    case Field::Password:
        return passwordText_;
    case Field::IdentifyingCode:
        return identifyingCodeText_;
    case Field::Token:
        return securityModeQeltText_;
    }
    return passwordText_;
}

bool LoginView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && !(key->modifiers() & ~Qt::KeypadModifier)) {
            static constexpr Field kFields[]
                = { Field::Account, Field::Password, Field::IdentifyingCode, Field::Token };
            for (const Field field : kFields) {
                QLineEdit* edit = fieldEdit(field);
                if (watched == edit || watched == edit->focusProxy()) {
                    controller_.controlEditEnd(field);
                    return true;
                }
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LoginView::forwardEdits(QLineEdit* edit, Field field)
{
    edit->installEventFilter(this);
    if (QWidget* proxy = edit->focusProxy())
        proxy->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
        controller_.controlTextDidChange(field, text);
    });
    connect(edit, &QLineEdit::returnPressed, this, [this, field] {
        // Enter in the last field of the form logs in, as the login button.
        const Field next = controller_.controlEditEnd(field);
        if (next == Field::Account && field != Field::Account && loginButton_->isEnabled()
            && !loginButton_->isChecked())
            loginButton_->click();
    });
}

void LoginView::refresh()
{
    const LoginViewController& c = controller_;
    setItems(accountTypeButton_, LoginViewController::accountTypeTitles(), c.selectedAccountType());
    setItems(regionOfDepartmentButton_, c.areaNames(), c.selectedArea());
    setItems(businessDepartmentButton_, c.branchNames(), c.selectedBranch());
    {
        const QSignalBlocker block(accountText_);
        setItems(accountText_, c.accountItems(), -1);
        accountText_->lineEdit()->setValidator(c.accountFormatter());
        setText(accountText_->lineEdit(), c.text(Field::Account));
    }
    setText(passwordText_, c.text(Field::Password));
    setText(identifyingCodeText_, c.text(Field::IdentifyingCode));
    setText(securityModeQeltText_, c.text(Field::Token));
    {
        const QSignalBlocker block(securitySelectButton_);
        securitySelectButton_->setCurrentIndex(c.isIdentifyingCodeMode() ? 0 : 1);
    }
    accountNameLabel_->setText(c.accountLabel());
    securityModeQeltLabel_->setText(c.tokenLabel() + QStringLiteral("："));
    form_->setRowVisible(regionOfDepartmentButton_, c.isDepartmentOptionShown());
    form_->setRowVisible(businessDepartmentButton_, c.isDepartmentOptionShown());
    form_->setRowVisible(securityModeQeltText_, !c.isIdentifyingCodeMode());
    // No picture (an answer whose image could not be read) shows none, never
    // the one before.
    if (c.identifyingCodeImage().isNull())
        identifyingCodeImage_->setIcon(QIcon());
    else
        identifyingCodeImage_->setIcon(QPixmap::fromImage(c.identifyingCodeImage().scaled(
            identifyingCodeImage_->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    {
        const QSignalBlocker block(saveAccountCheck_);
        saveAccountCheck_->setChecked(c.isSaveAccountChecked());
    }
    const bool editable = c.isEnabled() && !c.isBusy();
    for (QWidget* w : { static_cast<QWidget*>(accountTypeButton_), static_cast<QWidget*>(regionOfDepartmentButton_),
             static_cast<QWidget*>(businessDepartmentButton_), static_cast<QWidget*>(accountText_),
             static_cast<QWidget*>(passwordText_), static_cast<QWidget*>(identifyingCodeText_),
             static_cast<QWidget*>(securityModeQeltText_), static_cast<QWidget*>(securitySelectButton_),
             static_cast<QWidget*>(identifyingCodeImage_), static_cast<QWidget*>(saveAccountCheck_) })
        w->setEnabled(editable);
    loginButton_->setEnabled(c.isEnabled());
    {
        const QSignalBlocker block(loginButton_);
        loginButton_->setChecked(c.isBusy());
    }
    loginButton_->setText(c.isBusy() ? QStringLiteral("取  消") : QStringLiteral("登  录"));
    loginProgress_->setVisible(c.isBusy());
}
