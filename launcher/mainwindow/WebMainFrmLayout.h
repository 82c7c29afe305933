#pragma once

// The main game window's rules that need no window: where each control goes
// on a resize, how pages are keyed, what the menu's refresh reloads and when
// pressing on the tab strip drags the window. Lengths in twips unless a name
// says pixels.

#include <QRect>
#include <QString>

#include <optional>

namespace kest::mainframe {

// The window's design client area, 1036 x 639 pixels.
inline constexpr int kDesignWidth = 15540;
inline constexpr int kDesignHeight = 9585;
// Corner ellipse of the window's rounded shape, pixels.
inline constexpr int kCornerEllipse = 6;

struct LayoutInput {
    int windowWidth = 0; // W
    int clientWidth = 0; // SW
    int clientHeight = 0; // SH
    int tabStripHeight = 0; // the strip keeps its own height
};

// One resize. A step whose result the control could not take (a negative
// width or height) is left out, as a step that fails is skipped while the
// following steps still run.
struct Layout {
    int captionWidth = 0;
    // The shape's right and bottom edge in pixels (width + 1, height + 1).
    std::optional<QPoint> shapeCorner;
    int toolLeft = 0;
    int minLeft = 0;
    int minmaxLeft = 0;
    int closeLeft = 0;
    std::optional<QRect> tabStrip; // left, top, width; height unchanged
    int gameSpaceLeft = 0;
    int otherUserLeft = 0;
    std::optional<QRect> pageArea; // Picture1 and pCnt
};

Layout layoutFor(const LayoutInput& in);

// A rectangle in twips to pixels (twipsToPixelsRounded): the edges are
// rounded, not the sizes, so that buttons whose twip places touch also touch
// in pixels.
QRect toPixels(const QRect& twips);

// Where the window goes when restored: centred on a screen of `screenTwips`,
// each difference rounded to a whole number first and then halved with the
// remainder dropped.
QPoint centredTopLeft(QSize screenTwips, QSize windowTwips);

// The key (and first caption) of the tab of a game page address.
QString pageKey(const QString& address);

// What the menu's refresh reloads: the placeholder while it shows, else the
// selected page.
enum class RefreshTarget { Placeholder, SelectedPage };
RefreshTarget refreshTarget(bool placeholderVisible);

// A press on the strip drags the window when the window is restored and the
// press hit no tab (a negative item code).
bool dragsWindow(bool maximised, int itemIndex);

// The strip's tool tip for the item under the pointer: that tab's caption,
// or nothing off the tabs.
bool showsTabToolTip(int itemIndex, int count);

// Hiding the window is safe only while something can bring it back: the tray
// icon (it needs a notification area) or the hot key. Otherwise the window is
// minimised instead, so that the window manager's task list still has it.
bool mayHide(bool trayAvailable, bool hotKeyHeld);

} // namespace kest::mainframe
