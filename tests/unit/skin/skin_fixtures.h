#pragma once

// Shared pieces of the skinned controls' widget tests: drawn skins whose
// pixels say where they came from, a shown host window, the pointer, and a
// recorder of the events a control raises.
#include <QColor>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

namespace kest {
class iButton;
}

namespace skintest {

// A 94 x 85 caption skin whose pixel (x, y) is RGB(x, y, 200): every painted
// pixel names the skin pixel it was copied from.
QImage captionSkin();
QRgb captionSkinPixel(int x, int y);

// A strip of `colors.size()` frames of w x h, each one solid colour.
QImage strip(const std::vector<QColor>& colors, int w, int h);

// A 10 x 10 progress skin, column c coloured RGB(20 c + 10, 100, 50).
QImage progressSkin();
QRgb progressSkinColumn(int c);

// The SkinError number `f` throws; 0 when it throws none.
int skinErrorOf(const std::function<void()>& f);

// The smallest rectangle holding every pixel for which `hit` is true.
QRect boundingBox(const QImage& image, const std::function<bool(QRgb)>& hit);

// A top-level window away from the screen's corner, shown and exposed.
std::unique_ptr<QWidget> shownHost(QSize size);

// Moves the real pointer (the platform sends the move to whatever is there).
void pointerTo(const QWidget* widget, QPoint local);
void pointerAway();

// Saves a widget's look under the test artefacts, in the "skin" folder.
void screenshot(QWidget* widget, const QString& name);

// The names of the events a button raises, in order.
class ButtonEvents final : public QObject {
public:
    explicit ButtonEvents(kest::iButton* button);
    QStringList names;
};

} // namespace skintest

// Readable values in failure messages.
#include <QSize>
#include <ostream>
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << '[' << l.join(QLatin1String(", ")).toStdString() << ']';
}
inline void PrintTo(const QSize& s, std::ostream* os)
{
    *os << s.width() << 'x' << s.height();
}
inline void PrintTo(const QPoint& p, std::ostream* os)
{
    *os << '(' << p.x() << ", " << p.y() << ')';
}
inline void PrintTo(const QRect& r, std::ostream* os)
{
    *os << r.width() << 'x' << r.height() << '+' << r.x() << '+' << r.y();
}
