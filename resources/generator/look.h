#pragma once

#include <QColor>

// The shared look of every picture: one blue and white palette, and the caption
// gradient that the caption skin, the caption buttons and the tab strip background
// must agree on pixel for pixel.
namespace resgen::look {

inline const QColor outline { 0x0E, 0x4A, 0x8A }; // outer edge of windows and shapes
inline const QColor titleHighlight { 0x9F, 0xD0, 0xF8 }; // row 1 of the caption
inline const QColor titleTop { 0x5E, 0xAB, 0xEF }; // caption gradient, row 2
inline const QColor titleBottom { 0x1F, 0x6D, 0xC0 }; // caption gradient, row 33
inline const QColor borderOuter { 0x2A, 0x78, 0xC8 }; // window border, next to the outline
inline const QColor borderMiddle { 0x36, 0x85, 0xD3 };
inline const QColor borderInner { 0x6C, 0xAC, 0xE8 }; // window border, next to the client
inline const QColor client { 0xFF, 0xFF, 0xFF };
inline const QColor magenta { 0xFF, 0x00, 0xFF }; // transparent in skin bitmaps

// Height of the caption gradient (rows 0 to 33): covers the 500-twip caption bar
// whichever way its 33.3 pixels are rounded.
inline constexpr int titleRows = 34;

// The caption colour at window row y (0 = top row): outline, highlight, then a linear
// gradient; rows below the caption keep the last colour. Fractional rows interpolate.
QColor titleColor(double y);

// Linear mix: t = 0 gives a, t = 1 gives b.
QColor mix(const QColor& a, const QColor& b, double t);

} // namespace resgen::look
