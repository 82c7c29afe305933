#pragma once

#include <QString>

namespace kest {

// Text that comes from web pages (titles, addresses) as the program shows or
// writes it: never more than one line, never read as markup.

// `text` with every control character (line ends, tabs, NUL and the rest) and
// every line or paragraph separator replaced by a space.
QString singleLine(const QString& text);

// A tool tip that shows `text` as one line, letter for letter: a tool tip
// takes anything that looks like markup ("<b>", "<img ...>") as rich text,
// so the text is escaped and handed over as rich text. Empty for empty text.
QString plainToolTip(const QString& text);

} // namespace kest
