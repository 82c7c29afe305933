// The strip with real widgets and real mouse input (through the window, as
// the platform would deliver it): hosting of pages, selection, the pointer
// states and the order of every event.
#include "tabtest.h"

#include "platform/propertybag.h"
#include "platform/units.h"
#include "tabstrip/CTabItems.h"
#include "tabstrip/uTab.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

using namespace kest;
using kest::test::drawTestSkin;
using kest::test::flushDeletes;
using kest::test::TestPage;

namespace {

class StripTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.resize(700, 400);
        strip = new uTab(&host);
        strip->setSkinImages(drawTestSkin(0), drawTestSkin(1));
        strip->setGeometry(0, 0, 600, 25);
        container = new QWidget(&host);
        container->setGeometry(0, 40, 600, 300);
        strip->setContainerWnd(container);
        strip->LockReDraw(false);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        // Qt drops a move to where the pointer already is: two moves make
        // sure each test starts with the pointer off the strip.
        QTest::mouseMove(window(), QPoint(690, 390));
        QTest::mouseMove(window(), QPoint(689, 389));
        record();
    }
    void TearDown() override { flushDeletes(); }

    void record()
    {
        auto mouse = [this](const char* name) {
            return [this, name](int index, int button, int shift, float, float) {
                log << QStringLiteral("%1(%2,%3,%4)")
                           .arg(QLatin1String(name))
                           .arg(index)
                           .arg(button)
                           .arg(shift);
            };
        };
        QObject::connect(strip, &uTab::TabChanged, strip,
            [this] { log << QStringLiteral("TabChanged sel=%1").arg(strip->Selected()); });
        QObject::connect(strip, &uTab::OnMouseDown, strip, mouse("Down"));
        QObject::connect(strip, &uTab::OnMouseUp, strip, mouse("Up"));
        QObject::connect(strip, &uTab::OnMouseHover, strip, mouse("Hover"));
        QObject::connect(strip, &uTab::OnMouseMove, strip, mouse("Move"));
        QObject::connect(strip, &uTab::OnDblClick, strip, mouse("DblClick"));
        QObject::connect(
            strip, &uTab::OnMouseLeave, strip, [this] { log << QStringLiteral("Leave"); });
        QObject::connect(strip, &uTab::OnItemColose, strip, [this](int index, bool* cancel) {
            log << QStringLiteral("ItemColose(%1)").arg(index);
            *cancel = cancelClose;
        });
    }

    TestPage* addTab(const QString& name)
    {
        auto* page = new TestPage(&log, name);
        strip->TabItems()->Add(name, page, name);
        return page;
    }
    void addTabs(int n)
    {
        for (int i = 0; i < n; ++i)
            addTab(QStringLiteral("p%1").arg(strip->TabItems()->Count()));
        log.clear();
    }
    CTabItem* item(int i) { return strip->TabItems()->Item(i); }
    TestPage* page(int i) { return static_cast<TestPage*>(item(i)->Form()); }

    // Points inside the strip, in strip coordinates.
    QPoint bodyOf(int i) { return QPoint(strip->TabLeftSize() + item(i)->Left() + 20, 4); }
    QPoint closeOf(int i)
    {
        const bool capsule = strip->TabStyle() != 0;
        const int right = strip->TabLeftSize() + item(i)->Left() + item(i)->Width();
        return capsule ? QPoint(right - 14, 13) : QPoint(right - 18, 12);
    }

    // A real pointer moves to where it presses; Qt reports that move before
    // the press, so tests that look at a press alone move there first.
    QWindow* window() { return host.windowHandle(); }
    QPoint inWindow(QPoint p) { return strip->mapTo(&host, p); }
    void move(QPoint p) { QTest::mouseMove(window(), inWindow(p)); }
    void press(QPoint p, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {})
    {
        QTest::mousePress(window(), b, m, inWindow(p));
    }
    void release(QPoint p, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mouseRelease(window(), b, {}, inWindow(p));
    }
    bool pageOnTop(QWidget* page)
    {
        return container->childAt(container->rect().center()) == page
            || page->isAncestorOf(container->childAt(container->rect().center()));
    }

    QStringList log; // first: pages write to it while the host goes
    bool cancelClose = false;
    QWidget host;
    uTab* strip = nullptr;
    QWidget* container = nullptr;
};

