#pragma once

#include <QString>

namespace resgen {

// Enlarged previews of every picture (transparent pixels over a checkerboard) and
// mock-ups that put the skins together the way the main window, the exit
// question, the tab strip, the caption bar and the updater's window draw them,
// so the look can be judged in place. Not embedded anywhere.
void writePreviews(const QString& dir);

} // namespace resgen
