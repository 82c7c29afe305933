// The skinned button driven by real mouse, key and focus events and by its
// real pointer poll: its states, frames, events and their order, its sizes,
// shape and persisted properties.
#include "skin/accessibility.h"
#include "skin/iButton.h"
#include "skin/skinerror.h"
#include "skin_fixtures.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace kest;
using namespace skintest;

namespace {

const QColor kNormal(200, 0, 0), kOver(0, 200, 0), kPressed(0, 0, 200);
const QColor kNormal1(200, 200, 0), kOver1(0, 200, 200), kPressed1(200, 0, 200);

QImage pushStrip()
{
    return strip({ kNormal, kOver, kPressed }, 24, 18);
}
QImage toggleStrip()
{
    return strip({ kNormal, kOver, kPressed, kNormal1, kOver1, kPressed1 }, 25, 18);
}

// A shown button in a shown window, the pointer elsewhere, past the first
// poll (which reports the pointer out once).
struct Rig {
    std::unique_ptr<QWidget> host;
    iButton* b = nullptr;
    std::unique_ptr<ButtonEvents> events;

    explicit Rig(const QImage& picture, int style = 0)
    {
        host = shownHost(QSize(200, 100));
        pointerAway();
        b = new iButton(host.get());
        QSignalSpy firstOut(b, &iButton::MouseOut);
        b->move(20, 20);
        b->setStyle(style);
        b->setBackPicture(picture);
        b->show();
        EXPECT_TRUE(firstOut.wait(5000));
        events = std::make_unique<ButtonEvents>(b);
    }
    QRgb frame() const { return b->Image().pixel(1, 1); }
    QPoint outside() const { return QPoint(-15, 60); } // in the host, off the button
};

bool waitFor(const std::function<bool()>& done)
{
    return QTest::qWaitFor(done, 5000);
}

QStringList list(std::initializer_list<const char*> names)
{
    QStringList out;
    for (const char* n : names)
        out << QLatin1String(n);
    return out;
}

} // namespace

TEST(iButton, AutoSizeTakesOneFrameOfTheStrip)
{
    Rig rig(pushStrip());
    EXPECT_EQ(rig.b->FrameWidth(), 24);
    EXPECT_EQ(rig.b->FrameHeight(), 18);
    EXPECT_EQ(rig.b->size() * 15, QSize(360, 270));
    rig.b->resize(60, 40);
    EXPECT_EQ(rig.b->size(), QSize(24, 18));

    rig.b->setAutoSize(false);
    rig.b->resize(60, 40);
    EXPECT_EQ(rig.b->size(), QSize(60, 40));
    EXPECT_EQ(rig.b->Image().pixel(59, 39), kNormal.rgb()); // the frame stretched over it
    rig.b->setStyle(1); // the same strip cut into six
    EXPECT_EQ(rig.b->FrameWidth(), 12);
}