TEST_F(StripTest, PagesWaitHiddenUntilSelectedThenStayShownWhenCovered)
{
    TestPage* first = addTab(QStringLiteral("a"));
    EXPECT_EQ(first->parentWidget(), container);
    EXPECT_FALSE(first->isWindow());
    EXPECT_EQ(first->geometry(), container->rect());
    // The first tab becomes the selected one, but Add shows no page.
    EXPECT_EQ(strip->Selected(), 0);
    EXPECT_FALSE(first->isVisible());

    TestPage* second = addTab(QStringLiteral("b"));
    EXPECT_EQ(strip->Selected(), 0);
    strip->setSelected(1);
    EXPECT_TRUE(second->isVisible());
    EXPECT_TRUE(pageOnTop(second));
    EXPECT_FALSE(log.contains(QStringLiteral("TabChanged sel=1"))); // writing never raises it
    EXPECT_TRUE(first->isVisible()) << "a covered page is hidden, so a browser page stops";
    strip->setSelected(0);
    EXPECT_TRUE(pageOnTop(first));
    EXPECT_TRUE(second->isVisible());
    // Covered pages take no keyboard focus.
    EXPECT_TRUE(first->isEnabled());
    EXPECT_FALSE(second->isEnabled());
    // Added under a shown selected page: shown at once, beneath it.
    TestPage* third = addTab(QStringLiteral("c"));
    EXPECT_TRUE(third->isVisible());
    EXPECT_FALSE(third->isEnabled());
    EXPECT_TRUE(pageOnTop(first));
}

TEST_F(StripTest, SelectedIgnoresPositionsPastTheEnd)
{
    addTabs(2);
    strip->setSelected(1);
    strip->setSelected(2);
    EXPECT_EQ(strip->Selected(), 1);
    strip->setSelected(-5);
    EXPECT_EQ(strip->Selected(), -1);
    EXPECT_EQ(strip->TabItems()->Selected(), -1);
}

