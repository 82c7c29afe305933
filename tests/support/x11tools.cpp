#include "tests/support/x11tools.h"

#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMultiHash>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace kest::test {

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t { XCB_ATOM_NONE };
    std::free(reply);
    return result;
}

xcb_screen_t* firstScreen(xcb_connection_t* connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
}

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using XConnection = std::unique_ptr<xcb_connection_t, Disconnect>;

// A connection of its own to the display, as another program has; null when
// there is no display.
XConnection connectToDisplay()
{
    XConnection connection(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get()))
        connection.reset();
    return connection;
}

} // namespace

QString missingX11(const QStringList& tools)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return QStringLiteral("needs an X11 display (run under tests/support/with-x11)");
    for (const QString& tool : tools)
        if (QStandardPaths::findExecutable(tool).isEmpty())
            return tool + QStringLiteral(" is not installed");
    return {};
}

QString runTool(const QString& program, const QStringList& arguments, int timeoutMs, bool* ok)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(timeoutMs)) {
        tool.kill();
        tool.waitForFinished(1000);
        if (ok)
            *ok = false;
        return {};
    }
    if (ok)
        *ok = tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}

bool xdotool(const QStringList& arguments)
{
    bool ok = false;
    runTool(QStringLiteral("xdotool"), arguments, 15000, &ok);
    return ok;
}

QString mapState(unsigned long window)
{
    const QString out
        = runTool(QStringLiteral("xwininfo"), { QStringLiteral("-id"), QString::number(window) });
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral("Map State: (\\w+)")).match(out);
    return match.hasMatch() ? match.captured(1) : QString();
}

int descendantCount(unsigned long window)
{
    const QString out = runTool(QStringLiteral("xwininfo"),
        { QStringLiteral("-tree"), QStringLiteral("-id"), QString::number(window) });
    // Every descendant is one line that starts with its id.
    return static_cast<int>(out.count(QRegularExpression(
        QStringLiteral("^\\s+0x[0-9a-f]+ "), QRegularExpression::MultilineOption)));
}

unsigned long findWindowNamed(const QString& name)
{
    const QString out
        = runTool(QStringLiteral("xwininfo"), { QStringLiteral("-root"), QStringLiteral("-tree") });
    const QRegularExpression line(
        QStringLiteral("^\\s+(0x[0-9a-f]+) \"([^\"]*)\""), QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(out); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (match.captured(2).contains(name, Qt::CaseInsensitive))
            return match.captured(1).toULong(nullptr, 16);
    }
    return 0;
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

QList<XWindow> windowsSized(qint64 pid, QSize size)
{
    QList<XWindow> sized;
    for (const XWindow& window : visibleWindowsOf(pid)) {
        if (window.geometry.size() == size)
            sized << window;
    }
    return sized;
}

QString windowPid(const QString& id)
{
    return runTool(QStringLiteral("xdotool"), { QStringLiteral("getwindowpid"), id }).trimmed();
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
    const XConnection connection = connectToDisplay();
    if (!connection)
        return false;
    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom(connection.get(), "WM_PROTOCOLS");
    message.data.data32[0] = atom(connection.get(), "WM_DELETE_WINDOW");
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

QList<qint64> processesRunning(const QString& path)
{
    QList<qint64> pids;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == ::getpid())
            continue;
        const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
        if (exe == path || exe == path + QStringLiteral(" (deleted)"))
            pids << pid;
    }
    return pids;
}

void endProcess(qint64 pid)
{
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    if (!QTest::qWaitFor([pid] { return !processExists(pid); }, 5000))
        ::kill(static_cast<pid_t>(pid), SIGKILL);
}

QImage screenshot(const QString& savePath)
{
    QTemporaryDir dir;
    const QString path = savePath.isEmpty() ? dir.filePath(QStringLiteral("screen.png")) : savePath;
    runTool(QStringLiteral("import"), { QStringLiteral("-window"), QStringLiteral("root"), path });
    return QImage(path);
}

void activateWindow(const QString& id)
{
    xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), id });
}

void clickAt(QPoint screenPoint, int button)
{
    xdotool({ QStringLiteral("mousemove"), QString::number(screenPoint.x()),
        QString::number(screenPoint.y()), QStringLiteral("click"), QString::number(button) });
}

