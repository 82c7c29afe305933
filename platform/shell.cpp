#include "platform/shell.h"

#include "platform/cmdline.h"
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
    // xdg-open and the browser it starts get the player's environment.
    const PlayerEnvironmentScope playerEnvironment;
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
    // With the player's environment, not the one this process set for its
    // own libraries (the platform plugin, the browser engine's flags).
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(folder);
    process.setProcessEnvironment(playerEnvironment());
    if (!process.startDetached()) {
        logEvent(QStringLiteral("startProgram: cannot start %1").arg(program));
        return false;
    }
    return true;
}

} // namespace kest
