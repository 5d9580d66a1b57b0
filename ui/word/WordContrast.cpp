#include "ui/word/WordContrast.h"

#include <cmath>

namespace {

// One sRGB channel (0..255) made linear, as WCAG 2 defines it.
double linear(BYTE channel)
{
    const double value = channel / 255.0;
    return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

BYTE blendChannel(BYTE top, BYTE alpha, BYTE beneath)
{
    return static_cast<BYTE>((top * alpha + beneath * (255 - alpha) + 127) / 255);
}

}  // namespace

double relativeLuminance(COLORREF colour)
{
    return 0.2126 * linear(GetRValue(colour)) + 0.7152 * linear(GetGValue(colour)) + 0.0722 * linear(GetBValue(colour));
}

double contrastRatio(COLORREF a, COLORREF b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return la > lb ? (la + 0.05) / (lb + 0.05) : (lb + 0.05) / (la + 0.05);
}

COLORREF blendOver(COLORREF top, BYTE alpha, COLORREF beneath)
{
    return RGB(blendChannel(GetRValue(top), alpha, GetRValue(beneath)),
               blendChannel(GetGValue(top), alpha, GetGValue(beneath)),
               blendChannel(GetBValue(top), alpha, GetBValue(beneath)));
}

bool readableBackground(COLORREF background, std::initializer_list<COLORREF> texts, BYTE alpha)
{
    // The background itself shows over the same colour, so it looks as it is.
    for (const COLORREF text : texts)
        if (contrastRatio(blendOver(text, alpha, background), background) < kReadableContrast) return false;
    return true;
}
