#include "artwork.h"

#include "look.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <functional>
#include <numbers>

namespace resgen {

using look::mix;

namespace {

// ---------------------------------------------------------------------------
// Canvas helpers

QImage canvas(int w, int h, const QColor& fill = Qt::transparent)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

void antialias(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// A shape as a hard 0/255 mask: a pixel belongs to the shape when at least half of
// it is covered.
QImage hardMask(int w, int h, const QPainterPath& shape)
{
    QImage coverage(w, h, QImage::Format_Alpha8);
    coverage.fill(0);
    {
        QPainter p(&coverage);
        antialias(p);
        p.fillPath(shape, Qt::black);
    }
    for (int y = 0; y < h; ++y) {
        uchar* line = coverage.scanLine(y);
        for (int x = 0; x < w; ++x)
            line[x] = line[x] >= 128 ? 255 : 0;
    }
    return coverage;
}

bool inMask(const QImage& mask, int x, int y)
{
    return x >= 0 && y >= 0 && x < mask.width() && y < mask.height()
        && mask.constScanLine(y)[x] != 0;
}

// Cuts `art` (opaque where the shape is) to the hard mask and paints a ring of
// `ringWidth` pixels just inside the mask's edge in `ring`: every remaining pixel is
// either fully opaque or fully transparent, as a window mask made from the alpha
// channel needs, and the staircase edge is an even outline rather than a fringe.
QImage cutToMask(const QImage& art, const QImage& mask, const QColor& ring, int ringWidth)
{
    QImage out = art.convertToFormat(QImage::Format_ARGB32);
    const int w = out.width();
    const int h = out.height();
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            if (!inMask(mask, x, y)) {
                line[x] = 0;
                continue;
            }
            bool edge = false;
            for (int dy = -ringWidth; dy <= ringWidth && !edge; ++dy) {
                for (int dx = -ringWidth; dx <= ringWidth && !edge; ++dx) {
                    if (std::abs(dx) + std::abs(dy) <= ringWidth && !inMask(mask, x + dx, y + dy))
                        edge = true;
                }
            }
            const QRgb p = edge ? ring.rgb() : line[x];
            line[x] = qRgba(qRed(p), qGreen(p), qBlue(p), 255);
        }
    }
    return out;
}

// Puts an anti-aliased layer (drawn on transparent) onto an opaque background for a
// magenta-keyed bitmap: pixels the layer covers by at least `threshold` get the layer
// composed over `background(x, y)`, which is the colour they will be drawn on, so that
// their smoothed edge matches; the rest become magenta, transparent when drawn.
QImage keyed(
    const QImage& layer, const std::function<QColor(int, int)>& background, double threshold = 0.35)
{
    const QImage src = layer.convertToFormat(QImage::Format_ARGB32);
    QImage out(src.size(), QImage::Format_ARGB32);
    for (int y = 0; y < src.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < src.width(); ++x) {
            const double a = qAlpha(in[x]) / 255.0;
            if (a < threshold) {
                line[x] = look::magenta.rgb();
                continue;
            }
            const QColor bg = background(x, y);
            const QColor fg(qRed(in[x]), qGreen(in[x]), qBlue(in[x]));
            line[x] = mix(bg, fg, a).rgb();
        }
    }
    return out;
}

void blit(QImage& dst, int x, int y, const QImage& src)
{
    QPainter p(&dst);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(x, y, src);
}

QImage opaque(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

// ---------------------------------------------------------------------------
// Shapes

// A four-pointed sparkle: points at `radius` up, right, down and left, waist at `waist`.
QPainterPath sparkle(QPointF c, double radius, double waist, double turn = 0.0)
{
    QPainterPath path;
    for (int i = 0; i < 8; ++i) {
        const double angle = turn + i * std::numbers::pi / 4.0 - std::numbers::pi / 2.0;
        const double r = (i % 2 == 0) ? radius : waist;
        const QPointF pt(c.x() + r * std::cos(angle), c.y() + r * std::sin(angle));
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    path.closeSubpath();
    return path;
}

// The emblem of the programs: a blue disc in a white ring and a dark rim, with a white
// compass sparkle. Used by the icon, the logo, the splash and the login footer.
void paintEmblem(QPainter& p, QPointF c, double r)
{
    const double rim = std::max(1.0, r / 12.0);
    const double ring = std::max(1.0, r / 9.0);
    p.setPen(Qt::NoPen);
    p.setBrush(look::outline);
    p.drawEllipse(c, r, r);
    p.setBrush(Qt::white);
    p.drawEllipse(c, r - rim, r - rim);

    const double disc = r - rim - ring;
    QLinearGradient fill(c - QPointF(disc, disc), c + QPointF(disc, disc));
    fill.setColorAt(0.0, QColor(0x6C, 0xB8, 0xF6));
    fill.setColorAt(0.55, QColor(0x2C, 0x7D, 0xD2));
    fill.setColorAt(1.0, QColor(0x12, 0x4E, 0x9A));
    p.setBrush(fill);
    p.drawEllipse(c, disc, disc);

    if (r >= 11) {
        // A soft orbit and a diagonal sparkle give the larger sizes some depth.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0xA8, 0xD6, 0xFB), std::max(1.0, r / 24.0)));
        p.drawEllipse(c, disc * 0.62, disc * 0.62);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xBF, 0xE2, 0xFD));
        p.drawPath(sparkle(c, disc * 0.62, disc * 0.12, std::numbers::pi / 4.0));
    }
    p.setBrush(Qt::white);
    p.drawPath(sparkle(c, disc * 0.86, disc * (r >= 11 ? 0.2 : 0.3)));
}

