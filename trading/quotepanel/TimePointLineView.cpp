#include "trading/quotepanel/TimePointLineView.h"

#include "trading/quotepanel/QuotePanelGeometry.h"

#include <QMouseEvent>
#include <QPainter>

bool dragHasLeft(const QWidget& widget, const QMouseEvent& move)
{
    return (move.buttons() & Qt::LeftButton)
        && !QRectF(0, 0, widget.width(), widget.height()).contains(move.position());
}

TimePointLineView::TimePointLineView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setObjectName(QStringLiteral("timePointLineView"));
}

void TimePointLineView::setIsMouseDragged(bool on)
{
    const bool ended = isMouseDragged_ && !on;
    isMouseDragged_ = on;
    update();
    if (ended)
        recoverToCurrentQuote();
}

qint64 TimePointLineView::getSelectedTimePointIndex() const
{
    return quotepanel::selectedTimePointIndex(point_.x(), quoteMarketType_);
}

double TimePointLineView::crossHairX() const
{
    return double(qint64(point_.x())) + 0.5;
}

QPointF TimePointLineView::fromWidget(QPointF widgetPoint) const
{
    // The same flip both ways.
    return quotepanel::toWidget(widgetPoint, height());
}

void TimePointLineView::mouseDown(QPointF location)
{
    isMouseEntered_ = true;
    isMouseDragged_ = true;
    point_ = quotepanel::clampToOverlay(location, width(), height());
    update();
    updateToSelectedQuote();
}

void TimePointLineView::mouseDragged(QPointF location)
{
    if (!isMouseEntered_ || !isMouseDragged_)
        return;
    // A move reported on the very edge stays on the chart.
    point_ = quotepanel::clampToOverlay(location, width(), height());
    update();
    updateToSelectedQuote();
}

void TimePointLineView::mouseUp()
{
    setIsMouseDragged(false);
}

void TimePointLineView::mouseEntered()
{
    isMouseEntered_ = true;
    if (isMouseDragged_) {
        update();
        updateToSelectedQuote();
    }
}

void TimePointLineView::mouseExited(QPointF location)
{
    if (isMouseEntered_ && isMouseDragged_) {
        point_.setX(quotepanel::exitX(location.x(), width()));
        update();
        updateToSelectedQuote();
    }
    isMouseEntered_ = false;
}

void TimePointLineView::updateToSelectedQuote()
{
    if (auto* d = updateDelegate_.get())
        d->updateTimesahringInfo(getSelectedTimePointIndex());
}

void TimePointLineView::recoverToCurrentQuote()
{
    if (auto* d = updateDelegate_.get())
        d->recoverToCurrent();
}

void TimePointLineView::paintEvent(QPaintEvent*)
{
    if (!isMouseDragged_)
        return;
    QPainter painter(this);
    const double h = height();
    const double x = crossHairX();
    painter.setPen(QPen(Qt::white, 0.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawLine(quotepanel::toWidget({ x, 1.0 }, h), quotepanel::toWidget({ x, h }, h));
}

void TimePointLineView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        mouseDown(fromWidget(event->position()));
}

void TimePointLineView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPointF location = fromWidget(event->position());
    if (dragHasLeft(*this, *event)) {
        if (isMouseEntered_)
            mouseExited(location);
        // On to the panel, which ends the drag once it has left the panel too.
        event->ignore();
        return;
    }
    if (!isMouseEntered_)
        mouseEntered();
    mouseDragged(location);
}

void TimePointLineView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        mouseUp();
}

void TimePointLineView::enterEvent(QEnterEvent*)
{
    mouseEntered();
}

void TimePointLineView::leaveEvent(QEvent*)
{
    // Only without a button held: a drag's leaving shows in its moves.
    isMouseEntered_ = false;
}
