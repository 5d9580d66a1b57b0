// The scaling arithmetic in one table each: sizes between DPIs, font heights
// kept in 96-DPI units and the font dialog's answers converted back, the
// layout at another DPI, and the monitor a suggested rectangle belongs to.
// Then the real word window told of a new DPI, as Windows tells it when the
// window is dragged onto a monitor of another scale.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstring>
#include <vector>

#include "WordWindowFixture.h"
#include "ui/word/WordLayout.h"
#include "ui/word/WordPlacement.h"
#include "win/Dpi.h"

namespace {

using namespace uitest;

TEST(DpiScaling, ValuesBetweenDpisRoundHalfAwayFromZero)
{
    struct Case {
        int value;
        UINT from;
        UINT to;
        int expected;
    };
    const Case cases[] = {
        {10, 96, 96, 10},       {10, 96, 120, 13},   // 12.5 away from zero
        {10, 96, 144, 15},      {10, 96, 192, 20},   {600, 96, 120, 750},
        {1, 96, 144, 2},        {-1, 96, 144, -2},   // 1.5 both ways
        {-11, 96, 120, -14},    {-13, 96, 120, -16}, // 13.75, 16.25
        {-24, 144, 96, -16},    {-15, 120, 96, -12}, // back down
        {7, 0, 0, 7},           {7, 0, 192, 14},     // an unknown DPI is 96
        {INT_MAX, 96, 192, INT_MAX}, {INT_MIN, 96, 192, INT_MIN},  // clamped, no overflow
        {0, 96, 288, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scaleBetweenDpi(c.value, c.from, c.to), c.expected)
            << c.value << " from " << c.from << " to " << c.to;
}

TEST(DpiScaling, FontHeightsGoToTheDpiAndComeBackUnchanged)
{
    struct Case {
        LONG stored96;
        UINT dpi;
        LONG atDpi;
    };
    const Case cases[] = {
        {-16, 96, -16},  {-16, 120, -20}, {-16, 144, -24}, {-16, 192, -32},
        {-13, 120, -16}, {-12, 120, -15}, {-13, 144, -20},  // 19.5 away from zero
        {-9, 72, -7},    {20, 144, 30},   // a positive (cell) height scales alike
        {0, 144, 0},                      // the default size stays the default
        {-1, 48, -1},    {1, 40, 1},      // never rounded to the default size
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fontHeightForDpi(c.stored96, c.dpi), c.atDpi) << c.stored96 << " at " << c.dpi;
        // The dialog offered atDpi; taking it again stores the same bytes.
        EXPECT_EQ(fontHeightFromDpi(c.atDpi, c.dpi, c.stored96), c.stored96) << c.stored96 << " at " << c.dpi;
    }
    // Every height a user can pick, at every common scale: converted back
    // by rounding alone (the dialog opened with another font, stored 0), a
    // size at 96 DPI or above comes back to the height it was made from.
    for (UINT dpi : {96u, 120u, 144u, 168u, 192u, 240u, 288u})
        for (LONG h = -200; h <= 200; ++h) {
            if (h == 0) continue;
            ASSERT_EQ(fontHeightFromDpi(fontHeightForDpi(h, dpi), dpi, 0), h) << h << " at " << dpi;
        }
    // Below 96 DPI two stored heights may share one size on the screen
    // (-4 and -5 are both -3 at 60 DPI): the one the dialog was opened with
    // is kept.
    ASSERT_EQ(fontHeightForDpi(-4, 60), fontHeightForDpi(-5, 60));
    EXPECT_EQ(fontHeightFromDpi(fontHeightForDpi(-4, 60), 60, -4), -4);
    EXPECT_EQ(fontHeightFromDpi(fontHeightForDpi(-5, 60), 60, -5), -5);
}

TEST(DpiScaling, AnotherSizeChosenIsStoredIn96DpiUnits)
{
    struct Case {
        LONG chosen;
        UINT dpi;
        LONG stored96;  // what the dialog was opened with
        LONG expected;
    };
    const Case cases[] = {
        {-36, 144, -16, -24}, {-15, 120, -13, -12}, {-32, 192, -12, -16},
        {-19, 144, -16, -13},  // 12.67
        {-1, 192, -16, -1},    // a tiny size stays a size
        {0, 144, -16, 0},      // and the default the default
        {-22, 96, -16, -22},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fontHeightFromDpi(c.chosen, c.dpi, c.stored96), c.expected)
            << c.chosen << " at " << c.dpi << " opened with " << c.stored96;
}

TEST(DpiScaling, TheLayoutGrowsWithTheDpi)
{
    struct Case {
        SIZE word;
        SIZE phonetic;
        SIZE content;
        std::size_t length;
    };
    const Case cases[] = {
        {{50, 16}, {60, 16}, {90, 16}, 5},      // one line
        {{700, 16}, {80, 16}, {900, 16}, 40},   // the long layout
        {{0, 0}, {30, 14}, {40, 16}, 0},        // an empty word
    };
    for (const Case& c : cases) {
        const WordLayout at96 = computeLayout(c.word, c.phonetic, c.content, c.length);
        EXPECT_EQ(computeLayout(c.word, c.phonetic, c.content, c.length, INT_MAX, 96).width, at96.width);
        // Extents measured in a font twice as large give exactly twice the
        // window, text positions included.
        auto twice = [](SIZE s) { return SIZE{s.cx * 2, s.cy * 2}; };
        const WordLayout at192 =
            computeLayout(twice(c.word), twice(c.phonetic), twice(c.content), c.length, INT_MAX, 192);
        EXPECT_EQ(at192.wrapped, at96.wrapped);
        EXPECT_EQ(at192.width, 2 * at96.width);
        EXPECT_EQ(at192.height, 2 * at96.height);
        if (!at96.wrapped) {
            EXPECT_EQ(at192.wordX, 2 * at96.wordX);
            EXPECT_EQ(at192.textY, 2 * at96.textY);
            EXPECT_EQ(at192.phoneticX, 2 * at96.phoneticX);
            EXPECT_EQ(at192.contentX, 2 * at96.contentX);
        }
    }
    // The wrap width itself, at 150 %.
    EXPECT_EQ(computeLayout({900, 24}, {90, 24}, {1400, 24}, 30, INT_MAX, 144).width, 900);
}

TEST(DpiScaling, ASuggestedRectangleBelongsToTheMonitorHoldingMostOfIt)
{
    const std::vector<MonitorArea> monitors = {
        {{0, 0, 1280, 800}, {0, 0, 1280, 760}},                // 100 %, task bar below
        {{1280, -200, 3200, 880}, {1280, -160, 3200, 880}},   // 150 %, task bar on top
    };
    struct Case {
        RECT rect;
        RECT expected;
    };
    const Case cases[] = {
        {{100, 100, 400, 130}, monitors[0].work},        // wholly on the first
        {{1200, 100, 1500, 130}, monitors[1].work},      // mostly on the second
        {{1100, 100, 1400, 130}, monitors[0].work},      // mostly on the first
        {{3100, -300, 3500, -250}, monitors[1].work},    // on none: nearest its corner
        {{-900, 900, -600, 950}, monitors[0].work},
        {{INT_MAX - 10, 0, INT_MAX, 20}, monitors[1].work},  // absurd, no overflow
    };
    for (const Case& c : cases) {
        const RECT work = workAreaForRect(c.rect, monitors);
        EXPECT_TRUE(EqualRect(&work, &c.expected)) << c.rect.left << "," << c.rect.top;
        // Placed at the rectangle's corner, the window ends wholly inside.
        const POINT at = placeInWorkArea({c.rect.left, c.rect.top},
                                         {c.rect.right - c.rect.left, c.rect.bottom - c.rect.top}, work);
        EXPECT_GE(at.x, work.left);
        EXPECT_GE(at.y, work.top);
        EXPECT_LE(at.x + (c.rect.right - c.rect.left), work.right);
        EXPECT_LE(at.y + (c.rect.bottom - c.rect.top), work.bottom);
    }
    const RECT none = workAreaForRect({0, 0, 10, 10}, {});
    EXPECT_TRUE(IsRectEmpty(&none));
}

// --- the real window -------------------------------------------------------

class DpiWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registerWordWindowClass(); }

    void SetUp() override
    {
        root_ = makeScratchFolder("mivora-dpi");
        resetSettings(GetSystemMetrics(SM_CXMAXIMIZED));
        emptyWordStore();
        Settings.windowX = 100;
        Settings.windowY = 100;
        writeDictionary(root_ / "dic" / "words.txt", {u"first||1", u"apple|ˈæpl|n. 苹果"});
        Settings.cycleSize = 15;
        wordStore.setCycleSize(15);
        startWordWindow();
    }

    void TearDown() override
    {
        closeWordWindow();
        pump(0);
        removeScratchFolder(root_);
    }

    static LONG fontHeight()
    {
        LOGFONTW font{};
        GetObjectW(theWordWindow.wordFont(), sizeof font, &font);
        return font.lfHeight;
    }

    static RECT frame()
    {
        RECT r{};
        GetWindowRect(wordWindow, &r);
        return r;
    }

    // WM_DPICHANGED as Windows sends it: the new DPI twice and the
    // rectangle it suggests, at the window's corner.
    static void changeDpi(UINT dpi, const RECT& suggested)
    {
        SendMessageW(wordWindow, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    }

    fs::path root_;
};

