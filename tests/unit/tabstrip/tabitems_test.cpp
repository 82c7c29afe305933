// The tab list's contract: what it asks of the strip and the pages, in which
// order, and how it answers bad indices. The strip here is a recording
// double of IuTab (the real strip is tested in utab_test.cpp); the pages are
// real windows.
#include "tabtest.h"

#include "tabstrip/CTabItems.h"
#include "tabstrip/TabError.h"

#include <QDate>
#include <QVariant>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

using namespace kest;
using kest::test::flushDeletes;
using kest::test::TestPage;

namespace {

class RecordingStrip final : public IuTab {
public:
    explicit RecordingStrip(QStringList& log)
        : m_log(log)
    {
        items.AttachTabStrip(this);
    }

    void Add(const QString& caption, ITabForm*, const QVariant& key, const QVariant& index) override
    {
        note(QStringLiteral("Add(%1,%2,%3)").arg(caption, key.toString(), index.toString()));
    }
    bool BeforeRemove(int index) override
    {
        note(QStringLiteral("BeforeRemove(%1)").arg(index));
        if (onBeforeRemove)
            return onBeforeRemove(index);
        return true;
    }
    void Remove(int index) override { note(QStringLiteral("Remove(%1)").arg(index)); }
    void Clear() override { note(QStringLiteral("Clear")); }
    void Redraw(bool bUpdate) override { note(QStringLiteral("Redraw(%1)").arg(bUpdate)); }
    void ChangeForm(CTabItem* item, ITabForm* form) override
    {
        note(QStringLiteral("ChangeForm(%1)").arg(item && form && item->Form() == form));
    }
    int Selected() const override { return selected; }
    void setSelected(int index) override
    {
        note(QStringLiteral("Selected=%1").arg(index));
        selected = index;
    }
    CTabItems* TabItems() override { return &items; }
    QWidget* hWnd() override
    {
        note(QStringLiteral("hWnd"));
        return &window;
    }
    QWidget* hParent() override { return &window; }
    QWidget* Control() override { return &window; }

    std::function<bool(int)> onBeforeRemove;
    int selected = -1;
    QWidget window;
    CTabItems items; // after the window: goes first

private:
    // Each strip call notes how many tabs the list held at that moment.
    void note(const QString& what)
    {
        m_log.append(QStringLiteral("strip.") + what + QStringLiteral(" n=")
            + QString::number(items.Count()));
    }

    QStringList& m_log;
};

// Pages live in `owner` until the list closes them (they then delete
// themselves from the event loop).
class TabList : public ::testing::Test {
protected:
    TestPage* newPage(const QString& name)
    {
        auto* page = new TestPage(&log, name);
        page->setParent(&owner);
        return page;
    }
    void addPages(int n)
    {
        for (int i = 0; i < n; ++i) {
            const QString key = QStringLiteral("k%1").arg(i);
            strip.items.Add(
                QStringLiteral("t%1").arg(i), newPage(QStringLiteral("p%1").arg(i)), key);
        }
        log.clear();
    }
    void TearDown() override { flushDeletes(); }

