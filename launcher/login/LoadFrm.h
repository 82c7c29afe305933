#pragma once

#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QString>
#include <QWidget>

class QPainter;

namespace kest {

// A window whose whole content is one picture with per-pixel alpha. The
// window is shaped to the picture's opaque pixels, so its transparent pixels
// are holes for the eye and the pointer alike, with or without a compositor;
// where a compositor runs, the picture's edges blend with what lies beneath.
// The splash's and the login background's picture: the "PNG" resource
// `ResID`, decoded with its alpha channel; null when missing or undecodable.
QImage LoadPngRes(int ResID);

class LayeredPng final {
public:
    // Call before the window is first shown: the translucent surface has to
    // be chosen before the native window exists.
    static void prepare(QWidget* window);

    // ShowLayeredPng: gives `window` the "PNG" resource `ResID` as its content,
    // at the picture's own size. A missing or undecodable picture leaves the
    // window blank at its current size; the reason is in the event log.
    bool ShowLayeredPng(QWidget* window, int ResID);

    void paint(QPainter& painter) const;
    const QPixmap& picture() const { return m_picture; }

    // The pixels that stay visible: alpha at or above one half.
    static QRegion opaqueRegion(const QImage& image);
    // Every pixel of a picture scaled to a high-density screen made fully
    // opaque or fully transparent (half-covered pixels stay); 1x pictures
    // come back as they are.
    static QImage hardAlpha(const QImage& image);

private:
    QPixmap m_picture;
};

// The splash window, the launcher's start-up object.
class LoadFrm final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoadFrm)

public:
    // The road from process start to the login page: the network test (no
    // connection: the message, then the process ends), the start-up update
    // check, the "/web" switch (the home page opens, then the process ends),
    // and otherwise the splash, centred; once it has been painted, the login
    // windows are loaded behind it.
    static void startUp(const QString& commandText);

    // Whether the program's whole argument text is the switch that opens the
    // home page instead: exactly "/web".
    static bool isWebSwitch(const QString& commandText);

    // The splash while it is loaded, else nullptr.
    static LoadFrm* instance();
    // Unloads the splash; nothing happens when it is gone already.
    static void unloadSplash();

    // SIGTERM and SIGINT close the program the way its windows close: the
    // login windows, the splash and the main window (without its exit
    // question) unload, and the status is 0. Before any window is loaded the
    // process ends at once, with status 0 too.
    static void closeOnTerminationSignals();

    static constexpr QSize kDesignSize { 356, 122 };

protected:
    void paintEvent(QPaintEvent* event) override;
    // A close asked by the window manager ends the start-up: nothing else
    // would ever be shown.
    void closeEvent(QCloseEvent* event) override;

private:
    LoadFrm();
    ~LoadFrm() override;
    void loadLoginWindows();

    LayeredPng m_picture;
    bool m_loginLoaded = false;
};

} // namespace kest
