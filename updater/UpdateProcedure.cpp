#include "updater/UpdateProcedure.h"

#include "platform/eventlog.h"
#include "updater/CKvDownLoadFile.h"
#include "updater/LocalManifest.h"
#include "updater/core/signature.h"
#include "updater/core/transaction.h"

#include <QStringDecoder>

#include <sys/stat.h>

namespace kest {

namespace {

// A manifest's bytes as an address Qt carries unchanged: bytes above ASCII (a name in
// the platform's code page) percent-encoded, so the server gets the bytes it listed.
// The manifest has refused spaces and control bytes already.
QString addressOf(const std::string& url)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        }
    }
    return QString::fromLatin1(out);
}

// A name for the window and the event log. Not UTF-8, it is most likely in the Chinese
// code page platforms write their manifests in; the file itself keeps the bytes.
QString displayName(const std::string& name)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(QByteArrayView(name.data(), qsizetype(name.size())));
    if (!utf8.hasError())
        return text;
    QStringDecoder chinese("GB18030");
    if (chinese.isValid()) {
        text = chinese(QByteArrayView(name.data(), qsizetype(name.size())));
        if (!chinese.hasError())
            return text;
    }
    return QString::fromUtf8(name.data(), qsizetype(name.size()));
}

} // namespace

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
        const QString name = displayName(file.fileName);
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
        const bool ok = m_downloader.DownLoadFile(addressOf(file.url),
            QString::fromStdString(transaction.stagedPath(file.fileName)), false, true);
        m_downloader.clearExpectedContent();
        if (m_cancelled) {
            transaction.rollback();
            logInfo(QStringLiteral("update cancelled during %1").arg(name));
            return Outcome::Cancelled;
        }
        if (!ok) {
            transaction.rollback();
            return failWith(
                QStringLiteral("the download of %1 from %2 failed").arg(name, addressOf(file.url)));
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
