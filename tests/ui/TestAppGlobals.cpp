// The shell's globals, for a build without the shell's library.
#include "app/AppGlobals.h"

const wchar_t appName[] = L"Mivora";
HINSTANCE appInstance = nullptr;
HWND ownerWindow = nullptr;
HWND wordWindow = nullptr;
HICON trayIcon = nullptr;
HMENU trayMenu = nullptr;
HMENU wordMenu = nullptr;
