// The word window's geometry as arithmetic on measured extents: one table
// for the size of the layout, one for fitting a long layout to the lines
// DrawTextW really wraps.
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>

#include "ui/word/WordLayout.h"

namespace {

struct LayoutCase {
    const char* what;
    SIZE word, phonetic, content;
    std::size_t wordLength;
    int oneLineLimit;
    bool wrapped, overWide;
    int width, height;
    int phoneticX, contentX;  // the one-line layout's; 0 for a long one
};

constexpr LayoutCase kLayouts[] = {
    {"a short line is sized to its three texts", {100, 18}, {60, 18}, {80, 18}, 5, INT_MAX, false, false, 250, 20,
     105, 165},
    {"twenty units stay on one line", {700, 20}, {50, 20}, {90, 20}, 20, INT_MAX, false, false, 850, 22, 705, 755},
    // (700/600 + 1.5) * 20 + (90/600 + 1) * 20
    {"twenty-one units wrap", {700, 20}, {50, 20}, {90, 20}, 21, INT_MAX, true, false, 600, 70, 0, 0},
    {"the long layout counts whole multiples of its width", {1300, 20}, {40, 20}, {700, 20}, 30, INT_MAX, true,
     false, 600, 110, 0, 0},
    // 1.5 * 17 + 17 = 42.5
    {"the long layout's height is truncated, not rounded", {500, 17}, {30, 17}, {300, 17}, 25, INT_MAX, true, false,
     600, 42, 0, 0},
    {"the phonetic's width adds no lines", {500, 17}, {5000, 17}, {300, 17}, 25, INT_MAX, true, false, 600, 42, 0, 0},
    {"without a screen's limit a wide line stays one line", {60, 18}, {40, 18}, {3000, 18}, 5, INT_MAX, false, false,
     3110, 20, 65, 105},
    // (60/600 + 1.5) * 18 + (3000/600 + 1) * 18
    {"a line wider than the screen wraps", {60, 18}, {40, 18}, {3000, 18}, 5, 1280, true, true, 600, 27 + 108, 0, 0},
    {"a line exactly as wide as the screen stays", {60, 18}, {40, 18}, {1170, 18}, 5, 1280, false, false, 1280, 20, 65,
     105},
    {"a long word is no over-wide one", {60, 18}, {40, 18}, {3000, 18}, 21, 1280, true, false, 600, 135, 0, 0},
    // Measuring an empty text gives no height.
    {"an empty word still gets a line for the other texts", {0, 0}, {30, 18}, {80, 18}, 0, INT_MAX, false, false, 120,
     20, 5, 35},
    {"absurd widths do not overflow", {INT_MAX, 20}, {INT_MAX, 20}, {INT_MAX, 20}, 3, INT_MAX, false, false, INT_MAX,
     22, INT_MAX, INT_MAX},
    {"absurd heights do not overflow", {INT_MAX, INT_MAX}, {0, 0}, {INT_MAX, INT_MAX}, 40, INT_MAX, true, false, 600,
     INT_MAX, 0, 0},
};

TEST(WordLayout, SizesAndPositions)
{
    for (const LayoutCase& c : kLayouts) {
        SCOPED_TRACE(c.what);
        const WordLayout layout = computeLayout(c.word, c.phonetic, c.content, c.wordLength, c.oneLineLimit);
        EXPECT_EQ(layout.wrapped, c.wrapped);
        EXPECT_EQ(layout.overWide, c.overWide);
        EXPECT_EQ(layout.width, c.width);
        EXPECT_EQ(layout.height, c.height);
        if (!c.wrapped) {
            EXPECT_EQ(layout.wordX, 1);
            EXPECT_EQ(layout.phoneticX, c.phoneticX);
            EXPECT_EQ(layout.contentX, c.contentX);
        }
    }
}

TEST(WordLayout, TheLongLayoutsBlockCountsUpFromTheBottom)
{
    struct {
        int bottom;
        SIZE content;
        int windowWidth;
        int top;
    } const cases[] = {
        {110, {700, 20}, 600, 70},
        // A window that was never laid out counts as the wrap width.
        {110, {700, 20}, 0, 70},
        {110, {700, 20}, -5, 70},
        {100, {700, 20}, 200, 100 - 4 * 20},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wrappedBlockTop(c.bottom, c.content, c.windowWidth), c.top) << c.bottom << " " << c.windowWidth;
}

TEST(WordLayout, FittingToTheLinesReallyWrapped)
{
    struct {
        const char* what;
        SIZE word, phonetic, content;
        std::size_t wordLength;
        int counted;  // the height before fitting
        int wordTextHeight, blockTextHeight;
        int height, blockHeight;
    } const cases[] = {
        {"text that fits keeps the counted size", {1300, 20}, {40, 20}, {700, 20}, 30, 110, 60, 40, 110, 40},
        {"the sum is truncated once, as counted", {500, 17}, {10, 17}, {300, 17}, 25, 42, 17, 17, 42, 17},
        {"a one-line layout is left alone", {100, 18}, {60, 18}, {80, 18}, 5, 20, 500, 500, 20, 0},
        // Content of 700 pixels counts two lines; with the phonetic in
        // front and breaks at spaces it takes three.
        {"the block grows for the lines it really takes", {520, 20}, {200, 20}, {700, 20}, 21, 70, 20, 60, 90, 60},
        // A word broken into more lines than its width counts keeps half a
        // line of spacing below it.
        {"the word's region grows with its lines", {590, 20}, {0, 20}, {100, 20}, 40, 50, 40, 20, 70, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WordLayout layout = computeLayout(c.word, c.phonetic, c.content, c.wordLength);
        ASSERT_EQ(layout.height, c.counted);
        fitWrappedLayout(layout, c.word, c.content, c.wordTextHeight, c.blockTextHeight);
        EXPECT_EQ(layout.height, c.height);
        EXPECT_EQ(layout.blockHeight, c.blockHeight);
    }
}

}  // namespace
