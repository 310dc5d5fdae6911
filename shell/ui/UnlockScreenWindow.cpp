#include "shell/ui/UnlockScreenWindow.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

UnlockScreenWindow::UnlockScreenWindow(UnlockScreenWindowController::Services services, QWidget* parent)
    : ui::Window(parent)
    , controller_(services)
    , alerts_(this)
{
    setObjectName(QStringLiteral("unlockScreenWindow"));
    setWindowTitle(QStringLiteral("解锁"));
    controller_.setAlertPresenter(&alerts_);
    customerNumberText_ = new QLabel(controller_.customerNumberText(), this);
    customerNumberText_->setObjectName(QStringLiteral("customerNumberText"));
    passwordText_ = new QLineEdit(this);
    passwordText_->setObjectName(QStringLiteral("passwordText"));
    passwordText_->setEchoMode(QLineEdit::Password);
    passwordText_->setValidator(controller_.passwordFormatter());
    progressIndicator_ = new QProgressBar(this);
    progressIndicator_->setObjectName(QStringLiteral("progressIndicator"));
    progressIndicator_->setRange(0, 0);
    progressIndicator_->setMaximumHeight(4);
    progressIndicator_->setTextVisible(false);
    // Its row stays while it is hidden: a check never resizes the window.
    QSizePolicy keepsItsRow = progressIndicator_->sizePolicy();
    keepsItsRow.setRetainSizeWhenHidden(true);
    progressIndicator_->setSizePolicy(keepsItsRow);
    unlockButton_ = new QPushButton(QStringLiteral("解锁"), this);
    unlockButton_->setObjectName(QStringLiteral("unlockButton"));
    unlockButton_->setCheckable(true);
    unlockButton_->setDefault(true);
    exitButton_ = new QPushButton(this);
    exitButton_->setObjectName(QStringLiteral("exitButton"));
    tipLabel_ = new QLabel(QStringLiteral("屏幕已锁定，请输入当前账户的交易密码解锁。"), this);
    tipLabel_->setObjectName(QStringLiteral("tipLabel"));
    // Whole lines only: a wrapped tip would break wherever the width ends.
    tipLabel_->setWordWrap(false);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("客户号："), customerNumberText_);
    form->addRow(QStringLiteral("交易密码："), passwordText_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(exitButton_);
    buttons->addWidget(unlockButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->addWidget(tipLabel_);
    layout->addLayout(form);
    layout->addWidget(progressIndicator_);
    layout->addLayout(buttons);
    setMinimumWidth(360);

    connect(passwordText_, &QLineEdit::textEdited, &controller_, &UnlockScreenWindowController::setPassword);
    connect(passwordText_, &QLineEdit::returnPressed, this, [this] {
        if (!controller_.isChecking())
            controller_.unlockButtonClicked(true);
    });
    connect(unlockButton_, &QPushButton::clicked, &controller_, &UnlockScreenWindowController::unlockButtonClicked);
    connect(exitButton_, &QPushButton::clicked, &controller_, &UnlockScreenWindowController::exitButtonClicked);
    connect(&controller_, &UnlockScreenWindowController::changed, this, &UnlockScreenWindow::refresh);
    connect(&controller_, &UnlockScreenWindowController::closeRequested, this, &QWidget::close);
    connect(&controller_, &UnlockScreenWindowController::passwordFocusRequested, passwordText_,
        [this] {
            // The next try replaces what was typed, as a field taking the
            // focus by the keyboard would.
            passwordText_->setFocus();
            passwordText_->selectAll();
        });
    refresh();
}

UnlockScreenWindow::~UnlockScreenWindow() = default;

void UnlockScreenWindow::refresh()
{
    const bool checking = controller_.isChecking();
    customerNumberText_->setText(controller_.customerNumberText());
    passwordText_->setEnabled(!checking);
    exitButton_->setEnabled(!checking);
    exitButton_->setText(controller_.exitButtonTitle());
    progressIndicator_->setVisible(checking);
    const QSignalBlocker block(unlockButton_);
    unlockButton_->setChecked(checking);
    if (!controller_.tip().isEmpty())
        tipLabel_->setText(displayedTip(controller_.tip()));
    if (passwordText_->text() != controller_.password())
        passwordText_->setText(controller_.password());
}

QString UnlockScreenWindow::displayedTip(const QString& tip)
{
    static const QString clauseEnds = QStringLiteral("，。；！？：,;:");
    QString out;
    out.reserve(tip.size());
    for (qsizetype i = 0; i < tip.size(); ++i) {
        const QChar c = tip.at(i);
        // Between two Chinese characters a break may split a word; between
        // Latin letters it parts two words and stays.
        const bool insideWord = c == u'\n' && i > 0 && i + 1 < tip.size()
            && tip.at(i - 1).script() == QChar::Script_Han && tip.at(i + 1).script() == QChar::Script_Han;
        if (!insideWord) {
            out.append(c);
            continue;
        }
        // After the last clause of this line, if it has one.
        const qsizetype lineStart = out.lastIndexOf(u'\n') + 1;
        for (qsizetype at = out.size() - 1; at >= lineStart; --at) {
            if (clauseEnds.contains(out.at(at))) {
                if (at + 1 < out.size())
                    out.insert(at + 1, u'\n');
                break;
            }
        }
    }
    return out;
}

int UnlockScreenWindow::runModal(const QString& tip, const QString& closeButtonTitle)
{
    controller_.setTip(tip);
    controller_.setExitButtonTitle(closeButtonTitle);
    refresh();
    return ui::Window::runModal();
}

void UnlockScreenWindow::willClose()
{
    passwordText_->clear();
    endModal(int(controller_.windowWillClose()));
}
