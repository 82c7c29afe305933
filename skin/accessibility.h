#pragma once

#include <QString>

class QWidget;

namespace kest {

class iButton;
class KvProgressBar;

namespace a11y {

// The name a skinned button is read out with: what the host named it for
// assistive technology, else its tool tip, else its caption. Buttons that
// show only a picture have neither caption nor tool tip; the host names those.
QString buttonName(const QString& accessibleName, const QString& toolTip, const QString& caption);

// Makes the skinned controls known to assistive technology; every control's
// constructor calls it, and only the first call does anything.
void installSkinAccessibility();

// Tell a listening screen reader what changed. Each does nothing while no
// assistive technology is active.
void buttonStateMayHaveChanged(iButton* button);
void buttonNameChanged(iButton* button);
void progressValueChanged(KvProgressBar* bar);

} // namespace a11y
} // namespace kest
