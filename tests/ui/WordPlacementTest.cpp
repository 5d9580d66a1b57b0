// Where the word window is shown and how tall it is: the placement and
// fitting arithmetic on made-up monitors, then the real window under Wine at
// the screen's edges, off every monitor, after a display change, and with
// entries that wrap into more lines than the layout counts.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "WordWindowFixture.h"
#include "ui/word/WordPlacement.h"

namespace {

using namespace uitest;

// --- the arithmetic -------------------------------------------------------

TEST(WordPlacement, AFittingCornerIsKept)
{
    const RECT work{0, 0, 1280, 760};
    const POINT p = placeInWorkArea({200, 150}, {300, 20}, work);
    EXPECT_EQ(p.x, 200);
    EXPECT_EQ(p.y, 150);
    // Ending exactly on the edge still fits.
    const POINT edge = placeInWorkArea({980, 740}, {300, 20}, work);
    EXPECT_EQ(edge.x, 980);
    EXPECT_EQ(edge.y, 740);
}

TEST(WordPlacement, MovedLeftAndUpByWhatItTakes)
{
    const RECT work{0, 0, 1280, 760};
    // The default corner (SM_CXMAXIMIZED - 300) with a line of 412 pixels.
    const POINT p = placeInWorkArea({988, 48}, {412, 20}, work);
    EXPECT_EQ(p.x, 1280 - 412);
    EXPECT_EQ(p.y, 48);
    const POINT low = placeInWorkArea({100, 750}, {600, 110}, work);
    EXPECT_EQ(low.x, 100);
    EXPECT_EQ(low.y, 760 - 110);
}

TEST(WordPlacement, BeforeTheLeftOrTopEdgeItMovesIn)
{
    const RECT work{1280, 30, 2560, 1024};  // a second monitor with a task bar on top
    const POINT p = placeInWorkArea({1200, 0}, {200, 20}, work);
    EXPECT_EQ(p.x, 1280);
    EXPECT_EQ(p.y, 30);
}

TEST(WordPlacement, LargerThanTheWorkAreaStartsAtItsEdge)
{
    const RECT work{0, 0, 500, 300};
    const POINT p = placeInWorkArea({100, 100}, {600, 400}, work);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
}

TEST(WordPlacement, AbsurdCornersDoNotOverflow)
{
    const RECT work{0, 0, 1280, 760};
    const POINT high = placeInWorkArea({INT_MAX, INT_MAX}, {INT_MAX, 20}, work);
    EXPECT_EQ(high.x, 0);
    EXPECT_EQ(high.y, 740);
    const POINT lowest = placeInWorkArea({INT_MIN, INT_MIN}, {200, 20}, work);
    EXPECT_EQ(lowest.x, 0);
    EXPECT_EQ(lowest.y, 0);
    // No work area known: the stored corner as it is.
    const POINT none = placeInWorkArea({-7, 9}, {200, 20}, RECT{});
    EXPECT_EQ(none.x, -7);
    EXPECT_EQ(none.y, 9);
}

std::vector<MonitorArea> twoMonitors()
{
    return {{{0, 0, 1280, 800}, {0, 0, 1280, 760}}, {{1280, -200, 3200, 880}, {1280, -200, 3200, 840}}};
}

TEST(WordPlacement, TheMonitorHoldingTheCornerGivesTheWorkArea)
{
    const auto monitors = twoMonitors();
    const RECT first = workAreaForCorner({10, 10}, monitors);
    EXPECT_EQ(first.right, 1280);
    EXPECT_EQ(first.bottom, 760);
    const RECT second = workAreaForCorner({1280, -100}, monitors);
    EXPECT_EQ(second.left, 1280);
    EXPECT_EQ(second.bottom, 840);
    // Over the first monitor's task bar: still the first monitor.
    EXPECT_EQ(workAreaForCorner({10, 790}, monitors).bottom, 760);
}

TEST(WordPlacement, ACornerOnNoMonitorGoesToTheNearestOne)
{
    const auto monitors = twoMonitors();
    // Where a third screen was, right of the second.
    EXPECT_EQ(workAreaForCorner({3500, 100}, monitors).left, 1280);
    // Below the first, which is nearer than the second.
    EXPECT_EQ(workAreaForCorner({300, 5000}, monitors).left, 0);
    // Above the first monitor's top-left: the first, not the taller second.
    EXPECT_EQ(workAreaForCorner({-50, -150}, monitors).left, 0);
    EXPECT_EQ(workAreaForCorner({INT_MIN, INT_MIN}, monitors).left, 0);
    EXPECT_EQ(workAreaForCorner({INT_MAX, INT_MAX}, monitors).left, 1280);
    const RECT none = workAreaForCorner({0, 0}, {});
    EXPECT_EQ(none.right - none.left, 0);
}

// --- the real window ----------------------------------------------------

constexpr COLORREF kContentColor = RGB(0, 128, 0);
constexpr COLORREF kBackground = RGB(255, 255, 255);

// Pixels of `colour` that DrawTextW leaves when it wraps `s` at `width` with
// the painting's flags, on a surface tall enough for all of it.
int referencePixels(const std::u16string& s, int width, COLORREF colour)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    const int height = 2000;
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HFONT font = CreateFontIndirectW(&logFont(Settings.font));
    HGDIOBJ oldFont = SelectObject(dc, font);
    RECT r{0, 0, width, height};
    HBRUSH white = CreateSolidBrush(kBackground);
    FillRect(dc, &r, white);
    DeleteObject(white);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    DrawTextW(dc, as_wcstr(s.c_str()), static_cast<int>(s.size()), &r, DT_EDITCONTROL | DT_WORDBREAK);
    int hits = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (GetPixel(dc, x, y) == colour) ++hits;
    SelectObject(dc, oldFont);
    DeleteObject(font);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return hits;
}

