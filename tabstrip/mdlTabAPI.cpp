#include "mdlTabAPI.h"

#include "platform/pictures.h"

#include <QPainter>
#include <QWidget>

namespace kest::mdlTabAPI {

bool SetWindowStyleBits(QWidget* window, Qt::WindowFlags clear, Qt::WindowFlags set)
{
    if (!window)
        return false;
    const Qt::WindowFlags old = window->windowFlags();
    const Qt::WindowFlags flags = (old & ~clear) | set;
    if (flags == old)
        return false;
    const bool visible = window->isVisible();
    window->setWindowFlags(flags);
    if (visible)
        window->show();
    return true;
}

QImage CreateMemDC(int width, int height, qreal ratio)
{
    if (width <= 0 || height <= 0)
        throw SurfaceError("CreateCompatibleBitmap调用失败");
    QImage dc = deviceSurface(QSize(width, height), ratio);
    if (dc.isNull())
        throw SurfaceError("CreateCompatibleBitmap调用失败");
    dc.fill(Qt::black);
    return dc;
}

QImage CreateBitmapDC(const QImage& bitmap)
{
    if (bitmap.isNull())
        throw SurfaceError("CreateCompatibleDC调用失败");
    return bitmap;
}

void DeleteMemDC(QImage& dc)
{
    dc = QImage();
}

namespace {

// Draws a piece with the source's pixels replacing the destination's, as
// a blit does; pieces of no size are left out.
void blit(QPainter& p, const QRect& target, const QImage& src, const QRect& source)
{
    if (target.width() <= 0 || target.height() <= 0 || source.width() <= 0 || source.height() <= 0)
        return;
    drawSkinPiece(p, target, src, source);
}

} // namespace

namespace {

// `image` with pixels of `colour` made transparent.
QImage keyedOut(const QImage& image, QRgb colour)
{
    QImage piece = image.convertToFormat(QImage::Format_ARGB32);
    for (int row = 0; row < piece.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(piece.scanLine(row));
        for (int col = 0; col < piece.width(); ++col) {
            if ((line[col] & 0xFFFFFFu) == (colour & 0xFFFFFFu))
                line[col] = 0;
        }
    }
    return piece;
}

} // namespace

bool TransparentDraw(
    QPainter& dst, int x, int y, int w, int h, const QImage& src, int sx, int sy, QRgb colour)
{
    const QRect source = QRect(sx, sy, w, h).intersected(QRect(QPoint(0, 0), logicalSize(src)));
    if (w <= 0 || h <= 0 || source.isEmpty())
        return false;
    const QPoint at(x + source.x() - sx, y + source.y() - sy);
    const QPainter::CompositionMode mode = dst.compositionMode();
    dst.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const qreal dstRatio = dst.device() ? dst.device()->devicePixelRatioF() : 1.0;
    // A surface with an alpha channel has been keyed already (the skins are
    // keyed once, when loaded, and the strip's own surfaces start
    // transparent), so it is drawn as it is; one without is keyed now.
    if (src.devicePixelRatio() != 1.0 || dstRatio != 1.0) {
        drawSkinPiece(dst, QRect(at, source.size()),
            src.hasAlphaChannel() ? src : keyedOut(src, colour), source);
    } else if (src.hasAlphaChannel()) {
        dst.drawImage(at, src, source);
    } else {
        dst.drawImage(at, keyedOut(src.copy(source), colour));
    }
    dst.setCompositionMode(mode);
    return true;
}

int DrawNineGrid(QPainter& dst, int dx, int dy, int dw, int dh, const QImage& src, int sx, int sy,
    int sw, int sh, int bl, int bt, int br, int bb, std::optional<QRgb> transparent)
{
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0)
        return 0;
    QImage tmp
        = deviceSurface(QSize(dw, dh), dst.device() ? dst.device()->devicePixelRatioF() : 1.0);
    if (tmp.isNull())
        return 0;
    tmp.fill(Qt::transparent);
    {
        QPainter p(&tmp);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        if (bl <= 0 && bt <= 0 && br <= 0 && bb <= 0) {
            blit(p, QRect(0, 0, dw, dh), src, QRect(sx + bl, sy + bt, sw - br, sh - bb));
        } else {
            // Corners, 1:1.
            if (bl > 0 && bt > 0)
                blit(p, QRect(0, 0, bl, bt), src, QRect(sx, sy, bl, bt));
            if (br > 0 && bt > 0)
                blit(p, QRect(dw - br, 0, br, bt), src, QRect(sx + sw - br, sy, br, bt));
            if (bl > 0 && bb > 0)
                blit(p, QRect(0, dh - bb, bl, bb), src, QRect(sx, sy + sh - bb, bl, bb));
            if (br > 0 && bb > 0)
                blit(p, QRect(dw - br, dh - bb, br, bb), src,
                    QRect(sx + sw - br, sy + sh - bb, br, bb));
            // Edges, stretched along their length.
            if (bl > 0)
                blit(p, QRect(0, bt, bl, dh - bt - bb), src, QRect(sx, sy + bt, bl, sh - bt - bb));
            if (br > 0)
                blit(p, QRect(dw - br, bt, br, dh - bt - bb), src,
                    QRect(sx + sw - br, sy + bt, br, sh - bt - bb));
            if (bt > 0)
                blit(p, QRect(bl, 0, dw - bl - br, bt), src, QRect(sx + bl, sy, sw - bl - br, bt));
            if (bb > 0)
                blit(p, QRect(bl, dh - bb, dw - bl - br, bb), src,
                    QRect(sx + bl, sy + sh - bb, sw - bl - br, bb));
            // The centre, both ways.
            blit(p, QRect(bl, bt, dw - bl - br, dh - bt - bb), src,
                QRect(sx + bl, sy + bt, sw - bl - br, sh - bt - bb));
        }
    }
    if (transparent)
        return TransparentDraw(dst, dx, dy, dw, dh, tmp, 0, 0, *transparent) ? 1 : 0;
    const QPainter::CompositionMode mode = dst.compositionMode();
    dst.setCompositionMode(QPainter::CompositionMode_Source);
    dst.drawImage(dx, dy, tmp);
    dst.setCompositionMode(mode);
    return 1;
}

int DrawTextInRect(
    QPainter& dc, const QString& text, int count, int x, int y, int w, int h, unsigned format)
{
    const QString shown = count < 0 ? text : text.left(count);
    const QFontMetrics metrics = dc.fontMetrics();
    int flags = Qt::TextSingleLine;
    flags |= (format & DT_CENTER) ? Qt::AlignHCenter
        : (format & DT_RIGHT)     ? Qt::AlignRight
                                  : Qt::AlignLeft;
    flags |= (format & DT_VCENTER) ? Qt::AlignVCenter
        : (format & DT_BOTTOM)     ? Qt::AlignBottom
                                   : Qt::AlignTop;
    const QString drawn
        = (format & DT_END_ELLIPSIS) ? metrics.elidedText(shown, Qt::ElideRight, w) : shown;
    dc.drawText(QRect(x, y, w, h), flags, drawn);
    return metrics.height();
}

} // namespace kest::mdlTabAPI
