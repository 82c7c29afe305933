#include "launcher/login/LoadFrm.h"

#include "launcher/login/LoginFrm.h"
#include "launcher/mainwindow/MainWindowHandOver.h"
#include "launcher/shared/PublicData.h"
#include "launcher/shared/UpdateCheck.h"
#include "platform/connection.h"
#include "platform/eventlog.h"
#include "platform/forms.h"
#include "platform/pictures.h"
#include "platform/process.h"
#include "platform/windowshape.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

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

// A signal handler may do next to nothing: it writes a byte into this pipe,
// and the event loop reads it and closes the program.
int g_signalPipe[2] = { -1, -1 };

void onTerminationSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
    errno = savedErrno;
}

void closeOnSignal()
{
    logInfo(QStringLiteral("ending on a termination signal"));
    // Still on the road to the splash (a question or a message is up): no
    // window would unload, and the road would go on after the quit.
    if (LoadedForms::instance().count() == 0)
        endProcessNow(0);
    LoginFrm::unload();
    LoadFrm::unloadSplash();
    if (MainWindowHandOver& main = mainWindow(); main.isLoaded())
        main.unloadWithoutQuestion();
    // Queued, so that the windows unloaded above are gone first.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

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

void LoadFrm::closeOnTerminationSignals()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    if (g_signalPipe[0] < 0) {
        if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            logEvent(QStringLiteral("start-up: no pipe for termination signals: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return;
        }
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, app);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
            char bytes[16];
            while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) { }
            closeOnSignal();
        });
    }
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : { SIGTERM, SIGINT })
        ::sigaction(signal, &action, nullptr);
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

    if (isWebSwitch(commandText))
        endProcessNow(openHomePage(nullptr) ? 0 : kExitHomePageNotOpened);

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

void LoadFrm::closeEvent(QCloseEvent* event)
{
    event->accept();
    // Unloading the login windows unloads the splash, too.
    LoginFrm::unload();
    unloadSplash();
}

void LoadFrm::loadLoginWindows()
{
    // A queued call may still come after the splash was closed.
    if (m_loginLoaded || splashSlot() != this)
        return;
    m_loginLoaded = true;
    LoginFrm::load();
}

} // namespace kest
