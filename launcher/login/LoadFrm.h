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

// The splash window: the launcher's first window, centred on the screen,
// shown while the login windows load behind it.
class LoadFrm final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoadFrm)

public:
    // Loaded (it counts as a loaded form) but not shown yet.
    LoadFrm();
    ~LoadFrm() override;

    // Whether the program's whole argument text is the switch that opens the
    // home page instead: exactly "/web".
    static bool isWebSwitch(const QString& commandText);

    // Shows the splash centred on its screen. Once it has been painted,
    // readyForLogin comes, once; should no paint come (a display that never
    // exposes the window), it comes after a short while all the same.
    void showCentred();
    // Hides the splash and unloads it; it is deleted on the next turn of the
    // event loop. Nothing happens when it is unloaded already.
    void unload();

    static constexpr QSize kDesignSize { 356, 122 };

signals:
    // The splash is on the screen: time to load the login windows, since
    // starting the browser engine takes a noticeable moment.
    void readyForLogin();
    // The player or the window manager closed the splash: nothing else would
    // ever be shown.
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void announceReady();

    LayeredPng m_picture;
    bool m_ready = false;
    bool m_unloaded = false;
};

} // namespace kest
