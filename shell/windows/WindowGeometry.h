#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

// Placement rules shared by every window, kept free of widgets so that tests
// check them without a screen.
namespace windowgeometry {

// Origin that centres a window of `size` on `reference`:
// reference origin + (reference size - size) / 2, in each axis.
QPointF centredOrigin(const QRectF& reference, const QSizeF& size);

// The lock-cover window over a parent: the parent's frame 40 points lower,
// centred on it, so a band of 20 points stays uncovered at top and bottom.
QRectF coverRect(const QRectF& parentFrame);

} // namespace windowgeometry
