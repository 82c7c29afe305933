#pragma once

#include <QObject>

namespace kest {

// A key combination the desktop hands to this program wherever the focus is.
// One way of getting it per kind of desktop (a key grab on X11; a portal's
// global shortcut where grabs are not allowed) sits behind this interface, so
// the windows only ever connect to `activated`.
class GlobalHotKey : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GlobalHotKey)

public:
    using QObject::QObject;
    ~GlobalHotKey() override = default;

signals:
    // The key was pressed (its release and repeats say nothing). A handler
    // may delete the object.
    void activated();
};

} // namespace kest
