#pragma once

#include "CTabItems.h"
#include "IuTab.h"
#include "TabLayout.h"

#include "winhook/CSubclass.h"

#include <QFont>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>
#include <tuple>
#include <vector>

class QPainter;

namespace kest {

class PropertyBag;

// The skinned tab strip: one tab per page window, the pages shown in a
// container window the host names. Layout fills each item's Left and Width,
// drawing goes to off-screen surfaces, and a paint is one copy of the
// composite surface, so the strip never flickers.
//
// Style 0: trapezoid tabs on a 25-pixel strip; any other style: capsule tabs
// on a 32-pixel strip. Layout and drawing wait until the host calls
// LockReDraw(false).
class uTab final : public QWidget, public IuTab, private ISubclassOwner {
    Q_OBJECT
    Q_PROPERTY(int Selected READ Selected WRITE setSelected)
    Q_PROPERTY(int TabLeftSize READ TabLeftSize WRITE setTabLeftSize)
    Q_PROPERTY(int TabRightSize READ TabRightSize WRITE setTabRight)
    Q_PROPERTY(int TabStyle READ TabStyle WRITE setTabStyle)

public:
    explicit uTab(QWidget* parent = nullptr);
    ~uTab() override;
    Q_DISABLE_COPY_MOVE(uTab)

    // Repaints everything from the current layout.
    void refresh();
    // true freezes layout and drawing (a paint still shows the last picture);
    // false lays the tabs out again and repaints.
    void LockReDraw(bool bLock);

    // The window that receives the page windows; setting it also starts
    // following its size (every page is kept filling it).
    QWidget* hContainerWnd() const { return m_container; }
    void setContainerWnd(QWidget* container);

    // Writing: a negative value selects nothing (-1); a value above Count - 1
    // is ignored; otherwise the tab's page is shown. Never raises TabChanged.
    int Selected() const override { return m_selected; }
    void setSelected(int index) override;

    // Margins before and after the tab area, in pixels; used from the next
    // resize or layout. The right margin may be negative: the tab area then
    // runs past the right edge.
    int TabLeftSize() const { return m_tabLeftSize; }
    void setTabLeftSize(int size) { m_tabLeftSize = size; }
    int TabRightSize() const { return m_tabRightSize; }
    void setTabRight(int size) { m_tabRightSize = size; }
    // 0: trapezoid tabs, 25 pixels high; anything else: capsules, 32 pixels.
    // Height and skin follow at the next resize.
    int TabStyle() const { return m_tabStyle; }
    void setTabStyle(int style) { m_tabStyle = style; }

    // Replaces the tab artwork (normally bitmaps 106 and 107) with pictures
    // that follow the same region table; magenta marks transparent pixels. A
    // null image leaves that style's skin as it was. Repaints.
    void setSkinImages(const QImage& trapezoid, const QImage& capsule);

    // Reloads the selected tab's page; nothing when no tab is selected.
    void RefreshPage();

    // Selects tab `index` as a left click on it does, raising TabChanged; for
    // the keyboard and assistive technology. Nothing for an index out of range.
    void activateTab(int index);

