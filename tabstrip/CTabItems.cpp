#include "CTabItems.h"

#include "ITabForm.h"
#include "IuTab.h"

#include "platform/units.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <cmath>
#include <limits>

namespace kest {

namespace {

bool isNumber(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Char:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        // Booleans are deliberately not positions: true would be -1 or 1
        // depending on who converts it, and neither is what a caller means.
        return false;
    }
}

// A number as a 32-bit position: fractions go to the nearest integer,
// halves to even; nothing when it does not fit (or is not a number).
std::optional<int> toInt32(const QVariant& value)
{
    if (!isNumber(value))
        return std::nullopt;
    const double d = value.toDouble();
    if (std::isnan(d) || d < std::numeric_limits<int>::min() - 0.5
        || d >= std::numeric_limits<int>::max() + 0.5)
        return std::nullopt;
    if (value.metaType().id() == QMetaType::LongLong
        || value.metaType().id() == QMetaType::ULongLong) {
        // Compare exactly: a double cannot hold every 64-bit value.
        bool ok = false;
        const qlonglong n = value.toLongLong(&ok);
        if (!ok || n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
            return std::nullopt;
        return static_cast<int>(n);
    }
    const double rounded = std::nearbyint(d);
    if (rounded < std::numeric_limits<int>::min() || rounded > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(rounded);
}

bool isString(const QVariant& value)
{
    return value.metaType().id() == QMetaType::QString;
}

} // namespace

CTabItems::~CTabItems()
{
    // Items close their pages as they go; a page's close handler must not
    // reach the strip, which is being torn down around this list.
    for (auto& entry : m_items)
        entry.item->AttachTabStrip(nullptr);
    m_strip = nullptr;
    auto items = std::move(m_items);
    m_items.clear();
}

int CTabItems::indexOfKey(const QString& key) const
{
    for (int i = 0; i < Count(); ++i) {
        const auto& k = m_items[static_cast<size_t>(i)].key;
        if (k && k->compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool CTabItems::Add(
    const QString& caption, ITabForm* form, const QVariant& key, const QVariant& index)
{
    if (!form)
        throw TabError(TabError::InvalidArgument, QStringLiteral("Add: no page was given"));
    QWidget* window = form->hWnd();
    if (!window)
        throw TabError(TabError::InvalidArgument, QStringLiteral("Add: the page has no window"));

    std::optional<QString> itemKey;
    if (isString(key))
        itemKey = key.toString();
    else if (isNumber(key))
        itemKey = key.toString();
    else if (key.isValid() && key.metaType().id() != QMetaType::Nullptr)
        throw TabError(TabError::InvalidArgument, QStringLiteral("Add: the key must be a string"));

    // Everything that can refuse the tab is checked before the page or the
    // strip is touched: a refused Add must not leave the caller's page taken
    // into the container, nor close it with a half-made item.
    auto checkKey = [&] {
        if (itemKey && indexOfKey(*itemKey) >= 0)
            throw TabError(TabError::DuplicateKey,
                QStringLiteral("Add: the key \"%1\" is already used by another tab").arg(*itemKey));
    };
    auto checkPosition = [&]() -> int {
        if (!index.isValid())
            return Count();
        if (!isNumber(index))
            throw TabError(
                TabError::InvalidArgument, QStringLiteral("Add: the position must be a number"));
        const auto n = toInt32(index);
        if (!n || *n < 0 || *n > Count())
            throw TabError(TabError::SubscriptOutOfRange,
                QStringLiteral("Add: the position %1 is outside 0..%2")
                    .arg(index.toString())
                    .arg(Count()));
        return *n;
    };
    checkKey();
    checkPosition();

    const int savedStyle = static_cast<int>(window->windowFlags().toInt());
    auto item = std::make_unique<CTabItem>();
    item->setSavedStyle(savedStyle);
    item->AttachTabStrip(m_strip);
    form->Initialize(m_strip, item.get());
    item->setCaption(caption);
    item->setForm(form);

    // The page and the strip ran code of their own above; check again rather
    // than insert at a position that no longer exists.
    int position = 0;
    try {
        checkKey();
        position = checkPosition();
    } catch (...) {
        item->detachForm(); // the page stays with its owner
        throw;
    }

    m_items.insert(m_items.begin() + position, Entry { std::move(item), itemKey });
    if (m_strip) {
        m_strip->Add(caption, form, key, index);
        // Loading the page may have activated it; give activation back to the
        // strip's window.
        if (QWidget* stripWindow = m_strip->hWnd(); stripWindow && stripWindow->isVisible())
            stripWindow->activateWindow();
    }
    return true;
}

bool CTabItems::Remove(const QVariant& index, bool bUnload)
{
    int i = FindItem(index);
    if (i < 0)
        return false;
    QPointer<CTabItem> item = m_items[static_cast<size_t>(i)].item.get();
    if (m_strip && !m_strip->BeforeRemove(i))
        return false;
    // The strip's handler may have changed the list (removed this tab itself,
    // or cleared everything while closing the window): go by the item, not by
    // the position it had.
    if (!item)
        return false;
    i = FindItem(item.data());
    if (i < 0)
        return false;

    std::unique_ptr<CTabItem> owned = std::move(m_items[static_cast<size_t>(i)].item);
    m_items.erase(m_items.begin() + i);
    if (m_strip)
        m_strip->Remove(i);

    ITabForm* page = owned->Form();
    owned->detachForm(); // the item goes now; the page only when asked
    if (bUnload && page)
        page->Unload();
    return true;
}

void CTabItems::Clear()
{
    std::vector<QPointer<CTabItem>> items;
    items.reserve(m_items.size());
    for (const auto& entry : m_items)
        items.emplace_back(entry.item.get());
    for (const auto& item : items) {
        if (!item)
            continue;
        if (ITabForm* page = item->Form()) {
            item->detachForm();
            page->Unload();
        }
    }
    auto released = std::move(m_items);
    m_items.clear();
    released.clear();
    if (m_strip)
        m_strip->Clear();
}

int CTabItems::FindItem(const QVariant& index) const
{
    if (m_items.empty())
        return -1;
    if (isString(index))
        return indexOfKey(index.toString());
    if (isNumber(index)) {
        const auto n = toInt32(index);
        return n && *n >= 0 && *n < Count() ? *n : -1;
    }
    if (index.metaType() == QMetaType::fromType<ITabForm*>())
        return FindItem(index.value<ITabForm*>());
    if (index.metaType().flags() & QMetaType::PointerToQObject) {
        QObject* object = index.value<QObject*>();
        if (auto* item = qobject_cast<CTabItem*>(object))
            return FindItem(item);
        // A page may be named by its window as well as by its interface.
        for (int i = 0; object && i < Count(); ++i) {
            const ITabForm* page = m_items[static_cast<size_t>(i)].item->Form();
            if (page && page->hWnd() == object)
                return i;
        }
    }
    return -1;
}

int CTabItems::FindItem(const ITabForm* form) const
{
    for (int i = 0; form && i < Count(); ++i) {
        if (m_items[static_cast<size_t>(i)].item->Form() == form)
            return i;
    }
    return -1;
}

int CTabItems::FindItem(const CTabItem* item) const
{
    for (int i = 0; item && i < Count(); ++i) {
        if (m_items[static_cast<size_t>(i)].item.get() == item)
            return i;
    }
    return -1;
}

void CTabItems::ReleaseForm(const QVariant& index)
{
    const int i = FindItem(index);
    if (i < 0)
        return;
    CTabItem* item = m_items[static_cast<size_t>(i)].item.get();
    ITabForm* page = item->Form();
    QPointer<QWidget> window = page ? page->hWnd() : nullptr;
    const auto savedStyle = Qt::WindowFlags::fromInt(item->SavedStyle());
    if (!Remove(QVariant(i), false))
        return;
    if (!window)
        return;

    // A widget without a parent is always a window, whatever flags it had
    // when it was added.
    window->setParent(nullptr, savedStyle | Qt::Window);
    // Nobody owns a free window: it goes when the user closes it.
    window->setAttribute(Qt::WA_DeleteOnClose);
    QSize screen(0, 0);
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        screen = primary->geometry().size();
    // The centre is that of the whole window, frame included; the frame is
    // known once the window exists on the platform.
    window->winId();
    const QSize frame = window->frameGeometry().size();
    const int x = roundHalfEven((screen.width() - frame.width()) / 2.0);
    const int y = roundHalfEven((screen.height() - frame.height()) / 2.0);
    window->move(x, y);
    // A covered page was disabled by the strip; a free window takes input.
    window->setEnabled(true);
    window->show();
    if (m_strip) {
        if (QWidget* host = m_strip->hParent())
            host->update();
    }
}

CTabItem* CTabItems::Item(const QVariant& index) const
{
    if (isString(index)) {
        const int i = indexOfKey(index.toString());
        if (i < 0)
            throw TabError(TabError::KeyNotFound,
                QStringLiteral("Item: no tab has the key \"%1\"").arg(index.toString()));
        return m_items[static_cast<size_t>(i)].item.get();
    }
    if (isNumber(index)) {
        const auto n = toInt32(index);
        return n ? Item(*n) : nullptr;
    }
    throw TabError(
        TabError::InvalidArgument, QStringLiteral("Item: the index must be a key or a position"));
}

CTabItem* CTabItems::Item(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return m_items[static_cast<size_t>(index)].item.get();
}

int CTabItems::Selected() const
{
    return m_strip ? m_strip->Selected() : -1;
}

void CTabItems::setSelected(int index)
{
    if (m_strip)
        m_strip->setSelected(index);
}

} // namespace kest
