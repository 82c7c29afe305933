#pragma once

#include <cstdint>

class QObject;

namespace kest {

// A window's identity where the system hands windows around as numbers (the
// hWnd of a page, a hook key). It is an opaque counter, never an address and
// never winId(): winId() on a child widget would turn it and its siblings into
// native X windows. A handle is assigned on first request, stays the same for
// the object's life and is never given to another object, so a stale handle can
// be told from a live one. 0 means "no window".
using WindowHandle = std::intptr_t;

// The numbers that travel with a window message.
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

// The handle of a window (a QWidget, a QWindow or any QObject that receives
// events); 0 for nullptr.
WindowHandle windowHandle(const QObject* window);

// The live object with this handle, or nullptr when no live object has it
// (0, a number never handed out, or a window that has been destroyed).
QObject* windowFromHandle(WindowHandle handle);

// Two 16-bit halves packed into an lParam (MAKELPARAM), and the way back.
constexpr LParam makeLParam(int low, int high)
{
    return static_cast<LParam>(static_cast<std::uint32_t>(low & 0xFFFF)
        | (static_cast<std::uint32_t>(high & 0xFFFF) << 16));
}
constexpr int loWord(std::uintptr_t value)
{
    return static_cast<int>(value & 0xFFFF);
}
constexpr int hiWord(std::uintptr_t value)
{
    return static_cast<int>((value >> 16) & 0xFFFF);
}
// The signed coordinates of a mouse message (GET_X_LPARAM / GET_Y_LPARAM).
constexpr int xFromLParam(LParam value)
{
    return static_cast<std::int16_t>(value & 0xFFFF);
}
constexpr int yFromLParam(LParam value)
{
    return static_cast<std::int16_t>((static_cast<std::uintptr_t>(value) >> 16) & 0xFFFF);
}

} // namespace kest
