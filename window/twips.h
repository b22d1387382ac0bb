#pragma once

// The window's layout is drawn in twips, 1440 to the inch: 15 twips make one
// pixel at 96 dots per inch, and Qt scales those pixels for other screens.
// The helpers take the numbers as the layout gives them and refuse, at
// compile time, a length that is not a whole number of pixels.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace tovik {

inline constexpr int kTwipsPerPixel = 15;

consteval int fromTwips(int twips)
{
    if (twips % kTwipsPerPixel != 0)
        throw "not a whole number of pixels";
    return twips / kTwipsPerPixel;
}

consteval QPoint twipsPoint(int left, int top)
{
    return QPoint(fromTwips(left), fromTwips(top));
}

consteval QSize twipsSize(int width, int height)
{
    return QSize(fromTwips(width), fromTwips(height));
}

consteval QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsPoint(left, top), twipsSize(width, height));
}

} // namespace tovik