TEST_F(StripTest, LeftPressOnAnotherTabSelectsItThenRaisesEvents)
{
    addTabs(3);
    strip->setSelected(0);
    QWidget* shownAtTabChanged = nullptr;
    QObject::connect(strip, &uTab::TabChanged, strip,
        [&] { shownAtTabChanged = pageOnTop(page(2)) ? page(2) : nullptr; });
    move(bodyOf(2));
    log.clear();
    press(bodyOf(2), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(
        log, (QStringList { QStringLiteral("TabChanged sel=2"), QStringLiteral("Down(2,1,1)") }));
    EXPECT_EQ(shownAtTabChanged, page(2)); // shown and raised before the event
    EXPECT_EQ(page(2)->geometry(), container->rect());
    release(bodyOf(2));
}

TEST_F(StripTest, LeftPressOnTheSelectedTabStillRaisesBothEvents)
{
    addTabs(2);
    move(bodyOf(0));
    log.clear();
    press(bodyOf(0));
    EXPECT_EQ(
        log, (QStringList { QStringLiteral("TabChanged sel=0"), QStringLiteral("Down(0,1,0)") }));
    release(bodyOf(0));
}

TEST_F(StripTest, OtherButtonsAndMarginsSelectNothing)
{
    addTabs(2);
    move(bodyOf(1));
    log.clear();
    press(bodyOf(1), Qt::RightButton);
    release(bodyOf(1), Qt::RightButton);
    press(bodyOf(1), Qt::MiddleButton);
    release(bodyOf(1), Qt::MiddleButton);
    EXPECT_EQ(log,
        (QStringList { QStringLiteral("Down(0,2,0)"), QStringLiteral("Up(0,2,0)"),
            QStringLiteral("Down(0,4,0)"), QStringLiteral("Up(0,4,0)") }));
    move(QPoint(10, 10)); // left margin
    log.clear();
    press(QPoint(10, 10));
    release(QPoint(10, 10));
    EXPECT_EQ(log, (QStringList { QStringLiteral("Down(-2,1,0)"), QStringLiteral("Up(-2,1,0)") }));
    EXPECT_EQ(strip->Selected(), 0);
}

TEST_F(StripTest, HoverIsRaisedOnlyWhenTheTabChanges)
{
    addTabs(3);
    move(bodyOf(1));
    EXPECT_EQ(log, (QStringList { QStringLiteral("Hover(1,0,0)"), QStringLiteral("Move(1,0,0)") }));
    EXPECT_EQ(strip->HoverIndex(), 1);

    // Within the tab, onto its close button and back: no new hover, but the
    // glyph state follows (and is painted, see the pixel tests).
    log.clear();
    move(bodyOf(1) + QPoint(3, 0));
    move(closeOf(1));
    EXPECT_EQ(strip->CloseButtonState(), 1);
    move(bodyOf(1));
    EXPECT_EQ(strip->CloseButtonState(), 0);
    EXPECT_EQ(log,
        (QStringList { QStringLiteral("Move(1,0,0)"), QStringLiteral("Move(1,0,0)"),
            QStringLiteral("Move(1,0,0)") }));

    log.clear();
    move(QPoint(5, 5)); // margin
    EXPECT_EQ(
        log, (QStringList { QStringLiteral("Hover(-2,0,0)"), QStringLiteral("Move(-2,0,0)") }));
}

TEST_F(StripTest, CloseButtonClosesTheTabItRestedOn)
{
    addTabs(3);
    strip->setSelected(2);
    move(closeOf(1));
    ASSERT_EQ(strip->CloseButtonState(), 1);
    log.clear();
    press(closeOf(1));
    // Pressing another tab's close button does not select it.
    EXPECT_EQ(strip->Selected(), 2);
    EXPECT_EQ(strip->CloseButtonState(), 2);
    QPointer<TestPage> closing = page(1);
    release(closeOf(1));
    EXPECT_EQ(log,
        (QStringList { QStringLiteral("TabChanged sel=2"), QStringLiteral("Down(1,1,0)"),
            QStringLiteral("ItemColose(1)"), QStringLiteral("p1.Unload"),
            QStringLiteral("Up(1,1,0)") }));
    EXPECT_EQ(strip->TabItems()->Count(), 2);
    EXPECT_EQ(strip->Selected(), 1); // the same tab, one place to the left
    EXPECT_EQ(strip->CloseButtonState(), 0);
    flushDeletes();
    EXPECT_FALSE(closing);
}

TEST_F(StripTest, PressedCloseButtonDraggedAwayClosesNothing)
{
    addTabs(2);
    move(closeOf(0));
    press(closeOf(0));
    log.clear();
    move(bodyOf(1)); // button held: no hit test, state kept
    EXPECT_EQ(strip->CloseButtonState(), 2);
    EXPECT_EQ(strip->HoverIndex(), 0);
    release(bodyOf(1));
    EXPECT_EQ(log, (QStringList { QStringLiteral("Move(0,1,0)"), QStringLiteral("Up(1,1,0)") }));
    EXPECT_EQ(strip->TabItems()->Count(), 2);
    EXPECT_EQ(strip->CloseButtonState(), 0);
}

TEST_F(StripTest, CancelledCloseKeepsEverything)
{
    addTabs(2);
    cancelClose = true;
    move(closeOf(1));
    press(closeOf(1));
    release(closeOf(1));
    EXPECT_TRUE(log.contains(QStringLiteral("ItemColose(1)")));
    EXPECT_EQ(strip->TabItems()->Count(), 2);
    EXPECT_EQ(page(1)->unloadCount, 0);
}

TEST_F(StripTest, TabWithoutCloseButtonNeverCloses)
{
    addTabs(2);
    item(1)->setHideButton(true);
    move(closeOf(1));
    EXPECT_EQ(strip->CloseButtonState(), 0);
    press(closeOf(1));
    release(closeOf(1));
    EXPECT_FALSE(log.contains(QStringLiteral("ItemColose(1)")));
    EXPECT_EQ(strip->TabItems()->Count(), 2);
}

TEST_F(StripTest, LeavingClearsHoverOncePerLeave)
{
    addTabs(2);
    move(bodyOf(1));
    log.clear();
    QTest::mouseMove(window(), QPoint(300, 200)); // into the container
    EXPECT_EQ(strip->HoverIndex(), -1);
    EXPECT_EQ(log.count(QStringLiteral("Leave")), 1);
    QTest::mouseMove(window(), QPoint(320, 220));
    EXPECT_EQ(log.count(QStringLiteral("Leave")), 1);
    // Tracking is re-armed by the next move over the strip.
    move(bodyOf(0));
    QTest::mouseMove(window(), QPoint(300, 200));
    EXPECT_EQ(log.count(QStringLiteral("Leave")), 2);
}

TEST_F(StripTest, DoubleClickReplaysThePressThenReportsTheHit)
{
    addTabs(2);
    move(bodyOf(1));
    log.clear();
    QTest::mouseDClick(window(), Qt::LeftButton, {}, inWindow(bodyOf(1)));
    EXPECT_EQ(log,
        (QStringList { QStringLiteral("TabChanged sel=1"), QStringLiteral("Down(1,1,0)"),
            QStringLiteral("Up(1,1,0)"), QStringLiteral("TabChanged sel=1"),
            QStringLiteral("Down(1,1,0)"), QStringLiteral("DblClick(1,1,0)"),
            QStringLiteral("Up(1,1,0)") }));
}

TEST_F(StripTest, SelectionAfterRemovals)
{
    addTabs(5);
    CTabItems* items = strip->TabItems();
    strip->setSelected(3);
    items->Remove(QStringLiteral("p4"), true); // right of the selection
    EXPECT_EQ(strip->Selected(), 3);
    items->Remove(QStringLiteral("p1"), true); // left of it: same tab, index - 1
    EXPECT_EQ(strip->Selected(), 2);
    EXPECT_EQ(item(2)->Caption(), QStringLiteral("p3"));
    items->Remove(2, true); // the selected one: the first tab, not a neighbour
    EXPECT_EQ(strip->Selected(), 0);
    EXPECT_TRUE(page(0)->isVisible());
    items->Remove(0, true);
    items->Remove(0, true);
    EXPECT_EQ(items->Count(), 0);
    EXPECT_EQ(strip->Selected(), 0); // with no tab at all
    strip->RefreshPage(); // nothing selected to reload: a quiet no-op
}

TEST_F(StripTest, ClearResetsSelectionAndClosesPages)
{
    addTabs(3);
    strip->setSelected(2);
    strip->TabItems()->Clear();
    EXPECT_EQ(strip->Selected(), 0);
    EXPECT_EQ(log.filter(QStringLiteral(".Unload")).size(), 3);
    flushDeletes();
    EXPECT_TRUE(container->findChildren<TestPage*>().isEmpty());
}

TEST_F(StripTest, EveryPageFollowsTheContainer)
{
    addTabs(2);
    strip->setSelected(1);
    container->resize(500, 250);
    EXPECT_EQ(page(1)->size(), QSize(500, 250));
    EXPECT_EQ(page(0)->size(), QSize(500, 250)) << "a covered game laid out for another size";
    strip->setSelected(0);
    EXPECT_EQ(page(0)->size(), QSize(500, 250));
    strip->RefreshPage(); // reloads the selected page only
    EXPECT_EQ(page(0)->refreshCount, 1);
    EXPECT_EQ(page(1)->refreshCount, 0);
}

TEST_F(StripTest, ReleasedPageBecomesACentredFreeWindow)
{
    auto* page = new TestPage(&log, QStringLiteral("free"));
    page->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    container->resize(600, 301); // an odd height leaves a half to round
    const auto flags = page->windowFlags();
    strip->TabItems()->Add(QStringLiteral("free"), page, QStringLiteral("free"));
    addTabs(1);
    EXPECT_EQ(page->parentWidget(), container);
    strip->setSelected(1);
    ASSERT_FALSE(page->isEnabled()) << "covered";

    strip->TabItems()->ReleaseForm(QStringLiteral("free"));
    EXPECT_EQ(strip->TabItems()->Count(), 1);
    EXPECT_FALSE(log.contains(QStringLiteral("free.Unload")));
    ASSERT_EQ(page->parentWidget(), nullptr);
    EXPECT_EQ(page->windowFlags(), flags);
    EXPECT_TRUE(page->isVisible());
    EXPECT_TRUE(page->isEnabled());
    EXPECT_TRUE(page->testAttribute(Qt::WA_DeleteOnClose));
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const QSize frame = page->frameGeometry().size();
    // Centred, frame included, halves to even.
    EXPECT_EQ(page->frameGeometry().x(), roundHalfEven((screen.width() - frame.width()) / 2.0));
    EXPECT_EQ(page->frameGeometry().y(), roundHalfEven((screen.height() - frame.height()) / 2.0));
    QPointer<TestPage> alive = page;
    page->close();
    flushDeletes();
    EXPECT_FALSE(alive);
}

TEST_F(StripTest, LayoutWaitsForLockReDraw)
{
    strip->LockReDraw(true);
    addTabs(3);
    EXPECT_EQ(item(2)->Left(), 0);
    EXPECT_EQ(item(2)->Width(), 0);
    strip->LockReDraw(false);
    // Style 0, A = 600 - 40: (560 - 14) / 3 = 182 -> 108.
    EXPECT_EQ(item(2)->Left(), 14 + 216);
    EXPECT_EQ(item(2)->Width(), 108);

    // A lock repaints but moves nothing until the next layout.
    strip->resize(200 + 40, 25);
    EXPECT_EQ(strip->StandardTabWidth(), 62); // (200 - 14) / 3
    item(0)->setLockSize(true);
    EXPECT_EQ(item(0)->Width(), 62);
    strip->LockReDraw(false);
    EXPECT_EQ(item(0)->Width(), 108);
    EXPECT_EQ(item(1)->Width(), 39);
}

TEST_F(StripTest, StyleAndMarginsApplyAtTheNextResize)
{
    addTabs(3);
    strip->setTabStyle(1);
    EXPECT_EQ(strip->height(), 25);
    strip->setTabLeftSize(10);
    strip->resize(1010, 25);
    EXPECT_EQ(strip->height(), 32);
    EXPECT_EQ(strip->Composite().size(), QSize(1010, 32));
    // A = 1000: (1000 - 15) / 3 capped to 200, 5-pixel gaps.
    EXPECT_EQ(item(1)->Left(), 205);
    EXPECT_EQ(strip->HitTest(10 + 202, 10).code, -1);
    EXPECT_EQ(strip->HitTest(10 + 100, 28).code, -3);

    // A negative right margin widens the area past the edge.
    strip->setTabRight(-136);
    strip->resize(400, 32);
    EXPECT_EQ(strip->StandardTabWidth(), 170); // A = 400 - 10 + 136: (526 - 15) / 3
}

TEST_F(StripTest, NoRoomAtAllDrawsNothingAndHitsNothing)
{
    addTabs(3);
    strip->resize(30, 25); // tab area of -10 pixels: no tab surface
    EXPECT_TRUE(strip->Composite().size() == QSize(30, 25));
    EXPECT_EQ(strip->HitTest(20, 10).code, -2);
    strip->refresh();
    // Many tabs on a small strip: widths reach 0 and below, drawing skips them.
    strip->resize(60, 25);
    addTabs(40);
    EXPECT_EQ(strip->StandardTabWidth(), 0); // (20 - 14) / 43
    strip->refresh();
    move(QPoint(50, 10));
    EXPECT_EQ(strip->HoverIndex(), 0); // the first 15 pixels of the area
}

TEST_F(StripTest, PropertiesRoundTripThroughTheBag)
{
    PropertyBag bag;
    strip->setTabStyle(1);
    strip->setTabLeftSize(10);
    strip->setTabRight(-136);
    strip->WriteProperties(bag);
    // All three are written, defaults included.
    EXPECT_EQ(bag.keys(),
        (QStringList { QStringLiteral("tabstyle"), QStringLiteral("tableftsize"),
            QStringLiteral("tabrightsize") }));

    uTab other;
    other.ReadProperties(bag);
    EXPECT_EQ(other.TabStyle(), 1);
    EXPECT_EQ(other.TabLeftSize(), 10);
    EXPECT_EQ(other.TabRightSize(), -136);

    // Missing keys keep the current values; a value that is no number too.
    PropertyBag partial;
    partial.WriteProperty(QStringLiteral("TabLeftSize"), QStringLiteral("twelve"), 0);
    uTab fresh;
    fresh.setTabStyle(3);
    fresh.ReadProperties(partial);
    EXPECT_EQ(fresh.TabStyle(), 3);
    EXPECT_EQ(fresh.TabLeftSize(), 40);
    EXPECT_EQ(fresh.TabRightSize(), 0);
    EXPECT_EQ(partial.readOrder(),
        (QStringList { QStringLiteral("tabstyle"), QStringLiteral("tableftsize"),
            QStringLiteral("tabrightsize") }));
}

TEST_F(StripTest, BackgroundHandlerCanReplaceTheDefault)
{
    QObject::connect(
        strip, &uTab::OnDrawBackground, strip, [](QPainter* p, int cx, int cy, bool* skip) {
            p->fillRect(0, 0, cx, cy, QColor(1, 2, 3));
            *skip = true;
        });
    strip->refresh();
    EXPECT_EQ(strip->Composite().pixel(5, 5), qRgb(1, 2, 3));
}

TEST_F(StripTest, DestroyingTheStripClosesItsPages)
{
    addTabs(2);
    QPointer<TestPage> p0 = page(0);
    delete strip;
    strip = nullptr;
    ASSERT_TRUE(p0);
    EXPECT_EQ(p0->unloadCount, 1);
    EXPECT_FALSE(p0->item);
    flushDeletes();
    EXPECT_FALSE(p0);
}

} // namespace

