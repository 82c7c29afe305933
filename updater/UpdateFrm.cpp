#include "updater/UpdateFrm.h"

#include "platform/messagebox.h"
#include "platform/pictures.h"
#include "platform/units.h"
#include "skin/BForm.h"
#include "skin/KvProgressBar.h"
#include "skin/iButton.h"
#include "updater/CKvDownLoadFile.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainterPath>
#include <QRegion>
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
constexpr int kCloseButtonSkin = 103;

} // namespace

const QString UpdateFrm::kSuccessText = QStringLiteral("软件已升至最新版本！");
const QString UpdateFrm::kFailureText = QStringLiteral("更新失败，原版本未做任何改动！");
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
    // The question is modal inside the downloader's event pass; the transfer
    // waits meanwhile and its stall clock does not run.
    if (MsgBox(this, kCancelQuestion, kTitle, MsgIcon::Question, MsgButtons::YesNo)
        == MsgAnswer::Yes)
        m_procedure->cancel();
}

void UpdateFrm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int w = width() + 1;
    const int h = height() + 1;
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0, 0, w, h), 3, 3); // 6 x 6 corner ellipses
    setMask(QRegion(rounded.toFillPolygon().toPolygon()));
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
    m_outcome = m_procedure->run();
    switch (m_outcome) {
    case UpdateProcedure::Outcome::Updated:
        MsgBox(this, kSuccessText, kTitle, MsgIcon::Information);
        return m_procedure->launcherToStart();
    case UpdateProcedure::Outcome::Failed:
        MsgBox(this, kFailureText, kTitle, MsgIcon::Exclamation);
        return m_procedure->launcherToStart();
    case UpdateProcedure::Outcome::Cancelled:
        return m_procedure->launcherToStart();
    case UpdateProcedure::Outcome::NothingToDo:
        break;
    }
    return {};
}

} // namespace kest
