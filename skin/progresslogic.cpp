#include "skin/progresslogic.h"

#include "platform/pictures.h"
#include "platform/units.h"

#include <QPainter>

namespace kest::progress {

bool Range::setMin(std::int32_t newMin)
{
    if (newMin < 0 || newMin >= max)
        return false;
    min = newMin;
    if (value < newMin)
        value = newMin;
    return true;
}

bool Range::setMax(std::int32_t newMax)
{
    if (newMax <= min)
        return false;
    max = newMax;
    if (newMax < value)
        value = newMax;
    return true;
}

bool Range::setValue(std::int32_t newValue)
{
    if (newValue < min || newValue > max)
        return false;
    value = newValue;
    return true;
}

std::optional<int> fillEnd(int width, const Range& range)
{
    if (range.max <= range.min)
        return std::nullopt;
    // In 64 bits and doubles: a range read from a property bag may span the
    // whole 32-bit range, and a value outside it must not wrap around.
    const double span = static_cast<double>(range.max) - static_cast<double>(range.min);
    const double done = static_cast<double>(range.value) - static_cast<double>(range.min);
    const double f = (width - 2) / span * done + 1;
    if (f < -1e9)
        return -1000000000;
    if (f > 1e9)
        return 1000000000;
    return roundHalfEven(f);
}

QImage renderBar(const QImage& skin, int width, const Range& range, qreal ratio)
{
    QImage image = deviceSurface(QSize(qMax(width, 0), kBarHeight), ratio);
    if (image.isNull())
        return image;
    image.fill(Qt::transparent);
    if (skin.isNull())
        return image;
    QPainter painter(&image);
    const int skinHeight = logicalSize(skin).height();
    auto piece = [&](int column, int columns, int x, int w) {
        if (w > 0)
            drawSkinPiece(
                painter, QRect(x, 0, w, kBarHeight), skin, QRect(column, 0, columns, skinHeight));
    };
    piece(0, kCapWidth, 0, kCapWidth);
    piece(3, 2, kCapWidth, width - 2 * kCapWidth);
    piece(5, kCapWidth, width - kCapWidth, kCapWidth);
    const int f = fillEnd(width, range).value_or(1);
    // The track leaves the right cap's last column showing, and so does a bar
    // with an empty range, which draws as if Value were Min.
    const int from = qMax(f, 1);
    if (width - from - 1 > 0)
        piece(8, 2, from, width - from - 1);
    return image;
}

} // namespace kest::progress
