#include "uTab.h"

#include "ITabForm.h"
#include "mdlTabAPI.h"
#include "uTabAccessible.h"

#include "platform/inputcodes.h"
#include "platform/messages.h"
#include "platform/pictures.h"
#include "platform/propertybag.h"
#include "platform/units.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace kest {

using namespace mdlTabAPI;
using tablayout::CloseState;

namespace {

constexpr QRgb kMagenta = qRgb(255, 0, 255);
constexpr int kSideZone = 14; // unstretched sides of a tab body

QImage loadSkin(int id, qreal ratio)
{
    try {
        return CreateBitmapDC(magentaToAlpha(LoadResSkinAt(id, QStringLiteral("BITMAP"), ratio)));
    } catch (const SurfaceError&) {
        // Without its artwork the strip still works; it draws no tabs.
        return {};
    }
}

// Flags a page window loses when it becomes a child of the container: it
// is no window any more and has no caption or sizing frame.
constexpr Qt::WindowFlags kCaptionAndFrame = Qt::WindowType_Mask | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;

} // namespace

uTab::uTab(QWidget* parent)
    : QWidget(parent)
{
    a11y::installTabStripAccessibility();
    m_skin0 = loadSkin(106, devicePixelRatioF());
    m_skin1 = loadSkin(107, devicePixelRatioF());
    m_items = std::make_unique<CTabItems>();
    m_items->AttachTabStrip(this);
    m_subclass = std::make_unique<CSubclass>(static_cast<ISubclassOwner*>(this));

    // The stock GUI font is 12 pixels high (9 points at 96 dpi); the strip's
    // heights were made for it. Unselected captions are thin, the selected
    // one bold.
    QFont base = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    base.setPixelSize(12);
    m_normalFont = base;
    m_normalFont.setWeight(QFont::Thin);
    m_boldFont = base;
    m_boldFont.setWeight(QFont::Bold);

    setMouseTracking(true);
    // Reached with Tab, not taken by a click: a click on a tab must leave the
    // keyboard with the game page it shows.
    setFocusPolicy(Qt::TabFocus);
    // Every paint is one copy of the composite: no background erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);

    // The hook on the strip's own window is made here rather than when the
    // properties are read: a Qt host may build the strip in code without a
    // property bag, and the strip needs its paint and leave handling anyway.
    const WindowHandle self = kest::windowHandle(this);
    if (m_subclass->ssc_Subclass(self))
        m_subclass->ssc_AddMsg(self, CSubclass::ALL_MESSAGES, CSubclass::MSG_BEFORE);
}

uTab::~uTab()
{
    m_redrawEnabled = false;
    m_subclass.reset();
    m_items.reset();
}

void uTab::refresh()
{
    RedrawAll(true);
}

void uTab::LockReDraw(bool bLock)
{
    m_redrawEnabled = !bLock;
    if (m_redrawEnabled) {
        CalcTabWidth();
        LayoutTabs();
        RedrawAll(true);
    }
}

void uTab::setContainerWnd(QWidget* container)
{
    if (m_container == container)
        return;
    // Only one container's size is followed: the old one is let go.
    if (m_container)
        m_subclass->ssc_UnSubclass(kest::windowHandle(m_container));
    m_container = container;
    if (container) {
        const WindowHandle handle = kest::windowHandle(container);
        if (m_subclass->ssc_Subclass(handle))
            m_subclass->ssc_AddMsg(handle, WM_SIZE, CSubclass::MSG_AFTER);
    }
}

void uTab::setSelected(int index)
{
    if (index < 0) {
        m_selected = -1;
        RedrawAll(true);
        return;
    }
    if (index > m_items->Count() - 1)
        return;
    m_selected = index;
    ShowSelectedPage();
    RedrawAll(true);
}

void uTab::setSkinImages(const QImage& trapezoid, const QImage& capsule)
{
    if (!trapezoid.isNull())
        m_skin0 = magentaToAlpha(trapezoid);
    if (!capsule.isNull())
        m_skin1 = magentaToAlpha(capsule);
    dropCaches();
    RedrawAll(true);
}

void uTab::RefreshPage()
{
    // With no tab selected there is no page to reload: a quiet no-op.
    if (CTabItem* item = m_items->Item(m_selected)) {
        if (ITabForm* page = item->Form())
            page->RefreshPage();
    }
}

