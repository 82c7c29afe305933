#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class QAction;
class QLabel;
class QMenu;

namespace kest {

class BForm;
class CKvNotifyIcon;
class cSetStyle;
class iButton;
class uTab;

// The main game window: a borderless, skinned window with its caption bar,
// logo, a tab strip whose tabs each hold one game page, two text buttons, four
// caption buttons, the program menu, the tray icon, the hot key F10 and the
// link topic. It starts maximised; closing asks through MsgFrm unless
// m_bExit is set.
//
// Loaded when SetURL or showMainWindow first touches it, unloaded by its
// close; a later login loads it again. Made and deleted by kest::Launcher. It counts as a loaded
// form (see LoadedForms) from loading to unloading, so a hidden main window keeps the program
// running.
class WebMainFrm final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebMainFrm)

public:
    // Made unloaded and hidden.
    WebMainFrm();
    ~WebMainFrm() override;

    // Opens the page of a game address, or selects it when it is open
    // already; loads the window first when it is not loaded.
    void SetURL(const QString& strURL);
    // Loads the window when it is not loaded, and shows it, un-minimised, in
    // front.
    void showMainWindow();
    // Whether the window is loaded: from the first page to its close.
    bool isLoaded() const { return m_loaded; }
    // Unloads the window without the exit question: the program is being
    // ended (a termination signal) and nobody is there to answer it.
    void unloadWithoutQuestion();

    // True: the next close goes ahead without asking.
    bool m_bExit = false;

    // Gives `hWnd` a rounded-rectangle shape from (0, 0) to (Top, Buttom) with
    // X x Y corner ellipses; the parameter named Top carries the right edge.
    void RectRgn(QWidget* hWnd, int Top, int Buttom, int X, int Y);

    // What a link-topic execute does: un-minimise and show the window, then
    // open or select the page of `command`. False when no page could be made
    // for it.
    bool LinkExecute(const QString& command);

    // Controls, by their design names; null while unloaded.
    BForm* WebBForm = nullptr;
    QLabel* PicLogo = nullptr;
    uTab* WebuTab = nullptr;
    iButton* OtherUserBtn = nullptr;
    iButton* GameSpaceBtn = nullptr;
    iButton* web_tool = nullptr;
    iButton* web_min = nullptr;
    iButton* web_minmax = nullptr;
    iButton* web_close = nullptr;
    QWidget* pCnt = nullptr;
    QWidget* Picture1 = nullptr;
    QMenu* appmenu = nullptr;

    // Menu items in their order: refresh, hiderestore, clearcache, line,
    // update, version, exit.
    QAction* refresh = nullptr;
    QAction* hiderestore = nullptr;
    QAction* clearcache = nullptr;
    QAction* version = nullptr;
    QAction* update = nullptr;
    QAction* exit = nullptr;

    cSetStyle* objStyle() const { return m_objStyle.get(); }
    CKvNotifyIcon* trayIcon() const { return m_tray.get(); }
    bool isMaximisedByStyle() const;
    // Hides the window, or minimises it when nothing could bring a hidden
    // window back (no notification area and no hot key).
    void hideWindow();

signals:
    // The other-account button: the login windows are wanted over this one.
    void otherUserRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void Form_Unload();
    void Form_Resize();
    void createControls();
    void createMenu();

    // False, and no tab added, when a new page cannot go to `address`.
    bool OpenGameTab(const QString& address);
    void web_minmax_Click();
    void OtherUserBtn_Click();
    void refresh_Click();
    void hiderestore_Click();
    void update_Click();

    void WebuTab_TabChanged();
    void WebuTab_OnMouseDown(int ItemIndex, int Button, int Shift, float X, float Y);
    void WebuTab_OnMouseHover(int ItemIndex, int Button, int Shift, float X, float Y);
    void WebuTab_OnItemColose(int ItemIndex, bool* Cancel);

    bool m_loaded = false;
    bool m_unloading = false;
    std::unique_ptr<cSetStyle> m_objStyle;
    std::unique_ptr<CKvNotifyIcon> m_tray;
};

} // namespace kest