// ---------------------------------------------------------------------------
// Caption buttons

enum class Glyph { Minimise, Maximise, Restore, Menu, Close };

// The white glyph centred at (cx, cy): crisp rectangles where the glyph is square,
// anti-aliased strokes for the close cross.
void paintGlyph(QPainter& p, Glyph glyph, double cx, double cy, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    auto box = [&](double x, double y, double w, double h) { p.drawRect(QRectF(x, y, w, h)); };
    auto frame = [&](double x, double y, double w, double h) {
        box(x, y, w, 2); // a thicker top edge, the window's caption
        box(x, y + h - 1, w, 1);
        box(x, y, 1, h);
        box(x + w - 1, y, 1, h);
    };
    switch (glyph) {
    case Glyph::Minimise:
        box(cx - 4, cy + 2, 8, 2);
        break;
    case Glyph::Maximise:
        frame(cx - 4.5, cy - 4, 9, 8);
        break;
    case Glyph::Restore: {
        // The back window shows only where the front one does not cover it.
        const QRectF front(cx - 4.5, cy - 2, 7, 6);
        p.save();
        QPainterPath clip;
        clip.addRect(QRectF(0, 0, 1000, 1000));
        QPainterPath hole;
        hole.addRect(front);
        p.setClipPath(clip.subtracted(hole));
        frame(cx - 2.5, cy - 5, 7, 6);
        p.restore();
        frame(front.x(), front.y(), front.width(), front.height());
        break;
    }
    case Glyph::Menu:
        box(cx - 5, cy - 5, 10, 2);
        box(cx - 5, cy - 1, 10, 2);
        box(cx - 5, cy + 3, 10, 2);
        break;
    case Glyph::Close: {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(c, 1.7, Qt::SolidLine, Qt::FlatCap));
        const double s = 3.6;
        p.drawLine(QPointF(cx - s, cy - s), QPointF(cx + s, cy + s));
        p.drawLine(QPointF(cx - s, cy + s), QPointF(cx + s, cy - s));
        break;
    }
    }
}

// One frame of a caption button on the caption gradient: 0 normal, 1 pointer over,
// 2 pressed. The button's top edge lies on caption row `top`.
// At `scale` the frame is drawn from the same shapes with that many pixels per
// unit; the background rows follow the caption's gradient at the same density.
QImage buttonFrame(int w, int h, int top, Glyph glyph, int state, bool danger, int scale)
{
    QImage image = canvas(w * scale, h * scale);
    QPainter p(&image);
    for (int y = 0; y < h * scale; ++y)
        p.fillRect(0, y, w * scale, 1, look::titleColor(top + double(y) / scale));
    antialias(p);
    p.scale(scale, scale);

    const QRectF plate(1.5, 1.5, w - 3, h - 3);
    if (state == 1) {
        p.setPen(QPen(danger ? QColor(0xA8, 0x2A, 0x24) : QColor(255, 255, 255, 150), 1));
        p.setBrush(danger ? QColor(0xE2, 0x4B, 0x42) : QColor(255, 255, 255, 70));
        p.drawRoundedRect(plate, 3, 3);
    } else if (state == 2) {
        p.setPen(QPen(danger ? QColor(0x7E, 0x1C, 0x18) : QColor(0x08, 0x33, 0x66, 190), 1));
        p.setBrush(danger ? QColor(0xB5, 0x30, 0x2A) : QColor(0x08, 0x33, 0x66, 110));
        p.drawRoundedRect(plate, 3, 3);
    }

    const double cx = glyph == Glyph::Close ? w / 2.0 : std::floor(w / 2.0);
    const double cy = glyph == Glyph::Close ? std::floor((h - 1) / 2.0) + 0.5 : std::floor(h / 2.0);
    const double push = state == 2 ? 1.0 : 0.0; // pressed: the glyph sinks by a pixel
    if (glyph != Glyph::Close)
        p.setRenderHint(QPainter::Antialiasing, false);
    paintGlyph(p, glyph, cx, cy + push + 1, QColor(0x08, 0x33, 0x66, 70)); // shadow
    paintGlyph(p, glyph, cx, cy + push, Qt::white);
    return image;
}

