#include "skin/iButton.h"

#include "platform/pictures.h"
#include "platform/units.h"
#include "platform/windowregion.h"
#include "skin/accessibility.h"
#include "skin/skinerror.h"
#include "skin/skininput.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QtMath>

#include <limits>

namespace kest {

namespace {

using button::ButtonMachine;

constexpr int kPollMs = 50;
constexpr OleColor kButtonFace = 0x8000000F; // the surface's background
constexpr OleColor kButtonText = 0x80000012;

QFont defaultFont()
{
    return QFont(QStringLiteral("宋体"), 9);
}

std::int16_t checkedInteger(std::int32_t value, const char* what)
{
    if (value < std::numeric_limits<std::int16_t>::min()
        || value > std::numeric_limits<std::int16_t>::max())
        throw SkinError(SkinError::Overflow,
            QStringLiteral("Overflow: %1 cannot hold %2").arg(QLatin1String(what)).arg(value));
    return static_cast<std::int16_t>(value);
}

[[noreturn]] void invalidValue(const char* what, std::int32_t value)
{
    throw SkinError(SkinError::InvalidPropertyValue,
        QStringLiteral("Invalid property value: %1 cannot be %2")
            .arg(QLatin1String(what))
            .arg(value));
}

std::int16_t checkedBackStyle(std::int32_t style)
{
    const std::int16_t s = checkedInteger(style, "cBackStyle");
    if (s != 0 && s != 1)
        invalidValue("cBackStyle", style);
    return s;
}

std::int16_t checkedDrawMode(std::int32_t mode)
{
    const std::int16_t m = checkedInteger(mode, "cDrawMode");
    if (m < 1 || m > 16)
        invalidValue("cDrawMode", mode);
    return m;
}

QImage pictureFrom(const QVariant& value, const QString& what)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (value.typeId() == QMetaType::QImage)
        return value.value<QImage>();
    if (value.typeId() == QMetaType::QPixmap)
        return value.value<QPixmap>().toImage();
    throw SkinError(
        SkinError::TypeMismatch, QStringLiteral("Type mismatch: %1 is no picture").arg(what));
}

QFont fontFrom(const QVariant& value)
{
    if (value.typeId() == QMetaType::QFont)
        return value.value<QFont>();
    QFont font;
    if (value.typeId() == QMetaType::QString && font.fromString(value.toString()))
        return font;
    throw SkinError(SkinError::TypeMismatch, QStringLiteral("Type mismatch: cFont is no font"));
}

// The visible part of a transparent button: every pixel that is not magenta.
QRegion shapeOf(const QImage& image)
{
    const QRgb key = qRgb(255, 0, 255);
    QRegion region;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        int runStart = -1;
        for (int x = 0; x <= image.width(); ++x) {
            const bool solid = x < image.width() && (line[x] | 0xFF000000u) != key;
            if (solid && runStart < 0)
                runStart = x;
            else if (!solid && runStart >= 0) {
                region += QRect(runStart, y, x - runStart, 1);
                runStart = -1;
            }
        }
    }
    return region;
}

// The button's surface: every device pixel the button may cover. A button
// at a fractional device position touches one pixel more than its size
// rounds to, and with opaque painting that pixel would show whatever was
// there before.
QSize surfacePixels(QSize size, qreal ratio)
{
    return QSize(qCeil(size.width() * ratio), qCeil(size.height() * ratio));
}

QImage buttonSurface(QSize size, qreal ratio)
{
    if (ratio == 1.0)
        return deviceSurface(size, ratio);
    QImage surface(surfacePixels(size, ratio), QImage::Format_ARGB32_Premultiplied);
    surface.setDevicePixelRatio(ratio);
    return surface;
}

} // namespace

iButton::iButton(QWidget* parent)
    : QWidget(parent)
    , m_machine([this] { return IsMouseOver(); })
    , m_font(defaultFont())
    , m_foreColor(kButtonText)
{
    a11y::installSkinAccessibility();
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_surface = buttonSurface(size(), devicePixelRatioF());
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, [this] { run(m_machine.timerTick()); });
    // Polling from the start: the first tick with the pointer elsewhere
    // raises MouseOut once and stops the poll.
    m_poll.start();
    BuildFrames();
}

iButton::~iButton() = default;

void iButton::changed(const char* name)
{
    if (!m_reading)
        emit propertyChanged(QLatin1String(name));
}

