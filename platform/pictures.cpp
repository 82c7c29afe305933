#include "platform/pictures.h"

#include "platform/resources.h"

namespace kest {

QImage LoadResImage(int id, const QString& type)
{
    const auto bytes = LoadResData(id, type);
    if (!bytes)
        return {};
    QImage image;
    image.loadFromData(*bytes);
    return image;
}

QImage LoadResImageAt(int id, const QString& type, qreal scale)
{
    QImage image = LoadResImage(id, type);
    if (image.isNull() || scale == 1.0)
        return image;
    const QSize logical = image.size();
    const QSize device(qRound(logical.width() * scale), qRound(logical.height() * scale));
    QImage twice;
    if (scale > 1.0)
        twice.load(resourcePath(id, type) + QStringLiteral("@2x"));
    // A double-density variant must be exactly twice the picture, or it is not one.
    if (!twice.isNull() && twice.size() == logical * 2)
        image = twice;
    if (image.size() != device)
        image = image.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(scale);
    return image;
}

QImage LoadResSkinAt(int id, const QString& type, qreal scale)
{
    const QImage image = LoadResImage(id, type);
    if (image.isNull() || scale <= 1.0)
        return image;
    QImage twice(resourcePath(id, type) + QStringLiteral("@2x"));
    if (twice.isNull() || twice.size() != image.size() * 2)
        return image;
    twice.setDevicePixelRatio(2.0);
    return twice;
}

QRect deviceRect(const QRectF& logical, qreal ratio)
{
    const int left = qRound(logical.left() * ratio);
    const int top = qRound(logical.top() * ratio);
    const int right = qRound((logical.left() + logical.width()) * ratio);
    const int bottom = qRound((logical.top() + logical.height()) * ratio);
    return QRect(left, top, right - left, bottom - top);
}

QRect deviceRect(const QRect& logical, qreal ratio)
{
    if (ratio == 1.0)
        return logical;
    return deviceRect(QRectF(logical), ratio);
}

QSize logicalSize(const QImage& picture)
{
    return picture.deviceIndependentSize().toSize();
}

void drawSkinPiece(
    QPainter& painter, const QRectF& target, const QImage& picture, const QRect& source)
{
    const qreal deviceRatio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const qreal pictureRatio = picture.devicePixelRatio();
    if (deviceRatio == 1.0 && pictureRatio == 1.0) {
        painter.drawImage(target, picture, source);
        return;
    }
    // A translated painter (a piece drawn inside a control's own area) moves
    // the target before it is rounded; any other transform draws as Qt does.
    const QTransform world = painter.worldTransform();
    const bool shiftOnly = world.type() <= QTransform::TxTranslate;
    const QRect from = deviceRect(source, pictureRatio) & picture.rect();
    const QRect to
        = deviceRect(shiftOnly ? QRectF(target).translated(world.dx(), world.dy()) : QRectF(target),
            deviceRatio);
    if (from.isEmpty() || to.isEmpty())
        return;
    QImage piece = picture.copy(from);
    if (piece.size() != to.size())
        piece = piece.scaled(to.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!shiftOnly) {
        piece.setDevicePixelRatio(deviceRatio);
        painter.drawImage(target, piece);
        return;
    }
    piece.setDevicePixelRatio(1.0);
    painter.save();
    // Not resetTransform(): that also resets the window and viewport, which
    // carry the device's own ratio.
    painter.setWorldTransform(QTransform::fromScale(1.0 / deviceRatio, 1.0 / deviceRatio));
    painter.drawImage(to.topLeft(), piece);
    painter.restore();
}

void drawSurface(QPainter& painter, QPoint at, const QImage& surface)
{
    const qreal ratio = surface.devicePixelRatio();
    const QTransform world = painter.worldTransform();
    if (ratio == 1.0 || world.type() > QTransform::TxTranslate) {
        painter.drawImage(at, surface);
        return;
    }
    const QRect place
        = deviceRect(QRectF(at, QSizeF(0, 0)).translated(world.dx(), world.dy()), ratio);
    QImage pixels = surface;
    pixels.setDevicePixelRatio(1.0);
    painter.save();
    painter.setWorldTransform(QTransform::fromScale(1.0 / ratio, 1.0 / ratio));
    painter.drawImage(place.topLeft(), pixels);
    painter.restore();
}

QImage deviceSurface(QSize logical, qreal ratio, QImage::Format format)
{
    QImage surface(
        deviceRect(QRect(QPoint(0, 0), logical.expandedTo(QSize(0, 0))), ratio).size(), format);
    surface.setDevicePixelRatio(ratio);
    return surface;
}

QPixmap LoadResPicture(int id, const QString& type)
{
    return QPixmap::fromImage(LoadResImage(id, type));
}

QImage magentaToAlpha(const QImage& image)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = qRgb(255, 0, 255);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if ((line[x] & 0x00FFFFFFu) == (key & 0x00FFFFFFu))
                line[x] = 0;
        }
    }
    return out;
}

} // namespace kest
