#pragma once

class QWidget;

namespace kest {

// Hiding a top-level window from the player while the widgets in it go on as
// if it were shown. A hidden widget hides every browser view in it from the
// engine, which then stops the pages' animation frames and slows their timers
// to one a second, whatever its throttling switches say; a game behind the
// hot key would freeze. Instead the window is taken off the screen (unmapped,
// as hide() does) but stays shown to Qt, so its views stay visible pages.

//
// On the way the window is hidden and shown again at once. isChangingPlace
// tells a widget that the hide and show events it gets meanwhile are no real
// hide: a browser view can skip them, and its page never hears of them.

// Takes a shown window off the screen; nothing for a window not shown.
void hideFromPlayer(QWidget* window);
// Shows a window, whether hidden or only taken off the screen.
void showToPlayer(QWidget* window);
// Shown and on the screen (it may still be minimised).
bool isShownToPlayer(const QWidget* window);
// True while hideFromPlayer or showToPlayer hides and shows `window` again.
bool isChangingPlace(const QWidget* window);

} // namespace kest
