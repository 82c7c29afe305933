#include "launcher/mainwindow/MsgFrm.h"

#include "launcher/shared/PublicData.h"
#include "platform/pictures.h"
#include "skin/BForm.h"
#include "skin/iButton.h"

#include <QLabel>

namespace kest {

namespace {

constexpr int kClientWidth = 242;
constexpr int kClientHeight = 140;
constexpr int kAnswerButtonSkin = 109; // three 75 x 22 faces without text
constexpr int kCornerEllipse = 4;

iButton* answerButton(QWidget* parent, const char* name, const QString& caption, const QRect& place)
{
    auto* button = new iButton(parent);
    button->setObjectName(QLatin1String(name));
    // The faces are stretched to the button, not the button sized to a face.
    button->setAutoSize(false);
    button->setBackPicture(
        LoadResSkinAt(kAnswerButtonSkin, QStringLiteral("BITMAP"), button->devicePixelRatioF()));
    button->setCaption(caption);
    button->setGeometry(place);
    return button;
}

} // namespace

const QString MsgFrm::kQuestion = QStringLiteral("窗口即将关闭，确定要退出游戏？");

MsgFrm::MsgFrm(bool& exitFlag, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_bExit(exitFlag)
{
    setObjectName(QStringLiteral("MsgFrm"));
    const QString caption = kBrandTitle.toString() + kClientSuffix.toString();
    setWindowTitle(caption);
    setModal(true);
    m_frame = buildDialogFrame(this,
        { QSize(kClientWidth, kClientHeight), caption, QRect(192, 1, 43, 18), kCornerEllipse });
    BForm1 = m_frame.captionBar;
    closebtn = m_frame.closeButton;
    connect(closebtn, &iButton::Click, this, &MsgFrm::reject);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(24, 56, 209, 41);
    Label1->setFont(QFont(QStringLiteral("宋体"), 9));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);
    Label1->setText(kQuestion);

    iButton1 = answerButton(this, "iButton1", QStringLiteral("是"), QRect(56, 88, 65, 25));
    connect(iButton1, &iButton::Click, this, &MsgFrm::iButton1_Click);
    iButton2 = answerButton(this, "iButton2", QStringLiteral("否"), QRect(136, 88, 65, 25));
    connect(iButton2, &iButton::Click, this, &MsgFrm::reject);
}

MsgFrm::~MsgFrm() = default;

void MsgFrm::ask(bool& m_bExit)
{
    MsgFrm dialog(m_bExit);
    dialog.exec();
}

void MsgFrm::iButton1_Click()
{
    m_bExit = true;
    accept();
}

void MsgFrm::reject()
{
    m_bExit = false;
    QDialog::reject();
}

void MsgFrm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    fitDialogFrame(this, m_frame);
}

} // namespace kest
