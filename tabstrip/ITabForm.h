#pragma once

#include <QMetaType>

class QWidget;

namespace kest {

class IuTab;
class CTabItem;

// What a page window implements so that it can live in a tab of the strip.
// The strip only re-parents, sizes, shows and hides the window returned by
// hWnd(); the page's own logic stays behind this interface.
class ITabForm {
public:
    virtual ~ITabForm() = default;

    // The page's own window. Its identity is what the strip and the list
    // compare; it must stay the same for the life of the page, and the page
    // object must live exactly as long as this window (the usual case: the
    // page is the window, a QWidget subclass that also implements ITabForm).
    virtual QWidget* hWnd() const = 0;

    // Hands the page its strip and its own tab. Called twice for every added
    // tab (and again whenever the item's Form is set): store and overwrite.
    // Either may be nullptr (a list without a strip; a page being detached).
    // Hold `item` through a QPointer<CTabItem>, and the strip through a
    // QPointer on implement->Control(): the item goes away when its tab is
    // removed, the strip when it is destroyed, possibly before the page.
    virtual void Initialize(IuTab* implement, CTabItem* item) = 0;

    // Reloads the page's content.
    virtual void RefreshPage() = 0;

    // Closes (unloads) the page; the tab system calls it when a tab is removed
    // with unloading, when the list is cleared and when an item that still
    // holds the page is destroyed. The default closes the window (its close
    // event runs) and deletes it from the event loop, so a page may trigger
    // its own removal from one of its handlers without being deleted under
    // its feet. A page that needs another way overrides this.
    virtual void Unload();

protected:
    ITabForm() = default;
    ITabForm(const ITabForm&) = default;
    ITabForm& operator=(const ITabForm&) = default;
};

} // namespace kest

// Lets a QVariant carry a page, so FindItem can take one like a key or a number.
Q_DECLARE_METATYPE(kest::ITabForm*)
