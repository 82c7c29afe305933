#pragma once

#include "launcher/shared/EngineSide.h"
#include "launcher/shared/SessionInstance.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

namespace kest {

class LoadFrm;

// The front program's owner of the start-up: the road to the splash, the
// splash itself, the termination signals and the answers to later starts.
// Once the splash is on the screen it loads the engine library from the
// program's folder, and the engine side (launcher/engine) owns the login
// windows, the main window and the way from one to the other from there on.
// Made once by main, after the application object; its end unloads the
// engine side's windows and the splash.
class Launcher final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Launcher)

public:
    Launcher();
    ~Launcher() override;

    // The road from process start to the login page: the network test (no
    // connection: the message, then the process ends), the start-up update
    // check, the "/web" switch (the home page opens, then the process ends),
    // and otherwise the splash, centred; once it has been painted, the
    // engine library is loaded and the login windows load behind it. A
    // library that does not fit: the message, then the process ends.
    void startUp(const QString& commandText);

    // SIGTERM and SIGINT close the program the way its windows close: the
    // login windows, the splash and the main window (without its exit
    // question) unload, and the status is 0. Before any window is loaded the
    // process ends at once, with status 0 too.
    void closeOnTerminationSignals();

    // What a later start of kest asks of this one.
    SessionInstance::Actions laterStartActions();

private:
    void loadEngine();
    void closeEverything();
    void bringForward();
    bool openLinked(const QString& address);

    QPointer<LoadFrm> m_splash;
    std::unique_ptr<EngineSide> m_engine;
    // App links a later start asked for before the engine side was loaded.
    QStringList m_linksBeforeEngine;
};

} // namespace kest
