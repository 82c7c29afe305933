#pragma once

#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

namespace kest {

class BForm;
class iButton;

// The frame the programs' small borderless windows share (the exit question,
// the updater): white, rounded corners, a grey skinned caption bar that drags
// the window, and a skinned close button kept at the bar's right end.
struct DialogFrameLook {
    QSize size; // the window's, in pixels
    QString caption;
    QRect closeButton; // its first place; it keeps its distance from the right
    int cornerEllipse = 0; // width and height of the corners' ellipse
};

struct DialogFrame {
    BForm* captionBar = nullptr; // named "BForm1"
    iButton* closeButton = nullptr; // named "closebtn"; its Click is the caller's to connect
    int cornerEllipse = 0;
};

// Gives `window` (not yet shown) the frame's size, colour and place in the
// middle of the primary screen, and builds the caption bar and close button
// on it.
DialogFrame buildDialogFrame(QWidget* window, const DialogFrameLook& look);

// Fits the frame to the window's current size: the rounded shape, the caption
// bar's width and its copy on the window, the close button's place. For the
// window's resizeEvent.
void fitDialogFrame(QWidget* window, const DialogFrame& frame);

} // namespace kest
