#include "platform/windowshape.h"

#include "platform/windowregion.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QPointer>
#include <QWidget>

#include <xcb/xcb.h>

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

QSize nativeSize(QWidget* window)
{
    Display* display = x11Display();
    if (!display)
        return toDeviceSize(window->size(), windowScale(window));
    ::Window root = 0;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    if (!XGetGeometry(display, static_cast<::Window>(window->winId()), &root, &x, &y, &width,
            &height, &border, &depth))
        return toDeviceSize(window->size(), windowScale(window));
    return QSize(int(width), int(height));
}

// Cuts the rounded windows' shapes again when their native size changes.
class RoundedShapes final : public QAbstractNativeEventFilter {
public:
    struct Entry {
        QPointer<QWidget> window;
        int ellipseWidth = 0;
        int ellipseHeight = 0;
        QSize device;
    };

    static RoundedShapes& instance()
    {
        static RoundedShapes* shapes = [] {
            auto* created = new RoundedShapes;
            QCoreApplication::instance()->installNativeEventFilter(created);
            return created;
        }();
        return *shapes;
    }

    void apply(QWidget* window, int ellipseWidth, int ellipseHeight, QSize device)
    {
        const WId id = window->winId();
        Entry& entry = m_entries[id];
        if (!entry.window) {
            QObject::connect(
                window, &QObject::destroyed, window, [this, id] { m_entries.remove(id); });
        }
        entry = { window, ellipseWidth, ellipseHeight, device };
        cut(entry);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_CONFIGURE_NOTIFY)
            return false;
        const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        const auto found = m_entries.find(configure->window);
        if (found == m_entries.end() || !found->window)
            return false;
        const QSize device(configure->width, configure->height);
        if (device != found->device) {
            found->device = device;
            cut(*found);
        }
        return false;
    }

private:
    static void cut(const Entry& entry)
    {
        const qreal scale = windowScale(entry.window);
        setWindowShape(entry.window,
            roundRectRegion(entry.device.width() + 1, entry.device.height() + 1,
                qRound(entry.ellipseWidth * scale), qRound(entry.ellipseHeight * scale)));
    }

    QHash<WId, Entry> m_entries;
};

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

void setRoundedWindowShape(QWidget* window, int ellipseWidth, int ellipseHeight)
{
    if (!window)
        return;
    const qreal scale = windowScale(window);
    if (scale == 1.0 || !x11Display()) {
        setWindowShape(
            window, deviceRoundRectRegion(window->size(), ellipseWidth, ellipseHeight, scale));
        return;
    }
    RoundedShapes::instance().apply(window, ellipseWidth, ellipseHeight, nativeSize(window));
}

} // namespace kest