QImage buttonStrip(int frameW, int frameH, const QList<Glyph>& glyphs, bool danger, int scale)
{
    // Three frames per glyph: normal, over, pressed. A toggle button passes two glyphs.
    // Each frame is drawn on its own canvas, so no frame's antialiasing reaches into
    // its neighbour at any density.
    QImage strip = canvas(frameW * 3 * int(glyphs.size()) * scale, frameH * scale);
    for (int g = 0; g < glyphs.size(); ++g) {
        for (int state = 0; state < 3; ++state)
            blit(strip, (g * 3 + state) * frameW * scale, 0,
                buttonFrame(frameW, frameH, 1, glyphs[g], state, danger, scale));
    }
    return opaque(strip);
}

// ---------------------------------------------------------------------------
// Tab skins

// Body colours, top and bottom of the gradient: normal, pointer over, selected.
struct BodyLook {
    QColor top;
    QColor bottom;
};
const BodyLook kBodies[3] = {
    { QColor(0xB6, 0xD9, 0xF8), QColor(0x84, 0xBB, 0xEC) },
    { QColor(0xE6, 0xF3, 0xFE), QColor(0xBC, 0xDD, 0xF9) },
    { QColor(0xFF, 0xFF, 0xFF), QColor(0xEC, 0xF4, 0xFC) },
};
const QColor kTabOutline(0x12, 0x4C, 0x8E);

QColor bodyColor(int kind, double y, int height)
{
    return mix(kBodies[kind].top, kBodies[kind].bottom, y / std::max(1, height - 1));
}

// The strip background behind row y of a tab body (y in strip pixels).
QColor stripColor(double y)
{
    return look::titleColor(tabStripTop + y);
}

// Style 0: a trapezoid whose sides slant over 14 pixels, open at the bottom.
QPainterPath trapezoid(double w, double h)
{
    QPainterPath path;
    // The rounded top corners end inside the 14-pixel side zones, which the strip
    // copies 1:1; only the straight middle is stretched.
    path.moveTo(0, h);
    path.lineTo(10.2, 3.0);
    path.quadTo(11.2, 0, 13.2, 0);
    path.lineTo(w - 13.2, 0);
    path.quadTo(w - 11.2, 0, w - 10.2, 3.0);
    path.lineTo(w, h);
    path.closeSubpath();
    return path;
}

QImage tabBody(int style, int kind, int scale)
{
    const int w = style == 0 ? 122 : 124;
    const int h = style == 0 ? 25 : 26;
    QImage layer = canvas(w * scale, h * scale);
    {
        QPainter p(&layer);
        antialias(p);
        p.scale(scale, scale);
        QLinearGradient fill(0, 0, 0, h - 1);
        fill.setColorAt(0, kBodies[kind].top);
        fill.setColorAt(1, kBodies[kind].bottom);
        if (style == 0) {
            const QPainterPath shape = trapezoid(w, h + 1); // the bottom edge stays open
            p.fillPath(shape, fill);
            p.setClipRect(0, 0, w, h);
            p.strokePath(trapezoid(w - 1, h + 1).translated(0.5, 0.5), QPen(kTabOutline, 1));
            p.setPen(QPen(QColor(255, 255, 255, 170), 1, Qt::SolidLine, Qt::FlatCap));
            p.drawLine(QPointF(14, 1.5), QPointF(w - 14, 1.5));
        } else {
            QPainterPath shape;
            shape.addRoundedRect(QRectF(0, 0, w, h), h / 2.0, h / 2.0);
            p.fillPath(shape, fill);
            QPainterPath rim;
            rim.addRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), (h - 1) / 2.0, (h - 1) / 2.0);
            p.strokePath(rim, QPen(kTabOutline, 1));
            p.setPen(QPen(QColor(255, 255, 255, 170), 1, Qt::SolidLine, Qt::FlatCap));
            p.drawLine(QPointF(14, 1.5), QPointF(w - 14, 1.5));
        }
    }
    QImage body = keyed(layer, [scale](int, int y) { return stripColor(double(y) / scale); });
    // The middle between the two 14-pixel side zones is stretched to any width: make
    // every column of it the same, so stretching shows no seam.
    const int middle = w * scale / 2;
    for (int x = 14 * scale; x < (w - 14) * scale; ++x) {
        for (int y = 0; y < h * scale; ++y)
            body.setPixel(x, y, body.pixel(middle, y));
    }
    return body;
}

