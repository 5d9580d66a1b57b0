// Every private window message of the program, in one place, so that no two
// parts of it ever pick the same number. WM_APP + n are ours alone; nothing
// outside the process sends them.
#pragma once

#include <windows.h>

// Tray icon notifications, sent by the shell to the owner window
// (0x8001, the value the icon was registered with).
constexpr UINT WM_TRAYICON = WM_APP + 1;

// Posted by the start-up load's worker to the word window when the lists
// are in place (wParam: the worker's run number). The UI thread then shows
// the first word and starts the switch timer.
constexpr UINT WM_WORDLOAD_DONE = WM_APP + 2;

// Posted by a dictionary reload's worker to the owner window (which outlives
// the options sheet) when the reload has finished (wParam: its run number).
constexpr UINT WM_RELOAD_DONE = WM_APP + 3;

// Posted by the background progress save's worker to the owner window when
// the file has been written (wParam: its run number, lParam: nonzero on
// success).
constexpr UINT WM_SAVE_DONE = WM_APP + 4;

// Posted by the progress file's worker to the owner window when it has
// looked at the file on disk (wParam: its run number, lParam: nonzero when
// another program's save was merged into the lists).
constexpr UINT WM_PROGRESS_CHECKED = WM_APP + 7;
// Sent as PSM_QUERYSIBLINGS's wParam to the open options sheet, which hands
// it to each of its pages: the lists changed under them (another PC's
// progress was merged), so the pages show them anew.
constexpr WPARAM kProgressChangedQuery = 0x4D50;

// Application-bar notifications (full-screen programs coming and going),
// registered by the word window with the shell.
constexpr UINT WM_APPBAR_NOTIFY = WM_APP + 5;

// Posted by a second start of the program to the running one's owner
// window: open the options sheet (or bring the open one to the front). On
// Windows 11 a new program's tray icon sits hidden in the overflow, and a
// user who cannot find it starts the program again.
constexpr UINT WM_OPEN_OPTIONS = WM_APP + 6;

// The broadcast that announces a new notification area (0 if unavailable).
// Registered once for the process: the number is the same for every caller.
inline UINT taskbarCreatedMessage()
{
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

// Posted by the speech system to the owner window when it has finished
// saying a text (or given up on it): failures that come after Speak
// returned, such as an unplugged headset, show then.
constexpr UINT WM_SPEECH_EVENT = WM_APP + 8;

// Posted by the import dialog's worker to the dialog: a step (reading the
// file, taking it again with other choices, writing the list) has ended
// (wParam: the worker's run number, lParam: 0 when it threw), and how far
// the step running has come (wParam: per mille, lParam: its run number).
constexpr UINT WM_IMPORT_STEP_DONE = WM_APP + 12;
constexpr UINT WM_IMPORT_PROGRESS = WM_APP + 13;
