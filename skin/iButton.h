#pragma once

#include "platform/propertybag.h"
#include "skin/buttonlogic.h"
#include "skin/skinvalues.h"

#include <QFont>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <vector>

namespace kest {

// The picture-skinned push or toggle button of every window. Its look is one
// picture, BackPicture: a strip of equal-width frames (normal, over, pressed;
// a toggle button has these twice, for Value False and True), cut once into
// separate frames so that a state change paints one ready frame.
//
// It keeps its drawing and redraws only when its state changes. A 50 ms poll
// of the pointer tells when the pointer has left it; the caption moves one
// pixel right and down while pressed; Click comes only from the left button,
// Enter (on key down) and Space (on key up). Sizes and positions are in twips
// where the layout is written in twips, pictures in HIMETRIC.
class iButton final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(iButton)
    Q_PROPERTY(QWidget* hWnd READ hWnd)
    Q_PROPERTY(qint16 cDrawMode READ cDrawMode WRITE setcDrawMode)
    Q_PROPERTY(QFont cFont READ cFont WRITE setcFont)
    Q_PROPERTY(quint32 cForeColor READ cForeColor WRITE setcForeColor)
    Q_PROPERTY(bool Locked READ Locked WRITE setLocked)
    Q_PROPERTY(bool Value READ Value WRITE setValue)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
    Q_PROPERTY(qint32 Style READ Style WRITE setStyle)
    Q_PROPERTY(QImage BackPicture READ BackPicture WRITE setBackPicture)
    Q_PROPERTY(QImage Icon READ Icon WRITE setIcon)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(qint32 cBackStyle READ cBackStyle WRITE setcBackStyle)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QImage Image READ Image)

public:
    explicit iButton(QWidget* parent = nullptr);
    ~iButton() override;

    QWidget* hWnd() { return this; }
    // The drawing mode, 1..16 (13, copy, by default). The button's drawing is
    // pictures and text, which the mode does not change. Throws SkinError:
    // Overflow beyond 16 bits, InvalidPropertyValue outside 1..16.
    qint16 cDrawMode() const { return m_drawMode; }
    void setcDrawMode(std::int32_t mode);
    QFont cFont() const { return m_font; }
    void setcFont(const QFont& font);
    // 0x00BBGGRR or a system colour; throws InvalidPropertyValue for anything else.
    OleColor cForeColor() const { return m_foreColor; }
    void setcForeColor(OleColor color);
    // Shows the pressed frame in every state; the caption still moves only
    // while pressed, and events go on as usual.
    bool Locked() const { return m_machine.locked(); }
    void setLocked(bool locked);
    // Only a toggle button (Style 1) can be True; a click flips it before Click.
    bool Value() const { return m_machine.value(); }
    void setValue(bool value);
    // Size the button to one frame of the strip (and keep it so).
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool autoSize);
    // 0 push button, 1 toggle button; another non-negative style is a push
    // button whose strip is cut into six. Throws InvalidPropertyValue when negative.
    std::int32_t Style() const { return m_machine.style(); }
    void setStyle(std::int32_t style);
    using QWidget::setStyle;
    QImage BackPicture() const { return m_backPicture; }
    void setBackPicture(const QImage& picture);
    // Drawn left of the caption on an opaque button, from the next redraw on.
    QImage Icon() const { return m_icon; }
    void setIcon(const QImage& icon);
    // 1 opaque, 0 transparent: the button takes its shape from its frame,
    // whose magenta (255, 0, 255) pixels are holes. Throws SkinError: Overflow
    // beyond 16 bits, InvalidPropertyValue for other numbers.
    std::int32_t cBackStyle() const { return m_backStyle; }
    void setcBackStyle(std::int32_t style);
    QString Caption() const { return m_caption; }
    void setCaption(const QString& caption);
    // The button's kept drawing, as a device to draw on (until the next redraw).
    QPaintDevice* hdc() { return &m_surface; }
    QImage Image() const { return m_surface; }

    // Draws `cAction` when it differs from the state last drawn, or always
    // when `vComplePaint`.
    void cMouseAction(int cAction, bool vComplePaint);

    // Cuts BackPicture into frames and draws the current state.
    void BuildFrames();
    // The w x h rectangle at (x, y) of `source` as a picture of its own; what
    // lies outside `source` stays transparent (it is never read). Null when
    // the rectangle is empty or lies wholly outside.
    static QImage CopyRegionToPicture(const QImage& source, int x, int y, int w, int h);
    static QImage BitmapToPicture(const QImage& bitmap);
    // The frame that shows `state`; null while there are no frames.
    QImage GetFrame(int state) const;
    int FrameWidth() const { return m_frameSize.width(); }
    int FrameHeight() const { return m_frameSize.height(); }
    int CurrentState() const { return m_machine.CurrentState(); }
    // The widget under the pointer is this button (not a child, not another
    // window over it).
    bool IsMouseOver() const;

    // The state last drawn, and the flags of the state machine.
    int currentState() const { return m_machine.currentState(); }
    bool pressedFlag() const { return m_machine.pressed(); }
    bool overFlag() const { return m_machine.overFlag(); }

    // Throws SkinError for a stored value of the wrong kind; nothing changes then.
    void ReadProperties(PropertyBag& bag);
    void WriteProperties(PropertyBag& bag);

signals:
    void Click();
    // Positions in twips.
    void MouseDown(qint16 Button, qint16 Shift, float X, float Y);
    void KeyDown(qint16 KeyCode, qint16 Shift);
    void KeyUP(qint16 KeyCode, qint16 Shift);
    void KeyPress(qint16 KeyAscii);
    void MouseUp(qint16 Button, qint16 Shift, float X, float Y);
    void MouseMove(qint16 Button, qint16 Shift, float X, float Y);
    // The poll found the pointer gone while no button was held.
    void MouseOut();
    void MouseOver();
    void DBClick();

    // The container is told that a persisted property changed.
    void propertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void run(const button::ButtonMachine::Effects& effects);
    void DrawButton(int state);
    void DrawBack();
    void DrawFocus();
    void repaintNow();
    void applyAutoSize();
    void changed(const char* name);

    button::ButtonMachine m_machine;
    QTimer m_poll;
    std::vector<QImage> m_frames;
    bool m_framesReady = false;
    QSize m_frameSize;
    QImage m_backPicture;
    QImage m_icon;
    QImage m_surface;
    QString m_caption;
    QFont m_font;
    OleColor m_foreColor;
    std::int16_t m_drawMode = 13;
    std::int16_t m_backStyle = 1;
    bool m_autoSize = true;
    bool m_sizeFixed = false;
    bool m_shown = false; // frames are cut on the first show
    bool m_reading = false; // reading the property bag tells the container nothing
    Qt::MouseButtons m_downButtons; // pressed on this button, for its click
};

} // namespace kest
