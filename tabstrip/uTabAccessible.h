#pragma once

namespace kest {

class uTab;

namespace a11y {

// Makes the tab strip known to assistive technology as a page tab list with
// one page tab per item; the strip's constructor calls it, and only the
// first call does anything.
void installTabStripAccessibility();

// Tells a listening screen reader what changed on the strip since it was
// last told: tabs added or removed, captions, close buttons, the selection.
// Nothing while no assistive technology is active.
void tabStripMayHaveChanged(uTab* strip);

} // namespace a11y
} // namespace kest
