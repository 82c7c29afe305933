#include "launcher/Launcher.h"

#include "launcher/EngineLibrary.h"
#include "launcher/login/LoadFrm.h"
#include "launcher/shared/PublicData.h"
#include "launcher/shared/UpdateCheck.h"
#include "platform/connection.h"
#include "platform/deploy.h"
#include "platform/eventlog.h"
#include "platform/forms.h"
#include "platform/messagebox.h"
#include "platform/process.h"
#include "platform/terminationsignals.h"

#include <QCoreApplication>
#include <QEvent>

#include <utility>

namespace kest {

Launcher::Launcher() = default;

Launcher::~Launcher()
{
    // The login page may be parked in the splash: the login windows go
    // first, then the splash; the engine side's end deletes both before its
    // main window, and everything before the browser profile.
    if (m_engine)
        m_engine->unloadLoginWindows();
    if (m_splash)
        m_splash->unload();
    m_engine.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Launcher::startUp(const QString& commandText)
{
    if (!InternetGetConnectedState()) {
        logEvent(QStringLiteral("start-up: no network connection"));
        showNoConnectionMessage();
        endProcessNow(kExitNoConnection);
    }

    if (UpdateCheck().startupCheck() == UpdateCheck::Result::UpdaterStarted)
        endProcessNow(0); // the updater replaces this program: get out of its way

    if (LoadFrm::isWebSwitch(commandText))
        endProcessNow(openHomePage(nullptr) ? 0 : kExitHomePageNotOpened);

    m_splash = new LoadFrm;
    connect(m_splash, &LoadFrm::readyForLogin, this, &Launcher::loadEngine);
    // Closing the splash ends the start-up, login windows and all.
    connect(m_splash, &LoadFrm::closed, this, [this] {
        if (m_engine)
            m_engine->unloadLoginWindows();
    });
    m_splash->showCentred();
}

void Launcher::loadEngine()
{
    if (m_engine)
        return;
    EngineLibrary library;
    if (library.load(
            EngineLibrary::pathIn(QCoreApplication::applicationDirPath()), programVersion()))
        m_engine = library.create();
    if (!m_engine) {
        logEvent(QStringLiteral("start-up: the engine library does not fit: ")
            + (library.error().isEmpty() ? QStringLiteral("it made no engine side")
                                         : library.error()));
        if (m_splash)
            m_splash->hide();
        MsgBox(nullptr, kProgramIncompleteText.toString(), kNoticeTitle.toString(),
            MsgIcon::Exclamation);
        endProcessNow(kExitProgramIncomplete);
    }
    m_engine->loadLoginWindows(m_splash, [this] {
        if (m_splash)
            m_splash->unload();
    });
    for (const QString& address : std::exchange(m_linksBeforeEngine, {}))
        m_engine->openLinked(address);
}

void Launcher::closeOnTerminationSignals()
{
    onTerminationSignals(this, [this] { closeEverything(); });
}

void Launcher::closeEverything()
{
    logInfo(QStringLiteral("ending on a termination signal"));
    // Still on the road to the splash (a question or a message is up): no
    // window would unload, and the road would go on after the quit.
    if (LoadedForms::instance().count() == 0)
        endProcessNow(0);
    if (m_engine)
        m_engine->unloadLoginWindows();
    if (m_splash)
        m_splash->unload();
    if (m_engine)
        m_engine->closeEverything();
    // Queued, so that the windows unloaded above are gone first.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

void Launcher::bringForward()
{
    // Before the engine side is loaded the splash is up, or a question that
    // is in front already.
    if (m_engine)
        m_engine->bringForward();
}

bool Launcher::openLinked(const QString& address)
{
    if (m_engine)
        return m_engine->openLinked(address);
    // A game page needs the login's session: it opens after the login.
    if (!m_linksBeforeEngine.contains(address))
        m_linksBeforeEngine.append(address);
    return true;
}

SessionInstance::Actions Launcher::laterStartActions()
{
    return {
        [this](const QString& address) { return openLinked(address); },
        [] { return openHomePage(nullptr); },
        [this] { bringForward(); },
    };
}

} // namespace kest
