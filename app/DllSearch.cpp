// Where the program lets Windows look for DLLs loaded after start-up.
#include <windows.h>

#include "app/DllSearch.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

void restrictDllSearch()
{
    // A portable program is often started from the Downloads folder, where a
    // DLL with a system name may lie (planted, or left by another download).
    // Windows components load further DLLs by bare name while the program
    // runs, and by default the program's folder and the current directory
    // come before the system folder. Looked up at run time: Windows 7 has
    // the function only with update KB2533623, and a static import would
    // stop the program from starting without it.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
        const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
        if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // Without that function this at least takes the current directory out of
    // the search.
    SetDllDirectoryW(L"");
}
