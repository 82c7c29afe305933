// The launcher's window helpers that need no browser engine: the start-up
// switch, layered pictures, the colour key, the icon file and the login move
// hook. Runs on the offscreen platform with the program's own pictures.
#include "launcher/login/LoadFrm.h"
#include "launcher/login/LoginFrm.h"
#include "launcher/shared/PublicData.h"
#include "platform/resources.h"
#include "tests/support/messageboxes.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

TEST(StartUp, OnlyTheExactSwitchOpensTheHomePage)
{
    EXPECT_TRUE(kest::LoadFrm::isWebSwitch(QStringLiteral("/web")));
    for (const char* text :
        { "", "/WEB", "/Web", "/web ", " /web", "/web x", "/webx", "web", "-web" })
        EXPECT_FALSE(kest::LoadFrm::isWebSwitch(QString::fromLatin1(text))) << text;
}

// Nothing on PATH opens web addresses: the player gets a notice with the
// address, over the window that asked.
TEST(StartUp, HomePageWithoutABrowserIsANoticeWithTheAddress)
{
    QTemporaryDir emptyPath;
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(emptyPath.path()));
    qputenv("KEST_HOME_HOST", "127.0.0.1:9");
    QWidget owner;
    QString seen;
    QTimer::singleShot(0, &owner, [&] {
        if (QMessageBox* box = kest::test::visibleMessageBox()) {
            seen = box->windowTitle() + QLatin1Char('|') + box->text();
            EXPECT_EQ(box->parentWidget(), &owner);
            box->accept();
        }
    });
    EXPECT_FALSE(kest::openHomePage(&owner));
    qputenv("PATH", savedPath);
    qunsetenv("KEST_HOME_HOST");
    EXPECT_EQ(seen,
        QStringLiteral(
            "提示|未能打开网页，请检查是否已安装默认浏览器！\n网址：http://127.0.0.1:9/"));
}

TEST(LayeredPng, OpaqueRegionLeavesTransparentPixelsOut)
{
    QImage image(10, 6, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 1; y < 4; ++y)
        for (int x = 2; x < 7; ++x)
            image.setPixel(x, y, qRgba(10, 20, 30, 255));
    image.setPixel(8, 5, qRgba(0, 0, 0, 40)); // faint: left out
    EXPECT_EQ(kest::LayeredPng::opaqueRegion(image), QRegion(2, 1, 5, 3));

    QImage solid(4, 4, QImage::Format_RGB32);
    solid.fill(Qt::red);
    EXPECT_EQ(kest::LayeredPng::opaqueRegion(solid), QRegion(0, 0, 4, 4));
    EXPECT_TRUE(kest::LayeredPng::opaqueRegion(QImage()).isEmpty());
}

// The splash and the login background take their own pictures' sizes and are
// shaped to them; a second picture leaves the first one intact.
TEST(LayeredPng, WindowsTakeTheirPicturesSizeAndShape)
{
    QWidget splash;
    QWidget background;
    kest::LayeredPng splashPicture;
    kest::LayeredPng backgroundPicture;
    ASSERT_TRUE(splashPicture.ShowLayeredPng(&splash, kest::kSplashPngId));
    ASSERT_TRUE(backgroundPicture.ShowLayeredPng(&background, kest::kLoginBackgroundPngId));

    EXPECT_EQ(splash.size(), kest::LoadFrm::kDesignSize);
    EXPECT_EQ(background.size(), QSize(888, 518));
    for (QWidget* window : { &splash, &background }) {
        const QRegion shape = window->mask();
        EXPECT_FALSE(shape.isEmpty());
        // The artwork has transparent parts: the shape has holes.
        EXPECT_NE(shape, QRegion(window->rect()));
        EXPECT_TRUE(window->rect().contains(shape.boundingRect()));
    }

    const QImage before = backgroundPicture.picture().toImage();
    splashPicture = kest::LayeredPng();
    EXPECT_EQ(backgroundPicture.picture().toImage(), before);
}

