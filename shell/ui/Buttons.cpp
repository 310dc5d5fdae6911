#include "shell/ui/Buttons.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

ColorRectButton::ColorRectButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent)
{
    setFlat(true);
    setMouseTracking(true);
}

QRectF ColorRectButton::trackingRect(const QRectF& bounds)
{
    return QRectF(bounds.x() + 1.0, bounds.y() + 5.0, bounds.width() - 2.0, bounds.height() - 14.0);
}

void ColorRectButton::setEntered(bool entered)
{
    if (entered == isEntered_)
        return;
    isEntered_ = entered;
    update();
}

void ColorRectButton::mouseMoveEvent(QMouseEvent* event)
{
    setEntered(trackingRect(QRectF(rect())).contains(event->position()));
    QPushButton::mouseMoveEvent(event);
}

void ColorRectButton::leaveEvent(QEvent* event)
{
    setEntered(false);
    QPushButton::leaveEvent(event);
}

void ColorRectButton::paintEvent(QPaintEvent* event)
{
    QPushButton::paintEvent(event);
    if (!isEntered_)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(boundsColor_.isValid() ? boundsColor_ : QColor(Qt::white), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    painter.setPen(pen);
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addRoundedRect(trackingRect(QRectF(rect())), 3.0, 1.0);
    painter.drawPath(path);
}

CursorButton::CursorButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent)
{
    setFlat(true);
}

void CursorButton::setCursor(const std::optional<QCursor>& cursor)
{
    if (cursor)
        QPushButton::setCursor(*cursor);
    else
        unsetCursor();
}

