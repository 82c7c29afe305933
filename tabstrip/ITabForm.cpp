#include "ITabForm.h"

#include <QPointer>
#include <QWidget>

namespace kest {

void ITabForm::Unload()
{
    QPointer<QWidget> window = hWnd();
    if (!window)
        return;
    // The tab is already gone when a page is unloaded, so a page that ignores
    // the close event is deleted all the same: refusing belongs to
    // OnItemColose. A page with WA_DeleteOnClose is gone after close().
    window->close();
    if (window)
        window->deleteLater();
}

} // namespace kest
