#include "encoders.h"

#include <QHash>

#include <stdexcept>

namespace resgen {

namespace {

// Little-endian writer over a byte array.
class Le {
public:
    explicit Le(QByteArray& out)
        : m_out(out)
    { }
    void u8(quint32 v) { m_out.append(char(v & 0xFF)); }
    void u16(quint32 v)
    {
        u8(v);
        u8(v >> 8);
    }
    void u32(quint32 v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void s32(qint32 v) { u32(quint32(v)); }

private:
    QByteArray& m_out;
};

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kV5HeaderSize = 124;
constexpr qint32 kPixelsPerMetre = 3780; // 96 dots per inch: 15 twips per pixel

int rowBytes(int width, int bitCount)
{
    return ((width * bitCount + 31) / 32) * 4;
}

void fileHeader(Le& le, quint32 fileSize, quint32 pixelOffset)
{
    le.u8('B');
    le.u8('M');
    le.u32(fileSize);
    le.u32(0);
    le.u32(pixelOffset);
}

// BITMAPINFOHEADER; `height` is the DIB height (doubled inside an icon).
void infoHeader(Le& le, int width, int height, int bitCount, quint32 imageSize, int colours)
{
    le.u32(kInfoHeaderSize);
    le.s32(width);
    le.s32(height);
    le.u16(1);
    le.u16(bitCount);
    le.u32(0); // BI_RGB
    le.u32(imageSize);
    le.s32(kPixelsPerMetre);
    le.s32(kPixelsPerMetre);
    le.u32(quint32(colours));
    le.u32(0);
}

void pad(QByteArray& out, int from, int to)
{
    for (int i = from; i < to; ++i)
        out.append('\0');
}

// The colour pixels bottom-up, BGR or BGRA, rows padded to four bytes.
QByteArray pixelRows(const QImage& argb, int bitCount)
{
    QByteArray out;
    const int bytesPerPixel = bitCount / 8;
    for (int y = argb.height() - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            out.append(char(qBlue(line[x])));
            out.append(char(qGreen(line[x])));
            out.append(char(qRed(line[x])));
            if (bytesPerPixel == 4)
                out.append(char(qAlpha(line[x])));
        }
        pad(out, argb.width() * bytesPerPixel, rowBytes(argb.width(), bitCount));
    }
    return out;
}

// The 1-bit AND mask bottom-up: 1 where the pixel is fully transparent.
QByteArray andMask(const QImage& argb)
{
    QByteArray out;
    const int stride = rowBytes(argb.width(), 1);
    for (int y = argb.height() - 1; y >= 0; --y) {
        QByteArray row(stride, '\0');
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(line[x]) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        out.append(row);
    }
    return out;
}

// One icon image as a DIB: header, palette, XOR bitmap, AND mask.
QByteArray iconDib(const IconImage& icon)
{
    const QImage argb = icon.image.convertToFormat(QImage::Format_ARGB32);
    const int w = argb.width();
    const int h = argb.height();
    QByteArray out;
    Le le(out);
    const QByteArray mask = andMask(argb);

    if (icon.bitCount == 32) {
        const QByteArray xorBits = pixelRows(argb, 32);
        infoHeader(le, w, 2 * h, 32, quint32(xorBits.size() + mask.size()), 0);
        out.append(xorBits);
        out.append(mask);
        return out;
    }
    if (icon.bitCount != 8)
        throw std::runtime_error("icon images are 8 or 32 bits");

    // Palette: the image's own opaque colours in order of first appearance, black first
    // so that transparent pixels (index 0, masked out) stay black as the format expects.
    QList<QRgb> palette { qRgb(0, 0, 0) };
    QHash<QRgb, int> index { { qRgb(0, 0, 0), 0 } };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb p = argb.pixel(x, y);
            if (qAlpha(p) == 0)
                continue;
            const QRgb rgb = qRgb(qRed(p), qGreen(p), qBlue(p));
            if (!index.contains(rgb)) {
                index.insert(rgb, int(palette.size()));
                palette.append(rgb);
            }
        }
    }
    if (palette.size() > 256)
        throw std::runtime_error("an 8-bit icon image holds more than 256 colours");
    while (palette.size() < 256)
        palette.append(qRgb(0, 0, 0));

