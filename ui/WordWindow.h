// The word window: the layered, topmost tool window that shows the current
// word, and everything it owns.
#pragma once

#include <windows.h>

#include <cstddef>

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
