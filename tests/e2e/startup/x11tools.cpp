#include "tests/e2e/startup/x11tools.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMultiHash>
#include <QRegularExpression>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace kest::e2e {

QString runTool(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(timeoutMs)) {
        tool.kill();
        tool.waitForFinished(1000);
        return {};
    }
    return QString::fromUtf8(tool.readAllStandardOutput());
}

XWindow describeWindow(const QString& id)
{
    XWindow window;
    window.id = id;
    const QString info = runTool(QStringLiteral("xwininfo"), { QStringLiteral("-id"), id });
    const auto number = [&info](const char* label) {
        const QRegularExpression re(QStringLiteral("%1:\\s*(-?\\d+)").arg(QLatin1String(label)));
        return re.match(info).captured(1).toInt();
    };
    window.geometry = QRect(number("Absolute upper-left X"), number("Absolute upper-left Y"),
        number("Width"), number("Height"));
    window.name
        = QRegularExpression(QStringLiteral("Window id: \\S+ \"(.*)\"")).match(info).captured(1);
    return window;
}

namespace {

QList<XWindow> search(const QStringList& arguments)
{
    QList<XWindow> windows;
    const QString ids = runTool(QStringLiteral("xdotool"),
        QStringList { QStringLiteral("search"), QStringLiteral("--onlyvisible") } + arguments);
    for (const QString& id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        windows << describeWindow(id.trimmed());
    return windows;
}

} // namespace

QList<XWindow> visibleWindowsOf(qint64 pid)
{
    return search({ QStringLiteral("--pid"), QString::number(pid) });
}

QList<XWindow> visibleWindowsNamed(const QString& name)
{
    QList<XWindow> named;
    for (const XWindow& window :
        search({ QStringLiteral("--name"), QStringLiteral("^%1$").arg(name) })) {
        if (window.name == name)
            named << window;
    }
    return named;
}

bool isIconic(const QString& id)
{
    return runTool(
        QStringLiteral("xprop"), { QStringLiteral("-id"), id, QStringLiteral("WM_STATE") })
        .contains(QLatin1String("Iconic"));
}

bool sendWindowManagerClose(const QString& id)
{
    bool ok = false;
    const xcb_window_t window = id.toUInt(&ok);
    if (!ok)
        return false;
    const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> connection(
        xcb_connect(nullptr, nullptr), xcb_disconnect);
    if (xcb_connection_has_error(connection.get()))
        return false;
    const auto atom = [&](const char* name) {
        const std::unique_ptr<xcb_intern_atom_reply_t, void (*)(void*)> reply(
            xcb_intern_atom_reply(connection.get(),
                xcb_intern_atom(connection.get(), 0, std::strlen(name), name), nullptr),
            std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    };
    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    const xcb_void_cookie_t sent = xcb_send_event_checked(connection.get(), 0, window,
        XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    const std::unique_ptr<xcb_generic_error_t, void (*)(void*)> error(
        xcb_request_check(connection.get(), sent), std::free);
    return message.type != XCB_ATOM_NONE && !error;
}

QList<qint64> descendantsOf(qint64 pid)
{
    // Parent of every process, from /proc/<pid>/stat (the field after the
    // command name, which may itself hold spaces and parentheses).
    QMultiHash<qint64, qint64> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 child = entry.toLongLong(&isPid);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!isPid || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children.insert(fields[1].toLongLong(), child);
    }
    QList<qint64> found;
    QList<qint64> next { pid };
    while (!next.isEmpty()) {
        const QList<qint64> level = children.values(next.takeFirst());
        found += level;
        next += level;
    }
    return found;
}

bool processExists(qint64 pid)
{
    // A child that has ended but is not yet reaped is a zombie: gone for this purpose.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) != "Z";
}

QImage screenshot(const QString& savePath)
{
    QTemporaryDir dir;
    const QString path = savePath.isEmpty() ? dir.filePath(QStringLiteral("screen.png")) : savePath;
    runTool(QStringLiteral("import"), { QStringLiteral("-window"), QStringLiteral("root"), path });
    return QImage(path);
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(50);
    }
    return true;
}

void clickAt(QPoint screenPoint, int button)
{
    runTool(QStringLiteral("xdotool"),
        { QStringLiteral("mousemove"), QString::number(screenPoint.x()),
            QString::number(screenPoint.y()), QStringLiteral("click"), QString::number(button) });
}

void dragFrom(QPoint from, QPoint to)
{
    const auto xdo
        = [](const QStringList& arguments) { runTool(QStringLiteral("xdotool"), arguments); };
    xdo({ QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()) });
    xdo({ QStringLiteral("mousedown"), QStringLiteral("1") });
    constexpr int steps = 10;
    for (int i = 1; i <= steps; ++i) {
        const QPoint at = from + (to - from) * i / steps;
        QTest::qWait(30);
        xdo({ QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()) });
    }
    QTest::qWait(100);
    xdo({ QStringLiteral("mouseup"), QStringLiteral("1") });
}

void typeText(const QString& text)
{
    runTool(QStringLiteral("xdotool"),
        { QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text });
}

void pressKey(const QString& keys)
{
    runTool(QStringLiteral("xdotool"), { QStringLiteral("key"), keys });
}

