// The statistics page on its own, from its template with its real dialog
// procedure, fed a history whose figures are worked out by hand: the texts
// under the pictures, the cells of the calendar and the bars, counted in
// what the page draws, and the same pictures in a high-contrast theme.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "WordWindowFixture.h"
#include "res/resource.h"
#include "ui/OptionsPages.h"
#include "ui/OptionsSheet.h"
#include "win/Handles.h"

using namespace uitest;

namespace {

// What a control draws of itself, as COLORREFs row by row.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;

    int count(COLORREF colour) const
    {
        int n = 0;
        for (COLORREF pixel : pixels) n += pixel == colour;
        return n;
    }
    // The runs of adjacent columns holding `colour`: [first, last] each,
    // with the pixels of that colour in them.
    struct Run {
        int first, last, pixels;
    };
    std::vector<Run> columnRuns(COLORREF colour) const
    {
        std::vector<Run> runs;
        for (int x = 0; x < width; ++x) {
            int n = 0;
            for (int y = 0; y < height; ++y) n += pixels[y * width + x] == colour;
            if (n == 0) continue;
            if (!runs.empty() && runs.back().last == x - 1) {
                runs.back().last = x;
                runs.back().pixels += n;
            } else {
                runs.push_back({x, x, n});
            }
        }
        return runs;
    }
};

Picture render(HWND control)
{
    Picture picture;
    RECT client{};
    GetClientRect(control, &client);
    picture.width = client.right;
    picture.height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, picture.width, -picture.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const WindowDC screen(nullptr);
    const UniqueDC dc(CreateCompatibleDC(screen.get()));
    void* bits = nullptr;
    const UniqueBitmap dib(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    EXPECT_TRUE(dib && bits != nullptr);
    if (!dib || bits == nullptr) return picture;
    {
        const SelectedObject selected(dc.get(), dib.get());
        // Filled first with a colour the page never uses: what it leaves
        // undrawn shows.
        const RECT all{0, 0, picture.width, picture.height};
        const UniqueBrush odd(CreateSolidBrush(RGB(1, 2, 3)));
        FillRect(dc.get(), &all, odd.get());
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
        GdiFlush();
    }
    const auto* row = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < picture.width * picture.height; ++i)
        picture.pixels.push_back(RGB((row[i] >> 16) & 0xFF, (row[i] >> 8) & 0xFF, row[i] & 0xFF));
    return picture;
}

// The page's colours outside high contrast: the calendar's shades from
// none to the busiest, and the bars.
const COLORREF kShades[] = {RGB(0xEB, 0xED, 0xF0), RGB(0x9B, 0xE9, 0xA8), RGB(0x40, 0xC4, 0x63), RGB(0x30, 0xA1, 0x4E),
                            RGB(0x21, 0x6E, 0x39)};
const COLORREF kBar = RGB(0x3B, 0x82, 0xD6);

// Tuesday 2026-12-08 in Beijing, 8 hours east of UTC.
constexpr std::int32_t kToday = 20795;
std::int64_t beijing(int days, int hour)
{
    return (std::int64_t{kToday} + days) * 86400 + (hour - 8) * 3600;
}

ReviewSnapshot history()
{
    ReviewSnapshot snapshot;
    snapshot.today = kToday;
    snapshot.utcOffsetMinutes = 480;
    snapshot.retention = 0.9;
    snapshot.answers = {
        {beijing(-1, 10), ReviewGrade::good, u"apple", kToday},    // Monday: apple remembered
        {beijing(0, 9), ReviewGrade::good, u"apple", kToday + 3},  // reviewed
        {beijing(0, 10), ReviewGrade::good, u"bear", kToday + 1},  // 新记住
        {beijing(0, 11), ReviewGrade::again, u"cat", kToday},      // 忘了, remembered before the log
        {beijing(-3, 10), ReviewGrade::good, u"dog", kToday},      // Saturday: dog remembered
        {beijing(0, 12), ReviewGrade::again, u"dog", kToday},      // reviewed and 忘了
    };
    // Four on today (two overdue), one on the last bar.
    snapshot.dueDays = {kToday - 2, kToday - 1, kToday, kToday, kToday + 29};
    return snapshot;
}

class StatsPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host_ = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 640, 560, nullptr, nullptr, appInstance, nullptr);
        ASSERT_NE(host_, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(host_);
        pump(0);
        options.reviewSnapshot = {};
        options.highContrast = highContrastOn;
    }

    HWND host_ = nullptr;
};

TEST_F(StatsPageTest, ShowsTheHistoryAsItIsWhenShownInEitherTheme)
{
    ASSERT_EQ(kStatsPage, kLibraryPage + 1);
    EXPECT_STREQ(kOptionsPages[kStatsPage].title, L"统计");

    ReviewSnapshot shown = history();
    options.reviewSnapshot = [&shown] { return shown; };
    options.highContrast = [] { return false; };
    HWND page = makeOptionsPage(kStatsPage, host_);
    ASSERT_NE(page, nullptr);
    ShowWindow(page, SW_SHOW);
    EXPECT_EQ(windowText(GetDlgItem(page, IDC_STATS_TODAY)), L"今天：新记住 1 个，复习 2 个，忘了 2 个");
    EXPECT_EQ(windowText(GetDlgItem(page, IDC_STATS_RECALL)), L"最近 30 天的记忆率：50%（复习 2 次），目标：90%");

    // The calendar: today (4 answers) in the darkest shade, Monday and
    // Saturday (1 each) in the lightest, the other 174 days of the 25 weeks
    // and 2 days empty, and the legend's cell of every shade. All cells are
    // of one size.
    const Picture calendar = render(GetDlgItem(page, IDC_STATS_CALENDAR));
    EXPECT_EQ(calendar.count(RGB(1, 2, 3)), 0) << "pixels left undrawn";
    const int cell = calendar.count(kShades[2]);
    EXPECT_GT(cell, 0);
    EXPECT_EQ(calendar.count(kShades[3]), cell);
    EXPECT_EQ(calendar.count(kShades[4]), 2 * cell);
    EXPECT_EQ(calendar.count(kShades[1]), 3 * cell);
    EXPECT_EQ(calendar.count(kShades[0]), 175 * cell);

    // The bars: today's four at the left end, the one of the 30th day at
    // the right, as wide and a quarter as high; nothing between.
    const Picture bars = render(GetDlgItem(page, IDC_STATS_DUE));
    EXPECT_EQ(bars.count(RGB(1, 2, 3)), 0) << "pixels left undrawn";
    const std::vector<Picture::Run> runs = bars.columnRuns(kBar);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_LT(runs[0].last, bars.width / 10);
    EXPECT_GT(runs[1].first, bars.width * 8 / 10);
    EXPECT_EQ(runs[0].last - runs[0].first, runs[1].last - runs[1].first);
    EXPECT_GT(runs[1].pixels, 0);
    EXPECT_NEAR(runs[0].pixels, 4 * runs[1].pixels, runs[1].pixels / 2);

    // High contrast: the theme's colours only, the days and bars in its
    // highlight.
    options.highContrast = [] { return true; };
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    for (HWND control : {GetDlgItem(page, IDC_STATS_CALENDAR), GetDlgItem(page, IDC_STATS_DUE)}) {
        const Picture contrast = render(control);
        EXPECT_EQ(contrast.pixels.at(0), window);
        EXPECT_GT(contrast.count(highlight), 0);
        for (COLORREF own : kShades) EXPECT_EQ(contrast.count(own), 0) << std::hex << own;
        EXPECT_EQ(contrast.count(kBar), 0);
    }

    // Shown again after a day without answers and with nothing due: the
    // page takes the history afresh.
    shown.answers.clear();
    shown.dueDays.clear();
    ShowWindow(page, SW_HIDE);
    ShowWindow(page, SW_SHOW);
    EXPECT_EQ(windowText(GetDlgItem(page, IDC_STATS_TODAY)), L"今天：新记住 0 个，复习 0 个，忘了 0 个");
    EXPECT_EQ(windowText(GetDlgItem(page, IDC_STATS_RECALL)), L"最近 30 天的记忆率：还没有复习，目标：90%");
    options.highContrast = [] { return false; };
    EXPECT_EQ(render(GetDlgItem(page, IDC_STATS_DUE)).count(kBar), 0);
}

}  // namespace
