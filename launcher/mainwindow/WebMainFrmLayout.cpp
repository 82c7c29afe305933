#include "launcher/mainwindow/WebMainFrmLayout.h"

#include "platform/units.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace kest::mainframe {

namespace {

constexpr int kCloseFromRight = 730;
constexpr int kMinmaxFromRight = 1105;
constexpr int kMinFromRight = 1465;
constexpr int kToolFromRight = 1825;
constexpr int kTabStripLeft = 1600;
constexpr int kTabStripTop = 45;
constexpr int kTabStripShorter = 6900;
constexpr int kGameSpaceFromRight = 3300;
constexpr int kOtherUserFromRight = 4850;
constexpr int kPageMargin = 60;

std::int16_t toInt16(long value)
{
    return static_cast<std::int16_t>(std::clamp<long>(
        value, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

} // namespace

QRect toPixels(const QRect& twips)
{
    // Right and bottom edges are rounded, not the sizes, so neighbours that
    // touch in twips touch in pixels too.
    const int left = twipsToPixelsRounded(twips.x());
    const int top = twipsToPixelsRounded(twips.y());
    return { left, top, twipsToPixelsRounded(twips.x() + twips.width()) - left,
        twipsToPixelsRounded(twips.y() + twips.height()) - top };
}

Layout layoutFor(const LayoutInput& in)
{
    Layout out;
    out.captionWidth = std::max(0, in.windowWidth);

    // The shape's corner is one pixel past the client size, rounded: a whole
    // number of twips lies off the halfway point, so rounding the size and
    // adding the pixel is the same as rounding the size plus one.
    if (in.clientWidth >= 0 && in.clientHeight >= 0)
        out.shapeCorner = QPoint(toInt16(twipsToPixelsRounded(in.clientWidth) + 1),
            toInt16(twipsToPixelsRounded(in.clientHeight) + 1));

    out.closeLeft = in.windowWidth - kCloseFromRight;
    out.minmaxLeft = in.windowWidth - kMinmaxFromRight;
    out.minLeft = in.windowWidth - kMinFromRight;
    out.toolLeft = in.windowWidth - kToolFromRight;

    const int stripWidth = in.clientWidth - kTabStripShorter;
    if (stripWidth >= 0)
        out.tabStrip = QRect(kTabStripLeft, kTabStripTop, stripWidth, in.tabStripHeight);

    out.gameSpaceLeft = in.clientWidth - kGameSpaceFromRight;
    out.otherUserLeft = in.clientWidth - kOtherUserFromRight;

    const int pageWidth = in.clientWidth - 2 * kPageMargin;
    const int pageHeight = in.clientHeight - in.tabStripHeight - kPageMargin;
    if (pageWidth >= 0 && pageHeight >= 0)
        out.pageArea = QRect(kPageMargin, in.tabStripHeight, pageWidth, pageHeight);
    return out;
}

QPoint centredTopLeft(QSize screenTwips, QSize windowTwips)
{
    // Integer division truncates towards zero, as the halving does: a window
    // larger than the screen goes as far left as it overhangs, halved.
    return { (screenTwips.width() - windowTwips.width()) / 2,
        (screenTwips.height() - windowTwips.height()) / 2 };
}

QString pageKey(const QString& address)
{
    return QStringLiteral("Game") + address;
}

RefreshTarget refreshTarget(bool placeholderVisible)
{
    return placeholderVisible ? RefreshTarget::Placeholder : RefreshTarget::SelectedPage;
}

bool dragsWindow(bool maximised, int itemIndex)
{
    return !maximised && itemIndex < 0;
}

bool showsTabToolTip(int itemIndex, int count)
{
    return itemIndex >= 0 && itemIndex < count;
}

bool mayHide(bool trayAvailable, bool hotKeyHeld)
{
    return trayAvailable || hotKeyHeld;
}

} // namespace kest::mainframe
