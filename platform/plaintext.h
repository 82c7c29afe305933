#pragma once

#include <QString>

namespace kest {

// Text that comes from web pages (titles, addresses) as the program shows or
// writes it: never more than one line.

// `text` with every control character (line ends, tabs, NUL and the rest) and
// every line or paragraph separator replaced by a space.
QString singleLine(const QString& text);

} // namespace kest
