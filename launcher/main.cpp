#include "launcher/Launcher.h"
#include "launcher/shared/SessionInstance.h"
#include "launcher/shared/UserCopy.h"
#include "platform/cmdline.h"
#include "platform/deploy.h"
#include "platform/displayplatform.h"
#include "platform/eventlog.h"
#include "updater/core/transaction.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// The desktop file, the metainfo and the bus activation file are named by it.
const QString kApplicationId = QStringLiteral("org.kest.Client");

// A packaged kest runs the player's own copy of itself, which can update
// itself (see kest::UserCopy). Returns only when this process goes on as the
// program: not a packaged copy, or no per-user copy could be placed or run,
// and then the packaged copy runs, without updates.
void runPerUserCopy(char* argv[])
{
    const QFileInfo self(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath());
    if (!kest::UserCopy::isSystemCopy(self.absolutePath()))
        return;
    kest::UserCopy copy(self.absolutePath(), self.fileName(), kest::programVersion());
    // A marker copied into the player's folder by hand must not make the
    // copy place itself over itself.
    if (QFileInfo(copy.launcher()).canonicalFilePath() == self.filePath())
        return;
    if (!copy.ensure()) {
        kest::logEvent(QStringLiteral("per-user copy: cannot place it in %1 (%2); the "
                                      "system-wide copy runs, without updates")
                           .arg(kest::UserCopy::folder(), copy.error()));
        return;
    }
    kest::logInfo(QStringLiteral("per-user copy %1: %2").arg(copy.launcher(), copy.what()));
    const QByteArray launcher = QFile::encodeName(copy.launcher());
    ::execv(launcher.constData(), argv);
    kest::logEvent(QStringLiteral("per-user copy: cannot start %1 (%2); the system-wide copy "
                                  "runs, without updates")
                       .arg(copy.launcher(), QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace

int main(int argc, char* argv[])
{
    const kest::ProgramCommandLine commandLine = kest::answerCommandLine(argc, argv,
        { QStringLiteral("kest"),
            QStringLiteral("The game platform's desktop client: its login page, then the "
                           "game in tabs of its own window, with a tray icon and the F10 hot "
                           "key."),
            QStringLiteral("command"),
            QStringLiteral("/web opens the platform's home page in the browser and ends; "
                           "anything else is ignored. When kest runs already, the running one "
                           "acts on it and this start ends.") });
    if (commandLine.action != kest::ProgramCommandLine::Action::Run)
        return 0;
    kest::setEventLogIdent(QStringLiteral("kest"));
    kest::routeQtMessagesToEventLog();
    runPerUserCopy(argv);

    // X11 where there is an X display (XWayland too), else Wayland; with
    // neither, the player is told why instead of Qt aborting.
    if (!kest::settleDisplayPlatform())
        return 1;
    // Game pages in covered tabs and behind a hidden main window are hidden
    // to the engine. Like any browser's background tab their timers then run
    // about once a second, which browser games are written for; but after five
    // minutes the engine would slow them to once a minute, and a game left in
    // a background tab or behind the hot key would all but stop.
    kest::setForThisProcess("QTWEBENGINE_CHROMIUM_FLAGS",
        qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --disable-features=IntensiveWakeUpThrottling");
    // The browser engine is loaded from the engine library once the splash
    // shows, after the application object: the contexts it shares with the
    // application's windows have to be asked for before that object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

    // The desktop's scale is taken as it is, 125 % and 150 % included
    // (PassThrough; Qt 6's default, set here so that no environment default
    // changes it): the windows keep their layout in logical pixels, their
    // pictures are loaded for the exact ratio and their shapes are cut on
    // device pixels, so fractional ratios draw cleanly. Round would show a
    // 150 % desktop's windows at twice their size and a 125 % one's at 100 %;
    // RoundPreferFloor would leave both at 100 %: either way the windows
    // would not match the rest of the desktop.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(kApplicationId);
    // The process ends when no window is left loaded, not when the last one
    // is hidden: see kest::LoadedForms.
    QApplication::setQuitOnLastWindowClosed(false);

    kest::Launcher launcher;
    kest::SessionInstance instance(launcher.laterStartActions());
    switch (instance.claim(commandLine.commandText)) {
    case kest::SessionInstance::Claim::HandedOver:
        return 0;
    case kest::SessionInstance::Claim::NotHandedOver:
        return 1;
    case kest::SessionInstance::Claim::First:
    case kest::SessionInstance::Claim::Alone:
        break;
    }

    // An update cut short (kill -9, a power cut) is finished or undone before
    // anything runs from this folder.
    if (kest::update::InstallTransaction installed(
            QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
        !installed.recover())
        kest::logEvent(QString::fromStdString("start-up: " + installed.error()));

    launcher.closeOnTerminationSignals();
    launcher.startUp(commandLine.commandText);
    return app.exec();
}
