#pragma once

#include <QRegion>

class QWidget;

namespace kest {

// Device pixels per logical pixel of a top-level window (its screen's ratio).
qreal windowScale(const QWidget* window);

// Gives a top-level window the shape `device`, in device pixels. At scale 1
// this is QWidget::setMask. At other scales the widget layer gets the
// logical pixels the shape touches (for its own hit tests), and the
// windowing system gets the device pixels themselves through the X11 SHAPE
// extension: setMask would scale each rectangle's position and size apart
// and, at fractional scales, open seams between rows and columns. An empty
// shape is refused (false), since it would remove the shape instead of
// hiding everything; without X11 the widget layer's shape is all there is.
bool setWindowShape(QWidget* window, const QRegion& device);

// Gives a top-level window rounded corners (roundRectRegion over the whole
// window), cut on the device pixels of the window's size as the windowing
// system has it. That size is not always the logical size times the scale
// rounded (a window restored to 1036 x 639 logical pixels at 150 % is 958
// device pixels high), and it can settle after the resize event, so at
// scales other than 1 the shape is cut again whenever the native window's
// size changes, for as long as the window exists.
void setRoundedWindowShape(QWidget* window, int ellipseWidth, int ellipseHeight);

} // namespace kest
