#include "launcher/LoadFrm.h"
#include "launcher/LoginPage.h"
#include "platform/cmdline.h"
#include "platform/eventlog.h"
#include "updater/core/transaction.h"

#include <QApplication>
#include <QFile>
#include <QStringList>

int main(int argc, char* argv[])
{
    const kest::ProgramCommandLine commandLine = kest::answerCommandLine(argc, argv,
        { QStringLiteral("kest"),
            QStringLiteral("The game platform's desktop client: its login page, then the "
                           "game in tabs of its own window, with a tray icon and the F10 hot "
                           "key."),
            QStringLiteral("command"),
            QStringLiteral("/web opens the platform's home page in the browser and ends; "
                           "anything else is ignored.") });
    if (commandLine.action != kest::ProgramCommandLine::Action::Run)
        return 0;

    // The launcher places, shapes and stacks its own windows, which only X11
    // allows; on a Wayland desktop it runs through XWayland. Programs it
    // starts get the player's setting back.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        kest::setForThisProcess("QT_QPA_PLATFORM", "xcb");
    // Game pages in covered tabs and behind a hidden main window are hidden
    // to the engine. Like any browser's background tab their timers then run
    // about once a second, which browser games are written for; but after five
    // minutes the engine would slow them to once a minute, and a game left in
    // a background tab or behind the hot key would all but stop.
    kest::setForThisProcess("QTWEBENGINE_CHROMIUM_FLAGS",
        qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --disable-features=IntensiveWakeUpThrottling");
    kest::LoginPage::registerAppScheme();

    QApplication app(argc, argv);
    // The process ends when no window is left loaded, not when the last one
    // is hidden: see kest::LoadedForms.
    QApplication::setQuitOnLastWindowClosed(false);
    kest::setEventLogIdent(QStringLiteral("kest"));
    // An update cut short (kill -9, a power cut) is finished or undone before
    // anything runs from this folder.
    if (kest::update::InstallTransaction installed(
            QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
        !installed.recover())
        kest::logEvent(QString::fromStdString("start-up: " + installed.error()));

    kest::LoadFrm::closeOnTerminationSignals();
    kest::LoadFrm::startUp(commandLine.commandText);
    return app.exec();
}
