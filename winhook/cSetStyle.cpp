#include "winhook/cSetStyle.h"

#include "platform/eventlog.h"
#include "platform/messages.h"
#include "platform/units.h"
#include "platform/windowshape.h"
#include "winhook/CSubclass.h"
#include "winhook/ModGetTaskbarHei.h"
#include "winhook/cFormSubclass.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

namespace kest {

namespace formstyle {

namespace {

bool near(int a, int b)
{
    return std::abs(a - b) <= kEdgeBand;
}

} // namespace

WinRect WinRect::fromRect(const QRect& rect)
{
    return WinRect { rect.x(), rect.y(), rect.x() + rect.width(), rect.y() + rect.height() };
}

int hitTest(const WinRect& w, QPoint cursor)
{
    const int x = cursor.x();
    const int y = cursor.y();
    if (near(x, w.left) && near(y, w.bottom))
        return HitBottomLeft;
    if (near(y, w.top) && near(x, w.left))
        return HitTopLeft;
    if (near(x, w.right) && near(y, w.bottom))
        return HitBottomRight;
    if (near(x, w.right) && near(y, w.top))
        return HitTopRight;
    const bool alongX = w.left + kEdgeBand < x && x < w.right - kEdgeBand;
    const bool alongY = w.top + kEdgeBand < y && y < w.bottom - kEdgeBand;
    if (near(y, w.top) && alongX)
        return HitTop;
    if (near(x, w.right) && alongY)
        return HitRight;
    if (near(y, w.bottom) && alongX)
        return HitBottom;
    if (near(x, w.left) && alongY)
        return HitLeft;
    return HitNone;
}

Qt::CursorShape pointerFor(int code)
{
    switch (code) {
    case HitBottomLeft:
    case HitTopRight:
        return Qt::SizeBDiagCursor; // NE-SW
    case HitTopLeft:
    case HitBottomRight:
        return Qt::SizeFDiagCursor; // NW-SE
    case HitTop:
    case HitBottom:
        return Qt::SizeVerCursor;
    case HitRight:
    case HitLeft:
        return Qt::SizeHorCursor;
    default:
        return Qt::ArrowCursor;
    }
}

WinRect dragTarget(WinRect t, int code, QPoint cursor)
{
    const int x = cursor.x();
    const int y = cursor.y();
    const auto rightEdge = [&] {
        if (t.left + kMinDragWidth < x)
            t.right = x;
    };
    const auto leftEdge = [&] {
        if (t.right - x > kMinDragWidth)
            t.left = x;
    };
    const auto bottomEdge = [&] {
        if (t.top + kMinDragHeight < y)
            t.bottom = y;
    };
    // The unguarded sides: as small as the player likes, but never past the
    // opposite side, which would make a window of negative size.
    const auto topEdge = [&] { t.top = std::min(y, t.bottom - 1); };
    switch (code) {
    case HitTop:
        topEdge();
        break;
    case HitTopRight:
        topEdge();
        t.right = std::max(x, t.left + 1);
        break;
    case HitRight:
        rightEdge();
        break;
    case HitBottomRight:
        rightEdge();
        bottomEdge();
        break;
    case HitBottom:
        bottomEdge();
        break;
    case HitBottomLeft:
        leftEdge();
        bottomEdge();
        break;
    case HitLeft:
        leftEdge();
        break;
    case HitTopLeft:
        topEdge();
        t.left = std::min(x, t.right - 1);
        break;
    default:
        break;
    }
    return t;
}

QRect maximisedBounds(const QRect& screen, int taskbarTwips)
{
    const int widthTwips = pixelsToTwips(screen.width());
    const int heightTwips = pixelsToTwips(screen.height()) - taskbarTwips;
    return QRect(screen.topLeft(),
        QSize(
            twipsToPixelsTruncated(widthTwips), std::max(1, twipsToPixelsTruncated(heightTwips))));
}

} // namespace formstyle

bool RectRgn(QWidget* hWnd, int Top, int Buttom, int X, int Y)
{
    if (!hWnd)
        return false;
    // The corners are cut on the screen's own pixels: a shape cut in logical
    // pixels and scaled would have stepped corners and, at fractional
    // scales, uneven ones. Top and Buttom are one past the shape's far edges.
    if (Top - 1 == hWnd->width() && Buttom - 1 == hWnd->height()) {
        if (Top < 2 || Buttom < 2)
            return false;
        setRoundedWindowShape(hWnd, X, Y);
        return true;
    }
    const qreal scale = windowScale(hWnd);
    const QRegion shape = roundRectRegion(qRound((Top - 1) * scale) + 1,
        qRound((Buttom - 1) * scale) + 1, qRound(X * scale), qRound(Y * scale));
    // An empty mask would remove the shape instead of hiding everything.
    return setWindowShape(hWnd, shape);
}

namespace {

using formstyle::WinRect;

// The dotted rectangle that follows the pointer while an edge is dragged. A
// separate window above everything, shaped to its one-pixel outline so that
// what lies inside shows through: an exclusive-or rectangle on the root
// window would not show under a compositing manager.
class RubberBand final : public QWidget {
public:
    RubberBand()
        : QWidget(nullptr,
            Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                | Qt::X11BypassWindowManagerHint | Qt::WindowTransparentForInput
                | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint)
    {
        setObjectName(QStringLiteral("cSetStyleRubberBand"));
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    Q_DISABLE_COPY_MOVE(RubberBand)

    void place(const QRect& rect)
    {
        setGeometry(rect);
        if (!isVisible())
            show();
    }

protected:
    void resizeEvent(QResizeEvent*) override
    {
        QRegion outline(rect());
        if (width() > 2 && height() > 2)
            outline -= QRegion(rect().adjusted(1, 1, -1, -1));
        setWindowShape(this, toDeviceRegion(outline, windowScale(this)));
    }
    void paintEvent(QPaintEvent*) override
    {
        // Alternate dark and light pixels, as a focus rectangle does, so the
        // band shows on any background.
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.fillRect(rect(), QBrush(Qt::black, Qt::Dense4Pattern));
    }
};

// The mouse's place when the message happened; the pointer's place now when
// the message came from elsewhere.
QPoint messageCursor()
{
    if (const QEvent* event = CSubclass::currentEvent()) {
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            return static_cast<const QMouseEvent*>(event)->globalPosition().toPoint();
        default:
            break;
        }
    }
    return QCursor::pos();
}

// A close that the window system asked for, not one the program made itself
// with close(): Qt reports both as the same close event.
bool platformCloseRequest()
{
    const QEvent* event = CSubclass::currentEvent();
    if (event && event->type() == QEvent::Close)
        return event->spontaneous();
    return true; // a WM_SYSCOMMAND message sent to the form
}

constexpr WParam kAnyButton = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON;

} // namespace

cSetStyle::cSetStyle(QObject* parent)
    : QObject(parent)
    , m_objSubclass(std::make_unique<cFormSubclass>())
{
    connect(m_objSubclass.get(), &cFormSubclass::MsgCome, this, &cSetStyle::objSubclass_MsgCome);
}

cSetStyle::~cSetStyle()
{
    m_objSubclass->DeleteWindowMsg(m_hWnd);
    m_objSubclass.reset();
}

void cSetStyle::setobjForm(QWidget* form)
{
    m_objForm = form;
}

QWidget* cSetStyle::form() const
{
    return m_objForm ? m_objForm.data() : m_window.data();
}

const QWidget* cSetStyle::rubberBand() const
{
    return m_band.get();
}

bool cSetStyle::SetWindowStyle(QWidget* hWnd)
{
    if (!hWnd) {
        logEvent(QStringLiteral("cSetStyle.SetWindowStyle: no window"));
        return false;
    }
    if (m_hWnd != 0) {
        logEvent(QStringLiteral("cSetStyle.SetWindowStyle: a window is styled already"));
        return false;
    }
    const bool shown = hWnd->isVisible();
    // No caption, border or sizing frame; the taskbar button and the system
    // menu stay.
    hWnd->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint);
    // The edges are found from plain pointer moves, buttons up.
    hWnd->setMouseTracking(true);
    if (shown)
        hWnd->show();
    m_window = hWnd;
    m_hWnd = windowHandle(hWnd);
    return m_objSubclass->AddWindowMsgs(m_hWnd);
}

