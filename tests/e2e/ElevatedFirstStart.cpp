// Plays a first start of Mivora that ran elevated (以管理员身份运行, or
// started by an installer): it holds the mutex "Mivora" with a security
// descriptor that lets nobody else open it, as an elevated process's
// default descriptor does for a normal user, and has the owner window
// "Mivora" that a second start sends its request to.
//   e2e_elevated_first_start
// Prints "ready" once both are there, then "asked" when the request to open
// the options arrives (exit code 0), or ends with 3 after a minute without.
#include <windows.h>

#include <sddl.h>

#include <cstdio>

namespace {

// The request a second start posts to the running program's owner window.
constexpr UINT kOpenOptions = WM_APP + 6;

bool asked = false;

LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kOpenOptions) {
        asked = true;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int main()
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // Everyone denied every right of a mutex (MUTEX_ALL_ACCESS, spelt out:
    // Wine does not map generic rights inside an ACE); the creator's own
    // handle is not checked.
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x1F0001;;;WD)", SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        std::fprintf(stderr, "no descriptor: error %lu\n", GetLastError());
        return 2;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    HANDLE mutex = CreateMutexW(&attributes, FALSE, L"Mivora");
    if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        std::fprintf(stderr, "the mutex is not ours: error %lu\n", GetLastError());
        return 2;
    }
    // What this user's start meets: the mutex may not even be opened.
    HANDLE other = CreateMutexW(nullptr, FALSE, L"Mivora");
    if (other != nullptr || GetLastError() != ERROR_ACCESS_DENIED) {
        std::fprintf(stderr, "the descriptor is not enforced: error %lu\n", GetLastError());
        return 2;
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ownerProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Mivora";
    if (RegisterClassW(&windowClass) == 0 ||
        CreateWindowExW(WS_EX_TOOLWINDOW, L"Mivora", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance,
                        nullptr) == nullptr) {
        std::fputs("no owner window\n", stderr);
        return 2;
    }
    std::puts("ready");
    std::fflush(stdout);
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (!asked && GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    if (!asked) return 3;
    std::puts("asked");
    CloseHandle(mutex);
    LocalFree(descriptor);
    return 0;
}