// The four close glyphs, 12 x 12: on the selected tab, on another tab (grey crosses),
// pointer over it (red disc) and pressed (dark disc).
QImage closeGlyph(int variant, int style, int scale)
{
    const int glyphTop = style == 0 ? 6 : 7; // where the strip draws the glyph
    const int bodyHeight = style == 0 ? 25 : 26;
    QImage layer = canvas(12 * scale, 12 * scale);
    QPainter p(&layer);
    antialias(p);
    p.scale(scale, scale);
    const QPointF c(6, 6);
    auto cross = [&](const QColor& colour, double s, double width) {
        p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c + QPointF(-s, -s), c + QPointF(s, s));
        p.drawLine(c + QPointF(-s, s), c + QPointF(s, -s));
    };
    int behind = 0; // the tab body the glyph usually sits on
    switch (variant) {
    case 0: // selected tab: a light grey cross on white
        cross(QColor(0x7D, 0x8A, 0x98), 3.0, 1.6);
        behind = 2;
        break;
    case 1: // another tab: a darker grey cross on blue
        cross(QColor(0x4A, 0x5A, 0x6C), 3.0, 1.6);
        behind = 0;
        break;
    case 2: // pointer over the button: red disc, white cross
    case 3: // pressed: dark disc, white cross
        p.setPen(Qt::NoPen);
        p.setBrush(variant == 2 ? QColor(0xE0, 0x45, 0x3C) : QColor(0x2A, 0x3E, 0x58));
        p.drawEllipse(QRectF(0, 0, 12, 12));
        cross(Qt::white, 2.4, 1.5);
        behind = 1;
        break;
    }
    p.end();
    return keyed(
        layer,
        [&](int, int y) { return bodyColor(behind, glyphTop + double(y) / scale, bodyHeight); },
        0.3);
}

QImage tabSkin(int style, int scale)
{
    const int w = style == 0 ? 415 : 421;
    const int h = style == 0 ? 25 : 28;
    const int bodyW = style == 0 ? 122 : 124;
    const int glyphX = style == 0 ? 367 : 373;
    QImage skin = canvas(w * scale, h * scale, look::magenta);

    // Background column: the caption gradient behind the strip. Skin 1's 28 rows are
    // stretched over the 32-pixel strip, so each row samples the middle of its band.
    for (int y = 0; y < h * scale; ++y) {
        // Skin 0's rows follow the caption's rows at the caption skin's density.
        const double row = style == 0 ? double(y) / scale : ((y + 0.5) / scale) * 32.0 / 28.0 - 0.5;
        for (int x = 0; x < scale; ++x)
            skin.setPixelColor(x, y, look::titleColor(tabStripTop + row));
    }
    for (int kind = 0; kind < 3; ++kind)
        blit(skin, (1 + kind * bodyW) * scale, 0, tabBody(style, kind, scale));
    for (int variant = 0; variant < 4; ++variant)
        blit(skin, (glyphX + 12 * variant) * scale, 0, closeGlyph(variant, style, scale));
    return opaque(skin);
}

// ---------------------------------------------------------------------------
// Landscape pieces for the splash and the login background

QPainterPath ridge(const QList<QPointF>& points, double bottom)
{
    QPainterPath path;
    path.moveTo(points.first().x(), bottom);
    for (const QPointF& pt : points)
        path.lineTo(pt);
    path.lineTo(points.last().x(), bottom);
    path.closeSubpath();
    return path;
}

// A cloud from overlapping circles on a flat base: (x, y) is its left base point.
QPainterPath cloud(double x, double y, double scale)
{
    const double s = scale;
    QPainterPath path;
    path.setFillRule(Qt::WindingFill); // overlapping puffs add up instead of cancelling
    path.addRoundedRect(QRectF(x, y - 10 * s, 96 * s, 10 * s), 5 * s, 5 * s);
    path.addEllipse(QPointF(x + 24 * s, y - 12 * s), 14 * s, 12 * s);
    path.addEllipse(QPointF(x + 48 * s, y - 20 * s), 20 * s, 18 * s);
    path.addEllipse(QPointF(x + 72 * s, y - 12 * s), 15 * s, 12 * s);
    return path;
}

