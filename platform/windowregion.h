#pragma once

#include <QRegion>
#include <QSize>

namespace kest {

// The shape of a window with rounded corners, the way the platform's
// rounded-rectangle region is: the shape runs from (0, 0) to one pixel short
// of (right, bottom), so callers pass a window's width + 1 and height + 1 for
// a shape of the window's size. Each corner is cut along a quarter of an
// ellipse ellipseWidth x ellipseHeight; a pixel stays when its centre lies
// inside the ellipse. A corner ellipse larger than the shape is taken at the
// shape's size. Empty when right or bottom is below 2.
QRegion roundRectRegion(int right, int bottom, int ellipseWidth, int ellipseHeight);

// The size in device pixels of a window `logical` large: the windowing
// system's window is each side times `scale`, rounded, the way Qt sizes it.
QSize toDeviceSize(QSize logical, qreal scale);

// A shape of logical pixels in device pixels. Each rectangle's edges are
// scaled and rounded, not its position and size apart, so rectangles that
// touch keep touching: scaling sizes (as setMask does at fractional scales)
// opens one-pixel seams between rows or columns and lets a pixel row of the
// neighbour overlap elsewhere.
QRegion toDeviceRegion(const QRegion& logical, qreal scale);

// The logical pixels that a device-pixel shape touches at all: what the
// widget layer hears of a shape that was set in device pixels.
QRegion toLogicalRegion(const QRegion& device, qreal scale);

// roundRectRegion for a window `logical` large at `scale`, computed on the
// device pixels themselves so that every corner is cut along the ellipse at
// full resolution and the four corners stay mirror images of each other.
QRegion deviceRoundRectRegion(QSize logical, int ellipseWidth, int ellipseHeight, qreal scale);

} // namespace kest
