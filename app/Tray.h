// The notification-area icon and its menu. The icon is the only part of the
// program that is always reachable: the owner window is never shown and the
// word window is hidden in title-bar mode.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "store/lists/WordEntry.h"
#include "win/Handles.h"

constexpr UINT kTrayIconId = 1;
constexpr int kTrayTipUnits = 128;  // NOTIFYICONDATAW::szTip
// A failed add of the icon at start-up is retried this often for this long
// before the program gives up.
constexpr UINT kTrayRetryIntervalMs = 2000;
constexpr DWORD kTrayRetryPeriodMs = 60 * 1000;

// The shell call behind every icon operation; tests put a stand-in there.
using NotifyIconFunction = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW);

// The statistics tooltip of the tray icon.
void formatTrayTip(const ProgressHeader& header, wchar_t (&tip)[kTrayTipUnits]);

class Tray {
public:
    Tray() = default;
    Tray(const Tray&) = delete;
    Tray& operator=(const Tray&) = delete;

    // Loads the icon and the menu, and names the window that receives the
    // icon's notifications (WM_TRAYICON) and runs the retry timer.
    void load(HINSTANCE instance, HWND owner);

    // One attempt to add the icon, or to find it there already; false when
    // the shell refused both (no message: the caller then retries, see
    // beginRetry).
    bool add();
    void remove();
    // Adds the icon again after the notification area was recreated; true
    // when it is there.
    bool restore();
    // Sends the statistics to the icon; false when the shell refused (for
    // example because the icon is not there).
    bool refreshTip(const ProgressHeader& header);
    // The line "今日复习 <count>/<limit>" the tooltip ends with; a negative
    // limit leaves it out (review switched off).
    void setReviewToday(int count, int limit)
    {
        reviewCount_ = count;
        reviewLimit_ = limit;
    }

    // Shows a warning balloon from the icon (title and text cut to the
    // fields' sizes); `info` gives it the information icon instead, for
    // news that is no warning. Asked for while the icon is not there yet, it
    // is shown once the icon has been added; a later one replaces a waiting
    // one. False when it could not be shown now.
    bool showBalloon(const std::wstring& title, const std::wstring& text, bool info = false);

    // A failed add at start-up: keeps trying on the owner's TIMER_TRAY_RETRY
    // from `now` (GetTickCount) on.
    void beginRetry(DWORD now);
    // One try on the retry timer. False when the icon is still missing after
    // kTrayRetryPeriodMs: the retry has then stopped and the caller must
    // tell the user and end.
    bool retry(DWORD now);
    // Whether the icon is waiting to be added.
    bool retryPending() const { return retrying_; }
    // When the retry began (GetTickCount); its period counts from here.
    DWORD retrySince() const { return retrySince_; }

    // Sub-menu 0 of the tray menu, with "当前标题" enabled exactly in
    // title-bar mode; nullptr when the menu resource is missing.
    HMENU prepareMenu(bool titleBarMode);
    // That sub-menu as it is, or nullptr.
    HMENU popup() const { return menu_ ? GetSubMenu(menu_.get(), 0) : nullptr; }

    HICON icon() const { return icon_.get(); }
    void setNotifyIconFunction(NotifyIconFunction function);

private:
    NOTIFYICONDATAW iconData(UINT flags) const;
    NOTIFYICONDATAW addData() const;
    void stopRetry();
    // The icon has just been added: a balloon waiting for it is shown.
    void added();

    UniqueIcon icon_;
    UniqueMenu menu_;
    HWND owner_ = nullptr;
    NotifyIconFunction notifyIcon_ = Shell_NotifyIconW;
    // Set while the icon could not be added yet: from retrySince_
    // (GetTickCount) the retry timer keeps trying.
    bool retrying_ = false;
    DWORD retrySince_ = 0;
    bool shown_ = false;
    std::wstring waitingTitle_;
    std::wstring waitingText_;
    bool waitingInfo_ = false;
    int reviewCount_ = 0;
    int reviewLimit_ = -1;
};
