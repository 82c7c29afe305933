#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>

namespace kest {

// Decodes an embedded picture resource (PNG, BITMAP, ICON, ...). A null image
// when the resource is missing or cannot be decoded.
QImage LoadResImage(int id, const QString& type);

// The picture for a screen of `scale` device pixels per logical pixel: at
// scale 1 exactly LoadResImage. Otherwise the image has the logical size
// times `scale` (rounded) in device pixels and that device pixel ratio, so
// that painters draw it 1:1 on the screen. It is drawn from the resource's
// double-density variant (":/res/<TYPE>/<id>@2x") where one is embedded,
// else from the 1x picture, smoothly scaled. A null image as LoadResImage.
QImage LoadResImageAt(int id, const QString& type, qreal scale);

// The same as a pixmap; needs a running QGuiApplication.
QPixmap LoadResPicture(int id, const QString& type);

// A skin bitmap with its magenta (255, 0, 255) pixels made transparent: done
// once, when the skin is loaded, so painting needs no colour keying.
QImage magentaToAlpha(const QImage& image);

} // namespace kest
