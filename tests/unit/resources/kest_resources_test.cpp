// kest's pictures as this program embeds them (the same kest_embed_resources call as
// the kest executable), checked against the sizes, depths and regions the
// skins need; the embedded updater
// (kest_embed_updater, the object kest links); and SaveResToFile.
#include "picturefiles.h"

#include "platform/pictures.h"
#include "platform/resources.h"
#include "tests/support/testenv.h"

#include <QBuffer>
#include <QFile>
#include <QIcon>
#include <QImageReader>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kest;
using namespace kest::test;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage bitmap(int id)
{
    return LoadResImage(id, QStringLiteral("BITMAP"));
}

// ---------------------------------------------------------------------------
// Every bitmap: size and bit depth, in the file and as Qt loads it

struct BitmapRow {
    const char* name;
    int id;
    int width;
    int height;
    int bitCount;
    int frames; // equal frames side by side (1: one picture)
};

const BitmapRow kBitmaps[] = {
    { "web_min", 101, 72, 18, 24, 3 },
    { "web_minmax", 102, 150, 18, 24, 6 },
    { "web_close", 103, 129, 18, 24, 3 },
    { "web_tool", 104, 72, 18, 24, 3 },
    { "logo", 105, 29, 29, 32, 1 },
    { "tab_skin_0", 106, 415, 25, 24, 1 },
    { "tab_skin_1", 107, 421, 28, 24, 1 },
    { "caption_skin", 108, 94, 85, 24, 1 },
    { "exit_answer_faces", 109, 225, 22, 24, 3 },
};

class KestBitmap : public ::testing::TestWithParam<BitmapRow> { };

TEST_P(KestBitmap, FileHasTheSizeAndDepthTheControlsDrawFrom)
{
    const BitmapRow& row = GetParam();
    const auto bytes = LoadResData(row.id, QStringLiteral("BITMAP"));
    ASSERT_TRUE(bytes.has_value());
    const auto header = readBmpHeader(*bytes);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->width, row.width);
    EXPECT_EQ(std::abs(header->height), row.height);
    EXPECT_EQ(header->bitCount, row.bitCount);
    if (row.bitCount == 32)
        EXPECT_EQ(header->alphaMask, 0xFF000000u) << "32-bit bitmaps carry their alpha";
    else
        EXPECT_EQ(header->compression, 0) << "plain BI_RGB";
}

// The double-density variant is the same drawing, frame for frame, at twice
// the size and the same depth; skins load it unresampled above 100 %.
TEST_P(KestBitmap, DoubleDensityVariantIsTheSameDrawing)
{
    const BitmapRow& row = GetParam();
    const QString path = resourcePath(row.id, QStringLiteral("BITMAP")) + QStringLiteral("@2x");
    const auto header = readBmpHeader(readFile(path));
    ASSERT_TRUE(header.has_value()) << path.toStdString();
    EXPECT_EQ(header->width, 2 * row.width);
    EXPECT_EQ(std::abs(header->height), 2 * row.height);
    EXPECT_EQ(header->bitCount, row.bitCount);
    EXPECT_LT(doubleDensityDifference(bitmap(row.id), QImage(path), row.frames), 8.0)
        << "" << row.name;

    const QString type = QStringLiteral("BITMAP");
    EXPECT_EQ(LoadResSkinAt(row.id, type, 1.0), bitmap(row.id));
    for (const qreal scale : { 1.25, 1.5, 2.0 }) {
        const QImage skin = LoadResSkinAt(row.id, type, scale);
        EXPECT_EQ(skin.devicePixelRatio(), 2.0) << scale;
        EXPECT_EQ(logicalSize(skin), QSize(row.width, row.height)) << scale;
    }
}

TEST_P(KestBitmap, QtLoadsItWithItsSizeAndDepth)
{
    const BitmapRow& row = GetParam();
    const QImage image = bitmap(row.id);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(row.width, row.height));
    // Qt holds a 24-bit bitmap as RGB32 without alpha and a 32-bit one with alpha.
    EXPECT_EQ(image.hasAlphaChannel(), row.bitCount == 32) << image.format();
}

