// The geometry of the word window: how big it must be for the three texts of
// an entry, and where painting puts them. Pure arithmetic on measured extents,
// so it can be checked without a screen.
#pragma once

#include <windows.h>

#include <climits>
#include <cstddef>
#include <string_view>

#include "store/lists/WordEntry.h"
#include "win/Dpi.h"

// Words up to this many UTF-16 units sit on one line with their phonetic and
// content; longer ones are wrapped into a block kWrapWidth pixels wide (at
// 96 DPI; scaled with the monitor's DPI like every spacing of the layout).
constexpr std::size_t kShortWordUnits = 20;
constexpr int kWrapWidth = 600;

struct WordLayout {
    bool wrapped = false;  // the long layout
    // A short word whose one line would be wider than the screen allows,
    // wrapped like a long one.
    bool overWide = false;
    // Long layout only: the height of the phonetic-and-content block at the
    // bottom of the window, once fitted to the text as it really wraps
    // (fitWrappedLayout); 0 until then, when it is counted from the content's
    // extent (wrappedBlockTop).
    int blockHeight = 0;
    int width = 0;
    int height = 0;
    // Left edges of the three texts on the single line of the short layout
    // (all three share the top edge textY: 1 pixel at 96 DPI).
    int wordX = 1;
    int textY = 1;
    int phoneticX = 0;
    int contentX = 0;
};

// The window size and text positions for texts of the given extents, the
// word being `wordLength` UTF-16 units long. A one-line layout wider than
// `oneLineLimit` (the width of the monitor's work area) becomes a long one.
// The extents are measured in the font made for `dpi`; the spacings and the
// wrap width are scaled to it, so the whole window grows with the text.
WordLayout computeLayout(SIZE word, SIZE phonetic, SIZE content, std::size_t wordLength, int oneLineLimit = INT_MAX,
                         UINT dpi = kBaseDpi);

// Makes a long layout tall enough for its texts as they really wrap: the
// word takes `wordTextHeight` pixels from the top (plus half a line of
// spacing), the phonetic and content `blockTextHeight` at the bottom, both
// measured at the layout's width. Where the counted lines already suffice
// the layout keeps exactly its size; it only ever grows. Sets blockHeight.
void fitWrappedLayout(WordLayout& layout, SIZE word, SIZE content, int wordTextHeight, int blockTextHeight);

// Top of the phonetic-and-content block of the long layout: it is given as
// many lines as the content needs at `windowWidth`, counted up from `bottom`.
// A window that was never laid out (width 0 or less) counts as kWrapWidth.
int wrappedBlockTop(int bottom, SIZE content, int windowWidth);

// Scratch text for the wrapped layout's second block and for title-bar mode.
constexpr std::size_t kComposeUnits = 1024;

// Appends `text` to the zero-terminated `buffer` of `units`, cutting what
// does not fit; returns the new length.
std::size_t appendBounded(wchar_t* buffer, std::size_t units, std::size_t length, std::u16string_view text);

// The second block of the long layout, phonetic then content, into `buffer`
// (kComposeUnits); returns its length.
std::size_t composeWrappedBlock(const WordEntry& entry, wchar_t (&buffer)[kComposeUnits]);
