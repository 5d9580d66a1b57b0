#include "ui/word/WordPlacement.h"

#include <climits>
#include <cstdint>
#include <string_view>

#include "store/text/Text.h"
#include "store/text/Wide.h"
#include "win/Handles.h"

namespace {

bool contains(const RECT& r, POINT p)
{
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// Squared distance from `p` to the nearest pixel of `r`, in 64 bits: the
// corner may be anywhere in the 32-bit range.
std::int64_t distanceSquared(const RECT& r, POINT p)
{
    auto gap = [](std::int64_t v, std::int64_t low, std::int64_t high) -> std::int64_t {
        if (v < low) return low - v;
        if (v >= high) return v - (high - 1);
        return 0;
    };
    const std::int64_t dx = gap(p.x, r.left, r.right);
    const std::int64_t dy = gap(p.y, r.top, r.bottom);
    return dx * dx + dy * dy;
}

// The start of a span of `length` placed at `start` inside [low, high).
LONG fitSpan(LONG start, LONG length, LONG low, LONG high)
{
    std::int64_t s = start;
    const std::int64_t end = s + (length > 0 ? length : 0);
    if (end > high) s -= end - high;  // moved back by what it takes
    if (s < low) s = low;             // a window larger than the area starts at its edge
    return static_cast<LONG>(s);
}

BOOL CALLBACK collectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info))
        reinterpret_cast<std::vector<MonitorArea>*>(data)->push_back({info.rcMonitor, info.rcWork});
    return TRUE;
}

int wrappedHeight(HDC dc, const wchar_t* text, int units, int width)
{
    if (units <= 0) return 0;
    RECT r{0, 0, width, 0};
    // The flags the painting draws with, so the lines break where they will.
    DrawTextW(dc, text, units, &r, DT_EDITCONTROL | DT_WORDBREAK | DT_CALCRECT);
    return r.bottom - r.top;
}

}  // namespace

RECT workAreaForCorner(POINT corner, const std::vector<MonitorArea>& monitors)
{
    const MonitorArea* nearest = nullptr;
    std::int64_t best = INT64_MAX;
    for (const MonitorArea& m : monitors) {
        if (contains(m.monitor, corner)) return m.work;
        const std::int64_t d = distanceSquared(m.monitor, corner);
        if (d < best) {
            best = d;
            nearest = &m;
        }
    }
    return nearest != nullptr ? nearest->work : RECT{};
}

RECT workAreaForRect(const RECT& rect, const std::vector<MonitorArea>& monitors)
{
    const MonitorArea* most = nullptr;
    std::int64_t mostArea = 0;
    for (const MonitorArea& m : monitors) {
        RECT common{};
        if (!IntersectRect(&common, &rect, &m.monitor)) continue;
        const std::int64_t area = static_cast<std::int64_t>(common.right - common.left) * (common.bottom - common.top);
        if (area > mostArea) {
            mostArea = area;
            most = &m;
        }
    }
    if (most != nullptr) return most->work;
    return workAreaForCorner({rect.left, rect.top}, monitors);
}

POINT placeInWorkArea(POINT stored, SIZE size, const RECT& work)
{
    if (work.right <= work.left || work.bottom <= work.top) return stored;
    return {fitSpan(stored.x, size.cx, work.left, work.right), fitSpan(stored.y, size.cy, work.top, work.bottom)};
}

std::vector<MonitorArea> currentMonitors()
{
    std::vector<MonitorArea> monitors;
    EnumDisplayMonitors(nullptr, nullptr, collectMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

RECT currentWorkAreaFor(POINT corner)
{
    RECT work = workAreaForCorner(corner, currentMonitors());
    if (work.right <= work.left || work.bottom <= work.top) {
        if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) work = RECT{};
    }
    return work;
}

void placeWordWindow(HWND window, POINT stored, SIZE size, const RECT& work)
{
    const POINT corner = placeInWorkArea(stored, size, work);
    SetWindowPos(window, HWND_TOPMOST, corner.x, corner.y, size.cx, size.cy, SWP_NOACTIVATE);
}

int oneLineLimitFor(const RECT& work)
{
    return work.right > work.left ? static_cast<int>(work.right - work.left) : INT_MAX;
}

void fitToWrappedText(HWND window, HFONT font, const WordEntry& entry, SIZE word, SIZE content, WordLayout& layout)
{
    if (!layout.wrapped) return;
    WindowDC dc(window);
    if (dc.get() == nullptr) return;
    SelectedObject selected(dc.get(), font);
    const auto wordUnits = boundedLength(entry.word, kWordUnits);
    const int wordHeight = wrappedHeight(dc.get(), as_wcstr(entry.word), static_cast<int>(wordUnits), layout.width);
    // The block exactly as the painting composes it.
    wchar_t block[kComposeUnits] = {};
    const std::size_t n = composeWrappedBlock(entry, block);
    const int blockHeight = wrappedHeight(dc.get(), block, static_cast<int>(n), layout.width);
    fitWrappedLayout(layout, word, content, wordHeight, blockHeight);
}

bool probePointBeside(const RECT& frame, const RECT& monitor, POINT& at)
{
    // 10 pixels below the top edge, as the sample always was, or the middle
    // of a window not that tall; just outside the frame, so that neither
    // the window's own background nor a letter of its text is read.
    const LONG height = frame.bottom - frame.top;
    const LONG y = frame.top + (height > 20 ? 10 : height / 2);
    const LONG x = frame.left + ((frame.right - frame.left) > 20 ? 10 : (frame.right - frame.left) / 2);
    const POINT candidates[] = {
        {frame.left - kProbeGap - 1, y},  // left of it
        {frame.right + kProbeGap, y},     // right of it
        {x, frame.top - kProbeGap - 1},   // above it
        {x, frame.bottom + kProbeGap},    // below it
    };
    for (const POINT& candidate : candidates) {
        if (contains(monitor, candidate)) {
            at = candidate;
            return true;
        }
    }
    return false;
}

POINT probePoint(HWND window, POINT stored)
{
    RECT frame{stored.x, stored.y, stored.x, stored.y};
    if (window != nullptr) GetWindowRect(window, &frame);
    // The monitor the window is on; a point beside it on another monitor
    // (or on none) would read a colour the user never sees behind it.
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromRect(&frame, MONITOR_DEFAULTTONULL);
    POINT at{};
    if (monitor != nullptr && GetMonitorInfoW(monitor, &info) && probePointBeside(frame, info.rcMonitor, at)) return at;
    // Off every screen: a point there reads CLR_INVALID, which changes
    // nothing. A corner near INT_MAX reads nothing rather than overflowing.
    POINT corner{frame.left, frame.top};
    corner.y = corner.y <= INT_MAX - 10 ? corner.y + 10 : INT_MAX;
    return corner;
}
