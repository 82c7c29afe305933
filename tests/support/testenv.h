#pragma once

#include <QByteArray>
#include <QString>

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

} // namespace kest::test
