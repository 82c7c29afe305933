#include "platform/messages.h"
#include "tests/support/testenv.h"
#include "winhook/CSubclass.h"
#include "winhook/WindowMessage.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace kest;

namespace {

constexpr std::uint32_t WM_USER = 0x400;

// A window that answers 7 to every WindowMessageEvent and notes, in a
// sequence shared with the owner, that it saw one.
class TestWindow : public QWidget {
public:
    explicit TestWindow(QStringList* sequence = nullptr, QWidget* parent = nullptr)
        : QWidget(parent)
        , m_sequence(sequence)
    {
        resize(200, 100);
    }

    int messages = 0;
    int presses = 0;
    QSize sizeSeen;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != WindowMessageEvent::eventType())
            return QWidget::event(event);
        ++messages;
        if (m_sequence)
            *m_sequence << QStringLiteral("window");
        static_cast<WindowMessageEvent*>(event)->setResult(7);
        return true;
    }
    void mousePressEvent(QMouseEvent*) override { ++presses; }
    void resizeEvent(QResizeEvent* event) override { sizeSeen = event->size(); }

private:
    QStringList* m_sequence;
};

struct Call {
    bool before;
    std::uint32_t message;
    WParam wParam;
    LParam lParam;
    LResult lReturn;
};

// The hook's owner: records every call, then runs the test's handler.
class Recorder : public ISubclassOwner {
public:
    explicit Recorder(QStringList* sequence = nullptr)
        : m_sequence(sequence)
    { }

    std::vector<Call> calls;
    std::function<void(bool, bool&, LResult&, std::uint32_t, LParam&)> handler;

    void WindowProc(bool bBefore, bool& bHandled, LResult& lReturn, WindowHandle,
        std::uint32_t uMsg, WParam wParam, LParam lParam, LParam& lParamUser) override
    {
        calls.push_back({ bBefore, uMsg, wParam, lParam, lReturn });
        if (m_sequence)
            *m_sequence << (bBefore ? QStringLiteral("before") : QStringLiteral("after"));
        if (handler)
            handler(bBefore, bHandled, lReturn, uMsg, lParamUser);
    }

    int count(std::uint32_t message, bool before) const
    {
        return static_cast<int>(std::count_if(calls.begin(), calls.end(),
            [&](const Call& c) { return c.message == message && c.before == before; }));
    }

private:
    QStringList* m_sequence;
};

// Each test has its own event log, and ends with every released hook freed.
class SubclassTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        EXPECT_TRUE(QTest::qWaitFor([] { return CSubclass::liveHookCount() == 0; }, 5000));
    }

    QStringList logLines() const { return m_events.lines(); }
    bool logged(const QString& text) const
    {
        return logLines().contains(QStringLiteral("kest: ") + text);
    }

    test::EventLog m_events;
};

bool selected(Recorder& owner, WindowHandle window, std::uint32_t message)
{
    const auto before = owner.calls.size();
    sendWindowMessage(window, message);
    return owner.calls.size() > before;
}

} // namespace

