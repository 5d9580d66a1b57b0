// The geometry of the word window: how big it must be for the three texts of
// an entry, and where painting puts them. Pure arithmetic on measured extents,
// so it can be checked without a screen.
#pragma once

#include <windows.h>

#include <cstddef>

// Words up to this many UTF-16 units sit on one line with their phonetic and
// content; longer ones are wrapped into a block kWrapWidth pixels wide.
constexpr std::size_t kShortWordUnits = 20;
constexpr int kWrapWidth = 600;

struct WordLayout {
    bool wrapped = false;  // the long layout
    int width = 0;
    int height = 0;
    // Left edges of the three texts on the single line of the short layout
    // (all three share the top edge y = 1).
    int wordX = 1;
    int phoneticX = 0;
    int contentX = 0;
};

// The window size and text positions for texts of the given extents, the
// word being `wordLength` UTF-16 units long.
WordLayout computeLayout(SIZE word, SIZE phonetic, SIZE content, std::size_t wordLength);

// Top of the phonetic-and-content block of the long layout: it is given as
// many lines as the content needs at `windowWidth`, counted up from `bottom`.
// A window that was never laid out (width 0 or less) counts as kWrapWidth.
int wrappedBlockTop(int bottom, SIZE content, int windowWidth);
