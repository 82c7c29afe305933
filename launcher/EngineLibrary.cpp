#include "launcher/EngineLibrary.h"

#include <QFile>

#include <dlfcn.h>

namespace kest {

namespace {

QString loaderError()
{
    const char* text = ::dlerror();
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("no reason given");
}

} // namespace

QString EngineLibrary::pathIn(const QString& programFolder)
{
    return programFolder + QLatin1Char('/') + QLatin1String(kEngineLibraryName);
}

bool EngineLibrary::load(const QString& path, const QString& ownVersion)
{
    m_create = nullptr;
    m_error.clear();
    if (!QFile::exists(path)) {
        m_error = QStringLiteral("%1 is missing").arg(path);
        return false;
    }
    // Every symbol is bound now: a library that does not fit this program
    // fails here, with the loader's reason, not later in the middle of a
    // call. Local: nothing loaded later binds to the library's symbols.
    void* handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        m_error = QStringLiteral("cannot load %1: %2").arg(path, loaderError());
        return false;
    }
    // From here on the library stays mapped whatever happens: its static
    // constructors have run, and may have registered with Qt.
    const auto entry = [&](const char* name) -> void* {
        ::dlerror();
        void* address = ::dlsym(handle, name);
        if (!address && m_error.isEmpty())
            m_error = QStringLiteral("%1 has no entry point %2: %3")
                          .arg(path, QLatin1String(name), loaderError());
        return address;
    };
    const auto version = reinterpret_cast<EngineVersionEntry>(entry(kEngineVersionEntry));
    const auto interface = reinterpret_cast<EngineInterfaceEntry>(entry(kEngineInterfaceEntry));
    const auto create = reinterpret_cast<EngineCreateEntry>(entry(kEngineCreateEntry));
    if (!version || !interface || !create)
        return false;
    const char* theirVersion = version();
    const QString theirs = theirVersion ? QString::fromUtf8(theirVersion) : QString();
    const int theirInterface = interface();
    if (theirs != ownVersion || theirInterface != kEngineInterface) {
        m_error = QStringLiteral("%1 is version %2 (interface %3); this program is version %4 "
                                 "(interface %5)")
                      .arg(path, theirs.isEmpty() ? QStringLiteral("(none)") : theirs)
                      .arg(theirInterface)
                      .arg(ownVersion)
                      .arg(kEngineInterface);
        return false;
    }
    m_create = create;
    return true;
}

std::unique_ptr<EngineSide> EngineLibrary::create() const
{
    return std::unique_ptr<EngineSide>(m_create ? m_create() : nullptr);
}

} // namespace kest
