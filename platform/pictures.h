#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>

namespace kest {

// Decodes an embedded picture resource (PNG, BITMAP, ICON, ...). A null image
// when the resource is missing or cannot be decoded.
QImage LoadResImage(int id, const QString& type);

// The same as a pixmap; needs a running QGuiApplication.
QPixmap LoadResPicture(int id, const QString& type);

// A skin bitmap with its magenta (255, 0, 255) pixels made transparent: done
// once, when the skin is loaded, so painting needs no colour keying.
QImage magentaToAlpha(const QImage& image);

} // namespace kest
