// cSetStyle and cFormSubclass driven by window messages on the offscreen
// platform: which message raises which event and in what order, and that a
// handler may destroy the style object from inside its own event. Real
// pointer drags, maximising and the window manager's close are in
// tests/integration/mainparts.
#include "platform/messages.h"
#include "winhook/ModGetTaskbarHei.h"
#include "winhook/WindowMessage.h"
#include "winhook/cFormSubclass.h"
#include "winhook/cSetStyle.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace kest;

namespace {

// Notes each message it handles itself, after any hook.
class RecordingForm : public QWidget {
public:
    QStringList* sequence = nullptr;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == WindowMessageEvent::eventType()) {
            auto* message = static_cast<WindowMessageEvent*>(event);
            if (sequence)
                *sequence << QStringLiteral("form %1").arg(message->message());
            message->setResult(5);
            return true;
        }
        return QWidget::event(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        if (sequence)
            *sequence << QStringLiteral("form close");
        event->ignore();
    }
};

QRect maximisedNow()
{
    return formstyle::maximisedBounds(
        QGuiApplication::primaryScreen()->geometry(), GetTaskbarHeight());
}

TEST(FormSubclass, EveryMessageComesBeforeTheFormAndMayBeSwallowed)
{
    RecordingForm form;
    QStringList sequence;
    form.sequence = &sequence;
    auto subclass = std::make_unique<cFormSubclass>();
    ASSERT_TRUE(subclass->AddWindowMsgs(windowHandle(&form)));
    EXPECT_FALSE(subclass->AddWindowMsgs(windowHandle(&form))) << "watched twice";
    EXPECT_FALSE(subclass->AddWindowMsgs(0));

    bool swallow = false;
    QObject context;
    QObject::connect(subclass.get(), &cFormSubclass::MsgCome, &context,
        [&](bool bBefore, bool& bHandled, LResult& lReturn, WindowHandle hWnd, quint32 uMsg,
            WParam wParam, LParam lParam) {
            EXPECT_TRUE(bBefore);
            EXPECT_EQ(hWnd, windowHandle(&form));
            if (uMsg >= 0x400)
                sequence << QStringLiteral("hook %1 %2 %3").arg(uMsg).arg(wParam).arg(lParam);
            if (swallow) {
                bHandled = true;
                lReturn = 9;
            }
        });

    EXPECT_EQ(sendWindowMessage(windowHandle(&form), 0x401, 2, 3), 5);
    swallow = true;
    EXPECT_EQ(sendWindowMessage(windowHandle(&form), 0x402, 4, 5), 9);
    EXPECT_EQ(sequence,
        QStringList({ QStringLiteral("hook 1025 2 3"), QStringLiteral("form 1025"),
            QStringLiteral("hook 1026 4 5") }));

    // DeleteWindowMsg changes nothing; destroying the object ends the watch.
    swallow = false;
    sequence.clear();
    EXPECT_FALSE(subclass->DeleteWindowMsg(windowHandle(&form)));
    sendWindowMessage(windowHandle(&form), 0x403);
    subclass.reset();
    sendWindowMessage(windowHandle(&form), 0x404);
    EXPECT_EQ(sequence,
        QStringList({ QStringLiteral("hook 1027 0 0"), QStringLiteral("form 1027"),
            QStringLiteral("form 1028") }));
}

TEST(SetStyle, CloseClickComesForThePlatformsRequestBeforeTheFormsOwnHandling)
{
    RecordingForm form;
    QStringList sequence;
    form.sequence = &sequence;
    cSetStyle style;
    style.setobjForm(&form);
    EXPECT_FALSE(style.SetWindowStyle(nullptr));
    ASSERT_TRUE(style.SetWindowStyle(&form));
    EXPECT_FALSE(style.SetWindowStyle(&form)) << "one window per object";
    QObject context;
    QObject::connect(&style, &cSetStyle::CloseClick, &context,
        [&] { sequence << QStringLiteral("CloseClick"); });

    sendWindowMessage(windowHandle(&form), WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_EQ(sequence, QStringList({ QStringLiteral("CloseClick"), QStringLiteral("form 274") }));

    // Another system command, and the program's own close(), raise nothing.
    sequence.clear();
    sendWindowMessage(windowHandle(&form), WM_SYSCOMMAND, 0xF020);
    form.show();
    form.close();
    EXPECT_EQ(sequence, QStringList({ QStringLiteral("form 274"), QStringLiteral("form close") }));
}

TEST(SetStyle, AHandlerMayDestroyTheStyleObjectFromItsOwnEvent)
{
    RecordingForm form;
    QStringList sequence;
    form.sequence = &sequence;
    QObject context;
    auto* style = new cSetStyle;
    style->SetWindowStyle(&form);
    QObject::connect(style, &cSetStyle::CloseClick, &context, [&] { delete style; });
    sendWindowMessage(windowHandle(&form), WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_EQ(sequence, QStringList({ QStringLiteral("form 274") }));

    // The same from SettingChange, which has more to do after its event.
    style = new cSetStyle;
    style->SetWindowStyle(&form);
    style->CallWindowStateChange();
    QObject::connect(style, &cSetStyle::SettingChange, &context, [&] { delete style; });
    sendWindowMessage(windowHandle(&form), WM_SETTINGCHANGE, cFormSubclass::SPI_SETWORKAREA);
    QTest::qWait(150); // released hooks are freed a little later
}

TEST(SetStyle, ASettingChangeRefitsOnlyAShownMaximisedForm)
{
    QWidget form;
    cSetStyle style;
    style.setobjForm(&form);
    style.SetWindowStyle(&form);
    form.setGeometry(40, 30, 900, 650);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QSignalSpy settingChange(&style, &cSetStyle::SettingChange);

    // Not maximised: only the event.
    sendWindowMessage(windowHandle(&form), WM_SETTINGCHANGE, cFormSubclass::SPI_SETWORKAREA);
    EXPECT_EQ(settingChange.count(), 1);
    EXPECT_EQ(form.geometry(), QRect(40, 30, 900, 650));

    // Maximised: back to the maximised bounds (pushed out of them here, since
    // the offscreen screen's work area cannot change).
    style.CallWindowStateChange();
    form.setGeometry(10, 10, 300, 300);
    sendWindowMessage(windowHandle(&form), WM_SETTINGCHANGE, cFormSubclass::SPI_SETWORKAREA);
    EXPECT_EQ(settingChange.count(), 2);
    EXPECT_EQ(form.geometry(), maximisedNow());

    // Minimised: left alone.
    form.setGeometry(10, 10, 300, 300);
    form.setWindowState(Qt::WindowMinimized);
    sendWindowMessage(windowHandle(&form), WM_SETTINGCHANGE, cFormSubclass::SPI_SETWORKAREA);
    EXPECT_EQ(settingChange.count(), 3);
    EXPECT_EQ(form.geometry(), QRect(10, 10, 300, 300));
}

TEST(SetStyle, RectRgnShapesTheWindowAndRefusesAnEmptyShape)
{
    QWidget form;
    form.resize(242, 140);
    EXPECT_TRUE(RectRgn(&form, 243, 141, 4, 4));
    EXPECT_EQ(form.mask(), roundRectRegion(243, 141, 4, 4));
    EXPECT_FALSE(RectRgn(&form, 0, 141, 4, 4));
    EXPECT_EQ(form.mask(), roundRectRegion(243, 141, 4, 4)) << "shape kept";
    EXPECT_FALSE(RectRgn(nullptr, 243, 141, 4, 4));
}

} // namespace
