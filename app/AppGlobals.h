// Process-wide state of the application shell. Everything here belongs to
// the UI thread.
#pragma once

#include <windows.h>

#include "app/Messages.h"

extern const wchar_t appName[];  // L"Mivora": mutex, owner class, tooltip, Run value
extern HINSTANCE appInstance;
extern HWND ownerWindow;
extern HWND wordWindow;
extern HICON trayIcon;
extern HMENU trayMenu;
extern HMENU wordMenu;


bool registerWindowClasses();
LRESULT CALLBACK ownerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// One attempt to add the icon; false when the shell refused (no message:
// the owner window then retries, see beginTrayRetry).
bool addTrayIcon();
void removeTrayIcon();
LRESULT trayNotify(HWND window, LPARAM lParam);
