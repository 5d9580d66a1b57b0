// Holds a file open the way another program can: no sharing at all, so
// nobody else may read, write, rename or delete it while it is held.
//   e2e_hold_file <file> <release file>
// Prints "held" once the file is open, then keeps it open until the release
// file exists (or 10 minutes have passed). Exit code 0, or 2 when the file
// could not be opened.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 3) {
        std::fputs("usage: e2e_hold_file <file> <release file>\n", stderr);
        return 1;
    }
    HANDLE file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open the file: error %lu\n", GetLastError());
        return 2;
    }
    std::puts("held");
    std::fflush(stdout);
    for (int i = 0; i < 6000 && GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    CloseHandle(file);
    return 0;
}
