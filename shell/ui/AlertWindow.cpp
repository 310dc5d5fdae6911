#include "shell/ui/AlertWindow.h"

#include "core/NotificationCenter.h"
#include "shell/windows/SessionNotifications.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AlertWindow::AlertWindow(QWidget* parentWindow)
    : ui::Window(parentWindow)
{
    setObjectName(QStringLiteral("alertWindow"));
    contentText_ = new QLabel(this);
    contentText_->setObjectName(QStringLiteral("contentText"));
    contentText_->setTextFormat(Qt::PlainText);
    contentText_->setWordWrap(true);
    contentText_->setMinimumWidth(320);
    auto* confirm = new QPushButton(QStringLiteral("确认"), this);
    confirm->setObjectName(QStringLiteral("confirmButton"));
    confirm->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(confirm);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->addWidget(contentText_);
    layout->addLayout(buttons);
    connect(confirm, &QPushButton::clicked, this, [this] {
        endModal(1);
        close();
    });
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    NotificationCenter::getInstance()->addObserver(
        static_cast<QObject*>(this), [this] { close(); }, sessionnotify::kLockScreen);
}

AlertWindow::~AlertWindow() { NotificationCenter::getInstance()->removeObserver(this); }

int AlertWindow::runModalForParentWindow(QWidget* parentWindow, const QString& title, const QString& content)
{
    auto* window = new AlertWindow(parentWindow);
    window->setWindowTitle(title);
    window->contentText_->setText(content);
    return window->runModal();
}
