// Started elevated (from an elevated console or an installer), the program
// runs at a higher integrity level than Explorer, and Windows drops the
// messages a lower one sends to its windows: the shell's TaskbarCreated
// broadcast, the tray icon's and the application bar's notifications, and
// a second start's request. Each is let through for one window.
#pragma once

#include <windows.h>

// ChangeWindowMessageFilterEx (Windows 7 and later), looked up at run time
// so the program starts where it is missing. False when the message could
// not be let through; where there is no filter, nothing needs to be.
inline bool allowMessageFromLowerIntegrity(HWND window, UINT message)
{
    if (window == nullptr || message == 0) return false;
    using ChangeFilter = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) return false;
    const auto change =
        reinterpret_cast<ChangeFilter>(reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")));
    // MSGFLT_ALLOW is 1; the structure that reports the outcome is optional.
    return change != nullptr && change(window, message, 1, nullptr) != FALSE;
}
