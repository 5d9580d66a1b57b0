#include "app/Instance.h"

#include "win/Messages.h"
#include "win/Program.h"

namespace {

// How long a start waits for the program that holds the mutex, either to
// make its owner window (it is starting) or to end (it is saving at exit,
// which may wait for a slow synced folder or for the answer to its question
// about a failed save).
constexpr DWORD kWaitForRunningProgramMs = 60000;
constexpr DWORD kLookPauseMs = 100;

// Asks the running program to open its options sheet, so that a user who
// cannot find the tray icon reaches the program. True when the request was
// delivered.
bool askForOptions(HWND owner)
{
    DWORD process = 0;
    GetWindowThreadProcessId(owner, &process);
    // This start came from the user and may take the foreground; it hands
    // that right to the running program, whose sheet then opens in front.
    AllowSetForegroundWindow(process);
    return PostMessageW(owner, WM_OPEN_OPTIONS, 0, 0) != FALSE;
}

}  // namespace

HWND runningOwnerWindow()
{
    HWND owner = FindWindowW(appName, nullptr);
    if (owner == nullptr || GetPropW(owner, kOwnerClosingProperty) != nullptr) return nullptr;
    return owner;
}

// Makes this process the program's only instance, owning the mutex
// `instanceMutex` for as long as it lives; or hands the start to the
// instance that runs. A mutex held by a process without an owner window
// belongs to one that is starting or ending: this start waits, within
// kWaitForRunningProgramMs, for the window to come or for the process to
// end and let the mutex go (abandoned, as the owner's thread ends), so that
// 退出 followed at once by a double-click starts the program again.
Instance becomeOnlyInstance(HANDLE& instanceMutex)
{
    // Owned by this thread, which lives as long as the process: the mutex
    // is let go only when the process ends, and a waiting start then has it.
    instanceMutex = CreateMutexW(nullptr, TRUE, appName);
    DWORD error = GetLastError();
    if (instanceMutex != nullptr && error != ERROR_ALREADY_EXISTS) return Instance::first;
    // Refused (a first start that ran elevated made the mutex with a
    // descriptor that lets only administrators open it) also means the
    // program runs; any other failure is no start at all.
    if (instanceMutex == nullptr && error != ERROR_ACCESS_DENIED) return Instance::gaveUp;
    const ULONGLONG deadline = GetTickCount64() + kWaitForRunningProgramMs;
    for (;;) {
        if (HWND owner = runningOwnerWindow()) return askForOptions(owner) ? Instance::handedOver : Instance::gaveUp;
        if (GetTickCount64() >= deadline) return Instance::gaveUp;
        if (instanceMutex == nullptr) {
            // A mutex that may not be opened cannot be waited on: asked for
            // again, it is made afresh once its holder has ended.
            Sleep(kLookPauseMs);
            instanceMutex = CreateMutexW(nullptr, TRUE, appName);
            error = GetLastError();
            if (instanceMutex != nullptr && error != ERROR_ALREADY_EXISTS) return Instance::first;
            continue;
        }
        const DWORD waited = WaitForSingleObject(instanceMutex, kLookPauseMs);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return Instance::first;
        if (waited == WAIT_FAILED) return Instance::gaveUp;
    }
}
