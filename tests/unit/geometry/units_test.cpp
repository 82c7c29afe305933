// Twips to pixels: each layout keeps the rounding it was written with, so the
// two conversions are pinned, and the nearest-pixel one is held to the ways
// the layouts used to round (half to even, and QPoint's division).
#include "platform/units.h"

#include <QPoint>

#include <gtest/gtest.h>

using namespace kest;

namespace {

TEST(Units, TwipsToPixels)
{
    struct Row {
        int twips;
        int rounded;
        int truncated;
    };
    const Row rows[] = {
        { 0, 0, 0 },
        { 7, 0, 0 }, // 0.47
        { 8, 1, 0 }, // 0.53
        { 15, 1, 1 },
        { 22, 1, 1 }, // 1.47
        { 23, 2, 1 }, // 1.53
        { 495, 33, 33 },
        { 730, 49, 48 }, // 48.67
        { 15540, 1036, 1036 },
        { -7, 0, 0 },
        { -8, -1, 0 }, // towards zero, not down
        { -730, -49, -48 },
    };
    for (const Row& row : rows) {
        EXPECT_EQ(twipsToPixelsRounded(row.twips), row.rounded) << row.twips;
        EXPECT_EQ(twipsToPixelsTruncated(row.twips), row.truncated) << row.twips;
        EXPECT_EQ(pixelsToTwips(row.truncated), row.truncated * 15) << row.twips;
    }
}

TEST(Units, NearestPixelAgreesWithTheRoundingsItReplaced)
{
    for (int twips = -40000; twips <= 40000; ++twips) {
        const int rounded = twipsToPixelsRounded(twips);
        ASSERT_EQ(rounded, roundHalfEven(twips / 15.0)) << twips;
        ASSERT_EQ(rounded, (QPoint(twips, 0) / 15).x()) << twips;
    }
}

} // namespace
