#pragma once

// The message boxes of this process, as a test finds and answers them.

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <vector>

namespace kest::test {

// The message boxes on the screen now.
inline QList<QMessageBox*> visibleMessageBoxes()
{
    QList<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            boxes << box;
    return boxes;
}

// The first of them; null when none comes within `waitMs`.
inline QMessageBox* visibleMessageBox(int waitMs = 0)
{
    QMessageBox* box = nullptr;
    const auto found = [&box] { return (box = visibleMessageBoxes().value(0)) != nullptr; };
    if (!found() && waitMs > 0)
        (void)QTest::qWaitFor(found, waitMs);
    return box;
}

// Answers the message boxes as they appear, as a player would (the plain
// message box is modal and a test has no player). Each box is recorded;
// `answerFor` picks the button from its text (by default its first button),
// after `delayMs` of reading.
class MessageBoxAnswerer final {
public:
    struct Shown {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QStringList buttons; // their texts, in the box's order
    };

    MessageBoxAnswerer()
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { poll(); });
        m_timer.start();
    }
    Q_DISABLE_COPY_MOVE(MessageBoxAnswerer)

    std::function<QMessageBox::StandardButton(const QString& text)> answerFor;
    int delayMs = 0;
    std::vector<Shown> shown;

    // Whether a box with this text is on the screen now.
    static bool isOpen(const QString& text)
    {
        return std::ranges::any_of(
            visibleMessageBoxes(), [&text](const QMessageBox* box) { return box->text() == text; });
    }

private:
    void poll()
    {
        for (QMessageBox* box : visibleMessageBoxes()) {
            if (box->property("answered").toBool())
                continue;
            if (!box->property("seen").toBool()) {
                box->setProperty("seen", true);
                QStringList buttons;
                for (QAbstractButton* button : box->buttons())
                    buttons << button->text();
                shown.push_back({ box->windowTitle(), box->text(), box->icon(), buttons });
                m_seen.start();
            }
            if (m_seen.elapsed() < delayMs)
                continue;
            box->setProperty("answered", true);
            QAbstractButton* button = answerFor ? box->button(answerFor(box->text())) : nullptr;
            if (!button)
                button = box->buttons().value(0);
            if (button)
                QTest::mouseClick(button, Qt::LeftButton);
        }
    }

    QTimer m_timer;
    QElapsedTimer m_seen;
};

} // namespace kest::test
