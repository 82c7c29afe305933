#pragma once

// The strip's arithmetic: tab widths and positions, the skins' regions and the
// hit test. Sizes in, positions out, no window: the strip calls these and the
// tests call them directly.

#include "platform/units.h"

#include <QPoint>
#include <QRect>

#include <span>
#include <vector>

namespace kest::tablayout {

// Style 0: trapezoid tabs on a 25-pixel strip; any other value: capsule tabs
// on a 32-pixel strip.
inline bool isCapsule(int tabStyle)
{
    return tabStyle != 0;
}
inline int stripHeight(int tabStyle)
{
    return isCapsule(tabStyle) ? 32 : 25;
}

// Full width of a tab whose LockSize is set (also the cap of every other tab).
inline int fullTabWidth(int tabStyle)
{
    return isCapsule(tabStyle) ? 200 : 108;
}
// Where the first tab starts inside the tab area: the trapezoid's slanted
// left side needs room.
inline int firstTabLeft(int tabStyle)
{
    return isCapsule(tabStyle) ? 0 : 14;
}
// Gap between neighbouring tabs.
inline int tabGap(int tabStyle)
{
    return isCapsule(tabStyle) ? 5 : 0;
}

// Width of the area the tabs share: from TabLeftSize to W - TabRightSize.
inline int tabAreaWidth(int clientWidth, int tabLeftSize, int tabRightSize)
{
    return clientWidth - tabLeftSize - tabRightSize;
}

// Width of every tab without LockSize. No lower bound: many tabs give narrow
// tabs, down to 0 or below.
int calcTabWidth(int tabStyle, int areaWidth, int count, int lockedCount);

struct TabSpan {
    int left = 0;
    int width = 0;
    friend bool operator==(const TabSpan&, const TabSpan&) = default;
};

// Left and Width of each tab in index order, from each tab's LockSize.
std::vector<TabSpan> layoutTabs(int tabStyle, int standardWidth, std::span<const bool> locked);

// Which body, caption box and glyph a tab shows.
enum class CloseState { None = 0, Over = 1, Pressed = 2 };

struct Skin {
    int backgroundHeight; // of the 1-pixel background column
    QSize bodySize; // of one tab body in the skin
    int bodyNormalX, bodyOverX, bodySelectedX;
    int glyphSelectedX, glyphOtherX, glyphOverX, glyphPressedX;
};
const Skin& skin(int tabStyle);
inline constexpr int kGlyphSize = 12;

// Where a tab's body goes, relative to the tab area (style 0 starts 14 pixels
// left of the tab so that its slanted side lies under the previous tab).
QRect bodyRect(int tabStyle, TabSpan tab);
// The box the caption is fitted into.
QRect captionBox(int tabStyle, TabSpan tab, bool selected, bool hideButton);
// Top-left corner of the 12 x 12 close glyph.
QPoint glyphPosition(int tabStyle, TabSpan tab);
// Skin x of the body / glyph to draw. `hover` is true when the tab is the one
// under the pointer; `state` only counts for that tab.
int bodySourceX(int tabStyle, bool selected, bool hover);
int glyphSourceX(int tabStyle, bool selected, bool hover, CloseState state);

// Hit codes besides 0..Count-1.
inline constexpr int kHitNoTab = -1; // in the tab area, on no tab; or no tabs at all
inline constexpr int kHitMargin = -2; // left or right margin
inline constexpr int kHitOutside = -3; // outside the strip

struct HitResult {
    int code = kHitOutside;
    bool overClose = false;
    friend bool operator==(const HitResult&, const HitResult&) = default;
};

struct HitTab {
    int left = 0;
    int width = 0;
    bool hideButton = false;
};

struct HitArea {
    int tabStyle = 0;
    int clientWidth = 0; // W
    int tabLeftSize = 40;
    int tabRightSize = 0;
};

// The tab (or code) under (x, y), in pixels relative to the strip. `tabAt(i)`
// gives tab i as a HitTab; it is asked for tabs in index order until one
// matches, so the strip needs no copy of its list.
template <typename TabAt>
HitResult hitTest(const HitArea& area, double x, double y, int count, TabAt&& tabAt)
{
    const int ix = roundHalfEven(x);
    const int iy = roundHalfEven(y);
    // Only the top 25 rows count, in both styles: the lower rows of the
    // 32-pixel strip lie below the capsules.
    if (ix < 0 || ix > area.clientWidth || iy < 0 || iy > 25)
        return { kHitOutside, false };
    if (ix > area.clientWidth - area.tabRightSize || ix < area.tabLeftSize)
        return { kHitMargin, false };
    if (count <= 0)
        return { kHitNoTab, false };
    const int u = ix - area.tabLeftSize;
    if (u <= 14)
        return { 0, false };
    const bool capsule = isCapsule(area.tabStyle);
    for (int i = 0; i < count; ++i) {
        const HitTab tab = tabAt(i);
        const int right = tab.left + tab.width;
        if (u < tab.left || u > right)
            continue;
        bool overClose = false;
        if (!tab.hideButton) {
            overClose = capsule ? (right - 20 <= u && u <= right - 8 && 7 <= iy && iy <= 19)
                                : (right - 24 <= u && u <= right - 12 && 6 <= iy && iy <= 18);
        }
        return { i, overClose };
    }
    return { kHitNoTab, false };
}

inline HitResult hitTest(const HitArea& area, double x, double y, std::span<const HitTab> tabs)
{
    return hitTest(area, x, y, static_cast<int>(tabs.size()),
        [&](int i) { return tabs[static_cast<size_t>(i)]; });
}

} // namespace kest::tablayout
