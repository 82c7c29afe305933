#pragma once

#include <QString>

class QMessageBox;
class QWidget;

namespace kest {

enum class MsgIcon { None, Information, Exclamation, Question, Critical };
enum class MsgButtons { OK, YesNo, OKCancel };
// The answer, numbered as the plain message box numbers them.
enum class MsgAnswer { OK = 1, Cancel = 2, Yes = 6, No = 7 };

// The plain, modal message box: shows `text` under `title` with `icon` and
// `buttons` and returns the player's answer. Closing the box without an answer
// gives the "no" or "cancel" answer (OK for a box with one button).
MsgAnswer MsgBox(QWidget* parent, const QString& text, const QString& title, MsgIcon icon,
    MsgButtons buttons = MsgButtons::OK);

// The same box, made but not shown (the caller owns it), for a question that
// must be asked without a nested event loop (QMessageBox::open()). Its
// buttons read 确定/取消/是/否 like every box of the programs.
QMessageBox* NewMsgBox(
    QWidget* parent, const QString& text, const QString& title, MsgIcon icon, MsgButtons buttons);

} // namespace kest
