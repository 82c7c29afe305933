#pragma once

#include "platform/propertybag.h"
#include "skin/captionbar.h"
#include "skin/skinvalues.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <vector>

namespace kest {

// The skinned caption bar at the top of the borderless windows: a title bar
// tiled from the skin (bitmap 108) with the caption printed on it, a handle to
// drag the owning window by, and, through Printform, the matching window
// border on the host form.
//
// The bar is 500 twips (33 pixels) high whatever the host asks; the host sets
// the width. It keeps its drawing and shows it on every repaint; the drawing
// is redone on every property change and resize.
class BForm final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BForm)
    Q_PROPERTY(QString BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(bool HasLogo READ HasLogo WRITE setHasLogo)
    Q_PROPERTY(QWidget* frmHwnd READ frmHwnd WRITE setFrmHwnd)

public:
    explicit BForm(QWidget* parent = nullptr);
    ~BForm() override;

    // The background colour as a decimal number (0x00BBGGRR, system colours
    // negative).
    QString BackColor() const;
    QString Caption() const { return m_caption; }
    // Takes a number in text form. Throws SkinError: TypeMismatch (13) for a
    // text that is no number, Overflow (6) beyond 32 bits,
    // InvalidPropertyValue (380) for a number that is no colour; the colour
    // stays as it was.
    void setBackColor(const QString& New_BackColor);
    void setCaption(const QString& New_caption);
    // Leave room left of the caption for a logo the host places there: the
    // caption starts at 600 twips in the launcher and at 720 in the updater.
    bool HasLogo() const { return m_hasLogo; }
    void setHasLogo(bool hasLogo);
    // Plain title-area skin over the place where a minimise button would sit.
    void Nomin();
    // Paints the skinned left, right and bottom border onto `frm`: the bar
    // keeps a picture of frm's background with the border and draws it at the
    // start of each of frm's paint events, and renders it again on each of
    // frm's resizes. False when `frm` is null.
    bool Printform(QWidget* frm);
    // The window a left-button drag on the bar moves; null: none (a host that
    // moves the window itself, or must not be moved, leaves it null).
    QWidget* frmHwnd() const { return m_frmHwnd; }
    void setFrmHwnd(QWidget* New_frmHwnd);

    void DrawBar();

    // The container's property-bag steps: a new instance, reading, saving.
    void InitProperties();
    // Throws SkinError for a stored value of the wrong kind; nothing changes then.
    void ReadProperties(PropertyBag& bag);
    void WriteProperties(PropertyBag& bag);

    // The skin, bitmap 108 unless a host or test gives another.
    void setSkin(const QImage& skin);
    QImage skin() const { return m_skin; }
    // The bar's kept drawing.
    QImage surface() const { return m_surface; }
    // Where the printed caption ends, in pixels from the bar's left: a host
    // laying its own controls over the bar starts them past it. The font the
    // system substitutes for the caption's face decides it.
    int captionRight() const;
    // What Printform paints onto `frm`; null when frm was never printed.
    QImage printedForm(const QWidget* frm) const;

    // Starts a window-manager move of `window`'s top-level window, as a
    // mouse-down handler does that drags its own window. Returns at once; false
    // when the platform cannot move windows or there is no window.
    static bool dragWindow(QWidget* window);

signals:
    void CloseClick(); // declared for hosts; never raised
    void MinClick(); // declared for hosts; never raised
    void DblClick();
    // After the drag, if any, has been started. Positions in twips.
    void MouseDown(qint16 Button, qint16 Shift, float X, float Y);
    void MouseMove(qint16 Button, qint16 Shift, float X, float Y);

    // The container is told that a persisted property changed.
    void propertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct PrintedForm {
        QPointer<QWidget> form;
        QImage image;
    };

    PrintedForm* printed(const QObject* frm);
    void renderPrinted(PrintedForm& entry);

    QImage m_skin;
    QImage m_surface;
    QString m_caption;
    OleColor m_backColor;
    QPointer<QWidget> m_frmHwnd;
    bool m_hasLogo = false;
    std::vector<PrintedForm> m_printed;
};

} // namespace kest
