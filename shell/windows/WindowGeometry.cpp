#include "shell/windows/WindowGeometry.h"

namespace windowgeometry {

QPointF centredOrigin(const QRectF& reference, const QSizeF& size)
{
    return { reference.x() + (reference.width() - size.width()) * 0.5,
        reference.y() + (reference.height() - size.height()) * 0.5 };
}

QRectF coverRect(const QRectF& parentFrame)
{
    const QSizeF size(parentFrame.width(), parentFrame.height() - 40.0);
    return QRectF(centredOrigin(parentFrame, size), size);
}

} // namespace windowgeometry