formstyle::WinRect cSetStyle::windowRect() const
{
    const QWidget* f = form();
    return f ? WinRect::fromRect(f->frameGeometry()) : WinRect {};
}

void cSetStyle::moveToMaximised()
{
    QWidget* f = form();
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!f || !screen)
        return;
    f->setGeometry(formstyle::maximisedBounds(screen->geometry(), GetTaskbarHeight()));
}

bool cSetStyle::CallWindowStateChange()
{
    QWidget* f = form();
    if (!f) {
        logEvent(QStringLiteral("cSetStyle.CallWindowStateChange: no form"));
        return m_maximised;
    }
    cancelDrag();
    if (m_maximised) {
        f->setGeometry(m_saved);
        m_maximised = false;
    } else {
        m_saved = f->frameGeometry();
        moveToMaximised();
        m_maximised = true;
        // The edges no longer size the form; a sizing pointer left from the
        // last move would only mislead.
        f->setCursor(Qt::ArrowCursor);
    }
    return m_maximised;
}

void cSetStyle::startDrag()
{
    m_dragging = true;
    m_windowRect = windowRect();
    m_drawnRect = m_windowRect;
    m_targetRect = m_windowRect;
    if (!m_band)
        m_band = std::make_unique<RubberBand>();
    static_cast<RubberBand*>(m_band.get())->place(m_drawnRect.toRect());
}

