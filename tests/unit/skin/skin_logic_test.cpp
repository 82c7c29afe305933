// The skinned controls' rules that need no window: value conversions, frame
// cutting and selection, caption placement, the button's redraw rule and the
// progress bar's arithmetic, strip frames at a screen's density. The caption bar's geometry is
// checked through its pixels in bform_test.cpp.
#include "platform/pictures.h"
#include "skin/buttonlogic.h"
#include "skin/progresslogic.h"
#include "skin/skinerror.h"
#include "skin/skinvalues.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <climits>

using namespace kest;
using Effect = button::ButtonMachine::Effect;

namespace {

int errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const SkinError& e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST(SkinValues, NumbersInTextForm)
{
    const struct {
        const char* text;
        std::int32_t value;
    } good[] = { { "14346732", 14346732 }, { "  -5 ", -5 }, { "+7", 7 }, { "&HDEDEDE", 0xDEDEDE },
        { "&hffffffff", -1 }, { "12.5", 12 }, { "13.5", 14 }, { "2147483647", INT_MAX } };
    for (const auto& row : good)
        EXPECT_EQ(textToLong(QString::fromLatin1(row.text), QStringLiteral("x")), row.value)
            << row.text;

    const struct {
        const char* text;
        int error;
    } bad[] = { { "", 13 }, { "abc", 13 }, { "12abc", 13 }, { "1e3", 13 }, { "inf", 13 },
        { "1,000", 13 }, { "&H", 13 }, { "&H-1", 13 }, { "2147483648", 6 }, { "&H100000000", 6 } };
    for (const auto& row : bad) {
        EXPECT_EQ(errorOf([&] { textToLong(QString::fromLatin1(row.text), QStringLiteral("x")); }),
            row.error)
            << row.text;
    }
}

TEST(SkinValues, VariantsBooleansAndColours)
{
    EXPECT_EQ(toInteger(QVariant(-32768), QStringLiteral("x")), -32768);
    EXPECT_EQ(errorOf([] { toInteger(QVariant(32768), QStringLiteral("x")); }), 6);
    EXPECT_EQ(errorOf([] { toLong(QVariant(4294967295u), QStringLiteral("x")); }), 6);
    EXPECT_EQ(errorOf([] { toLong(QVariant(QSize(1, 1)), QStringLiteral("x")); }), 13);
    EXPECT_TRUE(toBoolean(QVariant(-1), QStringLiteral("x")));
    EXPECT_TRUE(toBoolean(QStringLiteral("true"), QStringLiteral("x")));
    EXPECT_FALSE(toBoolean(QStringLiteral("0"), QStringLiteral("x")));
    EXPECT_EQ(errorOf([] { toBoolean(QStringLiteral("yes"), QStringLiteral("x")); }), 13);

    EXPECT_EQ(oleToColor(0x00332211, QStringLiteral("c")), QColor(0x11, 0x22, 0x33));
    EXPECT_EQ(colorToOle(QColor(0x11, 0x22, 0x33)), 0x00332211u);
    EXPECT_TRUE(isValidOleColor(0x80000018));
    EXPECT_EQ(errorOf([] { oleToColor(0x80000019, QStringLiteral("c")); }), 380);
    EXPECT_EQ(errorOf([] { oleToColor(0x01000000, QStringLiteral("c")); }), 380);
}

TEST(ButtonFrames, SizesFromHimetricRoundHalfToEven)
{
    using button::frameSize;
    using button::pictureHimetric;
    EXPECT_EQ(frameSize(pictureHimetric(QSize(72, 18)), 0), QSize(24, 18));
    EXPECT_EQ(frameSize(pictureHimetric(QSize(150, 18)), 1), QSize(25, 18));
    EXPECT_EQ(frameSize(pictureHimetric(QSize(129, 18)), 0), QSize(43, 18));
    EXPECT_EQ(frameSize(pictureHimetric(QSize(150, 18)), 2), QSize(25, 18)); // any other style: six
    EXPECT_EQ(frameSize(pictureHimetric(QSize(71, 17)), 0), QSize(24, 17)); // 23.67 rounds up
}

TEST(ButtonFrames, SelectionForBothStylesAndValues)
{
    using button::frameIndex;
    const struct {
        int state;
        bool value;
        int style;
        int frame;
    } rows[] = {
        { 0, false, 0, 0 }, { 1, false, 0, 1 }, { 2, false, 0, 2 }, { 3, false, 0, 0 }, // push
        { 0, true, 0, 0 }, // a push button has no Value True set
        { 0, false, 1, 0 }, { 2, false, 1, 2 }, { 3, false, 1, 0 }, // toggle, Value False
        { 0, true, 1, 3 }, { 1, true, 1, 4 }, { 2, true, 1, 5 },
        { 3, true, 1, 3 }, // toggle, Value True
    };
    for (const auto& r : rows)
        EXPECT_EQ(frameIndex(r.state, r.value, r.style), r.frame)
            << "state " << r.state << " value " << r.value << " style " << r.style;
    EXPECT_EQ(button::frameSource(2, QSize(24, 18)), QRect(48, 0, 24, 18));
}

// A strip of three 43 x 18 frames in three colours, at 1x or double density,
// cut and drawn onto a button surface of each screen ratio: frames meet on
// whole pixels of the picture, and the button shows its frame's colour on
// every device pixel, none of a neighbour's.
TEST(ButtonFrames, CutOnWholePixelsAndDrawnWithoutTheirNeighbours)
{
    const QSize frame(43, 18);
    const QRgb colours[3] = { qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200) };
    for (const qreal pictureRatio : { 1.0, 2.0 }) {
        QImage strip(QSize(3 * 43, 18) * pictureRatio, QImage::Format_ARGB32_Premultiplied);
        for (int i = 0; i < 3; ++i) {
            QPainter(&strip).fillRect(
                QRectF(i * 43 * pictureRatio, 0, 43 * pictureRatio, 18 * pictureRatio), colours[i]);
        }
        strip.setDevicePixelRatio(pictureRatio);
        for (const qreal screen : { 1.0, 1.25, 1.5, 2.0 }) {
            int right = 0;
            for (int i = 0; i < 3; ++i) {
                const QRect source = button::frameSource(i, frame, pictureRatio);
                EXPECT_EQ(source.left(), right) << "frame " << i << " at " << pictureRatio;
                right = source.left() + source.width();
                if (pictureRatio == 1.0) {
                    EXPECT_EQ(source, button::frameSource(i, frame));
                }
                QImage piece = strip.copy(source);
                piece.setDevicePixelRatio(pictureRatio);
                QImage surface = deviceSurface(frame, screen);
                surface.fill(Qt::white);
                {
                    QPainter painter(&surface);
                    drawSkinPiece(painter, QRect(QPoint(0, 0), frame), piece,
                        QRect(QPoint(0, 0), logicalSize(piece)));
                }
                EXPECT_EQ(surface.size(), QSize(qRound(43 * screen), qRound(18 * screen)));
                int wrong = 0;
                for (int y = 0; y < surface.height(); ++y)
                    for (int x = 0; x < surface.width(); ++x)
                        wrong += (surface.pixel(x, y) | 0xFF000000u) != colours[i];
                EXPECT_EQ(wrong, 0)
                    << "frame " << i << ", picture " << pictureRatio << ", screen " << screen;
            }
            EXPECT_EQ(right, strip.width());
        }
    }
}

