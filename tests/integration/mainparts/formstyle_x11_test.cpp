// cSetStyle on a real window under openbox, driven by real pointer input
// (xdotool): the sizing pointer at the edges, the rubber band that follows a
// drag while the window waits for the release, the minimums, maximise and
// restore, a work-area change from a panel that reserves the bottom of the
// screen, and the window manager's close request.
#include "platform/messages.h"
#include "tests/support/x11tools.h"
#include "winhook/ModGetTaskbarHei.h"
#include "winhook/cSetStyle.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

using namespace kest;
using namespace kest::test;

namespace {

// A form that keeps a record of its own close handling.
class Form : public QWidget {
public:
    QStringList* sequence = nullptr;
    bool acceptClose = false;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (sequence)
            *sequence << QStringLiteral("closeEvent");
        if (!acceptClose)
            event->ignore();
    }
};

class FormStyleX11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        KEST_REQUIRE_X11(QStringLiteral("xdotool"), QStringLiteral("xwininfo"));
        style.setobjForm(&form);
        ASSERT_TRUE(style.SetWindowStyle(&form));
        form.setGeometry(100, 80, 1036, 639);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form, 15000));
        // The window manager may settle the window's place after mapping it.
        QTest::qWait(300);
        form.setGeometry(100, 80, 1036, 639);
        ASSERT_TRUE(QTest::qWaitFor([&] { return form.geometry() == QRect(100, 80, 1036, 639); }));
    }

    void pointerTo(QPoint at)
    {
        ASSERT_TRUE(xdotool(
            { QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()) }));
        QTest::qWait(80);
    }

    // Presses at `from`, moves to `to` in steps and, when `release`, lets go.
    void drag(QPoint from, QPoint to, bool release = true)
    {
        pointerTo(from);
        ASSERT_TRUE(xdotool({ QStringLiteral("mousedown"), QStringLiteral("1") }));
        QTest::qWait(80);
        for (int step = 1; step <= 4; ++step)
            pointerTo(from + (to - from) * step / 4);
        if (release) {
            ASSERT_TRUE(xdotool({ QStringLiteral("mouseup"), QStringLiteral("1") }));
            QTest::qWait(150);
        }
    }

    Form form;
    cSetStyle style;
};

TEST_F(FormStyleX11, ThePointerShowsTheEdgeUnderIt)
{
    QSignalSpy mouseSize(&style, &cSetStyle::MouseSize);
    const QRect g = form.geometry();
    pointerTo(QPoint(g.right() - 1, g.center().y()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !mouseSize.isEmpty(); }));
    EXPECT_EQ(mouseSize.last().at(0).toInt(), formstyle::HitRight);
    EXPECT_EQ(form.cursor().shape(), Qt::SizeHorCursor);

    pointerTo(QPoint(g.left() + 2, g.bottom() - 1));
    EXPECT_EQ(mouseSize.last().at(0).toInt(), formstyle::HitBottomLeft);
    EXPECT_EQ(form.cursor().shape(), Qt::SizeBDiagCursor);

    pointerTo(g.center());
    EXPECT_EQ(mouseSize.last().at(0).toInt(), formstyle::HitNone);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(FormStyleX11, TheBandFollowsTheDragAndTheWindowTakesItsPlaceOnRelease)
{
    const QRect start = form.geometry();
    const QPoint grip(start.right() - 1, start.center().y());
    drag(grip, grip + QPoint(100, 60), false);

    ASSERT_TRUE(style.isDragging());
    const QWidget* band = style.rubberBand();
    ASSERT_NE(band, nullptr);
    EXPECT_TRUE(band->isVisible());
    // Only the right side moves, to the pointer; the vertical move does nothing.
    const QRect expected(start.left(), start.top(), grip.x() + 100 - start.left(), start.height());
    // The last pointer motion reaches the form in its own time on a busy machine.
    (void)QTest::qWaitFor([&] { return band->geometry() == expected; }, 5000);
    EXPECT_EQ(band->geometry(), expected);
    EXPECT_EQ(form.geometry(), start) << "the window waits for the release";
    grabScreen(QRect(start.topLeft() - QPoint(20, 20), expected.size() + QSize(40, 40)),
        QStringLiteral("mainparts"), QStringLiteral("formstyle-rubber-band.png"));
    // The band's one-pixel outline is dotted light and dark on the screen;
    // one pixel further in, what lies behind shows through unchanged.
    const auto lightPixels = [](const QImage& column) {
        int light = 0;
        for (int y = 0; y < column.height(); ++y)
            light += column.pixelColor(0, y).lightness() > 200 ? 1 : 0;
        return light;
    };
    const int y = expected.center().y() - 20;
    const QImage outline = grabScreen(QRect(expected.right(), y, 1, 40));
    const QImage behindOutline = grabScreen(QRect(expected.right() + 1, y, 1, 40));
    const QImage inside = grabScreen(QRect(expected.right() - 1, y, 1, 40));
    EXPECT_EQ(lightPixels(outline), 20);
    EXPECT_EQ(lightPixels(inside), lightPixels(behindOutline));

    ASSERT_TRUE(xdotool({ QStringLiteral("mouseup"), QStringLiteral("1") }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.geometry() == expected; }))
        << "form at " << form.geometry().width() << "x" << form.geometry().height();
    EXPECT_FALSE(style.isDragging());
    EXPECT_FALSE(band->isVisible());
}

