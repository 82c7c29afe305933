#include "skin_fixtures.h"

#include "skin/iButton.h"
#include "skin/skinerror.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QCursor>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

namespace skintest {

QRgb captionSkinPixel(int x, int y)
{
    return qRgb(x, y, 200);
}

QImage captionSkin()
{
    QImage skin(94, 85, QImage::Format_RGB32);
    for (int y = 0; y < skin.height(); ++y) {
        for (int x = 0; x < skin.width(); ++x)
            skin.setPixel(x, y, captionSkinPixel(x, y));
    }
    return skin;
}

QImage strip(const std::vector<QColor>& colors, int w, int h)
{
    QImage image(w * static_cast<int>(colors.size()), h, QImage::Format_RGB32);
    QPainter painter(&image);
    for (size_t i = 0; i < colors.size(); ++i)
        painter.fillRect(QRect(static_cast<int>(i) * w, 0, w, h), colors[i]);
    return image;
}

QRgb progressSkinColumn(int c)
{
    return qRgb(20 * c + 10, 100, 50);
}

QImage progressSkin()
{
    QImage skin(10, 10, QImage::Format_RGB32);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x)
            skin.setPixel(x, y, progressSkinColumn(x));
    }
    return skin;
}

int skinErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const kest::SkinError& e) {
        return e.number();
    }
    return 0;
}

QRect boundingBox(const QImage& image, const std::function<bool(QRgb)>& hit)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (hit(image.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

std::unique_ptr<QWidget> shownHost(QSize size)
{
    auto host = std::make_unique<QWidget>();
    host->setGeometry(QRect(QPoint(200, 150), size));
    host->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    return host;
}

void pointerTo(const QWidget* widget, QPoint local)
{
    QCursor::setPos(widget->mapToGlobal(local));
    QCoreApplication::processEvents();
}

void pointerAway()
{
    QCursor::setPos(QPoint(2, 2)); // no test window reaches the screen's corner
    QCoreApplication::processEvents();
}

void screenshot(QWidget* widget, const QString& name)
{
    const QString path = kest::test::artifactDir(QStringLiteral("skin")) + QLatin1Char('/') + name
        + QStringLiteral(".png");
    EXPECT_TRUE(widget->grab().save(path)) << path.toStdString();
}

ButtonEvents::ButtonEvents(kest::iButton* b)
{
    using kest::iButton;
    auto add = [this](const char* name) { return [this, name] { names << QLatin1String(name); }; };
    connect(b, &iButton::Click, this, add("Click"));
    connect(b, &iButton::MouseDown, this, [this](qint16 button, qint16, float, float) {
        names << QStringLiteral("MouseDown%1").arg(button);
    });
    connect(b, &iButton::KeyDown, this,
        [this](qint16 key, qint16) { names << QStringLiteral("KeyDown%1").arg(key); });
    connect(b, &iButton::KeyUP, this,
        [this](qint16 key, qint16) { names << QStringLiteral("KeyUP%1").arg(key); });
    connect(b, &iButton::KeyPress, this,
        [this](qint16 ascii) { names << QStringLiteral("KeyPress%1").arg(ascii); });
    connect(b, &iButton::MouseUp, this, [this](qint16 button, qint16, float, float) {
        names << QStringLiteral("MouseUp%1").arg(button);
    });
    connect(b, &iButton::MouseOut, this, add("MouseOut"));
    connect(b, &iButton::MouseOver, this, add("MouseOver"));
    connect(b, &iButton::DBClick, this, add("DBClick"));
}

} // namespace skintest