TEST_F(DpiWindowTest, ANewDpiMakesTheFontAndTheWindowGrowAndStoresNothing)
{
    const SettingsRecord before = Settings;
    const UINT start = theWordWindow.wordDpi();
    const RECT at96 = frame();
    const LONG height96 = fontHeight();
    ASSERT_EQ(height96, fontHeightForDpi(Settings.font.lfHeight, start));
    const RECT work = currentWorkAreaFor({at96.left, at96.top});

    struct Step {
        UINT dpi;
    };
    for (const Step step : {Step{144}, Step{192}, Step{start}}) {
        const RECT r = frame();
        changeDpi(step.dpi, {r.left, r.top, r.left + (r.right - r.left) * 2, r.top + (r.bottom - r.top) * 2});
        EXPECT_EQ(theWordWindow.wordDpi(), step.dpi);
        EXPECT_EQ(fontHeight(), fontHeightForDpi(Settings.font.lfHeight, step.dpi));
        const RECT now = frame();
        // The window's size follows the text, within rounding of the
        // measured extents.
        const double scale = static_cast<double>(step.dpi) / start;
        // (Each glyph's advance rounds on its own: a pixel a character.)
        const double width = (at96.right - at96.left) * scale;
        EXPECT_NEAR(now.right - now.left, width, 3.0 + width * 0.05) << step.dpi;
        EXPECT_NEAR(now.bottom - now.top, (at96.bottom - at96.top) * scale, 2.0 * scale) << step.dpi;
        // Wholly on the monitor, at the suggested corner where it fits.
        EXPECT_GE(now.left, work.left);
        EXPECT_GE(now.top, work.top);
        EXPECT_LE(now.right, work.right);
        EXPECT_LE(now.bottom, work.bottom);
        EXPECT_EQ(Settings.windowWidth, now.right - now.left);
    }
    // Back at the start: exactly the window of before, and the record's
    // font and corner untouched throughout.
    const RECT back = frame();
    EXPECT_TRUE(EqualRect(&back, &at96));
    EXPECT_EQ(fontHeight(), height96);
    EXPECT_EQ(0, std::memcmp(&Settings.font, &before.font, sizeof before.font));
    EXPECT_EQ(Settings.windowX, before.windowX);
    EXPECT_EQ(Settings.windowY, before.windowY);
}

