// The tab strip for the keyboard and for assistive technology. The strip
// paints its tabs itself, so without this a screen reader finds one nameless
// widget: here every tab becomes a page tab with its caption, its selected
// state, a press action that selects it, and its close button as a child
// button wherever the strip draws one.
#include "tabstrip/uTabAccessible.h"

#include "tabstrip/CTabItem.h"
#include "tabstrip/CTabItems.h"
#include "tabstrip/TabAccess.h"
#include "tabstrip/uTab.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPointer>

#include <map>
#include <mutex>

namespace kest {

namespace a11y {

namespace {

const QString kCloseName = QStringLiteral("关闭");

// The strip's list is gone while the strip is being destroyed.
int countOf(uTab* strip)
{
    return strip && strip->TabItems() ? strip->TabItems()->Count() : 0;
}

tabaccess::Strip factsOf(uTab* strip)
{
    tabaccess::Strip facts;
    CTabItems* items = strip->TabItems();
    const int count = countOf(strip);
    facts.tabs.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const CTabItem* item = items->Item(i);
        facts.tabs.push_back({ tabaccess::tabName(item->Caption()), !item->HideButton() });
    }
    facts.selected = strip->Selected();
    return facts;
}

CTabItem* itemOf(const uTab* strip, int index)
{
    auto* s = const_cast<uTab*>(strip);
    return index >= 0 && index < countOf(s) ? s->TabItems()->Item(index) : nullptr;
}

// The tab's place in the strip, in the strip's pixels.
QRect tabRect(const uTab* strip, int index)
{
    const CTabItem* item = itemOf(strip, index);
    if (!item)
        return {};
    return QRect(strip->TabLeftSize() + item->Left(), 0, item->Width(), strip->height());
}

QRect closeRect(const uTab* strip, int index)
{
    const CTabItem* item = itemOf(strip, index);
    if (!item || item->HideButton())
        return {};
    const QPoint glyph
        = tablayout::glyphPosition(strip->TabStyle(), { item->Left(), item->Width() });
    return QRect(QPoint(strip->TabLeftSize() + glyph.x(), glyph.y()),
        QSize(tablayout::kGlyphSize, tablayout::kGlyphSize));
}

QRect onScreen(const uTab* strip, const QRect& r)
{
    return r.isNull() ? QRect() : QRect(strip->mapToGlobal(r.topLeft()), r.size());
}

// Parts of the strip that are no widgets: a tab, or a tab's close button.
// They follow their index, as the strip's items do; the strip's interface
// drops the ones past the end when tabs go.
class TabPart : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TabPart(uTab* strip, int index)
        : m_strip(strip)
        , m_index(index)
    { }

    int index() const { return m_index; }

    bool isValid() const override { return !m_strip.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override
    {
        return m_strip ? m_strip->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override { }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                 : nullptr;
    }
    QStringList actionNames() const override { return { pressAction() }; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

protected:
    QPointer<uTab> m_strip;
    int m_index;
};

class CloseAccessible final : public TabPart {
public:
    using TabPart::TabPart;

    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? kCloseName : QString();
    }
    QRect rect() const override
    {
        return m_strip ? onScreen(m_strip, closeRect(m_strip, m_index)) : QRect();
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.invisible = !m_strip || !m_strip->isVisible() || closeRect(m_strip, m_index).isNull();
        return s;
    }
    void doAction(const QString& name) override
    {
        // As a click on the glyph: the host is asked first (OnItemColose),
        // and the page is closed with its tab. Later, from the event loop:
        // the removal deletes this interface, which its caller still holds.
        if (name != pressAction() || !m_strip || closeRect(m_strip, m_index).isNull())
            return;
        const int index = m_index;
        QMetaObject::invokeMethod(
            m_strip.data(),
            [strip = m_strip.data(), index] {
                if (index < countOf(strip))
                    strip->TabItems()->Remove(index, true);
            },
            Qt::QueuedConnection);
    }
};

class TabAccessible final : public TabPart {
public:
    using TabPart::TabPart;

