#pragma once

#include "launcher/login/LoadFrm.h"

#include <QPoint>
#include <QWidget>

namespace kest {

// The login background window: the artwork around the login page, with
// per-pixel alpha, the owner of the taskbar button and of the login page
// window, and the handle by which the player drags both.
class LoginBgFrm final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoginBgFrm)

public:
    LoginBgFrm();
    ~LoginBgFrm() override;

    // Shows the window; the first time, centred on the screen.
    void showLogin();

    static constexpr QSize kDesignSize { 888, 518 };

signals:
    // The platform asked to close the window (its taskbar button, say).
    void closeRequested();
    // The window was minimised (true) or came back (false).
    void minimizedChanged(bool minimized);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    LayeredPng m_picture;
    bool m_shownBefore = false;
    bool m_minimized = false;
    // Set while the window follows the pointer itself, for a window manager
    // that cannot move it on request.
    bool m_dragging = false;
    QPoint m_dragOffset;
};

} // namespace kest
