#include <windows.h>

#include <memory>
#include <utility>

#include "app/App.h"
#include "app/DllSearch.h"
#include "win/Messages.h"
#include "win/Program.h"

namespace {

// How long a second start looks for the first one's owner window, which
// the first start creates just after its mutex.
constexpr int kFindOwnerTries = 50;
constexpr DWORD kFindOwnerPauseMs = 100;

// A second start: asks the running program to open its options sheet, so
// that a user who cannot find the tray icon reaches the program. True when
// the request was delivered.
bool askRunningProgramForOptions()
{
    for (int i = 0; i < kFindOwnerTries; ++i) {
        // The owner window is the only window of the class "Mivora".
        if (HWND owner = FindWindowW(appName, nullptr)) {
            DWORD process = 0;
            GetWindowThreadProcessId(owner, &process);
            // This start came from the user and may take the foreground; it
            // hands that right to the running program, whose sheet then
            // opens in front.
            AllowSetForegroundWindow(process);
            return PostMessageW(owner, WM_OPEN_OPTIONS, 0, 0) != FALSE;
        }
        Sleep(kFindOwnerPauseMs);
    }
    return false;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Before anything could load a DLL by name.
    restrictDllSearch();

    // Never waited on and never closed: while this process lives, the
    // mutex's existence is what tells a second start to go away.
    HANDLE instanceMutex = CreateMutexW(nullptr, FALSE, appName);
    const DWORD mutexError = GetLastError();
    // A first start that ran elevated (以管理员身份运行, or started by an
    // installer) made the mutex with a descriptor that lets only
    // administrators open it: being refused also means the program runs.
    if (mutexError == ERROR_ALREADY_EXISTS || (instanceMutex == nullptr && mutexError == ERROR_ACCESS_DENIED)) {
        askRunningProgramForOptions();
        return 1;
    }
    if (instanceMutex == nullptr) return 1;

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
