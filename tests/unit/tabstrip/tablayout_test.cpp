// The strip's arithmetic without a window: widths, positions, skin regions and
// hit codes, one row per case.
#include "tabstrip/TabLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kest::tablayout;

namespace {

struct WidthCase {
    std::string name;
    int style, area, count, locked;
    int expected;
};

class CalcTabWidthTest : public ::testing::TestWithParam<WidthCase> { };

TEST_P(CalcTabWidthTest, GivesTheStandardWidth)
{
    const auto& c = GetParam();
    EXPECT_EQ(calcTabWidth(c.style, c.area, c.count, c.locked), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, CalcTabWidthTest,
    ::testing::Values(
        // 985 / 3 = 328.33, capped to the full capsule width.
        WidthCase { "capsules_three_in_1000_capped", 1, 1000, 3, 0, 200 },
        WidthCase { "capsules_ten_in_1000", 1, 1000, 10, 0, 95 },
        // (600 - 14) / 5 = 117.2, capped.
        WidthCase { "trapezoids_five_in_600_capped", 0, 600, 5, 0, 108 },
        WidthCase { "trapezoids_three_in_364_capped", 0, 364, 3, 0, 108 },
        // (200 - 108 - 14) / 2 = 39.
        WidthCase { "one_locked_two_share_200", 0, 200, 3, 1, 39 },
        // Halves go to the even neighbour: 93 / 2 -> 46 and 91 / 2 -> 46.
        WidthCase { "half_rounds_down_to_even", 0, 93 + 14, 2, 0, 46 },
        WidthCase { "half_rounds_up_to_even", 0, 91 + 14, 2, 0, 46 },
        WidthCase { "capsule_half_rounds_down_to_even", 1, 93 + 10, 2, 0, 46 },
        WidthCase { "capsule_half_rounds_up_to_even", 1, 91 + 10, 2, 0, 46 },
        WidthCase { "every_tab_locked_keeps_full", 1, 300, 4, 4, 200 },
        WidthCase { "no_tabs_full", 0, 500, 0, 0, 108 },
        // No lower bound.
        WidthCase { "crowded_reaches_zero", 0, 100, 200, 0, 0 },
        WidthCase { "no_area_goes_negative", 0, 0, 1, 0, -14 },
        WidthCase { "negative_area_capsules", 1, -50, 2, 0, -30 }),
    [](const auto& info) { return info.param.name; });

TEST(LayoutTabs, CapsulesLeaveFivePixelGaps)
{
    const bool locks[3] = { false, false, false };
    const auto spans = layoutTabs(1, calcTabWidth(1, 1000, 3, 0), locks);
    EXPECT_EQ(spans, (std::vector<TabSpan> { { 0, 200 }, { 205, 200 }, { 410, 200 } }));

    const std::vector<bool> ten(10, false);
    bool tenLocks[10] = {};
    const auto narrow = layoutTabs(1, calcTabWidth(1, 1000, 10, 0), tenLocks);
    ASSERT_EQ(narrow.size(), ten.size());
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(narrow[static_cast<size_t>(i)], (TabSpan { 100 * i, 95 })) << i;
}

TEST(LayoutTabs, TrapezoidsTouchAfterTheFirstSlant)
{
    const bool locks[5] = {};
    const auto spans = layoutTabs(0, calcTabWidth(0, 600, 5, 0), locks);
    const int lefts[5] = { 14, 122, 230, 338, 446 };
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(spans[static_cast<size_t>(i)], (TabSpan { lefts[i], 108 })) << i;
}

TEST(LayoutTabs, LockedTabsKeepTheFullWidth)
{
    const bool locks[3] = { false, true, false };
    EXPECT_EQ(layoutTabs(0, calcTabWidth(0, 200, 3, 1), locks),
        (std::vector<TabSpan> { { 14, 39 }, { 53, 108 }, { 161, 39 } }));
    EXPECT_EQ(
        layoutTabs(1, 50, locks), (std::vector<TabSpan> { { 0, 50 }, { 55, 200 }, { 260, 50 } }));
}

TEST(SkinRegions, FollowTheTablesOfBothStyles)
{
    const TabSpan tab { 100, 108 };
    EXPECT_EQ(bodyRect(0, tab), QRect(86, 0, 122, 25));
    EXPECT_EQ(bodyRect(1, tab), QRect(100, 0, 108, 26));

    // (style, selected, hide button) -> caption box
    EXPECT_EQ(captionBox(0, tab, false, false), QRect(100, 0, 70, 25));
    EXPECT_EQ(captionBox(0, tab, false, true), QRect(100, 0, 94, 25));
    EXPECT_EQ(captionBox(0, tab, true, false), QRect(100, 0, 82, 25));
    EXPECT_EQ(captionBox(0, tab, true, true), QRect(100, 0, 82, 25));
    EXPECT_EQ(captionBox(1, tab, false, false), QRect(112, 0, 80, 26));
    EXPECT_EQ(captionBox(1, tab, false, true), QRect(112, 0, 100, 26));
    EXPECT_EQ(captionBox(1, tab, true, false), QRect(112, 0, 80, 26));
    EXPECT_EQ(captionBox(1, tab, true, true), QRect(112, 0, 100, 26));

    EXPECT_EQ(glyphPosition(0, tab), QPoint(184, 6));
    EXPECT_EQ(glyphPosition(1, tab), QPoint(188, 7));

    EXPECT_EQ(skin(0).bodySize, QSize(122, 25));
    EXPECT_EQ(skin(1).bodySize, QSize(124, 26));
    EXPECT_EQ(skin(0).backgroundHeight, 25);
    EXPECT_EQ(skin(7).backgroundHeight, 28); // any style but 0 is the capsule style
}

// ---- hit test ----

struct HitCase {
    std::string name;
    int style;
    double x, y;
    HitResult expected;
};

// Strip 600 wide, margins 40 / 0. Style 0: three tabs laid out for the area
// (Left 14, 122, 230; width 108). Style 1: capsules at 0, 205, 410 (widths
// 200, 200, 100), the last one without a close button.
HitResult hitStrip(int style, double x, double y)
{
    HitArea area { style, 600, 40, 0 };
    std::vector<HitTab> tabs;
    if (style == 0)
        tabs = { { 14, 108, false }, { 122, 108, false }, { 230, 108, false } };
    else
        tabs = { { 0, 200, false }, { 205, 200, false }, { 410, 100, true } };
    return hitTest(area, x, y, tabs);
}

class HitTestTest : public ::testing::TestWithParam<HitCase> { };

TEST_P(HitTestTest, GivesCodeAndCloseFlag)
{
    const auto& c = GetParam();
    EXPECT_EQ(hitStrip(c.style, c.x, c.y), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, HitTestTest,
    ::testing::Values(HitCase { "left_of_strip", 0, -1, 10, { -3, false } },
        HitCase { "above_strip", 0, 100, -1, { -3, false } },
        HitCase { "right_of_strip", 0, 601, 10, { -3, false } },
        HitCase { "right_edge_is_inside", 0, 600, 10, { -1, false } },
        HitCase { "row_25_is_inside", 0, 100, 25, { 0, false } },
        HitCase { "row_26_is_outside", 0, 100, 26, { -3, false } },
        HitCase { "capsule_row_28_over_tab_is_outside", 1, 100, 28, { -3, false } },
        HitCase { "left_margin", 0, 39, 10, { -2, false } },
        HitCase { "first_column_of_area", 0, 40, 10, { 0, false } },
        // u <= 14 counts as the first tab, before its Left of 14.
        HitCase { "first_fifteen_pixels_are_tab_0", 0, 54, 10, { 0, false } },
        HitCase { "shared_boundary_goes_to_lower_index", 0, 40 + 122, 10, { 0, false } },
        HitCase { "just_past_boundary", 0, 40 + 123, 10, { 1, false } },
        // Halves to even: 162.5 -> 162 (boundary, tab 0), 163.5 -> 164 (tab 1).
        HitCase { "half_rounds_to_even_down", 0, 162.5, 10, { 0, false } },
        HitCase { "half_rounds_to_even_up", 0, 163.5, 10, { 1, false } },
        HitCase { "margin_half_rounds_to_even", 0, 39.5, 10, { 0, false } },
        HitCase { "after_last_tab", 0, 40 + 339, 10, { -1, false } },
        // Style 0 close zone of tab 1: u 206..218, y 6..18.
        HitCase { "close_zone_left_edge", 0, 40 + 206, 6, { 1, true } },
        HitCase { "close_zone_right_edge", 0, 40 + 218, 18, { 1, true } },
        HitCase { "left_of_close_zone", 0, 40 + 205, 12, { 1, false } },
        HitCase { "below_close_zone", 0, 40 + 210, 19, { 1, false } },
        // Style 1: gap 200..205 between tabs 0 and 1 (both ends belong to tabs).
        HitCase { "capsule_gap", 1, 40 + 202, 10, { -1, false } },
        HitCase { "capsule_gap_edge_is_tab", 1, 40 + 200, 10, { 0, false } },
        HitCase { "capsule_first_fifteen", 1, 40 + 14, 10, { 0, false } },
        // Style 1 close zone of tab 1 (205..405): u 385..397, y 7..19.
        HitCase { "capsule_close_zone", 1, 40 + 390, 12, { 1, true } },
        HitCase { "capsule_close_zone_top_edge", 1, 40 + 397, 7, { 1, true } },
        HitCase { "capsule_above_close_zone", 1, 40 + 390, 6, { 1, false } },
        HitCase { "hidden_button_never_over_close", 1, 40 + 495, 12, { 2, false } }),
    [](const auto& info) { return info.param.name; });

TEST(HitTest, MarginsAndEmptyStrip)
{
    // A right margin: x > W - right is margin; W - right itself is area.
    HitArea area { 0, 600, 40, 100 };
    EXPECT_EQ(hitTest(area, 501, 10, {}).code, kHitMargin);
    EXPECT_EQ(hitTest(area, 500, 10, {}).code, kHitNoTab);
    // A negative right margin pushes the area past the edge; x > W stays outside.
    HitArea wide { 0, 600, 40, -136 };
    EXPECT_EQ(hitTest(wide, 650, 10, {}).code, kHitOutside);
}

TEST(HitTest, FirstFifteenPixelsHitTabZeroEvenWhenItIsNarrower)
{
    // Tabs squeezed to 5 pixels: u = 10 lies in tab 1 by geometry, but the
    // first 15 pixels of the area always count as tab 0.
    const std::vector<HitTab> tabs { { 0, 5, false }, { 10, 5, false } };
    EXPECT_EQ(hitTest(HitArea { 1, 600, 40, 0 }, 40 + 12, 10, tabs).code, 0);
    EXPECT_EQ(hitTest(HitArea { 1, 600, 40, 0 }, 40 + 16, 10, tabs).code, -1);
}

} // namespace
