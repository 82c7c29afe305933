#pragma once

#include <QString>
#include <QVariant>

class QWidget;

namespace kest {

class ITabForm;
class CTabItem;
class CTabItems;

// How the tab list and the pages talk back to the strip. The strip (uTab) is
// the only implementation; the list calls it in fixed orders (see CTabItems).
class IuTab {
public:
    virtual ~IuTab() = default;

    // A tab was inserted into the list (already there when this is called).
    virtual void Add(
        const QString& caption, ITabForm* form, const QVariant& key, const QVariant& index)
        = 0;
    // Asked before the tab at 0-based `index` is removed: false keeps it.
    virtual bool BeforeRemove(int index) = 0;
    // The tab that was at 0-based `index` has left the list.
    virtual void Remove(int index) = 0;
    // The list was emptied.
    virtual void Clear() = 0;
    // Something visible changed; the strip repaints whatever `bUpdate` says.
    virtual void Redraw(bool bUpdate) = 0;
    // `item` now holds `form`: the strip takes the page into its container.
    virtual void ChangeForm(CTabItem* item, ITabForm* form) = 0;
    // 0-based index of the selected tab; -1: none.
    virtual int Selected() const = 0;
    virtual void setSelected(int index) = 0;
    virtual CTabItems* TabItems() = 0;
    // The strip's own window.
    virtual QWidget* hWnd() = 0;
    // The window of the form that hosts the strip; nullptr when there is none.
    virtual QWidget* hParent() = 0;
    // The strip control itself.
    virtual QWidget* Control() = 0;

protected:
    IuTab() = default;
    IuTab(const IuTab&) = default;
    IuTab& operator=(const IuTab&) = default;
};

} // namespace kest
