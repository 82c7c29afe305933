#include "CTabItem.h"

#include "ITabForm.h"
#include "IuTab.h"

namespace kest {

CTabItem::CTabItem() = default;

CTabItem::~CTabItem()
{
    // A page's close handler may still talk to its item; the strip must not
    // hear of an item that is half gone.
    m_strip = nullptr;
    if (ITabForm* form = Form()) {
        detachForm();
        form->Unload();
    }
}

void CTabItem::setCaption(const QString& caption)
{
    m_caption = caption;
    redrawStrip();
}

ITabForm* CTabItem::Form() const
{
    return m_formWindow ? m_form : nullptr;
}

void CTabItem::setForm(ITabForm* form)
{
    m_form = form;
    m_formWindow = form ? form->hWnd() : nullptr;
    if (!form)
        return;
    form->Initialize(m_strip, this);
    if (m_strip)
        m_strip->ChangeForm(this, form);
}

void CTabItem::setHideButton(bool hide)
{
    m_hideButton = hide;
    redrawStrip();
}

void CTabItem::setLockSize(bool lock)
{
    m_lockSize = lock;
    redrawStrip();
}

void CTabItem::detachForm()
{
    m_form = nullptr;
    m_formWindow.clear();
}

void CTabItem::redrawStrip()
{
    if (m_strip)
        m_strip->Redraw(true);
}

} // namespace kest