void dragFrom(QPoint from, QPoint to)
{
    xdotool({ QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()) });
    xdotool({ QStringLiteral("mousedown"), QStringLiteral("1") });
    constexpr int steps = 10;
    for (int i = 1; i <= steps; ++i) {
        const QPoint at = from + (to - from) * i / steps;
        QTest::qWait(30);
        xdotool({ QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()) });
    }
    QTest::qWait(100);
    xdotool({ QStringLiteral("mouseup"), QStringLiteral("1") });
}

void typeText(const QString& text)
{
    xdotool({ QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text });
}

void pressKey(const QString& keys)
{
    xdotool({ QStringLiteral("key"), keys });
}

QImage grabScreen(const QRect& area, const QString& folder, const QString& file)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    const QImage image
        = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
    if (!folder.isEmpty())
        image.save(artifactDir(folder) + QLatin1Char('/') + file);
    return image;
}

std::uint16_t pointerState()
{
    const XConnection x = connectToDisplay();
    if (!x)
        return 0;
    xcb_connection_t* connection = x.get();
    xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(
        connection, xcb_query_pointer(connection, firstScreen(connection)->root), nullptr);
    const std::uint16_t state = reply ? reply->mask : 0;
    std::free(reply);
    return state;
}

void requestClose(unsigned long window)
{
    const XConnection x = connectToDisplay();
    if (!x)
        return;
    xcb_connection_t* connection = x.get();
    const xcb_window_t root = firstScreen(connection)->root;
    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window);
    event.type = atom(connection, "_NET_CLOSE_WINDOW");
    event.data.data32[0] = XCB_CURRENT_TIME;
    event.data.data32[1] = 2; // source: a pager or taskbar
    xcb_send_event(connection, 0, root,
        XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&event));
    // A round trip: the request is carried out before the connection goes.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

struct BottomPanel::Connection {
    // The panel window goes with the connection, and the work area grows back.
    XConnection x = connectToDisplay();
};

BottomPanel::BottomPanel(int height)
    : m_x(std::make_unique<Connection>())
{
    xcb_connection_t* c = m_x->x.get();
    if (!c)
        return;
    const xcb_screen_t* screen = firstScreen(c);
    const int width = screen->width_in_pixels;
    const int top = screen->height_in_pixels - height;
    const xcb_window_t window = xcb_generate_id(c);
    // Blue on the usual true-colour visual, told apart from the desktop's black.
    const std::uint32_t background[] = { kPanelColour };
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0,
        static_cast<std::int16_t>(top), static_cast<std::uint16_t>(width),
        static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
        XCB_CW_BACK_PIXEL, background);
    const xcb_atom_t dock = atom(c, "_NET_WM_WINDOW_TYPE_DOCK");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_WINDOW_TYPE"),
        XCB_ATOM_ATOM, 32, 1, &dock);
    // left, right, top, bottom, then the start and end of each strip.
    const std::uint32_t strut[12] = { 0, 0, 0, static_cast<std::uint32_t>(height), 0, 0, 0, 0, 0, 0,
        0, static_cast<std::uint32_t>(width - 1) };
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_STRUT_PARTIAL"),
        XCB_ATOM_CARDINAL, 32, 12, strut);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_STRUT"),
        XCB_ATOM_CARDINAL, 32, 4, strut);
    // The place is the panel's own, not one for the window manager to choose.
    const std::uint32_t sizeHints[18] = { 1 | 2 | 4 | 8, 0, static_cast<std::uint32_t>(top),
        static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height) };
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
        XCB_ATOM_WM_SIZE_HINTS, 32, 18, sizeHints);
    const char name[] = "test bottom panel";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
        sizeof(name) - 1, name);
    xcb_map_window(c, window);
    xcb_flush(c);
}

// The window goes with the connection; the work area grows back.
BottomPanel::~BottomPanel() = default;

F10Holder::F10Holder(const QString& program)
{
    m_process.start(program.isEmpty()
            ? QCoreApplication::applicationDirPath() + QStringLiteral("/hotkey_holder")
            : program,
        {});
    if (!m_process.waitForStarted(5000)) {
        m_answer = QStringLiteral("not started");
        return;
    }
    // It says one line and then waits; a refusal ends it.
    QByteArray said;
    const QDeadlineTimer deadline(10000);
    while (!said.contains('\n') && m_process.waitForReadyRead(int(deadline.remainingTime())))
        said += m_process.readAllStandardOutput();
    m_answer = QString::fromUtf8(said + m_process.readAllStandardOutput()).trimmed();
}

// Its standard input closing lets go of F10, and it ends once the key is free.
F10Holder::~F10Holder()
{
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

} // namespace kest::test
