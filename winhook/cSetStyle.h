#pragma once

#include "platform/windowregion.h"
#include "winhook/WindowHandle.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QWidget>

#include <memory>

namespace kest {

class cFormSubclass;

namespace formstyle {

// A window rectangle as the sizing rules read it: screen pixels, right and
// bottom one past the last pixel (a QRect's right() is the last pixel).
struct WinRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static WinRect fromRect(const QRect& rect);
    QRect toRect() const { return QRect(left, top, right - left, bottom - top); }
    friend bool operator==(const WinRect&, const WinRect&) = default;
};

// The edge under the pointer; the numbers are the form's hit codes.
enum HitCode : int {
    HitNone = -1,
    HitTop = 0,
    HitTopRight = 1,
    HitRight = 2,
    HitBottomRight = 3,
    HitBottom = 4,
    HitBottomLeft = 5,
    HitLeft = 6,
    HitTopLeft = 7,
};

// How close to an edge (either side of it) the pointer counts as on it.
inline constexpr int kEdgeBand = 5;
// What a drag through the right, left or bottom edge or a bottom corner leaves
// at least; the moving side stops short of these.
inline constexpr int kMinDragWidth = 800;
inline constexpr int kMinDragHeight = 600;

// The edge of `window` that `cursor` is on. Corners win over edges; an edge
// counts only away from its ends (more than kEdgeBand inside them).
int hitTest(const WinRect& window, QPoint cursor);

// The pointer shape that shows hit code `code` (an arrow for none).
Qt::CursorShape pointerFor(int code);

// The rubber band after the pointer moved to `cursor` while dragging edge
// `code` of `target`. The right, left and bottom sides follow the pointer only
// while the band stays wider than kMinDragWidth / taller than kMinDragHeight;
// the top side and the top corners apply no minimum, yet never turn the band
// inside out: a side stops one pixel short of the side facing it.
WinRect dragTarget(WinRect target, int code, QPoint cursor);

// Where a maximised form goes: the top-left of `screen`, the screen's width,
// and its height less a bottom taskbar of `taskbarTwips`. In pixels.
QRect maximisedBounds(const QRect& screen, int taskbarTwips);

} // namespace formstyle

// Gives `hWnd` the rounded shape roundRectRegion(Top, Buttom, X, Y) describes
// (the parameter named Top carries the right edge). False, with nothing
// changed, when there is no window or the shape would be empty.
bool RectRgn(QWidget* hWnd, int Top, int Buttom, int X, int Y);

// Gives a borderless form back what a frame used to provide: resizing by any
// edge or corner with a dotted rubber band and a minimum size, a maximise and
// restore toggle that fills the screen above a bottom taskbar, re-fitting when
// the work area changes, and word when the platform asks the form to close.
//
// Only the form's own mouse messages count, as they would without a frame:
// the part of the edge band that children cover does not size the window.
// While an edge is dragged only the rubber band (a separate outline window)
// follows the pointer; the form takes the band's place when the button is
// released.
class cSetStyle final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(cSetStyle)
    Q_PROPERTY(QWidget* objForm READ objForm WRITE setobjForm)

public:
    explicit cSetStyle(QObject* parent = nullptr);
    ~cSetStyle() override;

    // The form that is moved and whose pointer changes; the window given to
    // SetWindowStyle when not set.
    QWidget* objForm() const { return m_objForm; }
    void setobjForm(QWidget* form);

    // Makes `hWnd` a frameless top-level window that keeps its taskbar
    // button and system menu, and starts watching its messages. Meant to run
    // once, before the window is shown (a shown window is shown again). False,
    // with an event-log line, for no window or a second call.
    bool SetWindowStyle(QWidget* hWnd);

    // Toggles between the saved bounds and the maximised bounds (above);
    // returns true when the form is maximised now. Without a form nothing
    // changes and the current state is returned.
    bool CallWindowStateChange();

    bool isMaximised() const { return m_maximised; }
    bool isDragging() const { return m_dragging; }
    // Left, top, width, height kept for the restore, in pixels.
    QRect savedBounds() const { return m_saved; }
    int hitCode() const { return m_hitCode; }
    // The rubber band window: shown only while an edge is being dragged.
    const QWidget* rubberBand() const;

signals:
    // The platform asked the form to close (the window manager, the taskbar,
    // or a WM_SYSCOMMAND / SC_CLOSE message); raised before the form's own
    // close handling, which still follows. A close() of the program's own
    // does not raise it.
    void CloseClick();
    // The work area or the screen changed; raised before a maximised form is
    // re-fitted.
    void SettingChange();
    // The pointer moved over the form (not maximised, not dragging); the hit
    // code of the edge under it, -1 for none.
    void MouseSize(int theMouseStyle);

private:
    void objSubclass_MsgCome(bool bBefore, bool& bHandled, LResult& lReturn, WindowHandle lng_hWnd,
        quint32 uMsg, WParam wParam, LParam lParam);
    QWidget* form() const;
    formstyle::WinRect windowRect() const;
    void moveToMaximised();
    void startDrag();
    void moveBand(QPoint cursor);
    void finishDrag();
    void cancelDrag();

    std::unique_ptr<cFormSubclass> m_objSubclass;
    QPointer<QWidget> m_objForm;
    QPointer<QWidget> m_window;
    WindowHandle m_hWnd = 0;
    bool m_dragging = false;
    bool m_maximised = false;
    QRect m_saved;
    QPoint m_cursor;
    int m_hitCode = formstyle::HitNone;
    formstyle::WinRect m_windowRect;
    formstyle::WinRect m_drawnRect;
    formstyle::WinRect m_targetRect;
    std::unique_ptr<QWidget> m_band;
};

} // namespace kest
