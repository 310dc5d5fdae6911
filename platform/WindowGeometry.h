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

// Where a window's frame of `frameSize` goes: centred on `reference`, then
// moved into `available` (the screen's usable area). A frame larger than
// `available` keeps its top left corner on it, so that its title bar, and
// the window's move and close with it, stay reachable.
QRectF placedFrame(const QRectF& reference, const QRectF& available, const QSizeF& frameSize);

// The lock-cover window over a parent: the parent's frame 40 points lower,
// centred on it, so a band of 20 points stays uncovered at top and bottom.
QRectF coverRect(const QRectF& parentFrame);

} // namespace windowgeometry