TEST(LayeredPng, MissingPictureLeavesABlankWindowOfItsSize)
{
    QWidget window;
    window.resize(kest::LoadFrm::kDesignSize);
    kest::LayeredPng picture;
    EXPECT_FALSE(picture.ShowLayeredPng(&window, 9999));
    EXPECT_EQ(window.size(), kest::LoadFrm::kDesignSize);
    EXPECT_TRUE(window.mask().isEmpty());

    QImage canvas(window.size(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::red);
    QPainter painter(&canvas);
    picture.paint(painter);
    painter.end();
    EXPECT_EQ(canvas.pixel(10, 10), qRgba(0, 0, 0, 0));
}

TEST(ColourKey, RegionIsThePageWithoutTheKeyColour)
{
    QImage page(40, 30, QImage::Format_ARGB32_Premultiplied);
    page.fill(QColor::fromRgb(kest::LoginFrm::kColourKey));
    for (int y = 5; y < 15; ++y)
        for (int x = 10; x < 30; ++x)
            page.setPixel(x, y, qRgb(31, 111, 229));
    // Near the key, but not the key: shown (text edges must not become holes).
    page.setPixel(0, 0, qRgb(254, 254, 253));
    page.setPixel(1, 0, qRgb(255, 255, 255));

    const QRegion shown = kest::LoginFrm::colourKeyRegion(page, QPoint(3, 4));
    EXPECT_EQ(shown, QRegion(13, 9, 20, 10) + QRegion(3, 4, 2, 1));

    QImage blank(8, 8, QImage::Format_RGB32);
    blank.fill(QColor::fromRgb(kest::LoginFrm::kColourKey));
    EXPECT_TRUE(kest::LoginFrm::colourKeyRegion(blank, QPoint()).isEmpty());
}

TEST(LoginMoveHook, PageWindowFollowsEveryMoveUntilUnhooked)
{
    QWidget background;
    QWidget page;
    QWidget otherBackground;
    background.setGeometry(100, 100, 200, 100);
    page.setGeometry(0, 0, 150, 80);
    otherBackground.setGeometry(400, 400, 50, 50);
    for (QWidget* window : { &background, &page, &otherBackground }) {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    kest::HookLoginMove(&background, &page);

    for (const QPoint to : { QPoint(300, 200), QPoint(0, 0), QPoint(40, 25) }) {
        background.move(to);
        QTRY_COMPARE(page.pos(), to);
    }
    EXPECT_EQ(page.size(), QSize(150, 80));

    // Hooking another background lets go of the first.
    kest::HookLoginMove(&otherBackground, &page);
    otherBackground.move(60, 70);
    QTRY_COMPARE(page.pos(), QPoint(60, 70));
    background.move(500, 500);
    QTRY_COMPARE(background.pos(), QPoint(500, 500));
    QTest::qWait(50);
    EXPECT_EQ(page.pos(), QPoint(60, 70));

    kest::UnhookLoginMove(&otherBackground);
    otherBackground.move(90, 90);
    QTRY_COMPARE(otherBackground.pos(), QPoint(90, 90));
    QTest::qWait(50);
    EXPECT_EQ(page.pos(), QPoint(60, 70));
}

TEST(AppIcon, WrittenToThePrivateFolderAndLoadedFromThere)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString iconPath = runtime.path() + QStringLiteral("/kest/kest.ico");

    const QIcon icon = kest::loadAppIcon();
    QFile written(iconPath);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        written.readAll(), kest::LoadResData(kest::kAppIconId, QStringLiteral("ICON")).value());
    EXPECT_FALSE(icon.pixmap(16, 16).isNull());
    EXPECT_FALSE(icon.pixmap(32, 32).isNull());
    EXPECT_TRUE(icon.availableSizes().contains(QSize(16, 16)));
    EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));

    // A folder that is refused (here a link) still leaves the windows an icon.
    QTemporaryDir other;
    QDir(runtime.path()).rename(QStringLiteral("kest"), QStringLiteral("old"));
    ASSERT_TRUE(QFile::link(other.path(), runtime.path() + QStringLiteral("/kest")));
    const QIcon fallback = kest::loadAppIcon();
    EXPECT_FALSE(fallback.pixmap(32, 32).isNull());
    EXPECT_FALSE(QFile::exists(other.path() + QStringLiteral("/kest.ico")));

    qputenv("XDG_RUNTIME_DIR", savedRuntime);
}

} // namespace