TEST_F(SubclassTest, MessageTablesFollowTheirRules)
{
    TestWindow window;
    Recorder owner;
    CSubclass hook(&owner);
    const WindowHandle h = windowHandle(&window);
    ASSERT_TRUE(hook.ssc_Subclass(h));
    const int B = CSubclass::MSG_BEFORE;
    EXPECT_FALSE(selected(owner, h, WM_USER));

    // ALL_MESSAGES, then one message: only that one remains.
    hook.ssc_AddMsg(h, CSubclass::ALL_MESSAGES, B);
    EXPECT_TRUE(selected(owner, h, WM_USER + 50));
    hook.ssc_AddMsg(h, WM_USER + 1, B);
    EXPECT_TRUE(selected(owner, h, WM_USER + 1));
    EXPECT_FALSE(selected(owner, h, WM_USER + 50));

    // Added twice is one entry: one drop removes it.
    hook.ssc_AddMsg(h, WM_USER + 1, B);
    hook.ssc_DelMsg(h, B, WM_USER + 1);
    EXPECT_FALSE(selected(owner, h, WM_USER + 1));

    // Only integers of up to 32 bits are dropped; anything else is skipped.
    for (std::uint32_t m : { WM_USER + 2, WM_USER + 3, WM_USER + 4 })
        hook.ssc_AddMsg(h, m, B);
    hook.ssc_DelMsg(h, B, "1026", QStringLiteral("1026"), double(WM_USER + 2),
        std::int64_t(WM_USER + 2), QVariant(int(WM_USER + 3)), std::int16_t(WM_USER + 4));
    EXPECT_TRUE(selected(owner, h, WM_USER + 2));
    EXPECT_FALSE(selected(owner, h, WM_USER + 3));
    EXPECT_FALSE(selected(owner, h, WM_USER + 4));
    hook.ssc_DelMsg(h, B, CSubclass::ALL_MESSAGES);
    EXPECT_FALSE(selected(owner, h, WM_USER + 2));

    // 32 distinct messages fit, a 33rd is refused; a dropped one frees a slot.
    for (std::uint32_t i = 0; i < CSubclass::MSG_ENTRIES; ++i)
        hook.ssc_AddMsg(h, WM_USER + 100 + i, B);
    EXPECT_TRUE(logLines().isEmpty());
    hook.ssc_AddMsg(h, WM_USER + 200, B);
    EXPECT_FALSE(selected(owner, h, WM_USER + 200));
    EXPECT_EQ(logLines(),
        QStringList({ "kest: CSubclass.zAddMsg: Message table overflow. Either increase the value "
                      "of Const MSG_ENTRIES or use ALL_MESSAGES instead of specific message "
                      "values" }));
    hook.ssc_DelMsg(h, B, WM_USER + 110);
    hook.ssc_AddMsg(h, WM_USER + 200, B);
    EXPECT_TRUE(selected(owner, h, WM_USER + 200));
    EXPECT_FALSE(selected(owner, h, WM_USER + 110));
    EXPECT_TRUE(selected(owner, h, WM_USER + 131));
    EXPECT_EQ(logLines().size(), 1);

    // The after table is apart; When bits other than 1 and 2 select nothing.
    hook.ssc_AddMsg(h, WM_USER + 300, CSubclass::MSG_AFTER);
    hook.ssc_AddMsg(h, WM_USER + 301, 4);
    owner.calls.clear();
    selected(owner, h, WM_USER + 300);
    selected(owner, h, WM_USER + 301);
    ASSERT_EQ(owner.calls.size(), 1u);
    EXPECT_FALSE(owner.calls[0].before);
}

