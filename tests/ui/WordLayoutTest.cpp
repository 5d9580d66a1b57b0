#include <gtest/gtest.h>

#include <climits>

#include "ui/word/WordLayout.h"

namespace {

TEST(WordLayout, ShortLineIsSizedToItsThreeTexts)
{
    const WordLayout layout = computeLayout({100, 18}, {60, 18}, {80, 18}, 5);
    EXPECT_FALSE(layout.wrapped);
    EXPECT_EQ(layout.width, 250);
    EXPECT_EQ(layout.height, 20);
    EXPECT_EQ(layout.wordX, 1);
    EXPECT_EQ(layout.phoneticX, 105);
    EXPECT_EQ(layout.contentX, 165);
}

TEST(WordLayout, TwentyUnitsStayOnOneLineTwentyOneWrap)
{
    const SIZE word{700, 20}, phonetic{50, 20}, content{90, 20};
    const WordLayout at20 = computeLayout(word, phonetic, content, 20);
    EXPECT_FALSE(at20.wrapped);
    EXPECT_EQ(at20.width, 850);
    EXPECT_EQ(at20.height, 22);

    const WordLayout at21 = computeLayout(word, phonetic, content, 21);
    EXPECT_TRUE(at21.wrapped);
    EXPECT_EQ(at21.width, 600);
    // (700/600 + 1.5) * 20 + (90/600 + 1) * 20
    EXPECT_EQ(at21.height, 70);
}

TEST(WordLayout, WrappedBlockCountsWholeMultiplesOfTheWidth)
{
    const WordLayout layout = computeLayout({1300, 20}, {40, 20}, {700, 20}, 30);
    EXPECT_TRUE(layout.wrapped);
    EXPECT_EQ(layout.width, 600);
    EXPECT_EQ(layout.height, 110);
    EXPECT_EQ(wrappedBlockTop(layout.height, {700, 20}, layout.width), 70);
}

TEST(WordLayout, WrappedHeightIsTruncatedNotRounded)
{
    // 1.5 * 17 + 17 = 42.5
    EXPECT_EQ(computeLayout({500, 17}, {30, 17}, {300, 17}, 25).height, 42);
    // The phonetic's width never adds lines.
    EXPECT_EQ(computeLayout({500, 17}, {5000, 17}, {300, 17}, 25).height, 42);
}

TEST(WordLayout, BlockTopSurvivesAWindowThatWasNeverLaidOut)
{
    EXPECT_EQ(wrappedBlockTop(110, {700, 20}, 0), 70);
    EXPECT_EQ(wrappedBlockTop(110, {700, 20}, -5), 70);
    EXPECT_EQ(wrappedBlockTop(100, {700, 20}, 200), 100 - 4 * 20);
}

TEST(WordLayout, AbsurdExtentsDoNotOverflow)
{
    const WordLayout wide = computeLayout({INT_MAX, 20}, {INT_MAX, 20}, {INT_MAX, 20}, 3);
    EXPECT_EQ(wide.width, INT_MAX);
    const WordLayout tall = computeLayout({INT_MAX, INT_MAX}, {0, 0}, {INT_MAX, INT_MAX}, 40);
    EXPECT_EQ(tall.height, INT_MAX);
}

}  // namespace
