// Temporary: replaced by the real word window.
#include "ui/WordWindow.h"

HFONT wordFont = nullptr;
HBRUSH backgroundBrush = nullptr;
HWND capturedWindow = nullptr;

LRESULT CALLBACK wordWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND createWordWindow(HINSTANCE instance)
{
    return CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"Mivora_Show", L"", WS_POPUP,
                           0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
}

void showWordMenu(HWND) {}
void waitForWordLoads(DWORD) {}
