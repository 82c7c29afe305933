#include "launcher/mainwindow/MainWindowHandOver.h"

#include "launcher/mainwindow/WebMainFrm.h"

#include <utility>

namespace kest {

namespace {

QStringList& linksAfterLogin()
{
    static QStringList links;
    return links;
}

} // namespace

void openAfterLogin(const QString& address)
{
    if (!linksAfterLogin().contains(address))
        linksAfterLogin().append(address);
}

QStringList takeLinksOpenedAfterLogin()
{
    return std::exchange(linksAfterLogin(), {});
}

MainWindowHandOver& mainWindow()
{
    return WebMainFrm::instance();
}

} // namespace kest
