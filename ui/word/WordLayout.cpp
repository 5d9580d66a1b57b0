#include "ui/word/WordLayout.h"

#include <climits>

#include "store/text/Text.h"

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

WordLayout computeLayout(SIZE word, SIZE phonetic, SIZE content, std::size_t wordLength, int oneLineLimit, UINT dpi)
{
    WordLayout layout;
    // One line: the word, 4 pixels of gap, the phonetic, the content
    // directly after it, and 5 pixels to spare on the right (at 96 DPI).
    const double width = scaleToDpi(10, dpi) + static_cast<double>(word.cx) + phonetic.cx + content.cx;
    // A line wider than the screen would run off it (a meaning of 255
    // characters is thousands of pixels long): such an entry wraps.
    // (Compared once clamped: the default limit INT_MAX means none.)
    const bool overWide = clampToInt(width) > oneLineLimit;
    if (wordLength <= kShortWordUnits && !overWide) {
        layout.width = clampToInt(width);
        // The line is as tall as the word; an empty word (a loading line
        // without a dictionary name) measures no height at all, and the
        // other two texts still need their line.
        LONG line = word.cy;
        if (word.cx == 0) line = phonetic.cy > content.cy ? phonetic.cy : content.cy;
        layout.height = clampToInt(scaleToDpi(2, dpi) + static_cast<double>(line));
        layout.wordX = scaleToDpi(1, dpi);
        layout.textY = scaleToDpi(1, dpi);
        layout.phoneticX = clampToInt(scaleToDpi(5, dpi) + static_cast<double>(word.cx));
        layout.contentX = clampToInt(scaleToDpi(5, dpi) + static_cast<double>(word.cx) + phonetic.cx);
        return layout;
    }
    // The word gets one line more than its whole multiples of the wrap width
    // plus half a line of spacing; the content one line more than its whole
    // multiples. The phonetic shares the content's lines and is not counted.
    layout.wrapped = true;
    layout.overWide = wordLength <= kShortWordUnits;
    const int wrapWidth = scaleToDpi(kWrapWidth, dpi);
    layout.width = wrapWidth;
    const double wordLines = static_cast<double>(word.cx / wrapWidth) + 1.5;
    const double contentLines = static_cast<double>(content.cx / wrapWidth) + 1.0;
    layout.height = clampToInt(wordLines * word.cy + contentLines * content.cy);
    return layout;
}

void fitWrappedLayout(WordLayout& layout, SIZE word, SIZE content, int wordTextHeight, int blockTextHeight)
{
    if (!layout.wrapped) return;
    const int width = layout.width > 0 ? layout.width : kWrapWidth;
    // The counted lines, as computeLayout counts them: the word's region
    // with its half line of spacing, and the block's lines.
    const double countedWord = (static_cast<double>(word.cx / width) + 1.5) * word.cy;
    const double countedBlock = (static_cast<double>(content.cx / width) + 1.0) * content.cy;
    // The phonetic shares the block's lines but was never counted, and
    // DrawTextW breaks at spaces, not at multiples of the width: where the
    // text really needs more, it gets it.
    const double wordRegion = wordTextHeight > 0 && wordTextHeight + word.cy / 2.0 > countedWord
                                  ? wordTextHeight + word.cy / 2.0
                                  : countedWord;
    const double block = blockTextHeight > countedBlock ? blockTextHeight : countedBlock;
    layout.blockHeight = clampToInt(block);
    // Nothing measured beyond the counted lines: exactly the counted height
    // (the sum truncated once, as computeLayout does).
    layout.height = clampToInt(wordRegion + block);
}

int wrappedBlockTop(int bottom, SIZE content, int windowWidth)
{
    const int width = windowWidth > 0 ? windowWidth : kWrapWidth;
    const double lines = static_cast<double>(content.cx / width) + 1.0;
    return clampToInt(bottom - lines * content.cy);
}

std::size_t appendBounded(wchar_t* buffer, std::size_t units, std::size_t length, std::u16string_view text)
{
    if (units == 0) return 0;
    std::size_t room = length < units ? units - 1 - length : 0;
    std::size_t take = cutLength(text, room);
    for (std::size_t i = 0; i < take; ++i) buffer[length + i] = static_cast<wchar_t>(text[i]);
    length += take;
    buffer[length < units ? length : units - 1] = L'\0';
    return length;
}

std::size_t composeWrappedBlock(const WordEntry& entry, wchar_t (&buffer)[kComposeUnits])
{
    buffer[0] = L'\0';
    std::size_t n = appendBounded(buffer, kComposeUnits, 0,
                                  std::u16string_view(entry.phonetic, boundedLength(entry.phonetic, kPhoneticUnits)));
    return appendBounded(buffer, kComposeUnits, n,
                         std::u16string_view(entry.content, boundedLength(entry.content, kContentUnits)));
}
