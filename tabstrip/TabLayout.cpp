#include "TabLayout.h"

namespace kest::tablayout {

int calcTabWidth(int tabStyle, int areaWidth, int count, int lockedCount)
{
    const int full = fullTabWidth(tabStyle);
    // Style 1 leaves a 5-pixel gap after every tab; style 0 keeps the first
    // tab's slanted side (14 pixels) free.
    const int rest = isCapsule(tabStyle) ? areaWidth - full * lockedCount - 5 * count
                                         : areaWidth - full * lockedCount - 14;
    int width = full;
    if (lockedCount < count)
        width = roundHalfEven(static_cast<double>(rest) / (count - lockedCount));
    return width > full ? full : width;
}

std::vector<TabSpan> layoutTabs(int tabStyle, int standardWidth, std::span<const bool> locked)
{
    std::vector<TabSpan> spans;
    spans.reserve(locked.size());
    int x = firstTabLeft(tabStyle);
    for (const bool lock : locked) {
        const int width = lock ? fullTabWidth(tabStyle) : standardWidth;
        spans.push_back({ x, width });
        x += width + tabGap(tabStyle);
    }
    return spans;
}

const Skin& skin(int tabStyle)
{
    static const Skin trapezoid { 25, QSize(122, 25), 1, 123, 245, 367, 379, 391, 403 };
    static const Skin capsule { 28, QSize(124, 26), 1, 125, 249, 373, 385, 397, 409 };
    return isCapsule(tabStyle) ? capsule : trapezoid;
}

QRect bodyRect(int tabStyle, TabSpan tab)
{
    if (isCapsule(tabStyle))
        return QRect(tab.left, 0, tab.width, 26);
    return QRect(tab.left - 14, 0, tab.width + 14, 25);
}

QRect captionBox(int tabStyle, TabSpan tab, bool selected, bool hideButton)
{
    if (isCapsule(tabStyle))
        return QRect(tab.left + 12, 0, tab.width - (hideButton ? 8 : 28), 26);
    // The selected tab keeps room for its glyph even without one, so that its
    // bold caption does not shift when the button is hidden.
    const int cut = selected ? 26 : (hideButton ? 14 : 38);
    return QRect(tab.left, 0, tab.width - cut, 25);
}

QPoint glyphPosition(int tabStyle, TabSpan tab)
{
    if (isCapsule(tabStyle))
        return QPoint(tab.left + tab.width - 20, 7);
    return QPoint(tab.left + tab.width - 24, 6);
}

int bodySourceX(int tabStyle, bool selected, bool hover)
{
    const Skin& s = skin(tabStyle);
    if (selected)
        return s.bodySelectedX;
    return hover ? s.bodyOverX : s.bodyNormalX;
}

int glyphSourceX(int tabStyle, bool selected, bool hover, CloseState state)
{
    const Skin& s = skin(tabStyle);
    if (hover && state == CloseState::Over)
        return s.glyphOverX;
    if (hover && state == CloseState::Pressed)
        return s.glyphPressedX;
    return selected ? s.glyphSelectedX : s.glyphOtherX;
}

} // namespace kest::tablayout
