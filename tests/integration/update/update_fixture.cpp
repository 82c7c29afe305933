#include "tests/integration/update/update_fixture.h"

#include "platform/tempdir.h"
#include "tests/support/http_server.h"
#include "tests/support/signing.h"
#include "updater/CKvDownLoadFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>

#include <sys/stat.h>

namespace kest::test {

void PrintTo(const Tree& tree, std::ostream* out)
{
    *out << "{";
    for (const auto& [name, entry] : tree) {
        *out << "\n  " << name.toStdString() << " " << std::oct << entry.mode << std::dec << " "
             << entry.bytes.size() << " bytes: " << entry.bytes.left(24).toStdString();
    }
    *out << " }";
}

Tree snapshot(const QString& folder)
{
    Tree tree;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st { };
        ::lstat(QFile::encodeName(path).constData(), &st);
        Entry entry;
        entry.mode = static_cast<int>(st.st_mode & 07777);
        entry.bytes = S_ISDIR(st.st_mode) ? QByteArray("<dir>") : readFile(path);
        tree[path.mid(folder.size() + 1)] = entry;
    }
    return tree;
}

void writeFile(const QString& path, const QByteArray& bytes, int mode)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
    file.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(mode)), 0);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray launcherScript(const QByteArray& name, int paddingBytes)
{
    QByteArray script = "#!/bin/sh\necho " + name + "\nexit 0\n";
    if (paddingBytes > 0)
        script += "# " + QByteArray(paddingBytes, 'x') + "\n";
    return script;
}

QString runProgram(const QString& path)
{
    QProcess process;
    process.start(path, {});
    if (!process.waitForStarted(10000))
        return QStringLiteral("<not started>");
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return QStringLiteral("<failed %1>").arg(process.exitCode());
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

const QByteArray UpdateTest::kOldData = "old data";

QByteArray UpdateTest::newData()
{
    return patternBytes(0, 300000);
}

void UpdateTest::SetUp()
{
    ASSERT_TRUE(m_scratch.isValid());
    for (const char* folder : { "install", "served", "runtime" })
        ASSERT_TRUE(QDir().mkpath(m_scratch.filePath(QLatin1String(folder))));
    ::chmod(QFile::encodeName(runtimeFolder()).constData(), 0700);
    m_tempDir = privateTempDirUnder(runtimeFolder(), QStringLiteral("kest"));
    ASSERT_FALSE(m_tempDir.isEmpty());

    writeFile(launcherPath(), launcherScript("old-launcher"), 0755);
    writeFile(installFolder() + QStringLiteral("/data.pak"), kOldData, 0640);
    // The new launcher is longer than one block, so it arrives in pieces.
    writeFile(servedPath(QStringLiteral("kest")), launcherScript("new-launcher", 20000), 0644);
    writeFile(servedPath(QStringLiteral("data.pak")), newData(), 0644);
    ASSERT_EQ(runProgram(launcherPath()), QStringLiteral("old-launcher"));
}

QString UpdateTest::servedPath(const QString& name) const
{
    return m_scratch.filePath(QStringLiteral("served/") + name);
}

std::unique_ptr<DemoServer> UpdateTest::startDemo(const QStringList& extra)
{
    return std::make_unique<DemoServer>(
        QStringList { QStringLiteral("--version"), QStringLiteral("9.9.9"),
            QStringLiteral("--file"),
            QStringLiteral("data.pak=") + servedPath(QStringLiteral("data.pak")),
            QStringLiteral("--file"), QStringLiteral("kest=") + servedPath(QStringLiteral("kest")) }
        + extra);
}

bool UpdateTest::fetchManifest(const DemoServer& demo)
{
    CKvDownLoadFile downloader;
    return downloader.DownLoadFile(demo.manifestUrl(), manifestPath(), true, false);
}

bool UpdateTest::publish(const DemoServer& demo, const QString& version, const SigningKey* key)
{
    QDir().mkpath(publishedFolder());
    return publishRelease(m_scratch.filePath(QStringLiteral("served")),
        QStringLiteral("http://") + demo.host() + QStringLiteral("/gamehome/kest/files"), version,
        publishedFolder(), key);
}

void UpdateTest::placePublished()
{
    const QString signature = manifestPath() + QStringLiteral(".minisig");
    QFile::remove(signature);
    writeManifest(readFile(publishedFolder() + QStringLiteral("/update.txt")));
    const QString published = publishedFolder() + QStringLiteral("/update.txt.minisig");
    if (QFile::exists(published))
        writeFile(signature, readFile(published), 0600);
}

Tree UpdateTest::before() const
{
    return Tree { { QStringLiteral("kest"), { launcherScript("old-launcher"), 0755 } },
        { QStringLiteral("data.pak"), { kOldData, 0640 } } };
}

Tree UpdateTest::after() const
{
    return Tree { { QStringLiteral("kest"), { launcherScript("new-launcher", 20000), 0755 } },
        { QStringLiteral("data.pak"), { newData(), 0640 } } };
}

} // namespace kest::test