    // Persistence through the host's property bag: TabStyle, TabLeftSize,
    // TabRightSize. Reading keeps the current values as defaults; writing
    // stores all three, defaults included.
    void ReadProperties(PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // Hit code under (x, y) (pixels relative to the strip) and whether the
    // point is on that tab's close button. Codes: 0..Count-1 a tab, -1 no tab,
    // -2 a margin, -3 outside.
    tablayout::HitResult HitTest(double x, double y) const;

    // Pointer state: the tab under the pointer (-1 none) and its close button
    // (0 none, 1 pointer over it, 2 pressed).
    int HoverIndex() const { return m_hover; }
    int CloseButtonState() const { return static_cast<int>(m_closeState); }
    int StandardTabWidth() const { return m_standardWidth; }
    bool RedrawEnabled() const { return m_redrawEnabled; }
    // The picture the strip shows (W x H); null before the first resize.
    const QImage& Composite() const { return m_composite; }

    // IuTab
    void Add(const QString& caption, ITabForm* form, const QVariant& key,
        const QVariant& index) override;
    bool BeforeRemove(int index) override;
    void Remove(int index) override;
    void Clear() override;
    void Redraw(bool bUpdate) override;
    void ChangeForm(CTabItem* item, ITabForm* form) override;
    CTabItems* TabItems() override { return m_items.get(); }
    QWidget* hWnd() override { return this; }
    QWidget* hParent() override;
    QWidget* Control() override { return this; }

signals:
    // A left press on a tab was handled (also on the selected tab, and on a
    // close button).
    void TabChanged();
    // Mouse events. ItemIndex: a hit code for left-button presses and
    // releases, for moves with no button held and for OnMouseHover; 0
    // otherwise. Button: 1 left, 2 right, 4 middle (on a move, the buttons
    // held). Shift: 1 Shift, 2 Ctrl, 4 Alt. X, Y: pixels in the strip.
    void OnDblClick(int ItemIndex, int Button, int Shift, float X, float Y);
    void OnMouseDown(int ItemIndex, int Button, int Shift, float X, float Y);
    void OnMouseHover(int ItemIndex, int Button, int Shift, float X, float Y);
    void OnMouseMove(int ItemIndex, int Button, int Shift, float X, float Y);
    void OnMouseUp(int ItemIndex, int Button, int Shift, float X, float Y);
    void OnMouseLeave();
    // Before tab ItemIndex is removed; *Cancel = true keeps it.
    void OnItemColose(int ItemIndex, bool* Cancel);
    // Before the background is painted on `hdc` (cx x cy pixels);
    // *bSkipDefault = true keeps what the handler painted.
    void OnDrawBackground(QPainter* hdc, int cx, int cy, bool* bSkipDefault);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // Left and Right, Home and End select tabs (uTabAccessible.cpp).
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    struct MouseRecord {
        int button = 0;
        int shift = 0;
        float x = 0;
        float y = 0;
    };

    void WindowProc(bool bBefore, bool& bHandled, LResult& lReturn, WindowHandle lng_hWnd,
        std::uint32_t uMsg, WParam wParam, LParam lParam, LParam& lParamUser) override;
    // The strip's message procedure: paints of the strip's own window and
    // the container's size, which every page follows.
    void c_Subclass_WindowProc(
        bool bBefore, bool& bHandled, LResult& lReturn, WindowHandle lng_hWnd, std::uint32_t uMsg);

    int clientWidth() const { return width(); }
    int tabAreaWidth() const;
    const QImage& currentSkin() const;
    void CreateBuffers();
    void FreeBuffers();
    void CalcTabWidth();
    void LayoutTabs();
    void RedrawAll(bool update);
    void DrawBackground();
    void DrawTabs(bool update);
    void drawTab(QPainter& p, int index, bool selected);
    void DrawCaption(QPainter& p, const QString& text, const QRect& box);
    void AttachPage(QWidget* page);
    void ShowSelectedPage();
    // The selected tab's page window when it is in the container, else null.
    QWidget* SelectedPageWindow() const;
    void blitComposite();
    const QImage& defaultBackground();
    const QImage& bodyImage(int sourceX, const QRect& target);
    void dropCaches();

    void Press(int button, int shift, float x, float y);
    void Move(int button, int shift, float x, float y);
    void Release(int button, int shift, float x, float y);
    void MouseLeave();

    std::unique_ptr<CTabItems> m_items;
    std::unique_ptr<CSubclass> m_subclass;
    QPointer<QWidget> m_container;
    int m_selected = -1;
    int m_tabLeftSize = 40;
    int m_tabRightSize = 0;
    int m_tabStyle = 0;
    int m_hover = -1;
    tablayout::CloseState m_closeState = tablayout::CloseState::None;
    int m_standardWidth = 108;
    bool m_redrawEnabled = false;
    QImage m_skin0;
    QImage m_skin1;
    QFont m_normalFont;
    QFont m_boldFont;
    QImage m_composite;
    QImage m_background;
    QImage m_tabArea;
    MouseRecord m_record;

    // What a repaint would otherwise make again each time: the background
    // stretched from the skin's column, each tab body (it depends only on its
    // state and size) and each caption fitted to its box.
    struct CaptionFit {
        QString shown;
        bool cut = false;
    };
    QImage m_backgroundCache;
    // Left, Width and HideButton of every tab in one array, so that a hit
    // test walks no objects. Every change of the list or of an item reaches
    // the strip (Add, Remove, Clear, Redraw) and marks it stale.
    mutable std::vector<tablayout::HitTab> m_hitTabs;
    mutable bool m_hitTabsStale = true;
    std::map<std::tuple<int, int, int, int>, QImage> m_bodyCache; // style, source x, w, h
    std::map<std::tuple<QString, int, bool>, CaptionFit> m_captionCache; // text, width, bold
};

} // namespace kest
