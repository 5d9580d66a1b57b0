#include <windows.h>

#include <memory>

#include "app/App.h"
#include "app/DllSearch.h"
#include "win/Program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Before anything could load a DLL by name.
    restrictDllSearch();

    // Never waited on and never closed: while this process lives, the
    // mutex's existence is what tells a second start to go away.
    HANDLE instanceMutex = CreateMutexW(nullptr, FALSE, appName);
    if (instanceMutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return 1;

    const auto app = std::make_unique<App>(instance);
    int exitCode = 1;
    if (App::registerWindowClasses(instance) && app->start()) exitCode = app->run();
    // Also after a failed creation: the word window may have started its
    // load before the tray icon failed.
    app->finishWordStore();
    return exitCode;
}
