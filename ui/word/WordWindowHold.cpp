// The word window stays out of the user's way: it holds the word while the
// pointer rests on it, and steps aside while a full-screen program (a film,
// a game, a slide show) is in front on its monitor.
//
// Full-screen programs are noticed in three ways, none of them polling of
// its own:
// - the shell's ABN_FULLSCREENAPP, for which the window registers as an
//   application bar without claiming any screen space (Windows only: Wine
//   accepts the registration but never sends the notification);
// - every tick of the switch timer, so the timer doubles as the periodic
//   check, at no cost beyond what the window already does. While the window
//   is aside the word window keeps the timer running as that check, even
//   when switching is paused, and its ticks never advance;
// - WM_ACTIVATEAPP: one of our own windows (the tray menu, the options
//   sheet) coming to the front brings the word back at once.
// The check itself asks the shell (SHQueryUserNotificationState, which Wine
// answers with a fixed "accepts notifications") and looks at whether the
// foreground window's client area covers the word window's monitor, which is
// what works under Wine.
#include "ui/word/WordWindowHold.h"

#include <shellapi.h>

#include <cstdint>

#include "ui/word/WordWindow.h"
#include "win/Messages.h"

namespace {

RECT monitorRect(HMONITOR monitor)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor == nullptr || !GetMonitorInfoW(monitor, &info)) return RECT{};
    return info.rcMonitor;
}

bool isDesktop(HWND window)
{
    if (window == GetDesktopWindow()) return true;
    // Clicking the desktop brings one of the shell's windows to the front,
    // and they cover the monitor whole; so do its task switcher and start
    // menu. None of them is a program to step aside for.
    HWND shell = GetShellWindow();
    if (shell == nullptr) return false;
    DWORD frontProcess = 0;
    DWORD shellProcess = 0;
    GetWindowThreadProcessId(window, &frontProcess);
    GetWindowThreadProcessId(shell, &shellProcess);
    return window == shell || frontProcess == shellProcess;
}

bool shellReportsBusy()
{
    QUERY_USER_NOTIFICATION_STATE state{};
    if (FAILED(SHQueryUserNotificationState(&state))) return false;
    return state == QUNS_BUSY || state == QUNS_RUNNING_D3D_FULL_SCREEN || state == QUNS_PRESENTATION_MODE;
}

wordwindow::FullScreenFacts gatherFacts(HWND window, HWND shellFullScreenWindow)
{
    wordwindow::FullScreenFacts facts;
    HWND front = GetForegroundWindow();
    if (front == nullptr) return facts;
    facts.foreground = true;
    DWORD process = 0;
    GetWindowThreadProcessId(front, &process);
    facts.ownProcess = process == GetCurrentProcessId();
    if (facts.ownProcess) return facts;  // nothing else matters
    facts.desktop = isDesktop(front);
    facts.shown = IsWindowVisible(front) && !IsIconic(front);
    RECT client{};
    if (GetClientRect(front, &client)) {
        MapWindowPoints(front, nullptr, reinterpret_cast<POINT*>(&client), 2);
        facts.client = client;
    }
    facts.foregroundMonitor = monitorRect(MonitorFromWindow(front, MONITOR_DEFAULTTONEAREST));
    facts.wordMonitor = monitorRect(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
    facts.shellReported = front == shellFullScreenWindow;
    // The shell is asked last, and only when its answer can matter.
    if (!facts.desktop && facts.shown && EqualRect(&facts.foregroundMonitor, &facts.wordMonitor))
        facts.shellBusy = shellReportsBusy();
    return facts;
}

}  // namespace

void WordHold::trackPointer(HWND window)
{
    TRACKMOUSEEVENT request{};
    request.cbSize = sizeof request;
    request.dwFlags = TME_LEAVE | TME_HOVER;
    request.hwndTrack = window;
    request.dwHoverTime = HOVER_DEFAULT;
    if (TrackMouseEvent(&request)) tracking_ = hoverArmed_ = true;
}

void WordHold::stopTracking(HWND window)
{
    if (tracking_) {
        TRACKMOUSEEVENT request{};
        request.cbSize = sizeof request;
        request.dwFlags = TME_CANCEL | TME_LEAVE | TME_HOVER;
        request.hwndTrack = window;
        TrackMouseEvent(&request);
    }
    tracking_ = hoverArmed_ = false;
}

// The pointer is on the word: no switch until it leaves.
void WordHold::hold(HWND)
{
    if (held_) return;
    held_ = true;
    owner_.decide();
}

bool WordHold::pointerHoldApplies() const
{
    // In title-bar mode the word is not in this window; aside or hidden by
    // the user, the window is not shown and nothing can rest on it.
    return !Settings.titleBarMode && !aside_ && !owner_.hiddenByUser();
}

// For when the window learns of no move although the pointer may be on it:
// after its menu has gone, and when it comes back under a resting pointer.
void WordHold::holdIfPointerOn(HWND window)
{
    POINT cursor;
    if (!pointerHoldApplies() || !GetCursorPos(&cursor) || WindowFromPoint(cursor) != window) return;
    trackPointer(window);
    hold(window);
}