TEST_F(SubclassTest, BeforeThenWindowThenAfterWithResultAndUserValue)
{
    QStringList sequence;
    TestWindow window(&sequence), other;
    Recorder owner(&sequence);
    CSubclass hook(&owner);
    const WindowHandle h = windowHandle(&window);
    ASSERT_TRUE(hook.ssc_Subclass(h, 100));
    ASSERT_TRUE(hook.ssc_Subclass(windowHandle(&other), 200));
    hook.ssc_AddMsg(h, WM_USER, CSubclass::MSG_BEFORE_AND_AFTER);

    owner.handler = [](bool bBefore, bool&, LResult& lReturn, std::uint32_t, LParam& user) {
        ++user; // kept for the window's later messages
        if (!bBefore)
            lReturn += 2;
    };
    EXPECT_EQ(sendWindowMessage(h, WM_USER, 3, 4), 9);
    EXPECT_EQ(sequence, QStringList({ "before", "window", "after" }));
    ASSERT_EQ(owner.calls.size(), 2u);
    EXPECT_EQ(owner.calls[0].lReturn, 0);
    EXPECT_EQ(owner.calls[0].wParam, 3u);
    EXPECT_EQ(owner.calls[0].lParam, 4);
    EXPECT_EQ(owner.calls[1].lReturn, 7);
    EXPECT_EQ(hook.zGet_lParamUser(h), 102);
    EXPECT_EQ(hook.zGet_lParamUser(windowHandle(&other)), 200);
    hook.zSet_lParamUser(h, -5);
    EXPECT_EQ(hook.zGet_lParamUser(h), -5);

    // Handled before: the window never sees it, no after call, the sender gets 1.
    sequence.clear();
    owner.handler = [](bool, bool& bHandled, LResult& lReturn, std::uint32_t, LParam&) {
        bHandled = true;
        lReturn = 1;
    };
    EXPECT_EQ(sendWindowMessage(h, WM_USER), 1);
    EXPECT_EQ(sequence, QStringList({ "before" }));

    // Unselected messages, and the previous procedure called directly, skip the owner.
    sequence.clear();
    EXPECT_EQ(sendWindowMessage(h, WM_USER + 1), 7);
    EXPECT_EQ(hook.ssc_CallOrigWndProc(h, WM_USER, 0, 0), 7);
    EXPECT_EQ(sequence, QStringList({ "window", "window" }));
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(SubclassTest, QtEventsArriveWithTheirMessageNumbersAndCanBeSwallowed)
{
    QWidget parent;
    parent.resize(300, 200);
    TestWindow window(nullptr, &parent);
    int parentPresses = 0;
    struct PressCounter : QObject {
        int* presses;
        bool eventFilter(QObject*, QEvent* e) override
        {
            *presses += e->type() == QEvent::MouseButtonPress;
            return false;
        }
    } counter;
    counter.presses = &parentPresses;
    parent.installEventFilter(&counter);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));

    Recorder owner;
    CSubclass hook(&owner);
    const WindowHandle h = windowHandle(&window);
    ASSERT_TRUE(hook.ssc_Subclass(h));
    hook.ssc_AddMsg(h, WM_SIZE, CSubclass::MSG_AFTER);
    hook.ssc_AddMsg(h, WM_LBUTTONDOWN, CSubclass::MSG_BEFORE);

    // After WM_SIZE the window has already taken its new size.
    QSize seenByWindow;
    owner.handler
        = [&](bool, bool&, LResult&, std::uint32_t, LParam&) { seenByWindow = window.sizeSeen; };
    window.resize(150, 60);
    ASSERT_EQ(owner.count(WM_SIZE, false), 1);
    EXPECT_EQ(seenByWindow, QSize(150, 60));
    EXPECT_EQ(owner.calls.back().lParam, makeLParam(150, 60));

    QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, QPoint(12, 34));
    ASSERT_EQ(owner.count(WM_LBUTTONDOWN, true), 1);
    EXPECT_EQ(xFromLParam(owner.calls.back().lParam), 12);
    EXPECT_EQ(yFromLParam(owner.calls.back().lParam), 34);
    EXPECT_EQ(owner.calls.back().wParam & MK_LBUTTON, MK_LBUTTON);
    EXPECT_EQ(window.presses, 1);

    // Swallowed before: neither the window nor its parent gets the press.
    owner.handler = [](bool, bool& bHandled, LResult&, std::uint32_t, LParam&) {
        bHandled = true;
        EXPECT_EQ(CSubclass::currentEvent()->type(), QEvent::MouseButtonPress);
    };
    QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(window.presses, 1);
    EXPECT_EQ(parentPresses, 0);
    EXPECT_EQ(CSubclass::currentEvent(), nullptr);
}

