// The front program's check of the engine library: every library that does
// not fit is refused with the exact reason, and never called.
#include "launcher/EngineLibrary.h"
#include "platform/deploy.h"
#include "tests/support/testenv.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString engineDouble(const char* name)
{
    return kest::test::binaryDir()
        + QStringLiteral("/tests/engine-doubles/lib%1.so").arg(QLatin1String(name));
}

TEST(EngineLibrary, RefusesEveryLibraryThatDoesNotFit)
{
    QTemporaryDir dir;
    const QString notALibrary = dir.filePath(QStringLiteral("libkest-engine.so"));
    QFile text(notALibrary);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a library\n");
    text.close();

    const QString own = kest::programVersion();
    const struct {
        QString path;
        QString reason; // a part of error()
    } rows[] = {
        { dir.filePath(QStringLiteral("missing.so")), QStringLiteral("missing.so is missing") },
        { notALibrary, QStringLiteral("cannot load ") + notALibrary + QStringLiteral(": ") },
        { engineDouble("engine-no-create"),
            QStringLiteral("has no entry point kest_engine_create") },
        { engineDouble("engine-other-version"),
            QStringLiteral("is version 0.0.1 (interface %1); this program is version %2 "
                           "(interface %1)")
                .arg(kest::kEngineInterface)
                .arg(own) },
        { engineDouble("engine-other-interface"),
            QStringLiteral("is version %1 (interface 999); this program is version %1 "
                           "(interface %2)")
                .arg(own)
                .arg(kest::kEngineInterface) },
    };
    for (const auto& row : rows) {
        kest::EngineLibrary library;
        EXPECT_FALSE(library.load(row.path, own)) << qPrintable(row.path);
        EXPECT_TRUE(library.error().contains(row.reason))
            << qPrintable(library.error()) << "\nexpected: " << qPrintable(row.reason);
        EXPECT_EQ(library.create(), nullptr);
    }
    // The double with the program's own version and interface is taken.
    kest::EngineLibrary fitting;
    EXPECT_TRUE(fitting.load(engineDouble("engine-same"), own)) << qPrintable(fitting.error());
}

} // namespace
