// The floor for Mivora's start-up figures: only the platform work that any
// program of its kind must do before its first word is on the screen. A
// hidden owner window, a notification-area icon, and a topmost, translucent
// layered window that shows one line of Chinese in a font of its own making.
// No files, no word store, no threads.
//
//   MinimalWin32.exe [seconds]   ends by itself after that many seconds
//                                 (removing its icon); without, runs until
//                                 its process is ended.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

namespace {

constexpr UINT kTrayMessage = WM_APP + 1;
constexpr UINT_PTR kLifetimeTimer = 1;
constexpr wchar_t kLine[] = L"abandon [\u0259'b\u00e6nd\u0259n] vt. \u653e\u5f03\uff1b\u629b\u5f03\uff1b\u9057\u5f03";

HFONT lineFont;

LRESULT CALLBACK lineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        HGDIOBJ previous = SelectObject(dc, lineFont);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 255));
        TextOutW(dc, 4, 2, kLine, static_cast<int>(std::wcslen(kLine)));
        SelectObject(dc, previous);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == kLifetimeTimer) DestroyWindow(window);
        return 0;
    case WM_DESTROY: {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof data;
        data.hWnd = window;
        data.uID = 1;
        Shell_NotifyIconW(NIM_DELETE, &data);
        PostQuitMessage(0);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int)
{
    WNDCLASSEXW ownerClass{};
    ownerClass.cbSize = sizeof ownerClass;
    ownerClass.lpfnWndProc = ownerProc;
    ownerClass.hInstance = instance;
    ownerClass.lpszClassName = L"MinimalOwner";
    WNDCLASSEXW lineClass = ownerClass;
    lineClass.lpfnWndProc = lineProc;
    lineClass.hbrBackground = CreateSolidBrush(RGB(255, 255, 255));
    lineClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    lineClass.lpszClassName = L"MinimalLine";
    if (!RegisterClassExW(&ownerClass) || !RegisterClassExW(&lineClass)) return 1;

    HWND owner = CreateWindowExW(WS_EX_TOOLWINDOW, L"MinimalOwner", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 instance, nullptr);
    if (owner == nullptr) return 1;

    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = 1;
    data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    std::wcscpy(data.szTip, L"MinimalWin32");
    Shell_NotifyIconW(NIM_ADD, &data);

    // The word window's default font: Arial, 16 pixels, Chinese through the
    // system's font links.
    LOGFONTW font{};
    font.lfHeight = -16;
    font.lfWeight = FW_NORMAL;
    font.lfOutPrecision = OUT_TT_PRECIS;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = DRAFT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    std::wcscpy(font.lfFaceName, L"Arial");
    lineFont = CreateFontIndirectW(&font);

    SIZE extent{};
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, lineFont);
    GetTextExtentPoint32W(screen, kLine, static_cast<int>(std::wcslen(kLine)), &extent);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);

    HWND line = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"MinimalLine", L"", WS_POPUP,
                                900, 48, extent.cx + 8, extent.cy + 4, owner, nullptr, instance, nullptr);
    if (line == nullptr) return 1;
    SetLayeredWindowAttributes(line, RGB(255, 255, 255), 250, LWA_ALPHA);
    ShowWindow(line, SW_SHOWNOACTIVATE);
    UpdateWindow(line);

    const int seconds = _wtoi(commandLine);
    if (seconds > 0) SetTimer(owner, kLifetimeTimer, static_cast<UINT>(seconds) * 1000, nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DeleteObject(lineFont);
    return 0;
}
