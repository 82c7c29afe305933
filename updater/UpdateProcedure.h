#pragma once

#include "updater/core/manifest.h"
#include "updater/core/transaction.h"

#include <QObject>
#include <QString>

namespace kest {

class CKvDownLoadFile;

// The updater's work without its window: read the manifest the launcher left
// (and, with a built-in key, check its signature), download every listed file
// that is not installed already into a hidden staging folder of the install
// folder, each checked against its listed size and SHA-256, and only when all
// of them arrived complete move them into place in one transaction (the
// launcher last). A failure or a cancel leaves the install folder as it was.
class UpdateProcedure final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateProcedure)

public:
    enum class Outcome {
        Updated, // every file is in place; start launcherToStart()
        Cancelled, // the player stopped it; nothing changed; start the previous launcher
        Failed, // a download, the disk or the manifest failed; nothing changed
        // Moving the files in failed and so did putting the old ones back: the
        // folder holds some of each until the next start of either program
        // finishes the recovery. Start the launcher, whose start does it.
        RollbackFailed,
        NothingToDo, // no manifest to read: the updater ends quietly
    };
    Q_ENUM(Outcome)

    UpdateProcedure(update::UpdaterCommandLine commandLine, QString manifestPath,
        CKvDownLoadFile& downloader, QObject* parent = nullptr);

    Outcome run();
    // Stops the running download before its next block and ends the procedure
    // after it. Safe to call from the downloader's own event pump.
    void cancel();
    bool isCancelled() const { return m_cancelled; }

    // What to start when the procedure has ended: the last listed file after
    // an update, the launcher that was there before otherwise.
    QString launcherToStart() const { return m_launcherToStart; }
    // Why it failed, for the event log.
    QString error() const { return m_error; }

    // Called at each step of the commit (see InstallTransaction::setStepHook):
    // where tests put a fault at one precise moment of it.
    void setCommitStepHook(update::InstallTransaction::StepHook hook)
    {
        m_commitStepHook = std::move(hook);
    }

signals:
    // A file's download starts; the window shows its name.
    void fileStarted(const QString& fileName);

private:
    Outcome failWith(const QString& why);
    // The installed file is byte for byte the listed one (its size and
    // SHA-256 as listed): it need not be fetched again.
    bool isInstalled(const update::ManifestFile& file) const;

    update::UpdaterCommandLine m_commandLine;
    QString m_manifestPath;
    CKvDownLoadFile& m_downloader;
    bool m_cancelled = false;
    QString m_launcherToStart;
    QString m_error;
    update::InstallTransaction::StepHook m_commitStepHook;
};

} // namespace kest
