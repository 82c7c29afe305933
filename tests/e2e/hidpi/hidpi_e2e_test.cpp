// The windows on a scaled desktop: the real launcher and updater against the
// demo platform on Xvfb with openbox, the desktop's scale set the way X11
// desktops set it (Xft.dpi in the root window's resources, which Qt reads and
// rounds by the programs' own policy). What the player sees is read from the
// screen, in device pixels: the colour key never shows, the shapes follow the
// artwork, the rounded corners are mirror images, no seam row or column.
// The skins' pictures are drawn at the screen's density: a caption button on
// the screen is its double-density frame brought to the device pixels.
// Screenshots of each window at each scale land in the artefact folder.
#include "platform/pictures.h"
#include "tests/support/demo_server.h"
#include "tests/support/launcher_process.h"
#include "tests/support/testenv.h"
#include "tests/support/x11tools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace kest::test;

constexpr int kStartMs = 90000;
const QSize kLoginSize(888, 518);
const QSize kDesignSize(1036, 639);
const QString kCaption = QStringLiteral("ZantivoTervolk客户端");
const QString kUpdaterCaption = QStringLiteral("更新");
constexpr QRgb kColourKey = 0xFEFEFE;
constexpr QRgb kDesktop = 0x000000; // Xvfb's root window
// The inside of the page's card in window coordinates, 2 pixels clear of its border.
const QRect kCardInside(272, 42, 336, 380);
const QPoint kCardBody(280, 250);
constexpr QRgb kCardColour = 0xFAFCFF;
// The page window ends here; below and to the right only the background shows.
constexpr int kPageBottom = 466;

QString artifact(const QString& name)
{
    return kest::test::artifactDir(QStringLiteral("hidpi_e2e")) + QLatin1Char('/') + name;
}

QRgb rgb(const QImage& image, QPoint p)
{
    return image.pixel(p) & 0xFFFFFF;
}

int device(int logical, qreal scale)
{
    return qRound(logical * scale);
}

QSize device(QSize logical, qreal scale)
{
    return QSize(device(logical.width(), scale), device(logical.height(), scale));
}

// The desktop's scale as an X11 desktop announces it; programs started
// afterwards read it.
void setDesktopScale(qreal scale)
{
    runTool(QStringLiteral("xprop"),
        { QStringLiteral("-root"), QStringLiteral("-format"), QStringLiteral("RESOURCE_MANAGER"),
            QStringLiteral("8s"), QStringLiteral("-set"), QStringLiteral("RESOURCE_MANAGER"),
            QStringLiteral("Xft.dpi:\t%1\n").arg(qRound(96 * scale)) });
}

// How a rounded window's corners and edges differ from a clean shape:
// descriptions of the faults, empty when there are none.
QString shapeFaults(const QImage& screen, const QRect& window, int corner)
{
    QStringList faults;
    const auto hole = [&](int x, int y) { return rgb(screen, QPoint(x, y)) == kDesktop; };
    // Each corner the mirror image of the top-left one.
    for (int dy = 0; dy < corner; ++dy) {
        for (int dx = 0; dx < corner; ++dx) {
            const bool topLeft = hole(window.left() + dx, window.top() + dy);
            const bool topRight = hole(window.right() - dx, window.top() + dy);
            const bool bottomLeft = hole(window.left() + dx, window.bottom() - dy);
            const bool bottomRight = hole(window.right() - dx, window.bottom() - dy);
            if (topLeft != topRight || topLeft != bottomLeft || topLeft != bottomRight)
                faults << QStringLiteral("corners differ at (%1, %2)").arg(dx).arg(dy);
        }
    }
    if (!hole(window.left(), window.top()))
        faults << QStringLiteral("the corner is not cut");
    // No hole along the straight edges, and nothing outside them.
    for (int y = window.top() + corner; y <= window.bottom() - corner; ++y) {
        if (hole(window.left(), y) || hole(window.right(), y))
            faults << QStringLiteral("seam in the side edge at row %1").arg(y - window.top());
        if (!hole(window.left() - 1, y) || !hole(window.right() + 1, y))
            faults << QStringLiteral("stray column beside row %1").arg(y - window.top());
    }
    for (int x = window.left() + corner; x <= window.right() - corner; ++x) {
        if (hole(x, window.top()) || hole(x, window.bottom()))
            faults << QStringLiteral("seam in the top or bottom edge at column %1")
                          .arg(x - window.left());
        if (!hole(x, window.top() - 1) || !hole(x, window.bottom() + 1))
            faults << QStringLiteral("stray row beside column %1").arg(x - window.left());
    }
    return faults.join(QStringLiteral("; "));
}