TEST_F(SubclassTest, ReleaseFromInsideAHandlerWaitsForTheOutermostMessage)
{
    QStringList sequence;
    TestWindow window(&sequence);
    Recorder owner(&sequence);
    CSubclass hook(&owner);
    const WindowHandle h = windowHandle(&window);
    ASSERT_TRUE(hook.ssc_Subclass(h));
    hook.ssc_AddMsg(h, CSubclass::ALL_MESSAGES, CSubclass::MSG_BEFORE_AND_AFTER);

    // The outer message sends a nested one, whose handler releases the hook.
    owner.handler = [&](bool bBefore, bool&, LResult&, std::uint32_t msg, LParam&) {
        if (bBefore && msg == WM_USER)
            sendWindowMessage(h, WM_USER + 1);
        if (bBefore && msg == WM_USER + 1)
            hook.ssc_UnSubclass(h);
    };
    EXPECT_EQ(sendWindowMessage(h, WM_USER), 7);
    // Both messages still reached the window; no after call followed.
    EXPECT_EQ(sequence, QStringList({ "before", "before", "window", "window" }));
    EXPECT_EQ(CSubclass::liveHookCount(), 1); // taken off, freed a little later

    sequence.clear();
    sendWindowMessage(h, WM_USER);
    EXPECT_EQ(sequence, QStringList({ "window" }));
    EXPECT_TRUE(QTest::qWaitFor([] { return CSubclass::liveHookCount() == 0; }, 5000));
    EXPECT_TRUE(hook.ssc_Subclass(h));
}

TEST_F(SubclassTest, DestroyingTheObjectOrTheWindowInsideAHandlerIsSafe)
{
    {
        TestWindow window;
        Recorder owner;
        auto hook = std::make_unique<CSubclass>(&owner);
        const WindowHandle h = windowHandle(&window);
        ASSERT_TRUE(hook->ssc_Subclass(h));
        hook->ssc_AddMsg(h, WM_USER, CSubclass::MSG_BEFORE_AND_AFTER);
        owner.handler = [&](bool, bool&, LResult&, std::uint32_t, LParam&) { hook.reset(); };
        EXPECT_EQ(sendWindowMessage(h, WM_USER), 7);
        EXPECT_EQ(owner.calls.size(), 1u);
    }
    // WM_NCDESTROY arrives once however the window goes; its entry stays harmless.
    for (bool later : { false, true }) {
        auto* window = new TestWindow;
        Recorder owner;
        CSubclass hook(&owner);
        const WindowHandle h = windowHandle(window);
        ASSERT_TRUE(hook.ssc_Subclass(h));
        hook.ssc_AddMsg(h, WM_USER, CSubclass::MSG_BEFORE_AND_AFTER);
        hook.ssc_AddMsg(h, WM_NCDESTROY, CSubclass::MSG_BEFORE_AND_AFTER);
        owner.handler = [&](bool, bool&, LResult&, std::uint32_t msg, LParam&) {
            if (msg == WM_USER)
                delete window;
        };
        if (later)
            window->deleteLater();
        else
            EXPECT_EQ(sendWindowMessage(h, WM_USER), 0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return owner.count(WM_NCDESTROY, false) == 1; }, 5000));
        EXPECT_EQ(owner.count(WM_NCDESTROY, true), 1);
        EXPECT_EQ(owner.count(WM_USER, false), 0);
        EXPECT_EQ(hook.zGet_lParamUser(h), 0);
        hook.ssc_AddMsg(h, WM_USER, CSubclass::MSG_BEFORE);
        EXPECT_TRUE(logLines().isEmpty());
    }
}

TEST_F(SubclassTest, OwnerGoneReleasesTheHookAndAnApiWindowGoesWithIt)
{
    struct ObjectOwner : QObject, Recorder { };
    auto owner = std::make_unique<ObjectOwner>();
    CSubclass hook(owner.get());
    QPointer<QWidget> window = new TestWindow;
    const WindowHandle h = windowHandle(window);
    ASSERT_TRUE(hook.ssc_Subclass(h, 0, true));
    hook.ssc_AddMsg(h, WM_USER, CSubclass::MSG_BEFORE);
    owner.reset();
    EXPECT_EQ(sendWindowMessage(h, WM_USER), 7);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 5000));
}

