#include "launcher/login/LoadFrm.h"

#include "launcher/shared/PublicData.h"
#include "platform/eventlog.h"
#include "platform/forms.h"
#include "platform/pictures.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace kest {

namespace {

// Should no paint come (a display that never exposes the window), the login
// windows load after this all the same.
constexpr int kLoginLoadFallbackMs = 500;

} // namespace

void LayeredPng::prepare(QWidget* window)
{
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->setAttribute(Qt::WA_NoSystemBackground);
}

QRegion LayeredPng::opaqueRegion(const QImage& image)
{
    if (image.isNull())
        return {};
    if (!image.hasAlphaChannel())
        return QRegion(image.rect());
    return QRegion(QBitmap::fromImage(image.createAlphaMask(Qt::ThresholdAlphaDither)));
}

QImage LoadPngRes(int ResID)
{
    return LoadResImage(ResID, QStringLiteral("PNG"));
}

bool LayeredPng::ShowLayeredPng(QWidget* window, int ResID)
{
    const QImage image = LoadPngRes(ResID);
    if (image.isNull()) {
        logEvent(QStringLiteral("ShowLayeredPng: no picture PNG %1").arg(ResID));
        m_picture = {};
        window->clearMask();
        window->update();
        return false;
    }
    m_picture = QPixmap::fromImage(image);
    window->setFixedSize(image.size());
    window->setMask(opaqueRegion(image));
    window->update();
    return true;
}

void LayeredPng::paint(QPainter& painter) const
{
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(painter.window(), Qt::transparent);
    if (!m_picture.isNull())
        painter.drawPixmap(0, 0, m_picture);
}

bool LoadFrm::isWebSwitch(const QString& commandText)
{
    return commandText == QLatin1String("/web");
}

LoadFrm::LoadFrm()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setWindowTitle(clientCaption());
    resize(kDesignSize);
    LayeredPng::prepare(this);
    LoadedForms::instance().formLoaded(this);
    m_picture.ShowLayeredPng(this, kSplashPngId);
}

LoadFrm::~LoadFrm() = default;

void LoadFrm::showCentred()
{
    const QRect screen = this->screen()->geometry();
    move(
        screen.x() + (screen.width() - width()) / 2, screen.y() + (screen.height() - height()) / 2);
    show();
    QTimer::singleShot(kLoginLoadFallbackMs, this, &LoadFrm::announceReady);
}

void LoadFrm::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    hide();
    deleteLater();
    LoadedForms::instance().formUnloaded(this);
}

void LoadFrm::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_picture.paint(painter);
    if (!m_ready)
        QTimer::singleShot(0, this, &LoadFrm::announceReady);
}

void LoadFrm::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit closed();
    unload();
}

void LoadFrm::announceReady()
{
    // A queued call may still come after the splash was closed.
    if (m_ready || m_unloaded)
        return;
    m_ready = true;
    emit readyForLogin();
}

} // namespace kest
