// What the word-library page offers to the rest of the program: the end of
// a dictionary reload, the wait for one at shutdown, and the commands of its
// remembered-words menu. The page's dialog procedure is in OptionsPages.h.
#pragma once

#include <windows.h>

// The owner window calls this when it receives WM_RELOAD_DONE, whose wParam
// is the serial number of the reload that posted it. On the UI thread: lets
// the word window show the new list's first entry at once and enables the
// dictionary box again if a library page is open.
void finishDictionaryReload(WPARAM reload);

// Shutdown: waits up to `timeoutMs` for a running reload, so the store is
// never saved or freed while a load still works on it.
void waitForDictionaryReload(DWORD timeoutMs);

// True from the moment a dictionary is picked until the UI thread has taken
// its reload's notice (or shutdown has waited for it). A pick made meanwhile
// is refused.
bool dictionaryReloadRunning();

// Carries out command `command` of the remembered-words menu ("忘记",
// "删除"; 0 when the menu was dismissed) on row `row` of `view`, the page's
// list view. "删除" asks first.
void runRememberedCommand(HWND view, int row, UINT command);
