// The word window: the layered, topmost tool window that shows the current
// word, and everything it owns.
#pragma once

#include <windows.h>

constexpr UINT_PTR TIMER_SWITCH = 1;  // advance every switchSeconds
constexpr UINT_PTR TIMER_PROBE = 2;   // one-shot: capture a window or sample the screen
constexpr UINT_PTR TIMER_TITLE = 3;   // rewrite the captured window's title

extern HFONT wordFont;
extern HBRUSH backgroundBrush;
extern HWND capturedWindow;

LRESULT CALLBACK wordWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Creates the word window at the stored position (class "Mivora_Show" must
// be registered). Its creation starts the start-up load thread.
HWND createWordWindow(HINSTANCE instance);

// Opens the word window's context menu at the cursor, owned by `menuOwner`,
// and carries out the chosen command.
void showWordMenu(HWND menuOwner);

// Waits (bounded) for word-list loads still running on worker threads, so
// the store can be saved and freed safely at shutdown.
void waitForWordLoads(DWORD timeoutMs);
