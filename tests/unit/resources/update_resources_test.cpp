// Update's pictures as this program embeds them (the same kest_embed_resources call as
// the Update executable): the progress bar skin, the close button strip and
// the caption skin, and nothing of kest's set.
#include "picturefiles.h"

#include "platform/pictures.h"
#include "platform/resources.h"
#include "tests/support/testenv.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace kest;
using namespace kest::test;

namespace {

QImage bitmap(int id)
{
    return LoadResImage(id, QStringLiteral("BITMAP"));
}

void expectBitmap(int id, int width, int height)
{
    SCOPED_TRACE(id);
    const auto bytes = LoadResData(id, QStringLiteral("BITMAP"));
    ASSERT_TRUE(bytes.has_value());
    const auto header = readBmpHeader(*bytes);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->width, width);
    EXPECT_EQ(std::abs(header->height), height);
    EXPECT_EQ(header->bitCount, 24);
    const QImage image = bitmap(id);
    EXPECT_EQ(image.size(), QSize(width, height));
    EXPECT_FALSE(image.hasAlphaChannel());
}

QList<QRgb> column(const QImage& image, int x)
{
    QList<QRgb> out;
    for (int y = 0; y < image.height(); ++y)
        out.append(image.pixel(x, y));
    return out;
}

TEST(UpdatePictures, SizesAndDepths)
{
    expectBitmap(101, 10, 10);
    expectBitmap(103, 123, 17);
    expectBitmap(108, 94, 85);
}

TEST(UpdatePictures, DoubleDensityVariantsAreTheSameDrawing)
{
    for (const auto& [id, frames] : { std::pair(101, 1), std::pair(103, 3), std::pair(108, 1) }) {
        const QImage twice(resourcePath(id, QStringLiteral("BITMAP")) + QStringLiteral("@2x"));
        EXPECT_LT(doubleDensityDifference(bitmap(id), twice, frames), 8.0) << id;
        const QImage skin = LoadResSkinAt(id, QStringLiteral("BITMAP"), 1.5);
        EXPECT_EQ(skin.devicePixelRatio(), 2.0) << id;
        EXPECT_EQ(logicalSize(skin), bitmap(id).size()) << id;
    }
}

TEST(ProgressSkin, PiecesSitInTheirColumns)
{
    // 0-2 left cap, 3-4 filled middle (stretched), 5-7 right cap, 8-9 empty track
    // (stretched). The bar shows the left cap's first and the right cap's last column
    // at every value, so those are the same in the filled and the empty look.
    const QImage skin = bitmap(101);
    EXPECT_EQ(column(skin, 3), column(skin, 4)) << "the filled middle stretches evenly";
    EXPECT_EQ(column(skin, 8), column(skin, 9)) << "the track stretches evenly";
    EXPECT_EQ(column(skin, 0), column(skin, 7)) << "both ends have the same rim";
    EXPECT_EQ(column(skin, 1), column(skin, 6)) << "the caps mirror each other";
    EXPECT_EQ(column(skin, 2), column(skin, 3));
    EXPECT_EQ(column(skin, 5), column(skin, 3));
    EXPECT_NE(column(skin, 3), column(skin, 8)) << "filled and empty differ";
}

TEST(CloseButton, ThreeFramesOf41By17)
{
    const QImage strip = bitmap(103);
    ASSERT_EQ(strip.width(), 3 * 41);
    const QList<QImage> frames = cutFrames(strip, 3);
    EXPECT_NE(frames[0], frames[1]);
    EXPECT_NE(frames[1], frames[2]);
    EXPECT_NE(frames[0], frames[2]);
    // It lies on the caption bar one pixel below its top.
    const QImage skin = bitmap(108);
    for (int y = 0; y < strip.height(); ++y)
        EXPECT_EQ(strip.pixel(0, y), skin.pixel(40, y + 1)) << "row " << y;
}

TEST(CaptionSkin, IsByteForByteKestsCaptionSkin)
{
    const auto update = LoadResData(108, QStringLiteral("BITMAP"));
    ASSERT_TRUE(update.has_value());
    QFile kest(sourceDir() + QStringLiteral("/resources/kest/BITMAP/108.bmp"));
    ASSERT_TRUE(kest.open(QIODevice::ReadOnly));
    EXPECT_EQ(*update, kest.readAll());
}

TEST(UpdatePictures, CarriesNothingOfKestsSet)
{
    EXPECT_FALSE(LoadResData(101, QStringLiteral("ICON")).has_value());
    EXPECT_FALSE(LoadResData(101, QStringLiteral("PNG")).has_value());
    EXPECT_FALSE(LoadResData(102, QStringLiteral("PNG")).has_value());
    EXPECT_FALSE(LoadResData(101, QStringLiteral("UPDATE")).has_value());
    for (const int id : { 102, 104, 105, 106, 107, 109 })
        EXPECT_FALSE(LoadResData(id, QStringLiteral("BITMAP")).has_value()) << id;
}

} // namespace
