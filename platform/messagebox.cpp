#include "platform/messagebox.h"

#include <QMessageBox>
#include <QPushButton>

#include <memory>

namespace kest {

QMessageBox* NewMsgBox(
    QWidget* parent, const QString& text, const QString& title, MsgIcon icon, MsgButtons buttons)
{
    auto* made = new QMessageBox(parent);
    QMessageBox& box = *made;
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case MsgIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    switch (buttons) {
    case MsgButtons::OK:
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    case MsgButtons::OKCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    // Every text of the program is Chinese; the buttons say so too, whatever
    // language the desktop runs in.
    const std::pair<QMessageBox::StandardButton, const char16_t*> names[] = {
        { QMessageBox::Ok, u"确定" },
        { QMessageBox::Cancel, u"取消" },
        { QMessageBox::Yes, u"是" },
        { QMessageBox::No, u"否" },
    };
    for (const auto& [which, name] : names) {
        if (QAbstractButton* button = box.button(which))
            button->setText(QString::fromUtf16(name));
    }
    return made;
}

MsgAnswer MsgBox(
    QWidget* parent, const QString& text, const QString& title, MsgIcon icon, MsgButtons buttons)
{
    const std::unique_ptr<QMessageBox> box(NewMsgBox(parent, text, title, icon, buttons));
    switch (box->exec()) {
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    case QMessageBox::Cancel:
        return MsgAnswer::Cancel;
    default:
        return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::OK;
    }
}

} // namespace kest
