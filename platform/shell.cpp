#include "platform/shell.h"

#include "platform/eventlog.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace kest {

bool openAddress(const QString& address)
{
    const QUrl url = QUrl::fromUserInput(address);
    if (!url.isValid()) {
        logEvent(QStringLiteral("openAddress: not an address: %1").arg(addressForLog(address)));
        return false;
    }
    if (!QDesktopServices::openUrl(url)) {
        logEvent(QStringLiteral("openAddress: no handler opened %1").arg(addressForLog(address)));
        return false;
    }
    return true;
}

bool startProgram(
    const QString& program, const QStringList& arguments, const QString& workingDirectory)
{
    const QString folder
        = workingDirectory.isEmpty() ? QFileInfo(program).absolutePath() : workingDirectory;
    if (!QProcess::startDetached(program, arguments, folder)) {
        logEvent(QStringLiteral("startProgram: cannot start %1").arg(program));
        return false;
    }
    return true;
}

} // namespace kest