void paintCloud(QPainter& p, double x, double y, double scale)
{
    const QPainterPath shape = cloud(x, y, scale);
    QLinearGradient fill(0, y - 38 * scale, 0, y);
    fill.setColorAt(0, Qt::white);
    fill.setColorAt(1, QColor(0xDC, 0xEC, 0xFB));
    p.fillPath(shape, fill);
}

} // namespace

// ---------------------------------------------------------------------------
// kest

QImage iconImage(int size)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    antialias(p);
    paintEmblem(p, QPointF(size / 2.0, size / 2.0), size / 2.0);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QList<IconImage> appIcon()
{
    const auto emblem = iconImage;
    // The 8-bit image keeps only a 1-bit mask: half-covered edge pixels either belong
    // to the emblem (with their own colour) or are cut away.
    QImage small = emblem(16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const QColor c = small.pixelColor(x, y);
            small.setPixelColor(
                x, y, c.alpha() >= 128 ? QColor(c.red(), c.green(), c.blue()) : QColor(0, 0, 0, 0));
        }
    }
    return {
        { small, 8 },
        { emblem(16), 32 },
        { emblem(24), 32 },
        { emblem(32), 32 },
        { emblem(48), 32 },
    };
}

QImage logo(int scale)
{
    QImage image = canvas(29 * scale, 29 * scale);
    QPainter p(&image);
    antialias(p);
    p.scale(scale, scale);
    paintEmblem(p, QPointF(14.5, 14.5), 14.5);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage webMin(int scale)
{
    return buttonStrip(24, 18, { Glyph::Minimise }, false, scale);
}
QImage webMinMax(int scale)
{
    return buttonStrip(25, 18, { Glyph::Maximise, Glyph::Restore }, false, scale);
}
QImage webClose(int scale)
{
    return buttonStrip(43, 18, { Glyph::Close }, true, scale);
}
QImage webTool(int scale)
{
    return buttonStrip(24, 18, { Glyph::Menu }, false, scale);
}
QImage tabSkin0(int scale)
{
    return tabSkin(0, scale);
}
QImage tabSkin1(int scale)
{
    return tabSkin(1, scale);
}

QImage captionSkin(int scale)
{
    constexpr int w = 94;
    constexpr int h = 85;
    constexpr int border = 4;
    QImage skin = canvas(w * scale, h * scale, look::client);
    // Border rings from the outside in: outline, then three blues.
    const QColor rings[border]
        = { look::outline, look::borderOuter, look::borderMiddle, look::borderInner };
    for (int y = 0; y < h * scale; ++y) {
        for (int x = 0; x < w * scale; ++x) {
            // The rings and edges keep their widths in units; the gradient is
            // sampled per pixel, as the caption buttons sample it.
            const int ux = x / scale;
            const int uy = y / scale;
            QColor c = look::client;
            if (uy < look::titleRows) {
                // The caption: its gradient from edge to edge, outlined left and right.
                c = (ux == 0 || ux == w - 1) ? look::outline : look::titleColor(double(y) / scale);
            } else {
                const int ring = std::min({ ux, w - 1 - ux, h - 1 - uy });
                if (ring < border)
                    c = rings[ring];
            }
            skin.setPixelColor(x, y, c);
        }
    }
    // Rounded top corners, radius 3 as the windows' 6 x 6 corner ellipses: the pixels
    // beyond the curve take the outline colour (the window region cuts them off).
    for (const QPoint pt :
        { QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1), QPoint(2, 0), QPoint(0, 2) }) {
        for (int dy = 0; dy < scale; ++dy) {
            for (int dx = 0; dx < scale; ++dx) {
                skin.setPixelColor(pt.x() * scale + dx, pt.y() * scale + dy, look::outline);
                skin.setPixelColor(
                    (w - pt.x()) * scale - 1 - dx, pt.y() * scale + dy, look::outline);
            }
        }
    }
    return opaque(skin);
}

