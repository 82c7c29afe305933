#include "picturefiles.h"

#include <algorithm>
#include <cmath>

namespace kest::test {

namespace {

quint32 le(const QByteArray& b, qsizetype at, int bytes)
{
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | quint8(b.at(at + i));
    return v;
}

std::optional<BmpHeader> readDib(const QByteArray& b, qsizetype at)
{
    if (at + 40 > b.size())
        return std::nullopt;
    BmpHeader h;
    h.headerSize = int(le(b, at, 4));
    if (h.headerSize < 40 || at + h.headerSize > b.size())
        return std::nullopt;
    h.width = qint32(le(b, at + 4, 4));
    h.height = qint32(le(b, at + 8, 4));
    h.bitCount = int(le(b, at + 14, 2));
    h.compression = int(le(b, at + 16, 4));
    if (h.headerSize >= 56)
        h.alphaMask = le(b, at + 52, 4);
    return h;
}

} // namespace

std::optional<BmpHeader> readBmpHeader(const QByteArray& file)
{
    if (file.size() < 14 || file.at(0) != 'B' || file.at(1) != 'M')
        return std::nullopt;
    return readDib(file, 14);
}

std::optional<QList<IconEntry>> readIconDirectory(const QByteArray& file)
{
    if (file.size() < 6 || le(file, 0, 2) != 0 || le(file, 2, 2) != 1)
        return std::nullopt;
    const int count = int(le(file, 4, 2));
    if (6 + 16 * count > file.size())
        return std::nullopt;
    QList<IconEntry> entries;
    for (int i = 0; i < count; ++i) {
        const qsizetype e = 6 + 16 * i;
        IconEntry entry;
        entry.width = quint8(file.at(e)) == 0 ? 256 : quint8(file.at(e));
        entry.height = quint8(file.at(e + 1)) == 0 ? 256 : quint8(file.at(e + 1));
        entry.planes = int(le(file, e + 4, 2));
        entry.bitCount = int(le(file, e + 6, 2));
        entry.bytes = le(file, e + 8, 4);
        entry.offset = le(file, e + 12, 4);
        if (qint64(entry.offset) + entry.bytes > file.size())
            return std::nullopt;
        const auto dib = readDib(file, entry.offset);
        if (!dib)
            return std::nullopt;
        entry.dib = *dib;
        const quint32 used = le(file, entry.offset + 32, 4);
        if (dib->bitCount <= 8)
            entry.paletteSize = used != 0 ? int(used) : (1 << dib->bitCount);
        entries.append(entry);
    }
    return entries;
}

QList<QImage> cutFrames(const QImage& strip, int frames)
{
    QList<QImage> out;
    const int w = strip.width() / frames;
    for (int i = 0; i < frames; ++i)
        out.append(strip.copy(i * w, 0, w, strip.height()));
    return out;
}

double doubleDensityDifference(const QImage& one, const QImage& twice, int frames)
{
    if (one.isNull() || twice.size() != one.size() * 2 || frames < 1)
        return -1;
    const QImage a = one.convertToFormat(QImage::Format_ARGB32);
    const QImage b = twice.convertToFormat(QImage::Format_ARGB32);
    const int frameWidth = a.width() / frames;
    double worst = 0;
    for (int f = 0; f < frames; ++f) {
        double sum = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (int x = f * frameWidth; x < (f + 1) * frameWidth; ++x) {
                const QRgb p = a.pixel(x, y);
                const QRgb q[4] = { b.pixel(2 * x, 2 * y), b.pixel(2 * x + 1, 2 * y),
                    b.pixel(2 * x, 2 * y + 1), b.pixel(2 * x + 1, 2 * y + 1) };
                const auto mean = [&q](int (*channel)(QRgb)) {
                    return (channel(q[0]) + channel(q[1]) + channel(q[2]) + channel(q[3])) / 4.0;
                };
                sum += std::abs(qRed(p) - mean(qRed)) + std::abs(qGreen(p) - mean(qGreen))
                    + std::abs(qBlue(p) - mean(qBlue)) + std::abs(qAlpha(p) - mean(qAlpha));
            }
        }
        worst = std::max(worst, sum / (4.0 * frameWidth * a.height()));
    }
    return worst;
}

int partlyTransparentPixels(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int n = 0;
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const int a = qAlpha(argb.pixel(x, y));
            n += (a != 0 && a != 255) ? 1 : 0;
        }
    }
    return n;
}

int transparentPixels(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int n = 0;
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x)
            n += qAlpha(argb.pixel(x, y)) == 0 ? 1 : 0;
    }
    return n;
}

bool isMagenta(QRgb pixel)
{
    return (pixel & 0xFFFFFF) == 0xFF00FF;
}

} // namespace kest::test
