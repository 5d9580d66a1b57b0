// Plays a film or a game in the word window's tests: another process whose
// borderless window covers the primary monitor (or `width height` of it)
// and comes to the front, until it is sent WM_CLOSE.
#include <windows.h>

#include <cstdlib>

static LRESULT CALLBACK filmProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

int main(int argc, char** argv)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = filmProc;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = L"MivoraTestFullScreen";
    RegisterClassW(&windowClass);
    const int width = argc == 3 ? std::atoi(argv[1]) : GetSystemMetrics(SM_CXSCREEN);
    const int height = argc == 3 ? std::atoi(argv[2]) : GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"film", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                  nullptr, nullptr, nullptr, nullptr);
    if (window == nullptr) return 1;
    SetForegroundWindow(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
