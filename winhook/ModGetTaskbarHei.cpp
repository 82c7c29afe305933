#include "winhook/ModGetTaskbarHei.h"

#include "platform/units.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <limits>

namespace kest {

std::int16_t taskbarHeightTwips(const QRect& screen, const QRect& workArea)
{
    if (!screen.isValid() || !workArea.isValid())
        return 0;
    const int workAreaBottom = workArea.y() + workArea.height() - screen.y();
    const long long twips
        = (static_cast<long long>(screen.height()) - workAreaBottom) * kTwipsPerPixel;
    return static_cast<std::int16_t>(
        std::clamp<long long>(twips, 0, std::numeric_limits<std::int16_t>::max()));
}

std::int16_t GetTaskbarHeight()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 0;
    return taskbarHeightTwips(screen->geometry(), screen->availableGeometry());
}

} // namespace kest
