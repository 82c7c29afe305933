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
    };
    for (const ShapeRow& row : rows) {
        const QRegion actual
            = roundRectRegion(row.right, row.bottom, row.ellipseWidth, row.ellipseHeight);
        EXPECT_EQ(actual, shapeFrom(row.right - 1, row.bottom - 1, row.topInsets))
            << row.name << ": top rows lose " << describeTop(actual);
    }
}

TEST(WindowRegion, NoShapeBelowTwoPixels)
{
    EXPECT_TRUE(roundRectRegion(1, 50, 4, 4).isEmpty());
    EXPECT_TRUE(roundRectRegion(50, 0, 4, 4).isEmpty());
    EXPECT_TRUE(roundRectRegion(-5, 50, 4, 4).isEmpty());
}

} // namespace
