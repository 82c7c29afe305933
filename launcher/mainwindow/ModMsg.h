#pragma once

#include "winhook/WindowHandle.h"

#include <cstdint>

class QMenu;
class QWidget;

namespace kest {

// The hook on the main game window: the system-wide hot key F10, which hides
// and shows the window, and the clicks on the tray icon (CKvNotifyIcon), which
// arrive as the tray callback message. One window at a time: hooking another
// window first unhooks the previous one.
//
// F10 is grabbed on the X11 root window without modifiers, with the Lock and
// NumLock variants too, so that it works with either lock on and no other
// program receives it. When another program holds F10 (BadAccess), or the
// display is not X11, the hook goes on without the hot key and says why in
// the event log; the tray and the menu still work.
//
// In a Wayland session the desktop's global-shortcuts portal binds F10
// instead (asynchronously: hotKeyHeld() turns true once it has), with the
// X11 grab as the fallback; when neither gives the key the player is told,
// by a notification or a message box.

inline constexpr int kHotKeyId = 1000;
inline constexpr int VK_F10 = 121;

// From now until UnhookMainWindow, or until `hWnd` (a top-level window) is
// destroyed: F10 delivers WM_HOTKEY (wParam kHotKeyId, lParam VK_F10 in its
// high word) to `hWnd`, and MainWndProc sees the window's WM_HOTKEY and tray
// messages before the window does. `appmenu` is the menu a right click on the
// tray icon opens (none: nothing opens).
void HookMainWindow(QWidget* hWnd, QMenu* appmenu);
// Releases F10 and the hook. A window that is not the hooked one is left alone.
void UnhookMainWindow(QWidget* hWnd);

// What the hook does with a message of the hooked window; the message then
// goes on to the window unchanged.
//   WM_HOTKEY with VK_F10 in the high word of lParam: ToggleWindow.
//   The tray message with lParam WM_LBUTTONUP: ToggleWindow; WM_RBUTTONUP:
//   opens the menu at the pointer, whether the window is shown or hidden.
void MainWndProc(QWidget* hWnd, std::uint32_t uMsg, WParam wParam, LParam lParam);

// Hides a shown window and shows a hidden one; a minimised or maximised
// window keeps that state.
void ToggleWindow(QWidget* hWnd);

// Whether the hooked window holds F10 at the moment.
bool hotKeyHeld();

} // namespace kest
