#include "skin/BForm.h"

#include "platform/eventlog.h"
#include "platform/pictures.h"
#include "platform/units.h"
#include "skin/skinerror.h"
#include "skin/skininput.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <algorithm>

namespace kest {

namespace {

constexpr int kSkinBitmap = 108;
constexpr OleColor kDesignBackColor = 0xDEDEDE;
constexpr OleColor kDefaultBackColor = 14346732; // &HDAE8EC, the stored default
const QString kDefaultCaption = QStringLiteral("NewForm");

QFont captionFont()
{
    QFont font(QStringLiteral("宋体"), 9);
    font.setBold(true);
    return font;
}

// A window handle in a property bag is the widget's address. Only a widget
// that is alive now is taken back from a number; any other number means none.
qulonglong handleNumber(const QWidget* widget)
{
    return reinterpret_cast<quintptr>(widget);
}

QWidget* widgetForHandle(qulonglong number)
{
    if (number == 0)
        return nullptr;
    const QWidgetList widgets = QApplication::allWidgets();
    const auto it = std::find_if(widgets.begin(), widgets.end(),
        [number](QWidget* w) { return reinterpret_cast<quintptr>(w) == number; });
    return it == widgets.end() ? nullptr : *it;
}

} // namespace

BForm::BForm(QWidget* parent)
    : QWidget(parent)
    , m_caption(kDefaultCaption)
    , m_backColor(kDesignBackColor)
{
    setFixedHeight(twipsToPixelsTruncated(captionbar::kBarHeight));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_skin = LoadResSkinAt(kSkinBitmap, QStringLiteral("BITMAP"), devicePixelRatioF());
    if (m_skin.isNull())
        logEvent(QStringLiteral("BForm: skin bitmap %1 is missing; the caption bar shows its "
                                "background colour only")
                     .arg(kSkinBitmap));
    DrawBar();
}

BForm::~BForm() = default;

QString BForm::BackColor() const
{
    return QString::number(static_cast<std::int32_t>(m_backColor));
}

void BForm::setBackColor(const QString& New_BackColor)
{
    const auto color
        = static_cast<OleColor>(textToLong(New_BackColor, QStringLiteral("BackColor")));
    oleToColor(color, QStringLiteral("BackColor")); // refuses a number that is no colour
    m_backColor = color;
    DrawBar();
    emit propertyChanged(QStringLiteral("BackColor"));
}

void BForm::setCaption(const QString& New_caption)
{
    m_caption = New_caption;
    DrawBar();
    emit propertyChanged(QStringLiteral("Caption"));
}

void BForm::setHasLogo(bool hasLogo)
{
    m_hasLogo = hasLogo;
    DrawBar();
    emit propertyChanged(QStringLiteral("HasLogo"));
}

void BForm::setFrmHwnd(QWidget* New_frmHwnd)
{
    m_frmHwnd = New_frmHwnd;
    emit propertyChanged(QStringLiteral("frmHwnd"));
}

void BForm::setSkin(const QImage& skin)
{
    m_skin = skin;
    DrawBar();
    for (PrintedForm& entry : m_printed) {
        renderPrinted(entry);
        if (entry.form)
            entry.form->update();
    }
}

void BForm::DrawBar()
{
    captionbar::BarLook look;
    look.skin = m_skin;
    look.back = oleToColor(m_backColor, QStringLiteral("BackColor"));
    look.caption = m_caption;
    look.font = captionFont();
    look.text = Qt::white;
    look.hasLogo = m_hasLogo;
    look.program = skinProgram();
    look.ratio = devicePixelRatioF();
    m_surface = captionbar::renderBar(look, width());
    update();
}

int BForm::captionRight() const
{
    const int left
        = twipsToPixelsTruncated(captionbar::captionOrigin(m_hasLogo, skinProgram()).x());
    if (m_caption.isEmpty())
        return left;
    // Measured on the bar's own surface, the device the caption is printed on.
    const QFontMetrics metrics(captionFont(), m_surface.isNull() ? nullptr : &m_surface);
    return left + metrics.horizontalAdvance(m_caption);
}

void BForm::Nomin()
{
    // Only the patch of skin: nothing else of the bar is hidden or printed again.
    if (m_surface.isNull())
        return;
    QPainter painter(&m_surface);
    captionbar::paintCopies(painter, m_skin,
        { captionbar::nominCopy(
            pixelsToTwips(width()), pixelsToTwips(logicalSize(m_skin).width())) });
    painter.end();
    update();
}

BForm::PrintedForm* BForm::printed(const QObject* frm)
{
    for (PrintedForm& entry : m_printed) {
        if (entry.form == frm)
            return &entry;
    }
    return nullptr;
}

void BForm::renderPrinted(PrintedForm& entry)
{
    if (!entry.form)
        return;
    const QWidget* frm = entry.form;
    entry.image = captionbar::renderBorder(
        m_skin, frm->size(), frm->palette().color(frm->backgroundRole()), frm->devicePixelRatioF());
}

bool BForm::Printform(QWidget* frm)
{
    if (!frm)
        return false;
    std::erase_if(m_printed, [](const PrintedForm& entry) { return entry.form.isNull(); });
    PrintedForm* entry = printed(frm);
    if (!entry) {
        m_printed.push_back({ frm, {} });
        entry = &m_printed.back();
        frm->installEventFilter(this);
    }
    renderPrinted(*entry);
    frm->update();
    return true;
}

QImage BForm::printedForm(const QWidget* frm) const
{
    for (const PrintedForm& entry : m_printed) {
        if (entry.form == frm)
            return entry.image;
    }
    return {};
}

bool BForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize || event->type() == QEvent::Paint) {
        if (PrintedForm* entry = printed(watched)) {
            if (event->type() == QEvent::Resize) {
                renderPrinted(*entry);
            } else if (!entry->image.isNull()) {
                if (entry->image.devicePixelRatio() != entry->form->devicePixelRatioF())
                    renderPrinted(*entry); // the form moved to a screen of another scale
                // Drawn before the form's own paint event, as the form's background.
                QPainter painter(entry->form.data());
                painter.drawImage(0, 0, entry->image);
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool BForm::dragWindow(QWidget* window)
{
    if (!window)
        return false;
    QWindow* handle = window->window()->windowHandle();
    return handle && handle->startSystemMove();
}

void BForm::paintEvent(QPaintEvent*)
{
    if (m_surface.devicePixelRatio() != devicePixelRatioF())
        DrawBar();
    QPainter painter(this);
    painter.drawImage(0, 0, m_surface);
}

void BForm::resizeEvent(QResizeEvent*)
{
    DrawBar();
}

void BForm::mousePressEvent(QMouseEvent* event)
{
    setCursor(Qt::ArrowCursor);
    if (event->button() == Qt::LeftButton && m_frmHwnd) {
        // The window manager runs the move; on X11 this returns at once, so the
        // event below is raised while the move goes on, not after it.
        dragWindow(m_frmHwnd);
        setCursor(Qt::ArrowCursor);
    }
    const QPointF twips = toTwips(event->position());
    emit MouseDown(mouseButtonCode(event->button()), shiftCode(event->modifiers()),
        static_cast<float>(twips.x()), static_cast<float>(twips.y()));
}

void BForm::mouseMoveEvent(QMouseEvent* event)
{
    setCursor(Qt::ArrowCursor);
    const QPointF twips = toTwips(event->position());
    emit MouseMove(mouseButtonCode(event->buttons()), shiftCode(event->modifiers()),
        static_cast<float>(twips.x()), static_cast<float>(twips.y()));
}

void BForm::mouseDoubleClickEvent(QMouseEvent*)
{
    emit DblClick();
}

void BForm::InitProperties()
{
    setFrmHwnd(nullptr);
}

void BForm::ReadProperties(PropertyBag& bag)
{
    const QSize extent = bag.extent();
    if (extent.isValid())
        resize(extent);
    const QVariant back
        = bag.ReadProperty(QStringLiteral("BackColor"), QString::number(kDefaultBackColor));
    const QVariant caption = bag.ReadProperty(QStringLiteral("Caption"), kDefaultCaption);
    const QVariant hwnd = bag.ReadProperty(QStringLiteral("frmHwnd"), 0);
    const QVariant logo = bag.ReadProperty(QStringLiteral("HasLogo"), m_hasLogo);

    // Everything is checked before anything is taken, so a bad entry leaves
    // the bar as it was.
    const auto backColor = static_cast<OleColor>(toLong(back, QStringLiteral("BackColor")));
    oleToColor(backColor, QStringLiteral("BackColor"));
    if (caption.typeId() != QMetaType::QString && !caption.canConvert<QString>())
        throw SkinError(
            SkinError::TypeMismatch, QStringLiteral("Type mismatch: Caption is no text"));
    bool ok = false;
    const qulonglong hwndNumber = hwnd.toULongLong(&ok);
    if (!ok)
        throw SkinError(
            SkinError::TypeMismatch, QStringLiteral("Type mismatch: frmHwnd is no number"));
    const bool hasLogo = toBoolean(logo, QStringLiteral("HasLogo"));

    m_backColor = backColor;
    m_caption = caption.toString();
    DrawBar();
    m_frmHwnd = widgetForHandle(hwndNumber);
    m_hasLogo = hasLogo;
    // Drawn again so that a stored logo place shows at once, not at the next resize.
    DrawBar();
}

void BForm::WriteProperties(PropertyBag& bag)
{
    bag.setExtent(size());
    bag.WriteProperty(QStringLiteral("BackColor"), static_cast<std::int32_t>(m_backColor),
        QString::number(kDefaultBackColor));
    bag.WriteProperty(QStringLiteral("Caption"), m_caption, kDefaultCaption);
    DrawBar();
    bag.WriteProperty(QStringLiteral("frmHwnd"), handleNumber(m_frmHwnd), 0);
    bag.WriteProperty(QStringLiteral("HasLogo"), booleanValue(m_hasLogo));
}

} // namespace kest
