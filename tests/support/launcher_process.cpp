#include "tests/support/launcher_process.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace kest::test {

Launcher::Launcher()
    : m_env(QProcessEnvironment::systemEnvironment())
{
    for (const char* folder : { "data", "cache", "config" })
        QDir().mkpath(m_dir.filePath(QLatin1String(folder)));
    m_env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
    m_env.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.filePath(QStringLiteral("cache")));
    m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    m_env.insert(QStringLiteral("KEST_EVENT_LOG"), m_dir.filePath(QStringLiteral("events.log")));
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("stdout.txt")));
    m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("stderr.txt")));
}

Launcher::~Launcher()
{
    stop();
}

void Launcher::useHost(const QString& host)
{
    for (const char* name : { "KEST_LOGIN_HOST", "KEST_HOME_HOST", "KEST_STATIC_HOST" })
        m_env.insert(QLatin1String(name), host);
}

void Launcher::installRecordingBrowser()
{
    const QString recorder = m_dir.filePath(QStringLiteral("browser"));
    QFile script(recorder);
    script.open(QIODevice::WriteOnly);
    // It notes the two variables the launcher sets for itself, which a
    // browser it starts must not inherit, and then what it was asked to open
    // (last, as tests wait for that). A loopback server's root (its home
    // page, nothing deeper, which the launcher loads itself) it fetches too,
    // as a browser would, so that the server's request log shows when the
    // page was opened.
    script.write("#!/bin/sh\nprintf 'QT_QPA_PLATFORM=%s\\nQTWEBENGINE_CHROMIUM_FLAGS=%s\\n' "
                 "\"${QT_QPA_PLATFORM-(unset)}\" \"${QTWEBENGINE_CHROMIUM_FLAGS-(unset)}\" "
                 "> \"$(dirname \"$0\")/environment.txt\"\n"
                 "printf '%s\\n' \"$*\" >> \"$(dirname \"$0\")/opened.txt\"\n"
                 "case \"$1\" in\n"
                 "  http://127.0.0.1:*/*/*) ;;\n"
                 "  http://127.0.0.1:*/) curl -s -o /dev/null --max-time 5 \"$1\" ;;\n"
                 "esac\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QDir().mkpath(m_dir.filePath(QStringLiteral("data/applications")));
    QFile entry(m_dir.filePath(QStringLiteral("data/applications/kest-test-browser.desktop")));
    entry.open(QIODevice::WriteOnly);
    entry.write("[Desktop Entry]\nType=Application\nName=Recorder\nExec=" + recorder.toUtf8()
        + " %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\n");
    entry.close();
    QFile defaults(m_dir.filePath(QStringLiteral("config/mimeapps.list")));
    defaults.open(QIODevice::WriteOnly);
    defaults.write("[Default Applications]\nx-scheme-handler/http=kest-test-browser.desktop\n"
                   "x-scheme-handler/https=kest-test-browser.desktop\n");
}

bool Launcher::start(const QStringList& arguments, const QStringList& wrapper)
{
    m_process.setProcessEnvironment(m_env);
    const QString launcher = qEnvironmentVariable("KEST_BIN");
    if (wrapper.isEmpty())
        m_process.start(launcher, arguments);
    else
        m_process.start(wrapper.first(), wrapper.mid(1) + QStringList { launcher } + arguments);
    if (!m_process.waitForStarted(10000))
        return false;
    m_pid = m_process.processId();
    return true;
}

bool Launcher::waitForExit(int timeoutMs)
{
    return QTest::qWaitFor([this] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
}

void Launcher::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    // An orderly end: the windows unload and the browser engine shuts down,
    // slowly under the sanitizers on a busy machine.
    if (!m_process.waitForFinished(20000))
        m_process.kill();
    m_process.waitForFinished(2000);
}

} // namespace kest::test
