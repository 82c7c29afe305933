// The yardstick for the login page's time to the screen: the least Qt
// WebEngine program that shows a page where the launcher shows it. A frameless
// 888 x 518 window centred on the screen, its view placed so that the page's
// point (7, 52) is the window's top-left corner, as in the login window; no
// splash, no update check, no colour key.
//
//   minimal_login URL
#include <QApplication>
#include <QScreen>
#include <QUrl>
#include <QWebEngineView>
#include <QWidget>

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.resize(888, 518);
    auto* view = new QWebEngineView(&window);
    view->setGeometry(-7, -52, 920, 625);
    view->load(QUrl(QString::fromLocal8Bit(argv[1])));
    const QRect screen = window.screen()->geometry();
    window.move(screen.x() + (screen.width() - window.width()) / 2,
        screen.y() + (screen.height() - window.height()) / 2);
    window.show();
    return app.exec();
}
