#include "shell/ui/LockScreenWindow.h"

#include "platform/WindowGeometry.h"

#include <QPainter>

LockScreenWindow::LockScreenWindow(QWidget* parentWindow)
    : ui::Window(parentWindow, Qt::FramelessWindowHint | Qt::Tool)
{
    setObjectName(QStringLiteral("lockScreenWindow"));
    setAttribute(Qt::WA_TranslucentBackground);
}

void LockScreenWindow::parentCenter()
{
    if (QWidget* parent = parentWidget())
        setGeometry(windowgeometry::coverRect(QRectF(parent->window()->frameGeometry())).toRect());
}

void LockScreenWindow::showOverParent()
{
    parentCenter();
    show();
    raise();
}

void LockScreenWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgbF(0.9f, 0.9f, 0.9f, 0.1f));
}
