#include "platform/windowhiding.h"

#include <QWidget>

namespace kest {

namespace {

const char kChangingPlace[] = "kestChangingPlace";

// Hides `window`, sets WA_DontShowOnScreen to `offScreen` and shows it again,
// marked as changing place meanwhile.
void hideAndShow(QWidget* window, bool offScreen)
{
    window->setProperty(kChangingPlace, true);
    window->hide();
    window->setAttribute(Qt::WA_DontShowOnScreen, offScreen);
    window->show();
    window->setProperty(kChangingPlace, false);
}

} // namespace

void hideFromPlayer(QWidget* window)
{
    if (!window || !isShownToPlayer(window))
        return;
    // A minimised window is hidden for real: taken off the screen and back,
    // the window manager may map it back un-minimised (seen with openbox,
    // one time in two). Its pages are not seen either way; until it shows
    // again they run at the engine's pace for hidden pages.
    if (window->isMinimized()) {
        window->hide();
        return;
    }
    // Qt maps a window only when it is shown: hidden, marked and shown
    // again, it stays unmapped while everything in it is shown.
    hideAndShow(window, true);
}

void showToPlayer(QWidget* window)
{
    if (!window)
        return;
    if (window->testAttribute(Qt::WA_DontShowOnScreen) && window->isVisible())
        hideAndShow(window, false);
    window->setAttribute(Qt::WA_DontShowOnScreen, false);
    window->show();
}

bool isChangingPlace(const QWidget* window)
{
    return window && window->property(kChangingPlace).toBool();
}

bool isShownToPlayer(const QWidget* window)
{
    return window && window->isVisible() && !window->testAttribute(Qt::WA_DontShowOnScreen);
}

} // namespace kest
