#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

class QPainter;

namespace kest {

// Which program the controls are built into. The two programs' caption bars
// differ in one place: how far right the caption starts when the host puts a
// logo in front of it. Set once at start-up, before any bar is drawn.
enum class SkinProgram { Launcher, Updater };
void setSkinProgram(SkinProgram program);
SkinProgram skinProgram();

// One copy of a rectangle of a skin to a place on a target, at the same size.
// Parts that fall outside the skin or the target are clipped.
struct SkinCopy {
    QRect source;
    QPoint target;
    friend bool operator==(const SkinCopy&, const SkinCopy&) = default;
};

// The caption bar's geometry. Everything is in twips, as the bar and the
// window border are laid out, and converted to pixels only when painting.
namespace captionbar {

inline constexpr int kBarHeight = 500; // the bar's fixed height
inline constexpr int kSliceHeight = 545; // rows taken from the skin; the bar shows 500 of them
inline constexpr int kTile = 300; // the tiled middle of the title area, and the border tiles
inline constexpr int kLeftEnd = 545; // the left end with the rounded corner
inline constexpr int kRightEnd = 1000; // the right end with the rounded corner
inline constexpr int kBorder = 60; // width of the left, right and bottom borders
inline constexpr int kBorderTop = 800; // where the side borders are taken from in the skin
inline constexpr int kBorderTileLength = 500;
inline constexpr int kBottomRightCorner = 500;
inline constexpr int kCaptionLeft = 150;
inline constexpr int kCaptionTop = 150;
inline constexpr int kLogoCaptionLeftLauncher = 600;
inline constexpr int kLogoCaptionLeftUpdater = 720;

// The caption bar's pieces in painting order: the tiles from x = 300 to past
// the right edge, then the left end, then the right end, so on a narrow bar the
// right end wins where the two ends overlap.
std::vector<SkinCopy> barCopies(int barWidth, int skinWidth);

// The window border painted onto the host form, in painting order: bottom
// tiles, left tiles, right tiles, bottom-left corner, bottom-right corner.
// The side tiles start 300 twips down, under the caption bar.
std::vector<SkinCopy> borderCopies(QSize form, QSize skin);

// Plain title-area skin over the place where a minimise button would sit.
SkinCopy nominCopy(int barWidth, int skinWidth);

// Where the caption's text cell starts.
QPoint captionOrigin(bool hasLogo, SkinProgram program);

// Twips to pixels, each coordinate rounded on its own.
SkinCopy toPixels(const SkinCopy& twips);
QRect toPixels(const QRect& twips);

// Paints twip-sized copies of `skin` with `painter`: each copy in pixels, its
// source clipped to the skin (and the target moved with it). Copies are
// measured in the skin's logical pixels; a double-density skin, or a painter
// on a surface of another ratio, has each copy cut and scaled on its own
// (drawSkinPiece), so tiles meet on whole device pixels.
void paintCopies(QPainter& painter, const QImage& skin, const std::vector<SkinCopy>& twipCopies);

struct BarLook {
    QImage skin; // the 94 x 85 title bar and window skin; null paints the background only
    QColor back;
    QString caption;
    QFont font;
    QColor text;
    bool hasLogo = false;
    SkinProgram program = SkinProgram::Launcher;
    qreal ratio = 1.0; // device pixels per pixel of the screen the bar is shown on
};

// The whole bar of `widthPx` pixels, at the bar's fixed height, on a surface
// of look.ratio (deviceSurface).
QImage renderBar(const BarLook& look, int widthPx);

// A form's background with its skinned border, `sizePx` pixels, on a surface
// of `ratio`.
QImage renderBorder(const QImage& skin, QSize sizePx, const QColor& back, qreal ratio = 1.0);

} // namespace captionbar

} // namespace kest
