// Stands in for a film or a game in the word window's tests: another
// process whose borderless window covers the primary monitor and comes to
// the front. It ends when its window is closed (WM_CLOSE).
//   fullscreen_window.exe [width height]: a window of that size at the
//   monitor's top-left corner instead.
#include <windows.h>

#include <cstdlib>

namespace {

LRESULT CALLBACK fullScreenProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv)
{
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    if (argc == 3) {
        width = std::atoi(argv[1]);
        height = std::atoi(argv[2]);
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = fullScreenProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = L"MivoraTestFullScreen";
    if (RegisterClassW(&windowClass) == 0) return 2;
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"full screen", WS_POPUP | WS_VISIBLE, 0, 0, width,
                                  height, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) return 3;
    SetForegroundWindow(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
