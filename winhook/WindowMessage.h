#pragma once

#include "winhook/WindowHandle.h"

#include <QEvent>

#include <cstdint>

namespace kest {

// A window message that has no Qt event of its own (a tray notification, a
// message a program sends itself), delivered to a window as an event. The
// receiver, or a hook on it, sets the result that the sender gets back.
class WindowMessageEvent final : public QEvent {
public:
    WindowMessageEvent(std::uint32_t message, WParam wParam, LParam lParam);

    static QEvent::Type eventType();

    std::uint32_t message() const { return m_message; }
    WParam wParam() const { return m_wParam; }
    LParam lParam() const { return m_lParam; }
    LResult result() const { return m_result; }
    void setResult(LResult result) { m_result = result; }

private:
    std::uint32_t m_message;
    WParam m_wParam;
    LParam m_lParam;
    LResult m_result = 0;
};

// Sends a message to a window and returns its result (SendMessage). A handle
// of no live window gives 0 and delivers nothing.
LResult sendWindowMessage(
    WindowHandle window, std::uint32_t message, WParam wParam = 0, LParam lParam = 0);

// The message number and parameters a Qt event stands for, as a window
// procedure would have received them: mouse messages carry the MK_ button and
// key flags and the position in the window (lParam x low, y high); WM_SIZE the
// new size; WM_MOVE the new position; WM_SHOWWINDOW 1 or 0; WM_SYSCOMMAND
// SC_CLOSE; WM_MOUSEWHEEL the wheel delta in the high word of wParam.
// message is WM_NULL when the event stands for no message.
// WM_SIZE's wParam; an event alone says only SIZE_RESTORED, the window knows
// whether it is minimised or maximised.
inline constexpr WParam SIZE_RESTORED = 0;
inline constexpr WParam SIZE_MINIMIZED = 1;
inline constexpr WParam SIZE_MAXIMIZED = 2;

struct MessageParams {
    std::uint32_t message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
};
MessageParams messageParamsFor(const QEvent& event);

} // namespace kest