// A drag that crosses onto a monitor of another scale: Windows sends
// WM_DPICHANGED while the button is held, with a rectangle at the old
// corner; the word grows, and the point of it that was grabbed stays under
// the pointer.
TEST_F(DpiWindowTest, ADragOntoAnotherScaleKeepsTheGrabbedPointUnderThePointer)
{
    ASSERT_EQ(theWordWindow.wordDpi(), 96u) << "the expectations below are for a start at 96 DPI";
    const auto pointAt = [](POINT to) {
        SetCursorPos(to.x, to.y);
        return pumpUntil([&] {
            POINT now{};
            GetCursorPos(&now);
            return now.x == to.x && now.y == to.y;
        }, 30000);
    };
    const RECT start = frame();
    ASSERT_TRUE(pointAt({start.left + 40, start.top + 10}));
    SendMessageW(wordWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 10));
    const POINT there{start.left + 300, start.top + 200};
    ASSERT_TRUE(pointAt(there));
    SendMessageW(wordWindow, WM_MOUSEMOVE, MK_LBUTTON, 0);
    RECT moved = frame();
    ASSERT_EQ(moved.left, there.x - 40);
    ASSERT_EQ(moved.top, there.y - 10);

    changeDpi(144, {moved.left, moved.top, moved.left + 2 * (moved.right - moved.left),
                    moved.top + 2 * (moved.bottom - moved.top)});
    // 40 and 10 pixels into the word at 96 DPI are 60 and 15 at 144.
    EXPECT_EQ(frame().left, there.x - 60);
    EXPECT_EQ(frame().top, there.y - 15);
    EXPECT_GT(frame().right - frame().left, moved.right - moved.left);

    // The drag goes on at the new scale, and its end keeps that corner.
    const POINT further{there.x + 30, there.y + 20};
    ASSERT_TRUE(pointAt(further));
    SendMessageW(wordWindow, WM_MOUSEMOVE, MK_LBUTTON, 0);
    EXPECT_EQ(frame().left, further.x - 60);
    EXPECT_EQ(frame().top, further.y - 15);
    SendMessageW(wordWindow, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(Settings.windowX, further.x - 60);
    EXPECT_EQ(Settings.windowY, further.y - 15);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(DpiWindowTest, ASuggestedCornerPastTheEdgeIsShownWhollyOnTheMonitor)
{
    const RECT r = frame();
    const RECT work = currentWorkAreaFor({r.left, r.top});
    const LONG w = r.right - r.left;
    changeDpi(144, {work.right - w / 3, work.bottom - 2, work.right - w / 3 + 2 * w, work.bottom + 40});
    const RECT now = frame();
    EXPECT_LE(now.right, work.right);
    EXPECT_LE(now.bottom, work.bottom);
    EXPECT_GE(now.left, work.left);
    EXPECT_GE(now.top, work.top);
    EXPECT_GT(now.right - now.left, w);
}

}  // namespace