bool WordHold::fullScreenInFront(HWND window) const
{
    // Title-bar mode keeps the window hidden anyway, and the captured title
    // is nothing that covers a film.
    if (Settings.titleBarMode) return false;
    return wordwindow::coversWordMonitor(gatherFacts(window, shellFullScreenWindow_));
}

void WordHold::stepAside(HWND window)
{
    aside_ = true;
    held_ = false;
    stopTracking(window);
    owner_.decide();
}

void WordHold::comeBack(HWND window)
{
    aside_ = false;
    // Shown again with the word it showed (or the one a command or the
    // load stepped to meanwhile), which gets its full period.
    owner_.decide();
    holdIfPointerOn(window);
}

// Steps aside or comes back as the program in front demands; true when the
// window is aside or has just come back.
bool WordHold::reconsider(HWND window)
{
    if (fullScreenInFront(window)) {
        if (!aside_) stepAside(window);
        return true;
    }
    if (!aside_) return false;
    comeBack(window);
    return true;
}

void WordHold::registerAppBar(HWND window)
{
    APPBARDATA data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uCallbackMessage = WM_APPBAR_NOTIFY;
    // Registered only to be told about full-screen programs: without
    // ABM_SETPOS the window claims no part of the screen.
    appBarRegistered_ = SHAppBarMessage(ABM_NEW, &data) != FALSE;
}

void WordHold::removeAppBar(HWND window)
{
    if (!appBarRegistered_) return;
    APPBARDATA data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    SHAppBarMessage(ABM_REMOVE, &data);
    appBarRegistered_ = false;
}

void WordHold::onPointerMove(HWND window)
{
    if (!pointerHoldApplies()) return;
    // The first move is the pointer entering; after a WM_MOUSEHOVER the
    // next move asks for the next rest.
    if (!tracking_ || !hoverArmed_) trackPointer(window);
    if (!held_) hold(window);
}

void WordHold::onPointerHover(HWND window)
{
    hoverArmed_ = false;
    if (!pointerHoldApplies()) return;
    // The pointer rests here: whatever armed the timer since it came
    // (the menu closing, the settings page) does not switch under it.
    hold(window);
}

void WordHold::onPointerLeave(HWND)
{
    tracking_ = hoverArmed_ = false;
    if (!held_) return;
    held_ = false;
    // The next word a full period from now; paused meanwhile, none.
    owner_.decide();
}

void WordHold::onWordMenuOpening(HWND window)
{
    held_ = false;
    stopTracking(window);
    owner_.decide();
}

void WordHold::onWordMenuClosed(HWND window)
{
    holdIfPointerOn(window);
}

void WordHold::onHoldCreate(HWND window)
{
    tracking_ = hoverArmed_ = held_ = aside_ = false;
    shellFullScreenWindow_ = nullptr;
    registerAppBar(window);
}

void WordHold::onHoldDestroy(HWND window)
{
    removeAppBar(window);
    tracking_ = hoverArmed_ = held_ = aside_ = false;
    shellFullScreenWindow_ = nullptr;
}

void WordHold::onAppBarNotify(HWND window, WPARAM notification, LPARAM lParam)
{
    if (notification != ABN_FULLSCREENAPP) return;
    // The shell names no window: what is in front now is the program it
    // means when it opens, and no longer counts once it closes.
    shellFullScreenWindow_ = lParam != 0 ? GetForegroundWindow() : nullptr;
    reconsider(window);
}

void WordHold::onActivateApp(HWND window)
{
    // Ours coming to the front brings the word back; ours losing the front
    // to a full-screen program sends it away without waiting for a tick.
    reconsider(window);
}

void WordHold::onOtherMessage(HWND window, UINT message)
{
    // A restarted shell has forgotten every application bar. The broadcast
    // also comes without a restart (a change of display scaling): removing
    // first keeps the registration single either way.
    if (message == 0 || message != taskbarCreatedMessage()) return;
    removeAppBar(window);
    registerAppBar(window);
}

bool WordHold::tickWaits(HWND window)
{
    if (reconsider(window)) return true;
    // Held: the tick was the check, and the word stays.
    return held();
}

bool wordwindow::coversWordMonitor(const FullScreenFacts& facts)
{
    if (!facts.foreground || facts.ownProcess || facts.desktop || !facts.shown) return false;
    const RECT& m = facts.wordMonitor;
    if (m.right <= m.left || m.bottom <= m.top) return false;
    // A full-screen program on another monitor leaves this one alone.
    const RECT& f = facts.foregroundMonitor;
    if (f.left != m.left || f.top != m.top || f.right != m.right || f.bottom != m.bottom) return false;
    if (facts.shellBusy || facts.shellReported) return true;
    // The client area, not the frame: a maximised window with a caption
    // spills its frame past the monitor's edges when the taskbar hides,
    // but its client area never covers the caption's strip.
    const RECT& c = facts.client;
    return c.left <= m.left && c.top <= m.top && c.right >= m.right && c.bottom >= m.bottom;
}
