#include <windows.h>

#include "app/AppGlobals.h"
#include "app/Shell.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Before anything could load a DLL by name.
    restrictDllSearch();

    // Never waited on and never closed: while this process lives, the
    // mutex's existence is what tells a second start to go away.
    HANDLE instanceMutex = CreateMutexW(nullptr, FALSE, appName);
    if (instanceMutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return 1;

    appInstance = instance;
    int exitCode = 1;
    if (registerWindowClasses() && createOwnerWindow() != nullptr) exitCode = runMessageLoop();
    // Also after a failed creation: the word window may have started its
    // load thread before the tray icon failed.
    finishWordStore();
    return exitCode;
}
