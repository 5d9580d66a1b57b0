// The statistics page of the options sheet: a calendar of the answers of
// the last 26 weeks (a column a week, a row a weekday, darker for more), the
// words due on each of the next 30 days as bars, today's figures and the
// recall of the last 30 days beside the target. The two pictures are
// owner-drawn statics, drawn into a bitmap of their size and copied at once
// so that nothing flickers, with sizes worked out in whole pixels from the
// page's DPI; in a high-contrast theme they take the system's colours.
#include <windows.h>

#include <prsht.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "res/resource.h"
#include "store/review/ReviewStats.h"
#include "ui/OptionsPages.h"
#include "ui/OptionsSheet.h"
#include "win/Dpi.h"
#include "win/Handles.h"
#include "win/Messages.h"

namespace {

constexpr int kTextUnits = 128;

// The colours of the pictures. Outside high contrast, the green ramp users
// know from code hosts on white; in high contrast, the theme's window,
// text and highlight colours, and the shades told apart by how much of the
// cell is filled rather than by colour alone.
struct Palette {
    bool highContrast;
    COLORREF background;
    COLORREF text;
    COLORREF line;
    COLORREF shade[kCalendarShades + 1];
    COLORREF bar;
};

Palette paletteFor(bool highContrast)
{
    if (highContrast) {
        const COLORREF window = GetSysColor(COLOR_WINDOW);
        const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
        const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
        return {true, window, text, text, {window, highlight, highlight, highlight, highlight}, highlight};
    }
    return {false,
            RGB(0xFF, 0xFF, 0xFF),
            RGB(0x57, 0x60, 0x6A),
            RGB(0xD0, 0xD7, 0xDE),
            {RGB(0xEB, 0xED, 0xF0), RGB(0x9B, 0xE9, 0xA8), RGB(0x40, 0xC4, 0x63), RGB(0x30, 0xA1, 0x4E),
             RGB(0x21, 0x6E, 0x39)},
            RGB(0x3B, 0x82, 0xD6)};
}

// Filled with the DC brush: no brush to make or free for each colour.
void fillRect(HDC dc, const RECT& r, COLORREF colour)
{
    SetDCBrushColor(dc, colour);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void frameRect(HDC dc, const RECT& r, COLORREF colour)
{
    SetDCBrushColor(dc, colour);
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

SIZE textSize(HDC dc, const std::wstring& text)
{
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

void text(HDC dc, int x, int y, const std::wstring& s)
{
    TextOutW(dc, x, y, s.c_str(), static_cast<int>(s.size()));
}

// One day's cell: the shade's colour, or in high contrast a frame with a
// square inside that grows with the shade.
void drawCell(HDC dc, const RECT& cell, int shade, const Palette& palette)
{
    if (!palette.highContrast) {
        fillRect(dc, cell, palette.shade[shade]);
        return;
    }
    frameRect(dc, cell, palette.line);
    if (shade == 0) return;
    const int inner = cell.right - cell.left - 2;
    const int side = std::max(1, inner * (shade + 1) / (kCalendarShades + 1));
    const int left = cell.left + 1 + (inner - side) / 2;
    const int top = cell.top + 1 + (inner - side) / 2;
    fillRect(dc, RECT{left, top, left + side, top + side}, palette.shade[shade]);
}

std::wstring monthLabel(int month)
{
    wchar_t label[16];
    wsprintfW(label, L"%d月", month);
    return label;
}

void drawCalendar(HDC dc, const RECT& area, const ReviewStats& stats, const Palette& palette, UINT dpi)
{
    fillRect(dc, area, palette.background);
    SetTextColor(dc, palette.text);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int lineHeight = metrics.tmHeight;
    const int margin = scaleToDpi(4, dpi);
    const int labelWidth = textSize(dc, L"五").cx + scaleToDpi(6, dpi);
    const int width = area.right - area.left - 2 * margin - labelWidth;
    // Room for the month labels above and the legend below the grid.
    const int height = area.bottom - area.top - 2 * (lineHeight + margin + scaleToDpi(3, dpi));
    const int pitch = std::max(2, std::min({scaleToDpi(14, dpi), width / kCalendarWeeks, height / 7}));
    const int gap = std::max(1, pitch / 6);
    const int cell = pitch - gap;
    // Centred across: the grid keeps its whole-pixel cells.
    const int labelsLeft = area.left + (area.right - area.left - labelWidth - kCalendarWeeks * pitch + gap) / 2;
    const int gridLeft = labelsLeft + labelWidth;
    const int gridTop = area.top + margin + lineHeight + scaleToDpi(3, dpi);

    // The month over the first week that holds its first day; the first
    // week names its own month only when the next label is far enough off.
    int lastLabelRight = gridLeft - pitch;
    for (int week = 0; week < kCalendarWeeks; ++week) {
        const std::int32_t monday = stats.firstDay + week * 7;
        const CivilDate sunday = civilFromDays(monday + 6);
        const bool startsMonth = sunday.day <= 7;
        const bool firstWeek = week == 0 && civilFromDays(monday).day <= 20;
        if (!startsMonth && !firstWeek) continue;
        const std::wstring label = monthLabel(sunday.month);
        const int x = gridLeft + week * pitch;
        if (x < lastLabelRight + pitch / 2) continue;
        text(dc, x, area.top + margin, label);
        lastLabelRight = x + textSize(dc, label).cx;
    }
    const wchar_t* const weekdays[] = {L"一", L"三", L"五"};
    for (int i = 0; i < 3; ++i) text(dc, labelsLeft, gridTop + 2 * i * pitch + (cell - lineHeight) / 2, weekdays[i]);

    for (int index = 0; index < kCalendarDays; ++index) {
        if (stats.firstDay + index > stats.today) break;
        const int x = gridLeft + (index / 7) * pitch;
        const int y = gridTop + (index % 7) * pitch;
        const RECT r{x, y, x + cell, y + cell};
        drawCell(dc, r, calendarShade(stats.answersOnDay[static_cast<std::size_t>(index)], stats.busiestDay), palette);
    }
    // Today is marked, so that the eye finds where the calendar ends.
    const int todayIndex = stats.today - stats.firstDay;
    const int tx = gridLeft + (todayIndex / 7) * pitch;
    const int ty = gridTop + (todayIndex % 7) * pitch;
    frameRect(dc, RECT{tx - gap, ty - gap, tx + cell + gap, ty + cell + gap}, palette.text);

    // The legend: 少, the shades, 多, under the grid at its right end.
    const int legendTop = gridTop + 7 * pitch + scaleToDpi(3, dpi);
    const SIZE more = textSize(dc, L"多");
    int x = gridLeft + kCalendarWeeks * pitch - gap - more.cx;
    text(dc, x, legendTop, L"多");
    x -= scaleToDpi(4, dpi) + (kCalendarShades + 1) * pitch;
    for (int shade = 0; shade <= kCalendarShades; ++shade) {
        const int left = x + shade * pitch;
        const int top = legendTop + (lineHeight - cell) / 2;
        drawCell(dc, RECT{left, top, left + cell, top + cell}, shade, palette);
    }
    text(dc, x - scaleToDpi(4, dpi) - textSize(dc, L"少").cx, legendTop, L"少");
}

std::wstring dateLabel(std::int32_t day)
{
    const CivilDate date = civilFromDays(day);
    wchar_t label[16];
    wsprintfW(label, L"%d/%d", date.month, date.day);
    return label;
}

void drawDueBars(HDC dc, const RECT& area, const ReviewStats& stats, const Palette& palette, UINT dpi)
{
    fillRect(dc, area, palette.background);
    SetTextColor(dc, palette.text);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int lineHeight = metrics.tmHeight;
    const int margin = scaleToDpi(4, dpi);
    const int pitch = std::max(2, (static_cast<int>(area.right - area.left) - 2 * margin) / kDueBars);
    const int gap = std::max(1, pitch / 4);
    const int left = area.left + (area.right - area.left - kDueBars * pitch + gap) / 2;
    const int baseline = area.bottom - margin - lineHeight - scaleToDpi(3, dpi);
    const int plotTop = area.top + margin + lineHeight + scaleToDpi(2, dpi);
    const int plotHeight = std::max(1, baseline - plotTop);

    fillRect(dc, RECT{left, baseline, left + kDueBars * pitch - gap, baseline + std::max(1, scaleToDpi(1, dpi))},
             palette.line);
    const int* busiest = std::max_element(stats.dueOnDay.data(), stats.dueOnDay.data() + kDueBars);
    if (*busiest == 0) {
        const std::wstring none = L"今后 30 天没有要复习的单词";
        const SIZE size = textSize(dc, none);
        text(dc, area.left + (area.right - area.left - size.cx) / 2, plotTop + (plotHeight - size.cy) / 2, none);
    }
    for (int day = 0; day < kDueBars; ++day) {
        const int count = stats.dueOnDay[static_cast<std::size_t>(day)];
        if (count == 0) continue;
        // Every day with words shows, however small beside the busiest.
        const int height = std::max(scaleToDpi(2, dpi),
                                    static_cast<int>(std::lround(static_cast<double>(count) * plotHeight / *busiest)));
        const int x = left + day * pitch;
        fillRect(dc, RECT{x, baseline - height, x + pitch - gap, baseline}, palette.bar);
    }
    if (*busiest > 0) {
        // The busiest day's number above its bar: the scale of the picture.
        const int day = static_cast<int>(busiest - stats.dueOnDay.data());
        const std::wstring number = std::to_wstring(*busiest);
        const SIZE size = textSize(dc, number);
        const int centre = left + day * pitch + (pitch - gap) / 2;
        const int x = std::clamp(centre - static_cast<int>(size.cx) / 2, static_cast<int>(area.left),
                                 static_cast<int>(area.right) - static_cast<int>(size.cx));
        text(dc, x, plotTop - lineHeight - scaleToDpi(1, dpi), number);
    }
    // 今天 under the first bar, then a date each week.
    const int labelTop = baseline + scaleToDpi(3, dpi);
    text(dc, left, labelTop, L"今天");
    for (int day = 7; day < kDueBars; day += 7) {
        const std::wstring label = dateLabel(stats.today + day);
        const int x = left + day * pitch + (pitch - gap) / 2 - static_cast<int>(textSize(dc, label).cx) / 2;
        text(dc, x, labelTop, label);
    }
}

class StatsPage : public SheetPage {
public:
    using SheetPage::SheetPage;

private:
    void fill() override {}
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Takes the history afresh and shows it.
    void refresh();
    void draw(const DRAWITEMSTRUCT& item) const;

    ReviewStats stats_;
    bool known_ = false;  // whether there is a history to show
};

void StatsPage::refresh()
{
    const ReviewSnapshot snapshot = context().reviewSnapshot ? context().reviewSnapshot() : ReviewSnapshot{};
    known_ = static_cast<bool>(context().reviewSnapshot);
    stats_ = computeReviewStats(snapshot);

    wchar_t line[kTextUnits];
    wsprintfW(line, L"今天：新记住 %d 个，复习 %d 个，忘了 %d 个", stats_.newToday, stats_.reviewedToday,
              stats_.forgotToday);
    SetDlgItemTextW(window(), IDC_STATS_TODAY, known_ ? line : L"");
    const int target = static_cast<int>(std::lround(stats_.retention * 100));
    if (stats_.recallReviews > 0) {
        const int recall = static_cast<int>(std::lround(100.0 * stats_.recallGood / stats_.recallReviews));
        wsprintfW(line, L"最近 30 天的记忆率：%d%%（复习 %d 次，未看释义 %d 次），目标：%d%%", recall,
                  stats_.recallReviews, stats_.recallBeforeMeaning, target);
    } else {
        wsprintfW(line, L"最近 30 天的记忆率：还没有复习，目标：%d%%", target);
    }
    SetDlgItemTextW(window(), IDC_STATS_RECALL, known_ ? line : L"");
    InvalidateRect(item(IDC_STATS_CALENDAR), nullptr, FALSE);
    InvalidateRect(item(IDC_STATS_DUE), nullptr, FALSE);
}

void StatsPage::draw(const DRAWITEMSTRUCT& item) const
{
    const RECT& whole = item.rcItem;
    const int width = whole.right - whole.left;
    const int height = whole.bottom - whole.top;
    if (width <= 0 || height <= 0) return;
    const Palette palette = paletteFor(context().highContrast());
    const UniqueDC buffer(CreateCompatibleDC(item.hDC));
    const UniqueBitmap picture(CreateCompatibleBitmap(item.hDC, width, height));
    if (!buffer || !picture) {
        // No memory for the copy: drawn straight away, flicker and all.
        fillRect(item.hDC, whole, palette.background);
        return;
    }
    {
        const SelectedObject bitmap(buffer.get(), picture.get());
        const SelectedObject font(buffer.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(window(), WM_GETFONT, 0, 0)));
        SetBkMode(buffer.get(), TRANSPARENT);
        const RECT area{0, 0, width, height};
        const UINT dpi = context().dpis.ofWindow(window());
        if (!known_)
            fillRect(buffer.get(), area, palette.background);
        else if (item.CtlID == IDC_STATS_CALENDAR)
            drawCalendar(buffer.get(), area, stats_, palette, dpi);
        else
            drawDueBars(buffer.get(), area, stats_, palette, dpi);
        BitBlt(item.hDC, whole.left, whole.top, width, height, buffer.get(), 0, 0, SRCCOPY);
    }
}

INT_PTR StatsPage::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SHOWWINDOW:
        // The history grows while the sheet is open: each visit shows it as
        // it is now.
        if (wParam) refresh();
        return FALSE;
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item.CtlID != IDC_STATS_CALENDAR && item.CtlID != IDC_STATS_DUE) return FALSE;
        draw(item);
        return TRUE;
    }
    case PSM_QUERYSIBLINGS:
        // Another PC's progress was merged: its answers came with it.
        if (wParam != kProgressChangedQuery) return FALSE;
        if (IsWindowVisible(window())) refresh();
        SetWindowLongPtrW(window(), DWLP_MSGRESULT, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

std::unique_ptr<SheetPage> makeStatsPage(OptionsContext& context)
{
    return std::make_unique<StatsPage>(context);
}
