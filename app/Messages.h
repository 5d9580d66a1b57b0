// Every private window message of the program, in one place, so that no two
// parts of it ever pick the same number. WM_APP + n are ours alone; nothing
// outside the process sends them.
#pragma once

#include <windows.h>

// Tray icon notifications, sent by the shell to the owner window
// (0x8001, the value the icon was registered with).
constexpr UINT WM_TRAYICON = WM_APP + 1;

// Sent by the start-up load thread to the word window once its advance has
// been shown: the UI thread then starts the switch timer.
constexpr UINT WM_WORDLOAD_DONE = WM_APP + 2;

// Posted by a dictionary reload thread to the owner window (which outlives
// the options sheet) when the reload has finished.
constexpr UINT WM_RELOAD_DONE = WM_APP + 3;

// Posted by the background progress save to the owner window when the file
// has been written (wParam: nonzero on success).
constexpr UINT WM_SAVE_DONE = WM_APP + 4;

// Application-bar notifications (full-screen programs coming and going),
// registered by the word window with the shell.
constexpr UINT WM_APPBAR_NOTIFY = WM_APP + 5;
