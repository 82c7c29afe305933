#pragma once

#include "skin/dialogframe.h"
#include "updater/UpdateProcedure.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QLabel;
class QMessageBox;

namespace kest {

class CKvDownLoadFile;
class KvProgressBar;
class iButton;

// The updater's one window: a skinned caption bar, a close button that
// cancels, the name of the file being downloaded and a progress bar.
class UpdateFrm final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateFrm)

public:
    explicit UpdateFrm(
        update::UpdaterCommandLine commandLine, QString manifestPath, QWidget* parent = nullptr);
    ~UpdateFrm() override;

    // Shows the window and runs the update to its end; tells the player how it
    // went and returns what to start next (empty: nothing).
    QString runUpdate();

    UpdateProcedure::Outcome outcome() const { return m_outcome; }
    CKvDownLoadFile& downloader() { return *m_downfile; }
    UpdateProcedure& procedure() { return *m_procedure; }

    // The progress bar holds 32-bit values: larger files are scaled down.
    static int scaledProgress(qint64 value, qint64 total);

    static const QString kSuccessText;
    static const QString kFailureText;
    static const QString kRollbackFailedText;
    static const QString kCancelQuestion;

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Closed by the window manager: asked like the close button.
    void closeEvent(QCloseEvent* event) override;

private:
    void m_downfile_QueryFileInfo(qint64 dwFileTotalLen);
    void m_downfile_Loading(qint64 dwRecivedLen);
    void closebtn_Click();

    // The close question while it is open. It is not modal to the process:
    // the download goes on while the player makes up his mind.
    QPointer<QMessageBox> m_question;
    std::unique_ptr<CKvDownLoadFile> m_downfile;
    std::unique_ptr<UpdateProcedure> m_procedure;
    DialogFrame m_frame;
    QLabel* Label1 = nullptr;
    KvProgressBar* KvProgressBar1 = nullptr;
    qint64 m_total = 0;
    bool m_running = false;
    UpdateProcedure::Outcome m_outcome = UpdateProcedure::Outcome::NothingToDo;
};

} // namespace kest