QImage answerStrip(int scale)
{
    constexpr int faceW = 75;
    constexpr int faceH = 22;
    QImage strip = canvas(faceW * 3 * scale, faceH * scale, Qt::white);
    QPainter p(&strip);
    antialias(p);
    p.scale(scale, scale);
    struct Face {
        QColor top, bottom, rim;
        bool shine;
    };
    const Face faces[3] = {
        { QColor(0xFF, 0xFF, 0xFF), QColor(0xD5, 0xE8, 0xFA), QColor(0x6E, 0xA3, 0xDB), true },
        { QColor(0xFF, 0xFF, 0xFF), QColor(0xBD, 0xDC, 0xFA), QColor(0x2F, 0x7C, 0xCB), true },
        { QColor(0xB9, 0xD6, 0xF3), QColor(0xE4, 0xF0, 0xFC), QColor(0x1F, 0x5E, 0xA3), false },
    };
    for (int i = 0; i < 3; ++i) {
        const QRectF r(i * faceW + 0.5, 0.5, faceW - 1, faceH - 1);
        QLinearGradient fill(0, 0, 0, faceH);
        fill.setColorAt(0, faces[i].top);
        fill.setColorAt(1, faces[i].bottom);
        p.setPen(QPen(faces[i].rim, 1));
        p.setBrush(fill);
        p.drawRoundedRect(r, 4, 4);
        if (faces[i].shine) {
            p.setPen(QPen(QColor(255, 255, 255, 200), 1));
            p.drawLine(QPointF(i * faceW + 4, 1.5), QPointF((i + 1) * faceW - 4, 1.5));
        }
    }
    p.end();
    return opaque(strip);
}

QImage splash(int scale)
{
    constexpr int w = 356;
    constexpr int h = 122;
    const QPointF disc(61, 61);
    constexpr double discR = 59.5;
    const QRectF banner(52, 25, 302, 72);
    constexpr double bannerR = 20;

    QPainterPath discShape;
    discShape.addEllipse(disc, discR, discR);
    QPainterPath bannerShape;
    bannerShape.addRoundedRect(banner, bannerR, bannerR);
    const QImage mask = hardMask(w * scale, h * scale,
        QTransform::fromScale(scale, scale).map(discShape.united(bannerShape)));

    QImage art = canvas(w * scale, h * scale);
    QPainter p(&art);
    antialias(p);
    p.scale(scale, scale);

    // The banner: a night-blue sky over a range of pale mountains.
    QPainterPath band;
    band.addRoundedRect(banner, bannerR, bannerR);
    p.save();
    p.setClipPath(band);
    QLinearGradient sky(0, banner.top(), 0, banner.bottom());
    sky.setColorAt(0, QColor(0x14, 0x4E, 0x98));
    sky.setColorAt(0.65, QColor(0x2E, 0x82, 0xD6));
    sky.setColorAt(1, QColor(0x7F, 0xBD, 0xF2));
    p.fillRect(banner, sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x5D, 0x9F, 0xE4));
    p.drawPath(ridge({ { 110, 82 }, { 150, 62 }, { 178, 74 }, { 215, 52 }, { 250, 72 }, { 282, 58 },
                         { 318, 76 }, { 356, 64 } },
        banner.bottom()));
    p.setBrush(QColor(0xA6, 0xD2, 0xF7));
    p.drawPath(
        ridge({ { 100, 92 }, { 160, 78 }, { 205, 86 }, { 246, 74 }, { 296, 88 }, { 356, 80 } },
            banner.bottom()));
    p.setBrush(QColor(0xE8, 0xF4, 0xFE));
    p.drawPath(ridge({ { 100, 97 }, { 190, 91 }, { 270, 95 }, { 356, 90 } }, banner.bottom()));
    // Snow on the far peaks.
    p.setBrush(Qt::white);
    p.drawPolygon(
        QPolygonF({ { 215, 52 }, { 205.5, 57.3 }, { 213, 56 }, { 218, 59 }, { 224.6, 55.6 } }));
    p.drawPolygon(
        QPolygonF({ { 150, 62 }, { 141, 66.5 }, { 148, 66 }, { 153, 68 }, { 158, 65.8 } }));
    // Stars.
    p.setBrush(Qt::white);
    p.drawPath(sparkle({ 268, 38 }, 5.5, 1.3));
    p.drawPath(sparkle({ 160, 40 }, 3.5, 0.9));
    p.drawPath(sparkle({ 318, 46 }, 3.0, 0.8));
    p.setBrush(QColor(0xC9, 0xE5, 0xFD));
    for (const QPointF pt : { QPointF(130, 36), QPointF(196, 33), QPointF(236, 44),
             QPointF(296, 33), QPointF(338, 40), QPointF(182, 48) })
        p.drawEllipse(pt, 1.1, 1.1);
    // Three dots: loading.
    const QColor dots[3] = { Qt::white, QColor(0xCF, 0xE7, 0xFD), QColor(0x9C, 0xCB, 0xF6) };
    for (int i = 0; i < 3; ++i) {
        p.setBrush(dots[i]);
        p.drawEllipse(QPointF(300 + i * 13, 63), 3.6, 3.6);
    }
    p.restore();
    // A light rim inside the banner's outline.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x8E, 0xC8, 0xF7), 1.2));
    p.drawRoundedRect(banner.adjusted(2.6, 2.6, -2.6, -2.6), bannerR - 2.6, bannerR - 2.6);

    // The emblem on top, with a dark ring where it overlaps the banner.
    paintEmblem(p, disc, discR);
    p.end();
    return cutToMask(art, mask, look::outline, 2 * scale);
}

