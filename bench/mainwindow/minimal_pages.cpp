// The reference for the main window's memory figures: a plain Qt WebEngine
// program that holds the same pages in the same number of views, on the same
// kind of profile (named, on disk), and nothing else: no skins, tray icon,
// hot key or link topic.
//
//   minimal_pages [--stacked]   reads one command a line on stdin:
//     open URL           adds a tab with a new view that loads URL; selects it
//     close              closes the first tab, its view and its page
//     size W H           shows the window as a normal window of W x H pixels
//     maximize           shows the window maximised
//     quit               ends the program (so does the end of stdin)
//
// Each command is answered by one line on stdout, "ok ..." or "error: ...";
// "loaded N ok|failed" follows when the page of tab N has finished loading.
//
// The views live in a QTabWidget, which hides every view but the current one.
// --stacked keeps them all shown instead, each filling the window and the
// newest raised over the others (the way the launcher's tab strip hosts its
// pages), to tell the cost of covered but visible views from the rest.
#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QResizeEvent>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTabWidget>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

void answer(const QString& line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString storageFolder(QStandardPaths::StandardLocation location)
{
    return QDir(QStandardPaths::writableLocation(location))
        .filePath(QStringLiteral("minimal_pages/browser"));
}

// Views on top of one another, all shown, each filling the container.
class StackedViews final : public QWidget {
public:
    using QWidget::QWidget;

    QList<QWidget*> views() const { return findChildren<QWidget*>(Qt::FindDirectChildrenOnly); }
    void add(QWidget* view)
    {
        view->setParent(this);
        view->setGeometry(rect());
        view->raise();
        view->show();
    }

protected:
    void resizeEvent(QResizeEvent*) override
    {
        for (QWidget* view : views())
            view->setGeometry(rect());
    }
};

class PagesWindow final : public QMainWindow {
public:
    PagesWindow(QWebEngineProfile* profile, bool stacked)
        : m_profile(profile)
    {
        setWindowTitle(QStringLiteral("minimal_pages"));
        if (stacked) {
            m_stack = new StackedViews(this);
            setCentralWidget(m_stack);
        } else {
            m_tabs = new QTabWidget(this);
            setCentralWidget(m_tabs);
        }
    }

    // Pages go before the profile they were made on.
    ~PagesWindow() override
    {
        while (count() > 0)
            closeFirst();
    }
    Q_DISABLE_COPY_MOVE(PagesWindow)

    void run(const QString& line)
    {
        const QString command = line.section(QLatin1Char(' '), 0, 0);
        const QString rest = line.section(QLatin1Char(' '), 1).trimmed();
        if (command == QLatin1String("open")) {
            open(QUrl(rest));
        } else if (command == QLatin1String("close")) {
            if (count() == 0)
                return answer(QStringLiteral("error: no tab to close"));
            closeFirst();
            answer(QStringLiteral("ok %1 tabs").arg(count()));
        } else if (command == QLatin1String("size")) {
            bool okW = false;
            bool okH = false;
            const int w = rest.section(QLatin1Char(' '), 0, 0).toInt(&okW);
            const int h = rest.section(QLatin1Char(' '), 1, 1).toInt(&okH);
            if (!okW || !okH || w <= 0 || h <= 0)
                return answer(QStringLiteral("error: size needs two positive numbers"));
            showNormal();
            resize(w, h);
            answer(QStringLiteral("ok size %1x%2").arg(w).arg(h));
        } else if (command == QLatin1String("maximize")) {
            showMaximized();
            answer(QStringLiteral("ok maximized"));
        } else if (command == QLatin1String("quit")) {
            answer(QStringLiteral("ok quit"));
            QApplication::quit();
        } else if (!line.trimmed().isEmpty()) {
            answer(QStringLiteral("error: unknown command: ") + line);
        }
    }

private:
    void open(const QUrl& url)
    {
        if (url.isEmpty() || !url.isValid())
            return answer(QStringLiteral("error: open needs an address"));
        auto* view = new QWebEngineView;
        auto* page = new QWebEnginePage(m_profile, view);
        view->setPage(page);
        if (m_tabs)
            m_tabs->setCurrentIndex(m_tabs->addTab(view, url.path()));
        else
            m_stack->add(view);
        connect(view, &QWebEngineView::loadFinished, this, [this, view](bool ok) {
            answer(QStringLiteral("loaded %1 %2")
                       .arg(indexOf(view))
                       .arg(ok ? QStringLiteral("ok") : QStringLiteral("failed")));
        });
        view->load(url);
        answer(QStringLiteral("ok %1 tabs").arg(count()));
    }

    int count() const { return m_tabs ? m_tabs->count() : int(m_stack->views().size()); }
    int indexOf(QWidget* view) const
    {
        return m_tabs ? m_tabs->indexOf(view) : int(m_stack->views().indexOf(view));
    }

    void closeFirst()
    {
        QWidget* view = m_tabs ? m_tabs->widget(0) : m_stack->views().value(0);
        if (m_tabs)
            m_tabs->removeTab(0);
        delete view;
    }

    QWebEngineProfile* m_profile;
    QTabWidget* m_tabs = nullptr;
    StackedViews* m_stack = nullptr;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("minimal_pages"));

    const QStringList arguments = QApplication::arguments().mid(1);
    const bool stacked = arguments == QStringList { QStringLiteral("--stacked") };
    if (!arguments.isEmpty() && !stacked) {
        std::fputs("usage: minimal_pages [--stacked]  (commands on stdin)\n", stderr);
        return 2;
    }

    QWebEngineProfile profile(QStringLiteral("minimal_pages"));
    profile.setPersistentStoragePath(storageFolder(QStandardPaths::GenericDataLocation));
    profile.setCachePath(storageFolder(QStandardPaths::GenericCacheLocation));

    auto window = std::make_unique<PagesWindow>(&profile, stacked);
    window->show();

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, window.get(), [&] {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            input.setEnabled(false);
            QApplication::quit();
            return;
        }
        pending.append(buffer, got);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
            const QString line = QString::fromUtf8(pending.left(end)).trimmed();
            pending.remove(0, end + 1);
            window->run(line);
        }
    });

    const int status = QApplication::exec();
    window.reset();
    return status;
}
