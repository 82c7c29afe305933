#include "platform/windowhiding.h"

#include <QWidget>

namespace kest {

void hideFromPlayer(QWidget* window)
{
    if (!window || !isShownToPlayer(window))
        return;
    // Qt maps a window only when it is shown: hidden, marked and shown
    // again, it stays unmapped while everything in it is shown. The views
    // see one hide and one show on the way.
    window->hide();
    window->setAttribute(Qt::WA_DontShowOnScreen, true);
    window->show();
}

void showToPlayer(QWidget* window)
{
    if (!window)
        return;
    if (window->testAttribute(Qt::WA_DontShowOnScreen)) {
        window->hide();
        window->setAttribute(Qt::WA_DontShowOnScreen, false);
    }
    window->show();
}

bool isShownToPlayer(const QWidget* window)
{
    return window && window->isVisible() && !window->testAttribute(Qt::WA_DontShowOnScreen);
}

} // namespace kest
