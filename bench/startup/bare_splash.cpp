// The yardstick for the launcher's start-up: a bare Qt Widgets program that
// shows one PNG in a borderless window shaped to the picture's alpha, centred,
// as the splash is shown, and does nothing else (no browser engine).
//
//   bare_splash PICTURE.png
//
// Built a second time as bare_splash_enginelibs, which also links the browser
// engine's libraries (and starts nothing of them): what loading them costs.
#include <QApplication>
#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <cstdio>

#ifdef BARE_SPLASH_ENGINE_LIBS
#include <QWebEngineProfile>
#include <QWebEngineView>
#endif

namespace {

class Picture final : public QWidget {
public:
    explicit Picture(const QImage& image)
        : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
        , m_picture(QPixmap::fromImage(image))
    {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_NoSystemBackground);
        setFixedSize(image.size());
        setMask(QBitmap::fromImage(image.createAlphaMask(Qt::ThresholdAlphaDither)));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(rect(), Qt::transparent);
        painter.drawPixmap(0, 0, m_picture);
    }

private:
    QPixmap m_picture;
};

} // namespace

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bare_splash PICTURE.png\n");
        return 2;
    }
    const QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull()) {
        std::fprintf(stderr, "bare_splash: cannot read %s\n", argv[1]);
        return 1;
    }
#ifdef BARE_SPLASH_ENGINE_LIBS
    // Never true: keeps the libraries linked without running any of them.
    if (argc > 100)
        QWebEngineView(QWebEngineProfile::defaultProfile()).show();
#endif
    Picture window(image);
    const QRect screen = window.screen()->geometry();
    window.move(screen.x() + (screen.width() - window.width()) / 2,
        screen.y() + (screen.height() - window.height()) / 2);
    window.show();
    return app.exec();
}
