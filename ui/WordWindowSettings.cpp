// What the settings page may change on the word window, applied at once:
// the switching period, the font, the background and its transparency, and
// title-bar mode. Everything here runs on the UI thread, which owns the
// window, its timers and its GDI objects.
#include "app/AppGlobals.h"
#include "settings/Settings.h"
#include "settings/Win32Settings.h"
#include "ui/WordWindow.h"

namespace {

constexpr BYTE kWindowAlpha = 250;
constexpr UINT kProbeDelayMs = 2000;
constexpr UINT kTitlePeriodMs = 3000;

}  // namespace

UINT switchTimerPeriodMs(std::int32_t switchSeconds)
{
    // The page stores what GetDlgItemInt read as unsigned, so a value that
    // looks negative here is a very large number of seconds.
    const auto seconds = static_cast<std::uint32_t>(switchSeconds);
    if (seconds == 0) return 1000;
    if (seconds > USER_TIMER_MAXIMUM / 1000u) return USER_TIMER_MAXIMUM;
    return static_cast<UINT>(seconds * 1000u);
}

void restartSwitchTimer()
{
    // Without a window SetTimer would make a thread timer under a new id.
    if (wordWindow == nullptr) return;
    // Setting a running timer again restarts its period from now.
    SetTimer(wordWindow, TIMER_SWITCH, switchTimerPeriodMs(Settings.switchSeconds), nullptr);
}

void stopSwitchTimer()
{
    if (wordWindow != nullptr) KillTimer(wordWindow, TIMER_SWITCH);
}

bool applyWordFont()
{
    LOGFONTW font = logFont(Settings.font);
    font.lfFaceName[LF_FACESIZE - 1] = L'\0';  // a hand-edited file may lack the terminator
    HFONT created = CreateFontIndirectW(&font);
    if (created == nullptr) return false;
    HFONT previous = wordFont;
    wordFont = created;
    // Nothing holds the old font selected: layout and painting select it
    // only for the time of one call.
    if (previous != nullptr) DeleteObject(previous);
    return true;
}

void applyWordTransparency()
{
    if (wordWindow != nullptr) SetLayeredWindowAttributes(wordWindow, Settings.backgroundColor, kWindowAlpha,
                               Settings.transparentBackground ? LWA_COLORKEY | LWA_ALPHA : LWA_ALPHA);
}

void applyWordBackground(COLORREF colour)
{
    adoptBackgroundColor(colour);
    // The chosen colour may be the one already in use; the key must still
    // be it.
    if (Settings.transparentBackground) applyWordTransparency();
}

void startWordProbe()
{
    if (wordWindow != nullptr) SetTimer(wordWindow, TIMER_PROBE, kProbeDelayMs, nullptr);
}

void enterTitleBarMode()
{
    if (wordWindow == nullptr) return;
    ShowWindow(wordWindow, SW_HIDE);
    startWordProbe();
    SetTimer(wordWindow, TIMER_TITLE, kTitlePeriodMs, nullptr);
}

void leaveTitleBarMode()
{
    if (wordWindow == nullptr) return;
    // Shown without activation: the user is working in the options sheet,
    // which must keep the keyboard.
    ShowWindow(wordWindow, SW_SHOWNA);
    KillTimer(wordWindow, TIMER_TITLE);
    layoutWordWindow();
}

void advanceWordWindow()
{
    if (wordWindow != nullptr) SendMessageW(wordWindow, WM_TIMER, TIMER_SWITCH, 0);
}

void layoutWordWindow()
{
    if (wordWindow != nullptr) SendMessageW(wordWindow, WM_TIMER, TIMER_SWITCH, 1);
}

void repaintWordWindow()
{
    if (wordWindow != nullptr) InvalidateRect(wordWindow, nullptr, TRUE);
}
