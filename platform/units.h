#pragma once

#include <cmath>

namespace kest {

// Geometry stays in the units the layouts are written in and is converted in
// one place each way: twips (15 per pixel) and HIMETRIC (26.45836 per pixel).
inline constexpr int kTwipsPerPixel = 15;
inline constexpr double kHimetricPerPixel = 26.45836;

// Round half to even, the rounding every conversion of the skins uses.
inline int roundHalfEven(double value)
{
    return static_cast<int>(std::nearbyint(value)); // default FE_TONEAREST mode
}

// Twips to pixels in the two ways the layouts were written with. A whole
// number of twips is never halfway between two pixels (15 is odd), so the
// nearest pixel needs no tie rule; the other drops the fraction (towards zero,
// as an integer division does).
inline int twipsToPixelsRounded(int twips)
{
    return roundHalfEven(static_cast<double>(twips) / kTwipsPerPixel);
}
inline constexpr int twipsToPixelsTruncated(int twips)
{
    return twips / kTwipsPerPixel;
}
inline constexpr int pixelsToTwips(int pixels)
{
    return pixels * kTwipsPerPixel;
}
inline int himetricToPixels(double himetric)
{
    return roundHalfEven(himetric / kHimetricPerPixel);
}
inline int pixelsToHimetric(int pixels)
{
    return roundHalfEven(pixels * kHimetricPerPixel);
}

} // namespace kest