    QAccessibleInterface* parent() const override
    {
        return m_strip ? QAccessible::queryAccessibleInterface(m_strip.data()) : nullptr;
    }
    QAccessibleInterface* child(int index) const override;
    QAccessibleInterface* childAt(int x, int y) const override
    {
        QAccessibleInterface* close = child(0);
        return close && close->rect().contains(x, y) ? close : nullptr;
    }
    int childCount() const override
    {
        const CTabItem* item = itemOf(m_strip, m_index);
        return item && !item->HideButton() ? 1 : 0;
    }
    int indexOfChild(const QAccessibleInterface* iface) const override
    {
        return iface && iface == child(0) ? 0 : -1;
    }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QString text(QAccessible::Text t) const override
    {
        const CTabItem* item = itemOf(m_strip, m_index);
        return t == QAccessible::Name && item ? tabaccess::tabName(item->Caption()) : QString();
    }
    QRect rect() const override
    {
        return m_strip ? onScreen(m_strip, tabRect(m_strip, m_index)) : QRect();
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        const CTabItem* item = itemOf(m_strip, m_index);
        if (!item) {
            s.invalid = true;
            return s;
        }
        s.selectable = true;
        s.focusable = m_strip->focusPolicy() != Qt::NoFocus;
        s.selected = m_strip->Selected() == m_index;
        s.focused = s.selected && m_strip->hasFocus();
        s.invisible = !m_strip->isVisible() || item->Width() <= 0;
        return s;
    }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && m_strip)
            m_strip->activateTab(m_index);
    }
};

class StripAccessible final : public QAccessibleWidget {
public:
    explicit StripAccessible(uTab* strip)
        : QAccessibleWidget(strip, QAccessible::PageTabList)
        , m_announced(factsOf(strip))
    { }

    ~StripAccessible() override
    {
        for (const auto& [index, id] : m_tabs)
            QAccessible::deleteAccessibleInterface(id);
        for (const auto& [index, id] : m_closes)
            QAccessible::deleteAccessibleInterface(id);
    }

    uTab* strip() const { return static_cast<uTab*>(widget()); }

    int childCount() const override { return countOf(strip()); }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        return cached<TabAccessible>(m_tabs, index);
    }
    QAccessibleInterface* closeButton(int index) const
    {
        const CTabItem* item = itemOf(strip(), index);
        if (!item || item->HideButton())
            return nullptr;
        return cached<CloseAccessible>(m_closes, index);
    }
    int indexOfChild(const QAccessibleInterface* iface) const override
    {
        const auto* tab = dynamic_cast<const TabAccessible*>(iface);
        return tab && tab->parent() == this && tab->index() < childCount() ? tab->index() : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint at = strip()->mapFromGlobal(QPoint(x, y));
        const tablayout::HitResult hit = strip()->HitTest(at.x(), at.y());
        if (hit.code < 0 || hit.code >= childCount())
            return nullptr;
        return hit.overClose ? closeButton(hit.code) : child(hit.code);
    }
    QAccessibleInterface* focusChild() const override
    {
        return strip()->hasFocus() ? child(strip()->Selected()) : nullptr;
    }

    void announceChanges()
    {
        uTab* const s = strip();
        const tabaccess::Strip now = factsOf(s);
        const std::vector<tabaccess::Change> changes = tabaccess::changes(m_announced, now);
        const int oldCount = static_cast<int>(m_announced.tabs.size());
        m_announced = now;
        for (const tabaccess::Change& change : changes) {
            switch (change.kind) {
            case tabaccess::Change::TabsAddedOrRemoved:
                for (int i = change.index; i < oldCount; ++i) {
                    drop(m_closes, i);
                    drop(m_tabs, i);
                }
                for (int i = oldCount; i < change.index; ++i)
                    send(child(i), QAccessible::ObjectCreated);
                break;
            case tabaccess::Change::NameChanged:
                send(child(change.index), QAccessible::NameChanged);
                break;
            case tabaccess::Change::CloseButtonChanged:
                if (QAccessibleInterface* close = closeButton(change.index))
                    send(close, QAccessible::ObjectCreated);
                else
                    drop(m_closes, change.index);
                break;
            case tabaccess::Change::Deselected:
            case tabaccess::Change::Selected: {
                QAccessible::State selected;
                selected.selected = true;
                QAccessibleStateChangeEvent state(child(change.index), selected);
                QAccessible::updateAccessibility(&state);
                if (change.kind == tabaccess::Change::Selected) {
                    QAccessibleEvent selection(s, QAccessible::Selection);
                    selection.setChild(change.index);
                    QAccessible::updateAccessibility(&selection);
                    if (s->hasFocus()) {
                        QAccessibleEvent focus(s, QAccessible::Focus);
                        focus.setChild(change.index);
                        QAccessible::updateAccessibility(&focus);
                    }
                }
                break;
            }
            }
        }
    }

