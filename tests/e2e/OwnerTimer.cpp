// Gives a running Mivora's owner window one tick of its timer <id> at once,
// as SetTimer would after its period: 1 is the periodic progress save, 3 the
// look at the progress file on disk. The scenarios use it instead of
// waiting minutes for the real tick. Exit code 0 when the tick was handled.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: e2e_owner_timer <timer id>\n", stderr);
        return 1;
    }
    HWND owner = FindWindowW(L"Mivora", nullptr);
    if (owner == nullptr) {
        std::fputs("no window of class Mivora\n", stderr);
        return 2;
    }
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(owner, WM_TIMER, static_cast<WPARAM>(std::atoi(argv[1])), 0, SMTO_ABORTIFHUNG, 10000,
                             &result)) {
        std::fputs("WM_TIMER was not answered\n", stderr);
        return 3;
    }
    return 0;
}
