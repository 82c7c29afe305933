#pragma once

#include <QRect>

#include <cstdint>

namespace kest {

// The height, in twips, of a taskbar along the bottom of the screen: the strip
// between the bottom of the work area and the bottom of the screen. A panel at
// the top or at a side leaves the bottom of the work area where the screen
// ends, so it counts as no taskbar. Rectangles in pixels; the work area is
// read relative to the screen's own top. Never negative; at most 32767 (the
// result is a 16-bit number).
std::int16_t taskbarHeightTwips(const QRect& screen, const QRect& workArea);

// The same for the primary screen and its work area (0 without a screen).
std::int16_t GetTaskbarHeight();

} // namespace kest
