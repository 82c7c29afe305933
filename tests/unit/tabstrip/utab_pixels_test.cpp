// What the strip draws, checked by pixels: the skins' regions for every tab
// state in both styles, the strip background, the stacking of overlapping
// tabs and the caption boxes. The artwork is drawn by the test after the
// region table (tabtest.h), one colour per region, so a pixel tells which
// region landed there. The pictures are saved under test-artifacts/tabstrip.
#include "tabtest.h"

#include "platform/pictures.h"
#include "tabstrip/CTabItems.h"
#include "tabstrip/uTab.h"
#include "tests/support/testenv.h"

#include <QFile>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>

using namespace kest;
using namespace kest::test::skincolours;
using kest::test::drawTestSkin;
using kest::test::TestPage;

namespace {

class StripPixels : public ::testing::Test {
protected:
    void setUp(int style, int tabs, const QString& caption = QStringLiteral("ab"))
    {
        host.resize(700, 200);
        strip = new uTab(&host);
        strip->setSkinImages(drawTestSkin(0), drawTestSkin(1));
        strip->setTabStyle(style);
        strip->setGeometry(0, 0, 600, 25);
        container = new QWidget(&host);
        container->setGeometry(0, 40, 600, 150);
        strip->setContainerWnd(container);
        strip->LockReDraw(false);
        for (int i = 0; i < tabs; ++i)
            strip->TabItems()->Add(
                caption, new TestPage(nullptr, QString::number(i)), QString::number(i));
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        // Qt drops a move to where the pointer already is: two moves make
        // sure each test starts with the pointer off the strip.
        QTest::mouseMove(host.windowHandle(), QPoint(690, 190));
        QTest::mouseMove(host.windowHandle(), QPoint(689, 189));
        ASSERT_LT(strip->HoverIndex(), 0);
    }

    void move(QPoint p) { QTest::mouseMove(host.windowHandle(), strip->mapTo(&host, p)); }
    void press(QPoint p) { QTest::mousePress(host.windowHandle(), Qt::LeftButton, {}, p); }

    CTabItem* item(int i) { return strip->TabItems()->Item(i); }
    int areaX(int x) const { return strip->TabLeftSize() + x; }
    // Glyph square centre (the glyph's 8 x 8 square sits 2 pixels in).
    QPoint glyphCentre(int i)
    {
        const bool capsule = strip->TabStyle() != 0;
        const int right = areaX(item(i)->Left() + item(i)->Width());
        return capsule ? QPoint(right - 20 + 5, 7 + 5) : QPoint(right - 24 + 5, 6 + 5);
    }
    QPoint glyphCorner(int i) { return glyphCentre(i) - QPoint(5, 5); }
    QPoint bodyTop(int i) { return QPoint(areaX(item(i)->Left() + item(i)->Width() / 2), 2); }

    QImage shot(const QString& name)
    {
        QImage image = strip->Composite().convertToFormat(QImage::Format_RGB32);
        image.save(test::artifactDir(QStringLiteral("tabstrip")) + QLatin1Char('/') + name
            + QStringLiteral(".png"));
        return image;
    }
    static QRgb at(const QImage& image, QPoint p) { return image.pixel(p) | 0xFF000000u; }
    static bool hasMagenta(const QImage& image)
    {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if ((image.pixel(x, y) & 0xFFFFFF) == 0xFF00FF)
                    return true;
        return false;
    }