INSTANTIATE_TEST_SUITE_P(Kest, KestBitmap, ::testing::ValuesIn(kBitmaps),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Picture strips: equal-width frames side by side

struct StripRow {
    const char* name;
    int id;
    int frames; // 3 for a push button, 6 for a toggle button
    int frameWidth;
};

const StripRow kStrips[] = {
    { "web_min", 101, 3, 24 },
    { "web_minmax_toggle", 102, 6, 25 },
    { "web_close", 103, 3, 43 },
    { "web_tool", 104, 3, 24 },
    { "exit_answer_faces", 109, 3, 75 },
};

class PictureStrip : public ::testing::TestWithParam<StripRow> { };

TEST_P(PictureStrip, FramesHaveTheButtonsWidthAndEachStateLooksDifferent)
{
    const StripRow& row = GetParam();
    const QImage image = bitmap(row.id);
    ASSERT_EQ(image.width(), row.frames * row.frameWidth);
    const QList<QImage> frames = cutFrames(image, row.frames);
    for (int i = 0; i < frames.size(); ++i) {
        for (int j = i + 1; j < frames.size(); ++j)
            EXPECT_NE(frames[i], frames[j]) << "frames " << i << " and " << j;
    }
}

INSTANTIATE_TEST_SUITE_P(Kest, PictureStrip, ::testing::ValuesIn(kStrips),
    [](const auto& info) { return std::string(info.param.name); });

// The caption buttons lie on the caption bar one pixel below its top: their
// normal frames show the caption skin's own rows there, so no seam shows.
TEST(CaptionButtons, BlendIntoTheCaptionSkin)
{
    const QImage skin = bitmap(108);
    for (const int id : { 101, 102, 103, 104 }) {
        const QImage strip = bitmap(id);
        const int frameWidth = strip.width() / (id == 102 ? 6 : 3);
        for (const int frame : (id == 102 ? QList<int> { 0, 3 } : QList<int> { 0 })) {
            for (int y = 0; y < strip.height(); ++y) {
                EXPECT_EQ(strip.pixel(frame * frameWidth, y), skin.pixel(40, y + 1))
                    << "bitmap " << id << " frame " << frame << " row " << y;
            }
        }
    }
}

TEST(Logo, HasTransparentCornersAndAnOpaqueMiddle)
{
    const QImage logo = bitmap(105).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(logo.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(logo.pixel(28, 28)), 0);
    EXPECT_EQ(qAlpha(logo.pixel(14, 14)), 255);
}

// ---------------------------------------------------------------------------
// Tab skins

struct TabSkinRow {
    const char* name;
    int id;
    int width;
    int height;
    int bodyWidth;
    int bodyHeight;
    int glyphX; // close glyph on the selected tab; then other tab, over, pressed
};

const TabSkinRow kTabSkins[] = {
    { "skin_0_trapezoids", 106, 415, 25, 122, 25, 367 },
    { "skin_1_capsules", 107, 421, 28, 124, 26, 373 },
};

class TabSkin : public ::testing::TestWithParam<TabSkinRow> { };

TEST_P(TabSkin, RegionsLieWhereTheTableSays)
{
    const TabSkinRow& row = GetParam();
    const QImage skin = bitmap(row.id);
    ASSERT_EQ(skin.size(), QSize(row.width, row.height));
    EXPECT_EQ(1 + 3 * row.bodyWidth, row.glyphX) << "bodies end where the glyphs start";
    EXPECT_EQ(row.glyphX + 4 * 12, row.width) << "four 12-pixel glyphs end the skin";
}

TEST_P(TabSkin, BackgroundColumnIsOpaque)
{
    const TabSkinRow& row = GetParam();
    const QImage skin = bitmap(row.id);
    for (int y = 0; y < row.height; ++y)
        EXPECT_FALSE(isMagenta(skin.pixel(0, y))) << "row " << y;
}

TEST_P(TabSkin, BodiesHaveMagentaCornersAndAStretchableMiddle)
{
    const TabSkinRow& row = GetParam();
    const QImage skin = bitmap(row.id);
    QList<QRgb> centres;
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kind == 0 ? "normal" : kind == 1 ? "pointer over" : "selected");
        const int x0 = 1 + kind * row.bodyWidth;
        const int x1 = x0 + row.bodyWidth - 1;
        // The slanted or curved sides leave the top corners transparent.
        EXPECT_TRUE(isMagenta(skin.pixel(x0, 0)));
        EXPECT_TRUE(isMagenta(skin.pixel(x1, 0)));
        // Between the 14-pixel side zones every column is the same and opaque, so the
        // nine-grid stretch of the middle shows no seam.
        for (int x = x0 + 14; x <= x1 - 14; ++x) {
            for (int y = 0; y < row.bodyHeight; ++y) {
                ASSERT_EQ(skin.pixel(x, y), skin.pixel(x0 + 14, y)) << "x " << x << " y " << y;
                ASSERT_FALSE(isMagenta(skin.pixel(x, y))) << "x " << x << " y " << y;
            }
        }
        // Rows under the body (skin 1's bodies are 26 of its 28 rows) are unused.
        for (int y = row.bodyHeight; y < row.height; ++y) {
            for (int x = x0; x <= x1; ++x)
                ASSERT_TRUE(isMagenta(skin.pixel(x, y))) << "x " << x << " y " << y;
        }
        centres.append(skin.pixel(x0 + row.bodyWidth / 2, row.bodyHeight / 2));
    }
    EXPECT_NE(centres[0], centres[1]);
    EXPECT_NE(centres[1], centres[2]);
    EXPECT_NE(centres[0], centres[2]);
}

