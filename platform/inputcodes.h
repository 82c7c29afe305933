#pragma once

#include <Qt>

#include <cstdint>

namespace kest {

// Mouse buttons and modifier keys as the controls' mouse and key events carry
// them. Button: 1 left, 2 right, 4 middle; a move carries the held buttons
// together, a press or release the one button (0 for any other). Shift:
// 1 Shift, 2 Ctrl, 4 Alt, together.
inline constexpr std::int16_t kButtonLeft = 1;
inline constexpr std::int16_t kButtonRight = 2;
inline constexpr std::int16_t kButtonMiddle = 4;
inline constexpr std::int16_t kShiftMask = 1;
inline constexpr std::int16_t kCtrlMask = 2;
inline constexpr std::int16_t kAltMask = 4;

inline std::int16_t mouseButtonCode(Qt::MouseButtons buttons)
{
    return static_cast<std::int16_t>((buttons.testFlag(Qt::LeftButton) ? kButtonLeft : 0)
        | (buttons.testFlag(Qt::RightButton) ? kButtonRight : 0)
        | (buttons.testFlag(Qt::MiddleButton) ? kButtonMiddle : 0));
}

inline std::int16_t shiftCode(Qt::KeyboardModifiers modifiers)
{
    return static_cast<std::int16_t>((modifiers.testFlag(Qt::ShiftModifier) ? kShiftMask : 0)
        | (modifiers.testFlag(Qt::ControlModifier) ? kCtrlMask : 0)
        | (modifiers.testFlag(Qt::AltModifier) ? kAltMask : 0));
}

} // namespace kest