int windowPixels(HWND window, COLORREF colour)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    RECT r{};
    GetClientRect(window, &r);
    HDC dc = GetDC(window);
    int hits = 0;
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x)
            if (GetPixel(dc, x, y) == colour) ++hits;
    ReleaseDC(window, dc);
    return hits;
}

int measuredHeight(const std::u16string& s, int width)
{
    return wrappedTextHeight(s, width);
}

// Words appended until the text is at least `pixels` wide.
std::u16string textOfWidth(const std::u16string& start, int pixels)
{
    static const char16_t* words[] = {u"quiet", u"harbour", u"lantern", u"meadow", u"copper", u"ridge"};
    std::u16string s = start;
    for (int i = 0; extentOf(s).cx < pixels; ++i) {
        s += u' ';
        s += words[i % 6];
    }
    return s;
}

class WordPlacementWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registerWordWindowClass(); }

    void SetUp() override
    {
        root_ = makeScratchFolder("mivora-place");
        resetSettings(GetSystemMetrics(SM_CXMAXIMIZED));
        Settings.contentColor = kContentColor;
        Settings.backgroundColor = kBackground;
        Settings.font.lfQuality = NONANTIALIASED_QUALITY;  // exact text colours
        emptyWordStore();
        work_ = currentWorkAreaFor({Settings.windowX, Settings.windowY});
        ASSERT_GT(work_.right - work_.left, 600);
    }

    void TearDown() override
    {
        closeWordWindow();
        pump(0);
        removeScratchFolder(root_);
    }

    // A dictionary whose second line is `line`, which the start shows.
    void startShowing(const std::u16string& line)
    {
        writeDictionary(root_ / "dic" / "words.txt", {u"first||1", line});
        Settings.cycleSize = 15;
        wordStore.setCycleSize(15);
        startWordWindow();
    }

    RECT frame() const
    {
        RECT r{};
        GetWindowRect(wordWindow, &r);
        return r;
    }

    void expectInsideWorkArea()
    {
        const RECT r = frame();
        EXPECT_GE(r.left, work_.left);
        EXPECT_GE(r.top, work_.top);
        EXPECT_LE(r.right, work_.right);
        EXPECT_LE(r.bottom, work_.bottom);
    }

    fs::path root_;
    RECT work_{};
};