TEST_P(TabSkin, CloseGlyphsAreTwelvePixelsAtTheTopOnMagenta)
{
    const TabSkinRow& row = GetParam();
    const QImage skin = bitmap(row.id);
    QList<QImage> glyphs;
    for (int g = 0; g < 4; ++g) {
        SCOPED_TRACE(g);
        const int x0 = row.glyphX + 12 * g;
        EXPECT_TRUE(isMagenta(skin.pixel(x0, 0))) << "corner of the glyph cell";
        EXPECT_TRUE(isMagenta(skin.pixel(x0 + 11, 11))) << "corner of the glyph cell";
        EXPECT_FALSE(isMagenta(skin.pixel(x0 + 6, 6))) << "middle of the cross";
        for (int y = 12; y < row.height; ++y) {
            for (int x = x0; x < x0 + 12; ++x)
                ASSERT_TRUE(isMagenta(skin.pixel(x, y)))
                    << "below the glyph: x " << x << " y " << y;
        }
        glyphs.append(skin.copy(x0, 0, 12, 12));
    }
    for (int i = 0; i < 4; ++i) {
        for (int j = i + 1; j < 4; ++j)
            EXPECT_NE(glyphs[i], glyphs[j]) << "glyphs " << i << " and " << j;
    }
}

INSTANTIATE_TEST_SUITE_P(Kest, TabSkin, ::testing::ValuesIn(kTabSkins),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Caption skin

TEST(CaptionSkin, TitleAreaIsPlainAcrossTheTiledAndEndRegions)
{
    // DrawBar tiles x 20..39, paints the left end x 0..36 and the right end x 27..93,
    // rows 0..36: everything but the outlined edge columns must match the tile.
    const QImage skin = bitmap(108);
    for (int y = 0; y < 34; ++y) {
        for (int x = 3; x <= 90; ++x)
            ASSERT_EQ(skin.pixel(x, y), skin.pixel(20, y)) << "x " << x << " y " << y;
    }
}

TEST(CaptionSkin, BordersRepeatAlongTheirEdges)
{
    // Printform tiles columns 0..3 and 90..93 from row 53 down, and rows 81..84 from
    // column 20 on; the corner pieces take rows 81..84 at both ends.
    const QImage skin = bitmap(108);
    for (int y = 34; y <= 80; ++y) {
        for (const int x : { 0, 1, 2, 3, 90, 91, 92, 93 })
            ASSERT_EQ(skin.pixel(x, y), skin.pixel(x, 60)) << "x " << x << " y " << y;
    }
    for (int y = 81; y <= 84; ++y) {
        for (int x = 4; x <= 89; ++x)
            ASSERT_EQ(skin.pixel(x, y), skin.pixel(40, y)) << "x " << x << " y " << y;
    }
    EXPECT_NE(skin.pixel(2, 60), skin.pixel(47, 60)) << "the border differs from the client";
    EXPECT_EQ(skin.pixel(47, 60), qRgb(255, 255, 255)) << "a white client area";
}

TEST(CaptionSkin, IsByteForByteUpdatesCaptionSkin)
{
    const auto kest = LoadResData(108, QStringLiteral("BITMAP"));
    ASSERT_TRUE(kest.has_value());
    const QByteArray update
        = readFile(sourceDir() + QStringLiteral("/resources/update/BITMAP/108.bmp"));
    ASSERT_FALSE(update.isEmpty());
    EXPECT_EQ(*kest, update);
}

// ---------------------------------------------------------------------------
// PNG pictures: the splash and the login background

QImage png(int id)
{
    return LoadResImage(id, QStringLiteral("PNG")).convertToFormat(QImage::Format_ARGB32);
}

TEST(LoginBackground, IsTheWindowSizeWithHardAlphaEdges)
{
    const auto bytes = LoadResData(101, QStringLiteral("PNG"));
    ASSERT_TRUE(bytes.has_value());
    EXPECT_TRUE(bytes->startsWith("\x89PNG"));
    const QImage image = png(101);
    ASSERT_EQ(image.size(), QSize(888, 518));
    EXPECT_TRUE(image.hasAlphaChannel());
    // A window mask made from the alpha channel would show half-transparent pixels
    // fully: every pixel is either part of the window or a hole.
    EXPECT_EQ(partlyTransparentPixels(image), 0);
    for (const QPoint corner : { QPoint(0, 0), QPoint(887, 0), QPoint(0, 517), QPoint(887, 517) })
        EXPECT_EQ(qAlpha(image.pixel(corner)), 0) << "rounded corner";
}

TEST(LoginBackground, StripsBesideThePageAreaAreOpaque)
{
    // The page window shows the page from its point (7, 52): the right 7 columns and the
    // bottom 52 rows always show the artwork, which the player drags the window by.
    const QImage image = png(101);
    for (int y = 466; y < 518; ++y) {
        for (int x = 12; x < 876; ++x)
            ASSERT_EQ(qAlpha(image.pixel(x, y)), 255) << "x " << x << " y " << y;
    }
    for (int x = 881; x < 888; ++x) {
        for (int y = 12; y < 506; ++y)
            ASSERT_EQ(qAlpha(image.pixel(x, y)), 255) << "x " << x << " y " << y;
    }
}

TEST(Splash, IsItsSizeWithRealHolesAndHardAlphaEdges)
{
    const QImage image = png(102);
    ASSERT_EQ(image.size(), QSize(356, 122));
    EXPECT_TRUE(image.hasAlphaChannel());
    EXPECT_EQ(partlyTransparentPixels(image), 0);
    const int holes = transparentPixels(image);
    const int area = 356 * 122;
    EXPECT_GT(holes, area / 10) << "the desktop shows through the splash";
    EXPECT_LT(holes, area / 2) << "the picture is mostly picture";
    for (const QPoint corner : { QPoint(0, 0), QPoint(355, 0), QPoint(0, 121), QPoint(355, 121) })
        EXPECT_EQ(qAlpha(image.pixel(corner)), 0);
    EXPECT_EQ(qAlpha(image.pixel(178, 61)), 255);
}

// Screens above 100 %: the layered pictures come drawn at double density from
// the same vectors, the rest are scaled from 1x; either way the picture has the
// screen's device pixels and ratio, and its outline follows the 1x outline.
TEST(DoubleDensity, PicturesForEachScreenScale)
{
    struct Row {
        int id;
        const char* type;
        QSize logical;
        bool drawnTwice;
    };
    for (const Row& row :
        { Row { 101, "PNG", QSize(888, 518), true }, Row { 102, "PNG", QSize(356, 122), true },
            Row { 106, "BITMAP", QSize(415, 25), true } }) {
        const QString type = QString::fromLatin1(row.type);
        const QImage twice(QStringLiteral(":/res/%1/%2@2x").arg(type).arg(row.id));
        EXPECT_EQ(twice.isNull(), !row.drawnTwice) << row.id;
        if (row.drawnTwice) {
            ASSERT_EQ(twice.size(), row.logical * 2) << row.id;
            EXPECT_EQ(partlyTransparentPixels(twice.convertToFormat(QImage::Format_ARGB32)), 0);
            // Every 1x pixel's opacity is the opacity of most of its 2 x 2 block.
            const QImage one = LoadResImage(row.id, type).convertToFormat(QImage::Format_ARGB32);
            int disagreeing = 0;
            for (int y = 0; y < one.height(); ++y) {
                for (int x = 0; x < one.width(); ++x) {
                    int opaque = 0;
                    for (int d = 0; d < 4; ++d)
                        opaque += qAlpha(twice.pixel(2 * x + d % 2, 2 * y + d / 2)) != 0;
                    if (opaque != 2 && (opaque > 2) != (qAlpha(one.pixel(x, y)) != 0))
                        ++disagreeing;
                }
            }
            EXPECT_EQ(disagreeing, 0) << row.id;
        }
        EXPECT_EQ(LoadResImageAt(row.id, type, 1.0), LoadResImage(row.id, type)) << row.id;
        for (const qreal scale : { 1.25, 1.5, 2.0 }) {
            const QImage image = LoadResImageAt(row.id, type, scale);
            EXPECT_EQ(image.size(),
                QSize(qRound(row.logical.width() * scale), qRound(row.logical.height() * scale)))
                << row.id << " at " << scale;
            EXPECT_EQ(image.devicePixelRatio(), scale);
            EXPECT_EQ(image.deviceIndependentSize().toSize(), row.logical);
        }
        if (row.drawnTwice) {
            EXPECT_EQ(LoadResImageAt(row.id, type, 2.0).convertToFormat(QImage::Format_ARGB32),
                twice.convertToFormat(QImage::Format_ARGB32))
                << row.id;
        }
    }
}

// ---------------------------------------------------------------------------
// Application icon

int rowBytes(int width, int bitCount)
{
    return ((width * bitCount + 31) / 32) * 4;
}

TEST(AppIcon, HasFiveImagesOfTheRightSizesAndDepths)
{
    const auto bytes = LoadResData(101, QStringLiteral("ICON"));
    ASSERT_TRUE(bytes.has_value());
    const auto entries = readIconDirectory(*bytes);
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 5);
    const struct {
        int size;
        int bitCount;
    } expected[5] = { { 16, 8 }, { 16, 32 }, { 24, 32 }, { 32, 32 }, { 48, 32 } };
    quint32 end = 6 + 16 * 5;
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const IconEntry& e = entries->at(i);
        EXPECT_EQ(e.width, expected[i].size);
        EXPECT_EQ(e.height, expected[i].size);
        EXPECT_EQ(e.planes, 1);
        EXPECT_EQ(e.bitCount, expected[i].bitCount);
        // The image is a BMP DIB (not PNG) whose header agrees with the directory:
        // height doubled for the XOR bitmap and the AND mask.
        EXPECT_EQ(e.dib.headerSize, 40);
        EXPECT_EQ(e.dib.width, expected[i].size);
        EXPECT_EQ(e.dib.height, 2 * expected[i].size);
        EXPECT_EQ(e.dib.bitCount, expected[i].bitCount);
        EXPECT_EQ(e.dib.compression, 0);
        const int palette = expected[i].bitCount == 8 ? 256 : 0;
        EXPECT_EQ(e.paletteSize, palette);
        const int n = expected[i].size;
        EXPECT_EQ(e.bytes,
            quint32(40 + 4 * palette + n * rowBytes(n, expected[i].bitCount) + n * rowBytes(n, 1)))
            << "header, palette, XOR bitmap and AND mask";
        EXPECT_EQ(e.offset, end) << "images follow each other";
        end = e.offset + e.bytes;
    }
    EXPECT_EQ(end, quint32(bytes->size()));
}

