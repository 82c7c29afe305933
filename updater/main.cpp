#include "platform/cmdline.h"
#include "platform/eventlog.h"
#include "platform/shell.h"
#include "platform/tempdir.h"
#include "skin/captionbar.h"
#include "updater/UpdateFrm.h"
#include "updater/core/manifest.h"

#include <QApplication>
#include <QFile>
#include <QLockFile>

int main(int argc, char* argv[])
{
    const kest::ProgramCommandLine commandLine = kest::answerCommandLine(argc, argv,
        { QStringLiteral("Update"),
            QStringLiteral("The game client's updater. The launcher starts it after the player "
                           "agreed to an update; it installs the files the version manifest "
                           "lists and starts the launcher again."),
            QStringLiteral("folder|launcher"),
            QStringLiteral("the install folder and the launcher's path, separated by \"|\"") });
    if (commandLine.action != kest::ProgramCommandLine::Action::Run)
        return 0;
    kest::setEventLogIdent(QStringLiteral("Update"));
    kest::routeQtMessagesToEventLog();
    // As the launcher: the desktop's scale as it is (see launcher/main.cpp).
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication app(argc, argv);
    kest::setSkinProgram(kest::SkinProgram::Updater);

    // The launcher passes one argument, "install folder|launcher path"; a
    // shell that split it at spaces is forgiven by joining the pieces again.
    const QString& text = commandLine.commandText;
    if (text.isEmpty())
        return 0;
    const auto parsed
        = kest::update::parseUpdaterCommandLine(QFile::encodeName(text).toStdString());
    if (!parsed) {
        kest::logEvent(
            QStringLiteral("started without an install folder and launcher: %1").arg(text));
        return 0;
    }

    const QString tempDir = kest::GetTempDir();
    if (tempDir.isEmpty())
        return 0; // the reason is in the event log
    QLockFile single(tempDir + QStringLiteral("Update.lock"));
    single.setStaleLockTime(0); // a crashed updater's lock is taken over by PID
    if (!single.tryLock(0)) {
        kest::logEvent(QStringLiteral("another updater is running"));
        return 0;
    }

    QString next;
    {
        kest::UpdateFrm window(*parsed, tempDir + QStringLiteral("update.txt"));
        next = window.runUpdate();
    }
    // The last listed file is the new launcher; should it not start (a
    // manifest that lists another file last), the launcher that was named on
    // the command line is started instead, so the player is not left with none.
    const QString launcher = QString::fromStdString(parsed->launcherPath);
    if (!next.isEmpty() && !kest::startProgram(next) && next != launcher)
        kest::startProgram(launcher);
    return 0;
}
