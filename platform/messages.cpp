#include "platform/messages.h"

#include <QMouseEvent>

namespace kest {

namespace {

std::uint32_t buttonMessage(
    const QMouseEvent& mouse, std::uint32_t left, std::uint32_t right, std::uint32_t middle)
{
    switch (mouse.button()) {
    case Qt::LeftButton:
        return left;
    case Qt::RightButton:
        return right;
    case Qt::MiddleButton:
        return middle;
    default:
        return WM_NULL;
    }
}

} // namespace

std::uint32_t windowMessageFor(const QEvent& event)
{
    switch (event.type()) {
    case QEvent::Move:
        return WM_MOVE;
    case QEvent::Resize:
        return WM_SIZE;
    case QEvent::Paint:
        return WM_PAINT;
    case QEvent::Close:
        return WM_SYSCOMMAND;
    case QEvent::Show:
    case QEvent::Hide:
        return WM_SHOWWINDOW;
    case QEvent::KeyPress:
        return WM_KEYDOWN;
    case QEvent::KeyRelease:
        return WM_KEYUP;
    case QEvent::MouseMove:
        return WM_MOUSEMOVE;
    case QEvent::MouseButtonPress:
        return buttonMessage(
            static_cast<const QMouseEvent&>(event), WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN);
    case QEvent::MouseButtonRelease:
        return buttonMessage(
            static_cast<const QMouseEvent&>(event), WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP);
    case QEvent::MouseButtonDblClick:
        return buttonMessage(static_cast<const QMouseEvent&>(event), WM_LBUTTONDBLCLK,
            WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK);
    case QEvent::Wheel:
        return WM_MOUSEWHEEL;
    case QEvent::Leave:
        return WM_MOUSELEAVE;
    case QEvent::DeferredDelete:
        return WM_NCDESTROY;
    default:
        return WM_NULL;
    }
}

} // namespace kest
