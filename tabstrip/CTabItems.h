#pragma once

#include "CTabItem.h"
#include "TabError.h"

#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace kest {

class ITabForm;
class IuTab;

// The ordered, optionally keyed list of tabs. Positions are 0-based; keys are
// unique and compared without regard to letter case. The list never draws:
// every change the strip must see goes through IuTab, in a fixed order.
class CTabItems final {
public:
    CTabItems() = default;
    // Releases every item; each closes the page it still holds.
    ~CTabItems();
    Q_DISABLE_COPY_MOVE(CTabItems)

    // Adds a tab for `form`. `key`: a string (a number is taken as its text),
    // or an invalid QVariant for none. `index`: an invalid QVariant appends; a
    // number n in 0..Count inserts so that the new tab takes position n (a
    // string is not a number here, so "2" is refused). Returns true.
    // Throws TabError: InvalidArgument (no page, a page without a window, a
    // key or index of another kind), SubscriptOutOfRange (n outside 0..Count),
    // DuplicateKey. All are checked before anything is touched, so a refused
    // Add leaves the page, the list and the strip as they were.
    bool Add(const QString& caption, ITabForm* form, const QVariant& key = {},
        const QVariant& index = {});

    // Removes the tab FindItem(index) names. False when there is none or the
    // strip refused (OnItemColose); nothing changes then. `bUnload` closes the
    // page after the removal; without it the page is left alone. When a
    // handler of OnItemColose removes that tab itself (or clears the list),
    // this returns false.
    bool Remove(const QVariant& index, bool bUnload = true);

    // Closes every page and empties the list.
    void Clear();

    // The 0-based position, or -1. Never throws. `index`: a string is a key
    // (even "3"); a number (converted to a 32-bit integer, halves to even) is a
    // position; an ITabForm* or CTabItem* is looked up by identity. Booleans and
    // anything else give -1.
    int FindItem(const QVariant& index) const;
    int FindItem(const ITabForm* form) const;
    int FindItem(const CTabItem* item) const;

    // Removes the tab but keeps its page alive: it becomes a free top-level
    // window with the flags it had when added, centred on the screen and
    // shown. The free window deletes itself when closed.
    void ReleaseForm(const QVariant& index);

    int Count() const { return static_cast<int>(m_items.size()); }

    // The item at a 0-based position (nullptr when out of range) or with a
    // string key (TabError KeyNotFound when absent). Other kinds of index:
    // TabError InvalidArgument.
    CTabItem* Item(const QVariant& index) const;
    CTabItem* Item(int index) const;

    // Links the list to the strip it reports to. The strip does this once,
    // when it makes its list, before anything else can reach the list.
    void AttachTabStrip(IuTab* strip) { m_strip = strip; }

    // Forwards to the strip; -1 when the list has no strip.
    int Selected() const;
    void setSelected(int index);

private:
    struct Entry {
        std::unique_ptr<CTabItem> item;
        std::optional<QString> key;
    };

    int indexOfKey(const QString& key) const;

    std::vector<Entry> m_items;
    IuTab* m_strip = nullptr;
};

} // namespace kest
