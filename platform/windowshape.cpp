#include "platform/windowshape.h"

#include "platform/windowregion.h"

#include <QGuiApplication>
#include <QWidget>

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

#include <vector>

namespace kest {

namespace {

Display* x11Display()
{
    auto* app = qGuiApp;
    if (!app)
        return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

bool setNativeShape(QWidget* window, const QRegion& device)
{
    Display* display = x11Display();
    if (!display)
        return false;
    int eventBase = 0;
    int errorBase = 0;
    if (!XShapeQueryExtension(display, &eventBase, &errorBase))
        return false;
    std::vector<XRectangle> rects;
    rects.reserve(static_cast<size_t>(device.rectCount()));
    for (const QRect& r : device) {
        rects.push_back({ static_cast<short>(r.x()), static_cast<short>(r.y()),
            static_cast<unsigned short>(r.width()), static_cast<unsigned short>(r.height()) });
    }
    // QRegion keeps its rectangles in y-x bands, which lets the server skip sorting.
    XShapeCombineRectangles(display, static_cast<Window>(window->winId()), ShapeBounding, 0, 0,
        rects.data(), static_cast<int>(rects.size()), ShapeSet, YXBanded);
    XFlush(display);
    return true;
}

} // namespace

qreal windowScale(const QWidget* window)
{
    return window ? window->devicePixelRatioF() : 1.0;
}

bool setWindowShape(QWidget* window, const QRegion& device)
{
    if (!window || device.isEmpty())
        return false;
    const qreal scale = windowScale(window);
    if (scale == 1.0) {
        window->setMask(device);
        return true;
    }
    // Qt sets its own (scaled) shape when it creates the native window from a
    // stored mask: create it first so the native shape below is the last word.
    window->winId();
    window->setMask(toLogicalRegion(device, scale));
    setNativeShape(window, device);
    return true;
}

} // namespace kest
