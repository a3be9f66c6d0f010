#pragma once
// Window and control geometry is kept in twips, as the form definitions give it; this is the one
// place where twips become pixels.

#include <QPoint>
#include <QRect>

namespace forms {

inline constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    return (2 * twips + kTwipsPerPixel) / (2 * kTwipsPerPixel); // rounded to the nearest pixel
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

inline QPoint twipsPoint(int x, int y) { return QPoint(twipsToPixels(x), twipsToPixels(y)); }

} // namespace forms
