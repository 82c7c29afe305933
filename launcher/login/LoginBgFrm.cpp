#include "launcher/login/LoginBgFrm.h"

#include "launcher/shared/PublicData.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace kest {

LoginBgFrm::LoginBgFrm()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
{
    resize(kDesignSize);
    LayeredPng::prepare(this);
    m_picture.ShowLayeredPng(this, kLoginBackgroundPngId);
    setWindowTitle(clientCaption());
}

LoginBgFrm::~LoginBgFrm() = default;

void LoginBgFrm::showLogin()
{
    if (!m_shownBefore) {
        m_shownBefore = true;
        const QRect screen = this->screen()->geometry();
        move(screen.x() + (screen.width() - width()) / 2,
            screen.y() + (screen.height() - height()) / 2);
    }
    show();
}

void LoginBgFrm::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_picture.paint(painter);
}

void LoginBgFrm::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // The window manager drags the window as if by its caption.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void LoginBgFrm::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging)
        move(event->globalPosition().toPoint() - m_dragOffset);
}

void LoginBgFrm::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
}

void LoginBgFrm::closeEvent(QCloseEvent* event)
{
    // Closing is unloading, which the login page window's owner carries out.
    event->ignore();
    emit closeRequested();
}

void LoginBgFrm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const bool minimized = isMinimized();
    if (minimized != m_minimized) {
        m_minimized = minimized;
        emit minimizedChanged(minimized);
    }
}

} // namespace kest
