#pragma once

#include <QString>

namespace kest::test {

// The source and build folders, from the environment CTest gives each test.
QString sourceDir();
QString binaryDir();

// A loopback TCP port that was free a moment ago.
int freePort();

// A folder for this test's artefacts (screenshots, logs) that outlives the
// run: <build>/test-artifacts/<name>/.
QString artifactDir(const QString& name);

} // namespace kest::test
