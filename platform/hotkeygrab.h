#pragma once

#include "platform/globalhotkey.h"

#include <QAbstractNativeEventFilter>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QWidget;
struct xcb_connection_t;

namespace kest {

// A passive grab of one key without modifiers on the X11 root window of a
// window's screen, on Qt's own xcb connection. The Lock and NumLock variants
// are grabbed too, so the key works with either lock on, and no other program
// receives the key while the grab lasts; it ends with the object.
class X11HotKeyGrab final : public GlobalHotKey, public QAbstractNativeEventFilter {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(X11HotKeyGrab)

public:
    // Grabs the key whose unshifted symbol is `keysym` on the root of
    // `window`'s screen (a top-level window). Null when the display is not
    // X11, no key gives the symbol, or another program holds it; `whyNot`
    // then says why in a few words ("another program holds it (X error 10,
    // BadAccess)").
    static std::unique_ptr<X11HotKeyGrab> grab(
        QWidget* window, std::uint32_t keysym, QString* whyNot = nullptr);
    ~X11HotKeyGrab() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    X11HotKeyGrab(xcb_connection_t* connection, std::uint32_t root, std::vector<std::uint8_t> keys);

    xcb_connection_t* m_connection;
    std::uint32_t m_root;
    std::vector<std::uint8_t> m_keys;
};

} // namespace kest
