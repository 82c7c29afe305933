#include "winhook/cFormSubclass.h"

#include "platform/messages.h"
#include "winhook/WindowMessage.h"

#include <QGuiApplication>
#include <QScreen>

namespace kest {

cFormSubclass::cFormSubclass(QObject* parent)
    : QObject(parent)
    , m_subclass(std::make_unique<CSubclass>(this))
{ }

cFormSubclass::~cFormSubclass()
{
    for (const QMetaObject::Connection& connection : m_screenConnections)
        disconnect(connection);
    // Release the hooks while this object, their owner, is still whole.
    m_subclass.reset();
}

bool cFormSubclass::AddWindowMsgs(WindowHandle hWnd)
{
    if (!m_subclass->ssc_Subclass(hWnd))
        return false;
    m_subclass->ssc_AddMsg(hWnd, CSubclass::ALL_MESSAGES, CSubclass::MSG_BEFORE);
    m_windows.push_back(hWnd);
    if (m_screenConnections.empty()) {
        if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            m_screenConnections.push_back(connect(app, &QGuiApplication::primaryScreenChanged, this,
                [this] { watchPrimaryScreen(); }));
        watchPrimaryScreen();
    }
    return true;
}

bool cFormSubclass::DeleteWindowMsg(WindowHandle)
{
    return false;
}

void cFormSubclass::watchPrimaryScreen()
{
    // Keep the application connection (the first), replace the screen's.
    while (m_screenConnections.size() > 1) {
        disconnect(m_screenConnections.back());
        m_screenConnections.pop_back();
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const auto settingChanged = [this] {
        // Copy: a handler may close a form and so change the list.
        const std::vector<WindowHandle> windows = m_windows;
        for (WindowHandle window : windows)
            sendWindowMessage(window, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    };
    m_screenConnections.push_back(
        connect(screen, &QScreen::availableGeometryChanged, this, settingChanged));
    m_screenConnections.push_back(connect(screen, &QScreen::geometryChanged, this, settingChanged));
}

void cFormSubclass::WindowProc(bool bBefore, bool& bHandled, LResult& lReturn,
    WindowHandle lng_hWnd, std::uint32_t uMsg, WParam wParam, LParam lParam, LParam&)
{
    zSubclass_Proc(bBefore, bHandled, lReturn, lng_hWnd, uMsg, wParam, lParam);
}

void cFormSubclass::zSubclass_Proc(bool bBefore, bool& bHandled, LResult& lReturn,
    WindowHandle lng_hWnd, std::uint32_t uMsg, WParam wParam, LParam lParam)
{
    emit MsgCome(bBefore, bHandled, lReturn, lng_hWnd, uMsg, wParam, lParam);
}

} // namespace kest
