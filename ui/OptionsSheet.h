// The modal options sheet opened from the tray menu.
#pragma once

#include <windows.h>

extern HWND openSheet;  // the open sheet, or nullptr

// Opens the sheet modally on page `startPage` (0 settings, 1 word library,
// 2 about) and returns when it is closed; OK saves the settings.
void openOptionsSheet(HWND parent, int startPage);

// The sheet's callback: records the sheet window in openSheet once it
// exists and makes room for every page.
int CALLBACK optionsSheetCallback(HWND sheet, UINT message, LPARAM lParam);
