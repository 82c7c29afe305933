#include "platform/displayplatform.h"

#include "platform/cmdline.h"
#include "platform/desktopnotice.h"
#include "platform/eventlog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kest {

namespace {

const QString kNoticeTitle = QStringLiteral("kest 无法启动");

// The first platform of a QT_QPA_PLATFORM value ("wayland;xcb" tries both),
// without its options ("xcb:display=:1").
QString firstPlatformOf(const QString& requested)
{
    return requested.section(QLatin1Char(';'), 0, 0).section(QLatin1Char(':'), 0, 0).trimmed();
}

bool isWaylandSession(const DisplayEnvironment& e)
{
    return !e.waylandDisplay.isEmpty() || e.sessionType == QLatin1String("wayland");
}

DisplayChoice automaticChoice(const DisplayEnvironment& e)
{
    using Platform = DisplayChoice::Platform;
    if (e.x11Answers)
        return { Platform::X11, "xcb",
            isWaylandSession(e)
                ? QStringLiteral("display: X11 on %1 through XWayland in a Wayland session")
                      .arg(e.x11Display)
                : QStringLiteral("display: X11 on %1").arg(e.x11Display),
            {} };
    if (e.waylandAnswers && e.waylandPluginInstalled)
        return { Platform::Wayland, "wayland",
            QStringLiteral("display: Wayland (%1) without XWayland: the compositor places the "
                           "windows, F10 needs the desktop's global-shortcuts portal")
                .arg(e.waylandDisplay.isEmpty() ? QStringLiteral("wayland-0") : e.waylandDisplay),
            {} };
    if (e.waylandAnswers)
        return { Platform::None, {},
            QStringLiteral("display: cannot start: the session is Wayland without XWayland and "
                           "Qt's Wayland platform (package qt6-wayland) is not installed"),
            QStringLiteral("桌面是 Wayland，但既没有 XWayland，也没有安装 Qt 的 Wayland 支持"
                           "（软件包 qt6-wayland）。请安装其中之一后再启动。") };
    if (!e.x11Display.isEmpty())
        return { Platform::None, {},
            QStringLiteral("display: cannot start: the X display %1 does not answer")
                .arg(e.x11Display),
            QStringLiteral("无法连接到显示器 %1：它没有应答。请在图形桌面中启动。")
                .arg(e.x11Display) };
    if (!e.waylandDisplay.isEmpty())
        return { Platform::None, {},
            QStringLiteral("display: cannot start: the Wayland compositor %1 does not answer")
                .arg(e.waylandDisplay),
            QStringLiteral("无法连接到 Wayland 桌面 %1：它没有应答。请在图形桌面中启动。")
                .arg(e.waylandDisplay) };
    return { Platform::None, {},
        QStringLiteral("display: cannot start: no graphical session (DISPLAY and "
                       "WAYLAND_DISPLAY are not set, session type '%1')")
            .arg(e.sessionType),
        QStringLiteral("没有图形桌面（没有 X11 或 Wayland 显示）。kest 需要在图形桌面中启动。") };
}

bool x11Answers(const QByteArray& display)
{
    // xcb reads the authority file as every X client does; the connection
    // is closed again before Qt opens its own.
    xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

bool waylandAnswers(const QString& display)
{
    // libwayland's rule: an absolute name is the socket, another one lies in
    // XDG_RUNTIME_DIR, and no name means wayland-0.
    QString path = display.isEmpty() ? QStringLiteral("wayland-0") : display;
    if (!QDir::isAbsolutePath(path)) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.isEmpty())
            return false;
        path = runtime + QLatin1Char('/') + path;
    }
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (encoded.size() >= static_cast<qsizetype>(sizeof(address.sun_path)))
        return false;
    std::memcpy(address.sun_path, encoded.constData(), static_cast<size_t>(encoded.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool answers
        = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return answers;
}

bool waylandPluginInstalled()
{
    // Debian's qt6-wayland brings both; either serves the launcher's windows.
    for (const QString& folder : QCoreApplication::libraryPaths())
        for (const char* name : { "libqwayland-egl.so", "libqwayland-generic.so" })
            if (QFileInfo::exists(folder + QStringLiteral("/platforms/") + QLatin1String(name)))
                return true;
    return false;
}

} // namespace

DisplayChoice chooseDisplayPlatform(const DisplayEnvironment& e)
{
    using Platform = DisplayChoice::Platform;
    if (e.requested.isEmpty())
        return automaticChoice(e);
    // The player's own setting is kept, unless it names the one platform
    // that cannot open here: Qt would abort on it before any window.
    const QString first = firstPlatformOf(e.requested);
    const bool single = !e.requested.contains(QLatin1Char(';'));
    const bool cannotOpen = single
        && ((first == QLatin1String("xcb") && !e.x11Answers)
            || (first.startsWith(QLatin1String("wayland"))
                && !(e.waylandAnswers && e.waylandPluginInstalled)));
    if (!cannotOpen)
        return { Platform::PlayersOwn, {},
            QStringLiteral("display: QT_QPA_PLATFORM=%1 as set").arg(e.requested), {} };
    DisplayChoice choice = automaticChoice(e);
    choice.log = QStringLiteral("display: QT_QPA_PLATFORM=%1 cannot open here; ").arg(e.requested)
        + choice.log.mid(QStringLiteral("display: ").size());
    return choice;
}

DisplayEnvironment probeDisplayEnvironment()
{
    DisplayEnvironment e;
    e.requested = qEnvironmentVariable("QT_QPA_PLATFORM");
    e.x11Display = qEnvironmentVariable("DISPLAY");
    e.waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    e.sessionType = qEnvironmentVariable("XDG_SESSION_TYPE");
    e.x11Answers = !e.x11Display.isEmpty() && x11Answers(qgetenv("DISPLAY"));
    // This runs before every splash: with an X display answering, Wayland
    // matters only when the player asked for it.
    if (e.x11Answers && !firstPlatformOf(e.requested).startsWith(QLatin1String("wayland")))
        return e;
    // Without a name libwayland tries wayland-0; so does the probe, but only
    // in a session that says it is Wayland.
    e.waylandAnswers = isWaylandSession(e) && waylandAnswers(e.waylandDisplay);
    e.waylandPluginInstalled = waylandPluginInstalled();
    return e;
}

bool settleDisplayPlatform()
{
    const DisplayChoice choice = chooseDisplayPlatform(probeDisplayEnvironment());
    if (choice.platform != DisplayChoice::Platform::None) {
        if (!choice.qpa.isEmpty())
            setForThisProcess("QT_QPA_PLATFORM", choice.qpa);
        logInfo(choice.log);
        return true;
    }
    logEvent(EventLevel::Error, choice.log);
    std::fprintf(stderr, "kest: %s\n%s\n", choice.log.toLocal8Bit().constData(),
        choice.notice.toLocal8Bit().constData());
    QString reason;
    if (!notifyDesktopAndWait(kNoticeTitle, choice.notice, &reason))
        logEvent(
            QStringLiteral("display: the desktop notification did not go out either: ") + reason);
    return false;
}

} // namespace kest
