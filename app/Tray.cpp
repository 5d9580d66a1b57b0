#include "app/Tray.h"

#include <cwchar>
#include <iterator>

#include "res/resource.h"
#include "win/Messages.h"
#include "win/Program.h"
#include "win/Timers.h"

static_assert(sizeof(NOTIFYICONDATAW::szTip) / sizeof(wchar_t) == kTrayTipUnits);

namespace {

// The icon at `side` pixels, the small-icon size of the system DPI, which
// the notification area draws at: 16 at 100 %, 20 at 125 %, 24 at 150 %,
// 32 at 200 %. The icon file holds 16, 32 and 48 pixels. A size between
// is made by shrinking the next larger image (LoadIconWithScaleDown, in
// common controls 6 from Windows Vista on, looked up here because the
// program links no comctl32), never by stretching a smaller one; at the
// sizes the file holds nothing more is loaded at start.
HICON loadTrayIcon(HINSTANCE instance, int side)
{
    if (side != 16 && side != 32 && side != 48) {
        const LoadedModule controls(LoadLibraryW(L"comctl32.dll"));
        using ScaleDown = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
        const FARPROC found = controls ? GetProcAddress(controls.get(), "LoadIconWithScaleDown") : nullptr;
        HICON icon = nullptr;
        if (found != nullptr && SUCCEEDED(reinterpret_cast<ScaleDown>(reinterpret_cast<void*>(found))(
                                    instance, MAKEINTRESOURCEW(IDI_MIVORA), side, side, &icon)))
            return icon;
    }
    return static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_MIVORA), IMAGE_ICON, side, side, LR_DEFAULTCOLOR));
}

}  // namespace

void Tray::load(HINSTANCE instance, HWND owner)
{
    owner_ = owner;
    icon_.reset(loadTrayIcon(instance, GetSystemMetrics(SM_CXSMICON)));
    menu_.reset(LoadMenuW(instance, MAKEINTRESOURCEW(IDR_TRAY_MENU)));
}

void Tray::stopRetry()
{
    if (!retrying_) return;
    retrying_ = false;
    KillTimer(owner_, TIMER_TRAY_RETRY);
}

// Always the full structure: the shell reads the fields the flags name and
// nothing else, and a zeroed rest is what it expects.
NOTIFYICONDATAW Tray::iconData(UINT flags) const
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner_;
    data.uID = kTrayIconId;
    data.uFlags = flags;
    return data;
}

NOTIFYICONDATAW Tray::addData() const
{
    NOTIFYICONDATAW data = iconData(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    data.uCallbackMessage = WM_TRAYICON;
    data.hIcon = icon_.get();
    // Bounded copy: the tip field holds 128 units with its terminator.
    int i = 0;
    for (; i < kTrayTipUnits - 1 && appName[i] != L'\0'; ++i) data.szTip[i] = appName[i];
    data.szTip[i] = L'\0';
    return data;
}

bool Tray::add()
{
    // At a busy log-on the shell can report a failed add after a time-out
    // and add the icon anyway; every later add then fails because the icon
    // exists. Modifying it tells whether it is there (and brings it to its
    // first state).
    NOTIFYICONDATAW data = addData();
    if (notifyIcon_(NIM_ADD, &data) == FALSE && notifyIcon_(NIM_MODIFY, &data) == FALSE) return false;
    added();
    return true;
}

void Tray::added()
{
    shown_ = true;
    if (waitingText_.empty()) return;
    const std::wstring title = std::move(waitingTitle_);
    const std::wstring text = std::move(waitingText_);
    waitingTitle_.clear();
    waitingText_.clear();
    showBalloon(title, text, waitingInfo_);
}

bool Tray::showBalloon(const std::wstring& title, const std::wstring& text, bool info)
{
    if (!shown_) {
        waitingTitle_ = title;
        waitingText_ = text;
        waitingInfo_ = info;
        return false;
    }
    NOTIFYICONDATAW data = iconData(NIF_INFO);
    lstrcpynW(data.szInfoTitle, title.c_str(), static_cast<int>(std::size(data.szInfoTitle)));
    lstrcpynW(data.szInfo, text.c_str(), static_cast<int>(std::size(data.szInfo)));
    data.dwInfoFlags = info ? NIIF_INFO : NIIF_WARNING;
    return notifyIcon_(NIM_MODIFY, &data) != FALSE;
}

void Tray::beginRetry(DWORD now)
{
    retrying_ = true;
    retrySince_ = now;
    SetTimer(owner_, TIMER_TRAY_RETRY, kTrayRetryIntervalMs, nullptr);
}

bool Tray::retry(DWORD now)
{
    if (!retrying_) return true;
    if (add()) {
        stopRetry();
        return true;
    }
    // Unsigned difference: right across the wrap of the tick count.
    if (now - retrySince_ < kTrayRetryPeriodMs) return true;
    stopRetry();
    return false;
}

void Tray::setNotifyIconFunction(NotifyIconFunction function)
{
    notifyIcon_ = function != nullptr ? function : Shell_NotifyIconW;
}

void Tray::remove()
{
    stopRetry();
    shown_ = false;
    NOTIFYICONDATAW data = iconData(NIF_ICON);
    data.hIcon = icon_.get();
    notifyIcon_(NIM_DELETE, &data);
}

bool Tray::restore()
{
    // A notification area that kept the icon refuses NIM_ADD; the icon is
    // then brought back to its first state instead (see add).
    const bool shown = add();
    // The notification area the program was waiting for has come.
    if (shown) {
        stopRetry();
        added();
    }
    return shown;
}

void formatTrayTip(const ProgressHeader& header, wchar_t (&tip)[kTrayTipUnits])
{
    // Four numbers of at most 11 characters make 74 units: always fits.
    wsprintfW(tip, L"记住数量: %d\r\n学习数量: %d\r\n上次时间: %d\r\n开始时间: %d", header.rememberedCount,
              header.learningCount, header.lastDate, header.startDate);
}

bool Tray::refreshTip(const ProgressHeader& header)
{
    NOTIFYICONDATAW data = iconData(NIF_TIP);
    formatTrayTip(header, data.szTip);
    if (reviewLimit_ >= 0) {
        // 74 units at most so far, and this line at most 28 more: it fits.
        const std::size_t used = std::wcslen(data.szTip);
        wsprintfW(data.szTip + used, L"\r\n今日复习 %d/%d", reviewCount_, reviewLimit_);
    }
    return notifyIcon_(NIM_MODIFY, &data) != FALSE;
}

HMENU Tray::prepareMenu(bool titleBarMode)
{
    HMENU menu = popup();
    if (menu == nullptr) return nullptr;
    EnableMenuItem(menu, IDM_TRAY_CAPTURE, MF_BYCOMMAND | (titleBarMode ? MF_ENABLED : MF_GRAYED));
    return menu;
}
