// The word window: the layered, topmost tool window that shows the current
// word, and everything it owns.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

constexpr UINT_PTR TIMER_SWITCH = 1;  // advance every switchSeconds
constexpr UINT_PTR TIMER_PROBE = 2;   // one-shot: capture a window or sample the screen
constexpr UINT_PTR TIMER_TITLE = 3;   // rewrite the captured window's title

extern HFONT wordFont;
extern HBRUSH backgroundBrush;
extern HWND capturedWindow;

// Extents of the current entry's word, phonetic and content in wordFont, as
// measured by the last layout; painting draws from them.
extern SIZE wordExtent;
extern SIZE phoneticExtent;
extern SIZE contentExtent;

// Scratch text for the wrapped layout's second block and for title-bar mode.
constexpr std::size_t kComposeUnits = 1024;
extern wchar_t composeBuffer[kComposeUnits];

LRESULT CALLBACK wordWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Creates the word window at the stored position (class "Mivora_Show" must
// be registered). Its creation starts the start-up load thread.
HWND createWordWindow(HINSTANCE instance);

// Opens the word window's context menu at the cursor, owned by `menuOwner`,
// and carries out the chosen command.
void showWordMenu(HWND menuOwner);

// The two halves of showWordMenu. prepareWordMenu stops automatic switching
// for as long as the menu is open and sets the pause item's check mark; it
// returns the popup to show (nullptr without wordMenu). runWordCommand
// carries out command `id` (0: dismissed), then lets `menuOwner` know the
// menu is gone and restarts automatic switching when it is on.
HMENU prepareWordMenu();
void runWordCommand(HWND menuOwner, UINT id);

// Waits (bounded) for word-list loads still running on worker threads, so
// the store can be saved and freed safely at shutdown.
void waitForWordLoads(DWORD timeoutMs);

// Samples the screen colour at the stored window position and adopts it.
void probeBackground();
// Makes `colour` the window background. A reading of CLR_INVALID (the point
// was off the screen) or the colour already in use changes nothing; returns
// whether the background changed.
bool adoptBackgroundColor(COLORREF colour);

// Title-bar mode: remembers a window (and who owns it) as the one to write
// to, and writes the current entry into its title. Writing stops for good
// when that window is gone, even if its handle is later given to another.
void captureTitleWindow(HWND window);
void captureForegroundWindow();
void writeCapturedTitle();

// Settings applied to the word window at once (ui/WordWindowSettings.cpp).
// The options sheet's settings page changes the window only through these.

// The period of TIMER_SWITCH for `switchSeconds`, taken as the unsigned
// number the settings page stores: at least one second (a cleared field
// would make the word flicker at the platform's minimum period), at most
// USER_TIMER_MAXIMUM (a huge one would overflow the 32-bit product).
UINT switchTimerPeriodMs(std::int32_t switchSeconds);
// Starts TIMER_SWITCH afresh with the period of Settings.switchSeconds, or
// stops it.
void restartSwitchTimer();
void stopSwitchTimer();
// Replaces wordFont by a font made from Settings.font; an unusable record
// keeps the old font. Returns whether the font changed.
bool applyWordFont();
// The layered attributes from Settings.backgroundColor and
// Settings.transparentBackground: alpha 250, and the background colour as
// the transparent one when the background is to be transparent.
void applyWordTransparency();
// Makes `colour` the background colour, brush and (when transparent) key.
void applyWordBackground(COLORREF colour);
// Arms the one-shot TIMER_PROBE (2000 ms): samples the screen or, in
// title-bar mode, captures the foreground window.
void startWordProbe();
// Title-bar mode: hide the window and start capturing and writing titles;
// leaving shows the window again, laid out for the current entry.
void enterTitleBarMode();
void leaveTitleBarMode();
// The advance-and-layout request: step on, or lay out the current entry.
void advanceWordWindow();
void layoutWordWindow();
// Repaints the current entry as laid out (new text colours).
void repaintWordWindow();