    QWidget host;
    uTab* strip = nullptr;
    QWidget* container = nullptr;
};

TEST_F(StripPixels, TrapezoidsShowEveryStateFromItsRegion)
{
    setUp(0, 4);
    strip->setSelected(2);
    move(glyphCentre(1));
    ASSERT_EQ(strip->HoverIndex(), 1);
    ASSERT_EQ(strip->CloseButtonState(), 1);
    const QImage image = shot(QStringLiteral("style0-hover-close"));

    // Background column, row by row, in the margin and after the last tab.
    for (int y = 0; y < 25; ++y) {
        EXPECT_EQ(at(image, QPoint(10, y)), background(y)) << y;
        EXPECT_EQ(at(image, QPoint(areaX(14 + 4 * 108 + 20), y)), background(y)) << y;
    }
    EXPECT_EQ(at(image, bodyTop(0)), normal);
    EXPECT_EQ(at(image, bodyTop(1)), over);
    EXPECT_EQ(at(image, bodyTop(2)), selected);
    EXPECT_EQ(at(image, bodyTop(3)), normal);

    EXPECT_EQ(at(image, glyphCentre(0)), glyphOther);
    EXPECT_EQ(at(image, glyphCentre(1)), glyphOver);
    EXPECT_EQ(at(image, glyphCentre(2)), glyphSelected);
    EXPECT_EQ(at(image, glyphCentre(3)), glyphOther);
    // The glyph's magenta rim lets the body through.
    EXPECT_EQ(at(image, glyphCorner(1)), over);
    EXPECT_EQ(at(image, glyphCorner(2)), selected);

    // Overlaps at the bottom row, where neighbouring trapezoids cross: the
    // lower index lies on top, the selected tab on top of all.
    EXPECT_EQ(at(image, QPoint(areaX(122 - 3), 23)), normal); // 0 over 1
    EXPECT_EQ(at(image, QPoint(areaX(230 - 3), 23)), selected); // 2 over 1
    EXPECT_EQ(at(image, QPoint(areaX(338 - 3), 23)), selected); // 2 over 3
    EXPECT_FALSE(hasMagenta(image));

    // What the window shows is the composite, copied as it is.
    const QImage painted = strip->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(painted, image);
}

TEST_F(StripPixels, PressedCloseGlyphStaysUntilTheRelease)
{
    setUp(0, 2);
    move(glyphCentre(1));
    EXPECT_EQ(strip->CloseButtonState(), 1);
    press(strip->mapTo(&host, glyphCentre(1)));
    EXPECT_EQ(strip->CloseButtonState(), 2);
    EXPECT_EQ(strip->HoverIndex(), 1);
    EXPECT_EQ(at(shot(QStringLiteral("style0-pressed")), glyphCentre(1)), glyphPressed);
    move(QPoint(10, 10)); // button held: nothing changes
    EXPECT_EQ(at(strip->Composite(), glyphCentre(1)), glyphPressed);
    QTest::mouseRelease(
        host.windowHandle(), Qt::LeftButton, {}, strip->mapTo(&host, QPoint(10, 10)));
    EXPECT_EQ(strip->TabItems()->Count(), 2);
    EXPECT_EQ(at(strip->Composite(), glyphCentre(1)), glyphOther); // hover is now -2
}

TEST_F(StripPixels, CapsulesShowGapsBackgroundAndEveryState)
{
    setUp(1, 3);
    strip->resize(600, 25); // the style's height arrives with a resize
    ASSERT_EQ(strip->height(), 32);
    strip->setSelected(0);
    move(glyphCentre(2));
    ASSERT_EQ(strip->CloseButtonState(), 1);
    const QImage image = shot(QStringLiteral("style1-hover-close"));
    ASSERT_EQ(image.size(), QSize(600, 32));

    // The 28-row column is stretched over 32 rows: in order, first to last.
    EXPECT_EQ(at(image, QPoint(10, 0)), background(0));
    EXPECT_EQ(at(image, QPoint(10, 31)), background(27));
    for (int y = 1; y < 32; ++y)
        EXPECT_GE(qGreen(image.pixel(10, y)), qGreen(image.pixel(10, y - 1))) << y;

    // A = 560: (560 - 15) / 3 = 181.67 -> 182; 5-pixel gaps show the strip.
    ASSERT_EQ(item(1)->Left(), 187);
    EXPECT_EQ(at(image, QPoint(areaX(182 + 2), 12)), background(12 * 28 / 32));
    // Below the 26-row capsules lies the background too.
    EXPECT_EQ(at(image, QPoint(bodyTop(1).x(), 29)), at(image, QPoint(10, 29)));

    EXPECT_EQ(at(image, bodyTop(0)), selected);
    EXPECT_EQ(at(image, bodyTop(1)), normal);
    EXPECT_EQ(at(image, bodyTop(2)), over);
    EXPECT_EQ(at(image, glyphCentre(0)), glyphSelected);
    EXPECT_EQ(at(image, glyphCentre(1)), glyphOther);
    EXPECT_EQ(at(image, glyphCentre(2)), glyphOver);
    // The round ends keep their 14-pixel shape: the top-left corner of a
    // capsule shows the background.
    EXPECT_EQ(at(image, QPoint(areaX(item(1)->Left()), 0)), background(0));
    EXPECT_FALSE(hasMagenta(image));
}

TEST_F(StripPixels, NoTabsDrawOnlyTheBackground)
{
    setUp(0, 0);
    strip->setSelected(-1);
    const QImage image = shot(QStringLiteral("style0-empty"));
    for (int x : { 0, 60, 300, 599 })
        EXPECT_EQ(at(image, QPoint(x, 7)), background(7)) << x;
}

// Ink: pixels of a caption box that differ from the body colour.
struct Ink {
    int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
    QRgb darkest = 0xFFFFFFFF;
};

Ink inkIn(const QImage& image, const QRect& box, QRgb body)
{
    Ink ink;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            const QRgb p = image.pixel(x, y) | 0xFF000000u;
            if (p == body)
                continue;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
            if (qGray(p) < qGray(ink.darkest))
                ink.darkest = p;
        }
    return ink;
}

