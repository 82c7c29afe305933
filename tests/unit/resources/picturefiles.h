#pragma once

// Readers of the file headers the pictures must have: the bit depth of a bitmap and
// the images of an icon are facts of the file, which QImage does not keep.

#include <QByteArray>
#include <QImage>
#include <QList>

#include <optional>

namespace kest::test {

struct BmpHeader {
    int headerSize = 0; // 40 BITMAPINFOHEADER, 108 V4, 124 V5
    int width = 0;
    int height = 0; // negative: top-down
    int bitCount = 0;
    int compression = 0; // 0 BI_RGB, 3 BI_BITFIELDS
    quint32 alphaMask = 0; // only with a V4 or V5 header
};

// The header of a .bmp file ("BM", file header, DIB header), or nothing.
std::optional<BmpHeader> readBmpHeader(const QByteArray& file);

struct IconEntry {
    int width = 0; // ICONDIRENTRY, 0 read as 256
    int height = 0;
    int planes = 0;
    int bitCount = 0;
    quint32 bytes = 0;
    quint32 offset = 0;
    BmpHeader dib; // the BITMAPINFOHEADER at `offset` (height doubled)
    int paletteSize = 0; // colour table entries after the header
};

// The entries of an .ico file (ICONDIR type 1), or nothing when the directory or an
// entry's data is malformed (bad type, data outside the file, not a DIB).
std::optional<QList<IconEntry>> readIconDirectory(const QByteArray& file);

// The frames of a picture strip of `frames` equal frames.
QList<QImage> cutFrames(const QImage& strip, int frames);

// How far a double-density picture is from its 1x picture: each 2 x 2 block of
// `twice` averaged and compared with the 1x pixel, as the mean difference per
// colour channel (0-255) of the worst of `frames` equal frames. A frame drawn
// at a wrong offset, or drawn differently, stands out against the antialiasing
// that the two densities legitimately differ by. -1 when the sizes do not fit.
double doubleDensityDifference(const QImage& one, const QImage& twice, int frames);

// Pixels with an alpha strictly between 0 and 255.
int partlyTransparentPixels(const QImage& image);

// Pixels with alpha 0.
int transparentPixels(const QImage& image);

bool isMagenta(QRgb pixel);

} // namespace kest::test
