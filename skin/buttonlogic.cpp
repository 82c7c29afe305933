#include "skin/buttonlogic.h"

#include "platform/pictures.h"
#include "platform/units.h"

#include <utility>

namespace kest::button {

QSize pictureHimetric(QSize pixels)
{
    return QSize(pixelsToHimetric(pixels.width()), pixelsToHimetric(pixels.height()));
}

QSize frameSize(QSize pictureHimetric, int style)
{
    const double perFrame = style == 0 ? 3.0 : 6.0;
    return QSize(roundHalfEven(pictureHimetric.width() / kHimetricPerPixel / perFrame),
        roundHalfEven(pictureHimetric.height() / kHimetricPerPixel));
}

int frameSlots(int style)
{
    return style == 1 ? 8 : 4;
}

QRect frameSource(int index, QSize frameSize)
{
    return QRect(index * frameSize.width(), 0, frameSize.width(), frameSize.height());
}

QRect frameSource(int index, QSize frameSize, qreal pictureRatio)
{
    return deviceRect(frameSource(index, frameSize), pictureRatio);
}

int frameIndex(int state, bool value, int style)
{
    const int set = value && style == 1 ? 3 : 0;
    return (state == Disabled ? Normal : state) + set;
}

QPoint captionPosition(QSize control, QSize text, int iconHimetricWidth, int state)
{
    double x = control.width() / 2.0 - text.width() / 2.0;
    if (iconHimetricWidth > 0)
        x += (iconHimetricWidth / 26) * kTwipsPerPixel;
    int left = roundHalfEven(x);
    int top = roundHalfEven(control.height() / 2.0 - text.height() / 2.0);
    if (state == Pressed) {
        left += kTwipsPerPixel;
        top += kTwipsPerPixel;
    }
    return { left, top };
}

int iconLeft(int controlWidth, int textWidth, int iconHimetricWidth)
{
    return roundHalfEven(
        controlWidth / 2.0 - textWidth / 2.0 - ((iconHimetricWidth / 26) * kTwipsPerPixel) / 2.0);
}

QRect focusRect(QSize controlPixels)
{
    // Right and bottom are exclusive, as the focus rectangle's edges are.
    return QRect(
        QPoint(3, 3), QPoint(controlPixels.width() - 3 - 1, controlPixels.height() - 3 - 1));
}

ButtonMachine::ButtonMachine(std::function<bool()> isOver)
    : m_isOver(std::move(isOver))
{ }

int ButtonMachine::CurrentState() const
{
    if (!m_enabled)
        return Disabled;
    if (m_pressed)
        return m_isOver() ? Pressed : Normal;
    return m_isOver() ? Over : Normal;
}

void ButtonMachine::action(Effects& out, int action, bool completePaint)
{
    if (action != m_current || completePaint) {
        m_current = action;
        out.push_back({ Effect::Draw, action });
    }
}

ButtonMachine::Effects ButtonMachine::cMouseAction(int action, bool completePaint)
{
    Effects out;
    this->action(out, action, completePaint);
    return out;
}

void ButtonMachine::flipToggle()
{
    if (m_style == 1)
        m_value = !m_value;
}

ButtonMachine::Effects ButtonMachine::mouseDown(int button)
{
    Effects out;
    m_lastButton = button;
    if (button == kLeftButton) {
        out.push_back({ Effect::ArrowCursor });
        action(out, Pressed, false);
        m_pressed = true;
    }
    return out;
}

ButtonMachine::Effects ButtonMachine::mouseMove()
{
    Effects out;
    if (m_isOver()) {
        out.push_back({ Effect::HandCursor });
        if (!m_over) {
            action(out, Over, false);
            m_over = true;
            out.push_back({ Effect::StartTimer });
            out.push_back({ Effect::RaiseMouseOver });
        }
    }
    return out;
}

ButtonMachine::Effects ButtonMachine::mouseUp(int button)
{
    Effects out;
    if (button == kLeftButton) {
        if (m_isOver()) {
            // Only a release that ends a press on the control flips the toggle:
            // the release that ends a double click raises no Click, and a flip
            // there would leave Value out of step with what the host did on Click.
            if (m_pressed)
                flipToggle();
            action(out, Over, true);
        } else {
            action(out, Normal, true);
        }
        m_pressed = false;
    }
    return out;
}

ButtonMachine::Effects ButtonMachine::click()
{
    Effects out;
    if (m_lastButton == kLeftButton) {
        action(out, CurrentState(), true);
        out.push_back({ Effect::RaiseClick });
    }
    return out;
}

ButtonMachine::Effects ButtonMachine::doubleClick()
{
    Effects out;
    if (m_lastButton == kLeftButton)
        action(out, Pressed, false);
    out.push_back({ Effect::RaiseDBClick });
    return out;
}

ButtonMachine::Effects ButtonMachine::timerTick()
{
    Effects out;
    if (m_isOver()) {
        if (m_pressed)
            action(out, Pressed, false);
    } else if (m_pressed) {
        // Dragged off while held: look normal, but keep polling for the return.
        action(out, Normal, false);
    } else {
        out.push_back({ Effect::StopTimer });
        m_over = false;
        out.push_back({ Effect::RaiseMouseOut });
        action(out, Normal, false);
    }
    return out;
}

ButtonMachine::Effects ButtonMachine::keyDown(int keyCode)
{
    Effects out;
    if (keyCode == kKeyEnter) {
        flipToggle();
        action(out, CurrentState(), true);
        if (!m_over)
            out.push_back({ Effect::DrawFocus });
        out.push_back({ Effect::RaiseClick });
    } else if (keyCode == kKeySpace) {
        action(out, Pressed, true);
        if (!m_over)
            out.push_back({ Effect::DrawFocus });
    }
    return out;
}

ButtonMachine::Effects ButtonMachine::keyUp(int keyCode)
{
    Effects out;
    if (keyCode == kKeySpace) {
        flipToggle();
        action(out, CurrentState(), true);
        if (!m_over)
            out.push_back({ Effect::DrawFocus });
        out.push_back({ Effect::RaiseClick });
    }
    return out;
}

ButtonMachine::Effects ButtonMachine::focusIn()
{
    Effects out;
    action(out, CurrentState(), true);
    if (!m_pressed)
        out.push_back({ Effect::DrawFocus });
    return out;
}

ButtonMachine::Effects ButtonMachine::focusOut()
{
    return cMouseAction(CurrentState(), true);
}

ButtonMachine::Effects ButtonMachine::setLocked(bool locked)
{
    m_locked = locked;
    return cMouseAction(m_current, true);
}

ButtonMachine::Effects ButtonMachine::setValue(bool value)
{
    if (m_style != 1) {
        m_value = false;
        return {};
    }
    m_value = value;
    return cMouseAction(m_current, true);
}

ButtonMachine::Effects ButtonMachine::setEnabled(bool enabled)
{
    m_enabled = enabled;
    return cMouseAction(m_current, true);
}

} // namespace kest::button
