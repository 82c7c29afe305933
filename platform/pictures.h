#pragma once

#include <QImage>
#include <QPainter>
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

// A skin picture (a strip of frames, a nine-grid, a tiled bar) for a screen of
// `scale`: at scale 1 or below exactly LoadResImage; above it the
// double-density variant as drawn, with device pixel ratio 2, where one is
// embedded, else the 1x picture. It is never resampled as a whole: smoothing a
// strip would blend each frame's edge into its neighbour, so the controls cut
// their pieces in the picture's own pixels (drawSkinPiece) and scale each one.
QImage LoadResSkinAt(int id, const QString& type, qreal scale);

// The device pixels that a logical rectangle covers at `ratio`: each edge is
// rounded to the nearest device pixel, so rectangles that touch in logical
// pixels touch in device pixels, with no gap and no overlap, at any ratio. At
// ratio 1 the rectangle itself.
QRect deviceRect(const QRect& logical, qreal ratio);
QRect deviceRect(const QRectF& logical, qreal ratio);

// The logical size of a picture (its pixel size over its device pixel ratio).
QSize logicalSize(const QImage& picture);

// Draws the part `source` of `picture` (logical pixels of the picture) into
// `target` (logical pixels of the painter's device). Where both the picture
// and the device have ratio 1 this is painter.drawImage(target, picture,
// source), pixel for pixel as before. Otherwise the piece is cut on whole
// pixels of the picture, scaled smoothly on its own to the device pixels the
// target covers and put there 1:1, so no neighbouring piece of the picture
// shows at its edges and its edges lie on whole device pixels.
void drawSkinPiece(
    QPainter& painter, const QRectF& target, const QImage& picture, const QRect& source);

// Puts `surface`, made for a device of the painter's ratio (deviceSurface),
// pixel for pixel with its top-left corner on the device pixel nearest the
// logical point `at`: a surface placed at a fractional device position would
// otherwise be resampled by the painter. At ratio 1 painter.drawImage(at, surface).
void drawSurface(QPainter& painter, QPoint at, const QImage& surface);

// An image of `logical` size for a device of `ratio`: deviceRect's size in
// pixels, with that device pixel ratio (at ratio 1 a plain image).
QImage deviceSurface(
    QSize logical, qreal ratio, QImage::Format format = QImage::Format_ARGB32_Premultiplied);

// The same as a pixmap; needs a running QGuiApplication.
QPixmap LoadResPicture(int id, const QString& type);

// A skin bitmap with its magenta (255, 0, 255) pixels made transparent: done
// once, when the skin is loaded, so painting needs no colour keying.
QImage magentaToAlpha(const QImage& image);

} // namespace kest
