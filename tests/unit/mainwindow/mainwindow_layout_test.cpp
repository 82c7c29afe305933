// The main window's rules that need no window: the resize layout in twips and
// its conversion to pixels, the restored window's centred place, page keys,
// the menu's refresh target and the tab strip's press and hover rules.
#include "launcher/mainwindow/WebMainFrmLayout.h"
#include "platform/units.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

using namespace kest::mainframe;
using kest::twipsToPixelsRounded;

// Readable values in failure messages.
void PrintTo(const QPoint& p, std::ostream* os)
{
    *os << '(' << p.x() << ", " << p.y() << ')';
}
void PrintTo(const QRect& r, std::ostream* os)
{
    *os << r.width() << 'x' << r.height() << '+' << r.x() << '+' << r.y();
}

namespace {

struct LayoutRow {
    const char* name;
    LayoutInput in;
    int captionWidth;
    std::optional<QPoint> shapeCorner;
    int closeLeft, minmaxLeft, minLeft, toolLeft;
    std::optional<QRect> tabStrip;
    int gameSpaceLeft, otherUserLeft;
    std::optional<QRect> pageArea;
};

void PrintTo(const LayoutRow& row, std::ostream* os)
{
    *os << row.name;
}

class LayoutRows : public ::testing::TestWithParam<LayoutRow> { };

TEST_P(LayoutRows, PlacesEachControlOrSkipsTheStepThatFails)
{
    const LayoutRow& row = GetParam();
    const Layout l = layoutFor(row.in);
    EXPECT_EQ(l.captionWidth, row.captionWidth);
    EXPECT_EQ(l.shapeCorner, row.shapeCorner);
    EXPECT_EQ(l.closeLeft, row.closeLeft);
    EXPECT_EQ(l.minmaxLeft, row.minmaxLeft);
    EXPECT_EQ(l.minLeft, row.minLeft);
    EXPECT_EQ(l.toolLeft, row.toolLeft);
    EXPECT_EQ(l.tabStrip, row.tabStrip);
    EXPECT_EQ(l.gameSpaceLeft, row.gameSpaceLeft);
    EXPECT_EQ(l.otherUserLeft, row.otherUserLeft);
    EXPECT_EQ(l.pageArea, row.pageArea);
}

// Expected values worked out by hand from the window's layout steps.
INSTANTIATE_TEST_SUITE_P(Sizes, LayoutRows,
    ::testing::Values(LayoutRow { "DesignSize", { 15540, 15540, 9585, 480 }, 15540,
                          QPoint(1037, 640), 14810, 14435, 14075, 13715, QRect(1600, 45, 8640, 480),
                          12240, 10690, QRect(60, 480, 15420, 9045) },
        // 1280 x 984 pixels: a screen above a 40-pixel taskbar.
        LayoutRow { "Maximised", { 19200, 19200, 14760, 480 }, 19200, QPoint(1281, 985), 18470,
            18095, 17735, 17375, QRect(1600, 45, 12300, 480), 15900, 14350,
            QRect(60, 480, 19080, 14220) },
        // The page area starts at the strip's height, not below its top.
        LayoutRow { "TallerStrip", { 15540, 15540, 9585, 600 }, 15540, QPoint(1037, 640), 14810,
            14435, 14075, 13715, QRect(1600, 45, 8640, 600), 12240, 10690,
            QRect(60, 600, 15420, 8925) },
        // The shape's sums are rounded, not the pixel sizes truncated: 20005
        // twips are 1333.67 pixels, + 1 rounds to 1335.
        LayoutRow { "ShapeRoundsTheSum", { 20005, 20005, 9595, 480 }, 20005, QPoint(1335, 641),
            19275, 18900, 18540, 18180, QRect(1600, 45, 13105, 480), 16705, 15155,
            QRect(60, 480, 19885, 9055) },
        LayoutRow { "StripZeroWide", { 6900, 6900, 9585, 480 }, 6900, QPoint(461, 640), 6170, 5795,
            5435, 5075, QRect(1600, 45, 0, 480), 3600, 2050, QRect(60, 480, 6780, 9045) },
        // One twip narrower: only the strip's step fails; the steps after it run.
        LayoutRow { "StripWouldBeNegative", { 6885, 6885, 9585, 480 }, 6885, QPoint(460, 640), 6155,
            5780, 5420, 5060, std::nullopt, 3585, 2035, QRect(60, 480, 6765, 9045) },
        LayoutRow { "PageZeroHigh", { 15540, 15540, 540, 480 }, 15540, QPoint(1037, 37), 14810,
            14435, 14075, 13715, QRect(1600, 45, 8640, 480), 12240, 10690,
            QRect(60, 480, 15420, 0) },
        LayoutRow { "PageWouldBeNegativeHigh", { 15540, 15540, 525, 480 }, 15540, QPoint(1037, 36),
            14810, 14435, 14075, 13715, QRect(1600, 45, 8640, 480), 12240, 10690, std::nullopt },
        LayoutRow { "PageWouldBeNegativeWide", { 105, 105, 9585, 480 }, 105, QPoint(8, 640), -625,
            -1000, -1360, -1720, std::nullopt, -3195, -4745, std::nullopt },
        // Buttons may sit left of the window; a negative left is no failure.
        LayoutRow { "Empty", { 0, 0, 0, 0 }, 0, QPoint(1, 1), -730, -1105, -1465, -1825,
            std::nullopt, -3300, -4850, std::nullopt }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MainFrameLayout, ANegativeSizeSkipsTheSizedStepsAndStillPlacesTheButtons)
{
    const Layout l = layoutFor({ -150, -150, -150, 480 });
    EXPECT_GE(l.captionWidth, 0);
    EXPECT_FALSE(l.tabStrip.has_value());
    EXPECT_FALSE(l.pageArea.has_value());
    // Any shape left is one with no inside, which the window refuses.
    if (l.shapeCorner) {
        EXPECT_LE(l.shapeCorner->x(), 1);
    }
    EXPECT_EQ(l.closeLeft, -880);
    EXPECT_EQ(l.toolLeft, -1975);
    EXPECT_EQ(l.gameSpaceLeft, -3450);
    EXPECT_EQ(l.otherUserLeft, -5000);
}

TEST(MainFrameLayout, AShapeBeyondSixteenBitsIsNeverWrapped)
{
    // 40000 x 40000 pixels: the sums do not fit 16 bits. Either the step is
    // skipped or the edge stays at the largest value; a wrapped, negative edge
    // would cut the whole window away.
    const Layout l = layoutFor({ 600000, 600000, 600000, 480 });
    if (l.shapeCorner) {
        EXPECT_EQ(l.shapeCorner->x(), 32767);
        EXPECT_EQ(l.shapeCorner->y(), 32767);
    }
    ASSERT_TRUE(l.pageArea.has_value()) << "the steps after the shape still run";
    EXPECT_EQ(l.pageArea->width(), 600000 - 120);
}

TEST(MainFrameLayout, InPixelsTheCaptionButtonsTouchAndThePageKeepsItsMargins)
{
    constexpr int kTop = 15;
    // Every window width from 800 to 2000 pixels.
    for (int px = 800; px <= 2000; ++px) {
        SCOPED_TRACE(px);
        const int w = px * 15;
        const Layout l = layoutFor({ w, w, 9585, 480 });
        const QRect tool = toPixels(QRect(l.toolLeft, kTop, 360, 270));
        const QRect min = toPixels(QRect(l.minLeft, kTop, 360, 270));
        const QRect minmax = toPixels(QRect(l.minmaxLeft, kTop, 375, 270));
        const QRect close = toPixels(QRect(l.closeLeft, kTop, 645, 270));
        EXPECT_EQ(tool.right() + 1, min.left());
        EXPECT_EQ(min.right() + 1, minmax.left());
        EXPECT_EQ(minmax.right() + 1, close.left());
        // 85 twips, rounded to 6 pixels, from the right edge.
        EXPECT_EQ(px - (close.right() + 1), 6);
        EXPECT_EQ(twipsToPixelsRounded(l.gameSpaceLeft), px - 220);
        EXPECT_EQ(twipsToPixelsRounded(l.otherUserLeft), px - 323);
        ASSERT_TRUE(l.pageArea.has_value());
        // 60 twips are 4 pixels inside the left, right and bottom edges.
        EXPECT_EQ(toPixels(*l.pageArea), QRect(4, 32, px - 8, 639 - 32 - 4));
    }
}

TEST(MainFrameLayout, TwipsBecomeTheNearestPixel)
{
    EXPECT_EQ(twipsToPixelsRounded(0), 0);
    EXPECT_EQ(twipsToPixelsRounded(7), 0); // 0.47
    EXPECT_EQ(twipsToPixelsRounded(8), 1); // 0.53
    EXPECT_EQ(twipsToPixelsRounded(15), 1);
    EXPECT_EQ(twipsToPixelsRounded(730), 49); // 48.67
    EXPECT_EQ(twipsToPixelsRounded(-730), -49);
    EXPECT_EQ(twipsToPixelsRounded(kDesignWidth), 1036);
    EXPECT_EQ(twipsToPixelsRounded(kDesignHeight), 639);
    // Edges are rounded, not sizes: 22 twips at 8 is 0.53 to 2.0 pixels.
    EXPECT_EQ(toPixels(QRect(8, 8, 22, 22)), QRect(1, 1, 1, 1));
    EXPECT_EQ(toPixels(QRect(0, 0, 0, 0)), QRect(0, 0, 0, 0));
}

TEST(MainFrameLayout, TheRestoredWindowIsCentredHalvingWithTheRemainderDropped)
{
    const QSize design(kDesignWidth, kDesignHeight);
    // 1920 x 1080 pixels: 13260 / 2 and 6615 / 2.
    EXPECT_EQ(centredTopLeft(QSize(28800, 16200), design), QPoint(6630, 3307));
    EXPECT_EQ(centredTopLeft(design, design), QPoint(0, 0));
    EXPECT_EQ(centredTopLeft(design + QSize(1, 1), design), QPoint(0, 0));
    // A screen smaller than the window: the halves are dropped towards zero.
    EXPECT_EQ(centredTopLeft(QSize(12000, 9000), design), QPoint(-1770, -292));
    EXPECT_EQ(centredTopLeft(QSize(0, 0), design), QPoint(-7770, -4792));
}

TEST(MainFrameRules, APageKeyIsGameFollowedByTheAddressAsItIs)
{
    const QString address = QStringLiteral("http://127.0.0.1:18080/game/Tester?x=1");
    EXPECT_EQ(pageKey(address), QStringLiteral("Gamehttp://127.0.0.1:18080/game/Tester?x=1"));
    // The key is the tab's first caption too: the address's case is kept and
    // the tab list, not the key, ignores case.
    EXPECT_NE(pageKey(address), pageKey(address.toLower()));
    EXPECT_EQ(pageKey(address).compare(pageKey(address.toUpper()), Qt::CaseInsensitive), 0);
    EXPECT_EQ(pageKey(QString()), QStringLiteral("Game"));
    EXPECT_EQ(pageKey(QStringLiteral(" 摘星 | ")), QStringLiteral("Game 摘星 | "));
}

TEST(MainFrameRules, RefreshReloadsThePlaceholderOnlyWhileItShows)
{
    EXPECT_EQ(refreshTarget(true), RefreshTarget::Placeholder);
    EXPECT_EQ(refreshTarget(false), RefreshTarget::SelectedPage);
}

TEST(MainFrameRules, APressOffTheTabsDragsOnlyARestoredWindow)
{
    EXPECT_TRUE(dragsWindow(false, -1));
    EXPECT_TRUE(dragsWindow(false, -2)); // any negative code means no tab
    EXPECT_FALSE(dragsWindow(false, 0));
    EXPECT_FALSE(dragsWindow(true, -1));
    EXPECT_FALSE(dragsWindow(true, 0));
}

TEST(MainFrameRules, TheToolTipShowsOnlyOverAnExistingTab)
{
    EXPECT_TRUE(showsTabToolTip(0, 1));
    EXPECT_TRUE(showsTabToolTip(2, 3));
    EXPECT_FALSE(showsTabToolTip(3, 3));
    EXPECT_FALSE(showsTabToolTip(-1, 3));
    EXPECT_FALSE(showsTabToolTip(0, 0));
}

TEST(MainFrameRules, TheWindowHidesOnlyWhileSomethingCanBringItBack)
{
    EXPECT_TRUE(mayHide(true, false));
    EXPECT_TRUE(mayHide(false, true));
    EXPECT_FALSE(mayHide(false, false));
}

} // namespace
