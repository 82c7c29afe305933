#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <map>
#include <optional>
#include <string>

namespace kest::test {

// The source and build folders, from the environment CTest gives each test.
QString sourceDir();
QString binaryDir();

// A loopback TCP port that was free a moment ago.
int freePort();

// The permission bits (07777) of the file or folder at `path` itself (a link
// is not followed); 0 when there is none.
unsigned modeOf(const QString& path);

// A folder for this test's artefacts (screenshots, logs) that outlives the
// run: <build>/test-artifacts/<name>/.
QString artifactDir(const QString& name);

// Sets environment variables for the life of the object (a null value
// unsets), then puts back what was there.
class ScopedEnvironment final {
public:
    explicit ScopedEnvironment(const std::map<std::string, QByteArray>& values);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::map<std::string, std::optional<QByteArray>> m_saved;
};

// The text of the file at `path`; "" when there is none.
QString readText(const QString& path);

// Points this process's event log (KEST_EVENT_LOG) at a file of its own for
// the life of the object, then puts back what was there.
class EventLog final {
public:
    EventLog();
    QString path() const { return m_path; }
    // What was logged so far ("" while nothing was), and its lines.
    QString text() const { return readText(m_path); }
    QStringList lines() const { return text().split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

private:
    QTemporaryDir m_dir;
    QString m_path;
    ScopedEnvironment m_env;
};

} // namespace kest::test