TEST_F(SubclassTest, FailuresAreLoggedWithClassAndRoutine)
{
    Recorder owner;
    CSubclass hook(&owner);
    TestWindow window, other;
    const WindowHandle h = windowHandle(&window);
    const QString notInitialized
        = QStringLiteral("CSubclass.zMap_VFunction: Thunk hasn't been initialized");

    EXPECT_EQ(hook.zGet_lParamUser(h), 0);
    EXPECT_TRUE(logged(notInitialized));

    auto* gone = new QWidget;
    const WindowHandle stale = windowHandle(gone);
    delete gone;
    EXPECT_FALSE(hook.ssc_Subclass(0));
    EXPECT_FALSE(hook.ssc_Subclass(stale));
    EXPECT_EQ(
        logLines().count(QStringLiteral("kest: CSubclass.ssc_Subclass: Invalid window handle")), 2);

    // An object of another thread cannot be hooked, and nothing is created.
    QThread thread;
    thread.start();
    QObject foreign;
    const WindowHandle foreignHandle = windowHandle(&foreign);
    foreign.moveToThread(&thread);
    EXPECT_FALSE(hook.ssc_Subclass(foreignHandle));
    QMetaObject::invokeMethod(
        &foreign, [&] { foreign.moveToThread(qApp->thread()); }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
    EXPECT_TRUE(
        logged(QStringLiteral("CSubclass.ssc_Subclass: Window handle belongs to another process")));
    QFile::remove(m_events.path());
    hook.zGet_lParamUser(h);
    EXPECT_TRUE(logged(notInitialized));

    CSubclass ownerless(nullptr);
    EXPECT_FALSE(ownerless.ssc_Subclass(h));
    EXPECT_TRUE(logged(QStringLiteral("CSubclass.ssc_Subclass: Callback method not found")));

    // A second hook of the same window fails and leaves the first working.
    ASSERT_TRUE(hook.ssc_Subclass(h, 42));
    EXPECT_FALSE(hook.ssc_Subclass(h, 43));
    EXPECT_TRUE(
        logged(QStringLiteral("CSubclass.ssc_Subclass: Window handle is already subclassed")));
    hook.ssc_AddMsg(h, WM_USER, CSubclass::MSG_BEFORE);
    EXPECT_TRUE(selected(owner, h, WM_USER));
    EXPECT_EQ(hook.zGet_lParamUser(h), 42);

    // Unknown window while another is hooked; then an empty registry says
    // nothing; after ssc_Terminate it is absent again.
    QFile::remove(m_events.path());
    EXPECT_EQ(hook.ssc_CallOrigWndProc(windowHandle(&other), WM_USER, 0, 0), 0);
    EXPECT_EQ(logLines(),
        QStringList({ "kest: CSubclass.zMap_VFunction: Thunk type for  does not exist" }));
    QFile::remove(m_events.path());
    hook.ssc_UnSubclass(h);
    EXPECT_EQ(hook.zGet_lParamUser(h), 0);
    EXPECT_TRUE(logLines().isEmpty());
    ASSERT_TRUE(hook.ssc_Subclass(h));
    hook.ssc_Terminate();
    EXPECT_EQ(hook.zGet_lParamUser(h), 0);
    EXPECT_EQ(logLines(), QStringList({ QStringLiteral("kest: ") + notInitialized }));
}

TEST_F(SubclassTest, MouseLeaveComesOncePerTrackingRequest)
{
    TestWindow window;
    window.show();
    Recorder owner;
    CSubclass hook(&owner);
    const WindowHandle h = windowHandle(&window);
    ASSERT_TRUE(hook.ssc_Subclass(h));
    hook.ssc_AddMsg(h, WM_MOUSELEAVE, CSubclass::MSG_BEFORE);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&window, &leave);
    EXPECT_EQ(owner.count(WM_MOUSELEAVE, true), 0);

    // The pointer is not over the window: the notice comes at once, and once.
    hook.TrackMouseTracking(h);
    EXPECT_TRUE(QTest::qWaitFor([&] { return owner.count(WM_MOUSELEAVE, true) == 1; }, 5000));
    QApplication::sendEvent(&window, &leave);
    QApplication::processEvents();
    EXPECT_EQ(owner.count(WM_MOUSELEAVE, true), 1);
}
