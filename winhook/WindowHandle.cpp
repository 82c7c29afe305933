#include "winhook/WindowHandle.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QPointer>

namespace kest {

namespace {

// Handles come from a counter so that a destroyed window's handle never names
// a later window that happens to get the same address.
struct HandleRegistry {
    QMutex mutex;
    QHash<WindowHandle, QPointer<QObject>> byHandle;
    QHash<const QObject*, WindowHandle> byObject;
    WindowHandle last = 0;
    QObject context; // ties the destroyed() connections to the registry's life
};

HandleRegistry& registry()
{
    static HandleRegistry instance;
    return instance;
}

} // namespace

WindowHandle windowHandle(const QObject* window)
{
    if (!window)
        return 0;
    HandleRegistry& reg = registry();
    QMutexLocker lock(&reg.mutex);
    if (const auto found = reg.byObject.constFind(window); found != reg.byObject.constEnd())
        return found.value();

    const WindowHandle handle = ++reg.last;
    auto* object = const_cast<QObject*>(window);
    reg.byObject.insert(window, handle);
    reg.byHandle.insert(handle, object);
    // Direct: the window may live in another thread, and its entry must be gone
    // before its address can be reused.
    QObject::connect(
        object, &QObject::destroyed, &reg.context,
        [handle, window] {
            HandleRegistry& r = registry();
            QMutexLocker l(&r.mutex);
            r.byHandle.remove(handle);
            r.byObject.remove(window);
        },
        Qt::DirectConnection);
    return handle;
}

QObject* windowFromHandle(WindowHandle handle)
{
    if (handle == 0)
        return nullptr;
    HandleRegistry& reg = registry();
    QMutexLocker lock(&reg.mutex);
    const auto found = reg.byHandle.constFind(handle);
    return found == reg.byHandle.constEnd() ? nullptr : found.value().data();
}

} // namespace kest