TEST(AppIcon, QtReadsEveryImage)
{
    auto bytes = LoadResData(101, QStringLiteral("ICON"));
    ASSERT_TRUE(bytes.has_value());
    QBuffer buffer(&*bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    ASSERT_EQ(reader.imageCount(), 5) << qPrintable(reader.errorString());
    const int sizes[5] = { 16, 16, 24, 32, 48 };
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(sizes[i], sizes[i]));
        // The 8-bit image is cut out by its AND mask, the others by their alpha.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(sizes[i] / 2, sizes[i] / 2)), 255);
    }
}

TEST(AppIcon, QIconOffersEverySize)
{
    // The launcher makes its window and tray icons from this resource.
    const QIcon icon(resourcePath(101, QStringLiteral("ICON")));
    const QList<QSize> sizes = icon.availableSizes();
    for (const int n : { 16, 24, 32, 48 })
        EXPECT_TRUE(sizes.contains(QSize(n, n))) << n;
}

TEST(ThemeIcons, AreTheEmbeddedIconAtEverySize)
{
    // The package installs resources/icons/<n>.png into the hicolor theme: the
    // desktop's launcher icon must be the emblem the windows show, not a stale copy.
    auto bytes = LoadResData(101, QStringLiteral("ICON"));
    ASSERT_TRUE(bytes.has_value());
    QBuffer buffer(&*bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader embedded(&buffer, "ico");
    const QMap<int, int> embeddedImage = { { 16, 1 }, { 24, 2 }, { 32, 3 }, { 48, 4 } };
    for (const int n : { 16, 24, 32, 48, 64, 128, 256, 512 }) {
        SCOPED_TRACE(n);
        const QString path = sourceDir() + QStringLiteral("/resources/icons/%1.png").arg(n);
        const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(n, n)) << qPrintable(path);
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(n / 2, n / 2)), 255);
        if (embeddedImage.contains(n)) {
            ASSERT_TRUE(embedded.jumpToImage(embeddedImage[n]));
            EXPECT_EQ(embedded.read().convertToFormat(QImage::Format_ARGB32), image);
        }
    }
}

