#include "skin/dialogframe.h"

#include "platform/pictures.h"
#include "platform/units.h"
#include "platform/windowshape.h"
#include "skin/BForm.h"
#include "skin/iButton.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace kest {

namespace {

constexpr int kCaptionBarHeight = 33;
constexpr int kCloseButtonSkin = 103;
// The close button's left edge, from the window's right edge.
constexpr int kCloseFromRightTwips = 730;
// RGB(222, 222, 222) as the caption bar takes colours: 0x00BBGGRR in decimal.
const QString kCaptionBackColor = QString::number(222 * 65536 + 222 * 256 + 222);

} // namespace

DialogFrame buildDialogFrame(QWidget* window, const DialogFrameLook& look)
{
    window->setAutoFillBackground(true);
    QPalette white = window->palette();
    white.setColor(QPalette::Window, Qt::white);
    window->setPalette(white);
    window->resize(look.size);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->geometry().center() - window->rect().center());

    DialogFrame frame;
    frame.cornerEllipse = look.cornerEllipse;
    frame.captionBar = new BForm(window);
    frame.captionBar->setObjectName(QStringLiteral("BForm1"));
    frame.captionBar->setGeometry(0, 0, look.size.width(), kCaptionBarHeight);
    frame.captionBar->setBackColor(kCaptionBackColor);
    frame.captionBar->setCaption(look.caption);
    // Dragging the caption bar moves the window.
    frame.captionBar->setFrmHwnd(window);

    frame.closeButton = new iButton(window);
    frame.closeButton->setObjectName(QStringLiteral("closebtn"));
    frame.closeButton->setGeometry(look.closeButton);
    frame.closeButton->setBackPicture(LoadResSkinAt(
        kCloseButtonSkin, QStringLiteral("BITMAP"), frame.closeButton->devicePixelRatioF()));
    frame.closeButton->setFocusPolicy(Qt::NoFocus); // no focus frame on a caption button
    frame.closeButton->setAccessibleName(QStringLiteral("关闭")); // a picture-only button
    return frame;
}

void fitDialogFrame(QWidget* window, const DialogFrame& frame)
{
    // Cut on the screen's own pixels: a shape cut in logical pixels and
    // scaled would have stepped, uneven corners on a scaled desktop.
    setRoundedWindowShape(window, frame.cornerEllipse, frame.cornerEllipse);
    if (frame.captionBar) {
        frame.captionBar->resize(window->width(), frame.captionBar->height());
        frame.captionBar->Printform(window);
    }
    if (frame.closeButton)
        frame.closeButton->move(
            twipsToPixelsTruncated(pixelsToTwips(window->width()) - kCloseFromRightTwips),
            frame.closeButton->y());
}

} // namespace kest
