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
