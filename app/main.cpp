#include <windows.h>

#include <memory>
#include <utility>

#include "app/App.h"
#include "app/DllSearch.h"
#include "app/Instance.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Before anything could load a DLL by name.
    restrictDllSearch();

    // Never closed: while this process lives, the mutex it owns is what
    // tells another start that the program runs.
    HANDLE instanceMutex = nullptr;
    // A second start ends with 1, as it always has (for scripts and
    // installers), whether its request was delivered or not.
    if (becomeOnlyInstance(instanceMutex) != Instance::first) return 1;

    auto app = std::make_unique<App>(instance);
    int exitCode = 1;
    if (App::registerWindowClasses(instance) && app->start()) exitCode = app->run();
    // Also after a failed creation: the word window may have started its
    // load before the tray icon failed.
    app->finishWordStore();
    // A worker the wait gave up on keeps what it uses until the process ends.
    App::release(std::move(app));
    return exitCode;
}
