#include "previews.h"

#include "artwork.h"

#include <QDir>
#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include <stdexcept>

namespace resgen {

namespace {

QImage keyToAlpha(const QImage& skin)
{
    QImage out = skin.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == 0xFF00FF)
                line[x] = 0;
        }
    }
    return out;
}

QImage onChecker(const QImage& image)
{
    QImage out(image.size(), QImage::Format_ARGB32);
    QPainter p(&out);
    for (int y = 0; y < out.height(); y += 4) {
        for (int x = 0; x < out.width(); x += 4)
            p.fillRect(x, y, 4, 4,
                ((x + y) / 4) % 2 ? QColor(0xC8, 0xC8, 0xC8) : QColor(0xF0, 0xF0, 0xF0));
    }
    p.drawImage(0, 0, image);
    return out;
}

void save(const QImage& image, const QString& path, int scale)
{
    const QImage big
        = image.scaled(image.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!big.save(path))
        throw std::runtime_error("cannot write " + path.toStdString());
}

// DrawBar and Printform, in pixels (1 pixel = 15 twips, source rectangles
// as the caption bar uses them, truncated to whole pixels).
void drawBar(QPainter& p, const QImage& skin, int barW, int barH, const QString& caption, int textX)
{
    p.save();
    p.setClipRect(0, 0, barW, barH);
    for (int i = 1; i <= barW / 20 + 1; ++i)
        p.drawImage(QPoint(i * 20, 0), skin, QRect(20, 0, 20, 36));
    p.drawImage(QPoint(0, 0), skin, QRect(0, 0, 36, 36));
    p.drawImage(QPoint(barW - 67, 0), skin, QRect(skin.width() - 67, 0, 67, 36));
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(12);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(textX, 10, barW, 16), Qt::AlignLeft | Qt::AlignTop, caption);
    p.restore();
}

void printForm(QPainter& p, const QImage& skin, int w, int h)
{
    const int sw = skin.width();
    const int sh = skin.height();
    for (int i = 1; i <= w / 20 + 1; ++i)
        p.drawImage(QPoint(i * 20, h - 4), skin, QRect(20, sh - 4, 20, 33));
    for (int i = 1; i <= h / 20 + 1; ++i) {
        p.drawImage(QPoint(0, i * 20), skin, QRect(0, 53, 4, 33));
        p.drawImage(QPoint(w - 4, i * 20), skin, QRect(sw - 4, 53, 20, 33));
    }
    p.drawImage(QPoint(0, h - 4), skin, QRect(0, sh - 4, 36, 4));
    p.drawImage(QPoint(w - 33, h - 4), skin, QRect(sw - 33, sh - 4, 33, 4));
}

void roundCorners(QImage& window, int ellipse)
{
    QImage shaped(window.size(), QImage::Format_ARGB32);
    shaped.fill(Qt::transparent);
    QPainter p(&shaped);
    QPainterPath path;
    path.addRoundedRect(
        QRectF(0, 0, window.width() + 1, window.height() + 1), ellipse / 2.0, ellipse / 2.0);
    p.setClipPath(path);
    p.drawImage(0, 0, window);
    p.end();
    window = shaped;
}

QImage frame(const QImage& strip, int frames, int index)
{
    const int w = strip.width() / frames;
    return strip.copy(index * w, 0, w, strip.height());
}

// DrawNineGrid with left and right borders of 14 and nothing above or below.
void nineGrid(QPainter& p, const QImage& skin, QRect src, QRect dst)
{
    const QImage s = keyToAlpha(skin.copy(src));
    const int b = 14;
    p.drawImage(QRect(dst.x(), dst.y(), b, dst.height()), s, QRect(0, 0, b, s.height()));
    p.drawImage(QRect(dst.right() - b + 1, dst.y(), b, dst.height()), s,
        QRect(s.width() - b, 0, b, s.height()));
    p.drawImage(QRect(dst.x() + b, dst.y(), dst.width() - 2 * b, dst.height()), s,
        QRect(b, 0, s.width() - 2 * b, s.height()));
}

struct MockTab {
    QString caption;
    int left;
    int width;
};