// The keyboard and a screen reader reach the tabs the pointer reaches: the
// strip is a page tab list of the captions, a press selects as a click does,
// and the close button is a child only where the strip draws one.
TEST_F(StripTest, KeyboardAndScreenReaderSelectAndCloseAsTheMouseDoes)
{
    addTabs(3);
    item(1)->setHideButton(true);
    strip->setSelected(0);
    QTest::keyClick(strip, Qt::Key_Right);
    QTest::keyClick(strip, Qt::Key_End);
    QTest::keyClick(strip, Qt::Key_Right); // past the end: stays
    EXPECT_EQ(log,
        (QStringList { QStringLiteral("TabChanged sel=1"), QStringLiteral("TabChanged sel=2") }));
    QTest::keyClick(strip, Qt::Key_Home);
    EXPECT_TRUE(pageOnTop(page(0)));
    log.clear();

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(strip);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->role(), QAccessible::PageTabList);
    ASSERT_EQ(list->childCount(), 3);
    QAccessibleInterface* second = list->child(1);
    EXPECT_EQ(second->role(), QAccessible::PageTab);
    EXPECT_EQ(second->text(QAccessible::Name), QStringLiteral("p1"));
    EXPECT_EQ(list->indexOfChild(second), 1);
    EXPECT_TRUE(list->child(0)->state().selected);
    EXPECT_EQ(second->childCount(), 0); // its close button is hidden
    second->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(strip->Selected(), 1);
    EXPECT_TRUE(second->state().selected);
    EXPECT_EQ(log, QStringList { QStringLiteral("TabChanged sel=1") });
    EXPECT_EQ(list->childAt(strip->mapToGlobal(bodyOf(2)).x(), strip->mapToGlobal(bodyOf(2)).y()),
        list->child(2));

    QAccessibleInterface* close = list->child(2)->child(0);
    ASSERT_TRUE(close);
    EXPECT_EQ(close->role(), QAccessible::Button);
    EXPECT_TRUE(close->rect().contains(strip->mapToGlobal(closeOf(2))));
    close->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents(); // the press closes from the event loop
    flushDeletes();
    EXPECT_EQ(strip->TabItems()->Count(), 2);
    EXPECT_EQ(list->childCount(), 2);
    EXPECT_TRUE(log.contains(QStringLiteral("ItemColose(2)"))) << qPrintable(log.join(u' '));
}
