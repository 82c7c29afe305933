#include "look.h"

#include <algorithm>
#include <cmath>

namespace resgen::look {

QColor mix(const QColor& a, const QColor& b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    auto ch = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
    return QColor(ch(a.red(), b.red()), ch(a.green(), b.green()), ch(a.blue(), b.blue()));
}

QColor titleColor(double y)
{
    if (y < 1.0)
        return outline;
    if (y < 2.0)
        return titleHighlight;
    return mix(titleTop, titleBottom, (y - 2.0) / double(titleRows - 3));
}

} // namespace resgen::look
