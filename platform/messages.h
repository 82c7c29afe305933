#pragma once

#include <cstdint>

class QEvent;

namespace kest {

// Window message numbers. Message tables, hooks and tests keep these numbers
// so that a message reads the same everywhere; Qt events are mapped onto them.
enum WindowMessage : std::uint32_t {
    WM_NULL = 0,
    WM_MOVE = 3,
    WM_SIZE = 5,
    WM_PAINT = 15,
    WM_CLOSE = 16,
    WM_ERASEBKGND = 20,
    WM_SHOWWINDOW = 24,
    WM_SETTINGCHANGE = 26,
    WM_SETCURSOR = 32,
    WM_NCDESTROY = 0x82,
    WM_NCHITTEST = 0x84,
    WM_KEYDOWN = 256,
    WM_KEYUP = 257,
    WM_SYSCOMMAND = 274,
    WM_MOUSEMOVE = 512,
    WM_LBUTTONDOWN = 513,
    WM_LBUTTONUP = 514,
    WM_LBUTTONDBLCLK = 515,
    WM_RBUTTONDOWN = 516,
    WM_RBUTTONUP = 517,
    WM_RBUTTONDBLCLK = 518,
    WM_MBUTTONDOWN = 519,
    WM_MBUTTONUP = 520,
    WM_MBUTTONDBLCLK = 521,
    WM_MOUSEWHEEL = 522,
    WM_MOUSELEAVE = 0x2A3,
    WM_HOTKEY = 786,
    WM_TRAYNOTIFY = 6242, // the launcher's tray callback message
};

inline constexpr std::uint32_t SC_CLOSE = 0xF060;
inline constexpr std::uint32_t MK_LBUTTON = 0x0001;
inline constexpr std::uint32_t MK_RBUTTON = 0x0002;
inline constexpr std::uint32_t MK_SHIFT = 0x0004;
inline constexpr std::uint32_t MK_CONTROL = 0x0008;
inline constexpr std::uint32_t MK_MBUTTON = 0x0010;

// The message number a Qt event stands for, or WM_NULL when it stands for
// none. A close request maps to WM_SYSCOMMAND (its wParam is SC_CLOSE).
std::uint32_t windowMessageFor(const QEvent& event);

} // namespace kest
