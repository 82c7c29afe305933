#include "skin/captionbar.h"

#include "platform/pictures.h"

#include "platform/units.h"

#include <QPainter>

namespace kest {

namespace {
SkinProgram g_program = SkinProgram::Launcher;
}

void setSkinProgram(SkinProgram program)
{
    g_program = program;
}
SkinProgram skinProgram()
{
    return g_program;
}

namespace captionbar {

std::vector<SkinCopy> barCopies(int barWidth, int skinWidth)
{
    std::vector<SkinCopy> copies;
    for (int i = 1; i <= barWidth / kTile + 1; ++i)
        copies.push_back({ QRect(kTile, 0, kTile, kSliceHeight), QPoint(i * kTile, 0) });
    copies.push_back({ QRect(0, 0, kLeftEnd, kSliceHeight), QPoint(0, 0) });
    copies.push_back({ QRect(skinWidth - kRightEnd, 0, kRightEnd, kSliceHeight),
        QPoint(barWidth - kRightEnd, 0) });
    return copies;
}

std::vector<SkinCopy> borderCopies(QSize form, QSize skin)
{
    std::vector<SkinCopy> copies;
    const int bottom = form.height() - kBorder;
    const int skinBottom = skin.height() - kBorder;
    for (int i = 1; i <= form.width() / kTile + 1; ++i)
        copies.push_back(
            { QRect(kTile, skinBottom, kTile, kBorderTileLength), QPoint(i * kTile, bottom) });
    for (int i = 1; i <= form.height() / kTile + 1; ++i)
        copies.push_back(
            { QRect(0, kBorderTop, kBorder, kBorderTileLength), QPoint(0, i * kTile) });
    // The right edge takes a 300-twip-wide source; the skin ends 60 twips in,
    // so only the border's own width is painted.
    for (int i = 1; i <= form.height() / kTile + 1; ++i)
        copies.push_back({ QRect(skin.width() - kBorder, kBorderTop, kTile, kBorderTileLength),
            QPoint(form.width() - kBorder, i * kTile) });
    copies.push_back({ QRect(0, skinBottom, kLeftEnd, kBorder), QPoint(0, bottom) });
    copies.push_back(
        { QRect(skin.width() - kBottomRightCorner, skinBottom, kBottomRightCorner, kBorder),
            QPoint(form.width() - kBottomRightCorner, bottom) });
    return copies;
}

SkinCopy nominCopy(int barWidth, int skinWidth)
{
    return { QRect(skinWidth - 1200, 0, 400, kSliceHeight), QPoint(barWidth - 830, 0) };
}

QPoint captionOrigin(bool hasLogo, SkinProgram program)
{
    if (!hasLogo)
        return { kCaptionLeft, kCaptionTop };
    return { program == SkinProgram::Updater ? kLogoCaptionLeftUpdater : kLogoCaptionLeftLauncher,
        kCaptionTop };
}

QRect toPixels(const QRect& twips)
{
    return QRect(twipsToPixelsRounded(twips.x()), twipsToPixelsRounded(twips.y()),
        twipsToPixelsRounded(twips.width()), twipsToPixelsRounded(twips.height()));
}

SkinCopy toPixels(const SkinCopy& twips)
{
    return { toPixels(twips.source),
        QPoint(twipsToPixelsRounded(twips.target.x()), twipsToPixelsRounded(twips.target.y())) };
}

void paintCopies(QPainter& painter, const QImage& skin, const std::vector<SkinCopy>& twipCopies)
{
    if (skin.isNull())
        return;
    const QRect skinRect(QPoint(0, 0), logicalSize(skin));
    for (const SkinCopy& copy : twipCopies) {
        const SkinCopy p = toPixels(copy);
        const QRect source = p.source & skinRect;
        if (source.isEmpty())
            continue;
        drawSkinPiece(painter,
            QRect(p.target + (source.topLeft() - p.source.topLeft()), source.size()), skin, source);
    }
}

QImage renderBar(const BarLook& look, int widthPx)
{
    QImage image
        = deviceSurface(QSize(qMax(widthPx, 0), twipsToPixelsTruncated(kBarHeight)), look.ratio);
    image.fill(look.back);
    if (image.isNull())
        return image;
    QPainter painter(&image);
    const int skinWidth = pixelsToTwips(logicalSize(look.skin).width());
    paintCopies(painter, look.skin, barCopies(pixelsToTwips(widthPx), skinWidth));
    if (!look.caption.isEmpty()) {
        const QPoint twips = captionOrigin(look.hasLogo, look.program);
        const QPoint origin(twipsToPixelsRounded(twips.x()), twipsToPixelsRounded(twips.y()));
        painter.setFont(look.font);
        painter.setPen(look.text);
        painter.drawText(
            QRect(origin, QSize(qMax(widthPx - origin.x(), 1), twipsToPixelsTruncated(kBarHeight))),
            Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, look.caption);
    }
    return image;
}

QImage renderBorder(const QImage& skin, QSize sizePx, const QColor& back, qreal ratio)
{
    QImage image = deviceSurface(sizePx, ratio);
    if (image.isNull())
        return image;
    image.fill(back);
    QPainter painter(&image);
    paintCopies(
        painter, skin, borderCopies(sizePx * kTwipsPerPixel, logicalSize(skin) * kTwipsPerPixel));
    return image;
}

} // namespace captionbar

} // namespace kest
