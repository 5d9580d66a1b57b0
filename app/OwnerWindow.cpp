// The hidden owner window: its creation sets the program up, its destruction
// takes it down, and it receives the tray icon's notifications.
#include <windows.h>

#include <filesystem>
#include <string>

#include "app/AppGlobals.h"
#include "app/Shell.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "store/ProgressSaver.h"
#include "store/WordGet.h"
#include "ui/LibraryPage.h"
#include "ui/WordWindow.h"

namespace {

// The periodic save's worker. Only the UI thread starts and joins it.
ProgressSaver progressSaver(wordStore);

// programDir + "dic", or an empty path (no loads, no saves) when programDir
// could not be set.
std::filesystem::path dictionaryDirectory()
{
    std::wstring directory;
    for (std::size_t i = 0; i < kPathUnits && programDir[i] != u'\0'; ++i)
        directory.push_back(static_cast<wchar_t>(programDir[i]));
    if (directory.empty()) return {};
    directory += L"dic";
    return std::filesystem::path(directory);
}

bool onCreate(HWND window, const CREATESTRUCTW& create)
{
    ownerWindow = window;
    maximizedWidth = GetSystemMetrics(SM_CXMAXIMIZED);
    maximizedHeight = GetSystemMetrics(SM_CYMAXIMIZED);
    trayIcon = static_cast<HICON>(
        LoadImageW(appInstance, MAKEINTRESOURCEW(IDI_MIVORA), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    trayMenu = LoadMenuW(appInstance, MAKEINTRESOURCEW(IDR_TRAY_MENU));
    wordMenu = LoadMenuW(appInstance, MAKEINTRESOURCEW(IDR_WORD_MENU));
    loadSettings();
    // The word window's creation starts the load, which needs both.
    wordStore.setDirectory(dictionaryDirectory());
    wordStore.setCycleSize(Settings.cycleSize);

    wordWindow = createWordWindow(create.hInstance);
    if (wordWindow == nullptr) return false;
    // The notification area may not be there yet (a start at log-on): the
    // program runs on and tries again for a while.
    if (!addTrayIcon()) beginTrayRetry(GetTickCount());
    SetTimer(window, TIMER_SAVE_PROGRESS, kProgressSaveIntervalMs, nullptr);
    return true;
}

// Also runs after a failed creation, when some of the handles are null;
// releasing a null handle is a harmless failed call.
void onDestroy()
{
    saveSettings();
    DestroyWindow(wordWindow);
    removeTrayIcon();
    DestroyMenu(trayMenu);
    trayMenu = nullptr;
    DestroyMenu(wordMenu);
    wordMenu = nullptr;
    DeleteObject(wordFont);
    wordFont = nullptr;
    DeleteObject(backgroundBrush);
    backgroundBrush = nullptr;
    if (trayIcon != nullptr) DestroyIcon(trayIcon);
    trayIcon = nullptr;
    PostQuitMessage(0);
}

// Windows may end the process at any moment after WM_ENDSESSION returns and
// sends no WM_DESTROY, so everything an ordinary exit writes is written here,
// in the same order.
void onEndSession(bool sessionEnds)
{
    if (!sessionEnds) return;
    saveSettings();
    finishWordStore();
}

// WM_SAVE_DONE: the worker has finished (posting this is its last act but
// one); its thread is joined here, so that none is left for exit.
void onProgressSaveDone()
{
    progressSaver.wait();
}

}  // namespace

UINT taskbarCreatedMessage()
{
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

LRESULT CALLBACK ownerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return onCreate(window, *reinterpret_cast<const CREATESTRUCTW*>(lParam)) ? 0 : -1;
    case WM_DESTROY:
        onDestroy();
        return 0;
    case WM_TRAYICON:
        return trayNotify(window, lParam);
    case WM_RELOAD_DONE:
        finishDictionaryReload(wParam);
        return 0;
    case WM_ENDSESSION:
        onEndSession(wParam != FALSE);
        return 0;
    case WM_TIMER:
        if (wParam == TIMER_SAVE_PROGRESS) {
            startProgressSave();
            return 0;
        }
        if (wParam == TIMER_TRAY_RETRY) {
            retryTrayIcon(GetTickCount());
            return 0;
        }
        break;
    case WM_SAVE_DONE:
        onProgressSaveDone();
        return 0;
    default:
        // Explorer restarted: its new notification area knows no icons.
        if (message != 0 && message == taskbarCreatedMessage()) {
            restoreTrayIcon();
            return 0;
        }
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND createOwnerWindow()
{
    return CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, appName, L"", WS_POPUP, 0, 0, 0, 0,
                           nullptr, nullptr, appInstance, nullptr);
}

int runMessageLoop()
{
    MSG message{};
    for (;;) {
        BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == 0) return static_cast<int>(message.wParam);
        // -1 only comes with an invalid filter window, which this loop never
        // passes; looping on it would spin for ever.
        if (result == -1) return 1;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// The store swaps a freshly loaded list in under its lock, so a save that
// meets a running load writes either the old lists or the new ones, and a
// load that finishes later marks the store dirty again.
bool startProgressSave()
{
    // The window's handle is taken now: the worker must not read globals.
    const HWND owner = ownerWindow;
    return progressSaver.start([owner](bool saved) { PostMessageW(owner, WM_SAVE_DONE, saved ? 1 : 0, 0); });
}

bool progressSaveRunning()
{
    return progressSaver.running();
}

void finishWordStore()
{
    waitForWordLoads(kWordLoadWaitMs);
    waitForDictionaryReload(kWordLoadWaitMs);
    // A periodic save that is still writing finishes first; the final save
    // then writes whatever changed after its copy.
    progressSaver.wait();
    if (wordStore.dirty()) wordStore.saveProgress();
}
