#pragma once

#include <QRegion>

namespace kest {

// The shape of a window with rounded corners, the way the platform's
// rounded-rectangle region is: the shape runs from (0, 0) to one pixel short
// of (right, bottom), so callers pass a window's width + 1 and height + 1 for
// a shape of the window's size. Each corner is cut along a quarter of an
// ellipse ellipseWidth x ellipseHeight; a pixel stays when its centre lies
// inside the ellipse. A corner ellipse larger than the shape is taken at the
// shape's size. Empty when right or bottom is below 2.
QRegion roundRectRegion(int right, int bottom, int ellipseWidth, int ellipseHeight);

} // namespace kest
