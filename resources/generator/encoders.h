#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

namespace resgen {

// Windows bitmap files, written by hand so that the bit depth is exactly the one the
// skins need (QImage's own BMP writer picks the depth itself).

// 24 bits per pixel, BITMAPINFOHEADER, bottom-up rows; alpha is dropped.
QByteArray encodeBmp24(const QImage& image);

// 32 bits per pixel with straight (not premultiplied) alpha: BITMAPV5HEADER with
// BI_BITFIELDS masks, so that readers that honour an alpha mask (Qt among them) keep it.
QByteArray encodeBmp32(const QImage& image);

// One image of an icon file.
struct IconImage {
    QImage image; // the picture, any format; its alpha decides the AND mask
    int bitCount; // 8 (palette of the image's own colours) or 32 (BGRA)
};

// A complete .ico file: ICONDIR, one ICONDIRENTRY per image, then each image as a
// BMP DIB (BITMAPINFOHEADER with doubled height, palette for 8 bits, XOR bitmap,
// 1-bit AND mask). An 8-bit image may hold at most 256 distinct opaque colours.
QByteArray encodeIco(const QList<IconImage>& images);

} // namespace resgen