    const int stride = rowBytes(w, 8);
    infoHeader(le, w, 2 * h, 8, quint32(stride * h + mask.size()), 256);
    for (QRgb c : palette) {
        le.u8(quint32(qBlue(c)));
        le.u8(quint32(qGreen(c)));
        le.u8(quint32(qRed(c)));
        le.u8(0);
    }
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const QRgb p = argb.pixel(x, y);
            le.u8(qAlpha(p) == 0 ? 0 : quint32(index.value(qRgb(qRed(p), qGreen(p), qBlue(p)))));
        }
        pad(out, w, stride);
    }
    out.append(mask);
    return out;
}

} // namespace

QByteArray encodeBmp24(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const QByteArray bits = pixelRows(argb, 24);
    QByteArray out;
    Le le(out);
    fileHeader(le, quint32(kFileHeaderSize + kInfoHeaderSize + bits.size()),
        kFileHeaderSize + kInfoHeaderSize);
    infoHeader(le, argb.width(), argb.height(), 24, quint32(bits.size()), 0);
    out.append(bits);
    return out;
}

QByteArray encodeBmp32(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const QByteArray bits = pixelRows(argb, 32);
    QByteArray out;
    Le le(out);
    fileHeader(le, quint32(kFileHeaderSize + kV5HeaderSize + bits.size()),
        kFileHeaderSize + kV5HeaderSize);
    le.u32(kV5HeaderSize);
    le.s32(argb.width());
    le.s32(argb.height());
    le.u16(1);
    le.u16(32);
    le.u32(3); // BI_BITFIELDS
    le.u32(quint32(bits.size()));
    le.s32(kPixelsPerMetre);
    le.s32(kPixelsPerMetre);
    le.u32(0);
    le.u32(0);
    le.u32(0x00FF0000); // red mask
    le.u32(0x0000FF00); // green mask
    le.u32(0x000000FF); // blue mask
    le.u32(0xFF000000); // alpha mask
    le.u32(0x73524742); // LCS_sRGB ('sRGB')
    pad(out, 0, 36); // CIEXYZTRIPLE endpoints, unused with sRGB
    le.u32(0); // gamma red, green, blue
    le.u32(0);
    le.u32(0);
    le.u32(4); // LCS_GM_IMAGES
    le.u32(0); // profile data, size, reserved
    le.u32(0);
    le.u32(0);
    out.append(bits);
    return out;
}

QByteArray encodeIco(const QList<IconImage>& images)
{
    QList<QByteArray> dibs;
    for (const IconImage& icon : images)
        dibs.append(iconDib(icon));

    QByteArray out;
    Le le(out);
    le.u16(0); // reserved
    le.u16(1); // type: icon
    le.u16(quint32(images.size()));
    quint32 offset = quint32(6 + 16 * images.size());
    for (int i = 0; i < images.size(); ++i) {
        const QImage& image = images[i].image;
        if (image.width() > 256 || image.height() > 256)
            throw std::runtime_error("icon images are at most 256 pixels");
        le.u8(quint32(image.width() & 0xFF)); // 0 means 256
        le.u8(quint32(image.height() & 0xFF));
        le.u8(0); // colour count: 0 for 256 colours and more
        le.u8(0);
        le.u16(1); // planes
        le.u16(quint32(images[i].bitCount));
        le.u32(quint32(dibs[i].size()));
        le.u32(offset);
        offset += quint32(dibs[i].size());
    }
    for (const QByteArray& dib : dibs)
        out.append(dib);
    return out;
}

} // namespace resgen
