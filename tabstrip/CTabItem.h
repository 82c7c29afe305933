#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

namespace kest {

class ITabForm;
class IuTab;
class CTabItems;
class uTab;

// One tab: caption, page, flags, geometry and the host's own data. It is a
// QObject only so that pages and hosts can hold it through a QPointer: the
// list destroys it when the tab goes away, which may happen before the page.
class CTabItem final : public QObject {
    Q_OBJECT
public:
    CTabItem();
    // Closes the page first when the item still holds one.
    ~CTabItem() override;
    Q_DISABLE_COPY_MOVE(CTabItem)

    QString Caption() const { return m_caption; }
    // Stores the text and repaints the strip when linked to one.
    void setCaption(const QString& caption);

    // The page, or nullptr when none was set or its window has been destroyed.
    ITabForm* Form() const;
    // Stores the page, calls its Initialize with the strip link and this item,
    // then ChangeForm on the strip when linked. The previous page, if any, is
    // neither closed nor detached.
    void setForm(ITabForm* form);

    // True: the tab has no close button (not drawn, not hit-tested).
    bool HideButton() const { return m_hideButton; }
    void setHideButton(bool hide);

    // Geometry inside the strip's tab area, in pixels; written by the layout only.
    int Left() const { return m_left; }
    int Width() const { return m_width; }

    // True: the tab keeps its style's full width. Takes effect at the strip's
    // next layout; setting it only repaints.
    bool LockSize() const { return m_lockSize; }
    void setLockSize(bool lock);

    // Any value for the host; the tab system never reads it.
    QVariant ItemData() const { return m_itemData; }
    void setItemData(const QVariant& data) { m_itemData = data; }

    // The strip this item reports to; nullptr for a free-standing item.
    IuTab* TabStrip() const { return m_strip; }

private:
    friend class CTabItems;
    friend class uTab;

    void AttachTabStrip(IuTab* strip) { m_strip = strip; }
    // The page window's flags (Qt::WindowFlags as int) when the tab was added,
    // restored when the page is released into a free window.
    int SavedStyle() const { return m_savedStyle; }
    void setSavedStyle(int style) { m_savedStyle = style; }
    void SetLeft(int left) { m_left = left; }
    void SetWidth(int width) { m_width = width; }
    // Drops the page without closing it (the list releases it elsewhere).
    void detachForm();
    void redrawStrip();

    QString m_caption;
    ITabForm* m_form = nullptr;
    // Guards m_form: the page is a window that others may destroy.
    QPointer<QWidget> m_formWindow;
    int m_savedStyle = 0;
    bool m_hideButton = false;
    IuTab* m_strip = nullptr;
    int m_left = 0;
    int m_width = 0;
    bool m_lockSize = false;
    QVariant m_itemData;
};

} // namespace kest