void iButton::run(const ButtonMachine::Effects& effects)
{
    // A host may close the window, and so delete this button, from any of
    // the events raised here.
    const QPointer<iButton> self(this);
    for (const ButtonMachine::Effect& effect : effects) {
        if (!self)
            return;
        switch (effect.kind) {
        case ButtonMachine::Effect::Draw:
            DrawButton(effect.state);
            break;
        case ButtonMachine::Effect::DrawFocus:
            DrawFocus();
            break;
        case ButtonMachine::Effect::ArrowCursor:
            setCursor(Qt::ArrowCursor);
            break;
        case ButtonMachine::Effect::HandCursor:
            setCursor(Qt::PointingHandCursor);
            break;
        case ButtonMachine::Effect::StartTimer:
            m_poll.start();
            break;
        case ButtonMachine::Effect::StopTimer:
            m_poll.stop();
            break;
        case ButtonMachine::Effect::RaiseClick:
            emit Click();
            break;
        case ButtonMachine::Effect::RaiseMouseOver:
            emit MouseOver();
            break;
        case ButtonMachine::Effect::RaiseMouseOut:
            emit MouseOut();
            break;
        case ButtonMachine::Effect::RaiseDBClick:
            emit DBClick();
            break;
        }
    }
    if (self)
        a11y::buttonStateMayHaveChanged(this);
}

void iButton::cMouseAction(int cAction, bool vComplePaint)
{
    run(m_machine.cMouseAction(cAction, vComplePaint));
}

bool iButton::IsMouseOver() const
{
    return isVisible() && QApplication::widgetAt(QCursor::pos()) == this;
}

// Frames -----------------------------------------------------------------

QImage iButton::BitmapToPicture(const QImage& bitmap)
{
    return bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage iButton::CopyRegionToPicture(const QImage& source, int x, int y, int w, int h)
{
    const QRect wanted(x, y, w, h);
    const QRect inside = wanted & source.rect();
    if (wanted.isEmpty() || inside.isEmpty())
        return {};
    QImage bitmap(w, h, QImage::Format_ARGB32_Premultiplied);
    bitmap.fill(Qt::transparent);
    // Pixels for pixels: a double-density source would otherwise be drawn at
    // its logical size.
    QImage pixels = source;
    pixels.setDevicePixelRatio(1.0);
    QPainter painter(&bitmap);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(inside.topLeft() - wanted.topLeft(), pixels, inside);
    painter.end();
    return BitmapToPicture(bitmap);
}

void iButton::BuildFrames()
{
    m_frames.clear();
    m_framesReady = false;
    m_frameSize = QSize();
    if (!m_backPicture.isNull()) {
        // Frames are measured in logical pixels and cut in the picture's own:
        // a double-density strip gives frames of twice the pixels, which
        // DrawBack scales to the screen one frame at a time.
        const qreal ratio = m_backPicture.devicePixelRatio();
        m_frameSize
            = button::frameSize(button::pictureHimetric(logicalSize(m_backPicture)), Style());
        const int count = button::frameSlots(Style());
        m_frames.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            const QRect source = button::frameSource(i, m_frameSize, ratio);
            QImage frame = CopyRegionToPicture(
                m_backPicture, source.x(), source.y(), source.width(), source.height());
            frame.setDevicePixelRatio(ratio);
            m_frames.push_back(frame);
        }
        m_framesReady = true;
    }
    applyAutoSize();
    cMouseAction(CurrentState(), true);
}

void iButton::applyAutoSize()
{
    if (m_autoSize && m_framesReady && m_frameSize.width() > 0 && m_frameSize.height() > 0) {
        setFixedSize(m_frameSize);
        m_sizeFixed = true;
    } else if (m_sizeFixed) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        m_sizeFixed = false;
    }
}

QImage iButton::GetFrame(int state) const
{
    if (!m_framesReady)
        return {};
    const auto index = static_cast<size_t>(button::frameIndex(state, Value(), Style()));
    return index < m_frames.size() ? m_frames[index] : QImage();
}

// Drawing ----------------------------------------------------------------

