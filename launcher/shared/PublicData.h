#pragma once

// What the launcher's windows share: addresses, captions, resource numbers,
// the no-connection message, the application icon file, and the hook that
// keeps the login page window glued to the login background window.

#include <QIcon>
#include <QString>
#include <QStringView>

class QWidget;

namespace kest {

// Captions and the tray tip are the brand followed directly by the suffix.
inline constexpr QStringView kBrandTitle = u"ZantivoTervolk";
inline constexpr QStringView kClientSuffix = u"客户端";
QString clientCaption();

// The plain message box's notice title and the message shown when the
// platform cannot be reached.
inline constexpr QStringView kNoticeTitle = u"提示";
inline constexpr QStringView kNoConnectionText = u"未能连接到服务器，请检查网络连接是否正常！";
// Shown when the engine library beside the program is missing, cannot be
// loaded, or belongs to another version of the program.
inline constexpr QStringView kProgramIncompleteText = u"程序文件不完整或版本不一致，请重新安装！";
// Shown when no program of the desktop opens web addresses; %1 is the
// address, so that the player can still open it by hand.
inline constexpr QStringView kAddressNotOpenedText
    = u"未能打开网页，请检查是否已安装默认浏览器！\n网址：%1";

// Embedded resources by type and id.
inline constexpr int kAppIconId = 101; // "ICON": the application icon, several sizes
inline constexpr int kLoginBackgroundPngId = 101; // "PNG": 888 x 518, with alpha
inline constexpr int kSplashPngId = 102; // "PNG": 356 x 122, with alpha

// The icon file in the private temporary folder that the windows take their
// icons from.
inline constexpr QStringView kIconFileName = u"kest.ico";

// Ends the process at once (no window unloads) with this status after the
// no-connection message, so that scripts can tell the failure from an
// orderly end.
inline constexpr int kExitNoConnection = 1;
// Likewise after "/web" found nothing to open the home page with.
inline constexpr int kExitHomePageNotOpened = 2;
// Likewise after the program-incomplete message (the engine library).
inline constexpr int kExitProgramIncomplete = 3;

// "http://" + login server + "/pcLogin/".
QString loginPageAddress();
// "http://" + home page host + "/".
QString homePageAddress();

// Opens the home page in the desktop's web browser. When nothing opens it,
// the player is told so in a notice owned by `owner` (none: a window of its
// own), and the result is false once the notice is closed.
bool openHomePage(QWidget* owner);

// Shows the no-connection message (notice title, exclamation icon, OK) and
// returns when the player has closed it.
void showNoConnectionMessage();

// Writes the application icon to the temporary folder and loads it from
// there, small and large sizes alike. When the folder or the file cannot be
// had, the icon comes straight from the embedded resource, so the windows
// never go without one; the reason is in the event log.
QIcon loadAppIcon();

// From this call until UnhookLoginMove, every move of `background` moves
// `page` so that its top-left corner lies on the background's, size unchanged.
// Hooking another background first unhooks the previous one.
void HookLoginMove(QWidget* background, QWidget* page);
void UnhookLoginMove(QWidget* background);

} // namespace kest
