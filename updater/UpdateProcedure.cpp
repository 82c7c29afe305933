#include "updater/UpdateProcedure.h"

#include "platform/eventlog.h"
#include "updater/CKvDownLoadFile.h"
#include "updater/core/transaction.h"

#include <QFile>

#include <algorithm>

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

UpdateProcedure::Outcome UpdateProcedure::run()
{
    update::InstallTransaction transaction(m_commandLine.installFolder);
    // Whatever an earlier run left half done is finished or undone first, so
    // the folder is in one piece before anything else is decided.
    if (!transaction.recover())
        logEvent(QStringLiteral("update: %1").arg(QString::fromStdString(transaction.error())));

    QFile manifestFile(m_manifestPath);
    if (!manifestFile.open(QIODevice::ReadOnly)) {
        logEvent(QStringLiteral("update: no manifest at %1; nothing to do").arg(m_manifestPath));
        return Outcome::NothingToDo;
    }
    if (manifestFile.size() > update::kManifestSizeLimit) {
        return failWith(
            QStringLiteral("the manifest is damaged: %1 bytes, more than a manifest holds")
                .arg(manifestFile.size()));
    }
    const QByteArray manifest = manifestFile.read(update::kManifestSizeLimit);
    manifestFile.close();

    // The whole manifest is checked before anything is written.
    const update::ManifestFiles listed
        = update::manifestFiles(std::string_view(manifest.constData(), size_t(manifest.size())));
    if (listed.error != update::ManifestError::None) {
        return failWith(QStringLiteral("the manifest is damaged: %1 (%2)")
                            .arg(QString::fromUtf8(update::describe(listed.error)),
                                QString::fromUtf8(listed.badLine.data(),
                                    qsizetype(std::min<size_t>(listed.badLine.size(), 200)))));
    }
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
        emit fileStarted(name);
        const bool ok = m_downloader.DownLoadFile(QString::fromStdString(file.url),
            QString::fromStdString(transaction.stagedPath(file.fileName)), false, true);
        if (m_cancelled) {
            transaction.rollback();
            logEvent(QStringLiteral("update cancelled during %1").arg(name));
            return Outcome::Cancelled;
        }
        if (!ok) {
            transaction.rollback();
            return failWith(QStringLiteral("the download of %1 from %2 failed")
                                .arg(name, QString::fromStdString(file.url)));
        }
        names.push_back(file.fileName);
    }

    if (!transaction.commit(names))
        return failWith(QString::fromStdString(transaction.error()));

    m_launcherToStart = QString::fromStdString(m_commandLine.installFolder + names.back());
    return Outcome::Updated;
}

} // namespace kest