// DrawTabs over a strip of width w; `hover` tab has its close button under
// the pointer.
QImage tabStrip(int style, int w, const QList<MockTab>& tabs, int selected, int hover)
{
    const QImage skin = style == 0 ? tabSkin0() : tabSkin1();
    const int h = style == 0 ? 25 : 32;
    const int bodyW = style == 0 ? 122 : 124;
    const int bodyH = style == 0 ? 25 : 26;
    const int glyph0 = style == 0 ? 367 : 373;
    QImage strip(w, h, QImage::Format_ARGB32);
    QPainter p(&strip);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(0, 0, w, h), skin, QRect(0, 0, 1, style == 0 ? 25 : 28));
    const int left = 10;
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(12);
    p.setFont(font);
    auto draw = [&](int i, bool isSelected) {
        const MockTab& t = tabs[i];
        const int x = left + t.left;
        const int kind = isSelected ? 2 : (i == hover ? 1 : 0);
        const QRect dst
            = style == 0 ? QRect(x - 14, 0, t.width + 14, 25) : QRect(x, 0, t.width, 26);
        nineGrid(p, skin, QRect(1 + kind * bodyW, 0, bodyW, bodyH), dst);
        const QRect box = style == 0 ? QRect(x, 0, t.width - (isSelected ? 26 : 38), 25)
                                     : QRect(x + 12, 0, t.width - 28, 26);
        font.setBold(isSelected);
        p.setFont(font);
        p.setPen(isSelected ? QColor(4, 96, 163) : QColor(0, 0, 0));
        p.drawText(box, Qt::AlignCenter, t.caption);
        int gx = isSelected ? glyph0 : glyph0 + 12;
        if (i == hover)
            gx = glyph0 + 24;
        const QPoint at = style == 0 ? QPoint(x + t.width - 24, 6) : QPoint(x + t.width - 20, 7);
        p.drawImage(at, keyToAlpha(skin.copy(gx, 0, 12, 12)));
    };
    for (int i = int(tabs.size()) - 1; i >= 0; --i) {
        if (i != selected)
            draw(i, false);
    }
    draw(selected, true);
    return strip;
}

QImage mockMain()
{
    const int w = 760;
    const int h = 120;
    const QImage skin = captionSkin();
    QImage win(w, h, QImage::Format_ARGB32);
    win.fill(Qt::white);
    QPainter p(&win);
    printForm(p, skin, w, h);
    drawBar(p, skin, w, 33, QString(), 40);
    p.drawImage(7, 2, logo());
    const QList<MockTab> tabs = { { QStringLiteral("游戏一区"), 0, 200 },
        { QStringLiteral("第二个帐号的游戏页面标题"), 205, 200 },
        { QStringLiteral("游戏三区"), 410, 150 } };
    p.drawImage(107, 3, tabStrip(1, w - 460 + 136, tabs, 0, 1));
    p.drawImage(w - 122, 1, frame(webTool(), 3, 1));
    p.drawImage(w - 98, 1, frame(webMin(), 3, 0));
    p.drawImage(w - 74, 1, frame(webMinMax(), 6, 3));
    p.drawImage(w - 49, 1, frame(webClose(), 3, 0));
    p.fillRect(4, 32, w - 8, h - 36, QColor(0xF4, 0xF8, 0xFC));
    p.end();
    roundCorners(win, 6);
    return win;
}

QImage mockUpdate(double fraction)
{
    const int w = 305;
    const int h = 144;
    const QImage skin = captionSkin();
    QImage win(w, h, QImage::Format_ARGB32);
    win.fill(Qt::white);
    QPainter p(&win);
    printForm(p, skin, w, h);
    drawBar(p, skin, w, 33, QStringLiteral("更新"), 10);
    p.drawImage(w - 49, 1, frame(updateClose(), 3, 1));
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(16, 84, QStringLiteral("正在下载：kest"));
    // DrawBar at (16, 104), 273 x 10.
    const QImage bar = progressSkin();
    const int bw = 273;
    const int x0 = 16;
    const int y0 = 104;
    p.drawImage(QRect(x0, y0, 3, 10), bar, QRect(0, 0, 3, 10));
    p.drawImage(QRect(x0 + 3, y0, bw - 6, 10), bar, QRect(3, 0, 2, 10));
    p.drawImage(QRect(x0 + bw - 3, y0, 3, 10), bar, QRect(5, 0, 3, 10));
    const int f = int(std::lround((bw - 2) * fraction + 1));
    if (bw - f - 1 > 0)
        p.drawImage(QRect(x0 + f, y0, bw - f - 1, 10), bar, QRect(8, 0, 2, 10));
    p.end();
    roundCorners(win, 6);
    return win;
}

