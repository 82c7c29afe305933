#pragma once

// Drawing and window-style routines of the tab strip, as thin Qt equivalents
// of the device-context routines they are named after: a "memory DC" is a
// QImage, a destination DC is a QPainter open on the surface drawn into.

#include <QImage>
#include <QRgb>
#include <QString>

#include <optional>
#include <stdexcept>

class QPainter;
class QWidget;

namespace kest::mdlTabAPI {

// Raised when a surface cannot be made; the text says which step failed.
class SurfaceError final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Clears and sets window flags of `window`: new = (old & ~clear) | set. Returns
// false and changes nothing when the flags stay the same. A visible window
// stays visible (Qt hides a widget whose flags change).
bool SetWindowStyleBits(QWidget* window, Qt::WindowFlags clear, Qt::WindowFlags set);

// An off-screen surface of width x height pixels, opaque black like a fresh
// bitmap. Throws SurfaceError for a size below 1 or when memory runs out.
// With `ratio` the surface has that device pixel ratio and the device pixels
// (deviceSurface) of width x height logical pixels.
QImage CreateMemDC(int width, int height, qreal ratio = 1.0);
// A surface over a loaded bitmap (a copy that shares the pixels). Throws
// SurfaceError for a null bitmap.
QImage CreateBitmapDC(const QImage& bitmap);
// Frees a surface.
void DeleteMemDC(QImage& dc);

// Text format bits, with the numbers of the routine this stands in for.
enum TextFormat : unsigned {
    DT_TOP = 0x0,
    DT_LEFT = 0x0,
    DT_CENTER = 0x1,
    DT_RIGHT = 0x2,
    DT_VCENTER = 0x4,
    DT_BOTTOM = 0x8,
    DT_SINGLELINE = 0x20,
    DT_END_ELLIPSIS = 0x8000,
};

// Stretches source (sx, sy, sw, sh) of `src` onto (dx, dy, dw, dh) keeping the
// borders (left bl, top bt, right br, bottom bb) unstretched: corners 1:1,
// edges stretched along one axis, the centre along both. With `transparent`,
// pixels of that colour (and transparent pixels) let the destination show
// through; without it the destination rectangle is replaced. Any size of 0 or
// below draws nothing and returns 0; otherwise returns 1. Coordinates are
// logical: a double-density `src`, or a destination of another ratio, has each
// of the nine pieces cut and scaled on its own (drawSkinPiece).
int DrawNineGrid(QPainter& dst, int dx, int dy, int dw, int dh, const QImage& src, int sx, int sy,
    int sw, int sh, int bl, int bt, int br, int bb, std::optional<QRgb> transparent = std::nullopt);

// Copies (sx, sy, w, h) of `src` to (x, y) with pixels of `colour` (and
// transparent pixels) left out. Returns false when nothing could be drawn.
// Logical coordinates, as DrawNineGrid.
bool TransparentDraw(
    QPainter& dst, int x, int y, int w, int h, const QImage& src, int sx, int sy, QRgb colour);

// Draws `text` (its first `count` characters; -1: all) in the box (x, y, w, h)
// with the painter's font and pen. Format: DT_CENTER / DT_RIGHT, DT_VCENTER /
// DT_BOTTOM, DT_END_ELLIPSIS (cut at the right with "…" when too wide).
// Always one line; '&' is drawn as it is. Returns the height of the text.
int DrawTextInRect(
    QPainter& dc, const QString& text, int count, int x, int y, int w, int h, unsigned format);

} // namespace kest::mdlTabAPI
