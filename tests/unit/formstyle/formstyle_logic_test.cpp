// The sizing rules of the borderless form, one named row per case.
#include "winhook/ModGetTaskbarHei.h"
#include "winhook/cSetStyle.h"

#include <QRegion>

#include <gtest/gtest.h>

using namespace kest;
using namespace kest::formstyle;

namespace {

// A 1000 x 700 window at (100, 50): right 1100, bottom 750.
const WinRect kWindow { 100, 50, 1100, 750 };

struct HitRow {
    const char* name;
    QPoint cursor;
    int code;
};

class HitTestRows : public ::testing::TestWithParam<HitRow> { };

TEST_P(HitTestRows, GivesTheEdgeUnderThePointer)
{
    EXPECT_EQ(hitTest(kWindow, GetParam().cursor), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Edges, HitTestRows,
    ::testing::Values(HitRow { "BottomLeftCorner", { 100, 750 }, HitBottomLeft },
        HitRow { "TopLeftCorner", { 103, 47 }, HitTopLeft },
        HitRow { "BottomRightCorner", { 1099, 749 }, HitBottomRight },
        HitRow { "TopRightCorner", { 1105, 55 }, HitTopRight },
        HitRow { "TopEdge", { 600, 50 }, HitTop },
        HitRow { "RightEdgeFromInside", { 1096, 400 }, HitRight },
        HitRow { "RightEdgeFromOutside", { 1105, 400 }, HitRight },
        HitRow { "BottomEdge", { 600, 745 }, HitBottom },
        HitRow { "LeftEdge", { 104, 400 }, HitLeft },
        // Six pixels in is past the band: no drag starts there.
        HitRow { "SixPixelsInsideLeft", { 106, 400 }, HitNone },
        HitRow { "SixPixelsInsideBottom", { 600, 744 }, HitNone },
        HitRow { "Middle", { 600, 400 }, HitNone }, HitRow { "FarOutside", { 50, 400 }, HitNone },
        // The corners reach five pixels along each edge; the edges start after.
        HitRow { "FivePixelsAlongTopIsCorner", { 105, 50 }, HitTopLeft },
        HitRow { "SixPixelsAlongTopIsEdge", { 106, 50 }, HitTop },
        HitRow { "FivePixelsDownRightIsCorner", { 1100, 55 }, HitTopRight },
        HitRow { "SixPixelsDownRightIsEdge", { 1100, 56 }, HitRight },
        HitRow { "FivePixelsAlongBottomFromRightIsCorner", { 1095, 750 }, HitBottomRight },
        HitRow { "SixPixelsAlongBottomFromRightIsEdge", { 1094, 750 }, HitBottom }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FormStyle, WhereCornersOverlapTheFirstInTheTableWins)
{
    // 8 x 8: every pixel is near all four sides.
    EXPECT_EQ(hitTest({ 0, 0, 8, 8 }, { 4, 4 }), HitBottomLeft);
    // Near the top, right and bottom sides: bottom-right before top-right.
    EXPECT_EQ(hitTest({ 0, 0, 20, 8 }, { 18, 4 }), HitBottomRight);
    // Near the top, left and right sides: top-left before top-right.
    EXPECT_EQ(hitTest({ 0, 0, 8, 20 }, { 4, 2 }), HitTopLeft);
}

TEST(FormStyle, PointerShapesFollowTheHitCode)
{
    EXPECT_EQ(pointerFor(HitBottomLeft), Qt::SizeBDiagCursor);
    EXPECT_EQ(pointerFor(HitTopRight), Qt::SizeBDiagCursor);
    EXPECT_EQ(pointerFor(HitTopLeft), Qt::SizeFDiagCursor);
    EXPECT_EQ(pointerFor(HitBottomRight), Qt::SizeFDiagCursor);
    EXPECT_EQ(pointerFor(HitTop), Qt::SizeVerCursor);
    EXPECT_EQ(pointerFor(HitBottom), Qt::SizeVerCursor);
    EXPECT_EQ(pointerFor(HitLeft), Qt::SizeHorCursor);
    EXPECT_EQ(pointerFor(HitRight), Qt::SizeHorCursor);
    EXPECT_EQ(pointerFor(HitNone), Qt::ArrowCursor);
    EXPECT_EQ(pointerFor(42), Qt::ArrowCursor);
}

struct DragRow {
    const char* name;
    int code;
    QPoint cursor;
    WinRect expected;
};

class DragTargetRows : public ::testing::TestWithParam<DragRow> { };

TEST_P(DragTargetRows, MovesOnlyTheDraggedSides)
{
    EXPECT_EQ(dragTarget(kWindow, GetParam().code, GetParam().cursor), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Drags, DragTargetRows,
    ::testing::Values(DragRow { "RightWider", HitRight, { 1200, 0 }, { 100, 50, 1200, 750 } },
        DragRow { "RightJustOverMinimum", HitRight, { 901, 0 }, { 100, 50, 901, 750 } },
        // Exactly 800 wide or less: the right edge stays where it was.
        DragRow { "RightAtMinimumStays", HitRight, { 900, 0 }, kWindow },
        DragRow { "LeftJustOverMinimum", HitLeft, { 299, 0 }, { 299, 50, 1100, 750 } },
        DragRow { "LeftAtMinimumStays", HitLeft, { 300, 0 }, kWindow },
        DragRow { "LeftPastMinimumStays", HitLeft, { 400, 0 }, kWindow },
        DragRow { "BottomTaller", HitBottom, { 0, 900 }, { 100, 50, 1100, 900 } },
        DragRow { "BottomAtMinimumStays", HitBottom, { 0, 650 }, kWindow },
        DragRow {
            "BottomRightEachAxisOnItsOwn", HitBottomRight, { 850, 800 }, { 100, 50, 1100, 800 } },
        DragRow { "BottomLeftEachAxisOnItsOwn", HitBottomLeft, { 0, 600 }, { 0, 50, 1100, 750 } },
        // The top side has no minimum: as short as the player likes...
        DragRow { "TopDownToTenPixels", HitTop, { 0, 740 }, { 100, 740, 1100, 750 } },
        // ...but the band never turns inside out.
        DragRow { "TopPastBottomStopsAbove", HitTop, { 0, 900 }, { 100, 749, 1100, 750 } },
        DragRow { "TopRightNoMinimum", HitTopRight, { 150, 60 }, { 100, 60, 150, 750 } },
        DragRow { "TopRightPastLeft", HitTopRight, { 20, 60 }, { 100, 60, 101, 750 } },
        DragRow { "TopLeftNoMinimum", HitTopLeft, { 1000, 700 }, { 1000, 700, 1100, 750 } },
        DragRow { "TopLeftPastBoth", HitTopLeft, { 1300, 900 }, { 1099, 749, 1100, 750 } },
        DragRow { "NoEdge", HitNone, { 0, 0 }, kWindow }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FormStyle, EachMoveStartsFromTheBandLastDrawn)
{
    // A move the minimum refuses leaves the band where the last move put it.
    WinRect band = dragTarget(kWindow, HitBottomRight, { 1400, 900 });
    EXPECT_EQ(band, (WinRect { 100, 50, 1400, 900 }));
    band = dragTarget(band, HitBottomRight, { 950, 700 });
    EXPECT_EQ(band, (WinRect { 100, 50, 950, 700 }));
    band = dragTarget(band, HitBottomRight, { 890, 640 });
    EXPECT_EQ(band, (WinRect { 100, 50, 950, 700 }));
}

struct TaskbarRow {
    const char* name;
    QRect screen;
    QRect workArea;
    int twips;
};

class TaskbarRows : public ::testing::TestWithParam<TaskbarRow> { };

TEST_P(TaskbarRows, CountsOnlyABottomPanel)
{
    EXPECT_EQ(taskbarHeightTwips(GetParam().screen, GetParam().workArea), GetParam().twips);
}

INSTANTIATE_TEST_SUITE_P(Panels, TaskbarRows,
    ::testing::Values(TaskbarRow { "None", { 0, 0, 1280, 1024 }, { 0, 0, 1280, 1024 }, 0 },
        TaskbarRow { "Bottom40", { 0, 0, 1280, 1024 }, { 0, 0, 1280, 984 }, 600 },
        TaskbarRow { "Top30", { 0, 0, 1280, 1024 }, { 0, 30, 1280, 994 }, 0 },
        TaskbarRow { "Left48", { 0, 0, 1280, 1024 }, { 48, 0, 1232, 1024 }, 0 },
        TaskbarRow { "TopAndBottom", { 0, 0, 1280, 1024 }, { 0, 24, 1280, 960 }, 600 },
        // A second screen right of the first: the work area counts from its own top.
        TaskbarRow { "OffsetScreen", { 1280, 100, 1920, 1080 }, { 1280, 100, 1920, 1044 }, 540 },
        TaskbarRow { "EmptyWorkArea", { 0, 0, 1280, 1024 }, {}, 0 },
        TaskbarRow { "WorkAreaBelowScreen", { 0, 0, 1280, 1024 }, { 0, 0, 1280, 1100 }, 0 },
        TaskbarRow { "TallerThan16Bits", { 0, 0, 1280, 4000 }, { 0, 0, 1280, 1 }, 32767 }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FormStyle, MaximisedBoundsFillTheScreenAboveTheTaskbar)
{
    EXPECT_EQ(maximisedBounds({ 0, 0, 1280, 1024 }, 600), QRect(0, 0, 1280, 984));
    EXPECT_EQ(maximisedBounds({ 0, 0, 1280, 1024 }, 0), QRect(0, 0, 1280, 1024));
    EXPECT_EQ(maximisedBounds({ 1280, 0, 1920, 1080 }, 540), QRect(1280, 0, 1920, 1044));
    // A taskbar as tall as the screen still leaves a window.
    EXPECT_EQ(maximisedBounds({ 0, 0, 800, 600 }, 9000), QRect(0, 0, 800, 1));
}

TEST(FormStyle, RoundRectRegionCutsTheCornersAndStopsShortOfRightAndBottom)
{
    // The dialog's shape: 242 x 140 passed as 243 x 141 with 4 x 4 corners.
    const QRegion dialog = roundRectRegion(243, 141, 4, 4);
    EXPECT_EQ(dialog.boundingRect(), QRect(0, 0, 242, 140));
    for (const QPoint corner : { QPoint(0, 0), QPoint(241, 0), QPoint(0, 139), QPoint(241, 139) })
        EXPECT_FALSE(dialog.contains(corner)) << corner.x() << "," << corner.y();
    for (const QPoint kept : { QPoint(1, 0), QPoint(0, 1), QPoint(240, 0), QPoint(241, 1),
             QPoint(1, 139), QPoint(240, 139), QPoint(121, 70) })
        EXPECT_TRUE(dialog.contains(kept)) << kept.x() << "," << kept.y();

    // Larger corners cut more, and the same at all four.
    const QRegion round = roundRectRegion(101, 61, 20, 20);
    int cut = 0;
    for (int x = 0; x < 10; ++x)
        cut += round.contains(QPoint(x, 0)) ? 0 : 1;
    EXPECT_GE(cut, 4);
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 10; ++y) {
            const bool kept = round.contains(QPoint(x, y));
            EXPECT_EQ(round.contains(QPoint(99 - x, y)), kept);
            EXPECT_EQ(round.contains(QPoint(x, 59 - y)), kept);
            EXPECT_EQ(round.contains(QPoint(99 - x, 59 - y)), kept);
        }

    EXPECT_EQ(roundRectRegion(11, 11, 0, 0), QRegion(0, 0, 10, 10));
    EXPECT_TRUE(roundRectRegion(1, 50, 4, 4).isEmpty());
    EXPECT_TRUE(roundRectRegion(-5, 50, 4, 4).isEmpty());
    // A corner larger than the shape is taken at the shape's size: an ellipse.
    EXPECT_FALSE(roundRectRegion(21, 21, 500, 500).contains(QPoint(0, 0)));
    EXPECT_TRUE(roundRectRegion(21, 21, 500, 500).contains(QPoint(10, 0)));
}

} // namespace
