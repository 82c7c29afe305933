#pragma once

#include "winhook/CSubclass.h"
#include "winhook/WindowHandle.h"

#include <QMetaObject>
#include <QObject>

#include <cstdint>
#include <memory>

namespace kest {

// Shows a form's messages to its owner, one MsgCome per message, before the
// form handles it. A borderless form has no frame to report changes of the
// screen's work area, so these arrive here too, as WM_SETTINGCHANGE with
// wParam SPI_SETWORKAREA, sent to the form whenever the primary screen's work
// area or size changes.
class cFormSubclass final : public QObject, public ISubclassOwner {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(cFormSubclass)

public:
    static constexpr WParam SPI_SETWORKAREA = 47;

    explicit cFormSubclass(QObject* parent = nullptr);
    ~cFormSubclass() override; // the interception ends here

    // Watches every message of the form with this handle. False, with an
    // event-log line, for a handle of no live object of this thread or one
    // watched already.
    bool AddWindowMsgs(WindowHandle hWnd);
    // Kept for callers that expect it: returns false and changes nothing; the
    // watching ends when this object is destroyed.
    bool DeleteWindowMsg(WindowHandle hWnd);

signals:
    // bBefore is always true: the form has not handled the message yet.
    // Setting bHandled swallows the message and lReturn becomes its result.
    // The message itself is what the form will get and cannot be rewritten
    // here. Connect directly (the default within one thread): bHandled and
    // lReturn are read back after the handlers return.
    void MsgCome(bool bBefore, bool& bHandled, kest::LResult& lReturn, kest::WindowHandle lng_hWnd,
        quint32 uMsg, kest::WParam wParam, kest::LParam lParam);

private:
    void WindowProc(bool bBefore, bool& bHandled, LResult& lReturn, WindowHandle lng_hWnd,
        std::uint32_t uMsg, WParam wParam, LParam lParam, LParam& lParamUser) override;
    void zSubclass_Proc(bool bBefore, bool& bHandled, LResult& lReturn, WindowHandle lng_hWnd,
        std::uint32_t uMsg, WParam wParam, LParam lParam);
    void watchPrimaryScreen();

    std::unique_ptr<CSubclass> m_subclass;
    std::vector<WindowHandle> m_windows;
    std::vector<QMetaObject::Connection> m_screenConnections;
};

} // namespace kest
