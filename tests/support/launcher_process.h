#pragma once

// The real launcher (the program KEST_BIN names) as a process of its own, for
// the end-to-end tests.

#include "tests/support/testenv.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kest::test {

// One run of the launcher with its own browser storage, event log and
// (optionally) default browser.
class Launcher {
public:
    Launcher();
    ~Launcher();

    QProcessEnvironment& environment() { return m_env; }
    // Point the launcher's three hosts at `host`.
    void useHost(const QString& host);
    // Makes a recorder the desktop's default web browser: every address it is
    // asked to open is appended to openedAddresses().
    void installRecordingBrowser();
    QString openedAddresses() const
    {
        return readText(m_dir.filePath(QStringLiteral("opened.txt")));
    }
    // QT_QPA_PLATFORM and QTWEBENGINE_CHROMIUM_FLAGS as that browser saw them.
    QString browserEnvironment() const
    {
        return readText(m_dir.filePath(QStringLiteral("environment.txt")));
    }

    // `wrapper` runs first with the launcher as its last argument (e.g. unshare).
    bool start(const QStringList& arguments = {}, const QStringList& wrapper = {});
    qint64 pid() const { return m_pid; }
    bool waitForExit(int timeoutMs);
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    QString output() const { return readText(m_dir.filePath(QStringLiteral("stdout.txt"))); }
    QString errorOutput() const { return readText(m_dir.filePath(QStringLiteral("stderr.txt"))); }
    QString eventLog() const { return readText(m_dir.filePath(QStringLiteral("events.log"))); }
    void stop();

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    QProcess m_process;
    qint64 m_pid = 0;
};

} // namespace kest::test
