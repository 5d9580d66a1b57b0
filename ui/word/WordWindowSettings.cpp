// What the settings page may change on the word window, applied at once:
// the switching period, the font, the background and its transparency, and
// title-bar mode. Everything here runs on the UI thread, which owns the
// window, its timers and its GDI objects.
#include "settings/Win32Settings.h"
#include "ui/word/WordWindow.h"

UINT switchTimerPeriodMs(std::int32_t switchSeconds)
{
    // The page stores what GetDlgItemInt read as unsigned, so a value that
    // looks negative here is a very large number of seconds.
    const auto seconds = static_cast<std::uint32_t>(switchSeconds);
    if (seconds == 0) return 1000;
    if (seconds > USER_TIMER_MAXIMUM / 1000u) return USER_TIMER_MAXIMUM;
    return static_cast<UINT>(seconds * 1000u);
}

void WordWindow::switchingChanged()
{
    // A word held by the pointer stays whatever the period: the ticks of a
    // held word advance nothing.
    freshPeriod_ = true;
    decide();
}

UniqueFont WordWindow::makeWordFont(UINT dpi) const
{
    LOGFONTW font = logFont(Settings.font);
    font.lfFaceName[LF_FACESIZE - 1] = L'\0';  // a hand-edited file may lack the terminator
    // The record keeps 96-DPI units (what the program stored before it knew
    // of scaling); the user asked for that size as it looks at 100 %.
    font.lfHeight = fontHeightForDpi(font.lfHeight, dpi);
    font.lfWidth = fontHeightForDpi(font.lfWidth, dpi);
    return UniqueFont(CreateFontIndirectW(&font));
}

bool WordWindow::applyWordFont()
{
    UniqueFont created = makeWordFont(fontDpi_);
    if (!created) return false;
    // Nothing holds the old font selected: layout and painting select it
    // only for the time of one call.
    wordFont_ = std::move(created);
    return true;
}

void WordWindow::applyWordTransparency()
{
    if (window_)
        SetLayeredWindowAttributes(window_.get(), Settings.backgroundColor, kWindowAlpha,
                                   Settings.transparentBackground ? LWA_COLORKEY | LWA_ALPHA : LWA_ALPHA);
}

void WordWindow::applyWordBackground(COLORREF colour)
{
    adoptBackgroundColor(colour);
    // The chosen colour may be the one already in use; the key must still
    // be it.
    if (Settings.transparentBackground) applyWordTransparency();
}

void WordWindow::startWordProbe()
{
    if (window_) SetTimer(window_.get(), TIMER_PROBE, kProbeDelayMs, nullptr);
}

void WordWindow::titleBarModeChanged()
{
    // Two seconds for the user to bring the window to write to to the front.
    if (Settings.titleBarMode) startWordProbe();
    // Shown again without activation: the user is working in the options
    // sheet, which must keep the keyboard.
    decide();
}
