// The readability rule for a sampled background. Every expected ratio is
// WCAG's own published figure or worked out by hand from its formulas (the
// working is beside the row), never by the functions under test.
#include <gtest/gtest.h>

#include "ui/word/WordContrast.h"

namespace {

struct RatioCase {
    const char* what;
    COLORREF a, b;
    double ratio;
};

constexpr RatioCase kRatios[] = {
    {"black on white, WCAG's largest ratio", RGB(0, 0, 0), RGB(255, 255, 255), 21.0},
    {"the same colour", RGB(30, 60, 200), RGB(30, 60, 200), 1.0},
    {"#767676 on white, the lightest grey WCAG AA allows", RGB(0x76, 0x76, 0x76), RGB(255, 255, 255), 4.54},
    {"#777777 on white, just below it", RGB(0x77, 0x77, 0x77), RGB(255, 255, 255), 4.48},
    {"pure blue on white", RGB(0, 0, 255), RGB(255, 255, 255), 8.59},
    {"pure red on white, the order does not matter", RGB(255, 255, 255), RGB(255, 0, 0), 4.00},
    // L(148) = ((148/255 + 0.055) / 1.055)^2.4 = 0.29614; 1.05 / 0.34614
    {"white on #949494", RGB(255, 255, 255), RGB(148, 148, 148), 3.033},
};

TEST(WordContrast, RatiosAsWcagGivesThem)
{
    for (const RatioCase& c : kRatios) {
        SCOPED_TRACE(c.what);
        EXPECT_NEAR(contrastRatio(c.a, c.b), c.ratio, 0.006);
    }
}

TEST(WordContrast, BlendIsWhatALayeredWindowShows)
{
    EXPECT_EQ(blendOver(RGB(10, 20, 30), 255, RGB(200, 100, 0)), RGB(10, 20, 30));
    EXPECT_EQ(blendOver(RGB(10, 20, 30), 0, RGB(200, 100, 0)), RGB(200, 100, 0));
    // (255 * 250 + 148 * 5) / 255 = 252.9; (0 * 250 + 200 * 5) / 255 = 3.92
    EXPECT_EQ(blendOver(RGB(255, 0, 0), 250, RGB(148, 200, 0)), RGB(253, 4, 0));
}

// The default text colours: a blue word, a near-black phonetic, a dark green
// meaning.
constexpr COLORREF kWord = RGB(0, 0, 255);
constexpr COLORREF kPhonetic = RGB(15, 0, 15);
constexpr COLORREF kContent = RGB(0, 102, 51);

struct BackgroundCase {
    const char* what;
    COLORREF background;
    BYTE alpha;
    bool readable;
};

// Worst text colour against each background, worked out by hand (opaque;
// alpha 250 takes at most 0.1 off these):
constexpr BackgroundCase kDefaults[] = {
    // meaning 7.12
    {"the default white", RGB(255, 255, 255), 250, true},
    // meaning 6.25
    {"a light grey desktop", RGB(240, 240, 240), 250, true},
    // meaning 3.44
    {"a mid grey desktop", RGB(180, 180, 180), 250, true},
    // meaning 1.58, word 1.91
    {"Windows 10's blue", RGB(0, 120, 215), 250, false},
    // word 1.04
    {"a dark blue", RGB(30, 60, 200), 250, false},
    // phonetic 1.03
    {"Windows 11's dark theme, black", RGB(0, 0, 0), 250, false},
    // phonetic 1.30
    {"a night photo's navy", RGB(12, 35, 64), 250, false},
    {"one of the text colours itself", kContent, 250, false},
};

TEST(WordContrast, TheDefaultTextColoursDecide)
{
    for (const BackgroundCase& c : kDefaults) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(readableBackground(c.background, {kWord, kPhonetic, kContent}, c.alpha), c.readable);
    }
}

TEST(WordContrast, TheWindowsTranslucencyCounts)
{
    // White text on #949494: 3.03 when opaque; at alpha 250 the text shows
    // as #FDFDFD, L = ((253/255 + 0.055) / 1.055)^2.4 = 0.98226, and
    // 1.03226 / 0.34614 = 2.98.
    EXPECT_TRUE(readableBackground(RGB(148, 148, 148), {RGB(255, 255, 255)}, 255));
    EXPECT_FALSE(readableBackground(RGB(148, 148, 148), {RGB(255, 255, 255)}, 250));
    // Light text colours chosen for a dark desktop take its colour.
    EXPECT_TRUE(readableBackground(RGB(0, 0, 0), {RGB(255, 255, 0), RGB(255, 255, 255), RGB(200, 255, 200)}, 250));
    EXPECT_FALSE(readableBackground(RGB(255, 255, 255), {RGB(255, 255, 0)}, 250));
}

}  // namespace