void iButton::DrawButton(int state)
{
    const qreal ratio = devicePixelRatioF();
    if (m_surface.devicePixelRatio() != ratio || m_surface.size() != surfacePixels(size(), ratio))
        m_surface = buttonSurface(size(), ratio);
    if (m_surface.isNull())
        return;
    m_surface.fill(oleToColor(kButtonFace, QStringLiteral("BackColor")));
    DrawBack();
    if (!m_caption.isEmpty()) {
        QPainter painter(&m_surface);
        painter.setFont(m_font);
        painter.setPen(oleToColor(m_foreColor, QStringLiteral("cForeColor")));
        const QFontMetrics metrics(m_font, &m_surface);
        const QSize text
            = QSize(metrics.horizontalAdvance(m_caption), metrics.height()) * kTwipsPerPixel;
        const int iconWidth = m_icon.isNull() ? 0 : button::pictureHimetric(m_icon.size()).width();
        const QPoint at = button::captionPosition(size() * kTwipsPerPixel, text, iconWidth, state);
        painter.drawText(
            QPoint(twipsToPixelsRounded(at.x()), twipsToPixelsRounded(at.y()) + metrics.ascent()),
            m_caption);
    }
    update();
}

void iButton::DrawBack()
{
    const QImage frame = GetFrame(Locked() ? button::Pressed : currentState());
    if (frame.isNull()) {
        if (m_backStyle == 0)
            clearMask(); // nothing to take a shape from: the whole button shows
        return;
    }
    QPainter painter(&m_surface);
    const qreal ratio = m_surface.devicePixelRatio();
    // The frame covers the whole surface, the pixel beyond the rounded size too.
    const QRectF whole
        = ratio == 1.0 ? QRectF(rect()) : QRectF(QPointF(0, 0), m_surface.deviceIndependentSize());
    drawSkinPiece(painter, whole, frame, QRect(QPoint(0, 0), logicalSize(frame)));
    if (m_backStyle == 0) {
        // The frame's magenta pixels are holes; the caption printed next is
        // clipped to what is left.
        const QRegion shape
            = ratio == 1.0 ? shapeOf(m_surface) : toLogicalRegion(shapeOf(m_surface), ratio);
        if (shape != mask())
            setMask(shape);
        return;
    }
    if (!m_icon.isNull()) {
        const QFontMetrics metrics(m_font, &m_surface);
        const int textWidth = metrics.horizontalAdvance(m_caption) * kTwipsPerPixel;
        const int left = button::iconLeft(
            width() * kTwipsPerPixel, textWidth, button::pictureHimetric(m_icon.size()).width());
        painter.drawImage(QPoint(twipsToPixelsRounded(left), 0), m_icon);
    }
}

void iButton::DrawFocus()
{
    // A dotted rectangle of inverted pixels; the next redraw removes it.
    const QRect r = button::focusRect(m_surface.size());
    if (r.width() <= 0 || r.height() <= 0)
        return;
    auto invert = [this](int x, int y) {
        if ((x + y) % 2 == 0) {
            auto* line = reinterpret_cast<QRgb*>(m_surface.scanLine(y));
            line[x] ^= 0x00FFFFFFu;
        }
    };
    for (int x = r.left(); x <= r.right(); ++x) {
        invert(x, r.top());
        if (r.bottom() != r.top())
            invert(x, r.bottom());
    }
    for (int y = r.top() + 1; y < r.bottom(); ++y) {
        invert(r.left(), y);
        if (r.right() != r.left())
            invert(r.right(), y);
    }
    update();
}

void iButton::repaintNow()
{
    DrawButton(CurrentState());
}

// Properties -------------------------------------------------------------

void iButton::setcDrawMode(std::int32_t mode)
{
    m_drawMode = checkedDrawMode(mode);
    repaintNow();
    changed("cDrawMode");
}

void iButton::setcFont(const QFont& font)
{
    m_font = font;
    repaintNow();
    changed("cFont");
}

void iButton::setcForeColor(OleColor color)
{
    oleToColor(color, QStringLiteral("cForeColor")); // refuses a number that is no colour
    m_foreColor = color;
    repaintNow();
    changed("cForeColor");
}

void iButton::setLocked(bool locked)
{
    run(m_machine.setLocked(locked));
}

void iButton::setValue(bool value)
{
    run(m_machine.setValue(value));
}

void iButton::setAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    if (autoSize)
        BuildFrames();
    else
        applyAutoSize();
    changed("AutoSize");
}

void iButton::setStyle(std::int32_t style)
{
    if (style < 0)
        invalidValue("Style", style);
    m_machine.setStyle(style);
    BuildFrames();
    changed("Style");
}

