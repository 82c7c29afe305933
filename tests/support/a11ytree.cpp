#include "tests/support/a11ytree.h"

#include "tests/support/testenv.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

namespace kest::test {

bool accessibilityBusUp()
{
    return qEnvironmentVariable("KEST_TEST_A11Y_BUS") == QLatin1String("1");
}

QString accessibilityTree(qint64 pid, const QStringList& options, int timeoutMs, QString* error)
{
    // The system's python: pyatspi is a Debian package, not in other pythons.
    const QString script = sourceDir() + QStringLiteral("/tests/support/a11y-tree");
    QElapsedTimer clock;
    clock.start();
    QString said;
    for (;;) {
        QProcess tree;
        tree.start(QStringLiteral("/usr/bin/python3"),
            QStringList { script, QStringLiteral("--pid"), QString::number(pid) } + options);
        if (!tree.waitForFinished(timeoutMs + 30000)) {
            tree.kill();
            tree.waitForFinished(1000);
            said = QStringLiteral("a11y-tree did not finish");
            break;
        }
        said = QString::fromUtf8(tree.readAllStandardError());
        if (tree.exitStatus() == QProcess::NormalExit && tree.exitCode() == 0)
            return QString::fromUtf8(tree.readAllStandardOutput());
        // 3: the program has not registered on the bus yet.
        if (tree.exitCode() != 3 || clock.elapsed() > timeoutMs)
            break;
        QThread::msleep(200);
    }
    if (error)
        *error = said;
    return {};
}

QStringList linesOfRole(const QString& tree, const QString& role)
{
    QStringList lines;
    for (const QString& line : tree.split(QLatin1Char('\n')))
        if (line.trimmed().startsWith(role + QStringLiteral(" \"")))
            lines << line.trimmed();
    return lines;
}

} // namespace kest::test