TEST_F(WordPlacementWindowTest, TheDefaultCornerShowsTheWholeLineOfAWideEntry)
{
    // Where every first run puts the window, with a meaning longer than the
    // 300 pixels left of the screen there.
    ASSERT_EQ(Settings.windowX, GetSystemMetrics(SM_CXMAXIMIZED) - 300);
    startShowing(u"abandon|ə'bændən|" + textOfWidth(u"v.", 420));
    const RECT r = frame();
    ASSERT_GT(r.right - r.left, 300);
    ASSERT_LT(r.right - r.left, work_.right - work_.left);
    EXPECT_EQ(r.right, work_.right);
    EXPECT_EQ(r.top, 48);
    expectInsideWorkArea();
    // The stored corner is the user's, not the shown one.
    EXPECT_EQ(Settings.windowX, GetSystemMetrics(SM_CXMAXIMIZED) - 300);
    EXPECT_EQ(Settings.windowY, 48);
    // The probe samples beside where the window is, not inside it.
    const POINT probe = probePoint(wordWindow, {Settings.windowX, Settings.windowY});
    EXPECT_EQ(probe.x, r.left - kProbeGap - 1);
    EXPECT_EQ(probe.y, r.top + 10);
}

TEST(ProbePoint, BesideTheFrameOnItsMonitorNeverInside)
{
    const RECT monitor{0, 0, 1280, 800};
    struct Case {
        const char* name;
        RECT frame;
        bool found;
        POINT at;
    } const cases[] = {
        {"left of it", {200, 150, 500, 180}, true, {200 - kProbeGap - 1, 160}},
        {"at the left edge: right of it", {0, 150, 300, 180}, true, {300 + kProbeGap, 160}},
        {"as wide as the screen: above", {0, 150, 1280, 180}, true, {10, 150 - kProbeGap - 1}},
        {"wide at the top: below", {0, 0, 1280, 30}, true, {10, 30 + kProbeGap}},
        {"a low window: its middle", {200, 150, 500, 160}, true, {200 - kProbeGap - 1, 155}},
        {"covering the monitor", {0, 0, 1280, 800}, false, {}},
        {"on a second monitor left of this one", {-900, 100, -600, 130}, false, {}},
    };
    for (const Case& c : cases) {
        POINT at{-1, -1};
        EXPECT_EQ(probePointBeside(c.frame, monitor, at), c.found) << c.name;
        if (!c.found) continue;
        EXPECT_EQ(at.x, c.at.x) << c.name;
        EXPECT_EQ(at.y, c.at.y) << c.name;
        const bool inside = at.x >= c.frame.left && at.x < c.frame.right && at.y >= c.frame.top && at.y < c.frame.bottom;
        EXPECT_FALSE(inside) << c.name;
    }
}

TEST_F(WordPlacementWindowTest, NearTheBottomEdgeItIsShownHigher)
{
    Settings.windowX = 100;
    Settings.windowY = work_.bottom - 5;
    startShowing(u"apple|ˈæpl|苹果");
    const RECT r = frame();
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.bottom, work_.bottom);
    EXPECT_EQ(Settings.windowY, work_.bottom - 5);
}

TEST_F(WordPlacementWindowTest, ACornerOffEveryMonitorComesOnTheNearestOne)
{
    for (POINT corner : {POINT{-20000, -20000}, POINT{40000, 300}, POINT{INT_MAX, INT_MAX}, POINT{INT_MIN, 100}}) {
        Settings.windowX = corner.x;
        Settings.windowY = corner.y;
        startShowing(u"apple|ˈæpl|苹果");
        expectInsideWorkArea();
        EXPECT_EQ(Settings.windowX, corner.x);
        EXPECT_EQ(Settings.windowY, corner.y);
        DestroyWindow(wordWindow);
        wordWindow = nullptr;
    }
}