void iButton::setBackPicture(const QImage& picture)
{
    m_backPicture = picture;
    BuildFrames();
    changed("BackPicture");
}

void iButton::setIcon(const QImage& icon)
{
    m_icon = icon;
    changed("Icon");
}

void iButton::setcBackStyle(std::int32_t style)
{
    m_backStyle = checkedBackStyle(style);
    if (m_backStyle != 0)
        clearMask();
    repaintNow();
    changed("cBackStyle");
}

void iButton::setCaption(const QString& caption)
{
    m_caption = caption;
    repaintNow();
    a11y::buttonNameChanged(this);
    changed("Caption");
}

// Events -----------------------------------------------------------------

void iButton::paintEvent(QPaintEvent*)
{
    if (m_surface.devicePixelRatio() != devicePixelRatioF()) // moved to another screen
        cMouseAction(CurrentState(), true);
    QPainter painter(this);
    painter.drawImage(0, 0, m_surface);
}

void iButton::resizeEvent(QResizeEvent*)
{
    m_surface = buttonSurface(size(), devicePixelRatioF());
    cMouseAction(CurrentState(), true);
}

void iButton::showEvent(QShowEvent*)
{
    if (!m_shown) {
        m_shown = true;
        BuildFrames();
    }
}

void iButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        run(m_machine.setEnabled(isEnabled()));
        changed("Enabled");
    }
    QWidget::changeEvent(event);
}

void iButton::mousePressEvent(QMouseEvent* event)
{
    const QPointer<iButton> self(this);
    const std::int16_t button = mouseButtonCode(event->button());
    const QPointF at = toTwips(event->position());
    emit MouseDown(button, shiftCode(event->modifiers()), static_cast<float>(at.x()),
        static_cast<float>(at.y()));
    if (!self)
        return;
    m_downButtons |= event->button();
    run(m_machine.mouseDown(button));
}

void iButton::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointer<iButton> self(this);
    const std::int16_t button = mouseButtonCode(event->button());
    const QPointF at = toTwips(event->position());
    emit MouseUp(button, shiftCode(event->modifiers()), static_cast<float>(at.x()),
        static_cast<float>(at.y()));
    if (!self)
        return;
    run(m_machine.mouseUp(button));
    if (!self)
        return;
    // The surface's own click: a press and a release of one button on the
    // button. The release that ends a double click is none.
    const bool wasDown = m_downButtons.testFlag(event->button());
    m_downButtons.setFlag(event->button(), false);
    if (wasDown && rect().contains(event->position().toPoint()))
        run(m_machine.click());
}

void iButton::mouseDoubleClickEvent(QMouseEvent*)
{
    // The second press of a double click raises DBClick in place of MouseDown.
    run(m_machine.doubleClick());
}

void iButton::mouseMoveEvent(QMouseEvent* event)
{
    const QPointer<iButton> self(this);
    const QPointF at = toTwips(event->position());
    emit MouseMove(mouseButtonCode(event->buttons()), shiftCode(event->modifiers()),
        static_cast<float>(at.x()), static_cast<float>(at.y()));
    if (self)
        run(m_machine.mouseMove());
}

