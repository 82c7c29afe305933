#include "platform/windowregion.h"

#include <algorithm>
#include <cmath>

namespace kest {

namespace {

// How many pixels a row loses at each end: the first pixel from the side
// whose centre lies inside the corner ellipse. dy is how far the row's centre
// lies from the ellipse's centre, towards the nearer edge.
int rowInset(double rx, double ry, double dy)
{
    const double spread = rx * std::sqrt(std::max(0.0, 1.0 - (dy / ry) * (dy / ry)));
    // The small allowance keeps a centre that lies exactly on the ellipse in.
    return std::max(0, static_cast<int>(std::ceil(rx - 0.5 - spread - 1e-9)));
}

} // namespace

QRegion roundRectRegion(int right, int bottom, int ellipseWidth, int ellipseHeight)
{
    const int width = right - 1;
    const int height = bottom - 1;
    if (width <= 0 || height <= 0)
        return {};
    const int ew = std::min(ellipseWidth, width);
    const int eh = std::min(ellipseHeight, height);
    if (ew <= 0 || eh <= 0)
        return QRegion(0, 0, width, height);
    const double rx = ew / 2.0;
    const double ry = eh / 2.0;

    // Rows that lose the same number of pixels are added as one rectangle.
    QRegion region;
    int runStart = 0;
    int runInset = -1;
    const auto closeRun = [&](int end) {
        if (runInset >= 0 && width - 2 * runInset > 0)
            region += QRect(runInset, runStart, width - 2 * runInset, end - runStart);
    };
    for (int y = 0; y < height; ++y) {
        const double fromTop = y + 0.5;
        const double nearest = std::min(fromTop, height - fromTop);
        const int inset = nearest < ry ? rowInset(rx, ry, ry - nearest) : 0;
        if (inset != runInset) {
            closeRun(y);
            runStart = y;
            runInset = inset;
        }
    }
    closeRun(height);
    return region;
}

QSize toDeviceSize(QSize logical, qreal scale)
{
    return QSize(qRound(logical.width() * scale), qRound(logical.height() * scale));
}

QRegion toDeviceRegion(const QRegion& logical, qreal scale)
{
    if (scale == 1.0)
        return logical;
    QRegion device;
    for (const QRect& r : logical) {
        const int left = qRound(r.left() * scale);
        const int top = qRound(r.top() * scale);
        const int right = qRound((r.right() + 1) * scale);
        const int bottom = qRound((r.bottom() + 1) * scale);
        if (right > left && bottom > top)
            device += QRect(left, top, right - left, bottom - top);
    }
    return device;
}

QRegion toLogicalRegion(const QRegion& device, qreal scale)
{
    if (scale == 1.0)
        return device;
    QRegion logical;
    for (const QRect& r : device) {
        const int left = static_cast<int>(std::floor(r.left() / scale));
        const int top = static_cast<int>(std::floor(r.top() / scale));
        const int right = static_cast<int>(std::ceil((r.right() + 1) / scale));
        const int bottom = static_cast<int>(std::ceil((r.bottom() + 1) / scale));
        logical += QRect(left, top, right - left, bottom - top);
    }
    return logical;
}

QRegion deviceRoundRectRegion(QSize logical, int ellipseWidth, int ellipseHeight, qreal scale)
{
    const QSize device = toDeviceSize(logical, scale);
    return roundRectRegion(device.width() + 1, device.height() + 1, qRound(ellipseWidth * scale),
        qRound(ellipseHeight * scale));
}

} // namespace kest