// ---------------------------------------------------------------------------
// The embedded updater, which the update check writes out

#ifndef KEST_STRIPPED_UPDATER
#error "the build names the stripped updater"
#endif

bool hasSymbolTable(const QByteArray& elf)
{
    auto le = [&](qsizetype at, int bytes) {
        quint64 v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | quint8(elf.at(at + i));
        return v;
    };
    const bool is64 = elf.at(4) == 2;
    const quint64 shoff = is64 ? le(0x28, 8) : le(0x20, 4);
    const quint64 shentsize = le(is64 ? 0x3A : 0x2E, 2);
    const quint64 shnum = le(is64 ? 0x3C : 0x30, 2);
    for (quint64 i = 0; i < shnum; ++i) {
        const quint64 at = shoff + i * shentsize;
        if (at + 8 <= quint64(elf.size()) && le(qsizetype(at + 4), 4) == 2) // SHT_SYMTAB
            return true;
    }
    return false;
}

TEST(EmbeddedUpdater, IsTheStrippedUpdateProgram)
{
    const auto embedded = LoadResData(101, QStringLiteral("UPDATE"));
    ASSERT_TRUE(embedded.has_value()) << "kest carries the updater as UPDATE 101";
    const QByteArray stripped = readFile(QStringLiteral(KEST_STRIPPED_UPDATER));
    const QByteArray built = readFile(QStringLiteral(KEST_BUILT_UPDATER));
    ASSERT_FALSE(stripped.isEmpty());
    ASSERT_FALSE(built.isEmpty());
    EXPECT_TRUE(*embedded == stripped)
        << "embedded " << embedded->size() << " bytes, stripped " << stripped.size();
    ASSERT_TRUE(embedded->startsWith("\x7f"
                                     "ELF"));
    EXPECT_EQ(embedded->mid(0, 20), built.mid(0, 20)) << "same class, machine and type";
    EXPECT_FALSE(hasSymbolTable(*embedded));
    EXPECT_LE(embedded->size(), built.size());
}

