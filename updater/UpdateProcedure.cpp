#include "updater/UpdateProcedure.h"

#include "platform/eventlog.h"
#include "updater/CKvDownLoadFile.h"
#include "updater/LocalManifest.h"
#include "updater/core/signature.h"
#include "updater/core/transaction.h"

#include <sys/stat.h>

namespace kest {

UpdateProcedure::UpdateProcedure(update::UpdaterCommandLine commandLine, QString manifestPath,
    CKvDownLoadFile& downloader, QObject* parent)
    : QObject(parent)
    , m_commandLine(std::move(commandLine))
    , m_manifestPath(std::move(manifestPath))
    , m_downloader(downloader)
    , m_launcherToStart(QString::fromStdString(m_commandLine.launcherPath))
{ }

void UpdateProcedure::cancel()
{
    m_cancelled = true;
    m_downloader.StopDownLoad();
}

UpdateProcedure::Outcome UpdateProcedure::failWith(const QString& why)
{
    m_error = why;
    logEvent(QStringLiteral("update failed: %1").arg(why));
    return Outcome::Failed;
}

bool UpdateProcedure::isInstalled(const update::ManifestFile& file) const
{
    if (!file.isChecked())
        return false;
    const std::string path = m_commandLine.installFolder + file.fileName;
    struct stat st { };
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != file.size)
        return false;
    return update::fileSha256(path) == file.sha256;
}

UpdateProcedure::Outcome UpdateProcedure::run()
{
    update::InstallTransaction transaction(m_commandLine.installFolder);
    // Whatever an earlier run left half done is finished or undone first, so
    // the folder is in one piece before anything else is decided.
    if (!transaction.recover())
        logEvent(QStringLiteral("update: %1").arg(QString::fromStdString(transaction.error())));

    const LocalManifest local = readLocalManifest(m_manifestPath);
    if (!local.found) {
        logEvent(QStringLiteral("update: no manifest at %1; nothing to do").arg(m_manifestPath));
        return Outcome::NothingToDo;
    }
    // The same rule as the launcher's: the whole manifest is judged before
    // anything is written. Without a key a manifest naming no version still
    // installs, as it always did.
    const update::ManifestVerdict& verdict = local.verdict;
    if (!verdict.accepted
        && !(verdict.refusal == update::Refusal::NoVersion && !deploymentUpdateTrust().signedOnly))
        return failWith(QString::fromStdString(verdict.why));
    const update::ManifestFiles& listed = verdict.files;
    for (const update::ManifestFile& file : listed.files) {
        if (update::InstallTransaction::isReservedName(file.fileName)) {
            return failWith(QStringLiteral("the manifest is damaged: %1 names the staging folder")
                                .arg(QString::fromStdString(file.url)));
        }
    }

    if (!transaction.begin())
        return failWith(QString::fromStdString(transaction.error()));

    std::vector<std::string> names;
    for (const update::ManifestFile& file : listed.files) {
        const QString name = QString::fromStdString(file.fileName);
        if (isInstalled(file)) {
            logInfo(QStringLiteral("update: %1 is unchanged; not downloaded").arg(name));
            continue;
        }
        emit fileStarted(name);
        // A listed size bounds the transfer; a listed digest is checked
        // before the file can reach the install folder.
        if (file.isChecked())
            m_downloader.setExpectedContent(file.size, QByteArray::fromStdString(file.sha256));
        else
            m_downloader.clearExpectedContent();
        const bool ok = m_downloader.DownLoadFile(QString::fromStdString(file.url),
            QString::fromStdString(transaction.stagedPath(file.fileName)), false, true);
        m_downloader.clearExpectedContent();
        if (m_cancelled) {
            transaction.rollback();
            logInfo(QStringLiteral("update cancelled during %1").arg(name));
            return Outcome::Cancelled;
        }
        if (!ok) {
            transaction.rollback();
            return failWith(QStringLiteral("the download of %1 from %2 failed")
                                .arg(name, QString::fromStdString(file.url)));
        }
        names.push_back(file.fileName);
    }

    const std::string& launcher = listed.files.back().fileName;
    if (names.empty()) {
        transaction.rollback(); // every file is already the listed one
    } else {
        transaction.setStepHook(m_commitStepHook);
        if (!transaction.commit(names, names.back() == launcher)) {
            const Outcome outcome = failWith(QString::fromStdString(transaction.error()));
            return transaction.leftUnfinished() ? Outcome::RollbackFailed : outcome;
        }
    }

    m_launcherToStart = QString::fromStdString(m_commandLine.installFolder + launcher);
    return Outcome::Updated;
}

} // namespace kest
