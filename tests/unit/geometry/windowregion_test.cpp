// The rounded window shape, pinned pixel for pixel: the launcher's dialogs and
// main window and the updater's window all take their outline from it.
#include "platform/windowregion.h"

#include <QRegion>

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

using namespace kest;

namespace {

// The shape is symmetric left to right and top to bottom, so a row of the
// table names the pixels cut from each end of the top rows, down to the first
// full row; the rows below mirror them.
struct ShapeRow {
    const char* name;
    int right;
    int bottom;
    int ellipseWidth;
    int ellipseHeight;
    std::vector<int> topInsets;
};

QRegion shapeFrom(int width, int height, const std::vector<int>& insets)
{
    QRegion shape;
    for (int y = 0; y < height; ++y) {
        const int fromEdge = std::min(y, height - 1 - y);
        const int inset = fromEdge < int(insets.size()) ? insets[fromEdge] : 0;
        if (width - 2 * inset > 0)
            shape += QRect(inset, y, width - 2 * inset, 1);
    }
    return shape;
}

std::string describeTop(const QRegion& shape)
{
    std::ostringstream out;
    const QRect box = shape.boundingRect();
    for (int y = 0; y < box.height() / 2; ++y) {
        int x = 0;
        while (x < box.width() && !shape.contains(QPoint(x, y)))
            ++x;
        out << x << ' ';
        if (x == 0)
            break;
    }
    return out.str();
}

TEST(WindowRegion, RoundRectRegionKeepsItsPixels)
{
    const std::vector<ShapeRow> rows = {
        { "launcher dialog", 243, 141, 4, 4, { 1, 0 } },
        { "updater window", 306, 145, 6, 6, { 1, 0 } },
        { "main window corners", 1001, 701, 6, 6, { 1, 0 } },
        { "odd flat corners", 101, 61, 21, 7, { 5, 2, 0 } },
        { "large corners", 101, 61, 20, 20, { 7, 5, 3, 2, 2, 1, 1, 0 } },
        { "corner larger than the shape", 21, 21, 500, 500, { 7, 5, 3, 2, 2, 1, 1, 0 } },
        { "tall narrow corners", 61, 101, 7, 31, { 3, 2, 2, 1, 1, 1, 1, 1, 0 } },
        { "no corner", 11, 11, 0, 0, { 0 } },
        // Below two pixels a side there is no shape at all.
        { "one pixel wide", 1, 50, 4, 4, {} },
        { "no height", 50, 0, 4, 4, {} },
        { "negative width", -5, 50, 4, 4, {} },
    };
    for (const ShapeRow& row : rows) {
        const QRegion actual
            = roundRectRegion(row.right, row.bottom, row.ellipseWidth, row.ellipseHeight);
        EXPECT_EQ(actual, shapeFrom(row.right - 1, row.bottom - 1, row.topInsets))
            << row.name << ": top rows lose " << describeTop(actual);
    }
}

// A shape turned over left to right and top to bottom within `box`.
QRegion mirrored(const QRegion& shape, const QRect& box, bool horizontally)
{
    QRegion out;
    for (const QRect& r : shape)
        out += horizontally ? r.translated(box.left() + box.right() - r.left() - r.right(), 0)
                            : r.translated(0, box.top() + box.bottom() - r.top() - r.bottom());
    return out;
}

// Shapes on a screen of 125 % to 200 %: what a seam or an uneven corner looks like
// is one missing or one extra device pixel row, so the checks are exact.
TEST(WindowRegion, DeviceShapesAtEachScale)
{
    for (const qreal scale : { 1.0, 1.25, 1.5, 1.75, 2.0 }) {
        SCOPED_TRACE(scale);
        // A colour-key mask is a stack of one-pixel rows: scaled by position and
        // size apart, rows 2 and 6 lose their device row at 1.25 and the shape
        // shows a seam.
        QRegion rows;
        for (int y = 0; y < 9; ++y)
            rows += QRect(y % 2, y, 40 - y % 2, 1);
        const QRegion deviceRows = toDeviceRegion(rows, scale);
        const QRect box = toDeviceRegion(QRegion(0, 0, 40, 9), scale).boundingRect();
        EXPECT_EQ(deviceRows.boundingRect(), box);
        for (int y = box.top(); y <= box.bottom(); ++y)
            EXPECT_TRUE(deviceRows.contains(QPoint(box.right(), y))) << "seam at device row " << y;
        EXPECT_TRUE((rows - toLogicalRegion(deviceRows, scale)).isEmpty());

        // The rounded windows: exactly the window's device size, each corner
        // the mirror image of the others, and cut at every scale.
        for (const QSize window : { QSize(305, 144), QSize(1036, 639), QSize(241, 139) }) {
            const QRegion shape = deviceRoundRectRegion(window, 6, 6, scale);
            const QRect device(QPoint(0, 0), toDeviceSize(window, scale));
            EXPECT_EQ(shape.boundingRect(), device) << window.width();
            EXPECT_EQ(mirrored(shape, device, true), shape) << window.width();
            EXPECT_EQ(mirrored(shape, device, false), shape) << window.width();
            EXPECT_FALSE(shape.contains(device.topLeft())) << window.width();
            EXPECT_TRUE(shape.contains(QPoint(device.center().x(), 0))) << window.width();
        }
    }
    EXPECT_EQ(deviceRoundRectRegion(QSize(305, 144), 6, 6, 1.0), roundRectRegion(306, 145, 6, 6));
}

} // namespace
