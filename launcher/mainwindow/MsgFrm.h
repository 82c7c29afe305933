#pragma once

#include "skin/dialogframe.h"

#include <QDialog>
#include <QString>

class QLabel;

namespace kest {

class BForm;
class iButton;

// The skinned question asked before the main game window closes: "是" lets
// the close go ahead, "否" and the close button keep the window. The answer
// is written to the main window's m_bExit flag, which its close handling
// reads when the dialog returns.
//
// Any other way of dismissing the dialog (Escape, the window manager's close)
// counts as "否".
class MsgFrm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MsgFrm)

public:
    static const QString kQuestion;

    // `m_bExit` must outlive the dialog.
    explicit MsgFrm(bool& m_bExit, QWidget* parent = nullptr);
    ~MsgFrm() override;

    // Loads the dialog, shows it modally in the middle of the screen and
    // returns once it has been answered and unloaded.
    static void ask(bool& m_bExit);

    void reject() override;

    BForm* BForm1 = nullptr;
    iButton* closebtn = nullptr;
    QLabel* Label1 = nullptr;
    iButton* iButton1 = nullptr;
    iButton* iButton2 = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void iButton1_Click();

    bool& m_bExit;
    DialogFrame m_frame;
};

} // namespace kest
