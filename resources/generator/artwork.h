#pragma once

#include "encoders.h"

#include <QImage>
#include <QList>

// Every picture of the two programs, drawn from scratch. Images come back as
// Format_ARGB32; the 24-bit bitmaps are fully opaque and keep transparency, where
// the skins want some, as magenta RGB(255, 0, 255).
namespace resgen {

// Every BITMAP comes at `scale` times its size too, drawn from the same shapes:
// scale 2 is the double-density variant ("BITMAP/<id>@2x.bmp"). Strip frames stay
// whole: frame i of a strip at scale 2 is pixels [2 i w, 2 (i + 1) w).

// kest
QList<IconImage> appIcon(); // ICON 101: 16 (8-bit), 16, 24, 32, 48 (32-bit)
// The emblem alone, size x size with alpha: the 32-bit images of ICON 101 and the
// desktop's icon theme files (resources/icons/<size>.png).
QImage iconImage(int size);
inline constexpr int themeIconSizes[] = { 16, 24, 32, 48, 64, 128, 256, 512 };
// The two layered pictures are drawn from vectors at `scale` times their size
// too: scale 2 is the double-density variant ("PNG/<id>@2x.png") that screens
// above 100 % draw from.
QImage loginBackground(int scale = 1); // PNG 101, 888 x 518, hard alpha edges
QImage splash(int scale = 1); // PNG 102, 356 x 122, hard alpha edges
QImage webMin(int scale = 1); // BITMAP 101, 72 x 18, three 24 x 18 frames
QImage webMinMax(int scale = 1); // BITMAP 102, 150 x 18, six 25 x 18 frames (toggle)
QImage webClose(int scale = 1); // BITMAP 103, 129 x 18, three 43 x 18 frames
QImage webTool(int scale = 1); // BITMAP 104, 72 x 18, three 24 x 18 frames
QImage logo(int scale = 1); // BITMAP 105, 29 x 29 with alpha
QImage tabSkin0(int scale = 1); // BITMAP 106, 415 x 25, trapezoid tabs
QImage tabSkin1(int scale = 1); // BITMAP 107, 421 x 28, capsule tabs
QImage captionSkin(int scale = 1); // BITMAP 108, 94 x 85 (both programs)
QImage answerStrip(int scale = 1); // BITMAP 109, 225 x 22, three 75 x 22 faces (exit dialog)

// Update
QImage progressSkin(int scale = 1); // BITMAP 101, 10 x 10
QImage updateClose(int scale = 1); // BITMAP 103, 123 x 17, three 41 x 17 frames

// The caption gradient row colours that the tab strip background column holds:
// skin 0's 25 rows are drawn 1:1, skin 1's 28 rows are stretched to the 32-pixel strip.
// The strip sits 3 pixels below the top of the caption bar.
inline constexpr int tabStripTop = 3;

} // namespace resgen
