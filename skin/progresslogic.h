#pragma once

#include <QImage>

#include <cstdint>
#include <optional>

namespace kest::progress {

inline constexpr int kBarHeight = 10; // pixels; the control's fixed height
inline constexpr int kCapWidth = 3;

// The range and position of the progress bar with the setters' acceptance
// rules. A refused value changes nothing and is not an error.
struct Range {
    std::int32_t min = 0;
    std::int32_t max = 100;
    std::int32_t value = 0;

    // 0 <= newMin < max; pulls value up to the new minimum.
    bool setMin(std::int32_t newMin);
    // min < newMax; pulls value down to the new maximum.
    bool setMax(std::int32_t newMax);
    // min <= newValue <= max.
    bool setValue(std::int32_t newValue);
};

// Where the filled part ends on a bar `width` pixels wide:
// ((width - 2) / (max - min)) * (value - min) + 1, rounded half to even.
// Nothing when the range is empty (max <= min), which only a hand-edited
// property set can give; the bar then shows its empty track.
std::optional<int> fillEnd(int width, const Range& range);

// The bar drawn from its 10 x 10 skin: columns 0-2 left cap, 3-4 filled middle
// (stretched), 5-7 right cap, 8-9 empty track (stretched). A null skin draws a
// transparent bar. The surface has device pixel ratio `ratio`; columns are the
// skin's logical columns, so a double-density skin works as the 1x one.
QImage renderBar(const QImage& skin, int width, const Range& range, qreal ratio = 1.0);

} // namespace kest::progress