TEST(ButtonLayout, CaptionMovesOnePixelWhilePressedAndRightOfAnIcon)
{
    const QSize control(360, 270), text(105, 180);
    EXPECT_EQ(button::captionPosition(control, text, 0, button::Normal), QPoint(128, 45));
    EXPECT_EQ(button::captionPosition(control, text, 0, button::Pressed), QPoint(143, 60));
    // A 16-pixel icon is 423 HIMETRIC: 423 \ 26 = 16 pixels to the right.
    EXPECT_EQ(button::captionPosition(control, text, 423, button::Normal), QPoint(128 + 240, 45));
    EXPECT_EQ(button::iconLeft(360, 105, 423), 8);
    EXPECT_EQ(button::focusRect(QSize(24, 18)), QRect(3, 3, 18, 12));
}

TEST(ButtonMachine, RedrawsOnlyWhenTheStateChanges)
{
    bool over = true;
    button::ButtonMachine m([&] { return over; });
    EXPECT_EQ(m.mouseMove(),
        (button::ButtonMachine::Effects { { Effect::HandCursor }, { Effect::Draw, 1 },
            { Effect::StartTimer }, { Effect::RaiseMouseOver } }));
    EXPECT_EQ(m.mouseMove(), (button::ButtonMachine::Effects { { Effect::HandCursor } }));
    EXPECT_TRUE(m.timerTick().empty());
    EXPECT_TRUE(m.cMouseAction(1, false).empty());
    EXPECT_EQ(m.cMouseAction(1, true), (button::ButtonMachine::Effects { { Effect::Draw, 1 } }));
}

TEST(ProgressRange, SettersAcceptOnlyInRange)
{
    progress::Range r;
    EXPECT_FALSE(r.setMin(-1));
    EXPECT_FALSE(r.setMin(100)); // not below Max
    EXPECT_FALSE(r.setValue(101));
    EXPECT_FALSE(r.setValue(-1));
    EXPECT_TRUE(r.setValue(80));
    EXPECT_TRUE(r.setMax(50)); // pulls Value down
    EXPECT_EQ(r.value, 50);
    EXPECT_TRUE(r.setMin(10));
    EXPECT_EQ(r.value, 50);
    EXPECT_FALSE(r.setMax(10)); // not above Min
    r.value = 10;
    EXPECT_TRUE(r.setMin(20)); // pulls Value up
    EXPECT_EQ(r.value, 20);
    EXPECT_EQ(r.min, 20);
    EXPECT_EQ(r.max, 50);
}

TEST(ProgressRange, FillEnd)
{
    EXPECT_EQ(progress::fillEnd(100, { 0, 100, 50 }), 50);
    EXPECT_EQ(progress::fillEnd(100, { 0, 100, 0 }), 1);
    EXPECT_EQ(progress::fillEnd(100, { 0, 100, 100 }), 99);
    EXPECT_EQ(progress::fillEnd(5, { 0, 2, 1 }), 2); // 2.5 rounds to even
    EXPECT_EQ(progress::fillEnd(7, { 0, 2, 1 }), 4); // 3.5 rounds to even
    EXPECT_EQ(progress::fillEnd(100, { 7, 7, 7 }), std::nullopt);
    EXPECT_EQ(progress::fillEnd(100, { INT_MIN, INT_MAX, INT_MAX }), 99); // no overflow
}
