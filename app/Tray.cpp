// The notification-area icon and its menu. The icon is the only part of the
// program that is always reachable: the owner window is never shown and the
// word window is hidden in title-bar mode.
#include <windows.h>
#include <shellapi.h>

#include "app/AppGlobals.h"
#include "app/Shell.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "store/WordGet.h"
#include "ui/OptionsSheet.h"
#include "ui/WordWindow.h"

namespace {

static_assert(sizeof(NOTIFYICONDATAW::szTip) / sizeof(wchar_t) == kTrayTipUnits);

NotifyIconFunction notifyIcon = Shell_NotifyIconW;

// Set while the icon could not be added yet: from then on (GetTickCount)
// the retry timer keeps trying.
bool retrying = false;
DWORD retrySince = 0;

void stopTrayRetry()
{
    if (!retrying) return;
    retrying = false;
    KillTimer(ownerWindow, TIMER_TRAY_RETRY);
}

// Always the full structure: the shell reads the fields the flags name and
// nothing else, and a zeroed rest is what it expects.
NOTIFYICONDATAW iconData(UINT flags)
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = ownerWindow;
    data.uID = kTrayIconId;
    data.uFlags = flags;
    return data;
}

NOTIFYICONDATAW addData()
{
    NOTIFYICONDATAW data = iconData(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    data.uCallbackMessage = WM_TRAYICON;
    data.hIcon = trayIcon;
    // Bounded copy: the tip field holds 128 units with its terminator.
    int i = 0;
    for (; i < kTrayTipUnits - 1 && appName[i] != L'\0'; ++i) data.szTip[i] = appName[i];
    data.szTip[i] = L'\0';
    return data;
}

// The tray menu is modal: this returns the chosen id, or 0 when the user
// clicked elsewhere.
UINT chooseTrayCommand(HWND window)
{
    HMENU menu = prepareTrayMenu();
    if (menu == nullptr) return 0;
    POINT cursor{};
    GetCursorPos(&cursor);
    return static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_RIGHTALIGN, cursor.x, cursor.y, 0, window, nullptr));
}

}  // namespace

bool addTrayIcon()
{
    NOTIFYICONDATAW data = addData();
    return notifyIcon(NIM_ADD, &data) != FALSE;
}

void beginTrayRetry(DWORD now)
{
    retrying = true;
    retrySince = now;
    SetTimer(ownerWindow, TIMER_TRAY_RETRY, kTrayRetryIntervalMs, nullptr);
}

void retryTrayIcon(DWORD now)
{
    if (!retrying) return;
    if (addTrayIcon()) {
        stopTrayRetry();
        return;
    }
    // Unsigned difference: right across the wrap of the tick count.
    if (now - retrySince < kTrayRetryPeriodMs) return;
    stopTrayRetry();
    // Without the icon the user could never reach the menu, not even to end
    // the program.
    MessageBoxW(ownerWindow, L"Shell_NotifyIcon Error", L"Dizudiz Error", MB_ICONERROR | MB_OK);
    DestroyWindow(ownerWindow);
}

bool trayRetryPending()
{
    return retrying;
}

void setNotifyIconFunction(NotifyIconFunction function)
{
    notifyIcon = function != nullptr ? function : Shell_NotifyIconW;
}

void removeTrayIcon()
{
    stopTrayRetry();
    NOTIFYICONDATAW data = iconData(NIF_ICON);
    data.hIcon = trayIcon;
    notifyIcon(NIM_DELETE, &data);
}

bool restoreTrayIcon()
{
    // A notification area that kept the icon refuses NIM_ADD; the icon is
    // then brought back to its first state instead.
    NOTIFYICONDATAW data = addData();
    const bool shown = notifyIcon(NIM_ADD, &data) || notifyIcon(NIM_MODIFY, &data);
    // The notification area the program was waiting for has come.
    if (shown) stopTrayRetry();
    return shown;
}

void formatTrayTip(const ProgressHeader& header, wchar_t (&tip)[kTrayTipUnits])
{
    // Four numbers of at most 11 characters make 74 units: always fits.
    wsprintfW(tip, L"记住数量: %d\r\n学习数量: %d\r\n上次时间: %d\r\n开始时间: %d", header.rememberedCount,
              header.learningCount, header.lastDate, header.startDate);
}

bool refreshTrayTip()
{
    NOTIFYICONDATAW data = iconData(NIF_TIP);
    formatTrayTip(wordStore.header(), data.szTip);
    return notifyIcon(NIM_MODIFY, &data) != FALSE;
}

HMENU prepareTrayMenu()
{
    HMENU menu = GetSubMenu(trayMenu, 0);
    if (menu == nullptr) return nullptr;
    EnableMenuItem(menu, IDM_TRAY_CAPTURE, MF_BYCOMMAND | (Settings.titleBarMode != 0 ? MF_ENABLED : MF_GRAYED));
    return menu;
}

void runTrayCommand(HWND window, UINT command)
{
    switch (command) {
    case IDM_TRAY_OPTIONS:
        openOptionsSheet(ownerWindow, 0);
        break;
    case IDM_TRAY_ABOUT:
        openOptionsSheet(ownerWindow, 2);
        break;
    case IDM_TRAY_EXIT:
        DestroyWindow(window);  // the whole shutdown runs inside this call
        break;
    case IDM_TRAY_CAPTURE:
        // Two seconds for the user to bring the window to capture to the front.
        SetTimer(wordWindow, TIMER_PROBE, 2000, nullptr);
        break;
    default:
        break;
    }
}

// The program never selects a newer protocol version, so lParam is the
// mouse message itself.
LRESULT trayNotify(HWND window, LPARAM lParam)
{
    switch (lParam) {
    case WM_MOUSEMOVE:
        // On every move, so the tooltip shows the counters of this moment.
        refreshTrayTip();
        return 0;
    case WM_LBUTTONUP:
        SetForegroundWindow(window);
        showWordMenu(window);
        return 0;
    case WM_RBUTTONUP:
        // The foreground is what makes the menu close when the user clicks
        // elsewhere.
        SetForegroundWindow(window);
        if (openSheet != nullptr) return 0;
        runTrayCommand(window, chooseTrayCommand(window));
        // After "退出" the window is gone and this post simply fails.
        PostMessageW(window, WM_NULL, 0, 0);
        return 0;
    default:
        return 1;
    }
}