TEST_F(StripPixels, CaptionsAreCentredOrCutWithAnEllipsis)
{
    setUp(0, 3);
    item(0)->setCaption(QStringLiteral("ab"));
    item(1)->setCaption(QStringLiteral("A caption far too long for its tab"));
    item(2)->setCaption(QStringLiteral("A caption far too long for its tab"));
    strip->setSelected(2);
    const QImage image = shot(QStringLiteral("style0-captions"));

    // Box of an unselected tab with a close button: (Left, 0, Width - 38, 25).
    const QRect fits(areaX(item(0)->Left()), 0, item(0)->Width() - 38, 25);
    const Ink a = inkIn(image, fits.adjusted(0, 2, 0, -2), normal);
    ASSERT_GE(a.right, a.left);
    EXPECT_LE(std::abs((a.left - fits.left()) - (fits.right() - a.right)), 2); // centred
    EXPECT_LT(qGray(a.darkest), 100); // black text

    const QRect cut(areaX(item(1)->Left()), 0, item(1)->Width() - 38, 25);
    ASSERT_EQ(at(image, QPoint(cut.left() + 1, 2)), normal); // not hovered: ink is text
    const Ink b = inkIn(image, cut.adjusted(0, 2, 0, -2), normal);
    EXPECT_LE(b.left, cut.left() + 2); // left-aligned
    EXPECT_LE(b.right, cut.right()); // cut inside the box ...
    EXPECT_GE(b.right, cut.right() - 12); // ... with the ellipsis at its end
    EXPECT_LE(std::abs((b.top - 2) - (22 - b.bottom)), 4); // roughly centred vertically
    // Nothing between the box and the glyph.
    const Ink gap
        = inkIn(image, QRect(cut.right() + 1, 4, glyphCorner(1).x() - cut.right() - 1, 2), normal);
    EXPECT_EQ(gap.right, -1);

    // The selected tab: bold, blue, in a box of Width - 26.
    const QRect sel(areaX(item(2)->Left()), 0, item(2)->Width() - 26, 25);
    const Ink c = inkIn(image, sel.adjusted(0, 2, 0, -2), selected);
    EXPECT_LE(c.right, sel.right());
    EXPECT_GE(c.right, sel.right() - 12);
    EXPECT_LT(std::abs(qRed(c.darkest) - 4), 40);
    EXPECT_LT(std::abs(qGreen(c.darkest) - 96), 40);
    EXPECT_LT(std::abs(qBlue(c.darkest) - 163), 40);
}

TEST_F(StripPixels, ShippedSkinsFollowTheRegionTable)
{
    if (!QFile::exists(QStringLiteral(":/res/BITMAP/106"))
        || !QFile::exists(QStringLiteral(":/res/BITMAP/107")))
        GTEST_SKIP() << "the program's picture set is not embedded in this build";
    const QImage skin0 = LoadResImage(106, QStringLiteral("BITMAP"));
    const QImage skin1 = LoadResImage(107, QStringLiteral("BITMAP"));
    EXPECT_EQ(skin0.size(), QSize(415, 25));
    EXPECT_EQ(skin1.size(), QSize(421, 28));

    host.resize(700, 200);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    for (int style : { 0, 1 }) {
        SCOPED_TRACE(style);
        uTab shipped(&host);
        shipped.setTabStyle(style);
        shipped.setGeometry(0, 100, 600, 25);
        shipped.show();
        shipped.LockReDraw(false);
        for (int i = 0; i < 3; ++i)
            shipped.TabItems()->Add(
                QStringLiteral("游戏 %1").arg(i), new TestPage, QString::number(i));
        shipped.setSelected(1);
        const QImage image = shipped.Composite().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(image.size(), QSize(600, style == 0 ? 25 : 32));
        image.save(test::artifactDir(QStringLiteral("tabstrip"))
            + QStringLiteral("/shipped-style%1.png").arg(style));
        EXPECT_FALSE(hasMagenta(image));
        // The top rows of the bodies come from the skin's body regions
        // (stretched only sideways), the margin from its background column.
        const QImage& skin = style == 0 ? skin0 : skin1;
        const auto& regions = tablayout::skin(style);
        const CTabItem* tab = shipped.TabItems()->Item(1);
        const int mid = shipped.TabLeftSize() + tab->Left() + tab->Width() / 2;
        auto near = [](QRgb a, QRgb b) {
            return std::abs(qRed(a) - qRed(b)) <= 8 && std::abs(qGreen(a) - qGreen(b)) <= 8
                && std::abs(qBlue(a) - qBlue(b)) <= 8;
        };
        const int bodyMid = regions.bodySize.width() / 2;
        EXPECT_TRUE(near(image.pixel(mid, 3), skin.pixel(regions.bodySelectedX + bodyMid, 3)));
        const CTabItem* other = shipped.TabItems()->Item(2);
        EXPECT_TRUE(near(image.pixel(shipped.TabLeftSize() + other->Left() + other->Width() / 2, 3),
            skin.pixel(regions.bodyNormalX + bodyMid, 3)));
        EXPECT_TRUE(near(image.pixel(5, 3), skin.pixel(0, 3)));
        shipped.TabItems()->Clear();
    }
}

} // namespace