void uTab::ReadProperties(PropertyBag& bag)
{
    // A value that is no 32-bit number keeps the current one.
    auto read = [&bag](const QString& name, int current) {
        bool ok = false;
        const int value = bag.ReadProperty(name, current).toInt(&ok);
        return ok ? value : current;
    };
    m_tabStyle = read(QStringLiteral("TabStyle"), m_tabStyle);
    m_tabLeftSize = read(QStringLiteral("TabLeftSize"), m_tabLeftSize);
    m_tabRightSize = read(QStringLiteral("TabRightSize"), m_tabRightSize);
}

void uTab::WriteProperties(PropertyBag& bag) const
{
    bag.WriteProperty(QStringLiteral("TabStyle"), m_tabStyle);
    bag.WriteProperty(QStringLiteral("TabLeftSize"), m_tabLeftSize);
    bag.WriteProperty(QStringLiteral("TabRightSize"), m_tabRightSize);
}

tablayout::HitResult uTab::HitTest(double x, double y) const
{
    const int count = m_items->Count();
    if (m_hitTabsStale || static_cast<int>(m_hitTabs.size()) != count) {
        m_hitTabs.resize(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            const CTabItem* item = m_items->Item(i);
            m_hitTabs[static_cast<size_t>(i)] = { item->Left(), item->Width(), item->HideButton() };
        }
        m_hitTabsStale = false;
    }
    const tablayout::HitArea area { m_tabStyle, clientWidth(), m_tabLeftSize, m_tabRightSize };
    return tablayout::hitTest(area, x, y, m_hitTabs);
}

// ---- IuTab ----

void uTab::Add(const QString&, ITabForm* form, const QVariant&, const QVariant&)
{
    m_hitTabsStale = true;
    AttachPage(form ? form->hWnd() : nullptr);
    // The first tab becomes the selected one; later ones leave it alone.
    if (m_selected > m_items->Count() || m_selected < 0)
        m_selected = 0;
    CalcTabWidth();
    LayoutTabs();
    DrawTabs(true);
}

bool uTab::BeforeRemove(int index)
{
    bool cancel = false;
    emit OnItemColose(index, &cancel);
    return !cancel;
}

void uTab::Remove(int index)
{
    m_hitTabsStale = true;
    CalcTabWidth();
    LayoutTabs();
    if (index == m_selected)
        m_selected = 0;
    else if (index < m_selected)
        --m_selected;
    ShowSelectedPage();
    DrawTabs(true);
}

void uTab::Clear()
{
    m_hitTabsStale = true;
    CalcTabWidth();
    m_selected = 0;
    DrawTabs(true);
}

void uTab::Redraw(bool)
{
    m_hitTabsStale = true;
    RedrawAll(true);
}

void uTab::ChangeForm(CTabItem*, ITabForm* form)
{
    AttachPage(form ? form->hWnd() : nullptr);
    ShowSelectedPage();
}

QWidget* uTab::hParent()
{
    QWidget* host = window();
    return host == this ? nullptr : host;
}

// ---- page hosting ----

void uTab::AttachPage(QWidget* page)
{
    if (!page)
        return;
    // Without a container the page only waits, hidden, where it is; the
    // selected page is taken in when it is next shown.
    if (!m_container) {
        page->hide();
        return;
    }
    if (page->parentWidget() != m_container)
        page->setParent(m_container);
    SetWindowStyleBits(page, kCaptionAndFrame, Qt::Widget);
    page->setGeometry(m_container->contentsRect());
    // A page under a shown selected page starts running at once, unseen;
    // with none to go under it waits, hidden, until it is selected.
    QWidget* selected = SelectedPageWindow();
    if (selected && selected != page && selected->isVisibleTo(m_container)) {
        page->setEnabled(false);
        page->stackUnder(selected);
        page->show();
    } else if (selected != page) {
        page->hide();
    }
}

QWidget* uTab::SelectedPageWindow() const
{
    if (m_selected < 0 || m_selected >= m_items->Count())
        return nullptr;
    ITabForm* form = m_items->Item(m_selected)->Form();
    QWidget* page = form ? form->hWnd() : nullptr;
    return page && page->parentWidget() == m_container ? page : nullptr;
}