QImage loginBackground(int scale)
{
    constexpr int w = 888;
    constexpr int h = 518;
    // The page window covers x 0..880, y 0..465 (its page area sits at (-7, -52));
    // the strips right of and below it always show this artwork, and the rest shows
    // wherever the page paints its key colour. A login page usually keeps
    // a panel in the middle opaque, so the picture has its interest at the sides.
    constexpr int pageRight = 881;
    constexpr int pageBottom = 466;
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, w, h), 10, 10);
    const QImage mask
        = hardMask(w * scale, h * scale, QTransform::fromScale(scale, scale).map(shape));

    QImage art = canvas(w * scale, h * scale, Qt::white);
    QPainter p(&art);
    antialias(p);
    p.scale(scale, scale);

    // Sky: caption blue at the top, fading to a pale horizon.
    QLinearGradient sky(0, 0, 0, pageBottom);
    sky.setColorAt(0, QColor(0x2E, 0x7F, 0xD3));
    sky.setColorAt(0.45, QColor(0x86, 0xC0, 0xF3));
    sky.setColorAt(0.72, QColor(0xD6, 0xEA, 0xFC));
    sky.setColorAt(1, QColor(0xEE, 0xF6, 0xFE));
    p.fillRect(QRectF(0, 0, w, pageBottom), sky);
    p.fillRect(QRectF(0, 1, w, 1), look::titleHighlight);

    // A pale moon with halo rings, top left.
    const QPointF moon(132, 138);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x9C, 0xCB, 0xF5));
    p.drawEllipse(moon, 66, 66);
    p.setBrush(QColor(0xBE, 0xDE, 0xFA));
    p.drawEllipse(moon, 51, 51);
    p.setBrush(QColor(0xF4, 0xFA, 0xFF));
    p.drawEllipse(moon, 36, 36);

    paintCloud(p, 30, 236, 1.25);
    paintCloud(p, 206, 178, 0.75);
    paintCloud(p, 650, 146, 1.0);
    paintCloud(p, 770, 232, 0.8);

    // Sparkles in the sky.
    p.setBrush(Qt::white);
    p.drawPath(sparkle({ 250, 86 }, 9, 2));
    p.drawPath(sparkle({ 720, 74 }, 8, 1.8));
    p.drawPath(sparkle({ 836, 128 }, 5, 1.2));
    p.drawPath(sparkle({ 40, 64 }, 5, 1.2));
    p.setBrush(QColor(0xD4, 0xEA, 0xFD));
    for (const QPointF pt : { QPointF(318, 58), QPointF(214, 40), QPointF(646, 44),
             QPointF(780, 92), QPointF(606, 96), QPointF(86, 104), QPointF(860, 60) })
        p.drawEllipse(pt, 1.4, 1.4);

    // Three mountain ranges, far to near, highest at the sides.
    p.setBrush(QColor(0xA9, 0xCF, 0xF3));
    p.drawPath(
        ridge({ { 0, 300 }, { 70, 262 }, { 150, 296 }, { 230, 236 }, { 320, 300 }, { 440, 322 },
                  { 560, 298 }, { 660, 244 }, { 740, 286 }, { 810, 250 }, { 888, 290 } },
            pageBottom));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF(
        { { 230, 236 }, { 208, 252 }, { 222, 250 }, { 232, 258 }, { 242, 249 }, { 254, 253 } }));
    p.drawPolygon(QPolygonF(
        { { 660, 244 }, { 640, 258 }, { 652, 256 }, { 662, 263 }, { 671, 255 }, { 681, 258 } }));
    p.drawPolygon(QPolygonF({ { 70, 262 }, { 55, 270 }, { 66, 270 }, { 73, 274 }, { 83, 269 } }));
    p.setBrush(QColor(0x6E, 0xA8, 0xE2));
    p.drawPath(ridge({ { 0, 350 }, { 100, 312 }, { 190, 346 }, { 290, 322 }, { 400, 366 },
                         { 520, 360 }, { 620, 326 }, { 720, 352 }, { 800, 318 }, { 888, 344 } },
        pageBottom));
    p.setBrush(QColor(0x3B, 0x7D, 0xC7));
    p.drawPath(ridge({ { 0, 404 }, { 130, 376 }, { 260, 402 }, { 380, 392 }, { 500, 408 },
                         { 640, 382 }, { 780, 404 }, { 888, 384 } },
        pageBottom));

    // The brand mark where the main window has its logo (29 x 29 at (7, 2)),
    // a little lower so it clears the rounded corner.
    paintEmblem(p, QPointF(14 + 14.5, 10 + 14.5), 14.5);

    // The footer below the page: the drag handle, with the emblem and a light wave.
    QLinearGradient foot(0, pageBottom, 0, h);
    foot.setColorAt(0, QColor(0x23, 0x72, 0xC4));
    foot.setColorAt(1, QColor(0x15, 0x4C, 0x8C));
    p.fillRect(QRectF(0, pageBottom, w, h - pageBottom), foot);
    p.fillRect(QRectF(0, pageBottom, w, 1), look::titleHighlight);
    p.save();
    p.setClipRect(QRectF(0, pageBottom + 1, w, h - pageBottom - 1));
    p.setBrush(Qt::NoBrush);
    for (int k = 0; k < 3; ++k) {
        QPainterPath wave;
        const double base = pageBottom + 22 + k * 9;
        for (double x = 0; x <= w; x += 4) {
            const QPointF pt(x, base + 5 * std::sin((x + k * 40) / 46.0));
            if (x == 0)
                wave.moveTo(pt);
            else
                wave.lineTo(pt);
        }
        p.setPen(
            QPen(mix(QColor(0x23, 0x72, 0xC4), QColor(0x8C, 0xC4, 0xF4), 0.5 - k * 0.14), 1.4));
        p.drawPath(wave);
    }
    p.restore();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(sparkle({ 842, pageBottom + 26 }, 7, 1.6));
    p.setBrush(QColor(0x9F, 0xCB, 0xF3));
    p.drawPath(sparkle({ 862, pageBottom + 16 }, 4, 1));

    // The strip right of the page keeps a border like the windows' own.
    const QColor rings[3] = { look::borderOuter, look::borderMiddle, look::borderInner };
    for (int i = 0; i < 3; ++i)
        p.fillRect(QRectF(w - 2 - i, 0, 1, pageBottom), rings[i]);
    p.end();
    static_assert(pageRight + 7 == w);
    return cutToMask(art, mask, look::outline, scale);
}

