// The exit question on a real X server under openbox, answered with real
// clicks (xdotool) while its modal loop runs: "是" sets m_bExit, "否" and the
// close button clear it, and so does any other way of dismissing it. Its
// layout and its 4 x 4 rounded corners, on the screen.
#include "launcher/mainwindow/MsgFrm.h"
#include "skin/BForm.h"
#include "skin/iButton.h"
#include "tests/support/x11tools.h"
#include "winhook/cSetStyle.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace kest;
using namespace kest::test;

namespace {

// Runs `answer` once the dialog is up, from inside its modal loop; returns
// what exec() returned.
int askWith(MsgFrm& dialog, const std::function<void(MsgFrm&)>& answer)
{
    QTimer::singleShot(0, &dialog, [&] {
        if (!QTest::qWaitForWindowExposed(&dialog, 15000)) {
            ADD_FAILURE() << "the dialog never showed";
            dialog.done(-1);
            return;
        }
        QTest::qWait(300); // the window manager settles the dialog
        answer(dialog);
    });
    return dialog.exec();
}

void clickOn(const QWidget& widget)
{
    const QPoint middle = widget.mapToGlobal(widget.rect().center());
    ASSERT_TRUE(xdotool(
        { QStringLiteral("mousemove"), QString::number(middle.x()), QString::number(middle.y()) }));
    QTest::qWait(100);
    ASSERT_TRUE(xdotool({ QStringLiteral("click"), QStringLiteral("1") }));
}

class ExitQuestion : public ::testing::Test {
protected:
    void SetUp() override { KEST_REQUIRE_X11(QStringLiteral("xdotool")); }
};

TEST_F(ExitQuestion, YesSetsTheFlag)
{
    bool m_bExit = false;
    MsgFrm dialog(m_bExit);
    askWith(dialog, [](MsgFrm& d) {
        grabScreen(d.frameGeometry().adjusted(-10, -10, 10, 10), QStringLiteral("mainparts"),
            QStringLiteral("msgfrm.png"));
        clickOn(*d.iButton1);
    });
    EXPECT_TRUE(m_bExit);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ExitQuestion, NoAndTheCloseButtonClearTheFlag)
{
    for (const char* button : { "iButton2", "closebtn" }) {
        bool m_bExit = true;
        MsgFrm dialog(m_bExit);
        askWith(dialog,
            [button](MsgFrm& d) { clickOn(*d.findChild<QWidget*>(QLatin1String(button))); });
        EXPECT_FALSE(m_bExit) << button;
    }
}

TEST_F(ExitQuestion, EscapeAndTheWindowManagersCloseCountAsNo)
{
    bool m_bExit = true;
    {
        MsgFrm dialog(m_bExit);
        askWith(dialog, [](MsgFrm&) {
            ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("Escape") }));
        });
        EXPECT_FALSE(m_bExit);
    }
    m_bExit = true;
    MsgFrm dialog(m_bExit);
    askWith(dialog, [](MsgFrm& d) { requestClose(d.winId()); });
    EXPECT_FALSE(m_bExit);
}

TEST_F(ExitQuestion, LaysOutAsDesignedWithFourPixelCorners)
{
    bool m_bExit = false;
    MsgFrm dialog(m_bExit);
    askWith(dialog, [&](MsgFrm& d) {
        EXPECT_EQ(d.size(), QSize(242, 140));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        EXPECT_LE(std::abs(d.geometry().center().x() - screen.center().x()), 1);
        EXPECT_LE(std::abs(d.geometry().center().y() - screen.center().y()), 1);
        EXPECT_TRUE(d.windowFlags() & Qt::FramelessWindowHint);
        EXPECT_TRUE(d.isModal());

        EXPECT_EQ(d.BForm1->geometry(), QRect(0, 0, 242, 33));
        EXPECT_EQ(d.BForm1->Caption(), QStringLiteral("ZantivoTervolk客户端"));
        // 242 pixels are 3630 twips; less 730 that is 2900 twips, 193 pixels.
        EXPECT_EQ(d.closebtn->geometry(), QRect(193, 1, 43, 18));
        EXPECT_EQ(d.Label1->geometry(), QRect(24, 56, 209, 41));
        EXPECT_EQ(d.Label1->text(), QStringLiteral("窗口即将关闭，确定要退出游戏？"));
        EXPECT_EQ(d.iButton1->geometry(), QRect(56, 88, 65, 25));
        EXPECT_EQ(d.iButton2->geometry(), QRect(136, 88, 65, 25));
        EXPECT_EQ(d.iButton1->Caption(), QStringLiteral("是"));
        EXPECT_EQ(d.iButton2->Caption(), QStringLiteral("否"));
        EXPECT_FALSE(d.iButton1->AutoSize());
        EXPECT_EQ(d.iButton1->FrameWidth(), 75) << "three 75-pixel faces";
        EXPECT_EQ(d.iButton1->FrameHeight(), 22);
        EXPECT_EQ(d.mask(), formstyle::roundRectRegion(243, 141, 4, 4));

        // On the screen: the corner pixel is the desktop's, its neighbours the dialog's.
        const QPoint origin = d.geometry().topLeft();
        const QImage shot = grabScreen(QRect(origin, d.size()));
        const QImage desktop = grabScreen(QRect(origin - QPoint(5, 5), QSize(1, 1)));
        for (const QPoint corner :
            { QPoint(0, 0), QPoint(241, 0), QPoint(0, 139), QPoint(241, 139) })
            EXPECT_EQ(shot.pixel(corner), desktop.pixel(0, 0)) << corner.x() << "," << corner.y();
        EXPECT_NE(shot.pixel(1, 139), desktop.pixel(0, 0));
        EXPECT_NE(shot.pixel(240, 139), desktop.pixel(0, 0));
        d.reject();
    });
}

} // namespace