void uTab::ShowSelectedPage()
{
    if (m_selected < 0 || m_selected >= m_items->Count() || !m_container)
        return;
    ITabForm* form = m_items->Item(m_selected)->Form();
    QWidget* page = form ? form->hWnd() : nullptr;
    if (!page)
        return;
    if (page->parentWidget() != m_container)
        AttachPage(page);
    const QRect client = m_container->contentsRect();
    page->setGeometry(client);
    page->setEnabled(true);
    page->raise();
    page->show();
    // Every page fills the container, so the raised one covers the others
    // completely; they stay shown beneath it. A hidden view is a hidden page
    // to the engine, which stops its animation frames and slows its timers
    // to one a second: a game left in another tab would freeze. Covered
    // pages follow the container's size too, so a game never lays itself
    // out for a size it is not shown at. They are disabled: the keyboard
    // focus, moving on from the selected page, must never land in a game
    // the player cannot see.
    for (int i = 0; i < m_items->Count(); ++i) {
        ITabForm* other = m_items->Item(i)->Form();
        QWidget* otherPage = other ? other->hWnd() : nullptr;
        if (!otherPage || otherPage == page || otherPage->parentWidget() != m_container)
            continue;
        otherPage->setGeometry(client);
        otherPage->setEnabled(false);
        if (!otherPage->isVisibleTo(m_container)) {
            otherPage->stackUnder(page);
            otherPage->show();
        }
    }
}

// ---- layout and drawing ----

int uTab::tabAreaWidth() const
{
    return tablayout::tabAreaWidth(clientWidth(), m_tabLeftSize, m_tabRightSize);
}

const QImage& uTab::currentSkin() const
{
    return tablayout::isCapsule(m_tabStyle) ? m_skin1 : m_skin0;
}

void uTab::resizeEvent(QResizeEvent*)
{
    const int h = tablayout::stripHeight(m_tabStyle);
    if (height() != h)
        setFixedHeight(h);
    try {
        CreateBuffers();
    } catch (const SurfaceError&) {
        // A surface that cannot be made (no width, or a tab area of no width)
        // stays missing; drawing leaves it out.
    }
    CalcTabWidth();
    LayoutTabs();
    RedrawAll(true);
}

void uTab::CreateBuffers()
{
    FreeBuffers();
    const int h = tablayout::stripHeight(m_tabStyle);
    // The strip's surfaces have the screen's pixels; everything drawn on them
    // is measured in logical pixels and cut on whole device pixels.
    const qreal ratio = devicePixelRatioF();
    m_composite = CreateMemDC(clientWidth(), h, ratio);
    m_background = CreateMemDC(clientWidth(), h, ratio);
    m_tabArea = CreateMemDC(tabAreaWidth(), h, ratio);
}

void uTab::FreeBuffers()
{
    m_backgroundCache = QImage();
    DeleteMemDC(m_composite);
    DeleteMemDC(m_background);
    DeleteMemDC(m_tabArea);
}

void uTab::CalcTabWidth()
{
    if (!m_redrawEnabled)
        return;
    int locked = 0;
    for (int i = 0; i < m_items->Count(); ++i)
        locked += m_items->Item(i)->LockSize() ? 1 : 0;
    m_standardWidth = tablayout::calcTabWidth(m_tabStyle, tabAreaWidth(), m_items->Count(), locked);
}

void uTab::LayoutTabs()
{
    if (!m_redrawEnabled)
        return;
    const int count = m_items->Count();
    const auto locked = std::make_unique<bool[]>(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        locked[static_cast<size_t>(i)] = m_items->Item(i)->LockSize();
    m_hitTabsStale = true;
    const auto spans = tablayout::layoutTabs(m_tabStyle, m_standardWidth,
        std::span<const bool>(locked.get(), static_cast<size_t>(count)));
    for (int i = 0; i < count; ++i) {
        CTabItem* item = m_items->Item(i);
        item->SetLeft(spans[static_cast<size_t>(i)].left);
        item->SetWidth(spans[static_cast<size_t>(i)].width);
    }
}

void uTab::RedrawAll(bool update)
{
    DrawBackground();
    DrawTabs(update);
}

void uTab::DrawBackground()
{
    if (!m_redrawEnabled || m_background.isNull())
        return;
    const int w = clientWidth();
    const int h = tablayout::stripHeight(m_tabStyle);
    QPainter p(&m_background);
    bool skipDefault = false;
    emit OnDrawBackground(&p, w, h, &skipDefault);
    if (skipDefault)
        return;
    const QImage& background = defaultBackground();
    if (background.isNull())
        return;
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, background);
}

