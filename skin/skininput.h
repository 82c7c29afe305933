#pragma once

#include <QPointF>
#include <Qt>

#include <cstdint>

namespace kest {

// Mouse and key arguments as the controls' events carry them: Button 1 left,
// 2 right, 4 middle (for a move, the held buttons together); Shift 1 Shift,
// 2 Ctrl, 4 Alt; positions in twips; key codes the virtual-key numbers.
std::int16_t mouseButtonCode(Qt::MouseButtons buttons);
std::int16_t shiftCode(Qt::KeyboardModifiers modifiers);
QPointF toTwips(QPointF pixels);
// 0 for a key without a virtual-key number.
std::int16_t virtualKeyCode(int qtKey);

} // namespace kest
