#pragma once

#include "launcher/shared/EngineSide.h"

#include <QString>

#include <memory>

namespace kest {

// The launcher's engine library, loaded by the front program from its own
// folder. A library that is missing, cannot be loaded, lacks an entry point,
// or was built as another version or with another interface is refused, and
// error() says exactly why. A library once loaded is never unloaded: the
// engine registers clean-ups that run as the application object goes.
class EngineLibrary final {
public:
    // The library's place: `programFolder`/libkest-engine.so.
    static QString pathIn(const QString& programFolder);

    // Loads the library at `path` and checks that it reports `ownVersion`
    // and this build's interface. False with error() when it does not.
    bool load(const QString& path, const QString& ownVersion);
    // The engine side, once load() has succeeded; the caller owns it.
    std::unique_ptr<EngineSide> create() const;

    // The reason load() failed, for the event log: the loader's own text,
    // or both versions.
    const QString& error() const { return m_error; }

private:
    EngineCreateEntry m_create = nullptr;
    QString m_error;
};

} // namespace kest
