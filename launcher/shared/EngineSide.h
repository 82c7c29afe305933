#pragma once

// What the launcher's front program sees of its engine library. The front
// (kest) is linked without the browser engine, so that the splash shows as
// soon as a plain Qt program's would; everything made of the engine (the
// login windows, the main window with its pages and tray icon, the browser
// profile) lives in the library beside it, loaded once the splash is on the
// screen. Both sides are built from one tree, and the front loads no library
// of another build: the entry points below tell the library's version and
// the shape of this interface before anything else is asked of it.

#include <QString>

#include <functional>

class QWidget;

namespace kest {

class EngineSide {
public:
    // Unloads every window of the engine side, then lets the browser profile
    // go, after every page made from it. The library itself stays mapped:
    // the engine registers clean-ups that run as the application object goes.
    virtual ~EngineSide() = default;

    // Loads the login windows, hidden, behind the splash: until they show,
    // their page renders in `splash`, so that it is there the moment they
    // show. `splashMayGo` is called once they show, and once they are gone
    // (nothing else would end a splash whose login page never arrives); it
    // may be called more than once.
    virtual void loadLoginWindows(QWidget* splash, std::function<void()> splashMayGo) = 0;
    // The splash was closed: the start-up ends, login windows and all.
    virtual void unloadLoginWindows() = 0;
    // A termination signal: the login windows and the main window (without
    // its exit question) unload.
    virtual void closeEverything() = 0;

    // What a later start asks: the windows to the front, and an address of
    // an app link opened in the main window, or after the login.
    virtual void bringForward() = 0;
    virtual bool openLinked(const QString& address) = 0;

protected:
    EngineSide() = default;
    EngineSide(const EngineSide&) = delete;
    EngineSide& operator=(const EngineSide&) = delete;
};

// The engine library's file name, in the front program's own folder.
inline constexpr const char* kEngineLibraryName = "libkest-engine.so";

// Raised whenever EngineSide or an entry point changes shape.
inline constexpr int kEngineInterface = 1;

// The entry points, extern "C" in the library:
//   const char* kest_engine_version()   the program version it was built as
//   int kest_engine_interface()         the kEngineInterface it was built with
//   kest::EngineSide* kest_engine_create()
// Create is called once, with the application object made and no browser
// engine object yet; the front owns what it returns.
inline constexpr const char* kEngineVersionEntry = "kest_engine_version";
inline constexpr const char* kEngineInterfaceEntry = "kest_engine_interface";
inline constexpr const char* kEngineCreateEntry = "kest_engine_create";
using EngineVersionEntry = const char* (*)();
using EngineInterfaceEntry = int (*)();
using EngineCreateEntry = EngineSide* (*)();

} // namespace kest