// ---------------------------------------------------------------------------
// SaveResToFile

TEST(SaveResToFile, OverABiggerFileLeavesExactlyTheResource)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("kest.ico"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(1 << 20, 'x'));
    }
    ASSERT_TRUE(SaveResToFile(101, QStringLiteral("ICON"), path));
    const auto resource = LoadResData(101, QStringLiteral("ICON"));
    ASSERT_TRUE(resource.has_value());
    EXPECT_EQ(QFileInfo(path).size(), resource->size());
    EXPECT_EQ(readFile(path), *resource);
}

TEST(SaveResToFile, MissingResourceFailsAndLeavesTheFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("out"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("before");
    }
    EXPECT_FALSE(SaveResToFile(110, QStringLiteral("BITMAP"), path));
    EXPECT_FALSE(SaveResToFile(101, QStringLiteral("NOSUCHTYPE"), path));
    EXPECT_EQ(readFile(path), QByteArray("before"));
    EXPECT_FALSE(SaveResToFile(102, QStringLiteral("UPDATE"), dir.filePath(QStringLiteral("new"))));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("new"))));
}

TEST(ResourcePaths, TypeNamesAreUpperCaseWithoutExtensions)
{
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/res/PNG/102")));
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/res/BITMAP/108")));
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/res/ICON/101")));
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/res/UPDATE/101")));
    EXPECT_FALSE(QFile::exists(QStringLiteral(":/res/PNG/102.png")));
    EXPECT_TRUE(LoadResData(102, QStringLiteral("png")).has_value()) << "type matched upper-cased";
}

} // namespace
