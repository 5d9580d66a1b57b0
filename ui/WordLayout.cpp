#include "ui/WordLayout.h"

#include <climits>

namespace {

// Extents are never negative in practice; the casts below must still not
// overflow if a huge font produced absurd ones.
int clampToInt(double value)
{
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);  // truncates toward zero
}

}  // namespace

WordLayout computeLayout(SIZE word, SIZE phonetic, SIZE content, std::size_t wordLength)
{
    WordLayout layout;
    if (wordLength <= kShortWordUnits) {
        // One line: the word, 4 pixels of gap, the phonetic, the content
        // directly after it, and 5 pixels to spare on the right.
        const double width = 10.0 + word.cx + phonetic.cx + content.cx;
        layout.width = clampToInt(width);
        layout.height = clampToInt(2.0 + word.cy);
        layout.wordX = 1;
        layout.phoneticX = clampToInt(5.0 + word.cx);
        layout.contentX = clampToInt(5.0 + word.cx + phonetic.cx);
        return layout;
    }
    // The word gets one line more than its whole multiples of the wrap width
    // plus half a line of spacing; the content one line more than its whole
    // multiples. The phonetic shares the content's lines and is not counted.
    layout.wrapped = true;
    layout.width = kWrapWidth;
    const double wordLines = static_cast<double>(word.cx / kWrapWidth) + 1.5;
    const double contentLines = static_cast<double>(content.cx / kWrapWidth) + 1.0;
    layout.height = clampToInt(wordLines * word.cy + contentLines * content.cy);
    return layout;
}

int wrappedBlockTop(int bottom, SIZE content, int windowWidth)
{
    const int width = windowWidth > 0 ? windowWidth : kWrapWidth;
    const double lines = static_cast<double>(content.cx / width) + 1.0;
    return clampToInt(bottom - lines * content.cy);
}
