#include "tests/support/signing.h"

#include "tests/support/testenv.h"

#include <QFile>
#include <QProcess>

#include <cstdio>

namespace kest::test {

namespace {

bool runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.closeWriteChannel();
    const bool ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    if (!ok) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAll().constData());
    }
    return ok;
}

} // namespace

SigningKey::SigningKey()
{
    const QString pub = m_dir.filePath(QStringLiteral("kest.pub"));
    if (!runTool(QStringLiteral("minisign"),
            { QStringLiteral("-G"), QStringLiteral("-W"), QStringLiteral("-p"), pub,
                QStringLiteral("-s"), secretKeyPath() }))
        return;
    QFile file(pub);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.size() >= 2)
        m_publicLine = lines[1].trimmed();
}

bool SigningKey::sign(const QString& file, bool legacy) const
{
    QStringList arguments { QStringLiteral("-S"), QStringLiteral("-s"), secretKeyPath(),
        QStringLiteral("-m"), file, QStringLiteral("-t"), QStringLiteral("kest test") };
    if (legacy)
        arguments << QStringLiteral("-l");
    return runTool(QStringLiteral("minisign"), arguments);
}

bool publishRelease(const QString& release, const QString& base, const QString& version,
    const QString& out, const SigningKey* key)
{
    QStringList arguments { QStringLiteral("--out"), out };
    if (key)
        arguments << QStringLiteral("--key") << key->secretKeyPath();
    arguments << release << base << version;
    return runTool(sourceDir() + QStringLiteral("/scripts/kest-publish"), arguments);
}

} // namespace kest::test
