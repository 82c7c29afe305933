#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>
#include <vector>

namespace kest::button {

// The visual states of the skinned button, which are also the `cAction`
// values of cMouseAction.
enum State : int { Normal = 0, Over = 1, Pressed = 2, Disabled = 3 };

// Mouse buttons and keys as the button's events number them.
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kMiddleButton = 4;
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeySpace = 32;

// A picture's size in HIMETRIC, from its pixels.
QSize pictureHimetric(QSize pixels);

// FrameWidth x FrameHeight in pixels: the strip holds three frames (normal,
// over, pressed) for a push button (style 0) and six for any other style (the
// same three for Value False, then for Value True). Rounded half to even.
QSize frameSize(QSize pictureHimetric, int style);

// Number of entries of the frames array: four per Value set.
int frameSlots(int style);

// Where frame `index` lies in the strip, in pixels.
QRect frameSource(int index, QSize frameSize);
// The same in the pixels of a strip drawn at `pictureRatio` pixels per
// logical pixel (a double-density strip has ratio 2): edges rounded to whole
// pixels, so neighbouring frames share an edge and never overlap.
QRect frameSource(int index, QSize frameSize, qreal pictureRatio);

// The frame that shows `state`. The strip has no disabled frame: a disabled
// button shows the normal frame of its Value set. Only a toggle button
// (style 1) has a Value True set.
int frameIndex(int state, bool value, int style);

// Caption placement, in twips: centred, moved right by the icon's width when
// there is an icon, and one pixel (15 twips) right and down while pressed.
// `iconHimetricWidth` 0 means no icon.
QPoint captionPosition(QSize control, QSize text, int iconHimetricWidth, int state);
// The icon's left edge, in twips (its top is 0).
int iconLeft(int controlWidth, int textWidth, int iconHimetricWidth);

// The dotted focus rectangle, in pixels: 3 pixels inside each edge.
QRect focusRect(QSize controlPixels);

// The button's state machine: what each mouse, key, focus and timer event does
// to the state, and what the control then has to do, in order. It needs no
// window: whether the pointer is over the control is asked through `isOver`
// each time the rules need it.
class ButtonMachine final {
public:
    struct Effect {
        enum Kind {
            Draw, // DrawButton(state): the caption placed for `state`, the frame for currentState()
            DrawFocus,
            ArrowCursor,
            HandCursor,
            StartTimer,
            StopTimer,
            RaiseClick,
            RaiseMouseOver,
            RaiseMouseOut,
            RaiseDBClick,
        };
        Kind kind;
        int state = 0;
        friend bool operator==(const Effect&, const Effect&) = default;
    };
    using Effects = std::vector<Effect>;

    explicit ButtonMachine(std::function<bool()> isOver);

    // The events, each after the control raised its own event for it.
    Effects mouseDown(int button);
    Effects mouseMove();
    Effects mouseUp(int button);
    Effects click(); // the surface's click: a press and release on the control
    Effects doubleClick();
    Effects timerTick();
    Effects keyDown(int keyCode);
    Effects keyUp(int keyCode);
    Effects focusIn();
    Effects focusOut();

    // Draws `action` when it differs from the current state or `completePaint`.
    Effects cMouseAction(int action, bool completePaint);
    int CurrentState() const;

    // Property changes that redraw in the stored current state.
    Effects setLocked(bool locked);
    // Only a toggle button (style 1) takes True; any other style stores False
    // and draws nothing.
    Effects setValue(bool value);
    Effects setEnabled(bool enabled);
    void setStyle(int style) { m_style = style; }

    int currentState() const { return m_current; }
    bool value() const { return m_value; }
    bool locked() const { return m_locked; }
    bool enabled() const { return m_enabled; }
    bool pressed() const { return m_pressed; }
    bool overFlag() const { return m_over; }
    int lastButton() const { return m_lastButton; }
    int style() const { return m_style; }

private:
    void action(Effects& out, int action, bool completePaint);
    void flipToggle();

    std::function<bool()> m_isOver;
    bool m_over = false;
    bool m_pressed = false;
    int m_lastButton = 0;
    bool m_value = false;
    int m_style = 0;
    int m_current = Normal;
    bool m_locked = false;
    bool m_enabled = true;
};

} // namespace kest::button