TEST_F(WordPlacementWindowTest, ADisplayChangeBringsItBack)
{
    Settings.windowX = 200;
    Settings.windowY = 150;
    startShowing(u"apple|ˈæpl|苹果");
    // The monitor it was on is unplugged: its corner now lies on none.
    Settings.windowX = 3000;
    SetWindowPos(wordWindow, nullptr, 3000, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(wordWindow, WM_DISPLAYCHANGE, 24, MAKELPARAM(1280, 800));
    expectInsideWorkArea();
    EXPECT_EQ(frame().right, work_.right);
    EXPECT_EQ(Settings.windowX, 3000);

    // The same when only the work area changed (a task bar moved); other
    // setting changes leave the window where it is.
    SetWindowPos(wordWindow, nullptr, 3000, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(wordWindow, WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER, 0);
    EXPECT_EQ(frame().left, 3000);
    SendMessageW(wordWindow, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    expectInsideWorkArea();
}

TEST_F(WordPlacementWindowTest, DraggedPastTheEdgeItIsShownInsideAndAClickStoresNothing)
{
    Settings.windowX = 200;
    Settings.windowY = 150;
    startShowing(u"apple|ˈæpl|苹果");
    const RECT before = frame();
    SetCursorPos(before.left + 5, before.top + 5);
    SendMessageW(wordWindow, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    const int dx = work_.right - before.left - 10;  // the window ends well past the edge
    SetCursorPos(before.left + 5 + dx, before.top + 5);
    SendMessageW(wordWindow, WM_MOUSEMOVE, MK_LBUTTON, 0);
    SendMessageW(wordWindow, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(Settings.windowX, before.left + dx);
    EXPECT_EQ(Settings.windowY, before.top);
    expectInsideWorkArea();

    // A click on the shifted window keeps the corner the drag stored.
    const RECT shown = frame();
    SetCursorPos(shown.left + 3, shown.top + 3);
    SendMessageW(wordWindow, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageW(wordWindow, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(Settings.windowX, before.left + dx);
    EXPECT_EQ(frame().left, shown.left);
}

TEST_F(WordPlacementWindowTest, TheLongLayoutDrawsTheWholeMeaning)
{
    Settings.windowX = 100;
    Settings.windowY = 100;
    // A 21-letter word whose phonetic and meaning together run over more
    // lines of 600 pixels than the meaning's width counts.
    const std::u16string word = u"abcdefghijklmnopqrstu";
    const std::u16string phonetic = textOfWidth(u"ph", 260);
    const std::u16string content = textOfWidth(u"m.", 1000);
    ASSERT_LT(extentOf(content).cx, 1200);
    const std::u16string block = u"[" + phonetic + u"]" + content;
    const int lineHeight = extentOf(content).cy;
    ASSERT_GT(measuredHeight(block, 600), (extentOf(content).cx / 600 + 1) * lineHeight);
    startShowing(word + u"|" + phonetic + u"|" + content);

    EXPECT_EQ(Settings.windowWidth, 600);
    EXPECT_EQ(frame().right - frame().left, 600);
    EXPECT_GE(Settings.windowHeight, measuredHeight(word, 600) + measuredHeight(block, 600));
    // Every pixel of the block that DrawTextW draws with room to spare is
    // drawn in the window too: no line is cut off.
    const int expected = referencePixels(block, 600, kContentColor);
    ASSERT_GT(expected, 100);
    EXPECT_EQ(windowPixels(wordWindow, kContentColor), expected);
}

TEST_F(WordPlacementWindowTest, AnEntryWiderThanTheScreenWrapsAndIsReadable)
{
    Settings.windowX = 100;
    Settings.windowY = 100;
    std::u16string content = textOfWidth(u"n.", 4000);
    content.resize(std::min<std::size_t>(content.size(), kContentUnits - 1));
    ASSERT_GT(extentOf(content).cx, work_.right - work_.left);
    startShowing(u"word|wɜːd|" + content);

    EXPECT_EQ(Settings.windowWidth, 600);
    expectInsideWorkArea();
    const std::u16string block = u"[wɜːd]" + content;
    EXPECT_GE(Settings.windowHeight, measuredHeight(block, 600));
    const int expected = referencePixels(block, 600, kContentColor);
    ASSERT_GT(expected, 100);
    EXPECT_EQ(windowPixels(wordWindow, kContentColor), expected);
}

TEST_F(WordPlacementWindowTest, ALongEntryThatFitsKeepsItsCountedSize)
{
    Settings.windowX = 100;
    Settings.windowY = 100;
    const std::u16string word = u"abcdefghij klmnopqrst uvwxy";
    startShowing(word + u"|fəˈnetɪk|很长的一个词的意思");
    const WordLayout counted = computeLayout(extentOf(word), extentOf(u"[fəˈnetɪk]"), extentOf(u"很长的一个词的意思"),
                                             word.size());
    EXPECT_EQ(Settings.windowWidth, counted.width);
    EXPECT_EQ(Settings.windowHeight, counted.height);
}

}  // namespace
