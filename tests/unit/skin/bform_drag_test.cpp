// The caption bar drags its window through the window manager: a real
// pointer drag (xdotool) under openbox on Xvfb moves frmHwnd's window, and a
// bar with no frmHwnd moves nothing.
#include "skin/BForm.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

using kest::BForm;

namespace {

bool xdotool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(10000))
        return false;
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Presses on the bar, drags by (dx, dy) in steps and lets go, letting the
// event loop run in between so that the window can move.
void dragOnBar(const BForm& bar, int dx, int dy)
{
    const QPoint start = bar.mapToGlobal(QPoint(100, 15));
    ASSERT_TRUE(xdotool(
        { QStringLiteral("mousemove"), QString::number(start.x()), QString::number(start.y()) }));
    QTest::qWait(100);
    ASSERT_TRUE(xdotool({ QStringLiteral("mousedown"), QStringLiteral("1") }));
    QTest::qWait(200);
    for (int step = 1; step <= 5; ++step) {
        ASSERT_TRUE(
            xdotool({ QStringLiteral("mousemove"), QString::number(start.x() + dx * step / 5),
                QString::number(start.y() + dy * step / 5) }));
        QTest::qWait(50);
    }
    ASSERT_TRUE(xdotool({ QStringLiteral("mouseup"), QStringLiteral("1") }));
}

} // namespace

TEST(BFormDrag, LeftDragMovesFrmHwndsWindowAndZeroMovesNothing)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs X11 with a window manager";
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "xdotool is not installed";

    QWidget window;
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.setGeometry(100, 100, 300, 120);
    auto* bar = new BForm(&window);
    bar->setGeometry(0, 0, 300, 33);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300); // the window manager settles the window's place
    QSignalSpy down(bar, &BForm::MouseDown);

    const QPoint before = window.pos();
    dragOnBar(*bar, 0, 0); // frmHwnd null: a press raises MouseDown and moves nothing
    dragOnBar(*bar, 80, 60);
    QTest::qWait(300);
    EXPECT_EQ(window.pos(), before);
    EXPECT_GE(down.count(), 2);

    bar->setFrmHwnd(&window);
    down.clear();
    dragOnBar(*bar, 80, 60);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.pos() == before + QPoint(80, 60); }, 5000))
        << "window at " << window.pos().x() << "," << window.pos().y();
    EXPECT_EQ(down.count(), 1);
}