private:
    template <typename Part>
    QAccessibleInterface* cached(std::map<int, QAccessible::Id>& cache, int index) const
    {
        if (const auto found = cache.find(index); found != cache.end())
            return QAccessible::accessibleInterface(found->second);
        auto* part = new Part(strip(), index);
        cache[index] = QAccessible::registerAccessibleInterface(part);
        return part;
    }
    static void send(QAccessibleInterface* iface, QAccessible::Event type)
    {
        if (!iface)
            return;
        QAccessibleEvent event(iface, type);
        QAccessible::updateAccessibility(&event);
    }
    // A part that went away: listeners are told while it can still say
    // where it was, then it is deleted.
    static void drop(std::map<int, QAccessible::Id>& cache, int index)
    {
        const auto found = cache.find(index);
        if (found == cache.end())
            return;
        const QAccessible::Id id = found->second;
        cache.erase(found);
        send(QAccessible::accessibleInterface(id), QAccessible::ObjectDestroyed);
        QAccessible::deleteAccessibleInterface(id);
    }

    mutable std::map<int, QAccessible::Id> m_tabs;
    mutable std::map<int, QAccessible::Id> m_closes;
    tabaccess::Strip m_announced;
};

QAccessibleInterface* CloseAccessible::parent() const
{
    auto* stripIface = m_strip
        ? dynamic_cast<StripAccessible*>(QAccessible::queryAccessibleInterface(m_strip.data()))
        : nullptr;
    return stripIface ? stripIface->child(m_index) : nullptr;
}

QAccessibleInterface* TabAccessible::child(int index) const
{
    auto* stripIface = m_strip
        ? dynamic_cast<StripAccessible*>(QAccessible::queryAccessibleInterface(m_strip.data()))
        : nullptr;
    return index == 0 && stripIface ? stripIface->closeButton(m_index) : nullptr;
}

QAccessibleInterface* stripFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("kest::uTab"))
        return new StripAccessible(static_cast<uTab*>(object));
    return nullptr;
}

} // namespace

void installTabStripAccessibility()
{
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(stripFactory); });
}

void tabStripMayHaveChanged(uTab* strip)
{
    if (!QAccessible::isActive())
        return;
    if (auto* iface = dynamic_cast<StripAccessible*>(QAccessible::queryAccessibleInterface(strip)))
        iface->announceChanges();
}

} // namespace a11y

// ---- the strip's keyboard ----

void uTab::activateTab(int index)
{
    if (!m_items || index < 0 || index >= m_items->Count())
        return;
    if (index != m_selected) {
        m_selected = index;
        ShowSelectedPage();
        DrawTabs(true);
    }
    emit TabChanged();
}

void uTab::keyPressEvent(QKeyEvent* event)
{
    const int count = m_items->Count();
    int target = -1;
    switch (event->key()) {
    case Qt::Key_Left:
        target = m_selected - 1;
        break;
    case Qt::Key_Right:
        target = m_selected + 1;
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = count - 1;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (target >= 0 && target < count)
        activateTab(target);
    event->accept();
}

void uTab::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    // A screen reader hears the selected tab, not the nameless strip.
    if (QAccessible::isActive() && m_selected >= 0 && m_selected < m_items->Count()) {
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(m_selected);
        QAccessible::updateAccessibility(&focus);
    }
}

} // namespace kest
