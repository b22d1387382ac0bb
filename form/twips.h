#pragma once

// Twips to pixels: 1440 twips make an inch, so at 96 dots per inch 15 twips
// make one pixel, and every length of the layout is a whole number of those.
// Qt takes pixels at 96 dots per inch and scales them for the screen; Win32
// asks for the monitor's own resolution.

namespace tovik {

inline constexpr int kTwipsPerInch = 1440;

// Pixels at `dotsPerInch`, rounded to the nearest.
constexpr int pixelsAt(int twips, int dotsPerInch = 96)
{
    return (twips * dotsPerInch + kTwipsPerInch / 2) / kTwipsPerInch;
}

} // namespace tovik
