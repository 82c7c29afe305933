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