const QImage& uTab::defaultBackground()
{
    const int w = clientWidth();
    const int h = tablayout::stripHeight(m_tabStyle);
    const QImage& skin = currentSkin();
    if (skin.isNull() || w <= 0) {
        m_backgroundCache = QImage();
        return m_backgroundCache;
    }
    const qreal ratio = m_background.isNull() ? 1.0 : m_background.devicePixelRatio();
    const QImage sized = deviceSurface(QSize(w, h), ratio);
    if (m_backgroundCache.size() == sized.size() && m_backgroundCache.devicePixelRatio() == ratio)
        return m_backgroundCache;
    // The skin's one-pixel column stretched over the whole strip: every row
    // one colour, rows taken nearest-neighbour when the column is shorter
    // than the strip (28 rows over 32 in the capsule style). Stretching the
    // picture with a painter costs about as much as drawing all the tabs.
    // Rows are counted in device pixels of both the strip and the skin.
    const int rows = qRound(tablayout::skin(m_tabStyle).backgroundHeight * skin.devicePixelRatio());
    m_backgroundCache = sized;
    const int deviceRows = m_backgroundCache.height();
    for (int y = 0; y < deviceRows; ++y) {
        const int from = std::min(
            rows - 1, std::min(skin.height() - 1, (2 * y + 1) * rows / (2 * deviceRows)));
        const QRgb colour = qPremultiply(skin.pixel(0, from));
        auto* line = reinterpret_cast<QRgb*>(m_backgroundCache.scanLine(y));
        std::fill(line, line + m_backgroundCache.width(), colour);
    }
    return m_backgroundCache;
}

const QImage& uTab::bodyImage(int sourceX, const QRect& target)
{
    const auto key
        = std::make_tuple(m_tabStyle != 0 ? 1 : 0, sourceX, target.width(), target.height());
    const qreal ratio = m_tabArea.isNull() ? 1.0 : m_tabArea.devicePixelRatio();
    if (auto found = m_bodyCache.find(key);
        found != m_bodyCache.end() && found->second.devicePixelRatio() == ratio)
        return found->second;
    if (m_bodyCache.size() >= 64) // widths change with every layout
        m_bodyCache.clear();
    QImage body = deviceSurface(target.size(), ratio);
    body.fill(Qt::transparent);
    {
        QPainter p(&body);
        const tablayout::Skin& regions = tablayout::skin(m_tabStyle);
        DrawNineGrid(p, 0, 0, target.width(), target.height(), currentSkin(), sourceX, 0,
            regions.bodySize.width(), regions.bodySize.height(), kSideZone, 0, kSideZone, 0,
            kMagenta);
    }
    m_bodyCache[key] = std::move(body);
    return m_bodyCache[key];
}

void uTab::dropCaches()
{
    m_backgroundCache = QImage();
    m_bodyCache.clear();
    m_captionCache.clear();
}

void uTab::DrawTabs(bool update)
{
    if (!m_redrawEnabled)
        return;
    // Every change of the tabs or the selection is drawn through here; while
    // drawing is locked the news waits for the unlock, as the picture does.
    a11y::tabStripMayHaveChanged(this);
    const int h = tablayout::stripHeight(m_tabStyle);
    const int count = m_items->Count();
    if (!m_tabArea.isNull()) {
        QPainter p(&m_tabArea);
        p.setFont(m_normalFont);
        p.setPen(QColor(0, 0, 0));
        p.setCompositionMode(QPainter::CompositionMode_Source);
        if (m_background.devicePixelRatio() == 1.0)
            p.drawImage(QPoint(0, 0), m_background, QRect(m_tabLeftSize, 0, tabAreaWidth(), h));
        else // every row is one colour: a pixel more or less of it is the same
            drawSkinPiece(p, QRect(0, 0, tabAreaWidth(), h), m_background,
                QRect(m_tabLeftSize, 0, tabAreaWidth(), h));
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        // Lower indices lie on top of higher ones: draw from the right.
        for (int i = count - 1; i >= 0; --i) {
            if (i != m_selected)
                drawTab(p, i, false);
        }
        // The selected tab last, on top of everything.
        p.setFont(m_boldFont);
        p.setPen(QColor(4, 96, 163));
        if (m_selected >= 0 && m_selected < count)
            drawTab(p, m_selected, true);
    }
    if (!m_composite.isNull()) {
        QPainter c(&m_composite);
        c.setCompositionMode(QPainter::CompositionMode_Source);
        if (!m_background.isNull())
            c.drawImage(0, 0, m_background);
        if (!m_tabArea.isNull())
            drawSurface(c, QPoint(m_tabLeftSize, 0), m_tabArea);
    }
    if (update)
        this->update();
}

