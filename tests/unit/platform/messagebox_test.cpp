#include "platform/messagebox.h"
#include "tests/support/messageboxes.h"

#include <QAbstractButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

using kest::MsgAnswer;
using kest::MsgBox;
using kest::MsgButtons;
using kest::MsgIcon;

// Runs `player` on the box once it is up, then returns MsgBox's answer.
MsgAnswer answer(MsgButtons buttons, std::function<void(QMessageBox*)> player)
{
    QTimer::singleShot(0, [player] {
        if (QMessageBox* box = kest::test::visibleMessageBox())
            player(box);
        else
            ADD_FAILURE() << "no message box shown";
    });
    return MsgBox(
        nullptr, QStringLiteral("text"), QStringLiteral("title"), MsgIcon::Question, buttons);
}

QStringList buttonTexts(QMessageBox* box)
{
    QStringList texts;
    for (QAbstractButton* button : box->buttons())
        texts << button->text();
    texts.sort();
    return texts;
}

QAbstractButton* buttonNamed(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

TEST(MessageBox, ButtonsAreNamedInChineseAndAnswerByWhatWasPressed)
{
    QStringList seen;
    EXPECT_EQ(answer(MsgButtons::YesNo,
                  [&](QMessageBox* box) {
                      seen = buttonTexts(box);
                      buttonNamed(box, QStringLiteral("否"))->click();
                  }),
        MsgAnswer::No);
    EXPECT_EQ(seen, QStringList({ QStringLiteral("否"), QStringLiteral("是") }));
    EXPECT_EQ(answer(MsgButtons::YesNo,
                  [](QMessageBox* box) { buttonNamed(box, QStringLiteral("是"))->click(); }),
        MsgAnswer::Yes);
    EXPECT_EQ(answer(MsgButtons::OKCancel,
                  [&](QMessageBox* box) {
                      seen = buttonTexts(box);
                      buttonNamed(box, QStringLiteral("取消"))->click();
                  }),
        MsgAnswer::Cancel);
    EXPECT_EQ(seen, QStringList({ QStringLiteral("取消"), QStringLiteral("确定") }));
    EXPECT_EQ(answer(MsgButtons::OK,
                  [&](QMessageBox* box) {
                      seen = buttonTexts(box);
                      buttonNamed(box, QStringLiteral("确定"))->click();
                  }),
        MsgAnswer::OK);
    EXPECT_EQ(seen, QStringList({ QStringLiteral("确定") }));
}

TEST(MessageBox, EscapeGivesTheNoOrCancelAnswer)
{
    auto escape = [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); };
    EXPECT_EQ(answer(MsgButtons::YesNo, escape), MsgAnswer::No);
    EXPECT_EQ(answer(MsgButtons::OKCancel, escape), MsgAnswer::Cancel);
    EXPECT_EQ(answer(MsgButtons::OK, escape), MsgAnswer::OK);
}

} // namespace
