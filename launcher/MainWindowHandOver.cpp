#include "launcher/MainWindowHandOver.h"

#include "launcher/WebMainFrm.h"

namespace kest {

MainWindowHandOver& mainWindow()
{
    return WebMainFrm::instance();
}

} // namespace kest