// The picture a caption button of `logical` size should show at `scale`: its
// normal frame (frame 0 of the strip) from the double-density strip, scaled
// smoothly on its own to the button's device pixels; at scale 1 the 1x frame.
QImage expectedFrame(int id, QSize logical, qreal scale)
{
    const QString path = QStringLiteral(":/res/BITMAP/%1").arg(id);
    if (scale == 1.0)
        return QImage(path)
            .copy(QRect(QPoint(0, 0), logical))
            .convertToFormat(QImage::Format_RGB32);
    const QImage twice
        = QImage(path + QStringLiteral("@2x")).copy(QRect(QPoint(0, 0), logical * 2));
    return twice.scaled(device(logical, scale), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

struct Match {
    QPoint at;
    double difference = 1e9; // mean per channel, 0-255
};

// Where in `area` of the screen `picture` shows best, and how far it is from it there.
Match bestMatch(const QImage& screen, const QRect& area, const QImage& picture)
{
    Match best;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            double sum = 0;
            for (int py = 0; py < picture.height()
                 && sum < best.difference * 3 * picture.width() * picture.height();
                 ++py) {
                for (int px = 0; px < picture.width(); ++px) {
                    const QRgb a = screen.pixel(x + px, y + py);
                    const QRgb b = picture.pixel(px, py);
                    sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b))
                        + std::abs(qBlue(a) - qBlue(b));
                }
            }
            const double mean = sum / (3.0 * picture.width() * picture.height());
            if (mean < best.difference)
                best = { QPoint(x, y), mean };
        }
    }
    return best;
}

class HighDensityTest : public ::testing::TestWithParam<qreal> {
protected:
    void SetUp() override
    {
        m_scale = GetParam();
        m_name = QString::number(qRound(m_scale * 100));
        setDesktopScale(m_scale);
        // The platform names our own version: the launcher asks no update question.
        m_demo = std::make_unique<DemoServer>();
        ASSERT_TRUE(m_demo->start({ QStringLiteral("--manifest-file"),
            m_demo->writeFile(
                QStringLiteral("update.txt"), "version=" + qgetenv("KEST_VERSION") + "\r\n"),
            QStringLiteral("--file"),
            QStringLiteral("data.pak=")
                + m_demo->writeFile(QStringLiteral("data.pak"), QByteArray(256 * 1024, 'k')),
            QStringLiteral("--file-rate"), QStringLiteral("4096") }));
    }

    void TearDown() override
    {
        if (m_launcher && HasFailure())
            std::printf("--- event log\n%s", qPrintable(m_launcher->eventLog()));
        m_launcher.reset();
        if (const qint64 pid = m_updater.processId())
            endProcess(pid);
        m_demo.reset();
        setDesktopScale(1.0);
    }

    void saveCrop(const QImage& screen, const QRect& window, const QString& what) const
    {
        screen.copy(window.adjusted(-8, -8, 8, 8)).save(artifact(m_name + QLatin1Char('-') + what));
    }

    // Saves the window as <what>.png and checks its rounded shape.
    void expectCleanShape(const QImage& screen, const QRect& window, const QString& what) const
    {
        saveCrop(screen, window, what + QStringLiteral(".png"));
        EXPECT_EQ(shapeFaults(screen, window, device(6, m_scale) + 2), QString())
            << what.toStdString();
    }

    qreal m_scale = 1.0;
    QString m_name;
    QTemporaryDir m_dir;
    std::unique_ptr<DemoServer> m_demo;
    std::unique_ptr<Launcher> m_launcher;
    QProcess m_updater;
};

