#include "winhook/WindowMessage.h"

#include "platform/messages.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QWheelEvent>

namespace kest {

namespace {

WParam keyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    WParam flags = 0;
    if (buttons & Qt::LeftButton)
        flags |= MK_LBUTTON;
    if (buttons & Qt::RightButton)
        flags |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton)
        flags |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier)
        flags |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        flags |= MK_CONTROL;
    return flags;
}

LParam pointParam(QPointF point)
{
    const QPoint p = point.toPoint();
    return makeLParam(p.x(), p.y());
}

} // namespace

WindowMessageEvent::WindowMessageEvent(std::uint32_t message, WParam wParam, LParam lParam)
    : QEvent(eventType())
    , m_message(message)
    , m_wParam(wParam)
    , m_lParam(lParam)
{ }

QEvent::Type WindowMessageEvent::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

LResult sendWindowMessage(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam)
{
    QObject* receiver = windowFromHandle(window);
    if (!receiver)
        return 0;
    WindowMessageEvent event(message, wParam, lParam);
    QCoreApplication::sendEvent(receiver, &event);
    return event.result();
}

MessageParams messageParamsFor(const QEvent& event)
{
    MessageParams params;
    if (event.type() == WindowMessageEvent::eventType()) {
        const auto& message = static_cast<const WindowMessageEvent&>(event);
        params.message = message.message();
        params.wParam = message.wParam();
        params.lParam = message.lParam();
        return params;
    }

    params.message = windowMessageFor(event);
    switch (event.type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        const auto& mouse = static_cast<const QMouseEvent&>(event);
        params.wParam = keyFlags(mouse.buttons(), mouse.modifiers());
        params.lParam = pointParam(mouse.position());
        break;
    }
    case QEvent::Wheel: {
        // The wheel message carries screen coordinates, unlike the others.
        const auto& wheel = static_cast<const QWheelEvent&>(event);
        params.wParam = keyFlags(wheel.buttons(), wheel.modifiers())
            | (static_cast<WParam>(static_cast<std::uint16_t>(wheel.angleDelta().y())) << 16);
        params.lParam = pointParam(wheel.globalPosition());
        break;
    }
    case QEvent::Resize: {
        const auto& resize = static_cast<const QResizeEvent&>(event);
        params.wParam = SIZE_RESTORED;
        params.lParam = makeLParam(resize.size().width(), resize.size().height());
        break;
    }
    case QEvent::Move: {
        const auto& move = static_cast<const QMoveEvent&>(event);
        params.lParam = makeLParam(move.pos().x(), move.pos().y());
        break;
    }
    case QEvent::Show:
        params.wParam = 1;
        break;
    case QEvent::Close:
        params.wParam = SC_CLOSE;
        break;
    default:
        break;
    }
    return params;
}

} // namespace kest