void uTab::drawTab(QPainter& p, int index, bool selected)
{
    const CTabItem* item = m_items->Item(index);
    const tablayout::TabSpan span { item->Left(), item->Width() };
    const bool hover = index == m_hover;
    const QImage& skin = currentSkin();
    const QRect body = tablayout::bodyRect(m_tabStyle, span);
    if (!skin.isNull() && body.width() > 0 && body.height() > 0) {
        const QImage& picture
            = bodyImage(tablayout::bodySourceX(m_tabStyle, selected, hover), body);
        if (picture.devicePixelRatio() == 1.0)
            TransparentDraw(
                p, body.x(), body.y(), body.width(), body.height(), picture, 0, 0, kMagenta);
        else // made for the strip's pixels: put there 1:1, keyed already
            drawSurface(p, body.topLeft(), picture);
    }
    DrawCaption(
        p, item->Caption(), tablayout::captionBox(m_tabStyle, span, selected, item->HideButton()));
    if (!item->HideButton() && !skin.isNull()) {
        const QPoint at = tablayout::glyphPosition(m_tabStyle, span);
        TransparentDraw(p, at.x(), at.y(), tablayout::kGlyphSize, tablayout::kGlyphSize, skin,
            tablayout::glyphSourceX(m_tabStyle, selected, hover, m_closeState), 0, kMagenta);
    }
}

