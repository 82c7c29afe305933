#include "x11tools.h"

#include "tests/support/testenv.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

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

bool runTool(const QString& program, const QStringList& args, QString* out)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (out)
        *out = QString::fromLocal8Bit(process.readAllStandardOutput());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool xdotool(const QStringList& args)
{
    return runTool(QStringLiteral("xdotool"), args);
}

QString mapState(unsigned long window)
{
    QString out;
    runTool(QStringLiteral("xwininfo"), { QStringLiteral("-id"), QString::number(window) }, &out);
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral("Map State: (\\w+)")).match(out);
    return match.hasMatch() ? match.captured(1) : QString();
}

int descendantCount(unsigned long window)
{
    QString out;
    runTool(QStringLiteral("xwininfo"),
        { QStringLiteral("-tree"), QStringLiteral("-id"), QString::number(window) }, &out);
    // Every descendant is one line that starts with its id.
    return static_cast<int>(out.count(QRegularExpression(
        QStringLiteral("^\\s+0x[0-9a-f]+ "), QRegularExpression::MultilineOption)));
}

unsigned long findWindowNamed(const QString& name)
{
    QString out;
    runTool(QStringLiteral("xwininfo"), { QStringLiteral("-root"), QStringLiteral("-tree") }, &out);
    const QRegularExpression line(
        QStringLiteral("^\\s+(0x[0-9a-f]+) \"([^\"]*)\""), QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(out); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (match.captured(2).contains(name, Qt::CaseInsensitive))
            return match.captured(1).toULong(nullptr, 16);
    }
    return 0;
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
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return 0;
    }
    xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(
        connection, xcb_query_pointer(connection, firstScreen(connection)->root), nullptr);
    const std::uint16_t state = reply ? reply->mask : 0;
    std::free(reply);
    xcb_disconnect(connection);
    return state;
}

void requestClose(unsigned long window)
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
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
    xcb_disconnect(connection);
}

struct BottomPanel::Connection {
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = 0;
};

BottomPanel::BottomPanel(int height)
    : m_x(std::make_unique<Connection>())
{
    m_x->connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_x->connection))
        return;
    xcb_connection_t* c = m_x->connection;
    const xcb_screen_t* screen = firstScreen(c);
    const int width = screen->width_in_pixels;
    const int top = screen->height_in_pixels - height;
    m_x->window = xcb_generate_id(c);
    // Blue on the usual true-colour visual, told apart from the desktop's black.
    const std::uint32_t background[] = { kPanelColour };
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_x->window, screen->root, 0,
        static_cast<std::int16_t>(top), static_cast<std::uint16_t>(width),
        static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
        XCB_CW_BACK_PIXEL, background);
    const xcb_atom_t dock = atom(c, "_NET_WM_WINDOW_TYPE_DOCK");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_x->window, atom(c, "_NET_WM_WINDOW_TYPE"),
        XCB_ATOM_ATOM, 32, 1, &dock);
    // left, right, top, bottom, then the start and end of each strip.
    const std::uint32_t strut[12] = { 0, 0, 0, static_cast<std::uint32_t>(height), 0, 0, 0, 0, 0, 0,
        0, static_cast<std::uint32_t>(width - 1) };
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_x->window, atom(c, "_NET_WM_STRUT_PARTIAL"),
        XCB_ATOM_CARDINAL, 32, 12, strut);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_x->window, atom(c, "_NET_WM_STRUT"),
        XCB_ATOM_CARDINAL, 32, 4, strut);
    // The place is the panel's own, not one for the window manager to choose.
    const std::uint32_t sizeHints[18] = { 1 | 2 | 4 | 8, 0, static_cast<std::uint32_t>(top),
        static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height) };
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_x->window, XCB_ATOM_WM_NORMAL_HINTS,
        XCB_ATOM_WM_SIZE_HINTS, 32, 18, sizeHints);
    const char name[] = "test bottom panel";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_x->window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
        sizeof(name) - 1, name);
    xcb_map_window(c, m_x->window);
    xcb_flush(c);
}

BottomPanel::~BottomPanel()
{
    if (m_x->connection) {
        // The window goes with the connection; the work area grows back.
        xcb_disconnect(m_x->connection);
    }
}

} // namespace kest::test
