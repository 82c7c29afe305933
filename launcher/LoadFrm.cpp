#include "launcher/LoadFrm.h"

#include "launcher/LoginFrm.h"
#include "launcher/PublicData.h"
#include "launcher/UpdateCheck.h"
#include "platform/connection.h"
#include "platform/eventlog.h"
#include "platform/forms.h"
#include "platform/pictures.h"
#include "platform/process.h"
#include "platform/shell.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace kest {

namespace {

QPointer<LoadFrm>& splashSlot()
{
    static QPointer<LoadFrm> splash;
    return splash;
}

// The login windows are loaded once the splash has been painted, since
// starting the browser engine takes a noticeable moment; should no paint
// come (a display that never exposes the window), they load after this.
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

bool LayeredPng::ShowLayeredPng(QWidget* window, int ResID)
{
    const QImage image = LoadResImage(ResID, QStringLiteral("PNG"));
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

LoadFrm* LoadFrm::instance()
{
    return splashSlot();
}

void LoadFrm::startUp(const QString& commandText)
{
    if (!InternetGetConnectedState()) {
        logEvent(QStringLiteral("start-up: no network connection"));
        showNoConnectionMessage();
        endProcessNow(kExitNoConnection);
    }

    if (UpdateCheck().startupCheck() == UpdateCheck::Result::UpdaterStarted)
        endProcessNow(0); // the updater replaces this program: get out of its way

    if (isWebSwitch(commandText)) {
        openAddress(homePageAddress());
        endProcessNow(0);
    }

    auto* splash = new LoadFrm;
    splashSlot() = splash;
    const QRect screen = splash->screen()->geometry();
    splash->move(screen.x() + (screen.width() - splash->width()) / 2,
        screen.y() + (screen.height() - splash->height()) / 2);
    splash->show();
    QTimer::singleShot(kLoginLoadFallbackMs, splash, &LoadFrm::loadLoginWindows);
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

void LoadFrm::unloadSplash()
{
    LoadFrm* splash = splashSlot();
    if (!splash)
        return;
    splashSlot() = nullptr;
    splash->hide();
    splash->deleteLater();
    LoadedForms::instance().formUnloaded(splash);
}

void LoadFrm::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_picture.paint(painter);
    if (!m_loginLoaded)
        QTimer::singleShot(0, this, &LoadFrm::loadLoginWindows);
}

void LoadFrm::loadLoginWindows()
{
    if (m_loginLoaded)
        return;
    m_loginLoaded = true;
    LoginFrm::load();
}

} // namespace kest