void cSetStyle::moveBand(QPoint cursor)
{
    m_targetRect = formstyle::dragTarget(m_targetRect, m_hitCode, cursor);
    if (m_band)
        static_cast<RubberBand*>(m_band.get())->place(m_targetRect.toRect());
    m_drawnRect = m_targetRect;
}

void cSetStyle::finishDrag()
{
    m_dragging = false;
    if (m_band)
        m_band->hide();
    if (QWidget* f = form())
        f->setGeometry(m_drawnRect.toRect());
}

void cSetStyle::cancelDrag()
{
    m_dragging = false;
    if (m_band)
        m_band->hide();
}

void cSetStyle::objSubclass_MsgCome(
    bool bBefore, bool&, LResult&, WindowHandle, quint32 uMsg, WParam wParam, LParam)
{
    if (!bBefore)
        return;
    // A handler of the events below may destroy this object (a close
    // request that unloads the form, say): nothing is touched after that.
    const QPointer<cSetStyle> alive(this);
    switch (uMsg) {
    case WM_SETTINGCHANGE: {
        emit SettingChange();
        if (!alive)
            return;
        const QWidget* f = form();
        if (f && !f->isMinimized() && m_maximised)
            moveToMaximised();
        break;
    }
    case WM_SYSCOMMAND:
        if (wParam == SC_CLOSE && platformCloseRequest())
            emit CloseClick();
        break;
    case WM_MOUSEMOVE:
        m_cursor = messageCursor();
        if (!m_dragging && !m_maximised) {
            m_hitCode = formstyle::hitTest(windowRect(), m_cursor);
            emit MouseSize(m_hitCode);
            if (!alive)
                return;
            if (QWidget* f = form())
                f->setCursor(formstyle::pointerFor(m_hitCode));
        } else if (m_dragging && (wParam & kAnyButton)) {
            moveBand(m_cursor);
        }
        break;
    case WM_LBUTTONDOWN:
        m_cursor = messageCursor();
        m_hitCode = formstyle::hitTest(windowRect(), m_cursor);
        if (m_hitCode != formstyle::HitNone && !m_dragging && !m_maximised)
            startDrag();
        break;
    case WM_LBUTTONUP:
        if (m_dragging)
            finishDrag();
        break;
    case WM_SHOWWINDOW:
        // A form hidden in the middle of a drag keeps its size; the band goes.
        if (wParam == 0)
            cancelDrag();
        break;
    case WM_NCDESTROY:
        cancelDrag();
        break;
    default:
        break;
    }
}

} // namespace kest