    QStringList log;
    QWidget owner; // pages the list never closed die with it
    RecordingStrip strip { log };
};

TEST_F(TabList, AddCallsPageAndStripInOrder)
{
    addPages(1);
    TestPage* page = newPage(QStringLiteral("p"));
    const auto flags = page->windowFlags();
    ASSERT_TRUE(strip.items.Add(QStringLiteral("Game"), page, QStringLiteral("key")));

    // Initialize, caption (Redraw, item not yet listed), Form (Initialize
    // again, ChangeForm), insert, IuTab.Add, then activation of the strip.
    EXPECT_EQ(log,
        (QStringList { QStringLiteral("p.Initialize"), QStringLiteral("strip.Redraw(1) n=1"),
            QStringLiteral("p.Initialize"), QStringLiteral("strip.ChangeForm(1) n=1"),
            QStringLiteral("strip.Add(Game,key,) n=2"), QStringLiteral("strip.hWnd n=2") }));
    EXPECT_EQ(page->initializeCount, 2);
    EXPECT_EQ(page->strip, &strip);
    ASSERT_TRUE(page->item);
    EXPECT_EQ(page->item.data(), strip.items.Item(1));
    EXPECT_EQ(page->item->Caption(), QStringLiteral("Game"));
    EXPECT_EQ(page->item->Form(), page);
    EXPECT_EQ(page->item->TabStrip(), &strip);
    EXPECT_EQ(page->windowFlags(), flags); // the double strip hosts nothing
    // The new tab is not selected by Add.
    EXPECT_EQ(strip.selected, -1);
}

TEST_F(TabList, AddInsertsAtTheGivenPosition)
{
    addPages(2);
    TestPage* front = newPage(QStringLiteral("front"));
    TestPage* end = newPage(QStringLiteral("end"));
    TestPage* middle = newPage(QStringLiteral("middle"));
    strip.items.Add(QStringLiteral("front"), front, {}, 0);
    EXPECT_EQ(strip.items.FindItem(front), 0);
    EXPECT_EQ(strip.items.FindItem(QStringLiteral("k0")), 1); // moved up by one
    strip.items.Add(QStringLiteral("end"), end, {}, strip.items.Count()); // Count appends
    EXPECT_EQ(strip.items.FindItem(end), 3);
    strip.items.Add(QStringLiteral("middle"), middle, QStringLiteral("mid"), 2.0);
    EXPECT_EQ(strip.items.FindItem(QStringLiteral("MID")), 2);
    EXPECT_EQ(strip.items.Count(), 5);
    QStringList order;
    for (int i = 0; i < strip.items.Count(); ++i)
        order << strip.items.Item(i)->Caption();
    EXPECT_EQ(order.join(QLatin1Char(',')), QStringLiteral("front,t0,middle,t1,end"));
}

TEST_F(TabList, RefusedAddTouchesNothing)
{
    addPages(2);
    TestPage* page = newPage(QStringLiteral("p"));
    auto expectError = [&](TabError::Number number, const QVariant& key, const QVariant& index) {
        try {
            strip.items.Add(QStringLiteral("x"), page, key, index);
            ADD_FAILURE() << "no error for key " << key.toString().toStdString() << " index "
                          << index.toString().toStdString();
        } catch (const TabError& e) {
            EXPECT_EQ(e.number(), number) << e.what();
            EXPECT_STRNE(e.what(), "");
        }
    };
    expectError(TabError::InvalidArgument, {}, QStringLiteral("1")); // text is no position
    expectError(TabError::InvalidArgument, {}, true);
    expectError(TabError::InvalidArgument, {}, QDate(2020, 1, 1));
    expectError(TabError::SubscriptOutOfRange, {}, -1);
    expectError(TabError::SubscriptOutOfRange, {}, 3); // Count + 1
    expectError(TabError::SubscriptOutOfRange, {}, std::nan(""));
    expectError(TabError::SubscriptOutOfRange, {}, 1e12);
    expectError(TabError::DuplicateKey, QStringLiteral("K1"), {}); // keys ignore case
    expectError(TabError::InvalidArgument, QVariant::fromValue(QDate(2020, 1, 1)), {});

    // No page, or a page whose window is gone: refused before anything.
    try {
        strip.items.Add(QStringLiteral("x"), nullptr);
        ADD_FAILURE();
    } catch (const TabError& e) {
        EXPECT_EQ(e.number(), TabError::InvalidArgument);
    }

    EXPECT_EQ(strip.items.Count(), 2);
    EXPECT_TRUE(log.isEmpty()) << log.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(page->initializeCount, 0);
    EXPECT_EQ(page->unloadCount, 0);
    EXPECT_EQ(page->parentWidget(), &owner);

    // The same page goes in fine afterwards.
    EXPECT_TRUE(strip.items.Add(QStringLiteral("x"), page, QStringLiteral("k2"), 2));
    EXPECT_EQ(strip.items.FindItem(page), 2);
}

TEST_F(TabList, NumericKeysAreTheirText)
{
    addPages(1);
    strip.items.Add(QStringLiteral("n"), newPage(QStringLiteral("n")), 7);
    EXPECT_EQ(strip.items.FindItem(QStringLiteral("7")), 1);
    EXPECT_EQ(strip.items.FindItem(7), -1); // a number is a position
}

TEST_F(TabList, FindItemByKeyNumberPageAndItem)
{
    RecordingStrip empty { log };
    TestPage* stray = newPage(QStringLiteral("stray"));
    CTabItem freeItem;
    for (const QVariant& v : { QVariant(QStringLiteral("k0")), QVariant(0),
             QVariant::fromValue<ITabForm*>(stray), QVariant::fromValue(&freeItem), QVariant() })
        EXPECT_EQ(empty.items.FindItem(v), -1) << v.typeName();

    addPages(3);
    strip.items.Add(QStringLiteral("three"), newPage(QStringLiteral("p3")), QStringLiteral("3"));
    TestPage* p1 = static_cast<TestPage*>(strip.items.Item(1)->Form());

    // Text is a key even when it looks like a number.
    EXPECT_EQ(strip.items.FindItem(QStringLiteral("3")), 3);
    EXPECT_EQ(strip.items.FindItem(QStringLiteral("1")), -1);
    EXPECT_EQ(strip.items.FindItem(QStringLiteral("K2")), 2);
    EXPECT_EQ(strip.items.FindItem(QStringLiteral("absent")), -1);
    // A number is a position, only within 0..Count-1.
    EXPECT_EQ(strip.items.FindItem(3), 3);
    EXPECT_EQ(strip.items.FindItem(4), -1);
    EXPECT_EQ(strip.items.FindItem(-1), -1);
    EXPECT_EQ(strip.items.FindItem(2.5), 2); // halves to even
    EXPECT_EQ(strip.items.FindItem(1.5), 2);
    EXPECT_EQ(strip.items.FindItem(3.5), -1); // 4
    EXPECT_EQ(strip.items.FindItem(qint64(1) << 40), -1);
    EXPECT_EQ(strip.items.FindItem(std::numeric_limits<double>::infinity()), -1);
    EXPECT_EQ(strip.items.FindItem(std::nan("")), -1);
    // Pages and items by identity; the page's window names it too.
    EXPECT_EQ(strip.items.FindItem(static_cast<ITabForm*>(p1)), 1);
    EXPECT_EQ(strip.items.FindItem(QVariant::fromValue<ITabForm*>(p1)), 1);
    EXPECT_EQ(strip.items.FindItem(QVariant::fromValue<QObject*>(p1)), 1);
    EXPECT_EQ(strip.items.FindItem(strip.items.Item(2)), 2);
    EXPECT_EQ(strip.items.FindItem(QVariant::fromValue(strip.items.Item(2))), 2);
    EXPECT_EQ(strip.items.FindItem(&freeItem), -1);
    EXPECT_EQ(strip.items.FindItem(static_cast<ITabForm*>(stray)), -1);
    // Anything else: -1, never an error.
    EXPECT_EQ(strip.items.FindItem(true), -1);
    EXPECT_EQ(strip.items.FindItem(QDate(2020, 1, 1)), -1);
    EXPECT_EQ(strip.items.FindItem(QVariant()), -1);
    EXPECT_EQ(strip.items.FindItem(QVariant::fromValue<QObject*>(&owner)), -1);
}

TEST_F(TabList, ItemByKeyOrPosition)
{
    addPages(2);
    EXPECT_EQ(strip.items.Item(QStringLiteral("K1")), strip.items.Item(1));
    EXPECT_EQ(strip.items.Item(QVariant(2)), nullptr);
    EXPECT_EQ(strip.items.Item(-1), nullptr);
    try {
        strip.items.Item(QStringLiteral("absent"));
        ADD_FAILURE();
    } catch (const TabError& e) {
        EXPECT_EQ(e.number(), TabError::KeyNotFound);
    }
    EXPECT_THROW(strip.items.Item(QVariant(QDate(2020, 1, 1))), TabError);
}

TEST_F(TabList, RemoveAsksTheStripRemovesThenClosesThePage)
{
    addPages(3);
    QPointer<TestPage> p1 = static_cast<TestPage*>(strip.items.Item(1)->Form());
    QPointer<CTabItem> item1 = strip.items.Item(1);
    EXPECT_TRUE(strip.items.Remove(QStringLiteral("k1"), true));
    EXPECT_EQ(log,
        (QStringList { QStringLiteral("strip.BeforeRemove(1) n=3"),
            QStringLiteral("strip.Remove(1) n=2"), QStringLiteral("p1.Unload") }));
    EXPECT_FALSE(item1); // the item is gone with its tab
    flushDeletes();
    EXPECT_FALSE(p1);
    EXPECT_EQ(strip.items.FindItem(QStringLiteral("k2")), 1);
}

TEST_F(TabList, RemoveWithoutUnloadKeepsThePage)
{
    addPages(2);
    QPointer<TestPage> p0 = static_cast<TestPage*>(strip.items.Item(0)->Form());
    EXPECT_TRUE(strip.items.Remove(0, false));
    flushDeletes();
    ASSERT_TRUE(p0);
    EXPECT_EQ(p0->unloadCount, 0); // not even when its item was destroyed
    EXPECT_FALSE(p0->item);
}

TEST_F(TabList, RemoveOfNothingOrRefusedChangesNothing)
{
    addPages(2);
    CTabItem foreign;
    EXPECT_FALSE(strip.items.Remove(QStringLiteral("absent")));
    EXPECT_FALSE(strip.items.Remove(2));
    EXPECT_FALSE(strip.items.Remove(QVariant::fromValue(&foreign)));
    EXPECT_TRUE(log.isEmpty());

    strip.onBeforeRemove = [](int) { return false; };
    EXPECT_FALSE(strip.items.Remove(1, true));
    EXPECT_EQ(log, QStringList { QStringLiteral("strip.BeforeRemove(1) n=2") });
    EXPECT_EQ(strip.items.Count(), 2);
    EXPECT_EQ(static_cast<TestPage*>(strip.items.Item(1)->Form())->unloadCount, 0);
}

// The main window closes itself from OnItemColose when the last tab goes,
// which clears the list while the removal is still running.
TEST_F(TabList, HandlerThatClearsTheListEndsTheRemovalQuietly)
{
    addPages(2);
    strip.onBeforeRemove = [this](int) {
        strip.items.Clear();
        return true; // even without cancelling, the tab is no longer there
    };
    EXPECT_FALSE(strip.items.Remove(0, true));
    EXPECT_EQ(strip.items.Count(), 0);
    EXPECT_EQ(log.count(QStringLiteral("p0.Unload")), 1);
}

TEST_F(TabList, HandlerThatRemovesAnotherTabRemovesTheRightOne)
{
    addPages(3);
    strip.onBeforeRemove = [this](int index) {
        if (index == 2) {
            strip.onBeforeRemove = nullptr;
            strip.items.Remove(0, true); // the asked-for tab moves to 1
        }
        return true;
    };
    EXPECT_TRUE(strip.items.Remove(QStringLiteral("k2"), true));
    EXPECT_EQ(strip.items.Count(), 1);
    EXPECT_EQ(strip.items.Item(0)->Caption(), QStringLiteral("t1"));
    EXPECT_TRUE(log.contains(QStringLiteral("strip.Remove(1) n=1")));
}

TEST_F(TabList, ClearClosesEveryPageThenTellsTheStrip)
{
    addPages(3);
    strip.items.Clear();
    EXPECT_EQ(log,
        (QStringList { QStringLiteral("p0.Unload"), QStringLiteral("p1.Unload"),
            QStringLiteral("p2.Unload"), QStringLiteral("strip.Clear n=0") }));
    EXPECT_EQ(strip.items.Count(), 0);
}

TEST_F(TabList, ItemPropertiesRepaintTheStrip)
{
    addPages(1);
    CTabItem* item = strip.items.Item(0);
    item->setCaption(QStringLiteral("c"));
    item->setHideButton(true);
    item->setLockSize(true);
    item->setItemData(QVariant::fromValue<QObject*>(&owner));
    EXPECT_EQ(log.count(QStringLiteral("strip.Redraw(1) n=1")), 3);
    EXPECT_EQ(item->ItemData().value<QObject*>(), &owner);
    EXPECT_EQ(item->Left(), 0); // the double lays nothing out
    EXPECT_TRUE(item->HideButton());
    EXPECT_TRUE(item->LockSize());

    // A new Form is initialised and handed to the strip; the old page is
    // neither closed nor detached.
    log.clear();
    auto* old = static_cast<TestPage*>(item->Form());
    TestPage* next = newPage(QStringLiteral("next"));
    item->setForm(next);
    EXPECT_EQ(log,
        (QStringList {
            QStringLiteral("next.Initialize"), QStringLiteral("strip.ChangeForm(1) n=1") }));
    EXPECT_EQ(old->unloadCount, 0);
    EXPECT_EQ(old->item.data(), item);
}

TEST_F(TabList, FreeStandingItemReportsToNobody)
{
    CTabItem item;
    TestPage* page = newPage(QStringLiteral("free"));
    item.setCaption(QStringLiteral("c"));
    item.setForm(page);
    EXPECT_EQ(page->strip, nullptr);
    EXPECT_EQ(page->item.data(), &item);
    EXPECT_EQ(log, QStringList { QStringLiteral("free.Initialize") });
    item.setForm(nullptr); // lets go without closing
    EXPECT_EQ(item.Form(), nullptr);
    EXPECT_EQ(page->unloadCount, 0);
}

TEST_F(TabList, DestroyedListClosesItsPages)
{
    QPointer<TestPage> page = newPage(QStringLiteral("p"));
    {
        auto list = std::make_unique<CTabItems>();
        list->Add(QStringLiteral("c"), page, QStringLiteral("k"));
        // With no strip, selection reads -1 and writing it goes nowhere.
        EXPECT_EQ(list->Selected(), -1);
        list->setSelected(0);
    }
    ASSERT_TRUE(page);
    EXPECT_EQ(page->unloadCount, 1);
    flushDeletes();
    EXPECT_FALSE(page);
}

TEST_F(TabList, PageDestroyedElsewhereLeavesAnEmptyTab)
{
    addPages(2);
    delete strip.items.Item(0)->Form()->hWnd();
    EXPECT_EQ(strip.items.Item(0)->Form(), nullptr);
    EXPECT_TRUE(strip.items.Remove(0, true)); // nothing to close, nothing crashes
    EXPECT_EQ(strip.items.Count(), 1);
}

} // namespace
