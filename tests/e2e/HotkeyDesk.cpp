// Another program on the user's desk, for the hotkey scenario:
//   e2e_hotkey_desk window <key log> [fullscreen] [hold <modifiers> <key>]
//     A window of its own captioned with the key log's name (covering the
//     screen with "fullscreen"), brought to the front, which writes every key it receives to the key log as
//     "<virtual-key code> <modifiers>" lines (modifiers as RegisterHotKey
//     counts them). With "hold" it first registers that hotkey itself and
//     writes "holds" or "could not hold" as the log's first line. Ends on
//     WM_CLOSE (or after ten minutes).
//   e2e_hotkey_desk text <control id>
//     Prints the text of the visible control with that id inside the
//     program's options sheet (the window captioned "Mivora"), in UTF-8.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::FILE* keyLog = nullptr;

UINT heldModifiers()
{
    UINT modifiers = 0;
    if (GetKeyState(VK_MENU) < 0) modifiers |= MOD_ALT;
    if (GetKeyState(VK_CONTROL) < 0) modifiers |= MOD_CONTROL;
    if (GetKeyState(VK_SHIFT) < 0) modifiers |= MOD_SHIFT;
    return modifiers;
}

LRESULT CALLBACK deskProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if ((message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && wParam != VK_CONTROL && wParam != VK_MENU &&
        wParam != VK_SHIFT) {
        std::fprintf(keyLog, "%u %u\n", static_cast<unsigned>(wParam), heldModifiers());
        std::fflush(keyLog);
        return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

int runWindow(int argc, wchar_t** argv)
{
    keyLog = _wfopen(argv[2], L"w");
    if (keyLog == nullptr) return 2;
    bool fullScreen = false;
    for (int i = 3; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"fullscreen") == 0) fullScreen = true;
        if (std::wcscmp(argv[i], L"hold") == 0 && i + 2 < argc) {
            const UINT modifiers = static_cast<UINT>(std::wcstoul(argv[i + 1], nullptr, 0));
            const UINT key = static_cast<UINT>(std::wcstoul(argv[i + 2], nullptr, 0));
            std::fputs(RegisterHotKey(nullptr, 1, modifiers, key) ? "holds\n" : "could not hold\n", keyLog);
            std::fflush(keyLog);
            i += 2;
        }
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = deskProc;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(fullScreen ? BLACK_BRUSH : GRAY_BRUSH));
    windowClass.lpszClassName = L"MivoraTestDesk";
    RegisterClassW(&windowClass);
    const int width = fullScreen ? GetSystemMetrics(SM_CXSCREEN) : 320;
    const int height = fullScreen ? GetSystemMetrics(SM_CYSCREEN) : 200;
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, argv[2], WS_POPUP | WS_VISIBLE,
                                  fullScreen ? 0 : 40, fullScreen ? 0 : 500, width, height, nullptr, nullptr,
                                  nullptr, nullptr);
    if (window == nullptr) return 1;
    SetForegroundWindow(window);
    SetTimer(nullptr, 0, 10 * 60 * 1000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    std::fclose(keyLog);
    return 0;
}

struct Search {
    int id;
    HWND found;
};

BOOL CALLBACK findControl(HWND child, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    if (GetDlgCtrlID(child) == search->id && IsWindowVisible(child)) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

int printText(const wchar_t* id)
{
    HWND sheet = FindWindowW(nullptr, L"Mivora");
    if (sheet == nullptr) return 2;
    Search search{static_cast<int>(std::wcstol(id, nullptr, 0)), nullptr};
    EnumChildWindows(sheet, findControl, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) return 3;
    wchar_t text[256] = {};
    GetWindowTextW(search.found, text, 256);
    char utf8[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("%s\n", utf8);
    return 0;
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv != nullptr && argc >= 3 && std::wcscmp(argv[1], L"window") == 0) return runWindow(argc, argv);
    if (argv != nullptr && argc == 3 && std::wcscmp(argv[1], L"text") == 0) return printText(argv[2]);
    std::fputs("usage: e2e_hotkey_desk window <key log> [fullscreen] [hold <modifiers> <key>] | text <id>\n", stderr);
    return 1;
}
