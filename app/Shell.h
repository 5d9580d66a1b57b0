// The parts of the application shell that the entry point and the in-process
// tests use beyond AppGlobals.h.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "store/WordEntry.h"

// The owner window's own timers. Progress is otherwise written only when the
// program ends, so a crash or a power cut would lose a whole day of study.
constexpr UINT_PTR TIMER_SAVE_PROGRESS = 1;
constexpr UINT kProgressSaveIntervalMs = 5 * 60 * 1000;
// At log-on the program may start before the notification area exists: a
// failed add of the icon is retried this often for this long before the
// program gives up.
constexpr UINT_PTR TIMER_TRAY_RETRY = 2;
constexpr UINT kTrayRetryIntervalMs = 2000;
constexpr DWORD kTrayRetryPeriodMs = 60 * 1000;

// How long shutdown waits for a word-list load that is still running before
// the store is saved. A load reads one file; ten seconds is far beyond it.
constexpr DWORD kWordLoadWaitMs = 10000;

constexpr UINT kTrayIconId = 1;
constexpr int kTrayTipUnits = 128;  // NOTIFYICONDATAW::szTip

// Limits the DLLs loaded by name from now on to the system folder; the first
// thing the entry point does.
void restrictDllSearch();

// Creates the hidden owner window; everything else is set up inside its
// creation. Returns nullptr when that fails.
HWND createOwnerWindow();

// Runs until WM_QUIT and returns its wParam.
int runMessageLoop();

// The last step before the process ends (normal exit or log-off): waits for
// a running load and a running background save, then writes the progress
// file if the lists changed, so the store's destructor finds nothing left to
// do while other threads may exist.
void finishWordStore();

// The periodic save: starts writing the progress file on a worker thread
// when the lists changed; the worker posts WM_SAVE_DONE to the owner window.
// False when no save was started (nothing changed, or one is running).
bool startProgressSave();
// True while a background save is writing.
bool progressSaveRunning();

// The statistics tooltip of the tray icon.
void formatTrayTip(const ProgressHeader& header, wchar_t (&tip)[kTrayTipUnits]);
// Sends the current statistics to the icon; false when the shell refused
// (for example because the icon is not there).
bool refreshTrayTip();
// Adds the icon again after the notification area was recreated; true when
// it is there.
bool restoreTrayIcon();
// A failed add at start-up: keeps trying on TIMER_TRAY_RETRY of the owner
// window from `now` (GetTickCount) on.
void beginTrayRetry(DWORD now);
// One try on the retry timer. When the icon is still missing after
// kTrayRetryPeriodMs, shows the error and destroys the owner window, which
// ends the program.
void retryTrayIcon(DWORD now);
// Whether the icon is waiting to be added.
bool trayRetryPending();
// The shell call behind every icon operation; tests put a stand-in there.
using NotifyIconFunction = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW);
void setNotifyIconFunction(NotifyIconFunction function);
// The broadcast that announces a new notification area (0 if unavailable).
UINT taskbarCreatedMessage();

// Sub-menu 0 of the tray menu, with "当前标题" enabled exactly in title-bar
// mode; nullptr when the menu resource is missing.
HMENU prepareTrayMenu();
// Carries out a tray menu command; 0 and unknown ids do nothing.
void runTrayCommand(HWND window, UINT command);