TEST(iButton, HoverShowsTheOverFrameUntilThePollSeesThePointerGone)
{
    Rig rig(pushStrip());
    EXPECT_EQ(rig.frame(), kNormal.rgb());
    pointerTo(rig.b, QPoint(5, 5));
    EXPECT_EQ(rig.b->currentState(), 1);
    EXPECT_EQ(rig.frame(), kOver.rgb());
    EXPECT_EQ(rig.b->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(rig.b->IsMouseOver());

    pointerTo(rig.host.get(), QPoint(150, 80));
    ASSERT_TRUE(waitFor([&] { return rig.events->names.contains(QLatin1String("MouseOut")); }));
    EXPECT_EQ(rig.frame(), kNormal.rgb());
    EXPECT_FALSE(rig.b->overFlag());
    EXPECT_EQ(rig.events->names, list({ "MouseOver", "MouseOut" }));
}

TEST(iButton, ClickShowsPressedThenRaisesItsEventsInOrderAndLockedKeepsPressed)
{
    Rig rig(pushStrip());
    rig.b->setAutoSize(false);
    rig.b->resize(80, 30);
    rig.b->setcForeColor(0xFFFFFF);
    rig.b->setCaption(QStringLiteral("HI"));
    auto ink = [&] {
        return boundingBox(rig.b->Image(),
            [](QRgb p) { return qRed(p) > 128 && qGreen(p) > 128 && qBlue(p) > 128; });
    };
    const QRect restingInk = ink();
    pointerTo(rig.b, QPoint(40, 15));
    QTest::mousePress(rig.b, Qt::LeftButton, {}, QPoint(40, 15));
    EXPECT_EQ(rig.b->currentState(), 2);
    EXPECT_EQ(rig.frame(), kPressed.rgb());
    EXPECT_EQ(rig.b->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(ink(), restingInk.translated(1, 1)); // the caption moves one pixel right and down

    QTest::mouseRelease(rig.b, Qt::LeftButton, {}, QPoint(40, 15));
    EXPECT_EQ(rig.events->names, list({ "MouseOver", "MouseDown1", "MouseUp1", "Click" }));
    EXPECT_EQ(rig.b->currentState(), 1);
    EXPECT_EQ(ink(), restingInk);

    // Locked: the pressed frame in every state; the caption still moves only
    // while pressed, and the events go on.
    rig.b->setLocked(true);
    EXPECT_EQ(rig.frame(), kPressed.rgb());
    EXPECT_EQ(ink(), restingInk);
    QTest::mouseClick(rig.b, Qt::LeftButton, {}, QPoint(40, 15));
    EXPECT_EQ(rig.events->names.count(QStringLiteral("Click")), 2);
}

TEST(iButton, DraggedOffAndBackWhileHeldThenReleasedOutside)
{
    Rig rig(pushStrip());
    pointerTo(rig.b, QPoint(5, 5));
    QTest::mousePress(rig.b, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(rig.frame(), kPressed.rgb());

    pointerTo(rig.host.get(), QPoint(150, 80));
    ASSERT_TRUE(waitFor([&] { return rig.b->currentState() == 0; }));
    EXPECT_EQ(rig.frame(), kNormal.rgb());
    EXPECT_TRUE(rig.b->overFlag()); // still polling for the return

    pointerTo(rig.b, QPoint(6, 6));
    ASSERT_TRUE(waitFor([&] { return rig.b->currentState() == 2; }));
    EXPECT_EQ(rig.frame(), kPressed.rgb());

    pointerTo(rig.host.get(), QPoint(150, 80));
    QTest::mouseRelease(rig.b, Qt::LeftButton, {}, rig.outside());
    EXPECT_EQ(rig.b->currentState(), 0);
    EXPECT_TRUE(rig.b->overFlag());
    ASSERT_TRUE(waitFor([&] { return !rig.b->overFlag(); }));
    EXPECT_EQ(rig.events->names, list({ "MouseOver", "MouseDown1", "MouseUp1", "MouseOut" }));
}

TEST(iButton, ToggleFlipsOnlyOnAClickOnTheButton)
{
    Rig rig(toggleStrip(), 1);
    QSignalSpy click(rig.b, &iButton::Click);
    bool valueSeenInClick = false;
    QObject::connect(rig.b, &iButton::Click, rig.b, [&] { valueSeenInClick = rig.b->Value(); });
    pointerTo(rig.b, QPoint(5, 5));
    QTest::mouseClick(rig.b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(rig.b->Value());
    EXPECT_TRUE(valueSeenInClick); // flipped on mouse-up, before Click
    EXPECT_EQ(rig.frame(), kOver1.rgb());

    // Pressed on the button, released outside: no flip, no Click.
    QTest::mousePress(rig.b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(rig.frame(), kPressed1.rgb());
    pointerTo(rig.host.get(), QPoint(150, 80));
    QTest::mouseRelease(rig.b, Qt::LeftButton, {}, rig.outside());
    EXPECT_TRUE(rig.b->Value());
    EXPECT_EQ(click.count(), 1);
    EXPECT_EQ(rig.frame(), kNormal1.rgb());

    // A double click flips once and clicks once, so Value keeps step with
    // what the host did on Click.
    pointerTo(rig.b, QPoint(5, 5));
    rig.events->names.clear();
    QTest::mousePress(rig.b, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(rig.b, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseDClick(rig.b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(rig.frame(), kPressed.rgb());
    QTest::mouseRelease(rig.b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(rig.b->Value());
    EXPECT_EQ(
        rig.events->names, list({ "MouseDown1", "MouseUp1", "Click", "DBClick", "MouseUp1" }));
}

TEST(iButton, RightButtonRaisesNoClickButStillADoubleClick)
{
    Rig rig(pushStrip());
    pointerTo(rig.b, QPoint(5, 5));
    rig.events->names.clear();
    QTest::mousePress(rig.b, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(rig.frame(), kOver.rgb()); // only the left button presses
    QTest::mouseRelease(rig.b, Qt::RightButton, {}, QPoint(5, 5));
    QTest::mouseDClick(rig.b, Qt::RightButton, {}, QPoint(5, 5));
    QTest::mouseRelease(rig.b, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(rig.events->names, list({ "MouseDown2", "MouseUp2", "DBClick", "MouseUp2" }));
    EXPECT_EQ(rig.frame(), kOver.rgb());
}

TEST(iButton, EnterClicksOnKeyDownSpaceOnKeyUp)
{
    Rig rig(toggleStrip(), 1);
    QTest::keyPress(rig.b, Qt::Key_Return);
    EXPECT_EQ(rig.events->names, list({ "KeyDown13", "Click", "KeyPress13" }));
    EXPECT_TRUE(rig.b->Value());
    // The pointer is elsewhere, so the focus rectangle is drawn: inverted pixels.
    EXPECT_EQ(rig.b->Image().pixel(3, 3), qRgb(255 - 200, 255 - 200, 255));
    EXPECT_EQ(rig.b->Image().pixel(1, 1), kNormal1.rgb());
    QTest::keyRelease(rig.b, Qt::Key_Return);

    rig.events->names.clear();
    QTest::keyPress(rig.b, Qt::Key_Space);
    EXPECT_EQ(rig.frame(), kPressed1.rgb());
    EXPECT_EQ(rig.events->names, list({ "KeyDown32", "KeyPress32" }));
    // A held key repeats; only its key-down counts, its repeated releases do not.
    QKeyEvent repeatUp(
        QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QKeyEvent repeatDown(
        QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QCoreApplication::sendEvent(rig.b, &repeatUp);
    QCoreApplication::sendEvent(rig.b, &repeatDown);
    EXPECT_FALSE(rig.events->names.contains(QLatin1String("Click")));
    QTest::keyRelease(rig.b, Qt::Key_Space);
    EXPECT_EQ(rig.events->names.mid(4), list({ "KeyUP32", "Click" }));
    EXPECT_FALSE(rig.b->Value());
    EXPECT_EQ(rig.frame(), kNormal.rgb());
}

TEST(iButton, FocusDrawsTheFocusRectangleAndLosingItRemovesIt)
{
    Rig rig(pushStrip());
    rig.host->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.host.get()));
    rig.b->setFocus();
    ASSERT_TRUE(waitFor([&] { return rig.b->hasFocus(); }));
    EXPECT_EQ(rig.b->Image().pixel(3, 3), qRgb(55, 255, 255));
    EXPECT_EQ(rig.b->Image().pixel(4, 3), kNormal.rgb()); // dotted
    EXPECT_EQ(rig.b->Image().pixel(20, 14), qRgb(55, 255, 255)); // the opposite corner
    rig.b->clearFocus();
    EXPECT_EQ(rig.b->Image().pixel(3, 3), kNormal.rgb());
}

TEST(iButton, FrameChoiceForDisabledAndValue)
{
    Rig push(pushStrip());
    EXPECT_EQ(push.b->GetFrame(3).pixel(1, 1), kNormal.rgb()); // no disabled frame in a strip
    push.b->setValue(true);
    EXPECT_FALSE(push.b->Value()); // a push button cannot be set
    push.b->setEnabled(false);
    push.b->cMouseAction(push.b->CurrentState(), true);
    EXPECT_EQ(push.b->currentState(), 3);
    EXPECT_EQ(push.frame(), kNormal.rgb());

    Rig toggle(toggleStrip(), 1);
    toggle.b->setValue(true);
    EXPECT_EQ(toggle.frame(), kNormal1.rgb());
    EXPECT_EQ(toggle.b->GetFrame(3).pixel(1, 1), kNormal1.rgb());
    EXPECT_EQ(toggle.b->GetFrame(2).pixel(1, 1), kPressed1.rgb());
    toggle.b->setValue(false);
    EXPECT_EQ(toggle.b->GetFrame(3).pixel(1, 1), kNormal.rgb());

    // A strip too short for its frames: what lies past its end is never read.
    EXPECT_TRUE(iButton::CopyRegionToPicture(pushStrip(), 72, 0, 24, 18).isNull());
    const QImage partial = iButton::CopyRegionToPicture(pushStrip(), 60, 0, 24, 18);
    EXPECT_EQ(partial.pixel(0, 0), kPressed.rgb());
    EXPECT_EQ(qAlpha(partial.pixel(12, 0)), 0);
}

TEST(iButton, WithoutAPictureOnlyTheCaptionIsDrawn)
{
    auto host = shownHost(QSize(200, 100));
    auto* b = new iButton(host.get());
    b->resize(60, 24);
    b->show();
    b->setIcon(strip({ Qt::green }, 8, 8));
    b->setcForeColor(0x0000FF); // red
    b->setCaption(QStringLiteral("OK"));
    const QImage image = b->Image();
    EXPECT_EQ(image.pixel(0, 0), b->palette().color(QPalette::Button).rgb());
    EXPECT_FALSE(
        boundingBox(image, [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 80; }).isEmpty());
    EXPECT_TRUE(boundingBox(image, [](QRgb p) { return p == qRgb(0, 255, 0); }).isEmpty());

    // With a picture the icon shows, left of the caption.
    b->setAutoSize(false);
    b->setBackPicture(strip({ Qt::darkRed, Qt::darkGreen, Qt::darkBlue }, 20, 10));
    const QRect icon = boundingBox(b->Image(), [](QRgb p) { return p == qRgb(0, 255, 0); });
    EXPECT_EQ(icon.size(), QSize(8, 8));
    EXPECT_EQ(icon.top(), 0);
}

TEST(iButton, TransparentStyleTakesItsShapeFromMagenta)
{
    Rig rig(pushStrip());
    QImage withHole = pushStrip();
    withHole.setPixel(0, 0, qRgb(255, 0, 255));
    withHole.setPixel(23, 17, qRgb(255, 0, 255));
    rig.b->setBackPicture(withHole);
    rig.b->setcBackStyle(0);
    const QRegion shape = rig.b->mask();
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
    EXPECT_FALSE(shape.contains(QPoint(23, 17)));
    EXPECT_TRUE(shape.contains(QPoint(1, 0)));
    EXPECT_TRUE(shape.contains(QPoint(12, 9)));

    for (const auto& [value, error] : { std::pair { 70000, 6 }, { 2, 380 }, { -1, 380 } }) {
        EXPECT_EQ(skinErrorOf([&] { rig.b->setcBackStyle(value); }), error) << value;
        EXPECT_EQ(rig.b->cBackStyle(), 0);
    }
    rig.b->setcBackStyle(1);
    EXPECT_TRUE(rig.b->mask().isEmpty());
}

TEST(iButton, PropertyBagDefaultsOrdersAndBadValues)
{
    iButton b;
    PropertyBag bag;
    b.ReadProperties(bag);
    EXPECT_EQ(bag.readOrder(),
        list({ "backpicture", "icon", "enabled", "cbackstyle", "caption", "style", "autosize",
            "cforecolor", "cfont", "cdrawmode" }));
    b.WriteProperties(bag);
    EXPECT_EQ(bag.writeOrder(),
        list({ "_extentx", "_extenty", "backpicture", "icon", "enabled", "style", "cbackstyle",
            "caption", "autosize", "cfont", "cdrawmode", "cforecolor" }));
    EXPECT_EQ(bag.keys(), list({ "_extentx", "_extenty", "cfont", "cdrawmode", "cforecolor" }));

    QSignalSpy changed(&b, &iButton::propertyChanged);
    b.setBackPicture(toggleStrip());
    b.setStyle(1);
    b.setAutoSize(false);
    b.setCaption(QStringLiteral("是"));
    b.setEnabled(false);
    b.setValue(true); // not persisted
    EXPECT_EQ(changed.count(), 5);
    b.WriteProperties(bag);
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("AUTOSIZE")).toInt(), 0);
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("Enabled")).toInt(), 0);

    iButton copy;
    QSignalSpy copyChanged(&copy, &iButton::propertyChanged);
    copy.ReadProperties(bag);
    EXPECT_EQ(copyChanged.count(), 0); // reading tells the container nothing
    EXPECT_EQ(copy.Caption(), QStringLiteral("是"));
    EXPECT_EQ(copy.Style(), 1);
    EXPECT_FALSE(copy.AutoSize());
    EXPECT_FALSE(copy.isEnabled());
    EXPECT_EQ(copy.BackPicture(), toggleStrip());
    EXPECT_FALSE(copy.Value());

    bag.WriteProperty(QStringLiteral("Style"), QStringLiteral("toggle"));
    bag.WriteProperty(QStringLiteral("Caption"), QStringLiteral("changed"));
    iButton untouched;
    EXPECT_EQ(skinErrorOf([&] { untouched.ReadProperties(bag); }), SkinError::TypeMismatch);
    EXPECT_EQ(untouched.Caption(), QString());
    EXPECT_EQ(untouched.Style(), 0);
    EXPECT_EQ(skinErrorOf([&] { untouched.setStyle(-1); }), SkinError::InvalidPropertyValue);
}

TEST(iButton, AHostMayDeleteTheButtonFromClick)
{
    Rig rig(pushStrip());
    QPointer<iButton> b = rig.b;
    QObject::connect(rig.b, &iButton::Click, rig.host.get(), [&] { delete b.data(); });
    QTest::keyPress(rig.b, Qt::Key_Return);
    EXPECT_TRUE(b.isNull());
}

// What a screen reader is told of a button: its name (the host's, else the
// tool tip, else the caption), its toggle state, and a press that clicks it
// as Enter does, flipping a toggle button first.
TEST(iButton, ScreenReadersReadTheNameAndStateAndPressIt)
{
    EXPECT_EQ(a11y::buttonName({}, {}, QStringLiteral(" 游戏大厅 ")), QStringLiteral("游戏大厅"));
    EXPECT_EQ(
        a11y::buttonName({}, QStringLiteral("提示"), QStringLiteral("c")), QStringLiteral("提示"));
    EXPECT_EQ(a11y::buttonName(QStringLiteral("关闭"), QStringLiteral("提示"), QStringLiteral("c")),
        QStringLiteral("关闭"));

    Rig rig(toggleStrip(), 1);
    rig.b->setCaption(QStringLiteral("最大化"));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(rig.b);
    ASSERT_TRUE(iface);
    EXPECT_EQ(iface->role(), QAccessible::Button);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("最大化"));
    EXPECT_TRUE(iface->state().checkable);
    EXPECT_FALSE(iface->state().checked);
    iface->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(rig.b->Value());
    EXPECT_TRUE(iface->state().checked);
    EXPECT_EQ(rig.events->names.count(QStringLiteral("Click")), 1);

    rig.b->setEnabled(false);
    iface->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(rig.b->Value()) << "a disabled button took the press";
}
