// Tells a running Mivora that the log-on session ends, the way Windows does
// at log-off: WM_QUERYENDSESSION, then WM_ENDSESSION with wParam TRUE.
// Exit code 0 when both were delivered and the program agreed to end.
#include <windows.h>

#include <cstdio>

int main()
{
    HWND owner = FindWindowW(L"Mivora", nullptr);
    if (owner == nullptr) {
        std::fputs("no window of class Mivora\n", stderr);
        return 2;
    }
    DWORD_PTR agreed = 0;
    if (!SendMessageTimeoutW(owner, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &agreed)) {
        std::fputs("WM_QUERYENDSESSION was not answered\n", stderr);
        return 3;
    }
    if (!agreed) {
        std::fputs("Mivora refused to end the session\n", stderr);
        return 4;
    }
    // Saving 4000 words takes a moment; Windows itself waits up to 5 s.
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(owner, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 30000, &ignored)) {
        std::fputs("WM_ENDSESSION was not answered\n", stderr);
        return 5;
    }
    return 0;
}