TEST_F(FormStyleX11, TheRightEdgeStopsAtTheMinimumAndTheTopEdgeHasNone)
{
    const QRect start = form.geometry();
    // 1036 wide; pulling the right edge 400 pixels in would leave 636.
    drag(QPoint(start.right() - 1, start.center().y()),
        QPoint(start.right() - 401, start.center().y()));
    EXPECT_GT(form.geometry().width(), formstyle::kMinDragWidth);
    EXPECT_EQ(form.geometry().left(), start.left());

    // The top edge goes down 500 pixels: 138 high, far below the 600 minimum.
    const QRect before = form.geometry();
    drag(QPoint(before.center().x(), before.top() + 1),
        QPoint(before.center().x(), before.top() + 501));
    EXPECT_EQ(form.geometry().top(), before.top() + 501);
    EXPECT_EQ(form.geometry().bottom(), before.bottom());
}

TEST_F(FormStyleX11, APressMoreThanFivePixelsInsideStartsNoDrag)
{
    const QRect start = form.geometry();
    drag(QPoint(start.right() - 6, start.center().y()),
        QPoint(start.right() + 100, start.center().y()), false);
    EXPECT_FALSE(style.isDragging());
    const QWidget* band = style.rubberBand();
    EXPECT_TRUE(band == nullptr || !band->isVisible());
    ASSERT_TRUE(xdotool({ QStringLiteral("mouseup"), QStringLiteral("1") }));
    QTest::qWait(150);
    EXPECT_EQ(form.geometry(), start);
}

TEST_F(FormStyleX11, MaximisedTheEdgesDoNothingAndRestoreIsExact)
{
    const QRect start = form.geometry();
    ASSERT_TRUE(style.CallWindowStateChange());
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect maximised = formstyle::maximisedBounds(screen->geometry(), GetTaskbarHeight());
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.geometry() == maximised; }));

    QSignalSpy mouseSize(&style, &cSetStyle::MouseSize);
    drag(QPoint(maximised.right() - 1, maximised.center().y()),
        QPoint(maximised.right() - 300, maximised.center().y()));
    EXPECT_TRUE(mouseSize.isEmpty());
    EXPECT_EQ(form.geometry(), maximised);

    EXPECT_FALSE(style.CallWindowStateChange());
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.geometry() == start; }));
}

TEST_F(FormStyleX11, AWorkAreaChangeRefitsTheMaximisedWindow)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect full = screen->geometry();
    QSignalSpy settingChange(&style, &cSetStyle::SettingChange);

    // Not maximised: the event only.
    {
        BottomPanel panel(40);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !settingChange.isEmpty(); }, 5000))
            << "no work-area change seen";
        EXPECT_EQ(form.geometry(), QRect(100, 80, 1036, 639));
        ASSERT_TRUE(QTest::qWaitFor([&] { return GetTaskbarHeight() == 40 * 15; }));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return GetTaskbarHeight() == 0; }, 5000));

    ASSERT_TRUE(style.CallWindowStateChange());
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.geometry() == full; }));
    {
        BottomPanel panel(48);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return form.geometry() == QRect(0, 0, full.width(), full.height() - 48); }, 5000))
            << "form at " << form.geometry().height();
        // On the screen: the form from the top down to the strip, the panel in it.
        const auto formShowsAbovePanel = [&] {
            const QImage shot = grabScreen(full);
            return shot.pixelColor(20, 0) == form.palette().color(QPalette::Window)
                && shot.pixelColor(20, full.height() - 49) == form.palette().color(QPalette::Window)
                && shot.pixel(20, full.height() - 48) == (0xFF000000 | BottomPanel::kPanelColour);
        };
        EXPECT_TRUE(QTest::qWaitFor(formShowsAbovePanel, 5000));
        grabScreen(full, QStringLiteral("mainparts"), QStringLiteral("formstyle-above-panel.png"));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.geometry() == full; }, 5000));
    EXPECT_GE(settingChange.count(), 3);
}

TEST_F(FormStyleX11, TheWindowManagersCloseRaisesCloseClickBeforeTheFormsOwn)
{
    QStringList sequence;
    form.sequence = &sequence;
    QObject context;
    QObject::connect(&style, &cSetStyle::CloseClick, &context,
        [&] { sequence << QStringLiteral("CloseClick"); });

    requestClose(form.winId());
    ASSERT_TRUE(QTest::qWaitFor([&] { return sequence.size() >= 2; }, 5000))
        << sequence.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(
        sequence, QStringList({ QStringLiteral("CloseClick"), QStringLiteral("closeEvent") }));

    // The program's own close() is no request of the platform.
    sequence.clear();
    form.close();
    EXPECT_EQ(sequence, QStringList({ QStringLiteral("closeEvent") }));
}

} // namespace
