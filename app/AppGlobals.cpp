#include "app/AppGlobals.h"

#include "ui/WordWindow.h"

const wchar_t appName[] = L"Mivora";
HINSTANCE appInstance = nullptr;
HWND ownerWindow = nullptr;
HWND wordWindow = nullptr;
HICON trayIcon = nullptr;
HMENU trayMenu = nullptr;
HMENU wordMenu = nullptr;

bool registerWindowClasses()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ownerWindowProc;
    windowClass.hInstance = appInstance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = appName;
    if (RegisterClassW(&windowClass) == 0) return false;

    // The word window replaces the white background with its own brush when
    // it is created.
    windowClass.lpfnWndProc = wordWindowProc;
    windowClass.lpszClassName = L"Mivora_Show";
    return RegisterClassW(&windowClass) != 0;
}