QImage mockMessage()
{
    const int w = 242;
    const int h = 140;
    const QImage skin = captionSkin();
    QImage win(w, h, QImage::Format_ARGB32);
    win.fill(Qt::white);
    QPainter p(&win);
    printForm(p, skin, w, h);
    drawBar(p, skin, w, 33, QStringLiteral("ZantivoTervolk客户端"), 10);
    p.drawImage(w - 49, 1, frame(webClose(), 3, 1));
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(
        QRect(24, 56, 209, 20), Qt::AlignLeft, QStringLiteral("窗口即将关闭，确定要退出游戏？"));
    const QImage strip = answerStrip();
    p.drawImage(56, 88, frame(strip, 3, 0));
    p.drawText(QRect(56, 88, 75, 22), Qt::AlignCenter, QStringLiteral("是"));
    p.drawImage(136, 88, frame(strip, 3, 1));
    p.drawText(QRect(136, 88, 75, 22), Qt::AlignCenter, QStringLiteral("否"));
    p.end();
    roundCorners(win, 4);
    return win;
}

QImage mockLogin()
{
    // The background with the page window's area outlined (the strips right of and
    // below the red line are never covered by the page) and, as a stand-in for a login
    // page, the opaque panels of the bundled demo page (demo/www/pcLogin) roughly where
    // that page puts them.
    QImage bg = onChecker(loginBackground());
    QPainter p(&bg);
    const QRect card(270, 40, 340, 384);
    p.fillRect(card, QColor(0xFA, 0xFC, 0xFF));
    QLinearGradient head(card.left(), 0, card.right(), 0);
    head.setColorAt(0, QColor(0x15, 0x53, 0xB6));
    head.setColorAt(1, QColor(0x2F, 0x7F, 0xF0));
    p.fillRect(QRect(card.left(), card.top(), card.width(), 72), head);
    p.setPen(QColor(0xA9, 0xC1, 0xE6));
    p.drawRect(card.adjusted(0, 0, -1, -1));
    p.fillRect(QRect(881 - 10 - 66, 10, 66, 28), QColor(0x15, 0x53, 0xB6));
    p.setPen(QColor(255, 0, 0));
    p.drawRect(0, 0, 880, 465);
    return bg;
}

} // namespace

void writePreviews(const QString& dir)
{
    QDir().mkpath(dir);
    const QString d = dir + QLatin1Char('/');
    save(onChecker(loginBackground()), d + QStringLiteral("kest-PNG-101.png"), 1);
    save(onChecker(splash()), d + QStringLiteral("kest-PNG-102.png"), 2);
    save(webMin(), d + QStringLiteral("kest-BITMAP-101.png"), 4);
    save(webMinMax(), d + QStringLiteral("kest-BITMAP-102.png"), 4);
    save(webClose(), d + QStringLiteral("kest-BITMAP-103.png"), 4);
    save(webTool(), d + QStringLiteral("kest-BITMAP-104.png"), 4);
    save(onChecker(logo()), d + QStringLiteral("kest-BITMAP-105.png"), 4);
    save(tabSkin0(), d + QStringLiteral("kest-BITMAP-106.png"), 4);
    save(tabSkin1(), d + QStringLiteral("kest-BITMAP-107.png"), 4);
    save(captionSkin(), d + QStringLiteral("kest-BITMAP-108.png"), 4);
    save(answerStrip(), d + QStringLiteral("kest-BITMAP-109.png"), 4);
    save(progressSkin(), d + QStringLiteral("update-BITMAP-101.png"), 4);
    save(updateClose(), d + QStringLiteral("update-BITMAP-103.png"), 4);
    const QList<IconImage> icon = appIcon();
    for (int i = 0; i < icon.size(); ++i) {
        save(onChecker(icon[i].image),
            d
                + QStringLiteral("kest-ICON-101-%1-%2x%3-%4bit.png")
                      .arg(i)
                      .arg(icon[i].image.width())
                      .arg(icon[i].image.height())
                      .arg(icon[i].bitCount),
            4);
    }
    save(mockMain(), d + QStringLiteral("mock-main-window.png"), 2);
    save(onChecker(mockUpdate(0.6)), d + QStringLiteral("mock-update-60.png"), 2);
    save(onChecker(mockUpdate(0.0)), d + QStringLiteral("mock-update-0.png"), 2);
    save(onChecker(mockUpdate(1.0)), d + QStringLiteral("mock-update-100.png"), 2);
    save(onChecker(mockMessage()), d + QStringLiteral("mock-exit-dialog.png"), 2);
    const QList<MockTab> tabs0 = { { QStringLiteral("游戏一区"), 14, 108 },
        { QStringLiteral("游戏二区"), 122, 108 }, { QStringLiteral("游戏三区"), 230, 108 } };
    save(tabStrip(0, 400, tabs0, 1, 2), d + QStringLiteral("mock-tabs-style0.png"), 3);
    save(mockLogin(), d + QStringLiteral("mock-login-page-area.png"), 1);
}

} // namespace resgen
