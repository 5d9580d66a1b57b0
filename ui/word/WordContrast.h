// Whether the word stays readable over a background colour, by the measure
// the Web Content Accessibility Guidelines (WCAG 2) give: the relative
// luminance of each colour and the ratio of the two. Pure arithmetic on
// COLORREFs, so that a test drives it without a screen.
#pragma once

#include <windows.h>

#include <initializer_list>

// WCAG's ratio for large text. The word window's font is the user's choice
// and usually large; below this the phonetic's thin strokes are lost.
constexpr double kReadableContrast = 3.0;

// The relative luminance of an sRGB colour: 0 for black, 1 for white.
double relativeLuminance(COLORREF colour);
// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black and
// white.
double contrastRatio(COLORREF a, COLORREF b);
// `top` drawn at `alpha` (255: opaque) over `beneath`, channel by channel,
// as Windows blends a layered window with what lies under it.
COLORREF blendOver(COLORREF top, BYTE alpha, COLORREF beneath);

// Whether `background` may become the background of a window drawn at
// `alpha` over a desktop of that same colour (it was sampled beside the
// window): every colour of `texts`, blended as Windows shows it, keeps at
// least kReadableContrast against it.
bool readableBackground(COLORREF background, std::initializer_list<COLORREF> texts, BYTE alpha);
