#pragma once

#include <QString>

namespace resgen {

// Enlarged previews of every picture (transparent pixels over a checkerboard) and
// mock-ups that put the skins together the way Parts 1.4, 1.10, 2.2, 3.1 and 5.2
// draw them, so the look can be judged in place. Not embedded anywhere.
void writePreviews(const QString& dir);

} // namespace resgen
