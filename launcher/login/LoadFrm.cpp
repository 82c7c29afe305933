#include "launcher/login/LoadFrm.h"

#include "launcher/shared/PublicData.h"
#include "platform/eventlog.h"
#include "platform/forms.h"
#include "platform/pictures.h"
#include "platform/windowshape.h"

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

QImage LayeredPng::hardAlpha(const QImage& image)
{
    // A picture scaled to the screen has soft edges again; without a
    // compositing manager the shape would show them fully opaque, with
    // one the soft rim would lie outside the shape's hard one.
    if (image.isNull() || !image.hasAlphaChannel() || image.devicePixelRatio() == 1.0)
        return image;
    QImage hard = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < hard.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(hard.scanLine(y));
        for (int x = 0; x < hard.width(); ++x)
            line[x] = qAlpha(line[x]) >= 128 ? (line[x] | 0xFF000000u) : 0u;
    }
    return hard;
}

QImage LoadPngRes(int ResID)
{
    return LoadResImage(ResID, QStringLiteral("PNG"));
}

bool LayeredPng::ShowLayeredPng(QWidget* window, int ResID)
{
    const QImage image
        = hardAlpha(LoadResImageAt(ResID, QStringLiteral("PNG"), windowScale(window)));
    if (image.isNull()) {
        logEvent(QStringLiteral("ShowLayeredPng: no picture PNG %1").arg(ResID));
        m_picture = {};
        window->clearMask();
        window->update();
        return false;
    }
    m_picture = QPixmap::fromImage(image);
    window->setFixedSize(image.deviceIndependentSize().toSize());
    // The shape comes from the very pixels that are painted, so its edges are
    // the artwork's alpha edges at every scale.
    setWindowShape(window, opaqueRegion(image));
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
