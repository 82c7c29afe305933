#include "launcher/shared/PublicData.h"

#include "platform/deploy.h"
#include "platform/eventlog.h"
#include "platform/messagebox.h"
#include "platform/messages.h"
#include "platform/resources.h"
#include "platform/shell.h"
#include "platform/tempdir.h"

#include <QEvent>
#include <QFile>
#include <QPointer>
#include <QWidget>

namespace kest {

QString clientCaption()
{
    return kBrandTitle.toString() + kClientSuffix.toString();
}

QString loginPageAddress()
{
    return hostOrigin(loginHost()) + QStringLiteral("/pcLogin/");
}

QString homePageAddress()
{
    return hostOrigin(homeHost()) + QStringLiteral("/");
}

bool openHomePage(QWidget* owner)
{
    const QString address = homePageAddress();
    if (openAddress(address))
        return true;
    MsgBox(owner, kAddressNotOpenedText.toString().arg(address), kNoticeTitle.toString(),
        MsgIcon::Exclamation);
    return false;
}

void showNoConnectionMessage()
{
    MsgBox(nullptr, kNoConnectionText.toString(), kNoticeTitle.toString(), MsgIcon::Exclamation);
}

QIcon loadAppIcon()
{
    const QString folder = GetTempDir();
    if (!folder.isEmpty()) {
        const QString path = folder + kIconFileName.toString();
        if (SaveResToFile(kAppIconId, QStringLiteral("ICON"), path,
                QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            QIcon icon(path);
            if (!icon.availableSizes().isEmpty())
                return icon;
            logEvent(QStringLiteral("loadAppIcon: %1 holds no icon").arg(path));
        }
    }
    // Qt reads .ico data through its image plug-in, from a file or from memory alike.
    return QIcon(resourcePath(kAppIconId, QStringLiteral("ICON")));
}

namespace {

// The login background's move procedure: after each of the background's
// moves the page window goes to the same place. The move itself goes on to
// the background unchanged (false: not swallowed).
bool LoginMoveProc(QWidget* background, QWidget* page, const QEvent& event)
{
    if (windowMessageFor(event) == WM_MOVE && page)
        page->move(background->pos());
    return false;
}

// Runs LoginMoveProc for every event of the background window.
class LoginMoveHook final : public QObject {
public:
    LoginMoveHook(QWidget* background, QWidget* page)
        : QObject(background)
        , m_background(background)
        , m_page(page)
    {
        background->installEventFilter(this);
    }
    ~LoginMoveHook() override
    {
        if (m_background)
            m_background->removeEventFilter(this);
    }
    Q_DISABLE_COPY_MOVE(LoginMoveHook)

    QWidget* background() const { return m_background; }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        return watched == m_background && LoginMoveProc(m_background, m_page, *event);
    }

private:
    QPointer<QWidget> m_background;
    QPointer<QWidget> m_page;
};

QPointer<LoginMoveHook>& loginMoveHook()
{
    static QPointer<LoginMoveHook> hook;
    return hook;
}

} // namespace

void HookLoginMove(QWidget* background, QWidget* page)
{
    if (!background || !page)
        return;
    if (QPointer<LoginMoveHook>& hook = loginMoveHook())
        delete hook.data();
    loginMoveHook() = new LoginMoveHook(background, page);
}

void UnhookLoginMove(QWidget* background)
{
    QPointer<LoginMoveHook>& hook = loginMoveHook();
    if (hook && hook->background() == background)
        delete hook.data();
}

} // namespace kest
