#pragma once

// Shared pieces of the tab strip tests: a page window, artwork drawn to the
// skins' region table, and helpers to look at pixels.

#include "tabstrip/CTabItem.h"
#include "tabstrip/ITabForm.h"
#include "tabstrip/IuTab.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QStringList>
#include <QWidget>

namespace kest::test {

// A real page window: what the tab system needs of a page and nothing more
// (the launcher's web page needs the browser engine). It notes what it is
// asked to do in a shared log so that orders of calls can be checked.
class TestPage final : public QWidget, public ITabForm {
public:
    explicit TestPage(QStringList* log = nullptr, const QString& name = QStringLiteral("page"))
        : m_log(log)
        , m_name(name)
    {
        setObjectName(name);
        resize(300, 200);
    }

    QWidget* hWnd() const override { return const_cast<TestPage*>(this); }
    void Initialize(IuTab* implement, CTabItem* item) override
    {
        strip = implement;
        this->item = item;
        ++initializeCount;
        note(QStringLiteral("Initialize"));
    }
    void RefreshPage() override
    {
        ++refreshCount;
        note(QStringLiteral("RefreshPage"));
    }
    void Unload() override
    {
        ++unloadCount;
        note(QStringLiteral("Unload"));
        ITabForm::Unload();
    }

    IuTab* strip = nullptr;
    QPointer<CTabItem> item;
    int initializeCount = 0;
    int refreshCount = 0;
    int unloadCount = 0;

private:
    void note(const QString& what)
    {
        if (m_log)
            m_log->append(m_name + QLatin1Char('.') + what);
    }

    QStringList* m_log;
    QString m_name;
};

// Runs the deferred deletions that closing pages asks for.
inline void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Colours of the test artwork: each region has its own, so a pixel tells
// which region was drawn there.
namespace skincolours {
inline constexpr QRgb magenta = 0xFFFF00FF;
inline constexpr QRgb normal = 0xFF2850C8;
inline constexpr QRgb over = 0xFF78B4FF;
inline constexpr QRgb selected = 0xFFFFFFFF;
inline constexpr QRgb glyphSelected = 0xFF646464;
inline constexpr QRgb glyphOther = 0xFF969696;
inline constexpr QRgb glyphOver = 0xFFDC1E1E;
inline constexpr QRgb glyphPressed = 0xFF3C0000;
// Background row r: (10, 20 + 4r, 30), so stretching shows.
inline QRgb background(int row)
{
    return qRgb(10, 20 + 4 * row, 30);
}
} // namespace skincolours

// Artwork after the region table: 1-pixel background column, three bodies
// (trapezoids with 14-pixel slants, or capsules with 14-pixel round ends) and
// four 12 x 12 glyphs (an 8 x 8 square inside a magenta rim).
inline QImage drawTestSkin(int style)
{
    using namespace skincolours;
    const bool capsule = style != 0;
    const QSize size = capsule ? QSize(421, 28) : QSize(415, 25);
    const QSize body = capsule ? QSize(124, 26) : QSize(122, 25);
    const int bodyX[3] = { 1, capsule ? 125 : 123, capsule ? 249 : 245 };
    const QRgb bodyColour[3] = { normal, over, selected };
    const int glyphX[4]
        = { capsule ? 373 : 367, capsule ? 385 : 379, capsule ? 397 : 391, capsule ? 409 : 403 };
    const QRgb glyphColour[4] = { glyphSelected, glyphOther, glyphOver, glyphPressed };

    QImage image(size, QImage::Format_RGB32);
    image.fill(magenta);
    for (int y = 0; y < size.height(); ++y)
        image.setPixel(0, y, background(y));
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        p.setBrush(QColor::fromRgb(bodyColour[i]));
        const int x = bodyX[i];
        if (capsule) {
            // Hard edges: no antialiasing, so every pixel is body or magenta.
            p.drawEllipse(QRect(x, 0, 28, body.height()));
            p.drawEllipse(QRect(x + body.width() - 28, 0, 28, body.height()));
            p.drawRect(QRect(x + 14, 0, body.width() - 28, body.height()));
        } else {
            const QPoint corners[4] = { QPoint(x, body.height()), QPoint(x + 14, 0),
                QPoint(x + body.width() - 14, 0), QPoint(x + body.width(), body.height()) };
            p.drawPolygon(corners, 4);
        }
    }
    for (int i = 0; i < 4; ++i)
        p.fillRect(QRect(glyphX[i] + 2, 2, 8, 8), QColor::fromRgb(glyphColour[i]));
    return image;
}

} // namespace kest::test