void uTab::DrawCaption(QPainter& p, const QString& text, const QRect& box)
{
    if (text.isEmpty() || box.width() <= 0 || box.height() <= 0)
        return;
    const QFontMetrics metrics = p.fontMetrics();
    const auto key = std::make_tuple(text, box.width(), p.font().bold());
    auto fit = m_captionCache.find(key);
    if (fit == m_captionCache.end()) {
        if (m_captionCache.size() >= 512)
            m_captionCache.clear();
        CaptionFit made;
        made.cut = box.width() < metrics.horizontalAdvance(text);
        made.shown = made.cut ? metrics.elidedText(text, Qt::ElideRight, box.width()) : text;
        fit = m_captionCache.emplace(key, std::move(made)).first;
    }
    if (fit->second.cut) {
        // Too wide: left-aligned and cut with an ellipsis, centred by hand
        // since the ellipsis format has no vertical centring. The text is cut
        // already, so the drawing routine need not measure it again.
        const int top = box.y() + roundHalfEven((box.height() - metrics.height()) / 2.0);
        DrawTextInRect(p, fit->second.shown, -1, box.x(), top, box.width(), box.height(), DT_LEFT);
    } else {
        DrawTextInRect(p, text, -1, box.x(), box.y(), box.width(), box.height(),
            DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

void uTab::blitComposite()
{
    QPainter p(this);
    if (m_composite.isNull()) {
        p.fillRect(rect(), palette().window());
        return;
    }
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, m_composite);
}

void uTab::paintEvent(QPaintEvent*)
{
    // Normally the hook on the strip's window paints; this covers a strip
    // whose hook could not be made.
    blitComposite();
}

// ---- messages ----

void uTab::WindowProc(bool bBefore, bool& bHandled, LResult& lReturn, WindowHandle lng_hWnd,
    std::uint32_t uMsg, WParam, LParam, LParam&)
{
    c_Subclass_WindowProc(bBefore, bHandled, lReturn, lng_hWnd, uMsg);
}

void uTab::c_Subclass_WindowProc(
    bool bBefore, bool& bHandled, LResult& lReturn, WindowHandle lng_hWnd, std::uint32_t uMsg)
{
    if (lng_hWnd == kest::windowHandle(this)) {
        switch (uMsg) {
        case WM_ERASEBKGND:
            bHandled = true;
            lReturn = 0;
            break;
        case WM_PAINT:
            blitComposite();
            bHandled = true;
            lReturn = 0;
            break;
        case WM_MOUSELEAVE:
            MouseLeave(); // the window still sees the message
            break;
        default:
            break;
        }
    } else if (!bBefore && uMsg == WM_SIZE && m_container
        && lng_hWnd == kest::windowHandle(m_container)) {
        ShowSelectedPage();
    }
}

// ---- mouse ----

void uTab::mousePressEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    // The press fills the record a double click replays: with Qt the second
    // press of a double click arrives as the double click itself, so the
    // record holds the first press, as it would where the strip was first
    // written.
    m_record = { mouseButtonCode(event->button()), shiftCode(event->modifiers()),
        static_cast<float>(at.x()), static_cast<float>(at.y()) };
    Press(m_record.button, m_record.shift, m_record.x, m_record.y);
}

void uTab::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    Move(mouseButtonCode(event->buttons()), shiftCode(event->modifiers()),
        static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void uTab::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    Release(mouseButtonCode(event->button()), shiftCode(event->modifiers()),
        static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void uTab::mouseDoubleClickEvent(QMouseEvent*)
{
    const MouseRecord record = m_record;
    QPointer<uTab> alive(this);
    Press(record.button, record.shift, record.x, record.y);
    if (!alive)
        return;
    emit OnDblClick(
        HitTest(record.x, record.y).code, record.button, record.shift, record.x, record.y);
}

void uTab::Press(int button, int shift, float x, float y)
{
    QPointer<uTab> alive(this);
    int itemIndex = 0;
    if (button == kButtonLeft) {
        const auto hit = HitTest(x, y);
        itemIndex = hit.code;
        if (hit.code >= 0 && hit.code < m_items->Count()) {
            if (hit.code != m_selected && !hit.overClose) {
                m_selected = hit.code;
                ShowSelectedPage();
                DrawTabs(true);
            } else if (hit.overClose && m_closeState != CloseState::Pressed) {
                // Pressing the close button of another tab does not select it.
                m_closeState = CloseState::Pressed;
                DrawTabs(true);
            }
            emit TabChanged();
            if (!alive)
                return;
        }
    }
    emit OnMouseDown(itemIndex, button, shift, x, y);
}

void uTab::Move(int button, int shift, float x, float y)
{
    QPointer<uTab> alive(this);
    int itemIndex = 0;
    // While a button is held nothing is hit-tested: a pressed close button
    // keeps its look until the release.
    if (button == 0) {
        m_subclass->TrackMouseTracking(kest::windowHandle(this));
        const auto hit = HitTest(x, y);
        itemIndex = hit.code;
        const CloseState state = hit.overClose ? CloseState::Over : CloseState::None;
        if (hit.code != m_hover || state != m_closeState) {
            if (hit.code != m_hover) {
                emit OnMouseHover(hit.code, button, shift, x, y);
                if (!alive)
                    return;
            }
            m_hover = hit.code;
            m_closeState = state;
            DrawTabs(true);
        }
    }
    emit OnMouseMove(itemIndex, button, shift, x, y);
}

void uTab::Release(int button, int shift, float x, float y)
{
    QPointer<uTab> alive(this);
    int itemIndex = 0;
    if (button == kButtonLeft) {
        const auto hit = HitTest(x, y);
        itemIndex = hit.code;
        m_closeState = CloseState::None;
        // A tab closes only when the release is over the close button of the
        // tab the pointer rested on before the press.
        if (hit.code >= 0 && hit.code < m_items->Count() && hit.code == m_hover && hit.overClose
            && !m_items->Item(hit.code)->HideButton()) {
            m_items->Remove(hit.code, true);
            if (!alive)
                return;
        }
        RedrawAll(true);
    }
    emit OnMouseUp(itemIndex, button, shift, x, y);
}

void uTab::MouseLeave()
{
    QPointer<uTab> alive(this);
    if (m_hover != -1) {
        m_hover = -1;
        DrawTabs(true);
    }
    emit OnMouseLeave();
}

} // namespace kest
