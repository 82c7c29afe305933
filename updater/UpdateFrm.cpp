#include "updater/UpdateFrm.h"

#include "platform/messagebox.h"
#include "platform/pictures.h"
#include "platform/units.h"
#include "platform/windowregion.h"
#include "platform/windowshape.h"
#include "skin/BForm.h"
#include "skin/KvProgressBar.h"
#include "skin/iButton.h"
#include "updater/CKvDownLoadFile.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>

#include <limits>

namespace kest {

namespace {

const QString kTitle = QStringLiteral("提示");
const QString kCaption = QStringLiteral("更新");
const QString kDownloading = QStringLiteral("正在下载：");
// RGB(222, 222, 222) as the caption bar takes colours: 0x00BBGGRR in decimal.
const QString kCaptionBackColor = QString::number(222 * 65536 + 222 * 256 + 222);
constexpr int kClientWidth = 305;
constexpr int kClientHeight = 144;
constexpr int kCornerEllipse = 6;
constexpr int kCloseButtonSkin = 103;

} // namespace

const QString UpdateFrm::kSuccessText = QStringLiteral("软件已升至最新版本！");
const QString UpdateFrm::kFailureText = QStringLiteral("更新失败，原版本未做任何改动！");
// Not "nothing was changed": some files are new and some old until the
// launcher's next start puts the old ones back, which the player is told.
const QString UpdateFrm::kRollbackFailedText
    = QStringLiteral("更新失败，原版本未能完全恢复，下次启动时将自动恢复！");
const QString UpdateFrm::kCancelQuestion = QStringLiteral("您是否要退出更新！");

UpdateFrm::UpdateFrm(update::UpdaterCommandLine commandLine, QString manifestPath, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Window)
    , m_downfile(std::make_unique<CKvDownLoadFile>())
{
    setObjectName(QStringLiteral("UpdateFrm"));
    setWindowTitle(kCaption);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    resize(kClientWidth, kClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());

    m_procedure = std::make_unique<UpdateProcedure>(
        std::move(commandLine), std::move(manifestPath), *m_downfile);
    connect(m_downfile.get(), &CKvDownLoadFile::QueryFileInfo, this,
        &UpdateFrm::m_downfile_QueryFileInfo);
    connect(m_downfile.get(), &CKvDownLoadFile::Loading, this, &UpdateFrm::m_downfile_Loading);

    BForm1 = new BForm(this);
    BForm1->setObjectName(QStringLiteral("BForm1"));
    BForm1->setGeometry(0, 0, kClientWidth, 33);
    BForm1->setCaption(kCaption);
    BForm1->setBackColor(kCaptionBackColor);
    BForm1->setHasLogo(false);
    // Dragging by the caption bar moves this window.
    BForm1->setFrmHwnd(this);

    closebtn = new iButton(this);
    closebtn->setObjectName(QStringLiteral("closebtn"));
    closebtn->setGeometry(256, 1, 41, 17);
    closebtn->setBackPicture(LoadResImage(kCloseButtonSkin, QStringLiteral("BITMAP")));
    closebtn->setFocusPolicy(Qt::NoFocus); // no focus frame on a caption button
    connect(closebtn, &iButton::Click, this, &UpdateFrm::closebtn_Click);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(16, 72);
    Label1->setText(kDownloading);
    Label1->adjustSize();

    KvProgressBar1 = new KvProgressBar(this);
    KvProgressBar1->setObjectName(QStringLiteral("KvProgressBar1"));
    KvProgressBar1->setGeometry(16, 104, 273, 10);

    connect(m_procedure.get(), &UpdateProcedure::fileStarted, this, [this](const QString& name) {
        Label1->setText(kDownloading + name);
        Label1->adjustSize();
        m_total = 0;
        KvProgressBar1->setValue(0);
    });
}

UpdateFrm::~UpdateFrm() = default;

int UpdateFrm::scaledProgress(qint64 value, qint64 total)
{
    constexpr qint64 limit = std::numeric_limits<std::int32_t>::max();
    if (total <= limit)
        return static_cast<int>(std::clamp<qint64>(value, 0, limit));
    // Scale both ends by the same factor, so the bar's ratio stays right.
    const qint64 divisor = total / limit + 1;
    return static_cast<int>(std::clamp<qint64>(value / divisor, 0, limit));
}

void UpdateFrm::m_downfile_QueryFileInfo(qint64 dwFileTotalLen)
{
    m_total = dwFileTotalLen;
    KvProgressBar1->setValue(0);
    KvProgressBar1->setMax(scaledProgress(dwFileTotalLen, dwFileTotalLen));
}

void UpdateFrm::m_downfile_Loading(qint64 dwRecivedLen)
{
    KvProgressBar1->setValue(scaledProgress(dwRecivedLen, m_total));
}

void UpdateFrm::closebtn_Click()
{
    if (m_question) {
        m_question->raise();
        m_question->activateWindow();
        return;
    }
    // Asked without a nested event loop: a box run with exec() inside the
    // downloader's event pass would hold the transfer, and a server that
    // waits no longer for a silent client (five seconds for some) would drop
    // it while the player reads the question.
    QMessageBox* box
        = NewMsgBox(this, kCancelQuestion, kTitle, MsgIcon::Question, MsgButtons::YesNo);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::buttonClicked, this, [this, box](QAbstractButton* button) {
        if (box->standardButton(button) == QMessageBox::Yes && m_running)
            m_procedure->cancel();
    });
    m_question = box;
    box->open();
}

void UpdateFrm::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (m_running)
        closebtn_Click();
}

void UpdateFrm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    setRoundedWindowShape(this, kCornerEllipse, kCornerEllipse);
    if (BForm1) {
        BForm1->resize(width(), BForm1->height());
        BForm1->Printform(this);
    }
    if (closebtn)
        closebtn->move(twipsToPixels(pixelsToTwips(width()) - 730), closebtn->y());
}

QString UpdateFrm::runUpdate()
{
    show();
    m_running = true;
    m_outcome = m_procedure->run();
    m_running = false;
    // A question still open has lost its subject.
    delete m_question.data();
    switch (m_outcome) {
    case UpdateProcedure::Outcome::Updated:
        MsgBox(this, kSuccessText, kTitle, MsgIcon::Information);
        return m_procedure->launcherToStart();
    case UpdateProcedure::Outcome::Failed:
        MsgBox(this, kFailureText, kTitle, MsgIcon::Exclamation);
        return m_procedure->launcherToStart();
    case UpdateProcedure::Outcome::RollbackFailed:
        MsgBox(this, kRollbackFailedText, kTitle, MsgIcon::Exclamation);
        return m_procedure->launcherToStart();
    case UpdateProcedure::Outcome::Cancelled:
        return m_procedure->launcherToStart();
    case UpdateProcedure::Outcome::NothingToDo:
        break;
    }
    return {};
}

} // namespace kest