// ---------------------------------------------------------------------------
// Update

QImage progressSkin(int scale)
{
    // Columns 0-2 left cap, 3-4 filled middle, 5-7 right cap, 8-9 empty track. The
    // outermost columns (0 and 7) are the same rim in the filled and the empty bar, so
    // the ends look right at every value.
    const QColor rim(0x5A, 0x8E, 0xC6);
    const QColor bg = Qt::white; // the updater's window
    QImage skin = canvas(10, 10, bg);
    auto fill = [](int y) {
        if (y == 1)
            return QColor(0xB2, 0xDC, 0xFC);
        return mix(QColor(0x7A, 0xBE, 0xF6), QColor(0x26, 0x7B, 0xD0), (y - 2) / 6.0);
    };
    auto track = [](int y) { return y == 1 ? QColor(0xFA, 0xFC, 0xFE) : QColor(0xE4, 0xEE, 0xF8); };
    for (int x = 0; x < 10; ++x) {
        for (int y = 0; y < 10; ++y) {
            const bool end = x == 0 || x == 7;
            const bool edgeRow = y == 0 || y == 9;
            QColor c;
            if (end)
                c = edgeRow ? bg : rim;
            else if (edgeRow)
                c = rim;
            else
                c = x >= 8 ? track(y) : fill(y);
            skin.setPixelColor(x, y, c);
        }
    }
    // The skin is cut into columns of whole units; denser copies repeat each pixel.
    if (scale != 1)
        skin = skin.scaled(10 * scale, 10 * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return opaque(skin);
}

QImage updateClose(int scale)
{
    return buttonStrip(41, 17, { Glyph::Close }, true, scale);
}

} // namespace resgen
