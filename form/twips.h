#pragma once

// Twips to pixels. At 96 dots per inch 15 twips make one pixel, and every
// length of the layout is a whole number of such pixels: the compiler
// refuses one that is not. At another resolution a front-end scales
// (Qt does it for its pixels; Win32 calls pixelsAt() with the monitor's).

namespace tovik {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kTwipsPerPixel = 15;

consteval int fromTwips(int twips)
{
    if (twips % kTwipsPerPixel != 0)
        throw "not a whole number of pixels";
    return twips / kTwipsPerPixel;
}

// Pixels at `dotsPerInch`, rounded to the nearest.
constexpr int pixelsAt(int twips, int dotsPerInch)
{
    return (twips * dotsPerInch + kTwipsPerInch / 2) / kTwipsPerInch;
}

} // namespace tovik
