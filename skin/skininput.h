#pragma once

#include "platform/inputcodes.h"

#include <QPointF>
#include <Qt>

#include <cstdint>

namespace kest {

// Mouse and key arguments as the controls' events carry them: buttons and
// modifiers as platform/inputcodes.h codes them; positions in twips; key
// codes the virtual-key numbers.
QPointF toTwips(QPointF pixels);
// 0 for a key without a virtual-key number.
std::int16_t virtualKeyCode(int qtKey);

} // namespace kest