void iButton::keyPressEvent(QKeyEvent* event)
{
    const QPointer<iButton> self(this);
    const std::int16_t key = virtualKeyCode(event->key());
    emit KeyDown(key, shiftCode(event->modifiers()));
    if (!self)
        return;
    run(m_machine.keyDown(key));
    if (!self)
        return;
    if (!event->text().isEmpty())
        emit KeyPress(static_cast<qint16>(event->text().at(0).unicode()));
    if (key == button::kKeyEnter || key == button::kKeySpace)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void iButton::keyReleaseEvent(QKeyEvent* event)
{
    // A held key repeats its key-down only; the repeats' releases are not real.
    if (event->isAutoRepeat())
        return;
    const QPointer<iButton> self(this);
    const std::int16_t key = virtualKeyCode(event->key());
    emit KeyUP(key, shiftCode(event->modifiers()));
    if (!self)
        return;
    run(m_machine.keyUp(key));
    if (!self)
        return;
    if (key == button::kKeySpace)
        event->accept();
    else
        QWidget::keyReleaseEvent(event);
}

void iButton::focusInEvent(QFocusEvent*)
{
    run(m_machine.focusIn());
}

void iButton::focusOutEvent(QFocusEvent*)
{
    run(m_machine.focusOut());
}

// Property bag -----------------------------------------------------------

void iButton::ReadProperties(PropertyBag& bag)
{
    const QSize extent = bag.extent();
    const QVariant backPicture = bag.ReadProperty(QStringLiteral("BackPicture"));
    const QVariant icon = bag.ReadProperty(QStringLiteral("Icon"));
    const QVariant enabled = bag.ReadProperty(QStringLiteral("Enabled"), booleanValue(true));
    const QVariant backStyle = bag.ReadProperty(QStringLiteral("cBackStyle"), 1);
    const QVariant caption = bag.ReadProperty(QStringLiteral("Caption"), QString());
    const QVariant style = bag.ReadProperty(QStringLiteral("Style"), 0);
    const QVariant autoSize = bag.ReadProperty(QStringLiteral("AutoSize"), booleanValue(true));
    const QVariant foreColor
        = bag.ReadProperty(QStringLiteral("cForeColor"), static_cast<std::int32_t>(m_foreColor));
    const QVariant font = bag.ReadProperty(QStringLiteral("cFont"), QVariant::fromValue(m_font));
    const QVariant drawMode = bag.ReadProperty(QStringLiteral("cDrawMode"), m_drawMode);

    // Everything is checked before anything is taken, so a bad entry leaves
    // the button as it was.
    const QImage newBackPicture = pictureFrom(backPicture, QStringLiteral("BackPicture"));
    const QImage newIcon = pictureFrom(icon, QStringLiteral("Icon"));
    const bool newEnabled = toBoolean(enabled, QStringLiteral("Enabled"));
    const std::int16_t newBackStyle
        = checkedBackStyle(toLong(backStyle, QStringLiteral("cBackStyle")));
    if (!caption.canConvert<QString>())
        throw SkinError(
            SkinError::TypeMismatch, QStringLiteral("Type mismatch: Caption is no text"));
    const std::int32_t newStyle = toLong(style, QStringLiteral("Style"));
    if (newStyle < 0)
        invalidValue("Style", newStyle);
    const bool newAutoSize = toBoolean(autoSize, QStringLiteral("AutoSize"));
    const auto newForeColor
        = static_cast<OleColor>(toLong(foreColor, QStringLiteral("cForeColor")));
    oleToColor(newForeColor, QStringLiteral("cForeColor"));
    const QFont newFont = fontFrom(font);
    const std::int16_t newDrawMode = checkedDrawMode(toLong(drawMode, QStringLiteral("cDrawMode")));

    m_reading = true;
    if (extent.isValid())
        resize(extent);
    m_backPicture = newBackPicture;
    m_icon = newIcon;
    setEnabled(newEnabled);
    m_backStyle = newBackStyle;
    if (m_backStyle != 0)
        clearMask();
    m_caption = caption.toString();
    m_machine.setStyle(newStyle);
    m_autoSize = newAutoSize;
    m_foreColor = newForeColor;
    m_font = newFont;
    m_drawMode = newDrawMode;
    m_reading = false;
    // Frames are cut on the first show; a button already shown cuts them now,
    // so that its frames never come from a picture it no longer has.
    if (m_shown)
        BuildFrames();
}

void iButton::WriteProperties(PropertyBag& bag)
{
    bag.setExtent(size());
    bag.WriteProperty(QStringLiteral("BackPicture"), QVariant::fromValue(m_backPicture),
        QVariant::fromValue(QImage()));
    bag.WriteProperty(
        QStringLiteral("Icon"), QVariant::fromValue(m_icon), QVariant::fromValue(QImage()));
    bag.WriteProperty(QStringLiteral("Enabled"), booleanValue(isEnabled()), booleanValue(true));
    bag.WriteProperty(QStringLiteral("Style"), Style(), 0);
    bag.WriteProperty(QStringLiteral("cBackStyle"), m_backStyle, 1);
    bag.WriteProperty(QStringLiteral("Caption"), m_caption, QString());
    bag.WriteProperty(QStringLiteral("AutoSize"), booleanValue(m_autoSize), booleanValue(true));
    bag.WriteProperty(QStringLiteral("cFont"), QVariant::fromValue(m_font));
    bag.WriteProperty(QStringLiteral("cDrawMode"), m_drawMode);
    bag.WriteProperty(QStringLiteral("cForeColor"), static_cast<std::int32_t>(m_foreColor));
}

} // namespace kest