DemoServer::DemoServer(const QStringList& extraArguments)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(qEnvironmentVariable("KEST_DEMO_BIN"),
        QStringList { QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--log"),
            m_dir.filePath(QStringLiteral("requests.log")) }
            + extraArguments);
    QString said;
    const QRegularExpression ready(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    waitUntil(
        [&] {
            said += QString::fromUtf8(m_process.readAll());
            m_port = ready.match(said).captured(1).toInt();
            return m_port != 0 || m_process.state() == QProcess::NotRunning;
        },
        15000);
}

DemoServer::~DemoServer()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

QString DemoServer::logText() const
{
    QFile log(m_dir.filePath(QStringLiteral("requests.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

Launcher::Launcher()
    : m_env(QProcessEnvironment::systemEnvironment())
{
    for (const char* folder : { "data", "cache", "config" })
        QDir().mkpath(m_dir.filePath(QLatin1String(folder)));
    m_env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
    m_env.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.filePath(QStringLiteral("cache")));
    m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    m_env.insert(QStringLiteral("KEST_EVENT_LOG"), m_dir.filePath(QStringLiteral("events.log")));
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("stdout.txt")));
    m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("stderr.txt")));
}

Launcher::~Launcher()
{
    stop();
}

void Launcher::useHost(const QString& host)
{
    for (const char* name : { "KEST_LOGIN_HOST", "KEST_HOME_HOST", "KEST_STATIC_HOST" })
        m_env.insert(QLatin1String(name), host);
}

void Launcher::installRecordingBrowser()
{
    const QString recorder = m_dir.filePath(QStringLiteral("browser"));
    QFile script(recorder);
    script.open(QIODevice::WriteOnly);
    // It notes what it was asked to open, and the two variables the launcher
    // sets for itself, which a browser it starts must not inherit. A loopback
    // server's root (its home page, nothing deeper, which the launcher loads
    // itself) it fetches too, as a browser would, so that the server's
    // request log shows when the page was opened.
    script.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"$(dirname \"$0\")/opened.txt\"\n"
                 "printf 'QT_QPA_PLATFORM=%s\\nQTWEBENGINE_CHROMIUM_FLAGS=%s\\n' "
                 "\"${QT_QPA_PLATFORM-(unset)}\" \"${QTWEBENGINE_CHROMIUM_FLAGS-(unset)}\" "
                 "> \"$(dirname \"$0\")/environment.txt\"\n"
                 "case \"$1\" in\n"
                 "  http://127.0.0.1:*/*/*) ;;\n"
                 "  http://127.0.0.1:*/) curl -s -o /dev/null --max-time 5 \"$1\" ;;\n"
                 "esac\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QDir().mkpath(m_dir.filePath(QStringLiteral("data/applications")));
    QFile entry(m_dir.filePath(QStringLiteral("data/applications/kest-test-browser.desktop")));
    entry.open(QIODevice::WriteOnly);
    entry.write("[Desktop Entry]\nType=Application\nName=Recorder\nExec=" + recorder.toUtf8()
        + " %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\n");
    entry.close();
    QFile defaults(m_dir.filePath(QStringLiteral("config/mimeapps.list")));
    defaults.open(QIODevice::WriteOnly);
    defaults.write("[Default Applications]\nx-scheme-handler/http=kest-test-browser.desktop\n"
                   "x-scheme-handler/https=kest-test-browser.desktop\n");
}

QString Launcher::openedAddresses() const
{
    QFile opened(m_dir.filePath(QStringLiteral("opened.txt")));
    return opened.open(QIODevice::ReadOnly) ? QString::fromUtf8(opened.readAll()) : QString();
}

QString Launcher::browserEnvironment() const
{
    QFile seen(m_dir.filePath(QStringLiteral("environment.txt")));
    return seen.open(QIODevice::ReadOnly) ? QString::fromUtf8(seen.readAll()) : QString();
}

bool Launcher::start(const QStringList& arguments, const QStringList& wrapper)
{
    m_process.setProcessEnvironment(m_env);
    const QString launcher = qEnvironmentVariable("KEST_BIN");
    if (wrapper.isEmpty())
        m_process.start(launcher, arguments);
    else
        m_process.start(wrapper.first(), wrapper.mid(1) + QStringList { launcher } + arguments);
    if (!m_process.waitForStarted(10000))
        return false;
    m_pid = m_process.processId();
    return true;
}

bool Launcher::waitForExit(int timeoutMs)
{
    return waitUntil([this] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
}

QString Launcher::output() const
{
    QFile out(m_dir.filePath(QStringLiteral("stdout.txt")));
    return out.open(QIODevice::ReadOnly) ? QString::fromUtf8(out.readAll()) : QString();
}

QString Launcher::errorOutput() const
{
    QFile err(m_dir.filePath(QStringLiteral("stderr.txt")));
    return err.open(QIODevice::ReadOnly) ? QString::fromUtf8(err.readAll()) : QString();
}

QString Launcher::eventLog() const
{
    QFile log(m_dir.filePath(QStringLiteral("events.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

void Launcher::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    // An orderly end: the windows unload and the browser engine shuts down,
    // slowly under the sanitizers on a busy machine.
    if (!m_process.waitForFinished(20000))
        m_process.kill();
    m_process.waitForFinished(2000);
}

} // namespace kest::e2e
