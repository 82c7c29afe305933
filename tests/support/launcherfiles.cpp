#include "tests/support/launcherfiles.h"

#include "launcher/shared/EngineSide.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kest::test {

QStringList builtLauncherFiles()
{
    const QFileInfo program(qEnvironmentVariable("KEST_BIN"));
    return { program.absoluteFilePath(),
        program.absolutePath() + QLatin1Char('/') + QLatin1String(kEngineLibraryName) };
}

QString copyBuiltLauncher(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return {};
    QString program;
    for (const QString& file : builtLauncherFiles()) {
        const QString copy = folder + QLatin1Char('/') + QFileInfo(file).fileName();
        QFile::remove(copy);
        if (!QFile::copy(file, copy))
            return {};
        if (program.isEmpty())
            program = copy;
    }
    return program;
}

} // namespace kest::test