TEST_P(HighDensityTest, ShapesAndKeyColourLineUpOnDevicePixels)
{
    m_launcher = std::make_unique<Launcher>();
    m_launcher->useHost(m_demo->host());
    ASSERT_TRUE(m_launcher->start());

    // The login windows: their logical size at the desktop's scale.
    const QSize loginSize = device(kLoginSize, m_scale);
    QList<XWindow> login;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (login = windowsSized(m_launcher->pid(), loginSize)).size() == 2; }, kStartMs))
        << "no login windows of " << loginSize.width() << " x " << loginSize.height();
    const QRect window = login.first().geometry;
    const auto at = [&](QPoint logical) {
        return window.topLeft()
            + QPoint(device(logical.x(), m_scale), device(logical.y(), m_scale));
    };
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return rgb(screenshot(), at(kCardBody)) == kCardColour; }, kStartMs))
        << "the login page did not show";
    QTest::qWait(1000); // the colour key shape follows the page's last frames
    const QImage screen = screenshot();
    saveCrop(screen, window, QStringLiteral("login.png"));

    // The picture the background window draws, as the program loads it.
    const QImage artwork = kest::LoadResImageAt(101, QStringLiteral("PNG"), m_scale)
                               .convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(artwork.size(), loginSize);

    // The colour key never shows, anywhere in the login windows.
    // (Where the background's own picture has a key-coloured pixel, as a
    // smoothly scaled white star may, that pixel is the picture's.)
    int keyPixels = 0;
    for (int y = window.top(); y <= window.bottom(); ++y) {
        for (int x = window.left(); x <= window.right(); ++x) {
            keyPixels += rgb(screen, QPoint(x, y)) == kColourKey
                && rgb(artwork, QPoint(x, y) - window.topLeft()) != kColourKey;
        }
    }
    EXPECT_EQ(keyPixels, 0) << "key-coloured pixels show through the page window's shape";

    // No seam in the page window's shape: no device row or column across the
    // card shows the artwork behind it.
    const QRect card(at(kCardInside.topLeft()), at(kCardInside.bottomRight()));
    const auto showsArtwork = [&](int x, int y) {
        return rgb(screen, QPoint(x, y)) == rgb(artwork, QPoint(x, y) - window.topLeft());
    };
    for (int y = card.top(); y <= card.bottom(); ++y) {
        int shown = 0;
        for (int x = card.left(); x <= card.right(); ++x)
            shown += showsArtwork(x, y);
        EXPECT_LT(shown, card.width() / 2) << "seam at device row " << y - window.top();
    }
    for (int x = card.left(); x <= card.right(); ++x) {
        int shown = 0;
        for (int y = card.top(); y <= card.bottom(); ++y)
            shown += showsArtwork(x, y);
        EXPECT_LT(shown, card.height() / 2) << "seam at device column " << x - window.left();
    }

    // Below the page window only the background window shows: its shape is
    // the artwork's alpha edge within one device pixel.
    int offEdge = 0;
    const auto opaque = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < artwork.width() && y < artwork.height()
            && qAlpha(artwork.pixel(x, y)) >= 128;
    };
    for (int y = device(kPageBottom, m_scale) + 1; y < loginSize.height() + 1; ++y) {
        for (int x = -1; x <= loginSize.width(); ++x) {
            const bool shown = rgb(screen, window.topLeft() + QPoint(x, y)) != kDesktop;
            bool near = false;
            for (int d = 0; d < 9 && !near; ++d)
                near = opaque(x + d % 3 - 1, y + d / 3 - 1) == shown;
            offEdge += !near;
        }
    }
    EXPECT_EQ(offEdge, 0) << "pixels where the shape leaves the artwork's edge";

    // Logged in: the main window, maximised, with the game page in its tab.
    runTool(QStringLiteral("xdotool"),
        { QStringLiteral("windowactivate"), QStringLiteral("--sync"), login.last().id });
    QTest::qWait(300);
    typeText(QStringLiteral("tester"));
    pressKey(QStringLiteral("Return"));
    std::optional<XWindow> main;
    const auto findMain = [&] {
        main.reset();
        for (const XWindow& w : visibleWindowsOf(m_launcher->pid()))
            if (w.name == kCaption && w.geometry.width() > loginSize.width())
                main = w;
        return main.has_value();
    };
    ASSERT_TRUE(QTest::qWaitFor(findMain, kStartMs)) << "no main window";
    QTest::qWait(3000); // the game page's first paint
    saveCrop(screenshot(), main->geometry, QStringLiteral("main-maximised.png"));

    // Restored: the design size, with its rounded corners.
    const QRect maximised = main->geometry;
    clickAt(QPoint(
        maximised.right() + 1 - device(74 - 12, m_scale), maximised.top() + device(9, m_scale)));
    const QSize restoredSize = device(kDesignSize, m_scale);
    // Within a device pixel: the design size comes through twips.
    const auto isRestored = [&] {
        return findMain() && std::abs(main->geometry.width() - restoredSize.width()) <= 1
            && std::abs(main->geometry.height() - restoredSize.height()) <= 1;
    };
    ASSERT_TRUE(QTest::qWaitFor(isRestored, 10000))
        << "not restored to " << restoredSize.width() << " x " << restoredSize.height() << " but "
        << (main ? main->geometry.width() : 0) << " x " << (main ? main->geometry.height() : 0);
    xdotool({ QStringLiteral("mousemove"), QStringLiteral("0"), QStringLiteral("0") });
    QTest::qWait(1000);
    const QImage restored = screenshot().convertToFormat(QImage::Format_RGB32);
    expectCleanShape(restored, main->geometry, QStringLiteral("main-restored"));

    // The close button (43 x 18, one pixel below the caption's top, at the
    // right) shows its double-density frame, pixel for pixel; the 1x frame
    // stretched by the screen's scale, as before, does not.
    const QImage frame = expectedFrame(103, QSize(43, 18), m_scale);
    const QRect corner(main->geometry.right() - device(130, m_scale), main->geometry.top(),
        device(130, m_scale) - frame.width(), device(4, m_scale));
    const Match close = bestMatch(restored, corner, frame);
    const QImage stretched = QImage(QStringLiteral(":/res/BITMAP/103"))
                                 .copy(0, 0, 43, 18)
                                 .scaled(frame.size())
                                 .convertToFormat(QImage::Format_RGB32);
    const double stretchedDifference = bestMatch(restored, corner, stretched).difference;
    restored.copy(QRect(close.at, frame.size()))
        .scaled(frame.size() * 4)
        .save(artifact(m_name + QStringLiteral("-close-button.png")));
    EXPECT_LE(close.difference, 1.0)
        << "the close button is not its frame at this density; best match of its " << frame.width()
        << " x " << frame.height() << " frame at " << close.at.x() - main->geometry.left() << ", "
        << close.at.y() - main->geometry.top();
    if (m_scale != 1.0 && m_scale != 2.0) {
        EXPECT_LT(close.difference, stretchedDifference) << "the 1x frame stretched matches better";
    }
    m_launcher.reset();

    // The updater, at work on a slow file.
    const QString temp = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/kest");
    ASSERT_TRUE(QDir().mkpath(temp));
    QFile::setPermissions(temp, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile manifest(temp + QStringLiteral("/update.txt"));
    ASSERT_TRUE(manifest.open(QIODevice::WriteOnly | QIODevice::Truncate));
    manifest.write("version=9.9.9\r\ndata.pak|http://" + m_demo->host().toUtf8()
        + "/gamehome/kest/files/data.pak\r\n");
    manifest.close();
    const QString install = m_dir.filePath(QStringLiteral("install"));
    ASSERT_TRUE(QDir().mkpath(install));
    m_updater.start(
        QFileInfo(qEnvironmentVariable("KEST_BIN")).dir().filePath(QStringLiteral("Update")),
        { install + QStringLiteral("|") + install + QStringLiteral("/kest") });
    QList<XWindow> updater;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !(updater = visibleWindowsNamed(kUpdaterCaption)).isEmpty(); }, kStartMs))
        << "no updater window";
    QTest::qWait(1500);
    expectCleanShape(screenshot(), updater.first().geometry, QStringLiteral("updater"));
}

INSTANTIATE_TEST_SUITE_P(DesktopScales, HighDensityTest, ::testing::Values(1.0, 1.25, 1.5, 2.0),
    [](const ::testing::TestParamInfo<qreal>& info) {
        return "Scale" + std::to_string(qRound(info.param * 100));
    });

} // namespace
