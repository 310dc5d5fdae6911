#include "platform/WindowGeometry.h"

#include <algorithm>

namespace windowgeometry {

QPointF centredOrigin(const QRectF& reference, const QSizeF& size)
{
    return { reference.x() + (reference.width() - size.width()) * 0.5,
        reference.y() + (reference.height() - size.height()) * 0.5 };
}

QRectF placedFrame(const QRectF& reference, const QRectF& available, const QSizeF& frameSize)
{
    QPointF origin = centredOrigin(reference, frameSize);
    origin.setX(std::max(std::min(origin.x(), available.right() - frameSize.width()), available.left()));
    origin.setY(std::max(std::min(origin.y(), available.bottom() - frameSize.height()), available.top()));
    return QRectF(origin, frameSize);
}

QRectF coverRect(const QRectF& parentFrame)
{
    const QSizeF size(parentFrame.width(), parentFrame.height() - 40.0);
    return QRectF(centredOrigin(parentFrame, size), size);
}

} // namespace windowgeometry
